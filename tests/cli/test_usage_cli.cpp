// kvrctl's help, exit statuses, machine-readable output, terminal safety and the address
// of a single KVR 100, as a user or a script meets them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

TEST(UsageCli, EveryCommandHasItsOwnHelpAndTheVersionIsShown) {
    test::IsolatedSettings isolated;
    for (const char* command : kCommands) {
        const test::RunResult help = test::Run({KVRCTL_EXE, "help", command});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(Has(help.out, std::string(command) + " ")) << help.out;
        EXPECT_EQ(help.out.rfind("usage: kvrctl ", 0), 0u) << help.out;
        EXPECT_TRUE(help.err.empty()) << help.err;
        for (const char* flag : {"--help", "-h"}) {
            const test::RunResult r = test::Run({KVRCTL_EXE, command, flag});
            EXPECT_EQ(r.status, 0) << command;
            EXPECT_EQ(r.out, help.out) << command << " " << flag;
        }
    }
    const test::RunResult all = test::Run({KVRCTL_EXE, "--help"});
    EXPECT_EQ(all.status, 0);
    for (const char* command : kCommands) {
        EXPECT_TRUE(Has(all.out, std::string("\n  ") + command + " ")) << command;
    }
    EXPECT_TRUE(Has(all.out, "3  a download stopped at a question")) << all.out;

    for (const char* program : {KVRCTL_EXE, KVR_SIM_EXE}) {
        const test::RunResult v = test::Run({program, "--version"});
        EXPECT_EQ(v.status, 0);
        EXPECT_TRUE(v.out == "kvrctl " KVR_VERSION "\n" || v.out == "kvr-sim " KVR_VERSION "\n")
            << v.out;
    }
}

