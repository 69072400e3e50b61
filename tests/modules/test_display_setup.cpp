// The display record's line encoding, the display setup file and the display form's
// line rules, without a line.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Seams.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"
#include "modules/DisplayFile.h"
#include "modules/ModuleTestUtil.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using test::Line;
using Bytes = std::array<uint8_t, 3>;

// A line's value bytes, low byte first.
Bytes ValueBytes(const DisplaySetupRecord& r, int line) {
    const size_t at = 51 + 3 * static_cast<size_t>(line);
    return {r[at], r[at + 1], r[at + 2]};
}

TEST(DisplayRecord, LinesEncodeScaledIn24BitsAndDecodeBack) {
    DisplaySetupRecord r{};
    const DisplayLine volts = Line(2, 0x00, 1, "V", -1.5);
    EncodeLine(volts, 2, r);
    EXPECT_EQ(ValueBytes(r, 2), (Bytes{0xF1, 0xFF, 0xFF}));
    EXPECT_EQ(r[3 + 2], 0x13);  // one decimal, channel selector 3
    EXPECT_EQ(r[123 + 2], 'V');
    EXPECT_EQ(r[147 + 2], ' ');
    // "MW" with 3 decimals: 12 500 000 W travels as 12500 (0x0030D4).
    EncodeLine(Line(5, 0x12, 3, "MW", 12.5e6), 5, r);
    EXPECT_EQ(ValueBytes(r, 5), (Bytes{0xD4, 0x30, 0x00}));
    // 0.29 x 100 is a hair under 29 in doubles: a value read from the module must encode
    // back to the integer it came from. One beyond 24 bits stays at the positive end.
    EncodeLine(Line(7, 0x15, 2, "", 0.29), 7, r);
    EXPECT_EQ(ValueBytes(r, 7), (Bytes{29, 0, 0}));
    EncodeLine(Line(8, 0x10, 0, "V", 1e9), 8, r);
    EXPECT_EQ(ValueBytes(r, 8), (Bytes{0xFF, 0xFF, 0x7F}));
    SealDisplayRecord(r);
    EXPECT_TRUE(DisplayRecordSumsToZero(r));

    DisplayLine d;
    DecodeLine(d, 2, r);
    EXPECT_EQ(d, volts);
    DecodeLine(d, 5, r);
    EXPECT_DOUBLE_EQ(d.nominal, 12.5e6);
    EXPECT_DOUBLE_EQ(d.low, -12.5e6);

    // A high nibble of 7 reads as 5 decimals, 0xF as a blank line; a top bit of the value
    // code is dropped.
    r[3 + 4] = 0x72;
    r[27 + 4] = 0x91;
    DecodeLine(d, 4, r);
    EXPECT_EQ(d.decimals, 5);
    EXPECT_EQ(d.channel, 2);
    EXPECT_EQ(d.valueCode, 0x11);
    EXPECT_FALSE(d.blank);
    r[3 + 4] = 0xF2;
    DecodeLine(d, 4, r);
    EXPECT_TRUE(d.blank);
}

TEST(DisplayRecord, AllZeroRecordIsAllBlankAndReadBackIgnoresHeaderAndChecksum) {
    DisplaySetupRecord zero{};
    for (int i = 0; i < kDisplayLines; ++i) {
        DisplayLine d;
        DecodeLine(d, i, zero);
        EXPECT_TRUE(d.blank) << i;
        EXPECT_EQ(d.units, "     ");
    }
    DisplaySetupRecord a{};
    EncodeLine(Line(0, 0x10, 2, "kV", 11000), 0, a);
    SealDisplayRecord(a);
    DisplaySetupRecord b = a;
    b[0] = 0;
    b[387] ^= 0x55;
    EXPECT_TRUE(DisplayRecordsMatch(a, b));
    b[1] ^= 1;
    EXPECT_FALSE(DisplayRecordsMatch(a, b));
    b = a;
    b[386] ^= 1;
    EXPECT_FALSE(DisplayRecordsMatch(a, b));
}

TEST(DisplayFile, RoundTripsByteForByteAndRefusesWhatItCannotHold) {
    DisplayFileImage image;
    image.description = std::string(300, 'd');
    for (int i = 0; i < kDisplayLines; ++i) {
        image.lines[static_cast<size_t>(i)] =
            Line(i, static_cast<uint8_t>(i % 10), i % 6, "kW", i * 1.25);
    }
    image.lines[4].blank = true;  // a blank line keeps its values
    image.lines[4].valueCode = 0xFF;
    const std::vector<uint8_t> bytes = EncodeDisplayFile(image);
    // Signature 10101, then 0xFF and a 16-bit length for 300 characters.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5),
              (std::vector<uint8_t>{0x75, 0x27, 0xFF, 0x2C, 0x01}));
    DisplayFileImage back;
    std::string error;
    ASSERT_TRUE(DecodeDisplayFile(bytes.data(), bytes.size(), back, error)) << error;
    EXPECT_EQ(back, image);
    EXPECT_EQ(EncodeDisplayFile(back), bytes);

    std::vector<uint8_t> bad = bytes;
    bad[0] = 0x76;
    EXPECT_FALSE(DecodeDisplayFile(bad.data(), bad.size(), back, error));
    EXPECT_EQ(error, "Not a valid KVR Display setup file");
    bad = bytes;
    bad[5 + 300] = 25;  // the line count
    EXPECT_FALSE(DecodeDisplayFile(bad.data(), bad.size(), back, error));
    EXPECT_NE(error.find("25 lines"), std::string::npos) << error;
    EXPECT_FALSE(DecodeDisplayFile(bytes.data(), bytes.size() - 1, back, error));
    EXPECT_EQ(back, image);  // a refused file changes nothing
}

