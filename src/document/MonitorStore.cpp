#include "document/MonitorStore.h"

#include "base/UserSeam.h"

namespace kvr {

void LoadMonitors(CQRLDoc& doc) {
    MonitorList& monitors = doc.Monitors();
    monitors.ReadFromStore();
    if (doc.GetChannels() != 1 || monitors.OnlyChannel0()) {
        return;
    }
    if (AppMessageBox(kKvr300MonitorsQuestion, MsgIcon::None, MsgButtons::YesNo) ==
        MsgAnswer::Yes) {
        monitors.KeepChannel0();
    }
}

void SaveMonitors(CQRLDoc& doc) {
    doc.Port().Close();
    doc.Monitors().WriteToStore();
}

}  // namespace kvr
