// "Choose Measuring Entity" against a simulated KVR 100 and KVR 300.
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "gui/GuiTestUtil.h"
#include "link/Clock.h"
#include "measure/forms/ChooseEntityDlg.h"
#include "monitor/MonitorTestUtil.h"
#include "sim/SimLine.h"

namespace kvr::test {
namespace {

class EntityFormTest : public SimDocTest {};

TEST_F(EntityFormTest, Kvr100OffersOnlyItsOneChannel) {
    Attach(sim::UnitKind::Kvr100);
    ChooseEntityLogic logic(doc, false);
    logic.entity = entity::kVoltage;
    logic.channel = 1;  // not on this unit: deselected
    CChooseEntityDlg form(logic);
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Choose Measuring Entity"));
    EXPECT_TRUE(form.ChannelButton(0)->isEnabled());
    for (int i : {1, 2, 3}) {
        EXPECT_FALSE(form.ChannelButton(i)->isEnabled()) << i;
        EXPECT_FALSE(form.ChannelButton(i)->isChecked()) << i;
    }
    EXPECT_EQ(form.ChannelButton(3)->text(), QStringLiteral("3 Phase"));
    EXPECT_TRUE(form.EntityButton(entity::kVoltage)->isChecked());
    EXPECT_FALSE(form.AddButton()->isVisible());
    EXPECT_EQ(form.OkButton()->text(), QStringLiteral("OK"));
    // Export entities are refused by default; a click on one changes nothing.
    EXPECT_FALSE(form.EntityButton(entity::kActiveEnergyExport)->isEnabled());

    QTest::mouseClick(form.OkButton(), Qt::LeftButton);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"No Channel Selected"});
    EXPECT_TRUE(form.isVisible());

    ClickChoice(form.EntityButton(entity::kCurrent));
    EXPECT_TRUE(form.EntityButton(entity::kCurrent)->isChecked());
    EXPECT_FALSE(form.EntityButton(entity::kVoltage)->isChecked());
    ClickChoice(form.ChannelButton(0));
    QTest::mouseClick(form.OkButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(logic.entity, entity::kCurrent);
    EXPECT_EQ(logic.channel, 0);
    EXPECT_TRUE(QString::fromStdString(logic.Message()).startsWith(QStringLiteral("Current : ")));
}

TEST_F(EntityFormTest, Kvr300OffersItsThreeChannelsWithTheirLabels) {
    Attach(sim::UnitKind::Kvr300);
    ChooseEntityLogic logic(doc, false);
    logic.entity = entity::kVoltage;
    logic.channel = 2;
    CChooseEntityDlg form(logic);
    form.show();
    for (int i : {0, 1, 2}) {
        EXPECT_TRUE(form.ChannelButton(i)->isEnabled()) << i;
        EXPECT_TRUE(form.ChannelButton(i)->text().contains(QStringLiteral(" / Phase "))) << i;
    }
    EXPECT_TRUE(form.ChannelButton(2)->isChecked());
    ClickChoice(form.EntityButton(entity::kActivePower));
    EXPECT_TRUE(form.EntityButton(entity::kActivePower)->isChecked());
    EXPECT_FALSE(form.EntityButton(entity::kVoltage)->isChecked());
    EXPECT_TRUE(form.ChannelButton(2)->isChecked());
    QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST_F(EntityFormTest, AddModeNotifiesEachPairAndItsCloseButtonCancels) {
    Attach(sim::UnitKind::Kvr300);
    ChooseEntityLogic logic(doc, true);
    std::vector<std::pair<MeasuredEntity, int>> added;
    logic.onAdd = [&](MeasuredEntity e, int channel) { added.emplace_back(e, channel); };
    CChooseEntityDlg form(logic);
    form.show();
    EXPECT_FALSE(form.CancelButton()->isVisible());
    // Demand power is never a monitor.
    EXPECT_FALSE(form.EntityButton(entity::kActiveDemandPower)->isEnabled());
    QTest::mouseClick(form.AddButton(), Qt::LeftButton);  // no entity yet
    EXPECT_TRUE(added.empty());
    ASSERT_FALSE(user.messages.empty());
    ClickChoice(form.EntityButton(entity::kFrequency));
    ClickChoice(form.ChannelButton(1));
    QTest::mouseClick(form.AddButton(), Qt::LeftButton);
    ClickChoice(form.ChannelButton(2));
    QTest::mouseClick(form.AddButton(), Qt::LeftButton);
    EXPECT_EQ(added, (std::vector<std::pair<MeasuredEntity, int>>{{entity::kFrequency, 1},
                                                                  {entity::kFrequency, 2}}));
    EXPECT_TRUE(form.isVisible());
    QTest::mouseClick(form.OkButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace kvr::test
