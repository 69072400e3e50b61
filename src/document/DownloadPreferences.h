// The "Download Preferences": what a download does without asking, board by board. Not
// stored anywhere; a new run starts with these values.
#pragma once

#include <array>

namespace kvr {

struct DownloadPreferences {
    // "Enable Download Preferences": without it every question is asked.
    bool enabled = false;
    // Per board (channel objects 0 to 2, then the main board).
    std::array<bool, 4> downloadToDifferentUnit{true, true, true, true};
    std::array<bool, 4> overwriteSerialNumber{false, false, false, false};
    std::array<bool, 4> overwriteCalibration{true, true, true, true};
    bool noDialogAfterUpload = true;
    bool noDialogAfterDownload = true;

    // "Factory", on the form only; "Enable Download Preferences" stays as it is.
    void Factory() {
        const bool keep = enabled;
        *this = DownloadPreferences{};
        enabled = keep;
    }
    // The twelve grid boxes and the two "No Dialog" boxes follow the enable box.
    bool DetailsEnabled() const { return enabled; }
    // A summary box after an upload or a download, unless the preferences suppress it.
    bool UploadDialog() const { return !(noDialogAfterUpload && enabled); }
    bool DownloadDialog() const { return !(noDialogAfterDownload && enabled); }

    bool operator==(const DownloadPreferences& other) const = default;
};

}  // namespace kvr
