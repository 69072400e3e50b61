// The units on a real pseudo-terminal, opened the way any serial program opens a device,
// and the kvr-sim program itself.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "SimTestUtil.h"
#include "sim/PtyHost.h"
#include "support/TempDir.h"

namespace kvr::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Opens a terminal raw at the given speed and format, as a serial program would.
int OpenTerminal(const std::string& path, speed_t speed, bool twoStopBits = false) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CSTOPB;
    if (twoStopBits) {
        t.c_cflag |= CSTOPB;
    }
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// Reads until n bytes came, the line failed, or the time is up. -1 when the line failed
// before anything arrived.
long ReadFor(int fd, uint8_t* buffer, size_t n, int ms) {
    const Clock::time_point start = Clock::now();
    size_t got = 0;
    while (got < n) {
        const long left = ms - MsSince(start);
        if (left <= 0) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        const ssize_t r = read(fd, buffer + got, n - got);
        if (r <= 0) {
            return got > 0 ? static_cast<long>(got) : -1;
        }
        got += static_cast<size_t>(r);
    }
    return static_cast<long>(got);
}

Bytes Exchange(int fd, const Bytes& command, size_t expect, int ms = 2000) {
    EXPECT_EQ(write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    Bytes reply(expect == 0 ? 1 : expect);
    const long got = ReadFor(fd, reply.data(), reply.size(), ms);
    reply.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return reply;
}

double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

SimOptions At9600() {
    SimOptions o;
    o.baud = 9600;
    o.turnaroundUs = 2000;
    return o;
}

TEST(PtyHost, ServesARecordPacedAtTheBaudRate) {
    SimUnits units(At9600());
    PtyHost host(units);
    std::string error;
    ASSERT_TRUE(host.Start("", error)) << error;
    EXPECT_EQ(host.SlavePath().rfind("/dev/pts/", 0), 0u);
    EXPECT_TRUE(host.Serving());

    // Nobody has the slave open yet: the host must wait, not spin.
    const double cpu = ProcessCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(ProcessCpuMs() - cpu, 100.0);

    const int fd = OpenTerminal(host.SlavePath(), B9600);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const Clock::time_point start = Clock::now();
    const Bytes reply = Exchange(fd, {0x82}, 117);
    const long ms = MsSince(start);
    ASSERT_EQ(reply.size(), 117u);
    EXPECT_EQ(reply[0], 0x82);
    EXPECT_TRUE(std::equal(reply.begin() + 1, reply.end() - 1, RecordOf(units, 2).Bytes().begin()));
    EXPECT_TRUE(talk::SumsToZero(reply.data(), reply.size()));
    // 118 characters of 10 bits at 9600 baud cannot cross the wire in under 120 ms.
    EXPECT_GE(ms, 120);
    EXPECT_EQ(host.BytesIn(), 1u);
    // The host counts a write once it has returned, which may be just after we read it.
    for (int i = 0; i < 100 && host.BytesOut() < 117u; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(host.BytesOut(), 117u);

    // A write is stored and acknowledged over the line too.
    ParameterRecord r = RecordOf(units, 0);
    r.SetName("Over the pty");
    EXPECT_EQ(Exchange(fd, WriteFrame(0, r), 1), Bytes{0xE8});
    EXPECT_EQ(RecordOf(units, 0), r);
    close(fd);
}

TEST(PtyHost, IgnoresAClientAtTheWrongLineSettings) {
    SimUnits units(At9600());
    PtyHost host(units);
    std::string error;
    ASSERT_TRUE(host.Start("", error)) << error;

    int fd = OpenTerminal(host.SlavePath(), B19200);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(Exchange(fd, {0x80}, 117, 400).empty());
    close(fd);

    // (A pseudo-terminal always keeps 8 data bits without parity, so the stop bits are
    // the part of the character format a test can get wrong.)
    fd = OpenTerminal(host.SlavePath(), B9600, /*twoStopBits=*/true);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(Exchange(fd, {0x80}, 117, 400).empty());
    EXPECT_EQ(host.BytesIn(), 2u);  // heard, but as framing errors
    EXPECT_EQ(host.BytesOut(), 0u);
    close(fd);

    fd = OpenTerminal(host.SlavePath(), B9600);
    EXPECT_EQ(Exchange(fd, {0x80}, 117).size(), 117u);
    close(fd);
}

TEST(PtyHost, LinkIsMadeReplacedAndRemoved) {
    kvr::test::TempDir dir;
    const std::string link = dir.File("kvr-tty");
    ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0);  // a stale link is replaced
    SimUnits units(At9600());
    {
        PtyHost host(units);
        std::string error;
        ASSERT_TRUE(host.Start(link, error)) << error;
        char target[128] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(host.SlavePath(), target);
        const int fd = OpenTerminal(link, B9600);
        EXPECT_EQ(Exchange(fd, {0x03}, 5).size(), 5u);
        close(fd);
        host.Stop();
        struct stat st {};
        EXPECT_NE(lstat(link.c_str(), &st), 0);
    }
    // A regular file is never overwritten.
    const std::string file = dir.File("precious");
    std::ofstream(file) << "keep";
    PtyHost host(units);
    std::string error;
    EXPECT_FALSE(host.Start(file, error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    std::ifstream in(file);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "keep");
}

TEST(PtyHost, HangUpClosesTheLine) {
    kvr::test::TempDir dir;
    const std::string link = dir.File("tty");
    SimUnits units(At9600());
    PtyHost host(units);
    std::string error;
    ASSERT_TRUE(host.Start(link, error)) << error;
    const int fd = OpenTerminal(link, B9600);
    ASSERT_EQ(Exchange(fd, {0x81}, 117).size(), 117u);
    units.GetFaults().hangUp = true;
    const Clock::time_point start = Clock::now();
    while (host.Serving() && MsSince(start) < 1000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(host.Serving());
    uint8_t b[117];
    EXPECT_EQ(ReadFor(fd, b, 1, 500), -1);  // the client's read fails, no waiting
    EXPECT_LT(MsSince(start), 900);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    close(fd);
}

// --- the kvr-sim program ----------------------------------------------------------------

struct Child {
    pid_t pid = -1;
    int out = -1;  // its stdout
    int err = -1;  // its stderr
};

Child Spawn(const std::vector<std::string>& args) {
    int outPipe[2], errPipe[2];
    Child c;
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        return c;
    }
    std::vector<char*> argv;
    std::string exe = KVR_SIM_EXE;
    argv.push_back(exe.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    c.pid = fork();
    if (c.pid == 0) {
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    c.out = outPipe[0];
    c.err = errPipe[0];
    return c;
}

std::string ReadLine(int fd, int ms) {
    std::string line;
    char ch = 0;
    while (ReadFor(fd, reinterpret_cast<uint8_t*>(&ch), 1, ms) == 1 && ch != '\n') {
        line += ch;
    }
    return line;
}

int WaitExit(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(KvrSimProgram, ServesUntilSignalledThenRemovesItsLink) {
    kvr::test::TempDir dir;
    const std::string link = dir.File("kvr-tty");
    Child c = Spawn({"--unit", "kvr100", "--address", "1", "--baud", "9600", "--link", link});
    ASSERT_GT(c.pid, 0);
    const std::string path = ReadLine(c.out, 3000);
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(ReadLine(c.out, 1000), "linked at " + link);

    // Its stdin is /dev/null: end of input must not have stopped it.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const int fd = OpenTerminal(link, B9600);
    ASSERT_GE(fd, 0);
    const Bytes reply = Exchange(fd, {0x01}, 5);
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[0], 0x01);  // a KVR 100 with the extended values reply
    EXPECT_TRUE(talk::SumsToZero(reply.data(), reply.size()));
    EXPECT_TRUE(Exchange(fd, {0x00}, 5, 300).empty());
    close(fd);

    kill(c.pid, SIGTERM);
    EXPECT_EQ(WaitExit(c.pid), 0);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    close(c.out);
    close(c.err);
}

TEST(KvrSimProgram, BadArgumentsExitWithStatus2AndOneLine) {
    const std::vector<std::vector<std::string>> cases = {{"--unit", "kvr200"},
                                                         {"--unit", "kvr300", "--address", "1"},
                                                         {"--address", "3", "--unit", "kvr100"},
                                                         {"--baud"},
                                                         {"--firmware", "300"},
                                                         {"--baud", "12345"},
                                                         {"--frobnicate"}};
    for (const auto& args : cases) {
        Child c = Spawn(args);
        ASSERT_GT(c.pid, 0);
        EXPECT_EQ(WaitExit(c.pid), 2) << args[0];
        const std::string line = ReadLine(c.err, 1000);
        EXPECT_EQ(line.rfind("kvr-sim: ", 0), 0u) << line;
        EXPECT_EQ(ReadLine(c.err, 100), "");  // one line only
        close(c.out);
        close(c.err);
    }
}

}  // namespace
}  // namespace kvr::sim::test
