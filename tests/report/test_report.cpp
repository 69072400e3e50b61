#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/Files.h"
#include "base/Seams.h"
#include "document/QRLDoc.h"
#include "measure/MeasuredEntity.h"
#include "modules/ModuleTestUtil.h"
#include "report/PrintCommand.h"
#include "report/ReportPrint.h"
#include "report/Reports.h"
#include "report/RtfTemplate.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using namespace entity;

std::string Mark(const std::string& name, const std::string& inside = "") {
    return "{\\*\\bkmkstart " + name + "}" + inside + "{\\*\\bkmkend " + name + "}";
}

// The contents of bookmark `name` in a filled document; "<missing>" when it is not there.
std::string Inside(const std::string& content, const std::string& name) {
    const std::string start = "{\\*\\bkmkstart " + name + "}";
    const size_t s = content.find(start);
    const size_t e = content.find("{\\*\\bkmkend " + name + "}");
    if (s == std::string::npos || e == std::string::npos) {
        return "<missing>";
    }
    return content.substr(s + start.size(), e - s - start.size());
}

CRtfTemplate FromText(const std::string& text) {
    CRtfTemplate t;
    t.SetContent(text);
    return t;
}

TEST(RtfTemplate, FillsBookmarksByExactNameAndKeepsTheGroups) {
    CRtfTemplate t = FromText("{\\rtf1 " + Mark("Date", "old") + " " + Mark("A010", "x") + " " +
                              Mark("A01", "y") + "}");
    EXPECT_TRUE(t.FillBookmark("Date", "05 Dec, 2026"));
    EXPECT_NE(t.Content().find(Mark("Date", "05 Dec, 2026")), std::string::npos);
    EXPECT_TRUE(t.FillNumbered("A%02d", 1, "new"));
    EXPECT_EQ(Inside(t.Content(), "A01"), "new");
    EXPECT_EQ(Inside(t.Content(), "A010"), "x");
    // Filled again: the groups stayed in place.
    EXPECT_TRUE(t.FillBookmark("Date", "06 Dec, 2026"));
    EXPECT_EQ(Inside(t.Content(), "Date"), "06 Dec, 2026");

    // A start group without its end group: false, and nothing changes.
    CRtfTemplate half = FromText("{\\rtf1 {\\*\\bkmkstart Date}old}");
    EXPECT_FALSE(half.FillBookmark("Date", "new"));
    EXPECT_EQ(half.Content(), "{\\rtf1 {\\*\\bkmkstart Date}old}");
    EXPECT_FALSE(half.FillBookmark("Nothing", "new"));
}

TEST(RtfTemplate, TextsPrintAsTyped) {
    CRtfTemplate t = FromText(Mark("Description") + Mark("OperName"));
    EXPECT_TRUE(t.FillBookmark("Description", "a\\b{c}"));
    EXPECT_TRUE(t.FillBookmark("OperName", "M\xC3\xBCller"));
    EXPECT_EQ(Inside(t.Content(), "Description"), "a\\\\b\\{c\\}");
    EXPECT_EQ(Inside(t.Content(), "OperName"), "M\\u252?ller");
    // Latin-1 bytes of old files, a character beyond 16 bits, signed units, a line break.
    EXPECT_EQ(RtfEscape("M\xFCller"), "M\\u252?ller");
    EXPECT_EQ(RtfEscape("\xF0\x9F\x98\x80"), "\\u-10179?\\u-8704?");
    EXPECT_EQ(RtfEscape("\xE2\x82\xAC"
                        "1\n2\x01"),
              "\\u8364?1\\line 2");
}

