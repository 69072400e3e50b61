// The "KVR100 Address" and "Download Preferences" forms as logic.
#pragma once

#include <array>

#include "document/QRLDoc.h"

namespace kvr {

// Applies a single KVR 100's address (0 to 2) at once: channel object 0 takes it, the
// channel that would otherwise own it takes address 0, and the document keeps the choice.
// Other choices are ignored (false), as is the choice while the device lock cannot be had.
bool ApplyKvr100Address(CQRLDoc& doc, int address);
// What the form shows on opening: the choice matching channel 0's address, or -1 (no
// choice) after the message "Value of Chan is %i, Chan" for an address outside 0 to 2.
int Kvr100AddressOnOpen(const CQRLDoc& doc);

// The fifteen values of the "Download Preferences" form, edited on a copy.
struct DownloadPreferences {
    bool enabled = false;
    std::array<bool, 4> downloadToDifferentUnit{};
    std::array<bool, 4> overwriteSerialNumber{};
    std::array<bool, 4> overwriteCalibration{};
    bool noDialogAfterUpload = false;
    bool noDialogAfterDownload = false;

    static DownloadPreferences FromDocument(const CQRLDoc& doc);
    // "Factory", on the form only; "Enable Download Preferences" stays as it is.
    void Factory();
    // The twelve grid boxes and the two "No Dialog" boxes follow the enable box.
    bool DetailsEnabled() const { return enabled; }
    // OK: all fifteen values to the document.
    void ApplyTo(CQRLDoc& doc) const;
};

}  // namespace kvr
