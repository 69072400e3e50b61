#include "document/Identify.h"

#include "base/UserSeam.h"
#include "document/Transfer.h"

namespace kvr {

bool ProbeChannel(CQRLDoc& doc, int index) {
    if (index < 0 || index >= kChannelObjects) {
        return false;
    }
    ParameterRecord scratch;
    return doc.Channel(index).ReadParameters(scratch);
}

std::optional<DeviceType> QueryMeasuringUnit(CQRLDoc& doc) {
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return std::nullopt;
    }
    // One message naming the device and the reason, instead of one per probe.
    if (!OpenPortForCommand(doc.Port())) {
        return std::nullopt;
    }
    // The modules' probes come first in QueryDeviceType (modules/QueryDevice.h).
    std::optional<DeviceType> found;
    const char* text = nullptr;
    if (ProbeChannel(doc, kMainBoard)) {
        found = DeviceType::Kvr300;
        text = "A KVR 300 was detected";
    } else if (ProbeChannel(doc, 0)) {
        found = DeviceType::Kvr100;
        text = "A KVR 100 was detected";
    }
    if (found) {
        doc.SetDeviceType(static_cast<int>(*found));
        AppMessageBox(text, MsgIcon::Information, MsgButtons::Ok, kQueryDeviceTitle);
    }
    return found;
}

}  // namespace kvr
