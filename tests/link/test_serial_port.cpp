// The termios path on real pseudo-terminals: opening, exclusivity, line settings, the
// read timeouts and a line whose other end goes away. These few tests wait for real.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <tuple>

#include "PtyPair.h"

#include "base/Seams.h"
#include "base/Trace.h"
#include "link/PortMap.h"
#include "link/SerialPort.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using test::Pty;

long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

// Plays the unit during a read: does `first`, then waits for the read to end. Not told so
// within `patience`, it does `late` (sends a byte, hangs up), which a read still running
// shows in its result. The patience is many times the timeout that should end the read
// and far short of the one that should not, so no clock decides a pass.
class UnitDuringRead {
  public:
    UnitDuringRead(std::function<void()> first, std::chrono::milliseconds patience,
                   std::function<void()> late)
        : thread_([=, ended = readEnded_.get_future()] {
              first();
              if (ended.wait_for(patience) == std::future_status::timeout) {
                  late();
              }
          }) {}
    ~UnitDuringRead() {
        readEnded_.set_value();
        thread_.join();
    }

  private:
    std::promise<void> readEnded_;
    std::thread thread_;  // after the promise, whose future it takes
};

// A port open at 9600 8N1 on a fresh pseudo-terminal.
class SerialPortRead : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(port.OpenDevice(pty.path, "9600", "None", "8", "1")) << port.LastError();
    }
    Pty pty;
    CSerialPort port;
    uint8_t buffer[117] = {};
};

TEST(SerialPortOpen, FailsCleanlyWithAReason) {
    CSerialPort port;
    EXPECT_FALSE(port.OpenDevice("/dev/kvr-no-such-device", "9600", "None", "8", "1"));
    EXPECT_NE(port.LastError().find("no such device"), std::string::npos) << port.LastError();
    EXPECT_FALSE(port.IsOpen());

    test::TempDir dir;
    std::ofstream(dir.File("plain")) << "x";
    EXPECT_FALSE(port.OpenDevice(dir.File("plain"), "9600", "None", "8", "1"));
    EXPECT_NE(port.LastError().find("not a serial device"), std::string::npos);

    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    EXPECT_FALSE(port.OpenDevice(pty.path, "9601", "None", "8", "1"));
    EXPECT_NE(port.LastError().find("baud"), std::string::npos);
    EXPECT_FALSE(port.OpenDevice(pty.path, "9600", "Mark", "8", "1"));
    EXPECT_FALSE(port.OpenDevice(pty.path, "9600", "None", "9", "1"));
    EXPECT_FALSE(port.OpenDevice(pty.path, "9600", "None", "8", "3"));
    EXPECT_FALSE(port.Open(0, "9600", "None", "8", "1"));  // port number 0: none chosen
    EXPECT_FALSE(port.Open(33, "9600", "None", "8", "1"));
    EXPECT_FALSE(port.Close());  // closed already
}

TEST(SerialPortOpen, HoldsTheDeviceExclusively) {
    Pty pty;
    CSerialPort first;
    ASSERT_TRUE(first.OpenDevice(pty.path, "9600", "None", "8", "1")) << first.LastError();
    CSerialPort second;
    EXPECT_FALSE(second.OpenDevice(pty.path, "9600", "None", "8", "1"));
    EXPECT_NE(second.LastError().find("busy"), std::string::npos) << second.LastError();
    EXPECT_TRUE(first.Close());
    EXPECT_TRUE(second.OpenDevice(pty.path, "9600", "None", "8", "1")) << second.LastError();
}

TEST(SerialPortOpen, AppliesTheLineSettings) {
    Pty pty;
    CSerialPort port;
    // A pseudo-terminal keeps the speed and the stop bits; it forces 8 data bits and no
    // parity, so those are checked on the parsed settings below.
    ASSERT_TRUE(port.OpenDevice(pty.path, "38400", "Even", "7", "2"));
    termios t = pty.SlaveSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_lflag & (ECHO | ICANON));  // raw: nothing echoes back onto the line
    ASSERT_TRUE(port.OpenDevice(pty.path, "9600", "None", "8", "1"));
    t = pty.SlaveSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_FALSE(t.c_cflag & CSTOPB);

    LineSettings s;
    std::string error;
    const auto parsed = [&s] { return std::tuple(s.baud, s.parity, s.dataBits, s.stopBits); };
    ASSERT_TRUE(ParseLineSettings("300", "even", "7", "2", s, error));
    EXPECT_EQ(parsed(), std::tuple(300u, 'E', 7, 2));
    ASSERT_TRUE(ParseLineSettings("19200", "Odd", "8", "1", s, error));
    EXPECT_EQ(parsed(), std::tuple(19200u, 'O', 8, 1));
    for (const char* baud : {"", "96OO"}) {
        EXPECT_FALSE(ParseLineSettings(baud, "None", "8", "1", s, error)) << baud;
    }
    EXPECT_FALSE(ParseLineSettings("9600", "", "8", "1", s, error));

    // DTR on a pseudo-terminal has no line to drive; that is not a failure.
    EXPECT_TRUE(port.SetDtr(true));
    EXPECT_TRUE(port.SetDtr(false));
    // EnsureOpen on an open port leaves the device alone.
    port.Settings().device = "/dev/kvr-no-such-device";
    EXPECT_TRUE(port.EnsureOpen());
    EXPECT_EQ(port.DevicePath(), pty.path);
}

