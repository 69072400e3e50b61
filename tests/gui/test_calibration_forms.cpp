// The input calibration, diagnostics and serial-number forms driven offscreen against
// simulated boards on the virtual clock, and the input sheet's Calibrate opening the
// calibration of its channel.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>

#include "app/CommandTable.h"
#include "app/Pictures.h"
#include "calibration/CalibrationFixture.h"
#include "calibration/forms/DiagnosticsDlg.h"
#include "calibration/forms/InputCalibrationDlg.h"
#include "calibration/forms/SerialNumbersDlg.h"
#include "gui/GuiTestUtil.h"
#include "measure/forms/InputSheet.h"

namespace kvr::test {
namespace {

class CalibrationFormTest : public CalibrationTest {
  protected:
    void SetUp() override {
        CalibrationTest::SetUp();
        UseDarkPaletteIfAsked();
        for (int a = 0; a < 3; ++a) {
            Unit(a).trueVolts = 100;
            Unit(a).trueAmps = 4.5;
        }
    }
    // Lets the form's timer take steps until the progress bar reaches n or the run ends.
    static void RunUntil(CInputCalibrationDlg& form, int n) {
        for (int i = 0; i < 10000 && form.Rules().State() == SamplingState::Sampling &&
                        form.Progress()->value() < n;
             ++i) {
            QCoreApplication::processEvents();
        }
    }
};

TEST_F(CalibrationFormTest, InputCalibrationSamplesWithoutBlockingAndSaves) {
    CInputCalibrationDlg form(doc, 0, 2);
    ASSERT_TRUE(form.Open());
    form.show();
    SaveShot(&form, QStringLiteral("input-calibration"));
    EXPECT_EQ(form.Field(1, false)->text(), QStringLiteral("110.0 V"));  // "Nominal"
    EXPECT_EQ(form.PresetList(true)->currentText(), QStringLiteral("Nominal"));
    EXPECT_FALSE(form.SaveButton()->isEnabled());

    QTest::mouseClick(form.CalibrateButton(), Qt::LeftButton);
    // The click returns at once: the samples follow on the form's timer.
    EXPECT_LT(form.Progress()->value(), kCalibrationSamples);
    EXPECT_FALSE(form.CalibrateButton()->isEnabled());
    EXPECT_FALSE(form.Field(0, false)->isEnabled());
    RunUntil(form, kCalibrationSamples);
    ASSERT_EQ(form.Rules().State(), SamplingState::Completed);
    EXPECT_EQ(form.Progress()->value(), kCalibrationSamples);
    EXPECT_EQ(form.NoteLabel()->text(), QString::fromUtf8(kInputCalDoneNote));
    SaveShot(&form, QStringLiteral("input-calibration-done"));

    QTest::mouseClick(form.SaveButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(user.messages.empty());  // 10 % and 11 % ask nothing
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(doc.Channel(c).record.GetVoltageGain(), 4506) << c;  // 4096 x 110 / 100
        EXPECT_EQ(doc.Channel(c).record.GetCurrentGain(), 4551) << c;  // 4096 x 5 / 4.5
    }
}

TEST_F(CalibrationFormTest, CancelBetweenSamplesStopsTheRunAndChangesNothing) {
    CInputCalibrationDlg form(doc, 0, 0);
    ASSERT_TRUE(form.Open());
    form.show();
    EXPECT_FALSE(form.Field(1, false)->isEnabled());  // channel 1 alone
    QTest::mouseClick(form.CalibrateButton(), Qt::LeftButton);
    RunUntil(form, 3);
    ASSERT_EQ(form.Rules().State(), SamplingState::Sampling);
    QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.Rules().State(), SamplingState::Cancelled);
    const size_t sent = written.size();
    EXPECT_FALSE(QTest::qWaitFor([&] { return written.size() != sent; }, 20))
        << "a step after Cancel";
    EXPECT_EQ(doc.Channel(0).record.GetVoltageGain(), 4096);
    EXPECT_EQ(Unit(0).record.GetVoltageGain(), 4096);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(CalibrationFormTest, DiagnosticsPagesDriveTheDacAndFollowTheBoard) {
    CDiagnosticsDlg sheet(doc);
    ASSERT_TRUE(sheet.Open());
    sheet.show();
    SaveShot(&sheet, QStringLiteral("diagnostics"));
    ASSERT_EQ(sheet.Tabs()->count(), 4);
    EXPECT_EQ(sheet.Tabs()->tabText(3), QStringLiteral("Channel 4"));
    CDiagnosticsPage* page = sheet.Page(0);
    EXPECT_EQ(page->VersionEdit()->text(), QStringLiteral("1.89"));
    EXPECT_TRUE(page->PortButton(0)->isChecked());
    EXPECT_FALSE(page->RelayButton(RelayAction::Make)->isEnabled());  // an analog card
    page->DacEdit()->setText(QStringLiteral("-1"));
    QTest::mouseClick(page->DacSetButton(), Qt::LeftButton);
    EXPECT_TRUE(Wrote({0xF0, 0xFF, 0xFF}));  // address 0, port 1, the low 16 bits
    EXPECT_TRUE(Unit(0).outputTest && Unit(3).outputTest);

    sheet.Tabs()->setCurrentIndex(3);
    CDiagnosticsPage* main = sheet.Page(3);
    EXPECT_FALSE(main->PortButton(0)->isEnabled() || main->DacSetButton()->isEnabled() ||
                 main->RelayButton(RelayAction::Pulse)->isEnabled());
    main->TestByteEdit(0)->setText(QStringLiteral("7"));
    main->LoopbackList()->setCurrentIndex(1);
    QTest::mouseClick(main->SetModeButton(), Qt::LeftButton);
    EXPECT_EQ(Unit(3).loopbackMode, 1);
    EXPECT_EQ(Unit(3).loopbackBytes[0], 7);

    QTest::mouseClick(sheet.CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(Unit(0).outputTest);  // off again on every opened page
}

TEST_F(CalibrationFormTest, SetAllSerialNumbersWritesEveryBoardAndStaysOpen) {
    CSerialNumbersDlg form(doc);
    ASSERT_TRUE(form.Open());
    form.show();
    SaveShot(&form, QStringLiteral("serial-numbers"));
    EXPECT_EQ(form.SerialEdit()->text(), QStringLiteral("204120"));  // the main board's
    QTest::mouseClick(form.PlusButton(), Qt::LeftButton);
    EXPECT_EQ(form.SerialEdit()->text(), QStringLiteral("204121"));
    user.answers.assign(8, MsgAnswer::Yes);  // another unit's number, overwrite it: per board
    QTest::mouseClick(form.DownloadButton(), Qt::LeftButton);
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(Unit(a).record.GetSerialNumber(), 204121u) << a;
    }
    EXPECT_TRUE(form.isVisible());
}

class CalibrationCommandTest : public GuiTest {};

TEST_F(CalibrationCommandTest, InputSheetCalibrateOpensThatChannelsCalibration) {
    doc.OnNewDocument();
    doc.SetDeviceType(static_cast<int>(DeviceType::Kvr300));
    MakeFrame(false);
    bool channel2Alone = false;
    bool printable = false;
    ModalScript script;
    script
        .Then<CInputSheet>([&printable](CInputSheet* sheet) {
            printable = sheet->PrintAction()->isEnabled();  // the view's report hook
            sheet->Tabs()->setCurrentIndex(1);
            // After this step returns, so the calibration's own step can act on it.
            QTimer::singleShot(0, sheet, [sheet] {
                QTest::mouseClick(qobject_cast<QPushButton*>(
                                      sheet->ChannelPage(1)->Control(InputField::Calibrate)),
                                  Qt::LeftButton);
            });
        })
        .Then<CInputCalibrationDlg>([&channel2Alone](CInputCalibrationDlg* form) {
            channel2Alone = form->Field(1, false)->isEnabled() &&
                            !form->Field(0, false)->isEnabled() && form->Rules().Locked();
            form->reject();
        })
        .Then<CInputSheet>([](CInputSheet* sheet) { sheet->reject(); });
    frame->OnCommand(app::kCmdInputs);
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(printable);
    EXPECT_TRUE(channel2Alone);
}

}  // namespace
}  // namespace kvr::test
