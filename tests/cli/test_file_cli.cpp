// kvrctl show, convert and diff as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "document/SetupFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A KVR 300 setup: channel 1 on a VT of 11 kV : 110 V, two monitors.
SetupImage Kvr300Setup() {
    SetupImage image;
    image.description = "Substation 4\r\nsecond line";
    image.channelCount = 4;
    image.monitors.count = 2;
    image.monitors.entities[0] = 1;  // Voltage of channel 1
    image.monitors.entities[1] = 7;  // Frequency of the main board
    image.monitors.channels[1] = 3;
    for (int b = 0; b < 4; ++b) {
        ParameterRecord& r = image.records[static_cast<size_t>(b)];
        r.ResetToDefaults(static_cast<uint8_t>(b));
        r.SetPhase(InputKind::Voltage, b < 3 ? 2 + b : 0);
        r.SetPhase(InputKind::Current, b < 3 ? 2 + b : 0);
    }
    ParameterRecord& first = image.records[0];
    first.SetName("Feeder 1");
    first.SetDirect(InputKind::Voltage, false);
    first.SetPrimary(InputKind::Voltage, Winding::Primary, 11000);
    return image;
}

std::string Save(const test::TempDir& dir, const std::string& name, const SetupImage& image) {
    const std::string path = dir.File(name);
    std::string error;
    EXPECT_TRUE(WriteFileAtomically(path, EncodeSetup(image), error)) << error;
    return path;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// Every test in its own settings and folder.
class FileCli : public ::testing::Test {
  protected:
    test::IsolatedSettings isolated;
    test::TempDir dir;
};

TEST_F(FileCli, ShowDecodesEverythingTheFileHolds) {
    const std::string path = Save(dir, "unit.kvr", Kvr300Setup());
    test::RunResult r = test::Run({KVRCTL_EXE, "show", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Signature         10103\n"
                         "Description       Substation 4\n"
                         "                  second line\n"
                         "Boards            4 (KVR 300)\n"
                         "Monitors          2\n"
                         "Layout columns    3\n\n"
                         "Monitor 1         Voltage : Feeder 1 / Phase A  (entity 1, channel 0)\n"
                         "Monitor 2         Frequency : 3 Phase  (entity 7, channel 3)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Board 3 (main board)"), std::string::npos);
    EXPECT_NE(r.out.find("  Voltage input            VT 11.00 kV : 110.0 V\n"), std::string::npos);
    EXPECT_EQ(Count(r.out, "  Signature                7502\n"), 4u);
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(FileCli, JsonConvertsBackByteForByteAndCarriesEdits) {
    SetupImage image = Kvr300Setup();
    image.signature = 10101;  // an old file stays an old file
    image.description = "caf\xE9";
    const std::string kvr = Save(dir, "unit.kvr", image);

    test::RunResult shown = test::Run({KVRCTL_EXE, "show", kvr, "--json"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    test::RunResult r = test::Run({KVRCTL_EXE, "convert", kvr, "-o", dir.File("unit.json")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes json = ReadFile(dir.File("unit.json"));
    EXPECT_EQ(std::string(json.begin(), json.end()), shown.out);
    r = test::Run({KVRCTL_EXE, "convert", dir.File("unit.json"), "-o", dir.File("back.kvr")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("back.kvr")), ReadFile(kvr));

    // Edited as text: the VT of channel 1 goes to 33 kV.
    nlohmann::ordered_json j = nlohmann::ordered_json::parse(shown.out);
    j["boards"][0]["settings"]["vtPrimaryV"] = 33000;
    WriteText(dir.File("edited.json"), j.dump(2));
    r = test::Run({KVRCTL_EXE, "convert", dir.File("edited.json"), "-o", dir.File("edited.kvr")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::Run({KVRCTL_EXE, "diff", kvr, dir.File("edited.kvr")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Board 0 / Voltage input: VT 11.00 kV : 110.0 V -> VT 33.00 kV : 110.0 V\n");
    r = test::Run({KVRCTL_EXE, "diff", kvr, dir.File("back.kvr")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(FileCli, DiffShowsHeadersMonitorsBoardsAndHiddenBytes) {
    const SetupImage a = Kvr300Setup();
    SetupImage b = a;
    b.signature = 10102;
    b.monitors.columns = 5;
    b.monitors.count = 3;
    b.monitors.entities[2] = 2;
    b.channelCount = 3;
    b.records[1].SetName("Feeder 2");
    b.records[2].SetPrimary(InputKind::Voltage, Winding::Primary,
                            22000);  // coupled directly: no field shows it
    const std::string pa = Save(dir, "a.kvr", a);
    const std::string pb = Save(dir, "b.kvr", b);
    test::RunResult r = test::Run({KVRCTL_EXE, "diff", pa, pb});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out,
              "Signature: 10103 -> 10102\n"
              "Boards: 4 -> 3\n"
              "Monitors: 2 -> 3\n"
              "Layout columns: 3 -> 5\n"
              "Monitor 3: (none) -> Current : Feeder 1 / Phase A  (entity 2, channel 0)\n"
              "Board 1 / Name: Not Available -> Feeder 2\n"
              "Board 2 / VtPrimary bytes 102-103: 4c 04 -> dc 00\n"
              "Board 3: present -> (absent)\n");

    // Two descriptions that read alike but differ in their bytes (ISO 8859-1 and UTF-8).
    SetupImage c = a;
    SetupImage d = a;
    c.description = "caf\xE9";
    d.description = "caf\xC3\xA9";
    r = test::Run({KVRCTL_EXE, "diff", Save(dir, "c.kvr", c), Save(dir, "d.kvr", d)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Description: \"caf\xC3\xA9\" (636166e9) -> \"caf\xC3\xA9\" (636166c3a9)\n");
}

TEST_F(FileCli, BadInputIsRefusedWithAReason) {
    const std::string kvr = Save(dir, "unit.kvr", Kvr300Setup());
    WriteText(dir.File("notes.kvr"), "just text\n");

    test::RunResult r = test::Run({KVRCTL_EXE, "show", dir.File("notes.kvr")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("notes.kvr: Not a valid KVR setup file - invalid signature!"),
              std::string::npos)
        << r.err;
    r = test::Run({KVRCTL_EXE, "show", dir.File("missing.kvr")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;

    // diff: 2 for trouble, as diff(1).
    EXPECT_EQ(test::Run({KVRCTL_EXE, "diff", kvr, dir.File("missing.kvr")}).status, 2);
    EXPECT_EQ(test::Run({KVRCTL_EXE, "diff", kvr}).status, 2);
    EXPECT_EQ(test::Run({KVRCTL_EXE, "diff", dir.File("notes.kvr"), kvr}).status, 2);

    // convert: no -o, or a name of the kind it does not write; no file under that name.
    EXPECT_NE(test::Run({KVRCTL_EXE, "convert", kvr}).status, 0);
    r = test::Run({KVRCTL_EXE, "convert", kvr, "-o", dir.File("copy.KVR")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("its JSON would not be written to"), std::string::npos) << r.err;
    ASSERT_EQ(test::Run({KVRCTL_EXE, "convert", kvr, "-o", dir.File("unit.json")}).status, 0);
    r = test::Run({KVRCTL_EXE, "convert", dir.File("unit.json"), "-o", dir.File("b.json")});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.File("copy.KVR")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.json")));
}

TEST_F(FileCli, DiffAgainstTheAttachedUnit) {
    const std::string link = dir.File("kvr-tty");
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400", "--link", link});
    ASSERT_FALSE(sim.Path().empty());
    test::RunResult r = test::Run(
        {KVRCTL_EXE, "--device", link, "--baud", "38400", "upload", "--raw", dir.File("raw")});
    ASSERT_EQ(r.status, 0) << r.err;
    SetupImage image;
    image.channelCount = 4;
    for (int b = 0; b < 4; ++b) {
        const Bytes rec = ReadFile(dir.File("raw/board" + std::to_string(b) + ".rec"));
        ASSERT_EQ(rec.size(), 115u);
        std::copy(rec.begin(), rec.end(), image.records[static_cast<size_t>(b)].Bytes().begin());
    }
    const std::string same = Save(dir, "same.kvr", image);
    r = test::Run({KVRCTL_EXE, "--device", link, "--baud", "38400", "diff", same, "--unit"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");

    const std::string unitName = image.records[2].GetName();
    image.records[2].SetName("Edited");
    const std::string edited = Save(dir, "edited.kvr", image);
    r = test::Run({KVRCTL_EXE, "--device", link, "--baud", "38400", "diff", edited, "--unit"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Board 2 / Name: Edited -> " + unitName + "\n");

    EXPECT_EQ(sim.Stop(), 0);
    r = test::Run({KVRCTL_EXE, "--device", link, "--baud", "38400", "diff", same, "--unit"});
    EXPECT_EQ(r.status, 2);  // nothing attached any more
}

// What convert says about JSON it takes with changes, refuses, or cannot give back as it was.
TEST_F(FileCli, ConvertTellsOfRoundingHostileJsonAndOddFiles) {
    SetupImage image = Kvr300Setup();
    image.description.clear();
    const std::string kvr = Save(dir, "unit.kvr", image);
    test::RunResult r = test::Run({KVRCTL_EXE, "show", kvr, "--json"});
    nlohmann::ordered_json j = nlohmann::ordered_json::parse(r.out);
    j["boards"][0]["settings"]["vtPrimaryV"] = 180;
    WriteText(dir.File("edited.json"), j.dump(2));
    r = test::Run({KVRCTL_EXE, "convert", dir.File("edited.json"), "-o", dir.File("edited.kvr")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("note: boards[0].settings.vtPrimaryV: 180 is stored as 200"),
              std::string::npos)
        << r.err;

    // Which documents are refused is the JSON reader's own test; here: refused, not
    // aborted, naming the file and the field, and nothing written.
    WriteText(dir.File("deep.json"),
              "{\"a\": " + std::string(50000, '[') + std::string(50000, ']') + "}");
    r = test::Run({KVRCTL_EXE, "convert", dir.File("deep.json"), "-o", dir.File("out.kvr")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("deep.json: (document): nested deeper than 16"), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.kvr")));

    // The empty description's length in the three-byte form: loads, but cannot come back
    // byte for byte.
    Bytes odd = ReadFile(kvr);
    ASSERT_EQ(odd[2], 0);
    odd.insert(odd.begin() + 3, {0, 0});
    odd[2] = 0xFF;
    WriteText(dir.File("odd.kvr"), std::string(odd.begin(), odd.end()));
    r = test::Run({KVRCTL_EXE, "convert", dir.File("odd.kvr"), "-o", dir.File("odd.json")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("will not give the same bytes"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kvr
