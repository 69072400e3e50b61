// A document with the test seams in place (virtual clock, scripted user, private settings
// store) and, once StartUnits is called, simulated units on its port.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "base/Clock.h"
#include "document/QRLDoc.h"
#include "sim/SimLine.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr::test {

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
    ScopedClock useClock{clock};
    ScriptedUser user;
    ScopedUserSeam useUser{user};
    CQRLDoc doc;
    ScopedActiveDocument active{doc};
    std::unique_ptr<sim::SimUnits> units;
};

}  // namespace kvr::test
