// Setup files (*.kvr): one configuration of the document, byte for byte.
//
// Layout (little-endian): signature u16 (10101, 10102 or 10103), description (archive
// string), channelCount u16 (0-4), monitorCount u16 (0-60), layoutColumns u16 (absent in
// 10101 files, which read as 3), monitorCount entity bytes, monitorCount channel bytes,
// then the 115-byte record of each of the first channelCount boards.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Files.h"  // ReadWholeFile, WriteFileAtomically
#include "base/Seams.h"
#include "document/QRLDoc.h"
#include "link/ParameterRecord.h"

namespace kvr {

inline constexpr uint16_t kSetupSignature10101 = 10101;  // no layoutColumns field
inline constexpr uint16_t kSetupSignature10102 = 10102;
inline constexpr uint16_t kSetupSignature = 10103;  // the one this program writes
inline constexpr uint16_t kSetupMaxChannels = 4;
inline constexpr uint16_t kSetupDefaultColumns = kDefaultLayoutColumns;
inline constexpr const char* kInvalidSignatureText =
    "Not a valid KVR setup file - invalid signature!";
inline constexpr const char* kInvalidDataText = "Not a valid KVR setup file - invalid data!";
inline constexpr const char* kSetupFilter = "KVR 100/300 files (*.kvr)|*.kvr||";

bool IsSetupSignature(uint16_t signature);

// --- archive strings -------------------------------------------------------------------
// A length prefix, then the bytes without terminator. The prefix is one byte below 255;
// else 0xFF and a u16 below 0xFFFE; else 0xFF, 0xFFFF and a u32.
void PutArchiveString(std::vector<uint8_t>& out, const std::string& text);
// Reads one at pos and advances pos; false (text and pos unchanged) when the data ends
// inside the string.
bool GetArchiveString(const uint8_t* data, size_t size, size_t& pos, std::string& text);

// --- the file's content, apart from any document ---------------------------------------
struct SetupImage {
    uint16_t signature = kSetupSignature;
    std::string description;
    uint16_t channelCount = 0;
    MonitorList monitors;  // count, layout columns and the monitors
    // Only the first channelCount are part of the file.
    std::array<ParameterRecord, kChannelObjects> records{};

    bool operator==(const SetupImage& other) const = default;
};

enum class SetupStatus {
    Loaded,            // taken over (possibly partly, see SetupReadInfo::truncated)
    InvalidSignature,  // not a setup file: nothing read, configuration unchanged
    InvalidData,       // impossible counts: the open fails, nothing taken over
    EndOfFile,         // ends in a 16-bit field or the description: the open fails
    ReadError,         // the file could not be opened or read
};

// What a read found beyond the status, for tools that show a file.
struct SetupReadInfo {
    uint16_t signature = 0;
    // The file ends inside the monitor arrays or a board record; those bytes were filled
    // as far as the file goes and the rest kept what it held.
    bool truncated = false;
    std::string truncatedIn;   // e.g. "the monitor entities", "board 2"
    size_t trailingBytes = 0;  // bytes after the last record (ignored)
};

// The document's configuration as a file holds it, with the given signature.
SetupImage CaptureSetup(const CQRLDoc& doc, uint16_t signature = kSetupSignature);
// The file bytes of an image; signature 10101 leaves out layoutColumns. Counts above
// their limits are written as at most 4 boards and 60 monitors.
std::vector<uint8_t> EncodeSetup(const SetupImage& image);
// Parses a file onto an image that starts as the configuration it replaces (bytes the
// file does not hold keep their value, as the end-of-file rule wants). On any status but
// Loaded the image may be partly changed: parse into a copy.
SetupStatus DecodeSetup(const uint8_t* data, size_t size, SetupImage& image,
                        SetupReadInfo* info = nullptr);
// Takes an image over: description, counts, columns, monitors and the first
// channelCount records, with every saved copy made equal. An image without monitors
// leaves the document's monitors as they are.
void ApplySetup(CQRLDoc& doc, const SetupImage& image);
// The saved monitor copies and the saved records of the first channelCount boards made
// equal to the live values, as after a store.
void MarkSetupSaved(CQRLDoc& doc);

// The document's store: the bytes of a 10103 file, and the saved copies made equal.
std::vector<uint8_t> StoreSetup(CQRLDoc& doc);
// The document's load from bytes, without messages. The document changes only when the
// result is Loaded; the path, the modified flag and the port are left to the caller.
SetupStatus LoadSetup(CQRLDoc& doc, const uint8_t* data, size_t size,
                      SetupReadInfo* info = nullptr);

// --- files (read and written through base/Files) --------------------------------------
// Opens a setup file into the document with the full outcome; every failure is told
// through the user seam. On Loaded the document takes the path, its modified flag is
// cleared and, with reopenPort, the port settings are reloaded and the port reopened.
// A refused file leaves the document as it was, path included.
SetupStatus OpenSetupFile(CQRLDoc& doc, const std::string& path, bool reopenPort,
                          SetupReadInfo* info = nullptr);
// Opens a setup file into the document, as the Open command does (messages through the
// user seam; the document unchanged when the file is refused). With reopenPort the port
// settings are reloaded from the store and the port reopened, as after every open in the
// desktop program; kvrctl passes false when it was given a port of its own. A file with
// an unknown signature is refused with its message but does not fail the open.
bool OpenDocumentFile(CQRLDoc& doc, const std::string& path, bool reopenPort = true);
// Saves the document to a setup file (signature 10103) through a temporary file in the
// same folder and a rename; a failed save leaves the previous file as it was, and the
// document keeps its saved copies and modified flag.
bool SaveDocumentFile(CQRLDoc& doc, const std::string& path, bool storePortSettings = true);

// --- template commands -----------------------------------------------------------------
// The template open/save form of the seams (Seams::templateFileDialog), its description
// cut to at most 1023 characters. Without one, the form is always cancelled.
bool RunTemplateFileDialog(bool open, const std::string& filter, std::string& path,
                           std::string& description);

// Template "Load": true when a setup file was chosen and loaded.
bool LoadSetupFile(CQRLDoc& doc);
// Template "Save": to the document's own path when setupFilePath is a *.kvr path, else
// as SaveSetupFileAs. True when saved.
bool SaveSetupFile(CQRLDoc& doc);
// Template "Save As": true when saved.
bool SaveSetupFileAs(CQRLDoc& doc);

// The description preview of the template form for the selected file.
struct TemplatePreviewResult {
    bool changed = false;  // false: leave the description box as it is
    std::string text;      // the new text of the description box
    bool okEnabled = true;
};
TemplatePreviewResult TemplatePreview(const std::string& path);

}  // namespace kvr
