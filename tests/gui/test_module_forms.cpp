// The KVR Display and KVR-Com forms against simulated modules on the document's line:
// read, edited as a user edits them, written with OK and read back; and their commands.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleFactory>
#include <QTest>
#include <QToolButton>

#include "app/CommandTable.h"
#include "app/Pictures.h"
#include "base/Clock.h"
#include "gui/GuiTestUtil.h"
#include "modules/forms/ComDlg.h"
#include "modules/forms/DisplayDlg.h"
#include "support/SimDocument.h"

namespace kvr::test {
namespace {

class ModuleFormTest : public GuiTest {
  protected:
    void SetUp() override {
        doc.OnNewDocument();
        UseVirtualClock();
        UseDarkPaletteIfAsked();
    }
    void StartModules() {
        sim::SimOptions options;
        options.withDisplay = options.withCom = true;
        StartUnits(options);
    }
};

TEST_F(ModuleFormTest, DisplayLinesEditedWrittenWithOkAndReadBack) {
    StartModules();
    CDisplayDlg form(doc);
    ASSERT_TRUE(form.ReadModule());
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("KVR Display Configuration - []"));
    EXPECT_FALSE(form.PrintAction()->isEnabled());
    EXPECT_EQ(form.ValueList()->currentText(), QStringLiteral("-- Blank --"));

    // Page 1 line 1: Primary Active Power of the main board, in MW with 3 decimals.
    QTest::keyClick(form.ValueList(), Qt::Key_Home);
    QTest::keyClick(form.ValueList(), Qt::Key_Down);
    QTest::keyClick(form.ValueList(), Qt::Key_Down);
    EXPECT_EQ(form.ValueList()->currentText(), QStringLiteral("Primary Active Power "));
    form.ChannelList()->setCurrentIndex(3);
    form.DecimalsList()->setCurrentIndex(3);
    Type(form.UnitsEdit(), QStringLiteral("MW"));
    Type(form.HighEdit(), QStringLiteral("12.5MW"));
    Type(form.LowEdit(), QStringLiteral("junk"));

    // Away and back through the arrows: the fields were stored into the line.
    QTest::mouseClick(form.NextArrow(), Qt::LeftButton);
    EXPECT_EQ(form.LineSpin()->value(), 2);
    EXPECT_TRUE(form.UnitsEdit()->text().isEmpty());
    QTest::mouseClick(form.PreviousArrow(), Qt::LeftButton);
    EXPECT_EQ(form.LineSpin()->value(), 1);
    EXPECT_EQ(form.ChannelList()->currentText(), QStringLiteral("Unit0 - 3Ph"));
    EXPECT_EQ(form.UnitsEdit()->text(), QStringLiteral("MW   "));
    EXPECT_TRUE(form.HighEdit()->text().startsWith(QStringLiteral("12.50")))
        << form.HighEdit()->text().toStdString();
    EXPECT_EQ(form.Editor().lines[0].low, 0.0);  // a text that does not parse stores 0
    // Before page 1 line 1 comes page 8 line 3.
    QTest::mouseClick(form.PreviousArrow(), Qt::LeftButton);
    EXPECT_EQ(form.PageSpin()->value(), 8);
    EXPECT_EQ(form.LineSpin()->value(), 3);
    form.PageSpin()->setValue(1);
    form.LineSpin()->setValue(1);
    EXPECT_EQ(form.ValueList()->currentText(), QStringLiteral("Primary Active Power "));

    // A print handler sees the fields as they stand and enables the button.
    std::string printedUnits;
    form.SetPrintHandler([&](DisplayEditor& editor) { printedUnits = editor.fields.units; });
    ASSERT_TRUE(form.PrintAction()->isEnabled());
    form.PrintAction()->trigger();
    EXPECT_EQ(printedUnits, "MW   ");
    SaveShot(&form, QStringLiteral("display-form"));

