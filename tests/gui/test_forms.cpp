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
#include "document/Password.h"
#include "document/PortSetup.h"
#include "document/Registry.h"
#include "document/forms/PasswordForms.h"
#include "document/forms/PortSettingsForm.h"
#include "document/forms/UnitAddressForms.h"
#include "gui/GuiTestUtil.h"

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
    const std::vector<PortEntry> ports = {{3, "/dev/ttyUSB0", false}, {9, "/dev/ttyS0", true}};
    CPortSettingsForm form(settings, ports);
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Select Serial Port"));
    EXPECT_EQ(form.PortButton(1)->text(), QStringLiteral("COM&1:"));
    EXPECT_EQ(form.PortButton(32)->text(), QStringLiteral("COM32:"));
    EXPECT_TRUE(form.PortButton(7)->toolTip().startsWith(
        QStringLiteral("Select COM7 as the communications port to the KVR")));
    EXPECT_TRUE(form.PortButton(3)->toolTip().endsWith(QStringLiteral("/dev/ttyUSB0")));
    EXPECT_EQ(form.DeviceLabel(3)->text(), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(form.DeviceLabel(9)->text(), QStringLiteral("ttyS0"));
    EXPECT_EQ(form.DeviceLabel(4)->text(), QStringLiteral("-"));
    // Numbered down the columns, eight to a column.
    EXPECT_EQ(form.PortButton(1)->x(), form.PortButton(8)->x());
    EXPECT_GT(form.PortButton(8)->y(), form.PortButton(1)->y());
    EXPECT_GT(form.PortButton(9)->x(), form.PortButton(1)->x());
    EXPECT_EQ(form.PortButton(9)->y(), form.PortButton(1)->y());
    EXPECT_GT(form.PortButton(25)->x(), form.PortButton(17)->x());
    // The stored choices show.
    EXPECT_TRUE(form.PortButton(3)->isChecked());
    EXPECT_EQ(form.SelectedPort(), 3);
    EXPECT_EQ(form.Combo(CPortSettingsForm::kBaud)->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(form.Combo(CPortSettingsForm::kBaud)->count(), 8);
    EXPECT_EQ(form.Combo(CPortSettingsForm::kParity)->currentText(), QStringLiteral("None"));
    EXPECT_FALSE(form.Combo(CPortSettingsForm::kBaud)->isEditable());
    EXPECT_EQ(form.Combo(CPortSettingsForm::kStopBits)->toolTip(),
              QStringLiteral("Select the number of stop bits per character from this list."));
}

TEST_F(GuiTest, PortFormReportsTheFirstMissingEntryAndStaysOpen) {
    PortSettings settings;    // the first run: no port, the default texts
    settings.baud = "57600";  // a stored text the list does not hold shows as no choice
    CPortSettingsForm form(settings, {});
    form.show();
    ClickOk(&form);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Please select a valid communications port"});
    EXPECT_TRUE(form.isVisible());

    QTest::mouseClick(form.PortButton(12), Qt::LeftButton);
    ClickOk(&form);
    EXPECT_EQ(user.messages.back().text, "Please select a valid baud rate");
    form.Combo(CPortSettingsForm::kBaud)->setCurrentText(QStringLiteral("19200"));
    const struct {
        CPortSettingsForm::Field field;
        const char* message;
    } later[] = {{CPortSettingsForm::kParity, "Please select a valid parity"},
                 {CPortSettingsForm::kDataBits, "Please select a valid number of data bits"},
                 {CPortSettingsForm::kStopBits, "Please select a valid number of stop bits"}};
    for (const auto& step : later) {
        QComboBox* combo = form.Combo(step.field);
        const int kept = combo->currentIndex();
        combo->setCurrentIndex(-1);
        ClickOk(&form);
        EXPECT_EQ(user.messages.back().text, step.message);
        EXPECT_TRUE(form.isVisible());
        combo->setCurrentIndex(kept);
    }
    EXPECT_EQ(user.messages.size(), 5u);
    EXPECT_EQ(form.Settings().port, 0);  // nothing taken over while a check fails

    ClickOk(&form);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Settings().port, 12);
    EXPECT_EQ(form.Settings().baud, "19200");
    EXPECT_EQ(form.Settings().stopBits, "1");
    EXPECT_TRUE(form.Settings().changed);  // the stop bits were changed on the way
}

