#include "document/Transfer.h"

#include <algorithm>
#include <cstdio>

#include "document/MonitorStore.h"
#include "document/Password.h"
#include "link/Clock.h"
#include "link/IniFile.h"

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

enum class BoardResult { Written, Failed, Abandoned };

BoardResult DownloadBoard(CQRLDoc& doc, int index) {
    if (index < 0 || index >= kChannelObjects) {
        return BoardResult::Failed;
    }
    CChannelLink& channel = doc.Channel(index);
    const uint8_t address = channel.Address();
    BusyMessage busy;
    if (!EnsurePassword()) {
        return BoardResult::Failed;
    }

    ParameterRecord unit;  // what the unit holds now
    {
        BusyMessage step(
            Printf("Reading back the attached device channel %i configuration", address));
        if (!channel.ReadParameters(unit)) {
            AppMessageBox(kReadBackFailedText, MsgIcon::Error, MsgButtons::Ok,
                          Printf("Download error - Channel %i", address));
            return BoardResult::Failed;
        }
    }

    ParameterRecord next;
    {
        BusyMessage step("Checking the configuration");
        const std::string warning = Printf("Warning - Channel %i", address);
        const bool differentUnit = unit.GetSerialNumber() != channel.record.GetSerialNumber();
        if (differentUnit) {
            if (!doc.preferencesEnabled) {
                const Answer a =
                    Ask(kDifferentUnitText, Printf("Download warning - Channel %i", address));
                if (a != Answer::Yes) {
                    return a == Answer::Cancelled ? BoardResult::Abandoned : BoardResult::Failed;
                }
            } else if (!AddressFlag(doc.downloadToDifferentUnit, address)) {
                return BoardResult::Failed;
            }
        }

        next = channel.record;
        next.SetSignature(ParameterRecord::kSignature);

        // The unit keeps its own serial number unless replacing it was agreed.
        Answer serial = Answer::No;
        if (differentUnit) {
            if (!doc.preferencesEnabled) {
                serial = Ask(kOverwriteSerialText, warning);
            } else if (AddressFlag(doc.overwriteSerialNumber, address)) {
                serial = Answer::Yes;
            }
        }
        if (serial == Answer::Cancelled) {
            return BoardResult::Abandoned;
        }
        if (serial != Answer::Yes) {
            next.SetSerialNumber(unit.GetSerialNumber());
        }

        // Likewise its calibration: one question at most.
        Answer calibration = Answer::No;
        if (CalibrationDiffers(unit, channel.record)) {
            if (!doc.preferencesEnabled) {
                calibration = Ask(kOverwriteCalibrationText, warning);
            } else if (AddressFlag(doc.overwriteCalibration, address)) {
                calibration = Answer::Yes;
            }
        }
        if (calibration == Answer::Cancelled) {
            return BoardResult::Abandoned;
        }
        if (calibration != Answer::Yes) {
            CopyCalibration(unit, next);
        }

        // The document holds what is about to be written, whatever the write's outcome.
        channel.record = next;
    }

    BusyMessage writing("Writing the new configuration to the attached device.");
    BusyMessage writingChannel(
        Printf("Writing the configuration to the attached channel %i", channel.Address()));
    return channel.WriteParameters(next) ? BoardResult::Written : BoardResult::Failed;
}

}  // namespace

