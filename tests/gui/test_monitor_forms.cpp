// The monitor display, the "Monitor Configuration" form and the log-file chooser, driven
// as a user drives them against simulated units.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "base/Clock.h"
#include "gui/GuiTestUtil.h"
#include "measure/forms/ChooseEntityDlg.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/forms/LogFileForm.h"
#include "monitor/forms/MonitorConfigForm.h"
#include "monitor/forms/MonitorDisplay.h"
#include "sim/SimLine.h"

namespace kvr::test {
namespace {

using MonitorFormsTest = SimDocTest;

std::vector<int> Keys(const QListWidget* list) {
    std::vector<int> keys;
    for (int i = 0; i < list->count(); ++i) {
        keys.push_back(list->item(i)->data(Qt::UserRole).toInt());
    }
    return keys;
}

constexpr MeasuredEntity kVoltage = entity::kVoltage, kCurrent = entity::kCurrent,
                         kFrequency = entity::kFrequency;

TEST(MonitorLabels, BreakAfterColonAndSlashBeforeAnyOtherBlank) {
    const auto chars = [](const QString& t) { return static_cast<int>(t.size()); };
    const QString label = QStringLiteral("Voltage : Channel 1 / Phase A - N");
    EXPECT_EQ(WrapMonitorLabel(label, 40, chars), label);
    EXPECT_EQ(WrapMonitorLabel(label, 21, chars),
              QStringLiteral("Voltage : Channel 1 /\nPhase A - N"));
    EXPECT_EQ(WrapMonitorLabel(label, 12, chars),
              QStringLiteral("Voltage :\nChannel 1 /\nPhase A - N"));
    // A part too long for any line breaks at its blanks.
    EXPECT_EQ(WrapMonitorLabel(QStringLiteral("Reactive Power : Channel 3"), 9, chars),
              QStringLiteral("Reactive\nPower :\nChannel 3"));
}

TEST_F(MonitorFormsTest, DisplayFillsTheWidthInTheConfiguredColumnsWithWholeLabels) {
    Attach(sim::UnitKind::Kvr300);
    std::vector<std::pair<int, MeasuredEntity>> monitors;
    for (int k = 0; k < 15; ++k) {
        monitors.push_back({k % 3, k % 2 == 0 ? kVoltage : kCurrent});
    }
    SetMonitors(monitors);
    doc.Monitors().columns = 5;
    MonitorViewState state;
    MonitorDisplay display(doc, state);
    display.resize(900, 400);
    display.show();
    display.LayoutMonitors(15, false);
    ASSERT_EQ(display.CellCount(), 15);
    EXPECT_EQ(state.cells.size(), 15u);

    const QFontMetrics fm(display.font());
    const int viewport = display.viewport()->width();
    for (int k = 0; k < 15; ++k) {
        CColorLabel* label = display.Label(k);
        CColorLabel* value = display.ValueBox(k);
        // Nothing behind a scroll bar across; the label whole, on lines that fit.
        EXPECT_LE(value->geometry().right(), viewport) << k;
        EXPECT_EQ(QString(label->Text()).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                  label->toolTip());
        for (const QString& line : label->Text().split(QLatin1Char('\n'))) {
            EXPECT_LE(fm.horizontalAdvance(line), label->width()) << line.toStdString();
        }
        EXPECT_GE(label->height(), fm.lineSpacing() * (label->Text().count(QLatin1Char('\n')) + 1));
        EXPECT_EQ(value->geometry().top(), label->geometry().bottom() + 1) << k;
    }
    EXPECT_TRUE(display.Label(1)->toolTip().startsWith(QStringLiteral("Current : Channel 2 ")));
    // Cell 6: row 1, column 1; the cells share the width.
    EXPECT_EQ(display.ValueBox(6)->x(), display.ValueBox(1)->x());
    EXPECT_GT(display.ValueBox(6)->y(), display.ValueBox(1)->y());
    EXPECT_GT(display.ValueBox(4)->geometry().right(), viewport * 9 / 10);
    // Values: right-aligned, fixed pitch, larger than the labels.
    const QFontInfo valueFont(display.ValueBox(0)->TextFont());
    EXPECT_TRUE(valueFont.fixedPitch());
    EXPECT_GT(valueFont.pixelSize(), QFontInfo(display.font()).pixelSize());
    EXPECT_TRUE(display.ValueBox(0)->Style() & label_style::kRight);

    // A wider window gives wider cells; two columns move cell 4 to row 2, column 0.
    const int narrow = display.ValueBox(0)->width();
    display.resize(1400, 400);
    EXPECT_GT(display.ValueBox(0)->width(), narrow);
    doc.Monitors().columns = 2;
    display.LayoutMonitors(15, true);
    EXPECT_EQ(display.ValueBox(4)->x(), display.ValueBox(0)->x());
    EXPECT_EQ(display.ValueBox(4)->y(),
              display.ValueBox(2)->y() + display.ValueBox(2)->y() - display.ValueBox(0)->y());

    display.LayoutMonitors(3, false);  // the surplus cells go
    EXPECT_EQ(state.cells.size(), 3u);
    EXPECT_EQ(display.Canvas()->findChildren<CColorLabel*>().size(), 6);
    // Out-of-range columns in the document never divide by zero.
    doc.Monitors().columns = 0;
    display.LayoutMonitors(3, true);
    EXPECT_EQ(display.Columns(), 1);
}

TEST(ChooserPlacement, BesideTheFormMovingItLeftOnlyWithinTheArea) {
    const QRect screen(0, 0, 1000, 800);
    const QSize chooser(250, 300);
    // Room at the right: nothing moves.
    BesidePlacement p = PlaceBeside(QRect(100, 100, 300, 200), chooser, screen, screen);
    EXPECT_EQ(p.form, QPoint(100, 100));
    EXPECT_EQ(p.chooser, QPoint(400, 100));
    // The pair would stick out: the form moves left by just that much.
    p = PlaceBeside(QRect(600, 100, 300, 200), chooser, screen, screen);
    EXPECT_EQ(p.form, QPoint(450, 100));
    EXPECT_EQ(p.chooser, QPoint(750, 100));
    // Never out of the main window; the chooser then overlaps but stays on the screen.
    p = PlaceBeside(QRect(300, 700, 300, 60), chooser, QRect(200, 0, 500, 800), screen);
    EXPECT_EQ(p.form, QPoint(200, 700));
    EXPECT_EQ(p.chooser, QPoint(500, 500));
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
        // On the screen, the form no further left than the screen allows.
        const QRect screen = form.screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(chooser->frameGeometry()));
        EXPECT_GE(form.frameGeometry().left(), screen.left());
        const QSize size = chooser->size();
        ClickChoice(chooser->EntityButton(kFrequency));
        ClickChoice(chooser->ChannelButton(2));
        EXPECT_EQ(chooser->size(), size);  // the captions changed, the form did not
        // A valid choice: Enter adds it.
        EXPECT_TRUE(chooser->AddButton()->isDefault());
        QTest::keyClick(chooser, Qt::Key_Return);
        EXPECT_EQ(list->count(), 3);  // shown while the chooser stays open
        QTest::mouseClick(chooser->OkButton(), Qt::LeftButton);
    });
    QTest::mouseClick(form.AddButton(), Qt::LeftButton);
    EXPECT_TRUE(script.Done());
    EXPECT_LT(movedTo.x(), home.x());
    EXPECT_EQ(form.pos(), home);  // moved back when the chooser closed
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(Keys(list).back(), MonitorKey(2, kFrequency));

    // One row down (the move rules are the form logic's own test), then the two others
    // removed.
    list->setCurrentRow(0);
    QTest::mouseClick(form.DownButton(), Qt::LeftButton);
    EXPECT_EQ(Keys(list), (std::vector<int>{MonitorKey(1, kCurrent), MonitorKey(0, kVoltage),
                                            MonitorKey(2, kFrequency)}));
    EXPECT_TRUE(list->item(1)->isSelected());
    list->item(2)->setSelected(true);
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
    EXPECT_EQ(doc.Monitors().count, 1);
    EXPECT_EQ(doc.Monitors().EntityAt(0), kCurrent);
}

