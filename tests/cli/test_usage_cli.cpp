// kvrctl's help, exit statuses, machine-readable output, terminal safety and the address
// of a single KVR 100, as a user or a script meets them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>

#include "document/SetupFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

const char* const kCommands[] = {"ports",    "upload",  "query",   "download", "values",
                                 "monitor",  "show",    "convert", "diff",     "settings",
                                 "password", "address", "com",     "display"};

bool Has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

test::RunResult Kvrctl(std::vector<std::string> args) {
    args.insert(args.begin(), KVRCTL_EXE);
    return test::Run(args);
}

// A one-board setup file (board 0 at address 0) with the given description and name.
std::string SaveSingle(const test::TempDir& dir, const std::string& name,
                       const std::string& description = "", const std::string& board = "") {
    SetupImage image;
    image.channelCount = 1;
    image.records[0].ResetToDefaults(0);
    image.description = description;
    if (!board.empty()) {
        image.records[0].SetName(board);
    }
    std::string error;
    EXPECT_TRUE(WriteFileAtomically(dir.File(name), EncodeSetup(image), error)) << error;
    return dir.File(name);
}

// A control character a terminal would act on: C0 but the line break, DEL, or C1 (UTF-8).
bool HasControl(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n') || c == 0x7F ||
            (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            return true;
        }
    }
    return false;
}

// Every test in its own settings and folder.
class UsageCli : public ::testing::Test {
  protected:
    test::IsolatedSettings isolated;
    test::TempDir dir;
};

TEST_F(UsageCli, EveryCommandHasItsOwnHelpAndTheVersionIsShown) {
    bool shortFlag = false;
    for (const char* command : kCommands) {
        const test::RunResult help = Kvrctl({"help", command});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(Has(help.out, std::string(command) + " ")) << help.out;
        EXPECT_EQ(help.out.rfind("usage: kvrctl ", 0), 0u) << help.out;
        EXPECT_TRUE(help.err.empty()) << help.err;
        // Either spelling of the flag, anywhere after the command.
        shortFlag = !shortFlag;
        const test::RunResult r = Kvrctl({command, "x", shortFlag ? "-h" : "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out, help.out) << command;
    }
    EXPECT_TRUE(Has(Kvrctl({"help", "monitor"}).out, "1 when contact was lost at\nany time"));
    const test::RunResult all = Kvrctl({"--help"});
    EXPECT_EQ(all.status, 0);
    for (const char* command : kCommands) {
        EXPECT_TRUE(Has(all.out, std::string("\n  ") + command + " ")) << command;
    }
    EXPECT_TRUE(Has(all.out, "3  a download stopped at a question")) << all.out;

    EXPECT_EQ(Kvrctl({"--version"}).out, "kvrctl " KVR_VERSION "\n");
    EXPECT_EQ(test::Run({KVR_SIM_EXE, "--version"}).out, "kvr-sim " KVR_VERSION "\n");
}

TEST_F(UsageCli, WrongCommandLinesGiveTwoFailuresOne) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"--frobnicate", "ports"},
        {"--port", "x", "upload"},
        {"help", "frobnicate"},
        {"ports", "set", "0", "/dev/null"},
        {"upload", "--board", "4"},
        {"upload", "--kvr100-address", "3"},
        {"values", "--raw", "d"},
        {"query", "extra"},
        {"download"},
        {"download", "f.kvr", "--overwrite-serial", "maybe"},
        {"monitor"},
        {"monitor", "--monitor", "4:voltage"},
        {"monitor", "--monitor", "1:watts"},
        {"monitor", "--monitor", "1:15"},
        {"monitor", "--monitor", "1:voltage", "--interval", "5"},  // no log
        {"monitor", "--monitor", "1:voltage", "--log", dir.File("l.log"), "--interval", "0"},
        {"monitor", "--monitor", "1:voltage", "--duration", "-2"},
        {"show"},
        {"convert", "a.kvr"},
        {"diff", "a.kvr"},
        {"settings", "set-port", "40"},
        {"password", "change"},
        {"address", "3"},
        // Refused before the line is used (none is stored).
        {"diag", "relay", "make", "--board", "4", "--output", "1"},
        {"diag", "dac", "--board", "0", "--output", "5", "10"},
        {"diag", "dac", "--board", "0", "--output", "1", "ten"},
        {"diag", "mode", "user"},
        {"serial", "set", "12", "--board", "1", "--all"},
    };
    for (const auto& args : wrong) {
        const test::RunResult r = Kvrctl(args);
        const std::string shown = ::testing::PrintToString(args);
        EXPECT_EQ(r.status, 2) << shown << ": " << r.err;
        EXPECT_TRUE(Has(r.err, args.empty() ? "usage: kvrctl " : "kvrctl: ")) << shown;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("l.log")));
    // A line or a file that fails: 1, one line saying why.
    const std::string missing = dir.File("missing-tty");
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } failing[] = {
        {{"--device", missing, "values"}, "missing-tty"},
        {{"--device", missing, "query"}, "missing-tty"},
        {{"--device", missing, "monitor", "--monitor", "1:voltage", "--duration", "1"},
         "missing-tty"},
        {{"show", dir.File("missing.kvr")}, "missing.kvr"},
        {{"upload"}, "kvrctl: "},  // no port stored
        // Before the line is opened: the password, and how to set one.
        {{"--device", missing, "download", SaveSingle(dir, "unit.kvr")},
         "no configuration password is set; set one with 'kvrctl password set"},
    };
    for (const auto& f : failing) {
        const test::RunResult r = Kvrctl(f.args);
        EXPECT_EQ(r.status, 1) << f.args.back() << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(Has(r.err, f.reason)) << r.err;
    }
}

