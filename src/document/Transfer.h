// Upload and download: reading every board of the attached unit into the document, and
// writing the document back board by board with a read-back, guarding the unit's own
// serial number and calibration. Both run blocking on the calling thread under the
// document's DeviceLock; progress texts go through BusyMessage, results through the
// upload and download status panes and AppMessageBox.
#pragma once

#include <string>

#include "document/QRLDoc.h"
#include "link/UserSeam.h"

namespace kvr {

// Question and message texts of the download, for the seams that answer them.
inline constexpr const char* kReadBackFailedText = "Failed to read back the parameter record!";
inline constexpr const char* kDifferentUnitText =
    "A different unit appears to have been attached since the last upload!\nAre you sure you "
    "wish to proceed ?";
inline constexpr const char* kOverwriteSerialText =
    "Do you wish to overwrite the serial number of the attached KVR unit ?";
inline constexpr const char* kOverwriteCalibrationText =
    "The calibration data has changed.\nDo you wish to overwrite the calibration data of the "
    "attached KVR unit ?";

// The text of the upload pane (download false) or the download pane for a result mask
// (bit i: channel object i succeeded; bit 3 is the main board, "3Ph").
std::string TransferPaneText(bool download, unsigned mask);
void SetUploadPaneText(unsigned mask);
void SetDownloadPaneText(unsigned mask);

// The summary texts for a number of boards counted.
std::string UploadSummaryText(int count);
std::string DownloadSummaryText(int count);

// Reads the channel's record from its unit; the record changes only when a valid one came
// back. Device code bit 0 follows the record's firmware version either way.
bool UploadChannel(CChannelLink& channel);

// Reads channel objects 0 to 3 into the document, stopping at the first board that does
// not answer when stopAtFirstFailure is set. Sets channelCount, configurationPresent and
// lastUploadMask, shows the summary (unless suppressed by the preferences) and the upload
// pane, and loads the saved monitors into a document without any. True when at least one
// board was counted. A continue-mode upload in which no board answered counts none.
bool UploadAll(CQRLDoc& doc);

// The Upload command up to the upload itself: empties the file paths, resets the
// document, then UploadAll. The result is the contact state that the view shows.
bool UploadCommand(CQRLDoc& doc);

// Writes channel object `channelIndex` to its unit after the password check and the
// read-back, asking (or following the download preferences) before writing to a different
// unit and before overwriting the unit's serial number or calibration. The channel's
// record becomes what is written, before the write, whatever the write's outcome. A
// question answered with Cancel (the box closed without an answer) abandons the board.
bool DownloadChannel(CQRLDoc& doc, int channelIndex);

struct DownloadOutcome {
    bool locked = false;     // the device lock was obtained (else nothing was done)
    bool abandoned = false;  // a question was cancelled; no further board was tried
    int count = 0;           // boards counted as the summary counts them
    unsigned mask = 0;       // bit i: channel object i was written and acknowledged
    bool complete = false;   // every board of the document was written
    std::string text;        // the summary text
};

// The Download command: every board of the document in turn (GetChannels), then the
// summary, the download pane and the COMMS lamp. After a full KVR 300 download the main
// board is read again once the download delay has passed.
DownloadOutcome DownloadCommand(CQRLDoc& doc);

}  // namespace kvr
