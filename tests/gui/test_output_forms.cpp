// The output forms driven as a user drives them: the overview's rows, a phasor dragged on
// the analog form, and refusals that keep a form open.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <numbers>

#include "app/CommandTable.h"
#include "base/Clock.h"
#include "base/Seams.h"
#include "gui/GuiTestUtil.h"
#include "measure/forms/AnalogOutputDlg.h"
#include "measure/forms/OutputOverviewDlg.h"
#include "measure/forms/PhasorCtrl.h"
#include "measure/forms/RelayOutputDlg.h"
#include "support/SimDocument.h"

namespace kvr::test {
namespace {

class OutputFormTest : public GuiTest {
  protected:
    void SetUp() override {
        doc.OnNewDocument();
        doc.SetDeviceType(1);
        ParameterRecord& r = doc.Channel(0).record;
        r.SetPhase(InputKind::Voltage, static_cast<int>(phase::kA));
        r.SetPhase(InputKind::Current, static_cast<int>(phase::kA));
    }
};

TEST_F(OutputFormTest, OverviewRowsFollowTheUnitAndPicksAreStoredAtOnce) {
    doc.SetDeviceType(0);  // KVR 100
    {
        COutputOverviewDlg form(doc);
        form.show();
        for (int n = 0; n < kOutputPorts; ++n) {
            EXPECT_EQ(form.TypeList(n)->isEnabled(), n < 4) << n;
            EXPECT_EQ(form.Caption(n)->isEnabled(), n < 4) << n;
        }
        EXPECT_FALSE(form.ConfigureButton(0)->isEnabled());  // "Not Available"
    }
    doc.SetDeviceType(1);
    COutputOverviewDlg form(doc);
    form.show();
    QComboBox* list = form.TypeList(5);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);  // "Relay Output (Plus)"
    EXPECT_EQ(doc.Channel(1).record.GetCardType(1), 2);
    EXPECT_TRUE(doc.Channel(1).record.IsPlusCard(1));
    EXPECT_TRUE(form.ConfigureButton(5)->isEnabled());
}

TEST_F(OutputFormTest, DraggingAPhasorWritesItsPowerFactorIntoTheLimit) {
    doc.Channel(0).record.SetOutputEntity(0, entity::kPowerFactor);
    CAnalogOutputDlg form(doc, 0, 0);
    form.resize(520, 360);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    CPhasorCtrl* phasor = form.Phasor();
    ASSERT_TRUE(phasor->isVisible());
    form.MaxEdit()->setFocus();  // selects the maximum's phasor
    const PhasorGeometry g = phasor->Geometry();
    ASSERT_GT(g.radius, 20);
    // Pressed below the axis, dragged with SHIFT to 60 degrees below it: lagging 0.5.
    QTest::mousePress(phasor, Qt::LeftButton, {}, QPoint(g.centreX + 10, g.centreY + 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(g.centreX + 10, g.centreY + 18),
                     phasor->mapToGlobal(QPointF(g.centreX + 10, g.centreY + 18)), Qt::NoButton,
                     Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(phasor, &move);
    QTest::mouseRelease(phasor, Qt::LeftButton, {}, QPoint(g.centreX + 10, g.centreY + 18));
    EXPECT_EQ(form.MaxEdit()->text(), QStringLiteral("0.5000 "));
    EXPECT_NEAR(phasor->GetAngle(1), -std::numbers::pi / 3, 1e-12);
    EXPECT_EQ(form.Rules().SideValue(1), -1.0);
    // The arrow keys turn the selected phasor a degree at a time.
    QTest::keyClick(phasor, Qt::Key_Up);
    EXPECT_EQ(form.MaxEdit()->text(), QStringLiteral("0.5150 "));
}

TEST_F(OutputFormTest, RefusedValuesKeepTheFormsOpen) {
    doc.Channel(0).record.SetOutputEntity(0, entity::kVoltage);
    CAnalogOutputDlg analog(doc, 0, 0);
    analog.show();
    Type(analog.MaxEdit(), QStringLiteral("3276.8 V"));
    QTest::mouseClick(analog.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(analog.isVisible());
    EXPECT_EQ(user.Texts(), (std::vector<std::string>{"Value out of range. The secondary value "
                                                      "must be between 3276 and -3276",
                                                      "Invalid Maximum value!"}));
    EXPECT_EQ(analog.focusWidget(), analog.MaxEdit());

    user.messages.clear();
    doc.Channel(0).record.SetOutputEntity(1, entity::kActiveEnergyImport);
    doc.Channel(0).record.SetScaleMin(1, 5000);
    doc.Channel(0).record.SetScaleMax(1, 100);
    CRelayOutputDlg relay(doc, 0, 1);
    relay.show();
    EXPECT_TRUE(relay.PulseGroup()->isEnabled());
    EXPECT_FALSE(relay.ThresholdGroup()->isEnabled());
    Type(relay.PowerEdit(), QStringLiteral("1 kW"));
    relay.PulsesSpin()->selectAll();
    QTest::keyClicks(relay.PulsesSpin(), QStringLiteral("0"));
    QTest::mouseClick(relay.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(relay.isVisible());
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"The pulses setting is out of range!"});
    EXPECT_EQ(relay.PulsesSpin()->text(), QStringLiteral("100"));
}

TEST_F(OutputFormTest, OutputsCommandOpensTheOverviewOnlyUnderTheDeviceLock) {
    UseVirtualClock();
    MakeFrame();
    ASSERT_TRUE(Action(app::kCmdOutputs)->isEnabled());
    ModalScript script;
    bool live = false;
    script.Then<COutputOverviewDlg>([&](COutputOverviewDlg* form) {
        live = form->TypeList(11)->isEnabled();
        form->accept();
    });
    frame->OnCommand(app::kCmdOutputs);
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(live);

    // Another thread holds the lock: after its 4 s the command gives up and opens nothing.
    LockHeldElsewhere holder(doc);
    frame->OnCommand(app::kCmdOutputs);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace kvr::test
