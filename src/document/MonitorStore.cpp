#include "document/MonitorStore.h"

#include <algorithm>

#include "base/Settings.h"
#include "base/UserSeam.h"

namespace kvr {

void LoadMonitors(CQRLDoc& doc) {
    uint16_t count = 0;
    // A count that cannot be read is 0; the arrays keep their bytes where nothing was read.
    ReadMonitorList(count, doc.monitorEntities, doc.monitorChannels);
    doc.monitorCount = std::min<uint16_t>(count, kMaxMonitors);

    if (doc.GetChannels() != 1) {
        return;
    }
    const auto first = doc.monitorChannels.begin();
    const auto last = first + doc.monitorCount;
    if (std::all_of(first, last, [](uint8_t channel) { return channel == 0; })) {
        return;
    }
    if (AppMessageBox(kKvr300MonitorsQuestion, MsgIcon::None, MsgButtons::YesNo) !=
        MsgAnswer::Yes) {
        return;
    }
    // Keep the channel 0 monitors in their order, closing the gaps.
    uint16_t kept = 0;
    for (uint16_t i = 0; i < doc.monitorCount; ++i) {
        if (doc.monitorChannels[i] == 0) {
            doc.monitorEntities[kept] = doc.monitorEntities[i];
            doc.monitorChannels[kept] = doc.monitorChannels[i];
            ++kept;
        }
    }
    doc.monitorCount = kept;
}

void SaveMonitors(CQRLDoc& doc) {
    doc.Port().Close();
    // A write failure is not reported: the list stays in the document for this run.
    WriteMonitorList(std::min<uint16_t>(doc.monitorCount, kMaxMonitors), doc.monitorEntities,
                     doc.monitorChannels);
}

}  // namespace kvr
