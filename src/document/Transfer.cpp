#include "document/Transfer.h"

#include <algorithm>
#include <bit>
#include <cstdio>

#include "base/Clock.h"
#include "base/IniFile.h"
#include "base/Settings.h"
#include "document/Identify.h"
#include "document/MonitorStore.h"
#include "document/Password.h"
#include "link/PortSetup.h"

namespace kvr {

namespace {

std::string Printf(const char* format, int value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A per-address download preference; an address that no measuring board can have (a
// damaged setup file) reads as clear, the cautious answer.
bool AddressFlag(const std::array<bool, 4>& flags, uint8_t address) {
    return address < flags.size() && flags[address];
}

// The calibration block a download guards: the five gains, then the DAC calibration,
// firmware version, input hardware and CT phase correction.
bool CalibrationDiffers(const ParameterRecord& a, const ParameterRecord& b) {
    const auto& x = a.Bytes();
    const auto& y = b.Bytes();
    return !std::equal(x.begin() + ParameterRecord::kCalGainsBegin,
                       x.begin() + ParameterRecord::kCalGainsEnd,
                       y.begin() + ParameterRecord::kCalGainsBegin) ||
           !std::equal(x.begin() + ParameterRecord::kCalDacBegin,
                       x.begin() + ParameterRecord::kCalDacEnd,
                       y.begin() + ParameterRecord::kCalDacBegin);
}

void CopyCalibration(const ParameterRecord& from, ParameterRecord& to) {
    const auto& src = from.Bytes();
    auto& dst = to.Bytes();
    std::copy(src.begin() + ParameterRecord::kCalGainsBegin,
              src.begin() + ParameterRecord::kCalGainsEnd,
              dst.begin() + ParameterRecord::kCalGainsBegin);
    std::copy(src.begin() + ParameterRecord::kCalDacBegin,
              src.begin() + ParameterRecord::kCalDacEnd,
              dst.begin() + ParameterRecord::kCalDacBegin);
}

enum class Answer { Yes, No, Cancelled };

Answer Ask(const char* text, const std::string& title) {
    switch (AppMessageBox(text, MsgIcon::Error, MsgButtons::YesNo, title)) {
        case MsgAnswer::Yes:
            return Answer::Yes;
        case MsgAnswer::Cancel:
            return Answer::Cancelled;
        default:
            return Answer::No;
    }
}

enum class BoardResult { Written, AlreadyEqual, Failed, Abandoned };

struct BoardReport {
    BoardResult result = BoardResult::Failed;
    std::string failure;  // why the board was not written (empty: no line to show)
    std::string note;     // a write proven by its read-back
};

BoardReport Done(BoardResult result, std::string failure = {}) {
    BoardReport r;
    r.result = result;
    r.failure = std::move(failure);
    return r;
}

// One board of a download. With skipEqual, a board already holding exactly what would be
// written is not written again.
BoardReport DownloadBoard(CQRLDoc& doc, int index, bool skipEqual) {
    if (index < 0 || index >= kChannelObjects) {
        return Done(BoardResult::Failed);
    }
    CChannelLink& channel = doc.Channel(index);
    const uint8_t address = channel.Address();
    const std::string name = BoardName(doc, index);
    auto failed = [&](const std::string& cause) {
        return Done(BoardResult::Failed, name + " not written: " + cause);
    };
    BusyMessage busy;
    if (!EnsurePassword()) {
        return failed("the configuration password was not given");
    }

    ParameterRecord unit;  // what the unit holds now
    {
        BusyMessage step(
            Printf("Reading back the attached device channel %i configuration", address));
        if (!channel.ReadParameters(unit)) {
            AppMessageBox(kReadBackFailedText, MsgIcon::Error, MsgButtons::Ok,
                          Printf("Download error - Channel %i", address));
            return failed(doc.Port().IsOpen()
                              ? "no valid record came back when it was read before writing"
                              : "the line went away when it was read before writing");
        }
    }

    ParameterRecord next;
    {
        BusyMessage step("Checking the configuration");
        const std::string warning = Printf("Warning - Channel %i", address);
        const bool differentUnit = unit.GetSerialNumber() != channel.record.GetSerialNumber();
        if (differentUnit) {
            const std::string other = "a different unit is attached (serial number " +
                                      std::to_string(unit.GetSerialNumber()) +
                                      ", the configuration's " +
                                      std::to_string(channel.record.GetSerialNumber()) + ")";
            if (!doc.Preferences().enabled) {
                const Answer a =
                    Ask(kDifferentUnitText, Printf("Download warning - Channel %i", address));
                if (a == Answer::Cancelled) {
                    return Done(BoardResult::Abandoned);
                }
                if (a != Answer::Yes) {
                    return failed(other + " and writing to it was refused");
                }
            } else if (!AddressFlag(doc.Preferences().downloadToDifferentUnit, address)) {
                return failed(other + " and the download preferences do not allow writing to it");
            }
        }

        next = channel.record;
        next.SetSignature(ParameterRecord::kSignature);

        // The unit keeps its own serial number unless replacing it was agreed.
        Answer serial = Answer::No;
        if (differentUnit) {
            if (!doc.Preferences().enabled) {
                serial = Ask(kOverwriteSerialText, warning);
            } else if (AddressFlag(doc.Preferences().overwriteSerialNumber, address)) {
                serial = Answer::Yes;
            }
        }
        if (serial == Answer::Cancelled) {
            return Done(BoardResult::Abandoned);
        }
        if (serial != Answer::Yes) {
            next.SetSerialNumber(unit.GetSerialNumber());
        }

        // Likewise its calibration: one question at most.
        Answer calibration = Answer::No;
        if (CalibrationDiffers(unit, channel.record)) {
            if (!doc.Preferences().enabled) {
                calibration = Ask(kOverwriteCalibrationText, warning);
            } else if (AddressFlag(doc.Preferences().overwriteCalibration, address)) {
                calibration = Answer::Yes;
            }
        }
        if (calibration == Answer::Cancelled) {
            return Done(BoardResult::Abandoned);
        }
        if (calibration != Answer::Yes) {
            CopyCalibration(unit, next);
        }

        // The document holds what is about to be written, whatever the write's outcome.
        channel.record = next;
    }

    // The read-back already proves the board holds it: no Attention, pause or write.
    if (skipEqual && next == unit) {
        return Done(BoardResult::AlreadyEqual);
    }

    BusyMessage writing("Writing the new configuration to the attached device.");
    {
        BusyMessage writingChannel(
            Printf("Writing the configuration to the attached channel %i", channel.Address()));
        if (channel.WriteParameters(next)) {
            return Done(BoardResult::Written);
        }
    }
    // The acknowledge was missing or wrong, yet the unit may have taken the record: what
    // it holds now decides, read once. A line that went away is not opened again here.
    const std::string noAck = "no valid acknowledge came after the write";
    if (!doc.Port().IsOpen()) {
        return failed(noAck + " and the line went away, so it is not known what the unit holds");
    }
    ParameterRecord check;
    {
        BusyMessage step(
            Printf("Reading back the attached device channel %i configuration", channel.Address()));
        if (!channel.ReadParameters(check)) {
            return failed(noAck + ", and no valid record came back when it was read again");
        }
    }
    if (check != next) {
        return failed(noAck + ", and the unit holds a record other than the one sent");
    }
    BoardReport proven = Done(BoardResult::Written);
    proven.note =
        name + ": " + noAck + ", but the unit holds exactly the record sent: it was written";
    return proven;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "\n" + line;
    }
    return text;
}

// The reason a port did not open, naming its device.
std::string PortFailureText(const CSerialPort& port) {
    const PortSettings& s = port.Settings();
    std::string cause = port.LastError().empty() ? "it did not open" : port.LastError();
    const std::string device = !s.device.empty() ? s.device : port.DevicePath();
    if (!device.empty() && cause.find(device) == std::string::npos &&
        cause.find("port") == std::string::npos) {
        cause = device + ": " + cause;
    }
    return std::string(kFailedToOpenPort) + "\n" + cause;
}

}  // namespace

std::string TransferPaneText(bool download, unsigned mask, bool kvr300) {
    if (mask >= 16) {
        return Printf(download ? "Dwn res %d" : "Up res %d", static_cast<int>(mask));
    }
    const std::string done = download ? "Downloaded" : "Uploaded";
    switch (mask) {
        case 0:
            return download ? "NO DOWNLOAD COMPLETE" : "NO UPLOAD COMPLETE";
        case 1:
            if (kvr300) {
                break;
            }
            return done + " KVR 100";
        case 15:
            return done + " KVR 300";
        case 8:
            return done + " 3Ph";
        default:
            break;
    }
    std::string text = done + " Ch ";
    bool first = true;
    for (int bit = 0; bit < 3; ++bit) {
        if ((mask & (1u << bit)) != 0) {
            text += (first ? "" : ",") + std::to_string(bit + 1);
            first = false;
        }
    }
    if ((mask & 8u) != 0) {
        text += ",3Ph";
    }
    return text;
}

void SetUploadPaneText(unsigned mask, bool kvr300) {
    AppSetPaneText(StatusPane::Upload, TransferPaneText(false, mask, kvr300));
}

void SetDownloadPaneText(unsigned mask, bool kvr300) {
    AppSetPaneText(StatusPane::Download, TransferPaneText(true, mask, kvr300));
}

std::string UploadSummaryText(int count) {
    if (count == 1) {
        return "Uploaded from KVR 100";
    }
    if (count == 4) {
        return "Uploaded from KVR 300";
    }
    return Printf("%d Channel(s) Uploaded", count);
}

std::string DownloadSummaryText(int count) {
    if (count == 1) {
        return "Downloaded to KVR 100";
    }
    if (count == 4) {
        return "Downloaded to KVR 300";
    }
    return Printf("%d Channel(s) Downloaded", count);
}

std::string BoardName(const CQRLDoc& doc, int index) {
    const int address = index >= 0 && index < kChannelObjects ? doc.Channel(index).Address() : -1;
    if (index == kMainBoard) {
        return Printf("board 3 (main board, address %d)", address);
    }
    char text[64];
    std::snprintf(text, sizeof text, "board %d (channel %d, address %d)", index, index + 1,
                  address);
    return text;
}

bool OpenPortForCommand(CSerialPort& port) {
    if (port.IsOpen() || port.OpenWithSettings()) {
        return true;
    }
    // With no port chosen yet (the first run) the settings form comes first: there is no
    // failure to explain. Otherwise the user learns which device failed and why before
    // being offered the form.
    const PortSettings& s = port.Settings();
    bool explained = false;
    if (s.port != 0 || !s.device.empty()) {
        AppMessageBox(PortFailureText(port), MsgIcon::Error);
        explained = true;
    }
    for (;;) {
        if (!EditPortSettings(port)) {
            if (!explained) {
                AppMessageBox(PortFailureText(port), MsgIcon::Error);
            }
            return false;
        }
        if (port.OpenWithSettings()) {
            return true;
        }
        AppMessageBox(PortFailureText(port), MsgIcon::Error);
        explained = true;
    }
}

bool UploadChannel(CChannelLink& channel) {
    BusyMessage busy;
    const bool ok = channel.ReadParameters(channel.record);  // unchanged on failure
    channel.UpdateExtendedFromFirmware();
    return ok;
}

UploadOutcome UploadBoards(CQRLDoc& doc) {
    UploadOutcome out;
    SetUploadPaneText(0);
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return out;
    }
    out.locked = true;
    CSerialPort& port = doc.Port();
    if (!OpenPortForCommand(port)) {
        return out;
    }
    out.portOpened = true;