TEST_F(UsageCli, TextFromAFileNeverReachesTheTerminalAsControls) {
    // A window title, a screen clear, a C1 control sequence start, a bell and DEL.
    const std::string description =
        "A\x1b]0;owned\x07\x1b[2J\xc2\x9b"
        "31m\x7f\nB";
    const std::string path = SaveSingle(dir, "evil.kvr", description, "N\x1b[2Jx");
    const std::string plain = SaveSingle(dir, "plain.kvr", "A", "N");

    test::RunResult r = Kvrctl({"show", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_TRUE(Has(r.out, "A\\x1b]0;owned\\x07\\x1b[2J\\u009b31m\\x7f\n")) << r.out;
    // The JSON stays the same document: the controls are JSON escapes.
    r = Kvrctl({"show", path, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_EQ(nlohmann::json::parse(r.out)["description"], description);
    r = Kvrctl({"diff", plain, path});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_TRUE(Has(r.out, "Name: N -> N\\x1b[2Jx")) << r.out;
    // Names in failure lines too.
    r = Kvrctl({"show", dir.File("no\x1b[2Jsuch.kvr")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(HasControl(r.err)) << r.err;
}

// A single KVR 100 at address 1: found with --kvr100-address or the stored address, and
// answered in JSON.
TEST_F(UsageCli, SingleKvr100AtAnAddressAndJsonOutput) {
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr100", "--address", "1", "--baud", "38400"});
    ASSERT_FALSE(sim.Path().empty());
    auto kvrctl = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", sim.Path(), "--baud", "38400"});
        return Kvrctl(args);
    };
    // Asked at address 0, it answers neither probe. (Every probe waits out its timeout,
    // so this runs on a unit of its own beside the rest.)
    test::SimProcess alone({KVR_SIM_EXE, "--unit", "kvr100", "--address", "1", "--baud", "38400"});
    auto unanswered = std::async(std::launch::async, [&] {
        return Kvrctl(
            {"--device", alone.Path(), "--baud", "38400", "query", "--kvr100-address", "0"});
    });
    const std::string file = dir.File("kvr100.kvr");
    EXPECT_EQ(kvrctl({"upload", "-o", file}).status, 1);
    test::RunResult r = kvrctl({"upload", "-o", file, "--kvr100-address", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Uploaded from KVR 100")) << r.out;
    // A one-board file whose record says address 0: asked where the option says.
    const std::string other = SaveSingle(dir, "other.kvr");
    EXPECT_EQ(kvrctl({"diff", other, "--unit"}).status, 2);
    r = kvrctl({"diff", other, "--unit", "--kvr100-address", "1"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.out, "Board 0 / Serial number")) << r.out;

    // Stored once, used by every command after.
    ASSERT_EQ(Kvrctl({"address", "1"}).status, 0);
    r = kvrctl({"query", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto query = nlohmann::json::parse(r.out);
    EXPECT_EQ(query["unit"], "KVR 100");
    EXPECT_EQ(query["kvr100Address"], 1);
    r = kvrctl({"values", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.err, "\x1b")) << r.err;  // no progress when stderr is no terminal
    const auto values = nlohmann::json::parse(r.out);
    ASSERT_EQ(values["boards"].size(), 1u) << r.out;
    const auto& board = values["boards"][0];
    EXPECT_EQ(board["address"], 1);
    ASSERT_EQ(board["values"].size(), 11u);
    EXPECT_EQ(board["values"][0]["unit"], "V");
    EXPECT_TRUE(board["values"][0]["secondary"].is_number()) << board;

    // On a terminal the board being read is shown on standard error, then cleared.
    const std::string line =
        std::string(KVRCTL_EXE) + " --device " + sim.Path() + " --baud 38400 values --board 0";
    r = test::Run({"/usr/bin/script", "-qec", line, "/dev/null"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "\r\x1b[KReading board 0 ...")) << r.out;
    EXPECT_TRUE(Has(r.out, "Frequency")) << r.out;

    const test::RunResult q = unanswered.get();
    EXPECT_EQ(q.status, 1);
    EXPECT_EQ(q.err, "kvrctl: no unit answered on " + alone.Path() + "\n");
}

TEST_F(UsageCli, PortsListedAsTextAndJsonAndTheStoredPortNamedWhenNothingAnswers) {
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr300", "--baud", "9600"});
    ASSERT_FALSE(sim.Path().empty());
    ASSERT_EQ(Kvrctl({"ports", "set", "5", sim.Path()}).status, 0);
    test::RunResult r = Kvrctl({"ports"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string table = r.out.substr(0, r.out.find("\n\n") + 1);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 33);  // header, 1 to 32
    EXPECT_TRUE(Has(r.out, "   5  " + sim.Path() + "  (set by user)")) << r.out;
    r = Kvrctl({"ports", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto ports = nlohmann::json::parse(r.out)["ports"];
    ASSERT_EQ(ports.size(), 32u);
    EXPECT_EQ(ports[4]["device"], sim.Path());
    EXPECT_EQ(ports[4]["setByUser"], true);

    // The stored setup names port 5 at a speed the unit does not use.
    ASSERT_EQ(Kvrctl({"settings", "set-port", "5", "--baud", "38400"}).status, 0);
    r = Kvrctl({"upload"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kvrctl: no board answered on port 5 (" + sim.Path() + ")\n");

    // A stored KVR 100 address never swaps the boards of a KVR 300.
    ASSERT_EQ(Kvrctl({"address", "2"}).status, 0);
    r = Kvrctl({"--device", sim.Path(), "upload", "--board", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Board 0 (channel 1, address 0)")) << r.out;

    EXPECT_EQ(Kvrctl({"ports", "clear", "5"}).status, 0);
    EXPECT_FALSE(Has(Kvrctl({"ports"}).out, "(set by user)"));
}

}  // namespace
}  // namespace kvr