TEST_F(GuiTest, PortFormLeavesTheChangedMarkAloneUnlessTheStopBitsChange) {
    PortSettings settings;
    settings.port = 2;
    CPortSettingsForm form(settings, {});
    form.Combo(CPortSettingsForm::kParity)->setCurrentText(QStringLiteral("Even"));
    form.accept();
    EXPECT_EQ(form.Settings().parity, "Even");
    EXPECT_FALSE(form.Settings().changed);
}

TEST_F(GuiTest, TransmissionSetupEditsThePortThroughTheForm) {
    FormsUser forms;
    ScopedUserSeam formsInPlace(forms);
    RegisterPortSettingsForm();
    MakeFrame();
    forms.SetFrame(frame.get());
    doc.Port().Settings().port = 4;

    ModalScript cancel;
    cancel.Then<CPortSettingsForm>([](CPortSettingsForm* f) {
        f->PortButton(7)->click();
        f->reject();
    });
    Action(app::kCmdTransmissionSetup)->trigger();
    EXPECT_TRUE(cancel.Done());
    EXPECT_EQ(doc.Port().Settings().port, 4);

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
    SetPortSettingsEditor(nullptr);
}

TEST_F(GuiTest, Kvr100AddressAppliesEachChoiceAtOnce) {
    doc.OnNewDocument();
    CKvr100AddressForm form(doc);
    EXPECT_TRUE(form.AddressButton(0)->isChecked());
    QTest::mouseClick(form.AddressButton(2), Qt::LeftButton);
    EXPECT_EQ(doc.kvr100Address, 2);
    EXPECT_EQ(doc.Channel(0).record.GetUnitAddress(), 2);
    EXPECT_EQ(doc.Channel(1).record.GetUnitAddress(), 1);
    EXPECT_EQ(doc.Channel(2).record.GetUnitAddress(), 0);
    QTest::mouseClick(form.AddressButton(1), Qt::LeftButton);
    EXPECT_EQ(doc.Channel(0).record.GetUnitAddress(), 1);
    EXPECT_EQ(doc.Channel(1).record.GetUnitAddress(), 0);
    EXPECT_EQ(doc.Channel(2).record.GetUnitAddress(), 2);
    EXPECT_TRUE(user.messages.empty());

    // Opened again, the form shows channel 0's address.
    CKvr100AddressForm again(doc);
    EXPECT_TRUE(again.AddressButton(1)->isChecked());
}

TEST_F(GuiTest, Kvr100AddressOutsideTheChoicesIsReportedAndLeavesNoChoice) {
    doc.Channel(0).record.SetUnitAddress(5);
    CKvr100AddressForm form(doc);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Value of Chan is 5, Chan"});
    for (int a = 0; a < 3; ++a) {
        EXPECT_FALSE(form.AddressButton(a)->isChecked());
    }
    EXPECT_EQ(doc.Channel(0).record.GetUnitAddress(), 5);
}

