#include "modules/DisplayLink.h"

#include <algorithm>

#include "base/Clock.h"
#include "base/UserSeam.h"

namespace kvr {

namespace {

// At least 2500 ms pass in this many empty reads, each waiting for the line's total
// timeout; the bound keeps the wait finite on a clock that reads do not move.
constexpr int kMaxEmptySyncReads = 3;

// Abort/Retry/Ignore; with nobody to ask, the cautious answer is to abort.
MsgAnswer AskAbortRetryIgnore(const char* text) {
    return AppMessageBox(text, MsgIcon::Warning, MsgButtons::AbortRetryIgnore,
                         kDisplayCommsErrorTitle);
}

}  // namespace

bool CDisplayLink::Synchronise() {
    IClock& clock = GetClock();
    const uint64_t start = clock.NowMs();
    int empty = 0;
    while (clock.NowMs() - start < kDisplaySyncMs && empty < kMaxEmptySyncReads) {
        uint8_t byte = 0;
        if (Port()->ReadBuffer(&byte, 1) != 1) {
            ++empty;
            continue;
        }
        if (byte == kDisplayCue) {
            return clock.NowMs() - start < kDisplaySyncMs;
        }
    }
    return false;
}

bool CDisplayLink::ReadDisplaySetup(DisplaySetupRecord& record, bool sync, bool quiet) {
    quiet = quiet || OpensQuietly();
    CSerialPort* port = Port();
    if (port == nullptr) {
        return false;
    }
    {
        BusyMessage busy("Opening the COM port...");
        while (!port->EnsureOpen()) {
            if (quiet) {
                return false;
            }
            const MsgAnswer a = AskAbortRetryIgnore(
                "Failed to open the Communications Port!\nPress Ignore to show the KVR Display "
                "Dialog anyway.");
            if (a == MsgAnswer::Ignore) {
                return true;
            }
            if (a != MsgAnswer::Retry) {
                return false;
            }
        }
    }
    for (int attempt = 0; attempt < kModuleReadAttempts; ++attempt) {
        if (sync) {
            BusyMessage busy("Synchronizing to KVR Display...");
            if (!Synchronise()) {
                if (quiet) {
                    return false;
                }
                const MsgAnswer a = AskAbortRetryIgnore(
                    "Failed to synchronise to the KVR Display unit!\nPress Ignore to show the KVR "
                    "Display Dialog anyway.");
                if (a == MsgAnswer::Ignore) {
                    return true;
                }
                if (a != MsgAnswer::Retry) {
                    return false;
                }
            }
        }
        BusyMessage busy("Reading Display...");
        port->Purge();
        port->WriteByte(kReadDisplaySetup);
        GetClock().SleepMs(kModuleReplyWaitMs);
        record.fill(0);
        if (port->ReadBuffer(record.data(), record.size()) == record.size() &&
            DisplayRecordSumsToZero(record)) {
            return true;
        }
    }
    if (!quiet) {
        AppMessageBox("Failed to Read KVR Display Parameters Correctly!", MsgIcon::Warning);
    }
    return false;
}

bool CDisplayLink::SendDisplaySetup(DisplaySetupRecord& record, bool sync) {
    if (!Ready()) {
        return false;
    }
    if (sync) {
        BusyMessage busy("Synchronizing to KVR Display...");
        Port()->Purge();
        if (!Synchronise()) {
            AppMessageBox("Failed to detect KVR Display unit!", MsgIcon::Warning);
            return false;
        }
    }
    SealDisplayRecord(record);
    BusyMessage busy("Sending the setup command...");
    return SendFrame(record);
}

}  // namespace kvr
