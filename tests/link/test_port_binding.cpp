// Port numbers bound to USB adapters by their stable names, with temporary folders in
// place of /dev, /dev/serial/by-id and /sys/class/tty; and a lost line that reopens the
// same adapter when it comes back under another ttyUSB number.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "PtyPair.h"
#include "base/Clock.h"
#include "base/Seams.h"
#include "link/PortMap.h"
#include "link/SerialPort.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFtdi = "usb-FTDI_FT232R_USB_UART_A9X2-if00-port0";
constexpr const char* kProlific = "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0";

// A machine's device folders in miniature: dev/ttyUSB*, dev/serial/by-id links as udev
// makes them (relative), and sys/class/tty with the USB attributes of one adapter.
class Machine {
  public:
    Machine() {
        folders.dev = root.File("dev");
        folders.byId = root.File("dev/serial/by-id");
        folders.sysTty = root.File("sys/class/tty");
        fs::create_directories(folders.byId);
        fs::create_directories(folders.sysTty);
    }
    void Device(const std::string& name) const { std::ofstream(folders.dev + "/" + name) << ""; }
    void Plug(const std::string& byId, const std::string& tty) const {
        Unplug(byId);
        fs::create_symlink("../../" + tty, folders.byId + "/" + byId);
    }
    void Unplug(const std::string& byId) const { fs::remove(folders.byId + "/" + byId); }
    // The kernel's view of a USB adapter on tty.
    void UsbAttributes(const std::string& tty, const std::string& manufacturer,
                       const std::string& product, const std::string& serial) const {
        const std::string usb = root.File("sys/devices/usb1/1-2");
        fs::create_directories(usb + "/1-2:1.0/" + tty);
        std::ofstream(usb + "/idVendor") << "067b\n";
        std::ofstream(usb + "/manufacturer") << manufacturer << "\n";
        std::ofstream(usb + "/product") << product << "\n";
        std::ofstream(usb + "/serial") << serial << "\n";
        fs::create_directories(folders.sysTty + "/" + tty);
        fs::create_symlink("../../../devices/usb1/1-2/1-2:1.0/" + tty,
                           folders.sysTty + "/" + tty + "/device");
    }
    std::string Stable(const std::string& byId) const { return folders.byId + "/" + byId; }

    test::TempDir root;
    PortFolders folders;
};

TEST(PortBinding, ByIdNamesGiveVendorModelAndSerial) {
    using Parsed = std::array<std::string, 3>;  // vendor, model, serial
    for (const auto& [name, expected] : {
             std::pair<const char*, Parsed>{kFtdi, {"FTDI", "FT232R USB UART", "A9X2"}},
             {"usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0",
              {"Silicon", "Labs CP2102 USB to UART Bridge Controller", "0001"}},
             {"usb-1a86_USB2.0-Serial-if00-port0", {"1a86", "USB2.0-Serial", ""}},
             {"usb-Arduino__www.arduino.cc__0043_7563331-if00",
              {"Arduino", "www.arduino.cc 0043", "7563331"}},
             {"usb-Acme_Multi_Port_Box_X100-if02-port1", {"Acme", "Multi Port Box", "X100"}},
         }) {
        const SerialAdapter a = ParseByIdName(name);
        EXPECT_EQ((Parsed{a.vendor, a.model, a.serial}), expected) << name;
    }
    EXPECT_EQ(AdapterText(ParseByIdName(kFtdi)), "FTDI FT232R USB UART, serial A9X2");
}

