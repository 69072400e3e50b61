// The "Monitor Configuration" form's rules and the "&Monitors..." command around it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/Registry.h"
#include "base/Settings.h"
#include "link/TalkLink.h"
#include "measure/EntityChannel.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorConfig.h"
#include "monitor/MonitorTestUtil.h"

namespace kvr {
namespace {

using namespace entity;

class MonitorConfigTest : public test::SimDocTest {
  protected:
    void SetUp() override { Attach(); }
    std::string Label(int channel, MeasuredEntity e) {
        std::string label;
        EXPECT_TRUE(DescribeEntityChannel(doc, e, channel, label, true, false)) << label;
        return label;
    }
    template <typename T>
    std::vector<T> Column(T MonitorRow::*field) const {
        std::vector<T> column;
        for (const MonitorRow& r : form.Rows()) {
            column.push_back(r.*field);
        }
        return column;
    }
    std::vector<uint16_t> Keys() const { return Column(&MonitorRow::key); }
    std::vector<std::string> RowTexts() const { return Column(&MonitorRow::text); }
    // n rows on channel 0, entities cycling through 1 to 10.
    void FillRows(int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(form.AddRequest(0, EntityFromCode(1 + i % 10), "row " + std::to_string(i)));
        }
    }

    MonitorConfig form{doc};
};

TEST_F(MonitorConfigTest, OpeningListsTheValidMonitorsWithKeysAndLabels) {
    SetMonitors({{0, kVoltage}, {3, kActivePower}, {1, kActiveEnergyExport}, {2, kCurrent}});
    form.logPath = "/tmp/x.log";
    form.Open();
    // Export energies are not offered to monitors: that row is left out.
    EXPECT_EQ(Keys(), (std::vector<uint16_t>{0x0001, 0x0303, 0x0202}));
    EXPECT_EQ(form.Rows()[1].text, Label(3, kActivePower));
    EXPECT_FALSE(form.Modified());
    EXPECT_TRUE(form.CloseLogEnabled());

    // The unit is now a KVR 100: only channel 0 monitors are still valid, and "C&lose"
    // drops the others from the document.
    doc.SetChannels(1);
    form.logPath.clear();
    form.Open();
    EXPECT_EQ(Keys(), (std::vector<uint16_t>{0x0001}));
    EXPECT_FALSE(form.CloseLogEnabled());
    ASSERT_EQ(form.Close(), MonitorFormEnd::Ok);
    EXPECT_EQ(doc.Monitors().count, 1);
    EXPECT_EQ(doc.Monitors().EntityAt(0), kVoltage);
}

TEST_F(MonitorConfigTest, AddGoesThroughTheChooserAndStopsAtSixty) {
    form.Open();
    ChooseEntityLogic* chooser = form.BeginAdd();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(chooser->SelectEntity(kFrequency));
    ASSERT_TRUE(chooser->SelectChannel(1));
    chooser->Add();
    ASSERT_TRUE(chooser->SelectEntity(kVoltage));
    chooser->Add();  // the chooser stays open for more
    EXPECT_EQ(chooser->Ok(), ChooseResult::CloseCancelled);
    form.EndAdd();
    EXPECT_EQ(Keys(), (std::vector<uint16_t>{0x0107, 0x0101}));
    EXPECT_EQ(form.Rows()[0].text, Label(1, kFrequency));

    FillRows(58);
    EXPECT_EQ(form.Rows().size(), 60u);
    EXPECT_EQ(form.BeginAdd(), nullptr);  // no chooser at all
    EXPECT_EQ(user.messages.at(0).title, "Too many monitors!");
    EXPECT_FALSE(form.AddRequest(0, kVoltage, "one more"));
    EXPECT_EQ(form.Rows().size(), 60u);
    EXPECT_EQ(user.Texts(), (std::vector<std::string>{"A maximum of 60 monitors may be set.",
                                                      "A maximum of 60 monitors may be added."}));
}

TEST_F(MonitorConfigTest, AddIsRefusedWhenTheDocumentAlreadyHoldsSixty) {
    // Sixty stored, but some not valid for this unit: the list is shorter than the count.
    std::vector<std::pair<int, MeasuredEntity>> monitors(60, {0, kActiveEnergyExport});
    monitors[0] = {0, kVoltage};
    SetMonitors(monitors);
    form.Open();
    ASSERT_EQ(form.Rows().size(), 1u);
    EXPECT_NE(form.BeginAdd(), nullptr);  // the list has room for the chooser...
    form.EndAdd();
    EXPECT_FALSE(form.AddRequest(0, kCurrent, "x"));  // ...but the document has not
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"A maximum of 60 monitors may be added."});
    EXPECT_FALSE(form.Modified());
}