    uint16_t count = 0;
    doc.SetChannels(0);
    unsigned mask = 0;
    int tried = 0;
    bool lineLost = false;
    for (int i = 0; i < kChannelObjects; ++i) {
        const bool ok = UploadChannel(doc.Channel(i));
        tried = i + 1;
        if (!ok && !port.IsOpen()) {
            // The line went away: each further board would only fail again, after asking
            // for the port settings.
            lineLost = true;
            break;
        }
        if (!ok && doc.StopAtFirstFailure()) {
            break;
        }
        if (ok) {
            mask |= 1u << i;
        }
        ++count;
    }

    // Which boards the unit has. A KVR 300 answers at every address; a KVR 100 at channel
    // 0's alone. When nothing beside channel 0 was read, the main board decides, so that a
    // KVR 300 whose board 1 was lost on the line is never taken for a KVR 100.
    unsigned unit = 0;
    if (lineLost || (mask & 0xEu) != 0) {
        unit = 0xF;
    } else if (tried <= kMainBoard) {
        if (ProbeChannel(doc, kMainBoard) || !port.IsOpen()) {
            unit = 0xF;
            lineLost = !port.IsOpen();
        } else {
            unit = mask & 1u;
        }
    } else {
        unit = mask & 1u;
    }
    if (mask == 0) {
        // In continue mode every board is counted; when none answered there is no
        // configuration, and saying "Uploaded from KVR 300" would report a failure as
        // success.
        count = 0;
    } else if (unit == 1) {
        count = 1;  // a KVR 100, in either mode
    } else if (!doc.StopAtFirstFailure()) {
        count = kChannelObjects;  // continue mode: every board of a KVR 300
    }
    doc.SetChannels(count);
    doc.SetConfigurationPresent(count != 0);

