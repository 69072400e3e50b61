// KVR Talk frames byte for byte, reply checks, and value decoding, on a recording line
// with the virtual clock.
#include <gtest/gtest.h>

#include <fstream>

#include "link/Bytes.h"
#include "link/ChannelLink.h"
#include "link/IniFile.h"
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
    ScopedClock useClock{clock};
    test::ScriptedUser user;
    ScopedUserSeam useUser{user};
    CSerialPort port;
    std::shared_ptr<test::LineScript> script;
};

TEST_F(TalkLinkTest, FramedCommandsAreByteExact) {
    CTalkLink unit0(&port, 0);
    CTalkLink unit3(&port, 3);
    ASSERT_TRUE(unit0.WriteDac(1, 0x1234));
    EXPECT_EQ(script->written, (Bytes{0xF4, 0x34, 0x12, 0xC6}));
    EXPECT_EQ(script->writeSizes.back(), 4u);  // one buffer write

    script->written.clear();
    script->writeSizes.clear();
    ASSERT_TRUE(unit0.RestoreFactorySettings(5));
    EXPECT_EQ(script->written, (Bytes{0xAD, 0x5A, 0xF9}));
    EXPECT_EQ(script->writeSizes, (std::vector<size_t>{1, 1, 1}));  // three single writes

    script->written.clear();
    ASSERT_TRUE(unit0.SetFactoryMode());
    EXPECT_EQ(script->written, (Bytes{0x88, 0x11, 0x67}));

    script->written.clear();
    ASSERT_TRUE(unit0.SetUserMode());
    EXPECT_EQ(script->written, (Bytes{0x88, 0x10, 0x68}));

    script->written.clear();
    script->writeSizes.clear();
    ASSERT_TRUE(unit3.SetOutputTest(true));
    EXPECT_EQ(script->written, (Bytes{0x8B, 0x21, 0x54}));
    EXPECT_EQ(script->writeSizes.size(), 3u);

    script->written.clear();
    ASSERT_TRUE(unit3.SetLoopbackMode(6, 1, 2, 3, 4));  // mode keeps its low two bits
    EXPECT_EQ(script->written, (Bytes{0x8B, 0x02, 1, 2, 3, 4, 0x69}));

    script->written.clear();
    ASSERT_TRUE(unit3.RelayPulse(2));
    ASSERT_TRUE(unit3.RelayMake(1));
    ASSERT_TRUE(unit3.RelayBreak(0));
    EXPECT_EQ(script->written, (Bytes{0xDB, 0x97, 0xB3}));

    script->written.clear();
    CTalkLink display(&port, 5);
    ASSERT_TRUE(display.RelayMake(0));  // relay commands fold only two address bits
    EXPECT_EQ(script->written, (Bytes{0x91}));
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

TEST_F(TalkLinkTest, ReadParametersChecksEchoChecksumAndSignature) {
    CChannelLink ch(&port, 2);
    ch.record.SetName("Edited");
    const ParameterRecord edited = ch.record;

    ParameterRecord unit;
    unit.ResetToDefaults(2);
    unit.SetSerialNumber(123456);

    // Wrong echo.
    script->Reply(RecordReply(0x81, unit));
    EXPECT_FALSE(ch.ReadParameters());
    EXPECT_EQ(ch.record, edited);
    EXPECT_EQ(script->written.back(), 0x82);

    // Bad checksum.
    Bytes bad = RecordReply(0x82, unit);
    bad.back() ^= 0x01;
    script->replies.clear();
    script->Reply(bad);
    EXPECT_FALSE(ch.ReadParameters());
    EXPECT_EQ(ch.record, edited);

    // Short reply.
    Bytes shortReply = RecordReply(0x82, unit);
    shortReply.resize(60);
    script->replies.clear();
    script->Reply(shortReply);
    EXPECT_FALSE(ch.ReadParameters());
    EXPECT_EQ(ch.record, edited);

    // A correct frame carrying a record whose signature is not 7502.
    ParameterRecord unsigned_ = unit;
    unsigned_.SetSignature(7501);
    script->replies.clear();
    script->Reply(RecordReply(0x82, unsigned_));
    EXPECT_FALSE(ch.ReadParameters());
    EXPECT_EQ(ch.record, edited);

    // And the good one.
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
    EXPECT_EQ(DownloadDelayMs(), 100u);  // no file
    std::ofstream(dir.File("QRL.ini")) << "; comment\n[kvr view]\nkvr download delay=40\n";
    EXPECT_EQ(DownloadDelayMs(), 40u);  // names compare without case; no cache
    std::ofstream(dir.File("QRL.ini")) << "[KVR View]\nKVR Download Delay=-5\n";
    EXPECT_EQ(DownloadDelayMs(), 0u);
    std::ofstream(dir.File("QRL.ini")) << "[Other]\nKVR Download Delay=7\n[KVR View]\nX=1\n";
    EXPECT_EQ(DownloadDelayMs(), 100u);  // the key of another section does not count
    std::ofstream(dir.File("QRL.ini")) << "[KVR View]\nKVR Download Delay=fast\n";
    EXPECT_EQ(DownloadDelayMs(), 100u);
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

    // Port number 0 (none chosen) never opens, whatever the line.
    CSerialPort unset;
    EXPECT_FALSE(unset.EnsureOpen());
    EXPECT_FALSE(unset.Close());
    // The settings form gets its chance when the stored settings fail.
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
    double v = -1;
    ASSERT_TRUE(ch.GetValue(1, false, v));
    EXPECT_DOUBLE_EQ(v, 110.0);
    ASSERT_TRUE(ch.GetValue(2, false, v));
    EXPECT_DOUBLE_EQ(v, 4.321);
    ASSERT_TRUE(ch.GetValue(13, false, v));  // shares the current slot
    EXPECT_DOUBLE_EQ(v, 4.321);
    ASSERT_TRUE(ch.GetValue(3, false, v));
    EXPECT_DOUBLE_EQ(v, 403.5);
    ASSERT_TRUE(ch.GetValue(4, false, v));
    EXPECT_DOUBLE_EQ(v, -12.0);
    ASSERT_TRUE(ch.GetValue(6, false, v));
    EXPECT_NEAR(v, 0.85, 1e-4);
    ASSERT_TRUE(ch.GetValue(7, false, v));
    EXPECT_DOUBLE_EQ(v, 50.01);
    ASSERT_TRUE(ch.GetValue(8, false, v));
    EXPECT_DOUBLE_EQ(v, 12345678.9);
    ASSERT_TRUE(ch.GetValue(10, false, v));
    EXPECT_DOUBLE_EQ(v, -4.2);

    // Entities without a slot or with their validity bit clear.
    for (int e : {0, 11, 12, 14, 15}) {
        v = 7;
        EXPECT_FALSE(ch.GetValue(e, false, v)) << e;
        EXPECT_EQ(v, 0) << e;
    }
    PutU16(ch.values.data() + 2, 0x13FE);  // voltage no longer valid
    EXPECT_FALSE(ch.GetValue(1, false, v));
    EXPECT_EQ(v, 0);
    ch.valuesLength = 0;  // nothing read yet
    EXPECT_FALSE(ch.GetValue(2, false, v));
}

TEST_F(ValueDecodeTest, PowersCarryAFactorOfTenAboveCurrentRangeZero) {
    ch.record.SetRanges(0, 2);
    double v = 0;
    ASSERT_TRUE(ch.GetValue(3, false, v));
    EXPECT_DOUBLE_EQ(v, 4035.0);
    ASSERT_TRUE(ch.GetValue(1, false, v));  // other entities unchanged
    EXPECT_DOUBLE_EQ(v, 110.0);
    ASSERT_TRUE(ch.GetValue(2, false, v));
    EXPECT_DOUBLE_EQ(v, 4.321);
}

TEST_F(ValueDecodeTest, SecondaryDividesByTheTransformerRatios) {
    ch.record.SetDirect(false, false);
    ch.record.SetPrimary(false, false, 11000);
    ch.record.SetPrimary(false, true, 110);  // VT ratio 100
    ch.record.SetDirect(true, false);
    ch.record.SetPrimary(true, false, 400);
    ch.record.SetPrimary(true, true, 5);  // CT ratio 80
    double v = 0;
    ASSERT_TRUE(ch.GetValue(1, true, v));
    EXPECT_DOUBLE_EQ(v, 1.1);
    ASSERT_TRUE(ch.GetValue(2, true, v));
    EXPECT_DOUBLE_EQ(v, 4.321 / 80);
    ASSERT_TRUE(ch.GetValue(3, true, v));
    EXPECT_DOUBLE_EQ(v, 403.5 / 8000);
    ASSERT_TRUE(ch.GetValue(7, true, v));
    EXPECT_DOUBLE_EQ(v, 50.01);
}

}  // namespace
}  // namespace kvr
