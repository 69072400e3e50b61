// The "KVR100 Address" form as logic (the "Download Preferences" are
// document/DownloadPreferences.h).
#pragma once

#include "document/DownloadPreferences.h"
#include "document/Kvr100Address.h"
#include "document/QRLDoc.h"

namespace kvr {

// Applies a single KVR 100's address (0 to 2) at once: channel object 0 takes it, the
// channel that would otherwise own it takes address 0, and the document keeps the choice.
// Other choices are ignored (false), as is the choice while the device lock cannot be had.
bool ApplyKvr100Address(CQRLDoc& doc, int address);
// What the form shows on opening: the choice matching channel 0's address, or -1 (no
// choice) after the message "Value of Chan is %i, Chan" for an address outside 0 to 2.
int Kvr100AddressOnOpen(const CQRLDoc& doc);

}  // namespace kvr
