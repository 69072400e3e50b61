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

// What a machine with two adapters and one built-in port looks like (for the pictures).
PortScan TwoAdapters() {
    PortScan scan;
    const std::string byId = "/dev/serial/by-id/";
    scan.adapters = {{byId + kFtdi, "/dev/ttyUSB1", "FTDI", "FT232R USB UART", "A9X2"},
                     {byId + kProlific, "/dev/ttyUSB0", "Prolific", "PL2303 Serial", "P7Q1"}};
    scan.devices = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0"};
    for (int n = 1; n <= kMaxPortNumber; ++n) {
        PortEntry e;
        e.number = n;
        e.present = n <= 3;
        if (n == 1) {
            e.device = e.stable = byId + kFtdi;
            e.overridden = true;
            e.adapter = "FTDI FT232R USB UART, serial A9X2";
        } else if (n <= 3) {
            e.device = scan.devices[static_cast<size_t>(n) - 1];
        }
        scan.table.push_back(e);
    }
    return scan;
}

TEST_F(GuiTest, PortFormPicture) {
    PortSettings settings;
    settings.port = 1;
    CPortSettingsForm form(settings, {});
    form.SetScanner([] { return TwoAdapters(); });
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.DeviceLabel(1)->text(), QStringLiteral("FTDI A9X2"));
    EXPECT_EQ(form.DeviceLabel(2)->text(), QStringLiteral("ttyUSB1"));
    // Nothing cut off: the binding's text fits its box.
    QComboBox* binding = form.BindingCombo();
    EXPECT_GE(binding->width(),
              binding->fontMetrics().horizontalAdvance(binding->currentText()) + 20);
    SaveShot(&form, QStringLiteral("port-settings-form"));
}

}  // namespace
}  // namespace kvr::test
