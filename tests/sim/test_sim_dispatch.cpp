// The line's dispatch to a further unit beside the measuring boards: its own frame
// lengths, its replies under the line's faults, broadcasts reaching every unit.
#include <gtest/gtest.h>

#include "SimTestUtil.h"

namespace kvr::sim::test {
namespace {

// A module at address 4 that reads a record with 0x84 and takes a 14-byte write frame at
// 0xA4 (not the boards' 117 bytes).
class ModuleAt4 final : public ISimUnit {
  public:
    int samples = 0;
    Bytes record = Bytes(12, 0x11);

    bool AnswersAt(int address) const override { return address == 4; }
    std::vector<int> Addresses() const override { return {4}; }
    size_t FrameLength(std::span<const uint8_t> bytes) const override {
        return bytes[0] == 0xA4 ? 14 : bytes[0] == 0x84 ? 1 : kNoFrame;
    }
    bool HandleFrame(int address, std::span<const uint8_t> frame, Bytes& reply,
                     bool& /*changed*/) override {
        if (address == kBroadcast) {
            samples += frame[0] == talk::kSampleExtended ? 1 : 0;
            return false;
        }
        if (frame[0] == 0xA4) {
            record.assign(frame.begin() + 1, frame.end() - 1);
            return false;
        }
        reply = talk::Frame(0x84, record);
        return true;
    }
    void AdvanceTime(double /*seconds*/) override {}
    void SaveState() override {}
    std::string StateError() const override { return ""; }
    std::string Summary() const override { return "module at 4\n"; }
};

TEST(SimDispatch, AnAddedUnitGetsItsFramesAndBroadcastsUnderTheLineFaults) {
    SimOptions o;
    o.pace = false;
    SimUnits units(o);
    auto owned = std::make_unique<ModuleAt4>();
    ModuleAt4& module = *owned;
    units.AddUnit(std::move(owned));
    EXPECT_EQ(units.Addresses(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_NE(units.Summary().find("module at 4\n"), std::string::npos);

    // The module's short write frame, then a board's query in the same receive: the
    // query is not swallowed as part of a 117-byte parameter write.
    const Bytes written(12, 0x42);
    Bytes in = talk::Frame(0xA4, written);
    in.push_back(0x01);
    const Bytes reply = Feed(units, in);
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[0], 0x03);
    EXPECT_EQ(Feed(units, {0x84}), talk::Frame(0x84, written));

    units.GetFaults().corruptChecksum = true;
    const Bytes spoilt = Feed(units, {0x84});
    ASSERT_EQ(spoilt.size(), 14u);
    EXPECT_FALSE(talk::SumsToZero(spoilt.data(), spoilt.size()));

    EXPECT_EQ(SampleAndRead(units, 0).mask, kSimValidityMask);
    EXPECT_EQ(module.samples, 1);
    EXPECT_EQ(units.FramesHandled(), 6u);
}

}  // namespace
}  // namespace kvr::sim::test