std::string TransferPaneText(bool download, unsigned mask) {
    if (mask >= 16) {
        return Printf(download ? "Dwn res %d" : "Up res %d", static_cast<int>(mask));
    }
    const std::string done = download ? "Downloaded" : "Uploaded";
    switch (mask) {
        case 0:
            return download ? "NO DOWNLOAD COMPLETE" : "NO UPLOAD COMPLETE";
        case 1:
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

void SetUploadPaneText(unsigned mask) {
    AppSetPaneText(StatusPane::Upload, TransferPaneText(false, mask));
}

void SetDownloadPaneText(unsigned mask) {
    AppSetPaneText(StatusPane::Download, TransferPaneText(true, mask));
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

bool UploadChannel(CChannelLink& channel) {
    BusyMessage busy;
    const bool ok = channel.ReadParameters(channel.record);  // unchanged on failure
    channel.UpdateExtendedFromFirmware();
    return ok;
}

bool UploadAll(CQRLDoc& doc) {
    SetUploadPaneText(0);
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return false;
    }
    doc.channelCount = 0;
    unsigned mask = 0;
    unsigned bit = 1;
    for (int i = 0; i < kChannelObjects; ++i) {
        const bool ok = UploadChannel(doc.Channel(i));
        if (!ok && doc.stopAtFirstFailure) {
            break;
        }
        if (ok) {
            mask |= bit;
        }
        ++doc.channelCount;
        bit <<= 1;
    }
    // In continue mode every board is counted; when none answered there is no
    // configuration, and saying "Uploaded from KVR 300" would report a failure as success.
    if (mask == 0) {
        doc.channelCount = 0;
    }
    doc.configurationPresent = doc.channelCount != 0;
    const int count = doc.channelCount;
    const MsgIcon icon = count == 1 || count == 4 ? MsgIcon::Information : MsgIcon::Error;
    if (!(doc.noDialogAfterUpload && doc.preferencesEnabled)) {
        AppMessageBox(UploadSummaryText(count), icon, MsgButtons::Ok, kAppTitle);
    }
    SetUploadPaneText(mask);
    if (doc.configurationPresent && doc.monitorCount == 0) {
        LoadMonitors(doc);
    }
    doc.lastUploadMask = static_cast<uint8_t>(mask);
    return count != 0;
}

bool UploadCommand(CQRLDoc& doc) {
    // The reset already changes what the reading thread reads.
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        SetUploadPaneText(0);
        return false;
    }
    doc.setupFilePath.clear();
    doc.displaySetupPath.clear();
    doc.OnNewDocument();
    return UploadAll(doc);
}

bool DownloadChannel(CQRLDoc& doc, int channelIndex) {
    return DownloadBoard(doc, channelIndex) == BoardResult::Written;
}

DownloadOutcome DownloadCommand(CQRLDoc& doc) {
    DownloadOutcome out;
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return out;
    }
    out.locked = true;
    SetDownloadPaneText(0);

    const int boards = std::min<int>(doc.GetChannels(), kChannelObjects);
    int count = 0;
    unsigned bit = 1;
    for (int i = 0; i < boards; ++i) {
        const BoardResult r = DownloadBoard(doc, i);
        if (r == BoardResult::Abandoned) {
            out.abandoned = true;
            break;
        }
        if (r == BoardResult::Failed && doc.stopAtFirstFailure) {
            break;
        }
        if (r == BoardResult::Written) {
            out.mask |= bit;
        }
        ++count;
        bit <<= 1;
    }
    const unsigned delay = DownloadDelayMs();

    // In continue mode every board tried is counted: the summary counts none when nothing
    // was written, and "complete" needs every board written, so that a failed download is
    // never reported with the information icon.
    if (out.mask == 0) {
        count = 0;
    }
    const unsigned everyBoard = (1u << boards) - 1;
    out.count = count;
    out.complete = (count == 1 || count == 4) && count == boards && out.mask == everyBoard;
    out.text = DownloadSummaryText(count);
    if (count == 4 && (out.mask & (1u << kMainBoard)) != 0) {
        // The document takes what the main board holds after the whole download. Not after
        // a failed main-board write (continue mode): that would replace the configuration
        // the user still has to download with the unit's old record.
        GetClock().SleepMs(delay);
        UploadChannel(doc.Channel(kMainBoard));
    }
    if (!(doc.noDialogAfterDownload && doc.preferencesEnabled)) {
        AppMessageBox(out.text, out.complete ? MsgIcon::Information : MsgIcon::Error,
                      MsgButtons::Ok, kAppTitle);
    }
    SetDownloadPaneText(out.mask);
    AppSetCommsLamp(count != 0);
    return out;
}

}  // namespace kvr
