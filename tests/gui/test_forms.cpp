// The forms of the transmission setup, the unit addressing, the download preferences, the
// password and the options, driven as a user drives them.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "app/CommandTable.h"
#include "app/ShellForms.h"
#include "base/Registry.h"
#include "base/Seams.h"
#include "base/Settings.h"
#include "document/Password.h"
#include "document/forms/PasswordForms.h"
#include "document/forms/PortSettingsForm.h"
#include "document/forms/UnitAddressForms.h"
#include "gui/GuiTestUtil.h"
#include "link/PortSetup.h"
#include "report/forms/OptionsForm.h"

namespace kvr::test {
namespace {

void ClickOk(QWidget* form) {
    QPushButton* ok = DialogButton(form, QDialogButtonBox::Ok);
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
}

std::string StoredPassword() {
    std::string stored;
    ReadStoredPassword(stored);
    return stored;
}

TEST_F(GuiTest, PortFormShowsThirtyTwoPortsInFourColumnsWithTheirDevices) {
    PortSettings settings;
    settings.port = 3;
    const std::vector<PortEntry> ports = {{3, "/dev/ttyUSB0", false, "", "", true},
                                          {9, "/dev/ttyS0", true, "", "", true}};
    CPortSettingsForm form(settings, ports);
    form.show();
    EXPECT_EQ(form.PortButton(32)->text(), QStringLiteral("COM32:"));
    EXPECT_TRUE(form.PortButton(3)->toolTip().endsWith(QStringLiteral("/dev/ttyUSB0")));
    EXPECT_EQ(form.DeviceLabel(9)->text(), QStringLiteral("ttyS0"));
    EXPECT_EQ(form.DeviceLabel(4)->text(), QStringLiteral("-"));
    // Numbered down the columns, eight to a column.
    EXPECT_GT(form.PortButton(8)->y(), form.PortButton(1)->y());
    EXPECT_GT(form.PortButton(9)->x(), form.PortButton(1)->x());
    EXPECT_EQ(form.PortButton(9)->y(), form.PortButton(1)->y());
    // The stored choices show.
    EXPECT_EQ(form.SelectedPort(), 3);
    EXPECT_EQ(form.Combo(CPortSettingsForm::kBaud)->currentText(), QStringLiteral("9600"));
    EXPECT_FALSE(form.Combo(CPortSettingsForm::kBaud)->isEditable());
    // The changed mark is left alone unless the stop bits change.
    form.Combo(CPortSettingsForm::kParity)->setCurrentText(QStringLiteral("Even"));
    form.accept();
    EXPECT_EQ(form.Settings().parity, "Even");
    EXPECT_FALSE(form.Settings().changed);
}

// Which entry is reported first is the port rules' own test; here the form stays open and
// takes nothing over until every entry is valid.
TEST_F(GuiTest, PortFormReportsAMissingEntryAndStaysOpen) {
    PortSettings settings;    // the first run: no port, the default texts
    settings.baud = "57600";  // a stored text the list does not hold shows as no choice
    CPortSettingsForm form(settings, {});
    form.show();
    QTest::mouseClick(form.PortButton(12), Qt::LeftButton);
    ClickOk(&form);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Please select a valid baud rate"});
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Settings().port, 0);  // nothing taken over while a check fails

    form.Combo(CPortSettingsForm::kBaud)->setCurrentText(QStringLiteral("19200"));
    form.Combo(CPortSettingsForm::kStopBits)->setCurrentText(QStringLiteral("2"));
    ClickOk(&form);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Settings().port, 12);
    EXPECT_EQ(form.Settings().baud, "19200");
    EXPECT_TRUE(form.Settings().changed);  // the stop bits changed
}

