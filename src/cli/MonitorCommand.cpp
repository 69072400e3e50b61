// kvrctl monitor: live monitor values on the terminal from the reading thread, and the
// log file with the desktop program's format and schedule.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommon.h"
#include "document/QRLDoc.h"
#include "document/Settings.h"
#include "document/UnitAddressing.h"
#include "link/Clock.h"
#include "link/Text.h"
#include "measure/EntityChannel.h"
#include "measure/MeasuredValue.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTimer.h"
#include "monitor/ReadingThread.h"

namespace kvr::cli {

namespace {

const char kMonitorUsage[] =
    "usage: kvrctl monitor --monitor CH:ENTITY [--monitor CH:ENTITY ...] [--secondary] "
    "[--log FILE [--interval SECONDS]] [--duration SECONDS] [--kvr100-address 0|1|2]";

// Set by SIGINT and SIGTERM; the loop ends at its next tick.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int) {
    g_stopSignal = 1;
}

struct EntityWord {
    const char* word;
    MeasuredEntity entity;
};

// The words accepted for ENTITY (without regard to case), besides the codes 1 to 14.
const EntityWord kEntityWords[] = {
    {"voltage", entity::kVoltage},
    {"v", entity::kVoltage},
    {"current", entity::kCurrent},
    {"i", entity::kCurrent},
    {"active-power", entity::kActivePower},
    {"power", entity::kActivePower},
    {"p", entity::kActivePower},
    {"apparent-power", entity::kApparentPower},
    {"s", entity::kApparentPower},
    {"reactive-power", entity::kReactivePower},
    {"q", entity::kReactivePower},
    {"power-factor", entity::kPowerFactor},
    {"pf", entity::kPowerFactor},
    {"frequency", entity::kFrequency},
    {"f", entity::kFrequency},
    {"active-energy", entity::kActiveEnergyImport},
    {"active-energy-import", entity::kActiveEnergyImport},
    {"apparent-energy", entity::kApparentEnergy},
    {"reactive-energy", entity::kReactiveEnergyLag},
    {"reactive-energy-lag", entity::kReactiveEnergyLag},
    {"current-max", entity::kCycleCurrentMax},
    {"1-cycle-current-maximum", entity::kCycleCurrentMax},
};

struct MonitorArgs {
    std::vector<std::pair<int, MeasuredEntity>> monitors;  // (channel, entity)
    std::vector<std::string> given;                        // as typed, for messages
    bool secondary = false;
    std::string logPath;
    uint32_t intervalMs = kDefaultLogIntervalMs;
    bool intervalGiven = false;
    double durationSeconds = 0;  // 0: until a signal
    int kvr100Address = -1;
};

bool ParseWholeNumber(const std::string& text, double& value) {
    size_t end = 0;
    return ParseLeadingNumber(text, value, end) && end == text.size();
}

bool ParseMonitor(const std::string& text, int& channel, MeasuredEntity& e) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    const std::string ch = text.substr(0, colon);
    const std::string word = text.substr(colon + 1);
    if (ch == "1" || ch == "2" || ch == "3") {
        channel = ch[0] - '1';
    } else if (EqualNoCase(ch, "3ph")) {
        channel = kThreePhaseChannel;
    } else {
        return false;
    }
    double code = 0;
    if (ParseWholeNumber(word, code)) {
        if (code < 1 || code > entity::kLast || code != static_cast<int>(code)) {
            return false;
        }
        e = static_cast<MeasuredEntity>(code);
        return true;
    }
    for (const EntityWord& w : kEntityWords) {
        if (EqualNoCase(word, w.word)) {
            e = w.entity;
            return true;
        }
    }
    return false;
}

bool ParseArgs(const std::vector<std::string>& args, MonitorArgs& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--secondary") {
            out.secondary = true;
        } else if (a == "--monitor" && hasValue) {
            int channel = 0;
            MeasuredEntity e = entity::kNone;
            if (!ParseMonitor(args[++i], channel, e)) {
                error =
                    "--monitor needs CH:ENTITY, CH 1, 2, 3 or 3ph, ENTITY a code 1 to 14 "
                    "or a name such as voltage (see kvrctl --help): '" +
                    args[i] + "'";
                return false;
            }
            out.monitors.emplace_back(channel, e);
            out.given.push_back(args[i]);
        } else if (a == "--log" && hasValue) {
            out.logPath = args[++i];
        } else if (a == "--interval" && hasValue) {
            if (!ParseLogIntervalField(args[++i], out.intervalMs, error)) {
                return false;
            }
            out.intervalGiven = true;
        } else if (a == "--duration" && hasValue) {
            double seconds = 0;
            if (!ParseWholeNumber(args[++i], seconds) || !(seconds > 0) || seconds > 1e9) {
                error = "--duration needs a number of seconds greater than zero";
                return false;
            }
            out.durationSeconds = seconds;
        } else if (a == "--kvr100-address" && hasValue) {
            const std::string& v = args[++i];
            if (v.size() != 1 || v[0] < '0' || v[0] > '2') {
                error = "--kvr100-address needs 0, 1 or 2";
                return false;
            }
            out.kvr100Address = v[0] - '0';
        } else {
            error = "unexpected argument '" + a + "'\n" + kMonitorUsage;
            return false;
        }
    }
    if (out.monitors.empty()) {
        error = std::string("no monitor given\n") + kMonitorUsage;
        return false;
    }
    if (out.monitors.size() > static_cast<size_t>(kMaxMonitors)) {
        error = "at most 60 monitors";
        return false;
    }
    if (out.intervalGiven && out.logPath.empty()) {
        error = "--interval needs --log FILE";
        return false;
    }
    return true;
}

