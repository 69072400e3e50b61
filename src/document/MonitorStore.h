// The monitor list's persistence in the settings store.
#pragma once

#include "document/QRLDoc.h"

namespace kvr {

// Loads the saved monitor list into the document (with the KVR 100 pruning question).
void LoadMonitors(CQRLDoc& doc);
// Saves the document's monitor list (the port is closed first; all 60 bytes written).
void SaveMonitors(CQRLDoc& doc);

}  // namespace kvr