TEST_F(GuiTest, DownloadPreferencesFactoryThenCancelChangesNothingAndOkApplies) {
    doc.overwriteSerialNumber = {true, false, true, false};
    doc.downloadToDifferentUnit = {false, false, false, false};
    doc.noDialogAfterUpload = false;
    const DownloadPreferences before = DownloadPreferences::FromDocument(doc);
    {
        CDownloadPreferencesForm form(doc);
        form.show();
        EXPECT_FALSE(form.EnableBox()->isChecked());
        EXPECT_TRUE(form.GridBox(CDownloadPreferencesForm::kSerialNumber, 0)->isChecked());
        EXPECT_FALSE(form.GridBox(CDownloadPreferencesForm::kSerialNumber, 0)->isEnabled());
        EXPECT_FALSE(form.NoUploadDialogBox()->isEnabled());
        QTest::mouseClick(form.FactoryButton(), Qt::LeftButton);
        EXPECT_FALSE(form.GridBox(CDownloadPreferencesForm::kSerialNumber, 0)->isChecked());
        EXPECT_TRUE(form.GridBox(CDownloadPreferencesForm::kDifferentUnit, 3)->isChecked());
        EXPECT_TRUE(form.NoUploadDialogBox()->isChecked());
        EXPECT_FALSE(form.EnableBox()->isChecked());  // Factory leaves the enable box alone
        QTest::mouseClick(DialogButton(&form, QDialogButtonBox::Cancel), Qt::LeftButton);
    }
    const DownloadPreferences after = DownloadPreferences::FromDocument(doc);
    EXPECT_EQ(after.overwriteSerialNumber, before.overwriteSerialNumber);
    EXPECT_EQ(after.downloadToDifferentUnit, before.downloadToDifferentUnit);
    EXPECT_EQ(after.noDialogAfterUpload, before.noDialogAfterUpload);

    CDownloadPreferencesForm form(doc);
    form.show();
    QTest::mouseClick(form.EnableBox(), Qt::LeftButton);
    EXPECT_TRUE(form.GridBox(CDownloadPreferencesForm::kCalibration, 2)->isEnabled());
    EXPECT_TRUE(form.NoDownloadDialogBox()->isEnabled());
    QTest::mouseClick(form.GridBox(CDownloadPreferencesForm::kCalibration, 2), Qt::LeftButton);
    QTest::mouseClick(form.FactoryButton(), Qt::LeftButton);
    QTest::mouseClick(form.GridBox(CDownloadPreferencesForm::kSerialNumber, 3), Qt::LeftButton);
    ClickOk(&form);
    EXPECT_TRUE(doc.preferencesEnabled);
    EXPECT_EQ(doc.overwriteSerialNumber, (std::array<bool, 4>{false, false, false, true}));
    EXPECT_EQ(doc.overwriteCalibration, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_EQ(doc.downloadToDifferentUnit, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_TRUE(doc.noDialogAfterUpload);
    EXPECT_TRUE(doc.noDialogAfterDownload);

    // Unticking the enable box disables the details again at once.
    CDownloadPreferencesForm third(doc);
    third.show();
    QTest::mouseClick(third.EnableBox(), Qt::LeftButton);
    EXPECT_FALSE(third.GridBox(CDownloadPreferencesForm::kDifferentUnit, 0)->isEnabled());
}

TEST_F(GuiTest, PasswordEntryShowsOneFieldOrTwoMasked) {
    CPasswordEntryForm single(false);
    CPasswordEntryForm confirm(true);
    single.show();
    confirm.show();
    EXPECT_EQ(single.windowTitle(), QStringLiteral("Password Entry"));
    EXPECT_FALSE(single.ConfirmationEdit()->isVisible());
    EXPECT_TRUE(confirm.ConfirmationEdit()->isVisible());
    EXPECT_LT(single.height(), confirm.height());
    EXPECT_EQ(single.PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(confirm.ConfirmationEdit()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(single.PasswordEdit()->text().isEmpty());

    CPasswordConfirmForm existing;
    EXPECT_EQ(existing.windowTitle(), QStringLiteral("Password Confirm"));
    EXPECT_EQ(existing.ExistingEdit()->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(existing.Cancelled());
    existing.reject();
    EXPECT_TRUE(existing.Cancelled());
}

class PasswordFlowTest : public GuiTest {
  protected:
    void SetUp() override {
        MakeFrame();
        forms.SetFrame(frame.get());
        SetRunPassword("");
    }
    void TearDown() override {
        frame.reset();
        SetRunPassword("");
    }
    FormsUser forms;
    ScopedUserSeam formsInPlace{forms};
};

TEST_F(PasswordFlowTest, FirstPasswordIsAskedTwiceUntilBothCopiesMatch) {
    ModalScript script;
    script
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            EXPECT_TRUE(f->ConfirmMode());
            QTest::keyClicks(f->PasswordEdit(), QStringLiteral("secret1"));
            QTest::keyClicks(f->ConfirmationEdit(), QStringLiteral("secret2"));
            ClickOk(f);
        })
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            // Back with what was typed.
            EXPECT_EQ(f->PasswordEdit()->text(), QStringLiteral("secret1"));
            EXPECT_EQ(f->ConfirmationEdit()->text(), QStringLiteral("secret2"));
            f->ConfirmationEdit()->setText(QStringLiteral("secret1"));
            ClickOk(f);
        });
    Action(app::kCmdPassword)->trigger();
    EXPECT_TRUE(script.Done());
    ASSERT_EQ(forms.script.messages.size(), 1u);
    EXPECT_EQ(forms.script.messages[0].title, "Password mismatch");
    EXPECT_EQ(forms.script.messages[0].text,
              "The two copies of the password you entered do not match. \nPlease re-enter your "
              "password.");
    EXPECT_EQ(StoredPassword(), "secret1");
    EXPECT_EQ(RunPassword(), "secret1");
}

TEST_F(PasswordFlowTest, ChangingThePasswordNeedsTheExistingOne) {
    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "Old"),
              kRegOk);
    ModalScript wrong;
    wrong.Then<CPasswordConfirmForm>([](CPasswordConfirmForm* f) {
        QTest::keyClicks(f->ExistingEdit(), QStringLiteral("old"));
        ClickOk(f);
    });
    Action(app::kCmdPassword)->trigger();
    EXPECT_TRUE(wrong.Done());
    EXPECT_EQ(forms.script.Texts(), std::vector<std::string>{"Incorrect Password"});
    EXPECT_EQ(forms.script.messages[0].title, "QRL");
    EXPECT_EQ(StoredPassword(), "Old");

    ModalScript cancelled;
    cancelled.Then<CPasswordConfirmForm>([](CPasswordConfirmForm* f) {
        QTest::keyClicks(f->ExistingEdit(), QStringLiteral("Old"));
        QTest::mouseClick(DialogButton(f, QDialogButtonBox::Cancel), Qt::LeftButton);
    });
    Action(app::kCmdPassword)->trigger();
    EXPECT_TRUE(cancelled.Done());
    EXPECT_EQ(forms.script.messages.size(), 1u);

    ModalScript right;
    right
        .Then<CPasswordConfirmForm>([](CPasswordConfirmForm* f) {
            QTest::keyClicks(f->ExistingEdit(), QStringLiteral("Old"));
            ClickOk(f);
        })
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            EXPECT_TRUE(f->ConfirmMode());
            QTest::keyClicks(f->PasswordEdit(), QStringLiteral("New"));
            QTest::keyClicks(f->ConfirmationEdit(), QStringLiteral("New"));
            ClickOk(f);
        });
    Action(app::kCmdPassword)->trigger();
    EXPECT_TRUE(right.Done());
    EXPECT_EQ(StoredPassword(), "New");
    EXPECT_EQ(RunPassword(), "New");
}

