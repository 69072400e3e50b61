#include "document/UnitAddressing.h"

#include <cstdio>

#include "base/UserSeam.h"

namespace kvr {

bool ApplyKvr100Address(CQRLDoc& doc, int address) {
    static const uint8_t kTable[3][3] = {{0, 1, 2}, {1, 0, 2}, {2, 1, 0}};
    if (address < 0 || address > 2) {
        return false;
    }
    // The reading thread addresses the boards through these records.
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        doc.Channel(i).record.SetUnitAddress(kTable[address][i]);
    }
    doc.kvr100Address = static_cast<uint8_t>(address);
    return true;
}

int Kvr100AddressOnOpen(const CQRLDoc& doc) {
    const int address = doc.Channel(0).record.GetUnitAddress();
    if (address > 2) {
        char text[64];
        std::snprintf(text, sizeof text, "Value of Chan is %i, Chan", address);
        AppMessageBox(text, MsgIcon::Warning);
        return -1;
    }
    return address;
}

DownloadPreferences DownloadPreferences::FromDocument(const CQRLDoc& doc) {
    DownloadPreferences p;
    p.enabled = doc.preferencesEnabled;
    p.downloadToDifferentUnit = doc.downloadToDifferentUnit;
    p.overwriteSerialNumber = doc.overwriteSerialNumber;
    p.overwriteCalibration = doc.overwriteCalibration;
    p.noDialogAfterUpload = doc.noDialogAfterUpload;
    p.noDialogAfterDownload = doc.noDialogAfterDownload;
    return p;
}

void DownloadPreferences::Factory() {
    downloadToDifferentUnit.fill(true);
    overwriteCalibration.fill(true);
    overwriteSerialNumber.fill(false);
    noDialogAfterUpload = true;
    noDialogAfterDownload = true;
}

void DownloadPreferences::ApplyTo(CQRLDoc& doc) const {
    doc.preferencesEnabled = enabled;
    doc.downloadToDifferentUnit = downloadToDifferentUnit;
    doc.overwriteSerialNumber = overwriteSerialNumber;
    doc.overwriteCalibration = overwriteCalibration;
    doc.noDialogAfterUpload = noDialogAfterUpload;
    doc.noDialogAfterDownload = noDialogAfterDownload;
}

}  // namespace kvr
