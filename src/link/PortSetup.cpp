#include "link/PortSetup.h"

#include "base/Registry.h"

namespace kvr {

std::string ValidatePortForm(int selectedPort, const std::string& baud, const std::string& parity,
                             const std::string& dataBits, const std::string& stopBits) {
    if (selectedPort < 1 || selectedPort > 32) {
        return "Please select a valid communications port";
    }
    if (baud.empty()) {
        return "Please select a valid baud rate";
    }
    if (parity.empty()) {
        return "Please select a valid parity";
    }
    if (dataBits.empty()) {
        return "Please select a valid number of data bits";
    }
    if (stopBits.empty()) {
        return "Please select a valid number of stop bits";
    }
    return {};
}

bool EditPortSettings(CSerialPort& port) {
    const PortSettingsEditor editor = CurrentSeam(&Seams::portSettingsEditor);
    if (!editor) {
        return false;
    }
    // The editor works on a copy: Cancel must leave the settings as they were.
    PortSettings edited = port.Settings();
    if (!editor(edited)) {
        return false;
    }
    port.Settings() = edited;
    return true;
}

namespace {

// The four text values of the port settings, by their store names.
struct TextValue {
    const char* name;
    std::string PortSettings::*field;
};
constexpr TextValue kTextValues[] = {{kValBaudRate, &PortSettings::baud},
                                     {kValParity, &PortSettings::parity},
                                     {kValDataBits, &PortSettings::dataBits},
                                     {kValStopBits, &PortSettings::stopBits}};

}  // namespace

bool LoadPortSettings(PortSettings& settings) {
    int missing = 0;
    uint32_t number = 0;
    if (CRegistry::ReadDword(RegRoot::CurrentUser, kKeyPreferences, kValComPort, number) ==
            kRegOk &&
        number <= 0xFFFF) {
        settings.port = static_cast<uint16_t>(number);
    } else {
        ++missing;
    }
    for (const TextValue& t : kTextValues) {
        std::string value;
        if (CRegistry::ReadString(RegRoot::CurrentUser, kKeyPreferences, t.name, value) == kRegOk) {
            settings.*t.field = value;
        } else {
            ++missing;
        }
    }
    return missing == 0;
}

bool SavePortSettings(const PortSettings& settings) {
    // The five values in one write: a kill between them must not leave a mixed setup.
    CRegistryBatch batch;
    batch.WriteDword(kKeyPreferences, kValComPort, settings.port);
    for (const TextValue& t : kTextValues) {
        batch.WriteString(kKeyPreferences, t.name, settings.*t.field);
    }
    return batch.Commit() == kRegOk;
}

bool StoreOrLoadSettings(CSerialPort& port, bool save) {
    if (save) {
        return SavePortSettings(port.Settings());
    }
    if (!LoadPortSettings(port.Settings())) {
        return false;
    }
    return port.OpenWithSettings();
}

void InstallOpenFallback(CSerialPort& port) {
    port.SetOpenFallback([](CSerialPort& p) {
        if (!EditPortSettings(p)) {
            return false;
        }
        return p.OpenWithSettings();
    });
}

bool Reconfigure(CSerialPort& port) {
    port.Close();
    if (!EditPortSettings(port)) {
        return false;
    }
    return port.OpenWithSettings();
}

}  // namespace kvr