TEST(RtfTemplate, LoadsAndNamesTheTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir.File("t.rtf");
    std::ofstream(path) << "{\\rtf1 x}";
    CRtfTemplate t;
    EXPECT_TRUE(t.LoadTemplate(path, kTemporaryReportName));
    EXPECT_EQ(t.OutputName(), "QrlTemp.rtf");
    EXPECT_EQ(t.Content(), "{\\rtf1 x}");
    std::ofstream(dir.File("empty.rtf"));
    EXPECT_FALSE(t.LoadTemplate(dir.File("empty.rtf"), "a.b"));
    EXPECT_FALSE(t.LoadTemplate(dir.File("none.rtf"), "a.b"));

    // The filled file goes to a folder of the user's own, twice to the same name.
    ASSERT_TRUE(t.LoadTemplate(path, kTemporaryReportName));
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path());
    std::string first, second, error;
    ASSERT_TRUE(t.WriteTemporary(first, error)) << error;
    t.SetContent("{\\rtf1 y}");
    ASSERT_TRUE(t.WriteTemporary(second, error)) << error;
    EXPECT_EQ(first, dir.File("kvr-view/QrlTemp.rtf"));
    EXPECT_EQ(first, second);
    struct stat st {};
    ASSERT_EQ(stat(dir.File("kvr-view").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    chmod(dir.File("kvr-view").c_str(), 0777);
    EXPECT_FALSE(t.WriteTemporary(first, error));
}

TEST(EntityTexts, RenamesEnergiesAndSplitsLongLabels) {
    std::string a, b;
    EntityTexts("Voltage : Feeder A / Phase A ", a, b);  // 29 characters
    EXPECT_EQ(a, "Voltage : Feeder A / Phase A ");
    EXPECT_EQ(b, "");
    EntityTexts("Voltage : Feeder AB / Phase A ", a, b);  // exactly 30: not split
    EXPECT_EQ(b, "");
    EntityTexts("Active Power : Feeder 1 / Phase A ", a, b);
    EXPECT_EQ(a, "Feeder 1");
    EXPECT_EQ(b, "Active Power : Phase A ");
    EntityTexts("Active Energy Export : Feeder 1 / Phase B ", a, b);
    EXPECT_EQ(a, "Feeder 1");
    EXPECT_EQ(b, "Active Energy (Neg) : Phase B ");
    EntityTexts("Reactive Energy Lag : Feeder 1 / 3 phase ", a, b);
    EXPECT_EQ(b, "Reactive Energy (Pos) : 3 phase ");
    // The 3 Phase channel has no " / ": channel, then the entity's name.
    EntityTexts("1-Cycle Current Maximum : 3 Phase ", a, b);
    EXPECT_EQ(a, "3 Phase ");
    EXPECT_EQ(b, "1-Cycle Current Maximum : ");
}

class ConfigurationReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doc.OnNewDocument();
        for (int c = 0; c < kChannelObjects; ++c) {
            ParameterRecord& r = doc.Channel(c).record;
            r.SetUnitAddress(static_cast<uint8_t>(c));
            r.SetSerialNumber(1000u + static_cast<unsigned>(c));
            r.SetName("Feeder " + std::to_string(c + 1));
            r.SetPhase(InputKind::Voltage, static_cast<int>(PhaseCode::A) + (c % 3));
            r.SetPhase(InputKind::Current, static_cast<int>(PhaseCode::A) + (c % 3));
            for (int p = 0; p < 4; ++p) {
                r.SetCardType(p, 0);
            }
        }
        doc.SetOperatorName("Ann");
        doc.SetDescription("Sub {7}");
    }
    std::string Fill(bool expectAll = true) {
        CRtfTemplate t;
        EXPECT_TRUE(t.LoadTemplate(FindTemplate(kConfigurationTemplate), kTemporaryReportName));
        EXPECT_EQ(FillConfigurationReport(doc, t, 0), expectAll);
        return t.Content();
    }
    CQRLDoc doc;
};

// A card on channel 0's own measurements, its F1 and F2 words given.
void SetOutput(ParameterRecord& r, int slot, int card, MeasuredEntity e, int32_t min, int32_t max) {
    r.SetCardType(slot, card);
    r.SetOutputEntity(slot, e);
    r.SetOutputSource(slot, 0);
    r.SetScaleMin(slot, min);
    r.SetScaleMax(slot, max);
}

// Each "name=contents" line of `expected` against the bookmark of that name, compared as
// one text so that a failure shows the lines that differ.
void ExpectMarks(const std::string& content, const std::string& expected) {
    std::string actual;
    std::istringstream lines(expected);
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(0, line.find('='));
        actual += name + "=" + Inside(content, name) + "\n";
    }
    EXPECT_EQ(actual, expected);
}

