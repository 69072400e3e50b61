// "KVR Input Configuration" driven offscreen: typed values reach the document through
// OK, a refused one keeps the sheet open on its page, and the "&Inputs..." command.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>

#include "app/CommandTable.h"
#include "app/Pictures.h"
#include "base/Clock.h"
#include "base/Seams.h"
#include "gui/GuiTestUtil.h"
#include "measure/forms/InputSheet.h"
#include "support/SimDocument.h"

namespace kvr::test {
namespace {

class InputSheetTest : public GuiTest {
  protected:
    void SetUp() override {
        doc.OnNewDocument();
        doc.SetDeviceType(static_cast<int>(DeviceType::Kvr300));
        UseDarkPaletteIfAsked();
    }
    static QComboBox* Combo(CInputSheet& sheet, int page, InputField f) {
        return qobject_cast<QComboBox*>(sheet.ChannelPage(page)->Control(f));
    }
    static void Tick(CInputSheet& sheet, int page, InputField f) {
        ClickChoice(qobject_cast<QCheckBox*>(sheet.ChannelPage(page)->Control(f)));
    }
};

TEST_F(InputSheetTest, TypedValueReachesTheDocumentThroughOk) {
    CInputSheet sheet(doc);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("KVR Input Configuration"));
    for (int i = 0; i < sheet.Tabs()->count(); ++i) {
        sheet.Tabs()->setCurrentIndex(i);
        SaveShot(&sheet, QStringLiteral("input-sheet-%1").arg(i + 1));
    }
    EXPECT_EQ(sheet.Tabs()->tabText(3), QStringLiteral("3 Phase Settings"));
    sheet.Tabs()->setCurrentIndex(0);
    // Without the view's hooks, Print and Calibrate have nothing to open.
    EXPECT_FALSE(sheet.PrintAction()->isEnabled());
    EXPECT_FALSE(sheet.ChannelPage(0)->Control(InputField::Calibrate)->isEnabled());
    EXPECT_FALSE(sheet.ApplyButton()->isEnabled());

    QComboBox* primary = Combo(sheet, 0, InputField::VtPrimary);
    EXPECT_FALSE(primary->isEnabled());  // coupled directly
    Tick(sheet, 0, InputField::VoltageDirect);
    ASSERT_TRUE(primary->isEnabled());
    Type(primary->lineEdit(), QStringLiteral("11.05 kV"));
    EXPECT_TRUE(sheet.ApplyButton()->isEnabled());
    QComboBox* phase = Combo(sheet, 0, InputField::VoltagePhase);
    phase->setCurrentIndex(2);
    Q_EMIT phase->activated(2);  // as a pick from the list
    doc.SetModifiedFlag(false);
    QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(doc.Channel(0).record.GetU16(ParameterRecord::kVtPrimary), 111);
    EXPECT_EQ(doc.Channel(0).record.GetPhase(InputKind::Voltage), 2);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(InputSheetTest, RefusedValueKeepsTheSheetOpenOnItsPage) {
    CInputSheet sheet(doc);
    sheet.show();
    sheet.Tabs()->setCurrentIndex(1);
    Tick(sheet, 1, InputField::VoltageDirect);
    Type(Combo(sheet, 1, InputField::VtPrimary)->lineEdit(), QStringLiteral("6553.6 kV"));
    sheet.Tabs()->setCurrentIndex(3);
    ClickChoice(sheet.LineToLineBox());
    EXPECT_TRUE(doc.Channel(2).record.IsLineToLine());  // at once, not on Apply
    const ParameterRecord before = doc.Channel(1).record;

    QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 1);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Channel 2 : Invalid Primary Voltage : the "
                                                     "maximum permitted value is 6553.5kV"});
    EXPECT_EQ(doc.Channel(1).record, before);
    EXPECT_FALSE(doc.Channel(kMainBoard).record.IsLineToLine());
    QTest::mouseClick(sheet.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
}

TEST_F(InputSheetTest, InputsCommandWaitsForTheLockAndDerivesAfterTheSheet) {
    UseVirtualClock();
    MakeFrame(false);
    ASSERT_TRUE(Action(app::kCmdInputs)->isEnabled());
    for (int c = 0; c < 3; ++c) {
        doc.Channel(c).record.SetPhase(InputKind::Voltage, 3);
        doc.Channel(c).record.SetPhase(InputKind::Current, 3);
        doc.Channel(c).record.SetBalanced(true);
    }
    {
        LockHeldElsewhere reader(doc);
        frame->OnCommand(app::kCmdInputs);  // no sheet: nothing to script, nothing changes
        EXPECT_EQ(doc.Channel(kMainBoard).record.GetPhase(InputKind::Voltage), 0);
    }
    ModalScript script;
    script.Then<CInputSheet>([](CInputSheet* sheet) { sheet->reject(); });
    frame->OnCommand(app::kCmdInputs);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(doc.Channel(kMainBoard).record.GetPhase(InputKind::Voltage),
              3);  // derived after Cancel
}

}  // namespace
}  // namespace kvr::test