TEST_F(MonitorFormsTest, CancelAndAMissingUnitLeaveTheDocumentAlone) {
    Attach(sim::UnitKind::Kvr300);
    SetMonitors({{0, kVoltage}, {1, kCurrent}});
    MonitorConfig config(doc);
    for (bool cancel : {true, false}) {
        doc.SetChannels(cancel ? 4 : 0);  // no unit known: "C&lose" ends as cancelled
        config.Open();
        CMonitorConfigForm form(config);
        form.show();
        form.List()->setCurrentRow(0);
        QTest::mouseClick(form.RemoveButton(), Qt::LeftButton);
        QTest::mouseClick(cancel ? form.CancelButton() : form.CloseButton(), Qt::LeftButton);
        EXPECT_FALSE(form.isVisible()) << cancel;
        EXPECT_EQ(form.result(), QDialog::Rejected) << cancel;
        EXPECT_EQ(doc.Monitors().count, 2) << cancel;
    }
}

TEST_F(MonitorFormsTest, OpenLogStartsTheFileAndTheCommandHandsItToTheView) {
    Attach(sim::UnitKind::Kvr300);
    SetMonitors({{0, kVoltage}});
    doc.Monitors().columns = 3;
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
    EXPECT_EQ(doc.Monitors().columns, 2);
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
