// Upload and download: reading every board of the attached unit into the document, and
// writing the document back board by board with a read-back, guarding the unit's own
// serial number and calibration. Both run blocking on the calling thread under the
// document's DeviceLock; progress texts go through BusyMessage, results through the
// upload and download status panes and AppMessageBox.
#pragma once

#include <string>
#include <vector>

#include "base/UserSeam.h"
#include "document/QRLDoc.h"

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
// (bit i: channel object i succeeded; bit 3 is the main board, "3Ph"). Of a KVR 300's
// boards, board 0 alone is "Ch 1": only a KVR 100's is "KVR 100".
std::string TransferPaneText(bool download, unsigned mask, bool kvr300 = false);
void SetUploadPaneText(unsigned mask, bool kvr300 = false);
void SetDownloadPaneText(unsigned mask, bool kvr300 = false);

// The summary texts for a number of boards counted.
std::string UploadSummaryText(int count);
std::string DownloadSummaryText(int count);

// A board named for the user: "board 1 (channel 2, address 1)", "board 3 (main board,
// address 3)".
std::string BoardName(const CQRLDoc& doc, int index);

// Opens the document's port for a command the user started. When the stored settings do
// not open it, one message names the device and the reason; then, where the program has
// a port settings form, the user may choose other settings there (each choice that still
// does not open gives its own message). False when the port stays closed.
bool OpenPortForCommand(CSerialPort& port);

// Reads the channel's record from its unit; the record changes only when a valid one came
// back. Device code bit 0 follows the record's firmware version either way.
bool UploadChannel(CChannelLink& channel);

struct UploadOutcome {
    bool locked = false;      // the device lock was obtained
    bool portOpened = false;  // else one message said why and nothing else was shown
    int count = 0;            // the document's channel count after the upload
    unsigned mask = 0;        // bit i: channel object i was read
    // The boards the attached unit has: 1 a KVR 100, 15 a KVR 300 (its main board
    // answered, or a board beside channel 0 did, or the line was lost before that could
    // be known), 0 when nothing answered.
    unsigned unitBoards = 0;
    bool complete = false;  // every board of the unit was read
    std::string text;       // the summary, with the boards not read named below it
    std::string missing;    // the boards not read, named; empty when complete
};

// Reads channel objects 0 to 3 into the document, stopping at the first board that does
// not answer when stopAtFirstFailure is set. When no board beside channel 0 was read the
// main board is asked once more (unless it already was), since a unit whose main board
// answers is a KVR 300. Sets channelCount (1 for a KVR 100 in either mode),
// configurationPresent and lastUploadMask, shows the summary (unless suppressed by the
// preferences) and the upload pane, and loads the saved monitors into a document without
// any. Only an upload that read every board of the unit is called complete.
UploadOutcome UploadBoards(CQRLDoc& doc);
// As UploadBoards; true when at least one board was counted.
bool UploadAll(CQRLDoc& doc);

// The Upload command: under the device lock, opens the port (a port that will not open
// leaves the document as it was, with one message), empties the file paths, resets the
// document, then UploadBoards.
UploadOutcome RunUploadCommand(CQRLDoc& doc);
// As RunUploadCommand; the result is the contact state that the view shows.
bool UploadCommand(CQRLDoc& doc);

// Writes channel objects 0 to 3 only where they differ from the unit (the default), or
// every board whatever it holds.
enum class BoardWrites { SkipEqual, Every };

// Writes channel object `channelIndex` to its unit after the password check and the
// read-back, asking (or following the download preferences) before writing to a different
// unit and before overwriting the unit's serial number or calibration. The channel's
// record becomes what is written, before the write, whatever the write's outcome. A
// question answered with Cancel (the box closed without an answer) abandons the board.
// When the acknowledge is missing or wrong, the board is read back once: a record equal
// to what was sent counts as written.
bool DownloadChannel(CQRLDoc& doc, int channelIndex);

struct DownloadOutcome {
    bool locked = false;      // the device lock was obtained (else nothing was done)
    bool portOpened = false;  // else one message said why and nothing else was done
    bool abandoned = false;   // a question was cancelled; no further board was tried
    int count = 0;            // boards written, as the summary counts them
    unsigned mask = 0;        // bit i: channel object i was written (or already equal)
    bool complete = false;    // every board of the document was written
    int alreadyEqual = 0;     // boards that already held what would be written: not sent
    std::string text;         // the summary text
    // One line for each board not written, naming the board and the cause.
    std::vector<std::string> failures;
    // Boards whose acknowledge was missing or wrong but whose read-back proved the write.
    std::vector<std::string> notes;
};

// The Download command: every board of the document in turn (GetChannels), then the
// summary, the download pane and the COMMS lamp. A board whose read-back already equals
// what would be written (after the serial-number and calibration answers) is not written
// again but counts as downloaded, unless `writes` is Every or the stored preference
// "write every board" is set. After a KVR 300 download that wrote a board the main
// board is read again once the download delay has passed. The summary names the
// document's unit only when every board was written; failure lines and notes follow it.
DownloadOutcome DownloadCommand(CQRLDoc& doc, BoardWrites writes = BoardWrites::SkipEqual);

}  // namespace kvr
