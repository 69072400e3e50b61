// kvrctl monitor as a user runs it, against a kvr-sim process on a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

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

// Every test in its own settings and folder.
class KvrctlMonitor : public ::testing::Test {
  protected:
    test::IsolatedSettings isolated;
    test::TempDir dir;
};

TEST_F(KvrctlMonitor, PrintsLiveValuesAndWritesTheLog) {
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

    // A header naming the monitors once, then one line per reading: the time and the
    // values under their titles.
    const std::vector<std::string> shown = SplitLines(r.out, "\n");
    ASSERT_GE(shown.size(), 5u) << r.out;
    EXPECT_EQ(shown[0],
              "Time                     Voltage : Channel 1 / Phase A  Active Power : 3 Phase  "
              "Power Factor : Channel 2 / Phase B  Frequency : Channel 3 / Phase C");
    const std::regex refresh(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} +1[01]\\.\\d\\d kV +-?[0-9.]+ [kM]?W "
        "+0\\.\\d{4} +[45]\\d\\.\\d\\d Hz");
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_TRUE(std::regex_match(shown[i], refresh)) << shown[i];
        EXPECT_EQ(shown[i].size(), shown[0].size()) << shown[i];  // values end under titles
    }

    // The header, then one line per half second from the first values on, on the
    // 24-hour clock without AM/PM.
    const std::vector<std::string> lines = SplitLines(ReadFile(log), "\r\n");
    ASSERT_GE(lines.size(), 4u) << ReadFile(log);
    EXPECT_LE(lines.size(), 6u) << ReadFile(log);
    EXPECT_EQ(lines[0],
              "Date;     Time;     Voltage : Channel 1 / Phase A  (V);   Active Power : 3 Phase  "
              "(W);   Power Factor : Channel 2 / Phase B  ();   Frequency : Channel 3 / Phase C  "
              "(Hz);   ");
    const std::regex data(
        "\\d\\d/\\d\\d/\\d\\d; \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ; 1[01]\\d{3}\\.000 "
        ";-?\\d+\\.000 "
        ";0\\.\\d{3} ;[45]\\d\\.\\d{3} ;");
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], data)) << lines[i];
    }
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(KvrctlMonitor, JsonCsvAndSecondariesUntilInterrupted) {
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400"});
    ASSERT_FALSE(sim.Path().empty());
    auto run = [&](const char* form) {
        return test::Run({KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400", "monitor",
                          "--monitor", "1:v", "--monitor", "2:pf", form, "--duration", "1"});
    };
    const std::string time = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d";

    test::RunResult r = run("--json");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> shown = SplitLines(r.out, "\n");
    ASSERT_GE(shown.size(), 2u) << r.out;
    const std::regex object(
        "\\{\"time\":\"" + time +
        "\",\"values\":\\[\\{\"label\":\"Voltage : Channel 1 / Phase A\",\"unit\":\"V\","
        "\"value\":1[01]\\d{3}\\.0,\"text\":\"1[01]\\.\\d\\d kV\"\\},\\{\"label\":\"Power Factor : "
        "Channel 2 / Phase B\",\"unit\":\"\",\"value\":0\\.\\d+,\"text\":\"0\\.\\d{4}\"\\}\\]\\}");
    for (const std::string& line : shown) {
        EXPECT_TRUE(std::regex_match(line, object)) << line;
    }

    r = run("--csv");
    ASSERT_EQ(r.status, 0) << r.err;
    shown = SplitLines(r.out, "\n");
    ASSERT_GE(shown.size(), 3u) << r.out;
    EXPECT_EQ(shown[0],
              "time,Voltage : Channel 1 / Phase A (V),Power Factor : Channel 2 / Phase B");
    const std::regex row(time + ",1[01]\\d{3},0\\.\\d{1,4}");
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_TRUE(std::regex_match(shown[i], row)) << shown[i];
    }
    r = test::Run({KVRCTL_EXE, "monitor", "--monitor", "1:v", "--json", "--csv"});
    EXPECT_EQ(r.status, 2);  // a usage error
    EXPECT_NE(r.err.find("--json and --csv"), std::string::npos) << r.err;

    // No --duration: it runs until interrupted, and gives its own status then.
    const std::string script =
        "\"$0\" --device \"$1\" --baud 38400 monitor --monitor 1:V --secondary & pid=$!; "
        "sleep 1.5; kill -INT $pid; wait $pid";
    r = test::Run({"/bin/sh", "-c", script, KVRCTL_EXE, sim.Path()});
    EXPECT_EQ(r.status, 0) << r.err;
    shown = SplitLines(r.out, "\n");
    ASSERT_FALSE(shown.empty());
    // Secondaries: the input of an 11 kV / 110 V transformer.
    EXPECT_TRUE(
        std::regex_match(shown.back(), std::regex("[-0-9]{10} [0-9:.]{12} +1\\d\\d\\.\\d V")))
        << shown.back();
}