TEST(PortBinding, ABoundPortFollowsItsAdapterAcrossReplugs) {
    Machine m;
    test::TempDir conf;
    test::ScopedEnv file("KVR_PORTS_FILE", conf.File("ports.conf"));
    m.Device("ttyUSB0");
    m.Device("ttyUSB1");
    m.Device("ttyS0");
    m.Plug(kFtdi, "ttyUSB0");
    m.Plug(kProlific, "ttyUSB1");
    m.UsbAttributes("ttyUSB1", "Prolific Technology Inc.", "USB-Serial Controller D", "PL2303X7");

    const PortScan first = ScanPorts(m.folders);
    ASSERT_EQ(first.adapters.size(), 2u);
    // The kernel's attributes where there are any, else the name.
    EXPECT_EQ(AdapterText(first.adapters[0]), "FTDI FT232R USB UART, serial A9X2");
    EXPECT_EQ(AdapterText(first.adapters[1]),
              "Prolific Technology Inc. USB-Serial Controller D, serial PL2303X7");
    // Automatic numbers show the adapter behind their device too.
    EXPECT_EQ(first.table[0].device, m.folders.dev + "/ttyUSB0");
    EXPECT_EQ(first.table[0].stable, m.Stable(kFtdi));
    EXPECT_EQ(first.table[2].adapter, "");  // ttyS0: no adapter
    EXPECT_EQ(PortShortText(first.table[2]), m.folders.dev + "/ttyS0");

    // Port 3 bound to the FTDI adapter by its stable name.
    std::string error;
    ASSERT_TRUE(SavePortBindings(PortOverridesPath(), {{3, m.Stable(kFtdi)}}, error)) << error;
    PortEntry bound = ScanPorts(m.folders).table[2];
    EXPECT_TRUE(bound.overridden);
    EXPECT_TRUE(bound.present);
    EXPECT_EQ(bound.device, m.Stable(kFtdi));
    EXPECT_EQ(PortShortText(bound), "FTDI A9X2");

    // Re-plugged, the FTDI adapter gets ttyUSB1 this time: port 3 stays with it.
    m.Unplug(kProlific);
    m.Plug(kFtdi, "ttyUSB1");
    const PortScan replugged = ScanPorts(m.folders);
    EXPECT_NE(replugged, first);  // what a form's rescan notices
    bound = replugged.table[2];
    EXPECT_EQ(bound.device, m.Stable(kFtdi));
    EXPECT_NE(PortLongText(bound).find("now " + fs::canonical(m.folders.dev + "/ttyUSB1").string()),
              std::string::npos)
        << PortLongText(bound);
    EXPECT_EQ(StableNameOf(m.folders.dev + "/ttyUSB1", m.folders), m.Stable(kFtdi));
    EXPECT_EQ(StableNameOf(m.folders.dev + "/ttyUSB0", m.folders), "");

    // Unplugged: the binding stays and says which adapter it waits for.
    m.Unplug(kFtdi);
    bound = ScanPorts(m.folders).table[2];
    EXPECT_FALSE(bound.present);
    EXPECT_EQ(bound.stable, m.Stable(kFtdi));
    EXPECT_EQ(PortShortText(bound), "FTDI A9X2 (absent)");

    // A binding not stored yet shows as it would be; empty is the automatic order.
    const PortScan now = ScanPorts(m.folders);
    EXPECT_EQ(EntryWithBinding(now, 2, "", m.folders).device, m.folders.dev + "/ttyUSB1");
    EXPECT_EQ(EntryWithBinding(now, 9, "", m.folders).device, "");
    // The older file format (plain paths) reads as before, next to a binding.
    ASSERT_TRUE(SavePortOverride(PortOverridesPath(), 5, "/dev/ttyS4", error));
    EXPECT_EQ(LoadPortOverrides(PortOverridesPath()),
              (std::map<int, std::string>{{3, m.Stable(kFtdi)}, {5, "/dev/ttyS4"}}));
}

TEST(PortBinding, ALostLineReopensTheSameAdapterUnderItsNewNumber) {
    Machine m;
    test::ScopedEnv byId("KVR_SERIAL_BY_ID", m.folders.byId);
    VirtualClock clock;
    ScopedSeams seams(Seams{.clock = &clock});
    test::Pty first;  // a pseudo-terminal for the adapter
    fs::create_symlink(first.path, m.folders.dev + "/ttyUSB0");
    m.Plug(kFtdi, "ttyUSB0");

    CSerialPort port;
    port.Settings().device = m.folders.dev + "/ttyUSB0";  // opened by its kernel name
    int forms = 0;
    port.SetOpenFallback([&](CSerialPort&) { return ++forms < 0; });
    ASSERT_TRUE(port.EnsureOpen()) << port.LastError();
    EXPECT_EQ(port.State(), LineState::Open);

    first.CloseMaster();  // unplugged
    port.WriteByte(0x55);
    port.ReadByte();
    ASSERT_EQ(port.State(), LineState::Lost);
    EXPECT_EQ(port.LostDevice(), m.folders.dev + "/ttyUSB0");
    EXPECT_EQ(port.ReopenPath(), m.Stable(kFtdi));

    // Still gone: the next command waits a bounded time for it, the one after does not,
    // and neither offers the settings form.
    m.Unplug(kFtdi);
    uint64_t t = clock.NowMs();
    EXPECT_FALSE(port.EnsureOpen());
    EXPECT_EQ(clock.NowMs() - t, kReconnectWaitMs);
    t = clock.NowMs();
    EXPECT_FALSE(port.EnsureOpen());
    EXPECT_EQ(clock.NowMs(), t);
    EXPECT_EQ(forms, 0);
    EXPECT_NE(port.LastError().find("was lost and has not come back"), std::string::npos)
        << port.LastError();

    // Back as ttyUSB1, while another adapter took ttyUSB0: the port opens its own.
    test::Pty other;
    test::Pty back;
    fs::remove(m.folders.dev + "/ttyUSB0");
    fs::create_symlink(other.path, m.folders.dev + "/ttyUSB0");
    fs::create_symlink(back.path, m.folders.dev + "/ttyUSB1");
    m.Plug(kFtdi, "ttyUSB1");
    ASSERT_TRUE(port.EnsureOpen()) << port.LastError();
    EXPECT_EQ(port.State(), LineState::Open);
    ASSERT_TRUE(port.WriteByte(0xA5));
    EXPECT_EQ(back.Received(), 0xA5);
    EXPECT_EQ(other.Received(0), -1);

    // Closed on purpose, a port is not lost.
    port.Close();
    EXPECT_EQ(port.State(), LineState::Closed);
}

}  // namespace
}  // namespace kvr
