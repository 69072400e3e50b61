// Which measuring unit hangs on the line: the probes of the "Query Device" command.
#pragma once

#include <optional>

#include "document/QRLDoc.h"

namespace kvr {

inline constexpr const char* kQueryDeviceTitle = "Query Device";

// Reads the record at the address held in channel object `index` (0 to 3) into a scratch
// record, leaving the channel's own record alone. True when a valid record came back; any
// other index fails without sending anything.
bool ProbeChannel(CQRLDoc& doc, int index);

// The measuring units' part of the "Query Device" command (QueryDeviceType in
// modules/QueryDevice.h probes the modules first): under the DeviceLock (nothing at all
// when it is not obtained), the KVR 300 main board first, as a KVR 300 also answers at
// channel 0's address, then channel 0. Sets the device type and says which unit was
// found; nothing changes and nothing is shown when no unit answers. A port that will not
// open is explained once (the device and the reason), not once for each probe.
std::optional<DeviceType> QueryMeasuringUnit(CQRLDoc& doc);

}  // namespace kvr
