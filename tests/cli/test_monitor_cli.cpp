// kvrctl monitor as a user runs it, against a kvr-sim process on a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

std::vector<std::string> SplitLines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = text.find(end); at != std::string::npos; at = text.find(end, start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start) + "<unterminated>");
    }
    return lines;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(KvrctlMonitor, PrintsLiveValuesAndWritesTheLog) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    const std::string link = dir.File("kvr-tty");
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400", "--link", link});
    ASSERT_FALSE(sim.Path().empty());
    const std::string log = dir.File("run.log");

    test::RunResult r =
        test::Run({KVRCTL_EXE,  "--device",   link,        "--baud",     "38400",
                   "monitor",   "--monitor",  "1:voltage", "--monitor",  "3ph:Active-Power",
                   "--monitor", "2:pf",       "--monitor", "3:7",        "--log",
                   log,         "--interval", "0.5",       "--duration", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;

    // One line per refresh, every monitor labelled with its value.
    const std::vector<std::string> shown = SplitLines(r.out, "\n");
    ASSERT_GE(shown.size(), 5u) << r.out;
    const std::regex refresh(
        "Voltage : Channel 1 / Phase A  1[01]\\.\\d\\d kV \\| "
        "Active Power : 3 Phase  -?[0-9.]+ [kM]?W \\| "
        "Power Factor : Channel 2 / Phase B  0\\.\\d{4}  \\| "
        "Frequency : Channel 3 / Phase C  [45]\\d\\.\\d\\d Hz");
    for (const std::string& line : shown) {
        EXPECT_TRUE(std::regex_match(line, refresh)) << line;
    }

    // The header, then one line per half second from the first values on.
    const std::vector<std::string> lines = SplitLines(ReadFile(log), "\r\n");
    ASSERT_GE(lines.size(), 4u) << ReadFile(log);
    EXPECT_LE(lines.size(), 6u) << ReadFile(log);
    EXPECT_EQ(lines[0],
              "Date;     Time;     Voltage : Channel 1 / Phase A  (V);   Active Power : 3 Phase  "
              "(W);   Power Factor : Channel 2 / Phase B  ();   Frequency : Channel 3 / Phase C  "
              "(Hz);   ");
    const std::regex data(
        "\\d\\d/\\d\\d/\\d\\d; \\d\\d:\\d\\d:\\d\\d\\.\\d{3} [AP]M; 1[01]\\d{3}\\.000 "
        ";-?\\d+\\.000 "
        ";0\\.\\d{3} ;[45]\\d\\.\\d{3} ;");
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], data)) << lines[i];
    }
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(KvrctlMonitor, EndsCleanlyOnInterruptAndShowsSecondaries) {
    test::IsolatedSettings isolated;
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400"});
    ASSERT_FALSE(sim.Path().empty());
    // No --duration: it runs until interrupted, and gives its own status then.
    const std::string script =
        "\"$0\" --device \"$1\" --baud 38400 monitor --monitor 1:V --secondary & pid=$!; "
        "sleep 1.5; kill -INT $pid; wait $pid";
    test::RunResult r = test::Run({"/bin/sh", "-c", script, KVRCTL_EXE, sim.Path()});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> shown = SplitLines(r.out, "\n");
    ASSERT_FALSE(shown.empty());
    // Secondaries: the input of an 11 kV / 110 V transformer.
    EXPECT_TRUE(std::regex_match(shown.back(), std::regex("Voltage : .*  1\\d\\d\\.\\d V")))
        << shown.back();
}

TEST(KvrctlMonitor, RefusalsGiveOneLineAndTheirStatus) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    auto run = [&](std::vector<std::string> args) {
        std::vector<std::string> argv = {KVRCTL_EXE, "--device", dir.File("missing-tty"),
                                         "monitor"};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::Run(argv);
    };
    test::RunResult r = run({"--monitor", "1:voltage", "--duration", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("missing-tty"), std::string::npos) << r.err;

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--monitor", "4:voltage"},
             {"--monitor", "1:watts"},
             {"--monitor", "1:15"},
             {"--monitor", "1:voltage", "--interval", "5"},  // no log
             {"--monitor", "1:voltage", "--log", dir.File("l.log"), "--interval", "0"},
             {"--monitor", "1:voltage", "--duration", "-2"},
         }) {
        r = run(bad);
        EXPECT_EQ(r.status, 2) << bad[1];  // a wrong command line
        EXPECT_NE(r.err.find("kvrctl: "), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("l.log")));
}

}  // namespace
}  // namespace kvr