TEST_F(MonitorConfigTest, RemoveDeletesExactlyTheSelectedRows) {
    form.Open();
    FillRows(10);
    EXPECT_FALSE(form.Remove());  // nothing selected
    form.SetSelection({7, 2, 5});
    EXPECT_TRUE(form.RemoveEnabled());
    EXPECT_TRUE(form.Remove());
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"row 0", "row 1", "row 3", "row 4", "row 6",
                                                    "row 8", "row 9"}));
    EXPECT_FALSE(form.RemoveEnabled());  // the selection went with the rows
    EXPECT_TRUE(form.Modified());
}

TEST_F(MonitorConfigTest, MoveNeedsExactlyOneRowAndStopsAtTheEnds) {
    form.Open();
    FillRows(3);
    form.SetSelection({0});
    EXPECT_FALSE(form.Move(true));  // first row up: nothing, no beep
    form.SetSelection({2});
    EXPECT_FALSE(form.Move(false));  // last row down: nothing, no beep
    EXPECT_TRUE(user.beeps.empty());
    form.SetSelection({0, 1});
    EXPECT_FALSE(form.Move(false));
    EXPECT_EQ(user.beeps, (std::vector<std::pair<unsigned, unsigned>>{{1000, 50}}));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"row 0", "row 1", "row 2"}));

    form.SetSelection({1});
    EXPECT_TRUE(form.Move(true));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"row 1", "row 0", "row 2"}));
    EXPECT_EQ(form.Selection(), std::vector<int>{0});  // the moved row stays selected
    EXPECT_TRUE(form.Move(false));
    EXPECT_TRUE(form.Move(false));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"row 0", "row 2", "row 1"}));
    EXPECT_EQ(form.Rows()[2].key, MonitorKey(0, kCurrent));  // the key travels with the text
}

TEST_F(MonitorConfigTest, CloseNeedsAUnitAndAnOpenPort) {
    SetMonitors({{0, kVoltage}});
    form.Open();
    FillRows(2);
    doc.SetChannels(0);
    EXPECT_EQ(form.Close(), MonitorFormEnd::Cancelled);
    EXPECT_EQ(doc.Monitors().count, 1);
    EXPECT_TRUE(user.messages.empty());

    doc.SetChannels(4);
    doc.Port().Close();
    doc.Port().Settings().device = "/nonexistent/tty";
    doc.Port().SetLineOpener({});
    EXPECT_EQ(form.Close(), MonitorFormEnd::Cancelled);
    EXPECT_EQ(doc.Monitors().count, 1);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{kFailedToOpenPort});
}

TEST_F(MonitorConfigTest, LossOfDataIsAskedOnlyWhenTheOpenLogNoLongerFits) {
    test::TempDir dir;
    SetMonitors({{0, kVoltage}});
    form.logPath = dir.File("old.log");
    form.logIntervalMs = 1000;

    form.Open();  // unchanged monitors: never asked
    EXPECT_EQ(form.Close(), MonitorFormEnd::Ok);
    EXPECT_TRUE(user.messages.empty());

    form.Open();
    FillRows(1);
    user.answers = {MsgAnswer::Cancel};
    EXPECT_EQ(form.Close(), MonitorFormEnd::StayOpen);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{kLossOfDataQuestion});
    EXPECT_EQ(user.messages.at(0).buttons, MsgButtons::OkCancel);
    EXPECT_EQ(doc.Monitors().count, 2);  // the document already holds the new list
    EXPECT_FALSE(form.LogRestartAgreed());
    user.answers = {MsgAnswer::Ok};
    EXPECT_EQ(form.Close(), MonitorFormEnd::Ok);
    EXPECT_TRUE(form.LogRestartAgreed());

    form.Open();  // a new log chosen since the form opened: not asked
    FillRows(1);
    form.LogChosen(dir.File("new.log"), 2000);
    EXPECT_TRUE(form.LogOpened());
    EXPECT_EQ(test::ReadFile(dir.File("new.log")), LogHeaderLine(doc));
    EXPECT_EQ(form.Close(), MonitorFormEnd::Ok);
    EXPECT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(form.logIntervalMs, 2000u);

    form.Open();  // no log: not asked
    form.CloseLog();
    EXPECT_TRUE(form.logPath.empty());
    FillRows(1);
    EXPECT_EQ(form.Close(), MonitorFormEnd::Ok);
    EXPECT_EQ(user.messages.size(), 2u);
}

TEST_F(MonitorConfigTest, ColumnsMustBeAWholeNumberFromOneToFive) {
    form.columns = 3;
    form.Open();
    EXPECT_EQ(form.columnsText, "3");
    const std::string range = kColumnsRangeText, notInteger = kColumnsNotIntegerText;
    for (auto [bad, message] : {std::pair{"0", range},
                                {"6", range},
                                {"-1", range},
                                {"", notInteger},
                                {"abc", notInteger},
                                {"2.5", notInteger},
                                {"3x", notInteger}}) {
        form.columnsText = bad;
        EXPECT_EQ(form.Close(), MonitorFormEnd::StayOpen) << bad;
        EXPECT_EQ(user.messages.back().text, message) << bad;
    }
    EXPECT_EQ(form.columns, 3);
    form.columnsText = "5";
    EXPECT_EQ(form.Close(), MonitorFormEnd::Ok);
    EXPECT_EQ(form.columns, 5);
}

