// kvrctl as a user runs it, against a kvr-sim process on a pseudo-terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

int CountLines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(Kvrctl, UploadPrintsFourDecodedRecordsAndSavesThem) {
    test::IsolatedSettings isolated;  // never the user's own settings
    test::TempDir dir;
    std::string link = dir.File("kvr-tty");
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400", "--link", link});
    ASSERT_FALSE(sim.Path().empty());
    ASSERT_TRUE(std::filesystem::exists(link));

    test::RunResult r = test::Run(
        {KVRCTL_EXE, "--device", link, "--baud", "38400", "upload", "--raw", dir.File("raw")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::filesystem::file_size(dir.File("raw/board3.rec")), 115u);
    EXPECT_EQ(Count(r.out, "Signature                7502"), 4u) << r.out;
    EXPECT_NE(r.out.find("4 board(s) uploaded"), std::string::npos);

    r = test::Run({KVRCTL_EXE, "--device", link, "--baud", "38400", "values"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.out, "Frequency"), 4u) << r.out;
    EXPECT_EQ(r.out.find("Invalid"), std::string::npos) << r.out;

    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(link));  // the simulator removes its link
}

TEST(Kvrctl, FailuresGiveOneLineAndANonZeroStatus) {
    test::IsolatedSettings isolated;  // never the user's own settings
    test::RunResult r = test::Run({KVRCTL_EXE, "--device", "/dev/kvr-missing", "upload"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(CountLines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("no such device"), std::string::npos) << r.err;

    r = test::Run({KVRCTL_EXE, "upload"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(CountLines(r.err), 1) << r.err;

    r = test::Run({KVRCTL_EXE, "--device", "/dev/null", "values"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("not a serial device"), std::string::npos) << r.err;

    r = test::Run({KVRCTL_EXE, "--port", "40", "upload"});
    EXPECT_NE(r.status, 0);
    r = test::Run({KVRCTL_EXE, "frobnicate"});
    EXPECT_NE(r.status, 0);

    // A baud rate the unit does not use: nothing answers, and kvrctl says so.
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr100", "--address", "1", "--baud", "9600"});
    ASSERT_FALSE(sim.Path().empty());
    r = test::Run(
        {KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400", "upload", "--board", "1"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(CountLines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("board 1 did not answer"), std::string::npos) << r.err;
}

TEST(Kvrctl, AddressOfASingleKvr100) {
    test::IsolatedSettings isolated;  // never the user's own settings
    test::RunResult r = test::Run({KVRCTL_EXE, "address", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("KVR 100 address 1 stored"), std::string::npos) << r.out;
    EXPECT_NE(test::Run({KVRCTL_EXE, "address", "3"}).status, 0);

    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr100", "--address", "1", "--baud", "38400"});
    ASSERT_FALSE(sim.Path().empty());
    r = test::Run({KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400", "address", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("A KVR 100 answers at address 1"), std::string::npos) << r.out;
    r = test::Run({KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400", "address", "2"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("no KVR 100 answers at address 2"), std::string::npos) << r.err;
}

TEST(Kvrctl, PortsListsAndKeepsUserSettings) {
    test::IsolatedSettings isolated;  // never the user's own settings
    test::RunResult r = test::Run({KVRCTL_EXE, "ports", "set", "4", "/tmp/kvr-tty"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::Run({KVRCTL_EXE, "ports"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(CountLines(r.out.substr(0, r.out.find("\n\n") + 1)), 33);  // header, 1 to 32
    EXPECT_NE(r.out.find("   4  /tmp/kvr-tty  (set by user)"), std::string::npos) << r.out;
    r = test::Run({KVRCTL_EXE, "ports", "set", "0", "/tmp/x"});
    EXPECT_NE(r.status, 0);
    r = test::Run({KVRCTL_EXE, "ports", "clear", "4"});
    EXPECT_EQ(r.status, 0);
    r = test::Run({KVRCTL_EXE, "ports"});
    EXPECT_EQ(r.out.find("(set by user)"), std::string::npos);
}

}  // namespace
}  // namespace kvr