// The adapter bound to port 2 goes away under a run and comes back: reported once, logged
// as a gap without values, summed up at the end, and the run ends with status 1.
TEST_F(KvrctlMonitor, ALostLineIsReportedOnceAndTheSameAdapterReopened) {
    const std::string byId = dir.File("by-id");
    std::filesystem::create_directories(byId);
    test::ScopedEnv byIdEnv("KVR_SERIAL_BY_ID", byId);
    const std::string link = byId + "/usb-KVR_Line_Adapter_S0002-if00-port0";
    const std::string log = dir.File("gap.log");
    const std::vector<std::string> simArgs = {KVR_SIM_EXE, "--unit", "kvr300", "--baud",
                                              "38400",     "--link", link};
    auto sim = std::make_unique<test::SimProcess>(simArgs);
    ASSERT_FALSE(sim->Path().empty());
    // Port 2 bound to the adapter by its stable name, as 'kvrctl ports' shows it.
    test::RunResult r = test::Run({KVRCTL_EXE, "ports", "set", "2", "S0002"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "port 2 -> " + link + "\n");
    r = test::Run({KVRCTL_EXE, "ports"});
    EXPECT_NE(r.out.find("   2  " + link + "  [KVR Line Adapter, serial S0002]  (set by user)"),
              std::string::npos)
        << r.out;

    std::thread run([&] {
        r = test::Run({KVRCTL_EXE, "--port", "2", "--baud", "38400", "monitor", "--monitor", "1:v",
                       "--log", log, "--interval", "0.2", "--duration", "7"});
    });
    auto waitFor = [&](const std::string& what) {
        for (int i = 0; i < 500 && ReadFile(log).find(what) == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    waitFor(".000 ;");
    sim->Command("hangup");  // the line closes and the link goes with it
    waitFor("; Line lost: ");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    sim = std::make_unique<test::SimProcess>(simArgs);  // back on a new pseudo-terminal
    run.join();

    EXPECT_EQ(r.status, 1) << r.err;  // contact was lost for a while
    EXPECT_NE(r.err.find("kvrctl: no answer from the unit\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the unit answers again, after "), std::string::npos) << r.err;
    EXPECT_TRUE(std::regex_search(
        r.err, std::regex("contact with the unit was lost 1 time\\(s\\), \\d+\\.\\d s without an "
                          "answer in all \\(the longest \\d+\\.\\d s\\)\n$")))
        << r.err;
    const std::string lost = "Line lost: " + link + " - waiting for it to come back";
    EXPECT_NE(r.err.find("kvrctl: " + lost + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(lost), r.err.rfind(lost)) << r.err;  // once
    EXPECT_TRUE(std::regex_search(
        r.err, std::regex("kvrctl: Line back: " + link + " after \\d+\\.\\d s\n")))
        << r.err;
    const std::string text = ReadFile(log);
    const size_t gap = text.find(" ; " + lost + "\r\n");
    const size_t back = text.find(" ; Line back: ", gap);
    ASSERT_NE(gap, std::string::npos) << text;
    ASSERT_NE(back, std::string::npos) << text;
    EXPECT_NE(text.substr(gap, back - gap).find("; Invalid; "), std::string::npos) << text;
    EXPECT_NE(text.find(".000 ;\r\n", back), std::string::npos) << text;  // values again
}

}  // namespace
}  // namespace kvr
