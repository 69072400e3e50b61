// A document with the test seams in place (virtual clock, scripted user, private settings
// store) and, once StartUnits is called, simulated units on its port.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "base/Clock.h"
#include "base/Seams.h"
#include "document/QRLDoc.h"
#include "sim/SimLine.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr::test {

// Holds the document's device lock on another thread, as a reading cycle that does not end
// would, from construction until Release (or destruction).
class LockHeldElsewhere {
  public:
    explicit LockHeldElsewhere(CQRLDoc& doc)
        : holder_([this, &doc] {
              DeviceLock lock(doc);
              held_ = lock.Lock();
              taken_ = true;
              while (!release_) {
                  std::this_thread::yield();
              }
          }) {
        while (!taken_) {
            std::this_thread::yield();
        }
        EXPECT_TRUE(held_) << "the device lock was not taken";
    }
    ~LockHeldElsewhere() { Release(); }
    LockHeldElsewhere(const LockHeldElsewhere&) = delete;
    LockHeldElsewhere& operator=(const LockHeldElsewhere&) = delete;
    void Release() {
        release_ = true;
        if (holder_.joinable()) {
            holder_.join();
        }
    }

  private:
    std::atomic<bool> held_{false};
    std::atomic<bool> taken_{false};
    std::atomic<bool> release_{false};
    std::thread holder_;
};

// A line opener for the units that fails, as a vanished USB adapter does, while unplugged.
inline CSerialPort::LineOpener UnpluggableOpener(sim::SimUnits& units,
                                                 const std::atomic<bool>& unplugged) {
    return [&unplugged, open = sim::SimLineOpener(units)](
               const std::string& device, const LineSettings& settings,
               std::string& error) -> std::unique_ptr<ISerialLine> {
        if (unplugged) {
            error = "no such device: " + device;
            return nullptr;
        }
        return open(device, settings, error);
    };
}

class SimDocumentTest : public ::testing::Test {
  protected:
    // Fresh, unpaced units on the document's port (closed first, so the next use reopens).
    void StartUnits(sim::SimOptions options = {}) {
        doc.Port().Close();
        options.pace = false;
        units = std::make_unique<sim::SimUnits>(options);
        doc.Port().Settings().device = "/dev/kvr-sim";
        doc.Port().SetLineOpener(sim::SimLineOpener(*units));
    }

    IsolatedSettings isolated;
    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
    CQRLDoc doc;
    ScopedActiveDocument active{doc};
    std::unique_ptr<sim::SimUnits> units;
};

}  // namespace kvr::test
