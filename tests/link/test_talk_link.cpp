// KVR Talk frames byte for byte, reply checks, and value decoding, on a recording line
// with the virtual clock.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "base/Bytes.h"
#include "base/IniFile.h"
#include "base/Seams.h"
#include "link/ChannelLink.h"
#include "link/TalkFrames.h"
#include "support/RecordingLine.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using Bytes = std::vector<uint8_t>;

class TalkLinkTest : public ::testing::Test {
  protected:
    void SetUp() override { script = test::AttachRecordingLine(port); }

    // A valid ReadParameters reply for the given record and echo.
    static Bytes RecordReply(uint8_t echo, const ParameterRecord& record) {
        Bytes reply{echo};
        reply.insert(reply.end(), record.Data(), record.Data() + ParameterRecord::kSize);
        talk::AppendChecksum(reply);
        return reply;
    }

    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    test::ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
    CSerialPort port;
    std::shared_ptr<test::LineScript> script;
};

TEST_F(TalkLinkTest, FramedCommandsAreByteExact) {
    CTalkLink unit0(&port, 0);
    CTalkLink unit3(&port, 3);
    CTalkLink display(&port, 5);
    const struct {
        const char* name;
        std::function<bool()> send;
        Bytes frame;
        std::vector<size_t> writes;  // the bytes of each write call, where that matters
    } cases[] = {
        {"dac", [&] { return unit0.WriteDac(1, 0x1234); }, {0xF4, 0x34, 0x12, 0xC6}, {4}},
        {"restore", [&] { return unit0.RestoreFactorySettings(5); }, {0xAD, 0x5A, 0xF9}, {1, 1, 1}},
        {"factory", [&] { return unit0.SetFactoryMode(); }, {0x88, 0x11, 0x67}, {}},
        {"user", [&] { return unit0.SetUserMode(); }, {0x88, 0x10, 0x68}, {}},
        {"output test", [&] { return unit3.SetOutputTest(true); }, {0x8B, 0x21, 0x54}, {1, 1, 1}},
        {"loopback mode keeps its low two bits",
         [&] { return unit3.SetLoopbackMode(6, 1, 2, 3, 4); },
         {0x8B, 0x02, 1, 2, 3, 4, 0x69},
         {}},
        {"relays",
         [&] { return unit3.RelayPulse(2) && unit3.RelayMake(1) && unit3.RelayBreak(0); },
         {0xDB, 0x97, 0xB3},
         {}},
        {"relays fold two address bits", [&] { return display.RelayMake(0); }, {0x91}, {}},
    };
    for (const auto& c : cases) {
        script->written.clear();
        script->writeSizes.clear();
        ASSERT_TRUE(c.send()) << c.name;
        EXPECT_EQ(script->written, c.frame) << c.name;
        if (!c.writes.empty()) {
            EXPECT_EQ(script->writeSizes, c.writes) << c.name;
        }
    }
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(TalkLinkTest, SampleAndValuesLengthFollowDeviceCodeBitZero) {
    CChannelLink ch(&port, 2);
    ASSERT_TRUE(ch.Sample());
    EXPECT_EQ(script->written.back(), 0xE2);
    ch.SetDeviceCode(0x41);
    ASSERT_TRUE(ch.Sample());
    EXPECT_EQ(script->written.back(), 0xE3);

    // An extended reply: echo, 42 data bytes, checksum.
    Bytes reply{0xC2};
    reply.resize(43, 0);
    reply[3] = 0x01;  // validity: voltage
    talk::AppendChecksum(reply);
    script->Reply(reply);
    ASSERT_TRUE(ch.ReadValues());
    EXPECT_EQ(ch.valuesLength, 42u);

    // The same 44 bytes when a 32-byte reply is expected: the checksum no longer fits.
    ch.SetDeviceCode(0);
    script->Reply(reply);
    EXPECT_FALSE(ch.ReadValues());
    EXPECT_EQ(ch.valuesLength, 42u);  // the last good reply stays
}

TEST_F(TalkLinkTest, ReadParametersChecksEchoChecksumLengthAndSignature) {
    CChannelLink ch(&port, 2);
    ch.record.SetName("Edited");
    const ParameterRecord edited = ch.record;
    ParameterRecord unit;
    unit.ResetToDefaults(2);
    unit.SetSerialNumber(123456);
    ParameterRecord unsigned_ = unit;
    unsigned_.SetSignature(7501);

    Bytes badSum = RecordReply(0x82, unit);
    badSum.back() ^= 0x01;
    Bytes shortReply = RecordReply(0x82, unit);
    shortReply.resize(60);
    const Bytes refused[] = {RecordReply(0x81, unit), badSum, shortReply,
                             RecordReply(0x82, unsigned_)};
    for (const Bytes& reply : refused) {
        script->replies.clear();
        script->Reply(reply);
        EXPECT_FALSE(ch.ReadParameters()) << &reply - refused;
        EXPECT_EQ(ch.record, edited) << &reply - refused;  // untouched on failure
        EXPECT_EQ(script->written.back(), 0x82);
    }
    script->replies.clear();
    script->Reply(RecordReply(0x82, unit));
    ASSERT_TRUE(ch.ReadParameters());
    EXPECT_EQ(ch.record, unit);
    EXPECT_GE(script->purges, 5);  // every read starts from a purged line
}

TEST_F(TalkLinkTest, WriteParametersFrameAcknowledgeAndWaits) {
    test::TempDir dir;
    std::ofstream(dir.File("QRL.ini")) << "[KVR View]\nKVR Download Delay = 250\n";
    test::ScopedEnv ini("KVR_QRL_INI", dir.File("QRL.ini"));

    CChannelLink ch(&port, 1);
    script->Reply({0xE9});
    const uint64_t before = clock.SleptMs();
    ASSERT_TRUE(ch.WriteParameters());
    EXPECT_EQ(clock.SleptMs() - before, 1000u + 250u);  // the Attention pause, the delay
    ASSERT_EQ(script->written.size(), 1u + 117u);
    EXPECT_EQ(script->written[0], 0xE1);
    EXPECT_EQ(script->written[1], 0xA1);
    EXPECT_TRUE(talk::SumsToZero(script->written.data() + 1, 117));
    EXPECT_TRUE(std::equal(ch.record.Data(), ch.record.Data() + 115, script->written.begin() + 2));
    EXPECT_EQ(script->writeSizes.back(), 117u);  // the frame goes in one write

    script->Reply({0xE8});  // the acknowledge of another address
    EXPECT_FALSE(ch.WriteParameters());
    EXPECT_FALSE(ch.WriteParameters());  // no acknowledge at all
}

TEST_F(TalkLinkTest, DownloadDelayDefaultsAndRereadsTheIniFile) {
    test::TempDir dir;
    test::ScopedEnv ini("KVR_QRL_INI", dir.File("QRL.ini"));
    std::ofstream(dir.File("QRL.ini")) << "; comment\n[kvr view]\nkvr download delay=40\n";
    EXPECT_EQ(DownloadDelayMs(), 40u);  // names compare without case; no cache
    const std::pair<const char*, unsigned> cases[] = {
        {"[KVR View]\nKVR Download Delay=-5\n", 0u},
        {"[Other]\nKVR Download Delay=7\n[KVR View]\nX=1\n", 100u},  // another section's
        {"[KVR View]\nKVR Download Delay=fast\n", 100u}};
    for (auto [text, ms] : cases) {
        std::ofstream(dir.File("QRL.ini")) << text;
        EXPECT_EQ(DownloadDelayMs(), ms) << text;
    }
}

TEST_F(TalkLinkTest, QueryDeviceStoresTheFirstReplyByte) {
    CTalkLink com(&port, 4);
    script->Reply({0x31, 0x01, 0x49});
    EXPECT_EQ(com.QueryDevice(), 0x31);
    EXPECT_EQ(com.DeviceCode(), 0x31u);
    EXPECT_EQ(script->written.back(), 0x04);
    EXPECT_EQ(com.QueryDevice(), -1);  // nothing answered: the code stays
    EXPECT_EQ(com.DeviceCode(), 0x31u);
}

TEST_F(TalkLinkTest, PortThatWillNotOpenIsReportedAndNothingIsSent) {
    script->failOpen = true;
    CChannelLink ch(&port, 0);
    const ParameterRecord before = ch.record;
    EXPECT_FALSE(ch.ReadParameters());
    EXPECT_FALSE(ch.Sample());
    EXPECT_EQ(ch.record, before);
    ASSERT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(user.messages[0].text, "Failed to open Communications Port");
    EXPECT_EQ(user.messages[0].title, "KVR View");
    EXPECT_TRUE(script->written.empty());

    // Port number 0 (none chosen) never opens; the settings form gets its chance then.
    CSerialPort unset;
    int asked = 0;
    unset.SetOpenFallback([&](CSerialPort&) {
        ++asked;
        return false;
    });
    EXPECT_FALSE(unset.EnsureOpen());
    EXPECT_EQ(asked, 1);
}

class ValueDecodeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ch.values.fill(0);
        ch.valuesLength = 30;
        PutU16(ch.values.data() + 2, 0x13FF);  // entities 1 to 10 and 13
        PutS16(ch.values.data() + 4, 1100);    // 110.0 V
        PutS16(ch.values.data() + 6, 4321);    // 4.321 A
        PutS16(ch.values.data() + 8, 4035);    // active power
        PutS16(ch.values.data() + 10, -120);   // apparent power
        PutS16(ch.values.data() + 14, 27852);  // 0.85
        PutS16(ch.values.data() + 16, 5001);   // 50.01 Hz
        PutS32(ch.values.data() + 18, 123456789);
        PutS32(ch.values.data() + 26, -42);
    }
    CChannelLink ch;
};

