// kvrctl set as a user runs it on a setup file uploaded from kvr-sim.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "base/Registry.h"
#include "document/SetupFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

SetupImage Decode(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    SetupImage image;
    EXPECT_EQ(DecodeSetup(bytes.data(), bytes.size(), image), SetupStatus::Loaded) << path;
    return image;
}

class SetCli : public ::testing::Test {
  protected:
    void SetUp() override {
        sim = std::make_unique<test::SimProcess>(
            std::vector<std::string>{KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400"});
        ASSERT_FALSE(sim->Path().empty());
        file = dir.File("site.kvr");
        const test::RunResult r = Kvrctl({"upload", "-o", file});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    test::RunResult Kvrctl(std::vector<std::string> args) {
        args.insert(args.begin(), {KVRCTL_EXE, "--device", sim->Path(), "--baud", "38400"});
        return test::Run(args);
    }
    test::RunResult Set(std::vector<std::string> keys) {
        keys.insert(keys.begin(), {"set", file});
        return Kvrctl(keys);
    }

    test::IsolatedSettings isolated;
    test::TempDir dir;
    std::unique_ptr<test::SimProcess> sim;
    std::string file;
};

TEST_F(SetCli, InputAndOutputKeysWriteTheRecordsAsTheFormsDo) {
    const SetupImage before = Decode(file);
    test::RunResult r =
        Set({"ch1.vt-primary=6553.5 kV", "ch1.phase-correction=-1.234",
             "ch2.voltage-phase=Reversed V[ab]", "ch3.current-range=1", "ch3.name=Feeder 3",
             "out1.range=10.0V", "out1.max=600W", "out2.card=relay+", "out2.entity=v",
             "out2.trigger=120 V", "out2.hysteresis=5%", "out2.direction=falling", "out5.card=none",
             "out3.card=analog", "out3.entity=pf", "out3.min=0.5 lag"});
    ASSERT_EQ(r.status, 0) << r.err;
    const SetupImage after = Decode(file);
    const ParameterRecord& c1 = after.records[0];
    EXPECT_EQ(c1.GetU16(ParameterRecord::kVtPrimary), 65535);
    EXPECT_EQ(c1.GetS16(ParameterRecord::kCtPhaseCorrection), -122);
    EXPECT_EQ(after.records[1].GetPhase(InputKind::Voltage), 13);
    EXPECT_EQ(after.records[2].GetCurrentRange(), 1);
    EXPECT_EQ(after.records[2].GetName(), "Feeder 3");
    // Output 1 (analog): the range and the maximum; output 2 a Plus relay at 120 V that
    // resets 5 % above, as it triggers on falling values.
    bool current = true;
    int range = -1;
    c1.GetOutputRange(0, current, range);
    EXPECT_FALSE(current);
    EXPECT_EQ(range, 6);
    EXPECT_EQ(c1.GetScaleMax(0), 6000);
    EXPECT_EQ(c1.GetCardType(1), 2);
    EXPECT_TRUE(c1.IsPlusCard(1));
    EXPECT_EQ(c1.GetOutputEntity(1), EntityFromCode(1));
    EXPECT_EQ(c1.GetU16(ParameterRecord::kOutputScaleMin + 2), 1200);
    EXPECT_EQ(c1.GetU16(ParameterRecord::kOutputScaleMax + 2), 1260);
    EXPECT_EQ(after.records[1].GetCardType(0), 0);
    EXPECT_EQ(c1.GetScaleMin(2), 16385);  // 0.5, lagging: bit 0 set
    // Untouched: the other outputs of board 0 and the output calibration.
    for (size_t k = ParameterRecord::kDacOffset; k < ParameterRecord::kFirmwareVersion; ++k) {
        EXPECT_EQ(c1.Bytes()[k], before.records[0].Bytes()[k]) << k;
    }
    EXPECT_EQ(c1.GetOutputEntity(3), before.records[0].GetOutputEntity(3));

    r = Kvrctl({"show", file});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Output 2 (board 0, port 1): Relay Output (Plus)\n"
                         "  Entity                   Voltage : Channel 1 / Phase A\n"
                         "  Source                   1\n"
                         "  Trigger at               120.0 V"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("  Direction                Trigger on falling values\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("  Range                    10.0V\n"), std::string::npos);
}

TEST_F(SetCli, ARefusalLeavesTheFileAsItWas) {
    const std::vector<uint8_t> original = ReadFile(file);
    struct Case {
        std::vector<std::string> keys;
        int status;
        std::string err;  // the start of standard error
    } cases[] = {
        {{"ch1.vt-primary=6553.6 kV"},
         1,
         "kvrctl: Channel 1 : Invalid Primary Voltage : the maximum permitted value is "
         "6553.5kV\n"},
        // Good keys before the refused one change nothing either.
        {{"ch1.name=New", "out1.out-max=21mA"},
         1,
         "kvrctl: Maximum output value out of range. The output value must be between "
         "-0.020000 and 0.020000\n"},
        {{"ch1.voltage-direct=yes", "ch1.vt-primary=1 kV"},
         1,
         "kvrctl: ch1.vt-primary: the control is disabled while ch1.voltage-direct is yes"},
        {{"out1.power=5 W"}, 1, "kvrctl: out1.power: Output 1 has an analog output card"},
        {{"out3.min=0"}, 1, "kvrctl: out3.min: Output 3 has no output card to configure"},
        {{"out2.card=relay", "out2.entity=p", "out2.source=3ph", "out2.trigger=1 kW",
          "out2.hysteresis=5"},
         1,
         "kvrctl: The hysteresis setting is illegal or out of range!\n"},
        {{"ch1.threshold=2", "ch4.name=x"}, 2, "kvrctl: unknown key 'ch4.name'"},
        {{"ch1.balanced=maybe"}, 2, "kvrctl: ch1.balanced cannot be 'maybe'"},
        {{"out1.card"}, 2, "kvrctl: expected KEY=VALUE, not 'out1.card'"},
    };
    for (const Case& c : cases) {
        const test::RunResult r = Set(c.keys);
        EXPECT_EQ(r.status, c.status) << c.keys.front();
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << r.err;
        EXPECT_EQ(ReadFile(file), original) << c.keys.front();
    }
    // A KVR 100's file: the pages and outputs of channels it lacks are not offered.
    SetupImage kvr100;
    kvr100.channelCount = 1;
    kvr100.records[0].ResetToDefaults(0);
    const std::string single = dir.File("kvr100.kvr");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(single, EncodeSetup(kvr100), error)) << error;
    for (const char* key : {"ch2.name=x", "out5.card=relay"}) {
        const test::RunResult r = Kvrctl({"set", single, key});
        EXPECT_EQ(r.status, 1) << key;
        EXPECT_NE(r.err.find("is not a"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(single), EncodeSetup(kvr100));

    const test::RunResult r = Kvrctl({"set", "--keys"});
    EXPECT_EQ(r.status, 0);
    for (const char* key : {"chN.vt-primary ", "line-to-line ", "outN.card ", "outN.direction "}) {
        EXPECT_NE(r.out.find(key), std::string::npos) << key;
    }
}

TEST_F(SetCli, AnEditedFileDownloadsAndUploadsTheSame) {
    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "pw"),
              kRegOk);
    test::RunResult r =
        Set({"ch1.vt-primary=33 kV", "ch2.ct-primary=800 A", "ch3.voltage-direct=yes",
             "line-to-line=yes", "out4.card=analog", "out4.entity=f", "out4.source=3ph",
             "out4.max=55 Hz", "out4.out-min=4 mA", "out6.card=relay", "out6.entity=active-energy",
             "out6.power=1 kW", "out6.pulses=360"});
    ASSERT_EQ(r.status, 0) << r.err;
    {
        test::ScopedEnv password("KVR_PASSWORD", "pw");
        r = Kvrctl({"download", file});
    }
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string again = dir.File("again.kvr");
    r = Kvrctl({"upload", "-o", again});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(again), ReadFile(file));
    EXPECT_TRUE(Decode(again).records[3].IsLineToLine());
}

}  // namespace
}  // namespace kvr
