// The monitor list's persistence in the settings store.
#pragma once

#include "document/QRLDoc.h"

namespace kvr {

// Asked when a KVR 100 is attached and the stored list names other channels than 0.
inline constexpr const char* kKvr300MonitorsQuestion =
    "The Monitors were previously set up for a KVR 300\r\nSome of the channels are not "
    "appropriate for the \r\nattached KVR. Do you wish to remove the inapropriate channels?";

// Loads the saved monitor list into the document (with the KVR 100 pruning question).
void LoadMonitors(CQRLDoc& doc);
// Saves the document's monitor list (the port is closed first; all 60 bytes written).
void SaveMonitors(CQRLDoc& doc);

}  // namespace kvr
