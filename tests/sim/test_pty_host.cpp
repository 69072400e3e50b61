// The units on a real pseudo-terminal, opened the way the program opens a device, and the
// kvr-sim program itself.
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "SimTestUtil.h"
#include "support/Process.h"
#include "support/SimOnPty.h"
#include "support/TempDir.h"

namespace kvr::sim::test {
namespace {

using kvr::test::SimOnPty;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Sends a command and reads up to `expect` reply bytes (the port's own timeouts apply).
Bytes Exchange(CSerialPort& port, const Bytes& command, size_t expect) {
    EXPECT_TRUE(port.WriteBuffer(command.data(), command.size()));
    Bytes reply(expect);
    reply.resize(port.ReadBuffer(reply.data(), expect));
    return reply;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

TEST(PtyHost, ServesARecordPacedAtTheBaudRate) {
    SimOnPty sim;  // 9600 baud
    ASSERT_EQ(sim.error, "");
    EXPECT_EQ(sim.host.SlavePath().rfind("/dev/pts/", 0), 0u);
    const Clock::time_point start = Clock::now();
    const Bytes reply = Exchange(sim.port, {0x82}, 117);
    ASSERT_EQ(reply.size(), 117u);
    // 118 characters of 10 bits at 9600 baud cannot cross the wire in under 120 ms.
    EXPECT_GE(MsSince(start), 120);
    EXPECT_EQ(reply[0], 0x82);
    EXPECT_TRUE(std::equal(reply.begin() + 1, reply.end() - 1, sim.Record(2).Bytes().begin()));
    EXPECT_TRUE(talk::SumsToZero(reply.data(), reply.size()));
    EXPECT_EQ(sim.host.BytesIn(), 1u);

    // With no client on the line the host must wait, not spin, and serve the next one.
    sim.port.Close();
    const double cpu = ProcessCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(ProcessCpuMs() - cpu, 100.0);
    ASSERT_TRUE(sim.port.EnsureOpen()) << sim.port.LastError();
    ParameterRecord r = sim.Record(0);
    r.SetName("Over the pty");
    EXPECT_EQ(Exchange(sim.port, WriteFrame(0, r), 1), Bytes{0xE8});
    EXPECT_EQ(sim.Record(0), r);
}

TEST(PtyHost, IgnoresAClientAtTheWrongLineSettings) {
    SimOnPty sim;
    ASSERT_EQ(sim.error, "");
    const std::string path = sim.host.SlavePath();
    ASSERT_TRUE(sim.port.OpenDevice(path, "19200", "None", "8", "1"));
    EXPECT_TRUE(Exchange(sim.port, {0x80}, 1).empty());
    // A pseudo-terminal always keeps 8 data bits without parity, so the stop bits are the
    // part of the character format a client can get wrong.
    ASSERT_TRUE(sim.port.OpenDevice(path, "9600", "None", "8", "2"));
    EXPECT_TRUE(Exchange(sim.port, {0x80}, 1).empty());
    EXPECT_EQ(sim.host.BytesIn(), 2u);  // heard, but as framing errors
    EXPECT_EQ(sim.host.BytesOut(), 0u);
    ASSERT_TRUE(sim.port.OpenDevice(path, "9600", "None", "8", "1"));
    EXPECT_EQ(Exchange(sim.port, {0x80}, 117).size(), 117u);
}

TEST(PtyHost, LinkIsMadeReplacedAndRemoved) {
    kvr::test::TempDir dir;
    const std::string link = dir.File("kvr-tty");
    ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0);  // a stale link is replaced
    {
        SimOnPty sim({}, link);
        ASSERT_EQ(sim.error, "");
        char target[128] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(sim.host.SlavePath(), target);
        ASSERT_TRUE(sim.port.OpenDevice(link, "9600", "None", "8", "1"));
        EXPECT_EQ(Exchange(sim.port, {0x03}, 5).size(), 5u);
        sim.host.Stop();
        EXPECT_FALSE(Exists(link));
    }
    {
        SimOnPty sim({}, link);  // and a host that hangs up removes it too
        ASSERT_EQ(sim.error, "");
        sim.units.GetFaults().hangUp = true;
        const Clock::time_point start = Clock::now();
        while (sim.host.Serving() && MsSince(start) < 1000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_FALSE(sim.host.Serving());
        EXPECT_FALSE(Exists(link));
    }
    // A regular file is never overwritten.
    const std::string file = dir.File("precious");
    std::ofstream(file) << "keep";
    SimUnits units(SimOptions{});
    PtyHost host(units);
    std::string error;
    EXPECT_FALSE(host.Start(file, error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    std::string content;
    std::ifstream(file) >> content;
    EXPECT_EQ(content, "keep");
}

// --- the kvr-sim program ----------------------------------------------------------------

TEST(KvrSimProgram, ServesUntilSignalledThenRemovesItsLink) {
    kvr::test::TempDir dir;
    const std::string link = dir.File("kvr-tty");
    kvr::test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr100", "--address", "1", "--link", link});
    EXPECT_EQ(sim.Path().rfind("/dev/pts/", 0), 0u) << sim.Path();
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(link, "9600", "None", "8", "1")) << port.LastError();
    const Bytes reply = Exchange(port, {0x01}, 5);
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[0], 0x01);  // a KVR 100 with the extended values reply
    EXPECT_TRUE(talk::SumsToZero(reply.data(), reply.size()));
    EXPECT_TRUE(Exchange(port, {0x00}, 1).empty());  // nothing at another address
    port.Close();
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(Exists(link));

    // With its input at end of file it keeps serving until killed (status -1).
    EXPECT_EQ(kvr::test::Run({KVR_SIM_EXE, "--link", dir.File("bg")}, 500).status, -1);
}

TEST(KvrSimProgram, BadArgumentsExitWithStatus2AndOneLine) {
    const std::vector<std::vector<std::string>> cases = {{"--unit", "kvr200"},
                                                         {"--unit", "kvr300", "--address", "1"},
                                                         {"--address", "3", "--unit", "kvr100"},
                                                         {"--baud"},
                                                         {"--firmware", "300"},
                                                         {"--baud", "12345"},
                                                         {"--frobnicate"}};
    for (std::vector<std::string> args : cases) {
        args.insert(args.begin(), KVR_SIM_EXE);
        const kvr::test::RunResult r = kvr::test::Run(args, 5000);
        EXPECT_EQ(r.status, 2) << args[1];
        EXPECT_EQ(r.err.rfind("kvr-sim: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;  // one line
    }
}

}  // namespace
}  // namespace kvr::sim::test
