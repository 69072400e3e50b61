// Transmission setup: the "Select Serial Port" rules, the port settings in the settings
// store, and the reopening of the port with edited settings.
#pragma once

#include <functional>
#include <string>

#include "base/Seams.h"
#include "link/SerialPort.h"

namespace kvr {

// The choices of the "Select Serial Port" form.
inline constexpr const char* kBaudChoices[] = {"300",  "600",  "1200",  "2400",
                                               "4800", "9600", "19200", "38400"};
inline constexpr const char* kParityChoices[] = {"None", "Even", "Odd"};
inline constexpr const char* kDataBitsChoices[] = {"7", "8"};
inline constexpr const char* kStopBitsChoices[] = {"1", "2"};

// The form's OK checks in their order: the message of the first failure, or empty when
// the entries may be taken over. selectedPort is 0 when no port button is selected.
std::string ValidatePortForm(int selectedPort, const std::string& baud, const std::string& parity,
                             const std::string& dataBits, const std::string& stopBits);

// Shows the settings editor of the seams (Seams::portSettingsEditor) over the port's settings; OK
// stores the edited values in them, Cancel leaves them. False on Cancel or when there is no editor.
bool EditPortSettings(CSerialPort& port);

// Reads the five values from the store; true only when all five were read. Values that
// were read are taken over even when others are missing.
bool LoadPortSettings(PortSettings& settings);
// Writes the five values in one write of the store; true when they were written.
bool SavePortSettings(const PortSettings& settings);
// With save clear: load, and when all five were read, open the port with them. With save
// set: store. Gives the result.
bool StoreOrLoadSettings(CSerialPort& port, bool save);
// Completes EnsureOpen: when the stored settings do not open the port, the settings
// editor is shown; OK opens once more with the edited settings.
void InstallOpenFallback(CSerialPort& port);
// The "Transmission Setup" command: closes the port, edits the settings; on OK opens
// with them and gives that result; on Cancel gives false without reopening.
bool Reconfigure(CSerialPort& port);

}  // namespace kvr
