// Port numbers 1 to 32 and the device files behind them.
//
// Without an override, the numbers go to the serial devices found on the machine in a
// stable order: USB adapters (/dev/ttyUSB*, then /dev/ttyACM*) by number, then the
// built-in ports /dev/ttyS* by number. A per-number override, kept in a small text file
// (one "N=/dev/path" line each), takes precedence; `kvrctl ports` shows the table and
// `kvrctl ports set N PATH` sets an override.
//
// Override file: $KVR_PORTS_FILE when set, else $XDG_CONFIG_HOME/kvr-view/ports.conf,
// else ~/.config/kvr-view/ports.conf. Lines it does not understand and comments are kept
// by a rewrite; writers take a lock on "<file>.lock", so concurrent changes all land.
//
// A number can be bound to a USB adapter by its stable name, the link udev keeps for it
// in /dev/serial/by-id ($KVR_SERIAL_BY_ID names another folder): the name carries the
// adapter's vendor, model and serial number, and follows the adapter to whatever ttyUSB
// number the kernel gives it when it is plugged in again. Such a binding is an override
// line like any other ("1=/dev/serial/by-id/usb-FTDI_..."), so older files read as they
// did.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

inline constexpr int kMaxPortNumber = 32;

struct PortEntry {
    int number = 0;
    std::string device;  // empty when nothing is behind the number
    bool overridden = false;
    // The stable name of the adapter behind the number (the binding itself, or the
    // by-id link that points at the device), empty when it has none.
    std::string stable;
    // The adapter in words ("FTDI FT232R USB UART, serial A9X2"), empty when unknown.
    std::string adapter;
    // The device file is there now (a bound adapter may be unplugged).
    bool present = false;

    bool operator==(const PortEntry&) const = default;
};

// A USB serial adapter as its stable name shows it.
struct SerialAdapter {
    std::string stablePath;  // <by-id folder>/usb-FTDI_FT232R_USB_UART_A9X2-if00-port0
    std::string device;      // the device it leads to now, empty when the link dangles
    std::string vendor;
    std::string model;
    std::string serial;

    bool operator==(const SerialAdapter&) const = default;
};

// The folders a scan looks in; tests put temporary ones here.
struct PortFolders {
    std::string dev = "/dev";
    std::string byId;  // empty: SerialByIdFolder()
    std::string sysTty = "/sys/class/tty";
};

// $KVR_SERIAL_BY_ID when set, else /dev/serial/by-id.
std::string SerialByIdFolder();
// Vendor, model and serial number read from a by-id name such as
// "usb-FTDI_FT232R_USB_UART_A9X2-if00-port0": the bus prefix and the interface suffix
// are dropped, the first word is the vendor and a last word with a digit in it the serial
// number. The /sys attributes, where there are any, are more exact (FindAdapters).
SerialAdapter ParseByIdName(std::string_view name);
// The adapters in the by-id folder, by name; vendor, model and serial from the device's
// USB attributes under sysTty where it has them, else from the name.
std::vector<SerialAdapter> FindAdapters(const PortFolders& folders = {});
// "FTDI FT232R USB UART, serial A9X2" (the parts there are).
std::string AdapterText(const SerialAdapter& adapter);

// Everything the port choosers show, taken at one moment: a changed scan means adapters
// came or went.
struct PortScan {
    std::vector<PortEntry> table;
    std::vector<SerialAdapter> adapters;
    std::vector<std::string> devices;  // FindSerialDevices

    bool operator==(const PortScan&) const = default;
};
PortScan ScanPorts(const PortFolders& folders = {});
// The entry a number would have in a scan with this binding (empty: the automatic order).
PortEntry EntryWithBinding(const PortScan& scan, int number, const std::string& binding,
                           const PortFolders& folders = {});
// An entry in a few words for a narrow column: an adapter bound by its stable name as
// vendor and serial number ("FTDI A9X2", "(absent)" added while unplugged), any other
// device by its path without "/dev/"; "-" for none.
std::string PortShortText(const PortEntry& entry);
// The same at length, one fact a line: the device, the adapter, where it leads now.
std::string PortLongText(const PortEntry& entry);

// Serial devices under devDir in the stable order described above.
std::vector<std::string> FindSerialDevices(const std::string& devDir = "/dev");

std::string PortOverridesPath();
// The overrides of a file (none when it is missing, not a regular file or oversized).
std::map<int, std::string> LoadPortOverrides(const std::string& path);
// The overrides in a file's text; of a number given twice, the last line counts.
std::map<int, std::string> ParsePortOverrides(std::string_view text);
// The text with the override of one number set in place of its first line (later lines
// of it dropped) or appended; an empty device removes it. Other lines stay as they are.
std::string EditPortOverrides(std::string_view text, int number, const std::string& device);
// Sets (or with an empty device removes) the override of one number: one locked
// read-modify-write, written atomically. False with a reason on failure.
bool SavePortOverride(const std::string& path, int number, const std::string& device,
                      std::string& error);

// Sets (or with an empty device clears) several numbers, each as SavePortOverride.
bool SavePortBindings(const std::string& path, const std::map<int, std::string>& bindings,
                      std::string& error);

// The table of numbers 1 to 32.
std::vector<PortEntry> PortTable(const std::string& devDir = "/dev");
std::vector<PortEntry> PortTable(const PortFolders& folders,
                                 const std::vector<SerialAdapter>& adapters);
// The stable name of an adapter whose link leads to the same device file as path (or
// path itself when it is in the by-id folder); empty when there is none.
std::string StableNameOf(const std::string& path, const PortFolders& folders = {});
// The device of one number, empty when none.
std::string DeviceForPort(int number);

}  // namespace kvr
