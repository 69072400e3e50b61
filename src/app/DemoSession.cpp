#include "app/DemoSession.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "base/Registry.h"
#include "base/Settings.h"
#include "document/Password.h"
#include "link/PortMap.h"
#include "link/PortSetup.h"
#include "measure/EntityChannel.h"
#include "measure/MeasuredEntity.h"
#include "sim/PtyHost.h"
#include "sim/SimUnits.h"

namespace kvr::app {

namespace {

struct DemoMonitor {
    int channel;
    MeasuredEntity entity;
};

// Channel 1 and the three-phase totals, so the display shows live values at once.
constexpr DemoMonitor kDemoMonitors[] = {
    {0, entity::kVoltage},
    {0, entity::kCurrent},
    {0, entity::kActivePower},
    {0, entity::kPowerFactor},
    {0, entity::kFrequency},
    {kThreePhaseChannel, entity::kActivePower},
    {kThreePhaseChannel, entity::kReactivePower},
    {kThreePhaseChannel, entity::kPowerFactor},
};

// Further pairs for larger lists: every rate value of each measuring channel.
constexpr MeasuredEntity kRateEntities[] = {
    entity::kVoltage,       entity::kCurrent,     entity::kActivePower, entity::kApparentPower,
    entity::kReactivePower, entity::kPowerFactor, entity::kFrequency,
};

std::string TempBase() {
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

}  // namespace

DemoSession::DemoSession(const DemoOptions& options) : options_(options) {}

DemoSession::~DemoSession() {
    Stop();
}

void DemoSession::SetEnv(SavedEnv& saved, const std::string& value) {
    const char* old = std::getenv(saved.name);
    saved.had = old != nullptr;
    saved.value = old != nullptr ? old : "";
    setenv(saved.name, value.c_str(), 1);
}

bool DemoSession::SeedStore(std::string& error) {
    if (CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword,
                               kDemoPassword) != kRegOk) {
        error = "cannot write the demo settings file " + UserSettingsPath();
        return false;
    }
    // The view's start-up loads these and opens the port with them (the device path set
    // by Attach takes the place of the port number).
    PortSettings port;
    port.port = kDemoPortNumber;
    port.baud = std::to_string(options_.baud);
    port.parity = "None";
    port.dataBits = "8";
    port.stopBits = "1";
    MonitorBytes entities{};
    MonitorBytes channels{};
    const int wanted = std::clamp(options_.monitorCount, 1, static_cast<int>(kStoredMonitors));
    constexpr int kFirst = static_cast<int>(std::size(kDemoMonitors));
    constexpr int kRates = static_cast<int>(std::size(kRateEntities));
    for (int i = 0; i < wanted; ++i) {
        DemoMonitor m{};
        if (i < kFirst) {
            m = kDemoMonitors[i];
        } else {
            const int k = (i - kFirst) % (kMeasuringChannels * kRates);
            m = {k / kRates, kRateEntities[k % kRates]};
        }
        entities[static_cast<size_t>(i)] = static_cast<uint8_t>(m.entity);
        channels[static_cast<size_t>(i)] = static_cast<uint8_t>(m.channel);
    }
    const auto count = static_cast<uint16_t>(wanted);
    if (!SavePortSettings(port) || !WriteMonitorList(count, entities, channels)) {
        error = "cannot write the demo settings file " + UserSettingsPath();
        return false;
    }
    return true;
}

bool DemoSession::Start(std::string& error) {
    if (Running()) {
        return true;
    }
    std::string pattern = TempBase() + "/kvr-demo-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a demo folder under " + TempBase() + ": " + std::strerror(errno);
        return false;
    }
    folder_ = pattern;
    // Before anything reads a setting: from here on every store of this run is the demo's.
    SetEnv(settingsEnv_, folder_ + "/settings.reg");
    SetEnv(portsEnv_, folder_ + "/ports.conf");
    envChanged_ = true;
    if (!SeedStore(error)) {
        Stop();
        return false;
    }

    sim::SimOptions sim;
    sim.kind = sim::UnitKind::Kvr300;
    sim.firmware = 189;
    sim.baud = options_.baud;
    sim.stateFile = folder_ + "/kvr300.state";  // edits survive while the demo runs
    units_ = std::make_unique<sim::SimUnits>(sim);
    host_ = std::make_unique<sim::PtyHost>(*units_);
    std::string hostError;
    if (!host_->Start("", hostError)) {
        error = "cannot start the simulated KVR 300: " + hostError;
        Stop();
        return false;
    }
    device_ = host_->SlavePath();
    // Port 1 of the demo's port table is the simulated unit, so the port form shows it.
    std::string portError;
    if (!SavePortOverride(PortOverridesPath(), kDemoPortNumber, device_, portError)) {
        error = "cannot write the demo port table: " + portError;
        Stop();
        return false;
    }
    if (options_.unlockPassword) {
        SetRunPassword(kDemoPassword);
    }
    return true;
}

void DemoSession::Attach(CQRLDoc& doc) const {
    PortSettings& s = doc.Port().Settings();
    s.port = kDemoPortNumber;
    s.device = device_;
    s.baud = std::to_string(options_.baud);
    s.parity = "None";
    s.dataBits = "8";
    s.stopBits = "1";
}

std::string DemoSession::Banner() const {
    return "kvrview demo: a simulated KVR 300 on " + device_ + " (port " +
           std::to_string(kDemoPortNumber) + ", " + std::to_string(options_.baud) +
           " baud); configuration password \"" + kDemoPassword +
           "\"; settings of this run are kept apart and removed at exit";
}

void DemoSession::Stop() {
    if (host_ != nullptr) {
        host_->Stop();
        host_.reset();
    }
    units_.reset();
    if (options_.unlockPassword) {
        SetRunPassword("");  // the demo password must not outlive the demo
    }
    if (envChanged_) {
        for (SavedEnv* saved : {&settingsEnv_, &portsEnv_}) {
            if (saved->had) {
                setenv(saved->name, saved->value.c_str(), 1);
            } else {
                unsetenv(saved->name);
            }
        }
        envChanged_ = false;
    }
    if (!folder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);  // best effort: it is a temporary folder
        folder_.clear();
    }
    device_.clear();
}

}  // namespace kvr::app
