// kvrctl com and display as a user runs them, against kvr-sim with both modules.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <limits>

#include "base/Files.h"
#include "modules/DisplayFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class ModuleCli : public ::testing::Test {
  protected:
    test::RunResult Kvrctl(std::vector<std::string> args) {
        args.insert(args.begin(), {KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400"});
        return test::Run(args);
    }

    test::IsolatedSettings isolated;
    test::TempDir dir;
    test::SimProcess sim{{KVR_SIM_EXE, "--baud", "38400", "--with-com", "--with-display"}};
};

TEST_F(ModuleCli, ComSetChangesOnlyTheFieldsGivenAndShowReadsThemBack) {
    test::RunResult r = Kvrctl({"com", "show", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto before = nlohmann::json::parse(r.out);

    r = Kvrctl({"com", "set", "--slave-id", "17", "--unit", "KVR 100", "--parity", "even",
                "--protocol", "DNP 3.0"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Kvrctl({"com", "show", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto expected = before;
    expected["slaveId"] = 17;
    expected["unit"] = "KVR 100";
    expected["parity"] = "Even";
    expected["protocol"] = "DNP 3.0";
    EXPECT_EQ(nlohmann::json::parse(r.out), expected);

    // Wrong values are refused before the line is used.
    EXPECT_EQ(Kvrctl({"com", "set", "--slave-id", "256"}).status, 2);
    EXPECT_EQ(Kvrctl({"com", "set", "--baud", "38400"}).status, 2);
    EXPECT_NE(Kvrctl({"com", "show"}).out.find("Slave identity   17\n"), std::string::npos);
}

TEST_F(ModuleCli, DisplayWriteReadAndShowKeepTheLines) {
    DisplayFileImage image;
    DisplayLine& first = image.lines[0];
    first.blank = false;
    first.valueCode = ValueChoiceCode(0);
    first.decimals = 1;
    first.units = FiveCharacterUnits("V");
    first.nominal = 230;
    first.high = 300;
    std::string error;
    const std::string sent = dir.File("sent.dsp");
    ASSERT_TRUE(WriteDisplayFile(sent, image, error)) << error;

    test::RunResult r = Kvrctl({"display", "write", sent});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string got = dir.File("got.dsp");
    r = Kvrctl({"display", "read", "-o", got});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Kvrctl({"display", "write", got});
    EXPECT_EQ(r.status, 0) << r.err;

    r = Kvrctl({"display", "show", got});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t lines = 0;
    for (char c : r.out) {
        lines += c == '\n' ? 1 : 0;
    }
    EXPECT_EQ(lines, 25u) << r.out;  // the description and the 24 lines
    EXPECT_NE(r.out.find(std::string("Page 1 line 1: ") + ValueChoiceText(0)), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("nominal 230.0 V, low 0.000 V, high 300.0 V"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Page 8 line 3: "), std::string::npos);

    EXPECT_EQ(Kvrctl({"display", "show", sent + ".missing"}).status, 1);

    // A line without the module: nothing to synchronise on, so the write fails.
    test::SimProcess bare({KVR_SIM_EXE, "--baud", "38400"});
    r = test::Run(
        {KVRCTL_EXE, "--device", bare.Path(), "--baud", "38400", "display", "write", sent});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("An error occurred while writing the KVR Display Configuration!"),
              std::string::npos)
        << r.err;
}

TEST_F(ModuleCli, QueryFindsTheDisplayFirstThenTheComModule) {
    test::RunResult r = Kvrctl({"query"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "A KVR Display was detected\n");
    test::SimProcess com({KVR_SIM_EXE, "--baud", "38400", "--with-com"});
    r = test::Run({KVRCTL_EXE, "--device", com.Path(), "--baud", "38400", "query", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["unit"], "KVR Com");
    EXPECT_EQ(json["boards"], 0);
}

// JSON and back gives the same bytes, for texts that are not UTF-8 and values that are not
// finite too; an edited JSON is checked field by field.
TEST(DisplayConvertCli, JsonRoundTripIsByteForByte) {
    test::TempDir dir;
    DisplayFileImage image;
    image.description = std::string(300, 'd') + "\xE9";  // 0xFF and a 16-bit length
    DisplayLine& line = image.lines[4];
    line.valueCode = 0x7F;
    line.channel = 15;
    line.decimals = 5;
    line.units = "k\xB5V  ";
    line.blank = true;
    line.nominal = -0.0;
    line.low = std::numeric_limits<double>::quiet_NaN();
    line.high = 1.0 / 3;
    std::string error;
    const std::string dsp = dir.File("a.dsp");
    ASSERT_TRUE(WriteDisplayFile(dsp, image, error)) << error;
    const std::string json = dir.File("a.json");
    test::RunResult r = test::Run({KVRCTL_EXE, "display", "convert", dsp, "-o", json});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = test::Run({KVRCTL_EXE, "display", "convert", json, "-o", dir.File("b.dsp")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> a;
    std::vector<uint8_t> b;
    ASSERT_TRUE(ReadWholeFile(dsp, a, error));
    ASSERT_TRUE(ReadWholeFile(dir.File("b.dsp"), b, error));
    EXPECT_EQ(a, b);

    std::string text;
    ASSERT_TRUE(ReadWholeFile(json, text, error));
    auto edited = nlohmann::json::parse(text);
    edited["lines"][4]["units"] = "MW";
    edited["lines"][4]["blank"] = false;
    WriteText(dir.File("edited.json"), edited.dump());
    r = test::Run(
        {KVRCTL_EXE, "display", "convert", dir.File("edited.json"), "-o", dir.File("edited.dsp")});
    ASSERT_EQ(r.status, 0) << r.err;
    DisplayFileImage back;
    ASSERT_TRUE(ReadDisplayFile(dir.File("edited.dsp"), back, error)) << error;
    EXPECT_EQ(back.lines[4].units, "MW   ");
    EXPECT_FALSE(back.lines[4].blank);
    EXPECT_TRUE(std::isnan(back.lines[4].low));
    EXPECT_EQ(back.description, image.description);

    edited["lines"][4]["decimals"] = 6;
    WriteText(dir.File("bad.json"), edited.dump());
    r = test::Run(
        {KVRCTL_EXE, "display", "convert", dir.File("bad.json"), "-o", dir.File("bad.dsp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("lines[4].decimals: expected 0 to 5"), std::string::npos) << r.err;
    // The output's name must fit what is written.
    EXPECT_EQ(test::Run({KVRCTL_EXE, "display", "convert", dsp, "-o", dir.File("c.dsp")}).status,
              2);
}

}  // namespace
}  // namespace kvr