TEST_F(ConfigurationReportTest, Kvr100) {
    doc.SetChannels(1);
    ParameterRecord& r = doc.Channel(0).record;
    r.SetDirect(InputKind::Voltage, false);
    r.SetPrimary(InputKind::Voltage, Winding::Primary, 11000);
    r.SetPrimary(InputKind::Voltage, Winding::Secondary, 110);
    doc.Channel(1).record.SetDirect(InputKind::Voltage, true);
    // Output 1: analog voltage 0..10 V on range "10.0V" for 0..100 V.
    SetOutput(r, 0, 1, kVoltage, 0, 1000);
    r.SetOutputRange(0, false, 6);
    r.SetLevelMin(0, 0);
    r.SetLevelMax(0, 1462);
    SetOutput(r, 1, 2, kActivePower, 500, 450);            // a relay, F1 500 above F2 450
    SetOutput(r, 2, 2, kActiveEnergyExport, -1000, 3600);  // pulses (F1 below 0), 3600 an hour

    const std::string c = Fill();
    EXPECT_EQ(Inside(c, "Date").size(), std::string("01 Jan, 1970.  00:00:00").size());
    // Channel 2 is beyond a KVR 100: empty but for the direct primary.
    ExpectMarks(c,
                "OperName=Ann\nDescription=Sub \\{7\\}\nSerNo=1000\nNumInputChannels=1\n"
                "VPrim1=11000.0\nVSec1=110.0\nVPhase1=A - N\nBalanced1=No\n"
                "VPrim2=-\nVSec2=\nVPhase2=\nVDirect2=\n"
                "Type01=Analog\nEntity01=Voltage : Feeder 1 / Phase A \n"
                "A01=0.000 V=0.0 V\nB01=100.0 V=10 V\nC01=10.00 V\n"
                "Type02=Relay\nEntity02=Feeder 1\nEntity02a=Active Power : Phase A \n"
                "A02=45.00 W\nB02=50.00 W\nC02=Rising\n"
                "Entity03a=Active Energy (Neg) : Phase A \nA03=100.0 W\nB03=3600\nC03=Neg\n"
                "Entity04=Not installed\nType04=\nEntity05=\nType05=\nA08=\nEntity12=\nC12=\n"
                "NumOutputChannels=3\n");
}

TEST_F(ConfigurationReportTest, Kvr300TakesTheMainBoardsSerialAndReportsAMissingBookmark) {
    doc.SetChannels(4);
    // Output 12: a falling relay on another channel's current.
    SetOutput(doc.Channel(2).record, 3, 2, kCurrent, 1000, 2000);
    ExpectMarks(Fill(),
                "SerNo=1003\nNumInputChannels=4\nIPhase3=C - N\nEntity12=Invalid Channel\n"
                "A12=1.000 A\nC12=Falling\nNumOutputChannels=1\n");

    // Without C12 the fill fails, yet every other bookmark is still filled.
    CRtfTemplate t;
    ASSERT_TRUE(t.LoadTemplate(FindTemplate(kConfigurationTemplate), kTemporaryReportName));
    std::string text = t.Content();
    const std::string c12 = Mark("C12");
    text.erase(text.find(c12), c12.size());
    t.SetContent(text);
    EXPECT_FALSE(FillConfigurationReport(doc, t, 0));
    EXPECT_EQ(Inside(t.Content(), "NumOutputChannels"), "1");
}

TEST(DisplayReport, FillsEveryLine) {
    DisplayFileImage setup;
    setup.description = "Panel 3";
    for (int i = 0; i < kDisplayLines; ++i) {
        DisplayLine& line = setup.lines[static_cast<size_t>(i)];
        line = test::Line(i, 0, 2, "kV", 11000);  // the first value choice
        line.channel = static_cast<uint8_t>(i % 16);
    }
    setup.lines[4].valueCode = kBlankValueCode;
    setup.lines[4].blank = true;
    CRtfTemplate t;
    ASSERT_TRUE(t.LoadTemplate(FindTemplate(kDisplayTemplate), kTemporaryReportName));
    EXPECT_TRUE(FillDisplayReport(setup, "Ann", t, 0));
    const std::string& c = t.Content();
    // A blank line keeps its values, with no unit.
    ExpectMarks(c,
                "Description=Panel 3\nChan16=15\nUnit24=kV   \nDispVal05=-- BLANK --\n"
                "Blank05=Yes\nNom01=11.00 kV\nNom05=11.00 k\n");
    EXPECT_EQ(Inside(c, "Date").size(), std::string("01 Jan, 1970").size());
    size_t marks = 0;
    for (size_t p = c.find("bkmkstart"); p != std::string::npos; p = c.find("bkmkstart", p + 1)) {
        ++marks;
    }
    EXPECT_EQ(marks, 195u);
}

