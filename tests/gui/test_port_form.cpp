// "Select Serial Port" with USB adapters: their names under the numbers, a number bound
// to one, and adapters coming and going while the form is open.
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <filesystem>
#include <fstream>

#include "document/forms/PortSettingsForm.h"
#include "gui/GuiTestUtil.h"
#include "link/PortMap.h"

namespace kvr::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFtdi = "usb-FTDI_FT232R_USB_UART_A9X2-if00-port0";
constexpr const char* kProlific = "usb-Prolific_PL2303_Serial_P7Q1-if00-port0";

TEST_F(GuiTest, PortFormBindsAnAdapterAndFollowsAdaptersComingAndGoing) {
    TempDir root;
    PortFolders folders;
    folders.dev = root.File("dev");
    folders.byId = root.File("dev/serial/by-id");
    folders.sysTty = root.File("sys");
    fs::create_directories(folders.byId);
    ScopedEnv byId("KVR_SERIAL_BY_ID", folders.byId);
    for (const char* tty : {"ttyUSB0", "ttyUSB1", "ttyS0"}) {
        std::ofstream(folders.dev + "/" + tty) << "";
    }
    fs::create_symlink("../../ttyUSB0", folders.byId + "/" + kFtdi);
    const std::string ftdi = folders.byId + "/" + kFtdi;

    PortSettings settings;
    settings.port = 3;
    CPortSettingsForm form(settings, {});
    form.SetScanner([&] { return ScanPorts(folders); });
    form.show();
    EXPECT_TRUE(form.PortButton(1)->toolTip().contains(
        QStringLiteral("FTDI FT232R USB UART, serial A9X2")));
    QComboBox* binding = form.BindingCombo();
    EXPECT_EQ(binding->currentIndex(), 0);  // port 3: automatic
    const int adapter = binding->findData(QString::fromStdString(ftdi));
    ASSERT_EQ(adapter, 1);  // after "Automatic", before the plain devices
    EXPECT_EQ(binding->count(), 5);

    // Port 3 bound to the FTDI adapter: shown at once, stored on OK.
    binding->setCurrentIndex(adapter);
    Q_EMIT binding->activated(adapter);
    EXPECT_EQ(form.DeviceLabel(3)->text(), QStringLiteral("FTDI A9X2"));
    EXPECT_EQ(form.PendingBindings(), (std::map<int, std::string>{{3, ftdi}}));
    // Nothing cut off: the binding's text fits its box.
    EXPECT_GE(binding->width(),
              binding->fontMetrics().horizontalAdvance(binding->currentText()) + 20);
    SaveShot(&form, QStringLiteral("port-settings-form"));

    // Another adapter plugged in while the form is open; nothing changed, nothing redone.
    EXPECT_FALSE(form.Refresh());
    fs::create_symlink("../../ttyUSB1", folders.byId + "/" + kProlific);
    EXPECT_TRUE(form.Refresh());
    EXPECT_EQ(binding->count(), 6);
    EXPECT_EQ(binding->currentIndex(), adapter);  // port 3's binding still shown
    EXPECT_TRUE(form.PortButton(2)->toolTip().contains(QStringLiteral("Prolific PL2303 Serial")));
    // The bound adapter unplugged: the number keeps it and says so.
    fs::remove(ftdi);
    EXPECT_TRUE(form.Refresh());
    EXPECT_EQ(form.DeviceLabel(3)->text(), QStringLiteral("FTDI A9X2 (absent)"));
    EXPECT_EQ(binding->itemData(binding->currentIndex()).toString().toStdString(), ftdi);

    form.accept();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Settings().port, 3);
    EXPECT_EQ(LoadPortOverrides(PortOverridesPath()), (std::map<int, std::string>{{3, ftdi}}));
    EXPECT_TRUE(user.Texts().empty());
}

}  // namespace
}  // namespace kvr::test
