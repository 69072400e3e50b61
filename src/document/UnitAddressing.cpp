#include "document/UnitAddressing.h"

#include <cstdio>

#include "base/UserSeam.h"

namespace kvr {

bool ApplyKvr100Address(CQRLDoc& doc, int address) {
    if (!IsKvr100Address(address)) {
        return false;
    }
    // The reading thread addresses the boards through these records.
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        doc.Channel(i).record.SetUnitAddress(
            kKvr100ChannelAddresses[static_cast<size_t>(address)][static_cast<size_t>(i)]);
    }
    doc.SetKvr100Address(static_cast<uint8_t>(address));
    return true;
}

int Kvr100AddressOnOpen(const CQRLDoc& doc) {
    const int address = doc.Channel(0).record.GetUnitAddress();
    if (!IsKvr100Address(address)) {
        char text[64];
        std::snprintf(text, sizeof text, "Value of Chan is %i, Chan", address);
        AppMessageBox(text, MsgIcon::Warning);
        return -1;
    }
    return address;
}

}  // namespace kvr
