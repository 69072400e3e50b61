#include "modules/QueryDevice.h"

#include "base/UserSeam.h"
#include "document/Identify.h"
#include "document/Transfer.h"  // OpenPortForCommand
#include "modules/ComSetup.h"
#include "modules/DisplayLink.h"

namespace kvr {

std::optional<DeviceType> QueryDeviceType(CQRLDoc& doc) {
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return std::nullopt;
    }
    // One message naming the device and the reason, instead of one per probe.
    if (!OpenPortForCommand(doc.Port())) {
        return std::nullopt;
    }
    std::optional<DeviceType> found;
    const char* text = nullptr;
    DisplaySetupRecord display{};
    ComSetupRecord com;
    if (CDisplayLink(&doc.Port()).ReadDisplaySetup(display, true, true)) {
        found = DeviceType::KvrDisplay;
        text = "A KVR Display was detected";
    } else if (CComLink(&doc.Port()).ReadComSetup(com, true)) {
        found = DeviceType::KvrCom;
        text = "A KVR Com was detected";
    } else {
        return QueryMeasuringUnit(doc);  // the lock is recursive
    }
    doc.SetDeviceType(static_cast<int>(*found));
    AppMessageBox(text, MsgIcon::Information, MsgButtons::Ok, kQueryDeviceTitle);
    return found;
}

}  // namespace kvr