    QTest::mouseClick(form.OkButton(), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(user.Texts(), std::vector<std::string>{});
    DisplaySetupRecord back{};
    ASSERT_TRUE(CDisplayLink(&doc.Port()).ReadDisplaySetup(back, true, true));
    DisplayLine line;
    DecodeLine(line, 0, back);
    EXPECT_FALSE(line.blank);
    EXPECT_EQ(line.valueCode, 0x12);
    EXPECT_EQ(line.channel, 3);
    EXPECT_EQ(line.decimals, 3);
    EXPECT_EQ(line.units, "MW   ");
    EXPECT_DOUBLE_EQ(line.high, 12.5e6);
    DecodeLine(line, 1, back);
    EXPECT_TRUE(line.blank);
}

TEST_F(ModuleFormTest, ComSettingsReadSetAndReadBack) {
    StartModules();
    CComDlg form(doc);
    ASSERT_TRUE(form.ReadModule());
    form.show();
    ComSetupRecord before;
    ASSERT_TRUE(CComLink(&doc.Port()).ReadComSetup(before, true));
    EXPECT_EQ(form.SlaveIdEdit()->text(), QString::number(before.bytes[4]));
    QComboBox* protocol = form.List(ComChoice::Protocol);
    ASSERT_EQ(protocol->count(), 4);
    EXPECT_EQ(protocol->itemText(3), QStringLiteral("DNP 3.0"));
    EXPECT_EQ(protocol->toolTip(), QStringLiteral("Select the Modbus protocol."));
    EXPECT_EQ(form.List(ComChoice::StopBits)->itemText(0), QStringLiteral("1.5"));
    SaveShot(&form, QStringLiteral("com-form"));

    Type(form.SlaveIdEdit(), QStringLiteral("256"));
    QTest::mouseClick(form.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(user.Texts(), std::vector<std::string>{kSlaveIdRangeText});

    Type(form.SlaveIdEdit(), QStringLiteral("17"));
    Type(form.SerialEdit(), QStringLiteral("-5"));
    form.List(ComChoice::Parity)->setCurrentIndex(2);  // Even
    protocol->setCurrentIndex(3);
    QTest::mouseClick(form.OkButton(), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    ComSetupRecord after;
    ASSERT_TRUE(CComLink(&doc.Port()).ReadComSetup(after, true));
    ComSetupRecord expected = before;
    expected.SetSerialNumber(-5);
    expected.bytes[4] = 17;
    expected.bytes[8] = 2;
    expected.bytes[11] = 3;
    EXPECT_EQ(after.bytes, expected.bytes);
}

TEST_F(ModuleFormTest, CommandsOpenTheFormsUnderTheDeviceLockAndEndTheContact) {
    MakeFrame();
    StartModules();
    ASSERT_TRUE(Action(app::kCmdDisplay)->isEnabled());
    ASSERT_TRUE(Action(app::kCmdCom)->isEnabled());
    ModalScript script;
    QString shownSlave;
    bool contact = false;
    script.Then<CComDlg>([&](CComDlg* form) {
        shownSlave = form->SlaveIdEdit()->text();
        std::lock_guard<std::mutex> lock(user.mutex);
        contact = !user.lamp.empty() && user.lamp.back();
        form->reject();
    });
    bool reports = false;  // opened from the window, the form prints and saves PDF reports
    script.Then<CDisplayDlg>([&](CDisplayDlg* form) {
        reports = form->PrintAction()->isEnabled() && form->PdfAction()->isEnabled();
        form->reject();
    });
    frame->OnCommand(app::kCmdCom);
    frame->OnCommand(app::kCmdDisplay);
    EXPECT_TRUE(script.Done());
    EXPECT_FALSE(shownSlave.isEmpty());
    EXPECT_TRUE(contact);
    EXPECT_TRUE(reports);
    {
        std::lock_guard<std::mutex> lock(user.mutex);
        ASSERT_FALSE(user.lamp.empty());
        EXPECT_FALSE(user.lamp.back());
    }

    // Another thread holds the lock: the command gives up and opens nothing.
    LockHeldElsewhere holder(doc);
    frame->OnCommand(app::kCmdDisplay);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace kvr::test