class DisplayForm : public ::testing::Test {
  protected:
    void SetUp() override {
        DisplaySetupRecord r{};
        for (int i = 0; i < kDisplayLines; ++i) {
            EncodeLine(Line(i, 0x10, 2, "kV", 11000), i, r);
        }
        SealDisplayRecord(r);
        editor.Open(r);
    }
    std::pair<int, int> Where() const { return {editor.Page(), editor.Line()}; }
    test::ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
    DisplayEditor editor = test::MakeDisplayEditor();
};

TEST_F(DisplayForm, ArrowsWrapThroughAllLinesStoringTheFields) {
    EXPECT_EQ(editor.fields.nominal, "11.00 kV");
    EXPECT_EQ(editor.Title(), "KVR Display Configuration - []");
    editor.fields.nominal = "12kV";
    editor.fields.units = "kVolts";
    editor.Previous();  // before page 1 line 1: page 8 line 3
    EXPECT_EQ(Where(), std::pair(8, 3));
    EXPECT_DOUBLE_EQ(editor.lines[0].nominal, 12000);
    EXPECT_EQ(editor.lines[0].units, "kVolt");
    editor.fields.low = "not a number";
    editor.Next();
    EXPECT_EQ(Where(), std::pair(1, 1));
    EXPECT_DOUBLE_EQ(editor.lines[23].low, 0);  // what does not parse stores 0
    editor.Next();
    editor.Next();
    editor.Next();
    EXPECT_EQ(Where(), std::pair(2, 1));
}

TEST_F(DisplayForm, ValueChoiceClearAndDefault) {
    CQRLDoc doc;
    doc.Channel(3).record.SetPrimary(InputKind::Voltage, Winding::Primary, 11000);
    doc.Channel(3).record.SetPrimary(InputKind::Current, Winding::Primary, 400);
    doc.SetDeviceType(static_cast<int>(DeviceType::Kvr300));
    editor.fields.channel = 3;
    editor.ChooseValue(2);  // Primary Active Power
    EXPECT_EQ(editor.lines[0].valueCode, 0x12);
    EXPECT_DOUBLE_EQ(editor.lines[0].nominal, 11000);  // an untouched text keeps its value
    ASSERT_TRUE(editor.Default(doc));
    EXPECT_EQ(editor.fields.nominal, "13.20 MW");  // 11 kV x 400 A x 3
    EXPECT_EQ(editor.fields.high, "14.52 MW");
    editor.fields.channel = 4;  // a unit whose ratings the document does not hold
    EXPECT_FALSE(editor.Default(doc));
    editor.ChooseValue(16);  // Power Factor, whatever the channel
    ASSERT_TRUE(editor.Default(doc));
    EXPECT_EQ(editor.fields.low, "-0.7000 ");

    editor.Next();
    editor.Previous();
    EXPECT_DOUBLE_EQ(editor.lines[0].low, -0.7);
    editor.Clear();
    EXPECT_TRUE(editor.lines[0].blank);
    EXPECT_EQ(editor.fields.valueChoice, kBlankValueChoice);
    EXPECT_EQ(editor.fields.nominal, "");
    // Choosing a value again brings back what the line held, not the emptied fields.
    editor.ChooseValue(0);
    EXPECT_FALSE(editor.lines[0].blank);
    EXPECT_EQ(editor.lines[0].valueCode, 0x10);
    EXPECT_EQ(editor.fields.low, "-700.0 mV");
}

TEST_F(DisplayForm, CodeWithoutChoiceIsKeptUntilChanged) {
    DisplaySetupRecord r = editor.Encode();
    r[27] = 0xFF;  // a module that sends 0xFF on a line that is not blank: code 0x7F
    SealDisplayRecord(r);
    editor.Open(r);
    EXPECT_EQ(editor.fields.valueChoice, -1);
    EXPECT_EQ(ValueReportName(editor.lines[0].valueCode), "Code 0x7F");
    editor.Next();
    editor.Previous();
    EXPECT_EQ(editor.lines[0].valueCode, 0x7F);
    const DisplaySetupRecord again = editor.Encode();
    EXPECT_EQ(again[27], 0x7F);
    EXPECT_TRUE(std::equal(again.begin() + 28, again.end() - 1, r.begin() + 28));
}

TEST_F(DisplayForm, SaveAndLoadThroughTheTemplateForm) {
    test::TempDir dir;
    CQRLDoc doc;
    std::string answer = dir.Path() + "/feeder.dsp";
    ScopedSeams dialog{
        Seams{.templateFileDialog = [&](bool, const std::string& filter, std::string& path,
                                        std::string& description) {
            EXPECT_EQ(filter, "KVR Display files (*.dsp)|*.dsp||");
            path = answer;
            description = "Feeder 7";
            return true;
        }}};
    editor.fields.units = "MV";
    ASSERT_TRUE(editor.Save(doc));  // no file yet: Save As
    EXPECT_EQ(doc.Paths().displaySetupPath, answer);
    EXPECT_EQ(editor.Title(), "KVR Display Configuration - [feeder.dsp]");
    const auto saved = editor.lines;  // the fields are stored only on a line change
    EXPECT_EQ(saved[0].units, "kV   ");

    DisplayEditor other = test::MakeDisplayEditor();
    ASSERT_TRUE(other.Load(doc));
    EXPECT_EQ(other.lines, saved);
    EXPECT_EQ(other.description, "Feeder 7");

    answer = dir.Path() + "/missing.dsp";
    EXPECT_FALSE(other.Load(doc));
    EXPECT_EQ(other.lines, saved);
    EXPECT_EQ(user.messages.size(), 1u);
}

}  // namespace
}  // namespace kvr
