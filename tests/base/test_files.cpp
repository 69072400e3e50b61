// The file helper under every write and whole-file read, and the port map written through it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Files.h"
#include "base/IniFile.h"
#include "link/PortMap.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A process id that is certainly not running: a child that has been reaped.
pid_t DeadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        _exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    return pid;
}

TEST(Files, AtomicWritesKeepOrGiveModesAndLeaveNothingBehind) {
    test::TempDir dir;
    const std::string path = dir.File("a.kvr");
    std::string error;
    WriteOptions secret;
    secret.newFileMode = 0600;
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("one"), error, secret)) << error;
    EXPECT_EQ(ModeOf(path), 0600u);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("two"), error)) << error;
    EXPECT_EQ(Slurp(path), "two");
    EXPECT_EQ(ModeOf(path), 0640u);  // an existing file keeps its permissions
    secret.forceMode = true;
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("three"), error, secret));
    EXPECT_EQ(ModeOf(path), 0600u);

    // The leftovers of a killed writer go with the next write; a live writer's stay.
    const std::string stale = dir.File(".a.kvr.tmp-" + std::to_string(DeadPid()) + "-0123");
    const std::string live = dir.File(".a.kvr.tmp-" + std::to_string(::getppid()) + "-4567");
    std::ofstream(stale) << "half";
    std::ofstream(live) << "busy";
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("four"), error));
    EXPECT_EQ(
        Names(dir.Path()),
        (std::vector<std::string>{".a.kvr.tmp-" + std::to_string(::getppid()) + "-4567", "a.kvr"}));

    // A failed write (the disk "fills up") removes its temporary file and leaves the old file.
    fs::remove(live);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteFileAtomically(path, std::string(1000, 'x'), error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "File too large");
    EXPECT_EQ(Slurp(path), "four");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"a.kvr"});
}

TEST(Files, LinksAndSpecialFilesAtTheTarget) {
    test::TempDir dir;
    std::string error;
    // The user's own link stays a link and its target gets the content.
    fs::create_directories(dir.File("real"));
    std::ofstream(dir.File("real/settings.reg")) << "old";
    fs::create_symlink(dir.File("real/settings.reg"), dir.File("link.reg"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("link.reg"), std::string_view("new"), error));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.reg")));
    EXPECT_EQ(Slurp(dir.File("real/settings.reg")), "new");
    fs::create_symlink("real/later.reg", dir.File("later.reg"));  // to a file yet to be made
    ASSERT_TRUE(WriteFileAtomically(dir.File("later.reg"), std::string_view("made"), error));
    EXPECT_TRUE(fs::is_symlink(dir.File("later.reg")));
    EXPECT_EQ(Slurp(dir.File("real/later.reg")), "made");
    // A link somebody else planted is replaced, never followed.
    std::ofstream(dir.File("victim")) << "theirs";
    fs::create_symlink(dir.File("victim"), dir.File("planted.kvr"));
    if (::lchown(dir.File("planted.kvr").c_str(), 65534, 65534) == 0) {  // only root may
        ASSERT_TRUE(WriteFileAtomically(dir.File("planted.kvr"), std::string_view("x"), error));
        EXPECT_FALSE(fs::is_symlink(dir.File("planted.kvr")));
        EXPECT_EQ(Slurp(dir.File("victim")), "theirs");
    }
    // A folder or a FIFO in place of the file is refused and left.
    fs::create_directories(dir.File("folder"));
    EXPECT_FALSE(WriteFileAtomically(dir.File("folder"), std::string_view("x"), error));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(WriteFileAtomically(dir.File("fifo"), std::string_view("x"), error));
    EXPECT_EQ(error, "not a regular file");
    EXPECT_TRUE(fs::is_fifo(dir.File("fifo")));
}

