// A document wired to simulated units in-process, on a virtual clock, for the monitor
// tests: the records uploaded as an upload would leave them.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "base/Seams.h"
#include "document/QRLDoc.h"
#include "sim/SimLine.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr::test {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SimDocTest : public ::testing::Test {
  protected:
    // Units of the given kind, their boards uploaded; the channel count as an upload
    // leaves it (4 for a KVR 300, 1 for a KVR 100).
    void Attach(sim::UnitKind kind = sim::UnitKind::Kvr300) {
        sim::SimOptions options;
        options.kind = kind;
        options.pace = false;
        units = std::make_unique<sim::SimUnits>(options);
        doc.Port().SetLineOpener(sim::SimLineOpener(*units));
        doc.Port().Settings().device = "/dev/kvr-sim";
        doc.OnNewDocument();
        const int boards = kind == sim::UnitKind::Kvr300 ? 4 : 1;
        for (int b = 0; b < boards; ++b) {
            ASSERT_TRUE(doc.Channel(b).ReadParameters()) << b;
            doc.Channel(b).UpdateExtendedFromFirmware();
        }
        doc.channelCount = static_cast<uint16_t>(boards);
    }
    // (channel, entity) pairs as the document's monitor list.
    void SetMonitors(const std::vector<std::pair<int, int>>& monitors) {
        doc.monitorCount = static_cast<uint16_t>(monitors.size());
        for (size_t i = 0; i < monitors.size(); ++i) {
            doc.monitorChannels[i] = static_cast<uint8_t>(monitors[i].first);
            doc.monitorEntities[i] = static_cast<uint8_t>(monitors[i].second);
        }
    }

    IsolatedSettings isolated;
    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
    std::unique_ptr<sim::SimUnits> units;
    CQRLDoc doc;
    ScopedActiveDocument active{doc};
};

}  // namespace kvr::test