// Reads the record of every board; the channel count as an upload leaves it: 4 when the
// main board answered (a KVR 300), else the number of leading boards that answered.
int UploadBoards(CQRLDoc& doc) {
    int leading = 0;
    bool gap = false;
    bool mainBoard = false;
    for (int b = 0; b < kChannelObjects; ++b) {
        CChannelLink& channel = doc.Channel(b);
        if (channel.ReadParameters()) {
            channel.savedRecord = channel.record;
            channel.UpdateExtendedFromFirmware();
            leading += gap ? 0 : 1;
            mainBoard = b == kMainBoard;
        } else {
            gap = true;
            if (!doc.Port().IsOpen()) {
                break;  // the line went away; the rest would fail the same way
            }
        }
    }
    return mainBoard ? kChannelObjects : leading;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

void PrintValues(const std::vector<std::string>& labels, const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < labels.size(); ++i) {
        line += (i == 0 ? "" : " | ") + labels[i] + "  " + cells[i];
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int Monitor(const Options& options, const std::vector<std::string>& args) {
    MonitorArgs ma;
    std::string error;
    if (!ParseArgs(args, ma, error)) {
        return UsageError("monitor", error);
    }
    // The log's date and AM/PM designator in the user's own format.
    std::setlocale(LC_TIME, "");

    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    doc.OnNewDocument();
    if (ma.kvr100Address >= 0) {
        ApplyKvr100Address(doc, ma.kvr100Address);
    }
    if (!OpenPort(options, doc.Port())) {
        return 1;
    }
    doc.channelCount = static_cast<uint16_t>(UploadBoards(doc));
    if (doc.channelCount == 0) {
        const std::string& reason = doc.Port().LastError();
        return Fail(!doc.Port().IsOpen() && !reason.empty()
                        ? reason
                        : "no board answered on " + doc.Port().DevicePath());
    }

    std::vector<std::string> labels;
    for (size_t i = 0; i < ma.monitors.size(); ++i) {
        const auto [channel, e] = ma.monitors[i];
        std::string label;
        if (!DescribeEntityChannel(doc, e, channel, label, true, false)) {
            return Fail("monitor " + ma.given[i] + ": " +
                        (label == kNoEntityText ? "that entity cannot be monitored"
                                                : "not available on the attached unit"));
        }
        if (e == entity::kActiveDemandPower) {
            // As in the desktop program's chooser: the values reply has no such field.
            return Fail("monitor " + ma.given[i] +
                        ": Active Demand Power is not in the values a unit reports");
        }
        labels.push_back(TrimRight(label));
        doc.monitorChannels[i] = static_cast<uint8_t>(channel);
        doc.monitorEntities[i] = static_cast<uint8_t>(e);
    }
    doc.monitorCount = static_cast<uint16_t>(ma.monitors.size());

    MonitorShared shared;
    shared.secondaries = ma.secondary;
    MonitorViewState view;
    view.cells.resize(ma.monitors.size());
    if (!ma.logPath.empty()) {
        if (!StartLog(doc, ma.logPath)) {
            return Fail("cannot create the log file " + ma.logPath);
        }
        view.logPath = ma.logPath;
        view.logIntervalMs = ma.intervalMs;
    }

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    ReadingThread reading(doc, shared);
    reading.Start(MonitorReadIntervalMs());
    IClock& clock = GetClock();
    const uint64_t start = clock.NowMs();
    // At least 1 ms when given: 0 stands for "until a signal".
    const uint64_t durationMs =
        ma.durationSeconds > 0 ? std::max<uint64_t>(1, std::llround(ma.durationSeconds * 1000.0))
                               : 0;
    bool contactKnown = false;
    bool lastContact = false;
    while (g_stopSignal == 0 && (durationMs == 0 || clock.NowMs() - start < durationMs)) {
        // The schedule starts with the first values read, so the log holds no line of
        // values that were never measured.
        if (!view.logPath.empty() && !view.loggingEnabled && shared.newValues) {
            view.loggingEnabled = true;
            view.nextLogDueMs = clock.NowMs();
        }
        const bool cycled = reading.Cycles() > 0;  // before the step reads the contact flag
        const MonitorTimerResult tick = MonitorTimerStep(doc, shared, view);
        if (tick.textsCopied) {
            PrintValues(labels, view.cells);
        }
        if (cycled && (!contactKnown || tick.contact != lastContact)) {
            if (!tick.contact || contactKnown) {
                std::fprintf(stderr, "kvrctl: %s\n",
                             tick.contact ? "the unit answers again" : "no answer from the unit");
            }
            contactKnown = true;
            lastContact = tick.contact;
        }
        clock.SleepMs(kMonitorTimerMs);
    }
    reading.Stop();
    return 0;
}

}  // namespace kvr::cli
