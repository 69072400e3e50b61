// The "Query Device" command for all four kinds of unit.
#pragma once

#include <optional>

#include "document/QRLDoc.h"

namespace kvr {

// Under the DeviceLock (nothing at all when it is not obtained), in this order: a KVR
// Display (synchronised on its cue), a KVR Com, then the measuring units, the KVR 300
// main board before channel 0. Modules are probed quietly. Sets the device type and says
// which unit was found in a box titled "Query Device"; nothing changes and nothing is
// shown when no unit answers.
std::optional<DeviceType> QueryDeviceType(CQRLDoc& doc);

}  // namespace kvr
