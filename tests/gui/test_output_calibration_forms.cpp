// The output calibration forms on simulated units: a field or value box that gets the focus
// drives its output, and every way of closing a form hands the outputs back.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTest>

#include "app/CommandTable.h"
#include "app/Pictures.h"
#include "base/Clock.h"
#include "calibration/forms/OutputCalibrate2Dlg.h"
#include "calibration/forms/OutputCalibrationDlg.h"
#include "calibration/forms/OutputPretestDlg.h"
#include "document/Transfer.h"
#include "gui/GuiTestUtil.h"
#include "measure/forms/AnalogOutputDlg.h"

namespace kvr::test {
namespace {

class OutputCalibrationFormTest : public GuiTest {
  protected:
    void SetUp() override {
        UseVirtualClock();
        StartUnits();  // a KVR 300
        ASSERT_TRUE(UploadAll(doc));
        ASSERT_EQ(doc.GetChannels(), 4);
        UseDarkPaletteIfAsked();
    }
    sim::BoardState& Unit(int address) { return *units->Board(address); }
    // Output test as the simulated boards hold it: channel boards 0 to 2, main board 3.
    std::string TestModes() {
        std::string s;
        for (int a = 0; a < kChannelObjects; ++a) {
            s += Unit(a).outputTest ? '1' : '0';
        }
        return s;
    }
    static void Focus(QWidget* w) {
        QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(w, &in);
    }
    static void Shots(QWidget* form, const QString& name) {
        form->show();
        SaveShot(form, name);
    }
};

TEST_F(OutputCalibrationFormTest, CalibrationDrivesTheFocusedPointAndEveryCloseEndsTheTest) {
    for (int way = 0; way < 3; ++way) {  // Cancel, the window's close, Escape
        OutputCalibration rules(doc);
        ASSERT_TRUE(rules.Open());
        COutputCalibrationDlg form(rules);
        if (way == 0) {
            Shots(&form, QStringLiteral("output-calibration"));
        }
        form.show();
        EXPECT_FALSE(form.Field(2)->isEnabled());  // output 2 has no analog card
        form.LevelList(1)->setCurrentIndex(3);
        Q_EMIT form.LevelList(1)->activated(3);  // "+Mid"
        EXPECT_EQ(form.Field(1)->text(), QString::fromStdString(rules.PointText(1)));
        Focus(form.Field(1));
        EXPECT_EQ(static_cast<int16_t>(Unit(0).dac[0]), 1000);
        EXPECT_EQ(TestModes(), "1001");
        Focus(form.Field(8));  // output 5: channel 2, lower point at its configured level
        EXPECT_EQ(static_cast<int16_t>(Unit(1).dac[0]), OutputLevelDac(rules.PointLevel(8)));
        EXPECT_EQ(TestModes(), "1101");
        if (way == 0) {
            form.CancelButton()->click();
        } else if (way == 1) {
            form.close();
        } else {
            QTest::keyClick(&form, Qt::Key_Escape);
        }
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(TestModes(), "0000") << way;
    }
}

TEST_F(OutputCalibrationFormTest, CalibrateTwoScrollsTheDacAndOkStoresSpanAndOffset) {
    OutputCalibrate2 rules(doc, 0, 0);
    ASSERT_TRUE(rules.Open());
    COutputCalibrate2Dlg form(rules);
    Shots(&form, QStringLiteral("output-calibrate2"));
    Q_EMIT form.TargetList(0)->activated(0);  // "-Max": DAC -2000
    Q_EMIT form.TargetList(1)->activated(4);  // "+Max": DAC 2000
    EXPECT_EQ(form.Bar(1)->value(), 2000);
    Focus(form.ValueBox(1));
    EXPECT_EQ(static_cast<int16_t>(Unit(0).dac[0]), 2000);
    EXPECT_EQ(form.focusWidget(), form.Bar(1));
    for (int i = 0; i < 5; ++i) {
        form.Bar(1)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    }
    EXPECT_EQ(form.Bar(1)->value(), 2047);  // held at the end
    EXPECT_EQ(static_cast<int16_t>(Unit(0).dac[0]), 2047);
    form.Bar(1)->triggerAction(QAbstractSlider::SliderToMinimum);  // the end: one step
    EXPECT_EQ(form.Bar(1)->value(), 2046);
    form.Bar(0)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(static_cast<int16_t>(Unit(0).dac[0]), -2001);
    form.OkButton()->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(TestModes(), "0000");
    int16_t offset = 0;
    uint16_t span = 0;
    doc.Channel(0).record.GetDacCalibration(0, offset, span);
    EXPECT_EQ(span, 2024);  // (2046 + 2001) / 2, rounded
    EXPECT_EQ(offset, 23);  // 2046 - 2023.5 = 22.5, + 0.5
}

TEST_F(OutputCalibrationFormTest, PretestDrivesTypedValuesAndCancelEndsTheTest) {
    OutputPretest rules(doc);
    ASSERT_TRUE(rules.Open());
    COutputPretestDlg form(rules);
    Shots(&form, QStringLiteral("output-pretest"));
    EXPECT_FALSE(form.Field(1, 0)->isEnabled());
    EXPECT_EQ(TestModes(), "1111");
    form.Field(0, 1)->setText(QStringLiteral("10"));  // mA
    Focus(form.Field(0, 1));
    EXPECT_EQ(static_cast<int16_t>(Unit(0).dac[0]), 951);  // 0.01 x 1903 / 0.02
    form.CancelButton()->click();
    EXPECT_EQ(TestModes(), "0000");
}

TEST_F(OutputCalibrationFormTest, MenuCommandsAndCalibrateDacOpenTheForms) {
    MakeFrame();
    ModalScript script;
    script.Then<COutputCalibrate2Dlg>([](COutputCalibrate2Dlg* form) { form->reject(); });
    Action(kCmdCalAllOutputs2)->trigger();
    EXPECT_TRUE(script.Done());

    // "Calibrate DAC" on output 1 of channel 2, opened as the view opens it: the range goes
    // into the record and the calibration opens for that output alone.
    CAnalogOutputDlg analog(doc, 1, 0, nullptr, frame->View()->FormHooks().calibrateOutput);
    ASSERT_TRUE(analog.CalibrateButton()->isEnabled());
    analog.Range()->setCurrentIndex(6);  // "10.0V"
    Q_EMIT analog.Range()->activated(6);
    ModalScript dac;
    dac.Then<COutputCalibrationDlg>([](COutputCalibrationDlg* form) {
        EXPECT_TRUE(form->Field(8)->isEnabled());
        EXPECT_FALSE(form->Field(0)->isEnabled());
        EXPECT_EQ(form->Field(9)->text().toStdString(), "10.00 V");
        form->reject();
    });
    analog.CalibrateButton()->click();
    EXPECT_TRUE(dac.Done());
    bool current = true;
    int range = 0;
    doc.Channel(1).record.GetOutputRange(0, current, range);
    EXPECT_FALSE(current);
    EXPECT_EQ(range, 6);
}

}  // namespace
}  // namespace kvr::test