TEST_F(GuiTest, TransmissionSetupEditsThePortThroughTheForm) {
    UseForms(Seams{.portSettingsEditor = QtPortSettingsEditor()});
    MakeFrame();
    doc.Port().Settings().port = 4;

    ModalScript ok;
    ok.Then<CPortSettingsForm>([](CPortSettingsForm* f) {
        EXPECT_TRUE(f->PortButton(4)->isChecked());
        f->PortButton(7)->click();
        f->Combo(CPortSettingsForm::kBaud)->setCurrentText(QStringLiteral("38400"));
        f->accept();
    });
    Action(app::kCmdTransmissionSetup)->trigger();
    EXPECT_TRUE(ok.Done());
    EXPECT_EQ(doc.Port().Settings().port, 7);
    EXPECT_EQ(doc.Port().Settings().baud, "38400");
}

// The address table itself is the document's test; here the buttons drive it.
// An address outside the choices is reported and leaves no choice.
TEST_F(GuiTest, Kvr100AddressAppliesEachChoiceAtOnce) {
    doc.Channel(0).record.SetUnitAddress(5);
    {
        CKvr100AddressForm form(doc);
        EXPECT_EQ(user.Texts(), std::vector<std::string>{"Value of Chan is 5, Chan"});
        for (int a = 0; a < 3; ++a) {
            EXPECT_FALSE(form.AddressButton(a)->isChecked());
        }
        EXPECT_EQ(doc.Channel(0).record.GetUnitAddress(), 5);
    }
    doc.OnNewDocument();
    CKvr100AddressForm form(doc);
    EXPECT_TRUE(form.AddressButton(0)->isChecked());
    QTest::mouseClick(form.AddressButton(2), Qt::LeftButton);
    EXPECT_EQ(doc.Kvr100Address(), 2);
    EXPECT_EQ(doc.Channel(0).record.GetUnitAddress(), 2);
    CKvr100AddressForm again(doc);  // opened again, it shows channel 0's address
    EXPECT_TRUE(again.AddressButton(2)->isChecked());
}

// Factory and the grid's rules are the document's test; here the form's controls.
TEST_F(GuiTest, DownloadPreferencesFactoryThenCancelChangesNothingAndOkApplies) {
    doc.Preferences().overwriteSerialNumber = {true, false, true, false};
    {
        CDownloadPreferencesForm form(doc);
        form.show();
        EXPECT_FALSE(form.GridBox(CDownloadPreferencesForm::kSerialNumber, 0)->isEnabled());
        QTest::mouseClick(form.FactoryButton(), Qt::LeftButton);
        EXPECT_FALSE(form.GridBox(CDownloadPreferencesForm::kSerialNumber, 0)->isChecked());
        QTest::mouseClick(form.EveryBoardBox(), Qt::LeftButton);  // not tied to the enable box
        QTest::mouseClick(DialogButton(&form, QDialogButtonBox::Cancel), Qt::LeftButton);
    }
    EXPECT_EQ(doc.Preferences().overwriteSerialNumber,
              (std::array<bool, 4>{true, false, true, false}));
    EXPECT_FALSE(ReadWriteEveryBoard());

    CDownloadPreferencesForm form(doc);
    form.show();
    QTest::mouseClick(form.EnableBox(), Qt::LeftButton);
    EXPECT_TRUE(form.NoDownloadDialogBox()->isEnabled());
    QTest::mouseClick(form.GridBox(CDownloadPreferencesForm::kSerialNumber, 3), Qt::LeftButton);
    QTest::mouseClick(form.EveryBoardBox(), Qt::LeftButton);
    ClickOk(&form);
    EXPECT_TRUE(doc.Preferences().enabled);
    EXPECT_EQ(doc.Preferences().overwriteSerialNumber,
              (std::array<bool, 4>{true, false, true, true}));
    EXPECT_TRUE(ReadWriteEveryBoard());
    EXPECT_TRUE(CDownloadPreferencesForm(doc).EveryBoardBox()->isChecked());  // shown as stored
}

class PasswordFlowTest : public GuiTest {
  protected:
    void SetUp() override {
        UseForms();
        MakeFrame();
        SetRunPassword("");
    }
    void TearDown() override {
        frame.reset();
        SetRunPassword("");
    }
};