TEST(Files, WholeFileReadsRefuseWhatIsNoFileWithoutBlocking) {
    test::TempDir dir;
    std::string data = "stale";
    std::string error;
    bool missing = false;
    EXPECT_FALSE(ReadWholeFile(dir.File("none"), data, error, {}, &missing));
    EXPECT_TRUE(missing);
    EXPECT_TRUE(data.empty());

    // A FIFO with no writer would block a plain open forever; a device never ends.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    for (const std::string& special : {dir.File("fifo"), std::string("/dev/zero"), dir.Path()}) {
        EXPECT_FALSE(ReadWholeFile(special, data, error, {}, &missing)) << special;
        EXPECT_FALSE(missing) << special;
    }
    EXPECT_EQ(error, "Is a directory");

    std::ofstream(dir.File("big")) << std::string(1000, 'x');
    ReadOptions small;
    small.maxBytes = 999;
    EXPECT_FALSE(ReadWholeFile(dir.File("big"), data, error, small));
    small.maxBytes = 1000;
    EXPECT_TRUE(ReadWholeFile(dir.File("big"), data, error, small));
    EXPECT_EQ(data.size(), 1000u);

    fs::create_symlink(dir.File("big"), dir.File("link"));
    EXPECT_TRUE(ReadWholeFile(dir.File("link"), data, error));
    ReadOptions noLink;
    noLink.followSymlink = false;
    EXPECT_FALSE(ReadWholeFile(dir.File("link"), data, error, noLink));

    // The configuration readers built on it take such files as empty.
    test::ScopedEnv ini("KVR_QRL_INI", dir.File("fifo"));
    EXPECT_EQ(DownloadDelayMs(), 100u);
    EXPECT_TRUE(LoadPortOverrides("/dev/zero").empty());
    EXPECT_TRUE(LoadPortOverrides(dir.File("fifo")).empty());
}

TEST(Files, LockFilesAreNeverFollowed) {
    test::TempDir dir;
    fs::create_symlink(dir.File("victim"), dir.File("store.lock"));
    FileLock lock(dir.File("store.lock"));
    EXPECT_FALSE(lock.Held());
    EXPECT_FALSE(fs::exists(dir.File("victim")));
    FileLock good(dir.File("other.lock"));
    EXPECT_TRUE(good.Held()) << good.Error();
    EXPECT_EQ(ModeOf(dir.File("other.lock")), 0600u);
}

TEST(PortMap, RewritesKeepEveryOtherLine) {
    const std::string text =
        "# my adapters\n"
        "3=/dev/ttyUSB0\n"
        "garbage line\n"
        "7=/dev/ttyS0 \r\n"
        "3=/dev/ttyUSB9\n"  // a later line of a number wins on reading
        "40=/dev/ttyX\n";
    EXPECT_EQ(ParsePortOverrides(text),
              (std::map<int, std::string>{{3, "/dev/ttyUSB9"}, {7, "/dev/ttyS0"}}));
    EXPECT_EQ(EditPortOverrides(text, 3, "/dev/ttyACM1"),
              "# my adapters\n3=/dev/ttyACM1\ngarbage line\n7=/dev/ttyS0 \r\n40=/dev/ttyX\n");
    EXPECT_EQ(EditPortOverrides(text, 7, ""),
              "# my adapters\n3=/dev/ttyUSB0\ngarbage line\n3=/dev/ttyUSB9\n40=/dev/ttyX\n");
    EXPECT_EQ(EditPortOverrides("# only\n5=/dev/a", 9, "/dev/b"), "# only\n5=/dev/a\n9=/dev/b\n");
}

TEST(PortMap, ConcurrentSettersAllLandInAPrivateFolder) {
    test::TempDir dir;
    const std::string path = dir.File("conf/kvr-view/ports.conf");
    std::vector<pid_t> children;
    for (int p = 0; p < 4; ++p) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < 8; ++i) {
                const int n = p * 8 + i + 1;
                std::string error;
                failures += !SavePortOverride(path, n, "/dev/tty" + std::to_string(n), error);
            }
            _exit(failures);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto overrides = LoadPortOverrides(path);
    EXPECT_EQ(overrides.size(), 32u);
    EXPECT_EQ(overrides.at(17), "/dev/tty17");
    EXPECT_EQ(ModeOf(dir.File("conf")), 0700u);
    EXPECT_EQ(ModeOf(dir.File("conf/kvr-view")), 0700u);
    EXPECT_EQ(Names(dir.File("conf/kvr-view")),
              (std::vector<std::string>{"ports.conf", "ports.conf.lock"}));
}

}  // namespace
}  // namespace kvr
