// CDisplayLink: talking to a KVR Display module. The module sends 0xE2 whenever the line
// is quiet; the program speaks right after one. Its record is read with the single byte
// 0x85 and written as one 388-byte frame that is not answered.
#pragma once

#include "link/TalkLink.h"
#include "modules/DisplaySetup.h"

namespace kvr {

inline constexpr uint8_t kDisplayCue = 0xE2;
inline constexpr uint8_t kReadDisplaySetup = 0x85;
inline constexpr unsigned kDisplaySyncMs = 2500;
inline constexpr unsigned kModuleReplyWaitMs = 500;
inline constexpr int kModuleReadAttempts = 4;
inline constexpr const char* kDisplayCommsErrorTitle = "KVR Display communications error";

class CDisplayLink : public CTalkLink {
  public:
    explicit CDisplayLink(CSerialPort* port = nullptr) : CTalkLink(port, 5) {}

    // Reads single bytes until the module's 0xE2 arrives; false when none came within
    // 2500 ms on the clock seam.
    bool Synchronise();
    // Reads the record into `record`, up to four attempts, each checked for its length
    // and its sum. Without `quiet` a port that will not open and a failed synchronisation
    // ask Abort (fail), Retry or Ignore (succeed without reading, the record untouched),
    // and four failed attempts are reported. Quiet mode asks and reports nothing.
    bool ReadDisplaySetup(DisplaySetupRecord& record, bool sync, bool quiet);
    // Seals the record (header and checksum) and sends it in one write after an optional
    // synchronisation. No answer is read.
    bool SendDisplaySetup(DisplaySetupRecord& record, bool sync);
};

}  // namespace kvr