TEST_F(SerialPortRead, ShortReplyEndsAfterTheIntervalGapNotTheTotalTimeout) {
    // 4000 bytes asked for: a total timeout of 21 s against the gap of 0.5 s. A read the
    // gap did not end takes in the byte the unit sends 5 s on.
    std::vector<uint8_t> reply(4000, 0xEE);
    pty.Send({1, 2, 3, 4, 5});
    const auto start = std::chrono::steady_clock::now();
    size_t got = 0;
    {
        UnitDuringRead unit([] {}, std::chrono::seconds(5), [&] { pty.Send({6}); });
        got = port.ReadBuffer(reply.data(), reply.size());
    }
    EXPECT_EQ(got, 5u);
    EXPECT_GE(ElapsedMs(start), 480);  // but the gap was waited out
    EXPECT_EQ(reply[4], 5);
    EXPECT_EQ(reply[5], 0);  // what did not arrive reads as zeros
}

TEST_F(SerialPortRead, SilentLineEndsAfterTheTotalTimeout) {
    buffer[3] = 0xEE;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ReadBuffer(buffer, 20), 0u);  // 1000 + 5 x 20 ms
    EXPECT_GE(ElapsedMs(start), 1090);
    EXPECT_EQ(buffer[3], 0);
    EXPECT_TRUE(port.IsOpen());  // a timeout is not a failure of the line
}

TEST(SerialLineRead, ACompleteReplyEndsTheReadAtOnce) {
    Pty pty;
    std::string error;
    const std::unique_ptr<ISerialLine> line = OpenTermiosLine(pty.path, LineSettings{}, error);
    ASSERT_TRUE(line) << error;
    // Gap and total timeout of ten minutes: a read that waited for either once it had its
    // three bytes is still running when the unit hangs up 5 s on.
    uint8_t buffer[3] = {};
    long got = 0;
    {
        UnitDuringRead unit(
            [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));  // during the read
                pty.Send({9, 8, 7});
            },
            std::chrono::seconds(5), [&] { pty.CloseMaster(); });
        got = line->Read(buffer, 3, 600'000, 600'000);
    }
    EXPECT_EQ(got, 3);
    EXPECT_FALSE(line->HungUp());
    EXPECT_EQ(buffer[2], 7);
}

TEST_F(SerialPortRead, HungUpLineFailsAtOnceAndClosesThePort) {
    pty.CloseMaster();
    EXPECT_EQ(port.ReadBuffer(buffer, 117), 0u);
    EXPECT_FALSE(port.IsOpen());  // seen as a hang-up, not waited out as a silence
    EXPECT_FALSE(port.WriteByte(0x80));
}

TEST_F(SerialPortRead, TraceLinesInTheDocumentedFormat) {
    std::string trace;
    {
        ScopedSeams sink(Seams{.trace = [&](const std::string& text) { trace += text; }});
        ASSERT_TRUE(port.WriteByte(0x82));
        pty.Send({0xAB, 0x05});
        port.ReadBuffer(buffer, 3);
    }
    EXPECT_EQ(pty.Received(), 0x82);
    EXPECT_EQ(trace,
              "[1;1]>:0x82;\r\n"
              "[3;2]<:0xab;0x05;0x00;Read 2 out of 3 Bytes\r\n");
}

TEST(PortMapping, StableOrderAndOverrides) {
    test::TempDir dev;
    for (const char* name :
         {"ttyS1", "ttyUSB10", "ttyS0", "ttyUSB2", "ttyACM0", "tty0", "ttyUSBx"}) {
        std::ofstream(dev.File(name)) << "";
    }
    EXPECT_EQ(
        FindSerialDevices(dev.Path()),
        (std::vector<std::string>{dev.File("ttyUSB2"), dev.File("ttyUSB10"), dev.File("ttyACM0"),
                                  dev.File("ttyS0"), dev.File("ttyS1")}));

    test::TempDir conf;
    test::ScopedEnv file("KVR_PORTS_FILE", conf.File("sub/ports.conf"));
    std::string error;
    ASSERT_TRUE(SavePortOverride(PortOverridesPath(), 3, "/dev/kvr-bench", error)) << error;
    ASSERT_TRUE(SavePortOverride(PortOverridesPath(), 7, "/dev/other", error));
    ASSERT_TRUE(SavePortOverride(PortOverridesPath(), 7, "", error));  // removed again
    EXPECT_FALSE(SavePortOverride(PortOverridesPath(), 33, "/dev/x", error));
    std::vector<PortEntry> table = PortTable(dev.Path());
    ASSERT_EQ(table.size(), 32u);
    EXPECT_EQ(table[0].device, dev.File("ttyUSB2"));
    EXPECT_FALSE(table[0].overridden);
    EXPECT_EQ(table[2].device, "/dev/kvr-bench");
    EXPECT_TRUE(table[2].overridden);
    EXPECT_EQ(table[3].device, dev.File("ttyS0"));  // overrides do not shift the others
    EXPECT_EQ(table[6].device, "");  // 7 is automatic again, and nothing is behind it

    // A port number opens the device set for it.
    Pty pty;
    ASSERT_TRUE(SavePortOverride(PortOverridesPath(), 5, pty.path, error));
    CSerialPort port;
    port.Settings().port = 5;
    EXPECT_TRUE(port.EnsureOpen()) << port.LastError();
    EXPECT_EQ(port.DevicePath(), pty.path);
}

}  // namespace
}  // namespace kvr