TEST(UsageCli, WrongCommandLinesGiveTwoFailuresOne) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
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
        {"show"},
        {"convert", "a.kvr"},
        {"diff", "a.kvr"},
        {"settings", "set-port", "40"},
        {"password", "change"},
        {"address", "3"},
    };
    for (const auto& args : wrong) {
        std::vector<std::string> argv = {KVRCTL_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        const test::RunResult r = test::Run(argv);
        const std::string shown = args.empty() ? "(none)" : args[0];
        EXPECT_EQ(r.status, 2) << shown << ": " << r.err;
        EXPECT_TRUE(Has(r.err, "kvrctl")) << shown;
    }
    // A line or a file that fails: 1, one line.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--device", dir.File("missing-tty"), "values"},
             {"--device", dir.File("missing-tty"), "query"},
             {"show", dir.File("missing.kvr")},
             {"upload"},  // no port stored
         }) {
        std::vector<std::string> argv = {KVRCTL_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        const test::RunResult r = test::Run(argv);
        EXPECT_EQ(r.status, 1) << args.back() << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(UsageCli, TextFromAFileNeverReachesTheTerminalAsControls) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    SetupImage image;
    image.channelCount = 1;
    image.records[0].ResetToDefaults(0);
    // A window title, a screen clear, a C1 control sequence start, a bell and DEL.
    image.description =
        "A\x1b]0;owned\x07\x1b[2J\xc2\x9b"
        "31m\x7f\nB";
    image.records[0].SetName("N\x1b[2Jx");
    std::string error;
    const std::string path = dir.File("evil.kvr");
    ASSERT_TRUE(WriteFileAtomically(path, EncodeSetup(image), error)) << error;
    SetupImage plain = image;
    plain.description = "A";
    plain.records[0].SetName("N");
    const std::string plainPath = dir.File("plain.kvr");
    ASSERT_TRUE(WriteFileAtomically(plainPath, EncodeSetup(plain), error)) << error;

    test::RunResult r = test::Run({KVRCTL_EXE, "show", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_TRUE(Has(r.out, "A\\x1b]0;owned\\x07\\x1b[2J\\u009b31m\\x7f\n")) << r.out;
    // The JSON stays the same document: the controls are JSON escapes.
    r = test::Run({KVRCTL_EXE, "show", path, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_EQ(nlohmann::json::parse(r.out)["description"], image.description);
    r = test::Run({KVRCTL_EXE, "diff", plainPath, path});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(HasControl(r.out)) << r.out;
    EXPECT_TRUE(Has(r.out, "Name: N -> N\\x1b[2Jx")) << r.out;
    // Names in failure lines too.
    r = test::Run({KVRCTL_EXE, "show", dir.File("no\x1b[2Jsuch.kvr")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(HasControl(r.err)) << r.err;
}

TEST(UsageCli, ConvertWritesNoFileUnderTheOtherKindsName) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    SetupImage image;
    std::string error;
    const std::string kvr = dir.File("unit.kvr");
    ASSERT_TRUE(WriteFileAtomically(kvr, EncodeSetup(image), error)) << error;
    test::RunResult r = test::Run({KVRCTL_EXE, "convert", kvr, "-o", dir.File("copy.KVR")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "its JSON would not be written to")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("copy.KVR")));
    ASSERT_EQ(test::Run({KVRCTL_EXE, "convert", kvr, "-o", dir.File("unit.json")}).status, 0);
    r = test::Run({KVRCTL_EXE, "convert", dir.File("unit.json"), "-o", dir.File("b.json")});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.json")));
}

// A single KVR 100 at address 1: found with --kvr100-address or the stored address, and
// answered in JSON.
TEST(UsageCli, SingleKvr100AtAnAddressAndJsonOutput) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr100", "--address", "1", "--baud", "38400"});
    ASSERT_FALSE(sim.Path().empty());
    auto kvrctl = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400"});
        return test::Run(args);
    };
    const std::string file = dir.File("kvr100.kvr");
    test::RunResult r = kvrctl({"upload", "-o", file});
    EXPECT_EQ(r.status, 1) << r.out;  // asked at address 0
    r = kvrctl({"upload", "-o", file, "--kvr100-address", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Uploaded from KVR 100")) << r.out;
    // A one-board file whose record says address 0: asked where the option says.
    SetupImage image;
    image.channelCount = 1;
    image.records[0].ResetToDefaults(0);
    std::string error;
    const std::string other = dir.File("other.kvr");
    ASSERT_TRUE(WriteFileAtomically(other, EncodeSetup(image), error)) << error;
    EXPECT_EQ(kvrctl({"diff", other, "--unit"}).status, 2);
    r = kvrctl({"diff", other, "--unit", "--kvr100-address", "1"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.out, "Board 0 / Serial number")) << r.out;

    r = kvrctl({"query", "--json", "--kvr100-address", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto query = nlohmann::json::parse(r.out);
    EXPECT_EQ(query["unit"], "KVR 100");
    EXPECT_EQ(query["kvr100Address"], 1);

    // Stored once, used by every command after.
    ASSERT_EQ(test::Run({KVRCTL_EXE, "address", "1"}).status, 0);
    r = kvrctl({"values", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.err, "\x1b")) << r.err;  // no progress when stderr is no terminal
    const auto values = nlohmann::json::parse(r.out);
    ASSERT_EQ(values["boards"].size(), 1u) << r.out;
    const auto& board = values["boards"][0];
    EXPECT_EQ(board["address"], 1);
    ASSERT_EQ(board["values"].size(), 11u);
    const auto& voltage = board["values"][0];
    EXPECT_EQ(voltage["unit"], "V");
    EXPECT_TRUE(voltage["secondary"].is_number()) << voltage;
    r = kvrctl({"query"});
    EXPECT_TRUE(Has(r.out, "A KVR 100 was detected (address 1)")) << r.out << r.err;

    // On a terminal the board being read is shown on standard error, then cleared.
    const std::string line =
        std::string(KVRCTL_EXE) + " --device " + sim.Path() + " --baud 38400 values --board 0";
    r = test::Run({"/usr/bin/script", "-qec", line, "/dev/null"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "\r\x1b[KReading board 0 ...")) << r.out;
    EXPECT_TRUE(Has(r.out, "Frequency")) << r.out;
}

TEST(UsageCli, PortsAsJsonAndTheStoredPortNamedWhenNothingAnswers) {
    test::IsolatedSettings isolated;
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr300", "--baud", "9600"});
    ASSERT_FALSE(sim.Path().empty());
    ASSERT_EQ(test::Run({KVRCTL_EXE, "ports", "set", "5", sim.Path()}).status, 0);
    test::RunResult r = test::Run({KVRCTL_EXE, "ports", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto ports = nlohmann::json::parse(r.out)["ports"];
    ASSERT_EQ(ports.size(), 32u);
    EXPECT_EQ(ports[4]["device"], sim.Path());
    EXPECT_EQ(ports[4]["setByUser"], true);

    // The stored setup names port 5 at a speed the unit does not use.
    ASSERT_EQ(test::Run({KVRCTL_EXE, "settings", "set-port", "5", "--baud", "38400"}).status, 0);
    r = test::Run({KVRCTL_EXE, "upload"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kvrctl: no board answered on port 5 (" + sim.Path() + ")\n");

    // A stored KVR 100 address never swaps the boards of a KVR 300.
    ASSERT_EQ(test::Run({KVRCTL_EXE, "address", "2"}).status, 0);
    r = test::Run({KVRCTL_EXE, "--device", sim.Path(), "upload", "--board", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Board 0 (channel 1, address 0)")) << r.out;
}

TEST(UsageCli, PortsListsAndKeepsUserSettings) {
    test::IsolatedSettings isolated;
    test::RunResult r = test::Run({KVRCTL_EXE, "ports", "set", "4", "/tmp/kvr-tty"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::Run({KVRCTL_EXE, "ports"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string table = r.out.substr(0, r.out.find("\n\n") + 1);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 33);  // header, 1 to 32
    EXPECT_TRUE(Has(r.out, "   4  /tmp/kvr-tty  (set by user)")) << r.out;
    EXPECT_EQ(test::Run({KVRCTL_EXE, "ports", "clear", "4"}).status, 0);
    EXPECT_FALSE(Has(test::Run({KVRCTL_EXE, "ports"}).out, "(set by user)"));
}

TEST(UsageCli, DownloadWithoutAStoredPasswordSaysHowToSetOne) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    SetupImage image;
    image.channelCount = 1;
    image.records[0].ResetToDefaults(0);
    std::string error;
    const std::string file = dir.File("unit.kvr");
    ASSERT_TRUE(WriteFileAtomically(file, EncodeSetup(image), error)) << error;
    const test::RunResult r =
        test::Run({KVRCTL_EXE, "--device", dir.File("missing-tty"), "download", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "no configuration password is set")) << r.err;
    EXPECT_TRUE(Has(r.err, "kvrctl password set")) << r.err;
}

}  // namespace
}  // namespace kvr