class MonitorsCommandTest : public MonitorConfigTest {
  protected:
    bool Run(const std::function<bool()>& show) {
        return RunMonitorsCommand(
            doc, form, {logPath, logIntervalMs, nextDueMs, logging, logHeader}, show,
            [this](int count, bool changed) { layouts.emplace_back(count, changed); });
    }
    std::string logPath;
    uint32_t logIntervalMs = 5000;
    uint64_t nextDueMs = 0;
    bool logging = false;
    std::string logHeader;
    std::vector<std::pair<int, bool>> layouts;
    // The monitor count saved with the preferences; -1 when none was.
    static long SavedCount() {
        uint32_t n = 0;
        const int r =
            CRegistry::ReadDword(RegRoot::CurrentUser, kKeyPreferences, kValMonitorCount, n);
        return r == kRegOk ? static_cast<long>(n) : -1;
    }
};

TEST_F(MonitorsCommandTest, CancelLeavesEverythingAloneAndCloseStoresLaysOutAndSaves) {
    ASSERT_TRUE(doc.Port().EnsureOpen());
    SetMonitors({{0, kVoltage}});
    logPath = "/tmp/kept.log";
    EXPECT_FALSE(Run([&] {
        form.AddRequest(0, kCurrent, "i");
        form.CloseLog();
        return false;
    }));
    EXPECT_EQ(doc.Monitors().count, 1);
    EXPECT_EQ(logPath, "/tmp/kept.log");
    EXPECT_TRUE(layouts.empty());
    EXPECT_EQ(SavedCount(), -1);

    test::TempDir dir;
    const bool done = Run([&] {
        EXPECT_EQ(form.columns, 3);  // from the document
        EXPECT_EQ(form.Rows().size(), 1u);
        EXPECT_EQ(DeviceLock::Owner(doc), std::this_thread::get_id());  // held while open
        form.AddRequest(3, kFrequency, "f");
        form.LogChosen(dir.File("m.log"), 500);
        form.columnsText = "2";
        return form.Close() == MonitorFormEnd::Ok;
    });
    EXPECT_TRUE(done);
    EXPECT_EQ(doc.Monitors().columns, 2);
    EXPECT_EQ(layouts, (std::vector<std::pair<int, bool>>{{2, true}}));
    EXPECT_EQ(logPath, dir.File("m.log"));
    // Chosen before the frequency was added: started again with a header naming both, and
    // logging from now on.
    EXPECT_EQ(test::ReadFile(logPath), LogHeaderLine(doc));
    EXPECT_NE(logHeader.find("Frequency"), std::string::npos);
    EXPECT_EQ(logHeader, LogHeaderLine(doc));
    EXPECT_TRUE(logging);
    EXPECT_EQ(user.panes[StatusPane::Log], "Log   ");
    EXPECT_EQ(nextDueMs, clock.NowMs());  // the new log's first line at once
    EXPECT_FALSE(doc.Port().IsOpen());    // saved: the port is closed first
    EXPECT_EQ(SavedCount(), 2);
    EXPECT_EQ(DeviceLock::Owner(doc), std::thread::id());
}

TEST_F(MonitorsCommandTest, AgreedLossOfDataStartsTheLogAfreshForTheNewMonitors) {
    test::TempDir dir;
    SetMonitors({{0, kVoltage}});
    logPath = dir.File("run.log");
    ASSERT_TRUE(StartLog(doc, logPath));
    { std::ofstream(logPath, std::ios::app) << "old data\r\n"; }
    user.answers = {MsgAnswer::Ok};
    clock.Advance(1234);
    ASSERT_TRUE(Run([&] {
        form.AddRequest(0, kFrequency, "f");
        return form.Close() == MonitorFormEnd::Ok;
    }));
    EXPECT_EQ(doc.Monitors().count, 2);
    EXPECT_EQ(layouts, (std::vector<std::pair<int, bool>>{{2, false}}));
    const std::string text = test::ReadFile(logPath);
    EXPECT_EQ(text, LogHeaderLine(doc));  // the old lines are gone, the header names both
    EXPECT_NE(text.find("Frequency"), std::string::npos);
    EXPECT_EQ(logHeader, text);

    // "Clo&se Log": logging stops and the pane says so.
    logging = true;
    ASSERT_TRUE(Run([&] {
        form.CloseLog();
        return form.Close() == MonitorFormEnd::Ok;
    }));
    EXPECT_TRUE(logPath.empty());
    EXPECT_FALSE(logging);
    EXPECT_EQ(user.panes[StatusPane::Log], "No Log");
}

}  // namespace
}  // namespace kvr