TEST_F(ValueDecodeTest, ScalesAndValidity) {
    const std::pair<int, double> expected[] = {
        {1, 110.0}, {2, 4.321},      {13, 4.321} /* shares the current slot */,
        {3, 403.5}, {4, -12.0},      {6, 27852 / 32767.0},
        {7, 50.01}, {8, 12345678.9}, {10, -4.2}};
    for (auto [entity, value] : expected) {
        double v = -1;
        ASSERT_TRUE(ch.GetValue(EntityFromCode(entity), Winding::Primary, v)) << entity;
        EXPECT_DOUBLE_EQ(v, value) << entity;
    }
    // Entities without a slot or with their validity bit clear.
    double v = 7;
    for (int e : {0, 11, 12, 14, 15}) {
        v = 7;
        EXPECT_FALSE(ch.GetValue(EntityFromCode(e), Winding::Primary, v)) << e;
        EXPECT_EQ(v, 0) << e;
    }
    PutU16(ch.values.data() + 2, 0x13FE);  // voltage no longer valid
    EXPECT_FALSE(ch.GetValue(EntityFromCode(1), Winding::Primary, v));
    EXPECT_EQ(v, 0);
    // Above current range 0 powers carry a factor of ten; other entities do not.
    ch.record.SetRanges(0, 2);
    ASSERT_TRUE(ch.GetValue(EntityFromCode(3), Winding::Primary, v));
    EXPECT_DOUBLE_EQ(v, 4035.0);
    ASSERT_TRUE(ch.GetValue(EntityFromCode(2), Winding::Primary, v));
    EXPECT_DOUBLE_EQ(v, 4.321);
    ch.valuesLength = 0;  // nothing read yet
    EXPECT_FALSE(ch.GetValue(EntityFromCode(2), Winding::Primary, v));
}

TEST_F(ValueDecodeTest, SecondaryDividesByTheTransformerRatios) {
    ch.record.SetDirect(InputKind::Voltage, false);
    ch.record.SetPrimary(InputKind::Voltage, Winding::Primary, 11000);
    ch.record.SetPrimary(InputKind::Voltage, Winding::Secondary, 110);  // VT ratio 100
    ch.record.SetDirect(InputKind::Current, false);
    ch.record.SetPrimary(InputKind::Current, Winding::Primary, 400);
    ch.record.SetPrimary(InputKind::Current, Winding::Secondary, 5);  // CT ratio 80
    for (auto [entity, value] :
         {std::pair{1, 1.1}, {2, 4.321 / 80}, {3, 403.5 / 8000}, {7, 50.01}}) {
        double v = 0;
        ASSERT_TRUE(ch.GetValue(EntityFromCode(entity), Winding::Secondary, v)) << entity;
        EXPECT_DOUBLE_EQ(v, value) << entity;
    }
}

}  // namespace
}  // namespace kvr