// The password rules are the document's test; here the forms carry what is typed.
TEST_F(PasswordFlowTest, FirstPasswordFormComesBackWithWhatWasTypedUntilBothCopiesMatch) {
    ModalScript script;
    script
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            EXPECT_TRUE(f->ConfirmMode());
            EXPECT_EQ(f->PasswordEdit()->echoMode(), QLineEdit::Password);
            EXPECT_EQ(f->ConfirmationEdit()->echoMode(), QLineEdit::Password);
            QTest::keyClicks(f->PasswordEdit(), QStringLiteral("secret1"));
            QTest::keyClicks(f->ConfirmationEdit(), QStringLiteral("secret2"));
            ClickOk(f);
        })
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            EXPECT_EQ(f->PasswordEdit()->text(), QStringLiteral("secret1"));
            EXPECT_EQ(f->ConfirmationEdit()->text(), QStringLiteral("secret2"));
            f->ConfirmationEdit()->setText(QStringLiteral("secret1"));
            ClickOk(f);
        });
    Action(app::kCmdPassword)->trigger();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(forms.script.messages.size(), 1u);  // the mismatch
    EXPECT_EQ(StoredPassword(), "secret1");
}

TEST_F(PasswordFlowTest, ChangingThePasswordAsksTheExistingOneFirst) {
    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "Old"),
              kRegOk);
    ModalScript script;
    script
        .Then<CPasswordConfirmForm>([](CPasswordConfirmForm* f) {
            EXPECT_EQ(f->ExistingEdit()->echoMode(), QLineEdit::Password);
            EXPECT_FALSE(f->Cancelled());
            QTest::keyClicks(f->ExistingEdit(), QStringLiteral("Old"));
            ClickOk(f);
        })
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            QTest::keyClicks(f->PasswordEdit(), QStringLiteral("New"));
            QTest::keyClicks(f->ConfirmationEdit(), QStringLiteral("New"));
            ClickOk(f);
        });
    Action(app::kCmdPassword)->trigger();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(StoredPassword(), "New");
    CPasswordConfirmForm cancelled;
    cancelled.reject();
    EXPECT_TRUE(cancelled.Cancelled());
}

TEST_F(PasswordFlowTest, DownloadAsksInTheSingleEntryForm) {
    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "pw"),
              kRegOk);
    ModalScript script;
    script
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            EXPECT_FALSE(f->ConfirmationEdit()->isVisible());
            QTest::keyClicks(f->PasswordEdit(), QStringLiteral("PW"));
            ClickOk(f);
        })
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            EXPECT_TRUE(f->PasswordEdit()->text().isEmpty());  // a fresh question
            QTest::keyClicks(f->PasswordEdit(), QStringLiteral("pw"));
            ClickOk(f);
        });
    EXPECT_TRUE(EnsurePassword());
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(RunPassword(), "pw");
}

TEST_F(GuiTest, OptionsTakesTheOperatorNameOnOkOnly) {
    MakeFrame();
    doc.SetOperatorName("Before");
    ModalScript cancel;
    cancel.Then<COptionsForm>([](COptionsForm* f) {
        EXPECT_TRUE(f->OperatorEdit()->text().isEmpty());  // it opens empty
        QTest::keyClicks(f->OperatorEdit(), QStringLiteral("Nobody"));
        f->reject();
    });
    Action(app::kCmdOptions)->trigger();
    EXPECT_TRUE(cancel.Done());
    EXPECT_EQ(doc.OperatorName(), "Before");

    ModalScript ok;
    ok.Then<COptionsForm>([](COptionsForm* f) {
        QTest::keyClicks(f->OperatorEdit(), QStringLiteral("T. Mokoena"));
        ClickOk(f);
    });
    Action(app::kCmdOptions)->trigger();
    EXPECT_TRUE(ok.Done());
    EXPECT_EQ(doc.OperatorName(), "T. Mokoena");
}

}  // namespace
}  // namespace kvr::test