    out.count = count;
    out.mask = mask;
    out.unitBoards = unit;
    out.complete = unit != 0 && (mask & unit) == unit;
    for (int i = 0; i < kChannelObjects; ++i) {
        if ((unit & ~mask & (1u << i)) != 0) {
            out.missing += (out.missing.empty() ? "" : ", ") + BoardName(doc, i);
        }
    }
    if (out.complete) {
        out.text = UploadSummaryText(unit == 1 ? 1 : 4);
    } else {
        out.text = Printf("%d Channel(s) Uploaded", std::popcount(mask));
        if (!out.missing.empty()) {
            out.text += "\nNot read: " + out.missing;
        }
        if (lineLost) {
            out.text += "\nThe line went away during the upload.";
        }
    }
    if (doc.Preferences().UploadDialog()) {
        AppMessageBox(out.text, out.complete ? MsgIcon::Information : MsgIcon::Error,
                      MsgButtons::Ok, kAppTitle);
    }
    SetUploadPaneText(mask, unit == 0xFu);
    if (doc.ConfigurationPresent() && doc.Monitors().count == 0) {
        LoadMonitors(doc);
    }
    doc.SetLastUploadMask(static_cast<uint8_t>(mask));
    return out;
}

bool UploadAll(CQRLDoc& doc) {
    return UploadBoards(doc).count != 0;
}

UploadOutcome RunUploadCommand(CQRLDoc& doc) {
    UploadOutcome out;
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        // Busy: the document stays as it is, since changing it would race the holder.
        SetUploadPaneText(0);
        return out;
    }
    out.locked = true;
    // A port that will not open loses nothing: the document is reset only for an upload
    // that can run.
    if (!OpenPortForCommand(doc.Port())) {
        SetUploadPaneText(0);
        return out;
    }
    doc.Paths().setupFilePath.clear();
    doc.Paths().displaySetupPath.clear();
    doc.OnNewDocument();
    return UploadBoards(doc);
}