TEST(PreparePrint, AsksForTheOperatorAndReportsAMissingTemplate) {
    test::ScriptedUser user;
    ScopedSeams seams(Seams{.user = &user});
    CQRLDoc doc;
    CRtfTemplate t;
    PrinterChoice choice;
    PrintForms cancelled;
    EXPECT_FALSE(PreparePrint(doc, kConfigurationTemplate, t, &choice, cancelled));
    ASSERT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(user.messages[0].title, "Operator Name");
    EXPECT_EQ(user.messages[1].text, "No Operator Name, cannot continue with printing.");

    user.messages.clear();
    int printerForms = 0;
    PrintForms forms{.operatorName = [](std::string& n) { return (n = "Ann"), true; },
                     .printer =
                         [&](PrinterChoice& c) {
                             ++printerForms;
                             c.printer = "Office";
                             return true;
                         }};
    EXPECT_TRUE(PreparePrint(doc, kConfigurationTemplate, t, &choice, forms));
    EXPECT_EQ(doc.OperatorName(), "Ann");
    EXPECT_EQ(choice.printer, "Office");
    EXPECT_EQ(t.OutputName(), "QrlTemp.rtf");
    EXPECT_EQ(user.messages.size(), 1u);  // only the request for the name

    user.messages.clear();
    EXPECT_FALSE(PreparePrint(doc, "Missing.rtf", t, nullptr, forms));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, "Print error !");
    EXPECT_NE(user.messages[0].text.find("/Missing.rtf'.\nPlease consult your supplier."),
              std::string::npos);
    EXPECT_EQ(printerForms, 1);  // no printer form for a report saved to a file
}

TEST(PrintCommand, Arguments) {
    std::string error;
    const PrinterChoice choice{"Office Laser", "drv", "usb:1"};
    EXPECT_EQ(PrintCommandArguments(kDefaultPrintCommand, "/t/QrlTemp.rtf", choice, error),
              (std::vector<std::string>{"soffice", "--headless", "--pt", "Office Laser",
                                        "/t/QrlTemp.rtf"}));
    EXPECT_EQ(PrintCommandArguments("\"/opt/my writer/w\" /pt \"%1\" \"%2\" \"%3\" \"%4\"",
                                    "/t/a b.rtf", choice, error),
              (std::vector<std::string>{"/opt/my writer/w", "/pt", "/t/a b.rtf", "Office Laser",
                                        "drv", "usb:1"}));
    EXPECT_EQ(PrintCommandArguments("lp -d %p -o x=100%% %f", "f", choice, error),
              (std::vector<std::string>{"lp", "-d", "Office Laser", "-o", "x=100%", "f"}));
    EXPECT_TRUE(PrintCommandArguments("lpr", "f", choice, error).empty());
    EXPECT_TRUE(PrintCommandArguments("/pt %1", "f", choice, error).empty());
}

TEST(PrintCommand, PrintTemplateRunsTheCommandOfTheSettings) {
    test::TempDir dir;
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path());
    const std::string recorder = dir.File("record.sh");
    std::ofstream(recorder) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " << dir.Path()
                            << "/args\ncat \"$2\" >> " << dir.Path() << "/args\n";
    chmod(recorder.c_str(), 0755);
    const std::string system = dir.File("system.reg");
    std::ofstream(system) << "[wrifile\\shell\\printto\\command]\n@=\"\\\"" << recorder
                          << "\\\" /pt \\\"%1\\\" \\\"%2\\\" \\\"%3\\\" \\\"%4\\\"\"\n";
    test::ScopedEnv settings("KVR_SYSTEM_SETTINGS_FILE", system);
    CRtfTemplate t;
    t.LoadTemplate("/nonexistent", kTemporaryReportName);  // only names the output
    t.SetContent("{\\rtf1 report}");
    std::string error;
    ASSERT_TRUE(PrintTemplate(t, {"Office Laser", "drv", "port"}, true, error)) << error;
    std::ifstream in(dir.Path() + "/args");
    std::stringstream args;
    args << in.rdbuf();
    EXPECT_EQ(args.str(), "/pt\n" + dir.File("kvr-view/QrlTemp.rtf") +
                              "\nOffice Laser\ndrv\nport\n{\\rtf1 report}");

    // A command that fails or does not exist is told, not hidden.
    std::ofstream(system) << "[wrifile\\shell\\printto\\command]\n@=\"false %f\"\n";
    EXPECT_FALSE(PrintTemplate(t, {}, true, error));
    std::ofstream(system) << "[wrifile\\shell\\printto\\command]\n@=\"/no/such/program %f\"\n";
    EXPECT_FALSE(PrintTemplate(t, {}, true, error));
}

}  // namespace
}  // namespace kvr
