// A document wired to simulated units in-process, on a virtual clock, for the monitor
// tests: the records uploaded as an upload would leave them.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTimer.h"
#include "support/SimDocument.h"

namespace kvr::test {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The view logging to a new file, its first line due now.
inline void StartViewLog(CQRLDoc& doc, MonitorViewState& view, const std::string& path,
                         uint32_t intervalMs) {
    ASSERT_TRUE(StartLog(doc, path, &view.logHeader));
    view.logPath = path;
    view.logIntervalMs = intervalMs;
    view.loggingEnabled = true;
    view.nextLogDueMs = GetClock().NowMs();
}

class SimDocTest : public SimDocumentTest {
  protected:
    // Units of the given kind, their boards uploaded; the channel count as an upload
    // leaves it (4 for a KVR 300, 1 for a KVR 100).
    void Attach(sim::UnitKind kind = sim::UnitKind::Kvr300) {
        sim::SimOptions options;
        options.kind = kind;
        StartUnits(options);
        doc.OnNewDocument();
        const int boards = kind == sim::UnitKind::Kvr300 ? 4 : 1;
        for (int b = 0; b < boards; ++b) {
            ASSERT_TRUE(doc.Channel(b).ReadParameters()) << b;
            doc.Channel(b).UpdateExtendedFromFirmware();
        }
        doc.SetChannels(static_cast<uint16_t>(boards));
    }
    // (channel, entity) pairs as the document's monitor list.
    void SetMonitors(const std::vector<std::pair<int, MeasuredEntity>>& monitors) {
        doc.Monitors().count = static_cast<uint16_t>(monitors.size());
        for (size_t i = 0; i < monitors.size(); ++i) {
            doc.Monitors().channels[i] = static_cast<uint8_t>(monitors[i].first);
            doc.Monitors().entities[i] = static_cast<uint8_t>(EntityCode(monitors[i].second));
        }
    }
};

}  // namespace kvr::test