bool UploadCommand(CQRLDoc& doc) {
    return RunUploadCommand(doc).count != 0;
}

bool DownloadChannel(CQRLDoc& doc, int channelIndex) {
    return DownloadBoard(doc, channelIndex, false).result == BoardResult::Written;
}

DownloadOutcome DownloadCommand(CQRLDoc& doc, BoardWrites writes) {
    DownloadOutcome out;
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return out;
    }
    out.locked = true;
    SetDownloadPaneText(0);
    if (!OpenPortForCommand(doc.Port())) {
        AppSetCommsLamp(false);
        return out;
    }
    out.portOpened = true;

    const bool skipEqual = writes == BoardWrites::SkipEqual && !ReadWriteEveryBoard();
    const int boards = std::min<int>(doc.GetChannels(), kChannelObjects);
    bool sentAny = false;
    for (int i = 0; i < boards; ++i) {
        const BoardReport r = DownloadBoard(doc, i, skipEqual);
        if (r.result == BoardResult::Abandoned) {
            out.abandoned = true;
            break;
        }
        if (r.result == BoardResult::Failed) {
            if (!r.failure.empty()) {
                out.failures.push_back(r.failure);
            }
            // A line that went away would fail every further board, each after asking
            // for the port settings.
            if (doc.StopAtFirstFailure() || !doc.Port().IsOpen()) {
                break;
            }
            continue;
        }
        out.mask |= 1u << i;
        if (r.result == BoardResult::AlreadyEqual) {
            ++out.alreadyEqual;
        } else {
            sentAny = true;
        }
        if (!r.note.empty()) {
            out.notes.push_back(r.note);
        }
    }
    const unsigned delay = DownloadDelayMs();

    // The unit is named only when every board of the document was written: a KVR 300
    // download that wrote board 0 alone is "1 Channel(s) Downloaded", never "Downloaded to
    // KVR 100".
    const unsigned everyBoard = (1u << boards) - 1;
    out.count = std::popcount(out.mask);
    out.complete = (boards == 1 || boards == 4) && out.mask == everyBoard;
    out.text =
        out.complete ? DownloadSummaryText(boards) : Printf("%d Channel(s) Downloaded", out.count);
    if (out.complete && boards == 4 && sentAny) {
        // The document takes what the main board holds after the whole download. Only
        // after a complete one: after a failed main-board write (continue mode) that would
        // replace the configuration the user still has to download with the unit's old
        // record; and when nothing was sent there is nothing new to read.
        GetClock().SleepMs(delay);
        UploadChannel(doc.Channel(kMainBoard));
    }
    if (doc.Preferences().DownloadDialog()) {
        AppMessageBox(out.text + Joined(out.failures) + Joined(out.notes),
                      out.complete ? MsgIcon::Information : MsgIcon::Error, MsgButtons::Ok,
                      kAppTitle);
    }
    SetDownloadPaneText(out.mask, boards == kChannelObjects);
    AppSetCommsLamp(out.count != 0);
    return out;
}

}  // namespace kvr
