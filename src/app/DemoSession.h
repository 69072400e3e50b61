// DemoSession: `kvrview --demo`. A simulated KVR 300 is started in-process on a
// pseudo-terminal, and the whole run keeps its settings in a temporary folder, so the
// demonstration can neither read nor overwrite the user's stored port, password or
// monitors. Plain C++ (no Qt), so it is testable without a display.
//
// Integration (main.cpp):
//   1. Construct the DemoSession and call Start() FIRST, before anything reads a setting
//      (window position, port settings, monitors, password): Start points
//      KVR_SETTINGS_FILE and KVR_PORTS_FILE at files in the demo folder.
//   2. After the document exists: demo.Attach(doc), so the port opens the pseudo-terminal.
//      The view's normal start-up (StoreOrLoadSettings with save clear) then opens it.
//   3. view.SetSaveSettingsOnExit(demo.PersistPortSettings()): a demo run stores nothing.
//   4. Destroy the DemoSession AFTER the main window, the view and the document: its end
//      restores the environment, so anything stored later would reach the user's files.
#pragma once

#include <memory>
#include <string>

#include "document/QRLDoc.h"

namespace kvr::sim {
class SimUnits;
class PtyHost;
}  // namespace kvr::sim

namespace kvr::app {

// The configuration password of every demo run (it is stored in the demo's own store).
inline constexpr const char* kDemoPassword = "demo";
// The port number the demo's port table maps to the pseudo-terminal.
inline constexpr int kDemoPortNumber = 1;

struct DemoOptions {
    unsigned baud = 9600;
    // True: the run password is set to the demo password at start, so Download asks
    // nothing. False (the default): Download asks for it, as it would for a real unit.
    bool unlockPassword = false;
    // Monitors seeded into the demo store, 1 to 60: channel 1 and the three-phase totals
    // first, then the other channels' values (repeating) - the benchmark asks for 60.
    int monitorCount = 8;
};

class DemoSession {
  public:
    explicit DemoSession(const DemoOptions& options = {});
    // Stops the simulated unit, restores the environment and removes the demo folder.
    ~DemoSession();
    DemoSession(const DemoSession&) = delete;
    DemoSession& operator=(const DemoSession&) = delete;

    // Makes the demo folder, isolates the settings, seeds the demo store (password, port
    // settings, monitors) and starts the simulated KVR 300. False with a one-line reason
    // (and nothing left changed) on failure.
    bool Start(std::string& error);
    bool Running() const { return host_ != nullptr; }

    // Points the document's port at the pseudo-terminal with 9600, None, 8, 1. Does not
    // open it and writes nothing to any store.
    void Attach(CQRLDoc& doc) const;

    // One line for the program to print at start (standard error): where the simulated
    // unit is and the configuration password of the demo.
    std::string Banner() const;

    // A demo run must not store the port settings (nor the monitor list) at exit.
    bool PersistPortSettings() const { return false; }

    // The temporary folder holding the demo's settings and the unit's state file.
    const std::string& Folder() const { return folder_; }
    const std::string& DevicePath() const { return device_; }
    sim::SimUnits* Units() { return units_.get(); }

  private:
    struct SavedEnv {
        const char* name;
        bool had = false;
        std::string value;
    };
    bool SeedStore(std::string& error);
    void SetEnv(SavedEnv& saved, const std::string& value);
    void Stop();

    DemoOptions options_;
    std::string folder_;
    std::string device_;
    SavedEnv settingsEnv_{"KVR_SETTINGS_FILE", false, {}};
    SavedEnv portsEnv_{"KVR_PORTS_FILE", false, {}};
    bool envChanged_ = false;
    std::unique_ptr<sim::SimUnits> units_;
    std::unique_ptr<sim::PtyHost> host_;
};

}  // namespace kvr::app
