// "Choose Measuring Entity" against a simulated KVR 100 and KVR 300.
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "base/Clock.h"
#include "gui/GuiTestUtil.h"
#include "measure/forms/ChooseEntityDlg.h"
#include "monitor/MonitorTestUtil.h"
#include "sim/SimLine.h"

namespace kvr::test {
namespace {

using EntityFormTest = SimDocTest;

TEST_F(EntityFormTest, Kvr100OffersOnlyItsOneChannel) {
    Attach(sim::UnitKind::Kvr100);
    ChooseEntityLogic logic(doc, false);
    logic.entity = entity::kVoltage;
    logic.channel = 1;  // not on this unit: deselected
    CChooseEntityDlg form(logic);
    form.show();
    EXPECT_TRUE(form.ChannelButton(0)->isEnabled());
    for (int i : {1, 2, 3}) {
        EXPECT_FALSE(form.ChannelButton(i)->isEnabled()) << i;
        EXPECT_FALSE(form.ChannelButton(i)->isChecked()) << i;
    }
    EXPECT_TRUE(form.EntityButton(entity::kVoltage)->isChecked());
    EXPECT_FALSE(form.AddButton()->isVisible());
    // Export entities are refused by default.
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
    EXPECT_TRUE(form.ChannelButton(2)->isChecked());  // the channel survives the change
    QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace kvr::test
