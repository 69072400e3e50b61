// The monitor display, the "Monitor Configuration" form and the log-file chooser, driven
// as a user drives them against simulated units.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "gui/GuiTestUtil.h"
#include "link/Clock.h"
#include "measure/forms/ChooseEntityDlg.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/forms/LogFileForm.h"
#include "monitor/forms/MonitorConfigForm.h"
#include "monitor/forms/MonitorDisplay.h"
#include "sim/SimLine.h"

namespace kvr::test {
namespace {

class MonitorFormsTest : public SimDocTest {
  protected:
    std::vector<int> Keys(const QListWidget* list) const {
        std::vector<int> keys;
        for (int i = 0; i < list->count(); ++i) {
            keys.push_back(list->item(i)->data(Qt::UserRole).toInt());
        }
        return keys;
    }
};

constexpr int kVoltage = 1, kCurrent = 2, kFrequency = 7;

TEST_F(MonitorFormsTest, DisplayPlacesSevenCellsInThreeColumnsAndMovesThemForTwo) {
    Attach(sim::UnitKind::Kvr300);
    SetMonitors({{0, kVoltage},
                 {1, kVoltage},
                 {2, kVoltage},
                 {0, kCurrent},
                 {1, kCurrent},
                 {2, kCurrent},
                 {0, kFrequency}});
    doc.layoutColumns = 3;
    MonitorViewState state;
    MonitorDisplay display(doc, state);
    display.resize(200, 100);
    display.show();
    display.LayoutMonitors(7, false);
    ASSERT_EQ(display.CellCount(), 7);
    EXPECT_EQ(state.cells.size(), 7u);
    const DialogUnits& du = display.Units();
    // Cell 4: row 1, column 1 with three columns; row 2, column 0 with two.
    EXPECT_EQ(display.ValueBox(4)->geometry(), du.ToPixels(135 + 65, 20 + 5, 70, 15));
    EXPECT_TRUE(display.Label(6)->Text().startsWith(QStringLiteral("Frequency : ")));
    doc.layoutColumns = 2;
    display.LayoutMonitors(7, true);
    EXPECT_EQ(display.ValueBox(4)->geometry(), du.ToPixels(65, 40 + 5, 70, 15));
    EXPECT_EQ(display.Canvas()->size(), du.ToPixels(0, 0, 2 * 135 + 5, 4 * 20 + 5).size());

    display.LayoutMonitors(3, false);  // the surplus cells go
    EXPECT_EQ(state.cells.size(), 3u);
    EXPECT_EQ(display.Canvas()->findChildren<CColorLabel*>().size(), 6);
    // Out-of-range columns in the document never divide by zero.
    doc.layoutColumns = 0;
    display.LayoutMonitors(3, true);
    EXPECT_EQ(display.Columns(), 1);
}

TEST_F(MonitorFormsTest, FormAddsThroughTheChooserBesideItThenMovesRemovesAndCloses) {
    Attach(sim::UnitKind::Kvr300);
    SetMonitors({{0, kVoltage}, {1, kCurrent}});
    MonitorConfig config(doc);
    config.columns = 3;
    config.Open();
    CMonitorConfigForm form(config);
    form.move(400, 100);
    form.show();
    QListWidget* list = form.List();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(Keys(list), (std::vector<int>{MonitorKey(0, kVoltage), MonitorKey(1, kCurrent)}));
    EXPECT_FALSE(form.RemoveButton()->isEnabled());
    const QPoint home = form.pos();

    ModalScript script;
    QPoint movedTo;
    script.Then<CChooseEntityDlg>([&](CChooseEntityDlg* chooser) {
        movedTo = form.pos();
        EXPECT_EQ(chooser->OkButton()->text(), QStringLiteral("Close"));
        EXPECT_EQ(chooser->x(), form.frameGeometry().right() + 1);
        ClickChoice(chooser->EntityButton(kFrequency));
        ClickChoice(chooser->ChannelButton(2));
        QTest::mouseClick(chooser->AddButton(), Qt::LeftButton);
        EXPECT_EQ(list->count(), 3);  // shown while the chooser stays open
        QTest::mouseClick(chooser->OkButton(), Qt::LeftButton);
    });
    QTest::mouseClick(form.AddButton(), Qt::LeftButton);
    EXPECT_TRUE(script.Done());
    EXPECT_LT(movedTo.x(), home.x());
    EXPECT_EQ(form.pos(), home);  // moved back when the chooser closed
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(Keys(list).back(), MonitorKey(2, kFrequency));

    // One row down; two rows selected and an arrow only beeps.
    list->setCurrentRow(0);
    QTest::mouseClick(form.DownButton(), Qt::LeftButton);
    EXPECT_EQ(Keys(list), (std::vector<int>{MonitorKey(1, kCurrent), MonitorKey(0, kVoltage),
                                            MonitorKey(2, kFrequency)}));
    EXPECT_TRUE(list->item(1)->isSelected());
    EXPECT_TRUE(user.beeps.empty());
    list->item(2)->setSelected(true);
    QTest::mouseClick(form.UpButton(), Qt::LeftButton);
    EXPECT_EQ(user.beeps, (std::vector<std::pair<unsigned, unsigned>>{{1000, 50}}));

    ASSERT_TRUE(form.RemoveButton()->isEnabled());
    QTest::mouseClick(form.RemoveButton(), Qt::LeftButton);
    EXPECT_EQ(Keys(list), std::vector<int>{MonitorKey(1, kCurrent)});

    // Out of range (which the form's rules refuse), then the spinner brings it back.
    form.ColumnsEdit()->setText(QStringLiteral("6"));
    auto* columnsDown = form.findChild<QToolButton*>(QStringLiteral("columnsDown"));
    ASSERT_NE(columnsDown, nullptr);
    QTest::mouseClick(columnsDown, Qt::LeftButton);
    EXPECT_EQ(form.ColumnsEdit()->text(), QStringLiteral("5"));
    QTest::mouseClick(form.CloseButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(config.columns, 5);
    EXPECT_EQ(doc.monitorCount, 1);
    EXPECT_EQ(doc.monitorEntities[0], kCurrent);
}

TEST_F(MonitorFormsTest, CancelAndAMissingUnitLeaveTheDocumentAlone) {
    Attach(sim::UnitKind::Kvr300);
    SetMonitors({{0, kVoltage}, {1, kCurrent}});
    MonitorConfig config(doc);
    for (bool cancel : {true, false}) {
        doc.channelCount = cancel ? 4 : 0;  // no unit known: "C&lose" ends as cancelled
        config.Open();
        CMonitorConfigForm form(config);
        form.show();
        form.List()->setCurrentRow(0);
        QTest::mouseClick(form.RemoveButton(), Qt::LeftButton);
        QTest::mouseClick(cancel ? form.CancelButton() : form.CloseButton(), Qt::LeftButton);
        EXPECT_FALSE(form.isVisible()) << cancel;
        EXPECT_EQ(form.result(), QDialog::Rejected) << cancel;
        EXPECT_EQ(doc.monitorCount, 2) << cancel;
    }
}

TEST_F(MonitorFormsTest, OpenLogStartsTheFileAndTheCommandHandsItToTheView) {
    Attach(sim::UnitKind::Kvr300);
    SetMonitors({{0, kVoltage}});
    doc.layoutColumns = 3;
    MonitorConfig config(doc);
    MonitorViewState view;
    const std::string path = isolated.dir.File("run.log");
    std::vector<std::pair<int, bool>> layouts;
    ModalScript script;
    script.Then<CMonitorConfigForm>([&](CMonitorConfigForm* form) {
        form->SetLogChooser([&](QWidget*, std::string& p, uint32_t& ms) {
            EXPECT_EQ(ms, view.logIntervalMs);
            p = path;
            ms = 2500;
            return true;
        });
        QTest::mouseClick(form->OpenLogButton(), Qt::LeftButton);
        config.AddRequest(1, kCurrent, "current");  // a monitor added after the log was chosen
        form->ColumnsEdit()->setText(QStringLiteral("2"));
        QTest::mouseClick(form->CloseButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(RunMonitorConfigForm(nullptr, doc, config, view, [&](int n, bool changed) {
        layouts.emplace_back(n, changed);
    }));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(layouts, (std::vector<std::pair<int, bool>>{{2, true}}));
    EXPECT_EQ(doc.layoutColumns, 2);
    EXPECT_EQ(view.logPath, path);
    EXPECT_EQ(view.logIntervalMs, 2500u);
    // Logging runs, into a file whose header names the list the form stored.
    EXPECT_TRUE(view.loggingEnabled);
    EXPECT_EQ(ReadFile(path), LogHeaderLine(doc));
    EXPECT_NE(ReadFile(path).find("Current : Channel 2"), std::string::npos);
}

TEST_F(MonitorFormsTest, LogChooserRefusesBadIntervalsAndStaysOpen) {
    CLogFileForm form("", kDefaultLogIntervalMs);
    EXPECT_EQ(form.IntervalEdit()->text(), QStringLiteral("5.000"));
    form.setDirectory(QString::fromStdString(isolated.dir.Path()));
    form.show();
    form.selectFile(QStringLiteral("run"));
    // Which texts are refused is the interval field's own test; here: the form stays.
    form.IntervalEdit()->setText(QStringLiteral("0"));
    form.accept();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(user.messages.back().text, kIntervalNotPositive);
    form.IntervalEdit()->setText(QStringLiteral("0.5"));
    form.accept();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.IntervalMs(), 500u);
    EXPECT_EQ(form.ChosenPath(), isolated.dir.File("run.log"));  // the default extension
}

TEST_F(MonitorFormsTest, LogChooserAsksBeforeReplacingAFileAndShowsNoLogAsItsValue) {
    const std::string path = isolated.dir.File("old.log");
    std::ofstream(path) << "x";
    CLogFileForm form(path, kNoLogInterval);
    EXPECT_EQ(form.IntervalEdit()->text(), QStringLiteral("4294967.295"));
    form.show();
    form.IntervalEdit()->setText(QStringLiteral("1"));
    user.answers = {MsgAnswer::No, MsgAnswer::Yes};
    form.accept();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(user.messages.back().buttons, MsgButtons::YesNo);
    form.accept();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.ChosenPath(), path);
    EXPECT_EQ(form.IntervalMs(), 1000u);
}

}  // namespace
}  // namespace kvr::test