TEST_F(PasswordFlowTest, DownloadAsksInTheSingleEntryForm) {
    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "pw"),
              kRegOk);
    ModalScript script;
    script
        .Then<CPasswordEntryForm>([](CPasswordEntryForm* f) {
            EXPECT_FALSE(f->ConfirmMode());
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
    EXPECT_EQ(StoredPassword(), "pw");  // single-entry mode never stores
}

TEST_F(GuiTest, OptionsTakesTheOperatorNameOnOkOnly) {
    MakeFrame();
    doc.operatorName = "Before";
    ModalScript cancel;
    cancel.Then<app::COptionsForm>([](app::COptionsForm* f) {
        EXPECT_TRUE(f->OperatorEdit()->text().isEmpty());  // it opens empty
        QTest::keyClicks(f->OperatorEdit(), QStringLiteral("Nobody"));
        f->reject();
    });
    Action(app::kCmdOptions)->trigger();
    EXPECT_TRUE(cancel.Done());
    EXPECT_EQ(doc.operatorName, "Before");

    ModalScript ok;
    ok.Then<app::COptionsForm>([](app::COptionsForm* f) {
        EXPECT_EQ(f->windowTitle(), QStringLiteral("Options"));
        QTest::keyClicks(f->OperatorEdit(), QStringLiteral("T. Mokoena"));
        ClickOk(f);
    });
    Action(app::kCmdOptions)->trigger();
    EXPECT_TRUE(ok.Done());
    EXPECT_EQ(doc.operatorName, "T. Mokoena");
}

}  // namespace
}  // namespace kvr::test
