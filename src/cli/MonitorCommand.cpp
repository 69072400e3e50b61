// kvrctl monitor: live monitor values on the terminal from the reading thread, and the
// log file with the desktop program's format and schedule.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "base/Settings.h"
#include "base/Text.h"
#include "cli/CliCommon.h"
#include "document/QRLDoc.h"
#include "document/UnitAddressing.h"
#include "measure/EntityChannel.h"
#include "measure/MeasuredValue.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTimer.h"
#include "monitor/ReadingThread.h"

namespace kvr::cli {

namespace {

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

enum class OutputForm { Text, Json, Csv };

struct MonitorArgs {
    std::vector<std::pair<int, MeasuredEntity>> monitors;  // (channel, entity)
    OutputForm form = OutputForm::Text;
    std::vector<std::string> given;  // as typed, for messages
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
    return ParseEntityWord(word, e);
}

}  // namespace

bool ParseEntityWord(const std::string& word, MeasuredEntity& e) {
    double code = 0;
    if (ParseWholeNumber(word, code)) {
        if (code < 1 || code > kEntityMax || code != static_cast<int>(code)) {
            return false;
        }
        e = EntityFromCode(static_cast<int>(code));
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

namespace {

bool ParseArgs(const std::vector<std::string>& args, MonitorArgs& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--secondary") {
            out.secondary = true;
        } else if (a == "--json" || a == "--csv") {
            const OutputForm form = a == "--json" ? OutputForm::Json : OutputForm::Csv;
            if (out.form != OutputForm::Text && out.form != form) {
                error = "--json and --csv cannot be given together";
                return false;
            }
            out.form = form;
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
            if (!ParseKvr100Address(args[++i], out.kvr100Address)) {
                error = std::string("--kvr100-address needs ") + kKvr100AddressChoices;
                return false;
            }
        } else {
            error = "unexpected argument '" + a + "'";
            return false;
        }
    }
    if (out.monitors.empty()) {
        error = "no monitor given";
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

// The local time of a reading: "2024-03-05 14:05:09.007" for people, or ISO 8601 with the
// offset from UTC ("2024-03-05T14:05:09.007+01:00") for programs.
std::string ReadingTime(const LogTime& t, bool iso) {
    char text[64];
    size_t n =
        std::strftime(text, sizeof text, iso ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &t.local);
    n += static_cast<size_t>(std::snprintf(text + n, sizeof text - n, ".%03d", t.millis));
    if (iso) {
        const long offset = t.local.tm_gmtoff / 60;
        const long minutes = offset < 0 ? -offset : offset;
        std::snprintf(text + n, sizeof text - n, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                      minutes / 60, minutes % 60);
    }
    return text;
}

// A value with the digits it was read with (at most 10 significant), point as decimal
// separator: the C library's numeric locale is never switched here.
std::string PlainNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

// One reading's lines on standard output, in the chosen form.
class ReadingPrinter {
  public:
    ReadingPrinter(OutputForm form, std::vector<std::string> labels,
                   std::vector<MeasuredEntity> entities)
        : form_(form), labels_(std::move(labels)), entities_(std::move(entities)) {
        for (const std::string& label : labels_) {
            widths_.push_back(std::max<size_t>(label.size(), 10));
        }
    }

    // The header, once: column titles for text and CSV; JSON lines name their values.
    void Header() const {
        std::string line;
        if (form_ == OutputForm::Text) {
            line = Pad("Time", kTimeWidth, false);
            for (size_t i = 0; i < labels_.size(); ++i) {
                line += "  " + Pad(labels_[i], widths_[i], false);
            }
            line = TrimRight(line);
        } else if (form_ == OutputForm::Csv) {
            line = "time";
            for (size_t i = 0; i < labels_.size(); ++i) {
                const std::string unit = EntityUnit(entities_[i]);
                line += "," + CsvField(labels_[i] + (unit.empty() ? "" : " (" + unit + ")"));
            }
        } else {
            return;
        }
        Print(line);
    }

    void Reading(const LogTime& time, const std::vector<std::string>& texts) const {
        std::string line;
        if (form_ == OutputForm::Text) {
            line = ReadingTime(time, false);
            for (size_t i = 0; i < texts.size(); ++i) {
                line += "  " + Pad(TrimRight(texts[i]), widths_[i], true);
            }
        } else if (form_ == OutputForm::Csv) {
            line = ReadingTime(time, true);
            for (size_t i = 0; i < texts.size(); ++i) {
                double value = 0;
                line += "," + (LoggedValue(texts[i], entities_[i], value) ? PlainNumber(value)
                                                                          : std::string());
            }
        } else {
            nlohmann::ordered_json values = nlohmann::ordered_json::array();
            for (size_t i = 0; i < texts.size(); ++i) {
                double value = 0;
                nlohmann::ordered_json v;
                v["label"] = labels_[i];
                v["unit"] = EntityUnit(entities_[i]);
                v["value"] = LoggedValue(texts[i], entities_[i], value)
                                 ? nlohmann::ordered_json(value)
                                 : nlohmann::ordered_json(nullptr);
                v["text"] = TrimRight(texts[i]);
                values.push_back(std::move(v));
            }
            nlohmann::ordered_json object;
            object["time"] = ReadingTime(time, true);
            object["values"] = std::move(values);
            line = object.dump();
        }
        Print(line);
    }

  private:
    static constexpr size_t kTimeWidth = 23;  // "2024-03-05 14:05:09.007"

    static std::string Pad(const std::string& text, size_t width, bool right) {
        const std::string fill(text.size() < width ? width - text.size() : 0, ' ');
        return right ? fill + text : text + fill;
    }
    static void Print(const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

    OutputForm form_;
    std::vector<std::string> labels_;
    std::vector<MeasuredEntity> entities_;
    std::vector<size_t> widths_;
};

// Contact with the unit over the run: every loss reported when it happens and when it
// ends, and summed up at the end. A loss lasts from the last values read to the first
// answer after it.
class ContactWatch {
  public:
    explicit ContactWatch(uint64_t startMs) : lastReadingMs_(startMs) {}

    void Tick(bool contact, bool freshValues, uint64_t nowMs) {
        if (!contact && !lost_) {
            lost_ = true;
            lostSinceMs_ = lastReadingMs_;
            ++losses_;
            std::fprintf(stderr, "kvrctl: no answer from the unit\n");
        } else if (contact && lost_) {
            lost_ = false;
            const uint64_t ms = Close(nowMs);
            std::fprintf(stderr, "kvrctl: the unit answers again, after %s s without an answer\n",
                         Seconds(ms).c_str());
        }
        if (contact && freshValues) {
            lastReadingMs_ = nowMs;
        }
    }

    // Prints the summary when contact was lost at any time; true then.
    bool Summary(uint64_t endMs) {
        if (losses_ == 0) {
            return false;
        }
        const bool stillLost = lost_;
        if (lost_) {
            Close(endMs);
        }
        std::fprintf(stderr,
                     "kvrctl: contact with the unit was lost %d time(s), %s s without an answer "
                     "in all (the longest %s s)%s\n",
                     losses_, Seconds(totalMs_).c_str(), Seconds(longestMs_).c_str(),
                     stillLost ? "; no answer at the end" : "");
        return true;
    }

  private:
    uint64_t Close(uint64_t nowMs) {
        const uint64_t ms = nowMs - std::min(nowMs, lostSinceMs_);
        totalMs_ += ms;
        longestMs_ = std::max(longestMs_, ms);
        return ms;
    }
    static std::string Seconds(uint64_t ms) {
        return FormatFixed(static_cast<double>(ms) / 1000.0, 0, 1);
    }

    bool lost_ = false;
    uint64_t lostSinceMs_ = 0;
    uint64_t lastReadingMs_;
    int losses_ = 0;
    uint64_t totalMs_ = 0;
    uint64_t longestMs_ = 0;
};

}  // namespace

int Monitor(const Options& options, const std::vector<std::string>& args) {
    MonitorArgs ma;
    std::string error;
    if (!ParseArgs(args, ma, error)) {
        return UsageError("monitor", error);
    }
    // The log's date in the user's own format.
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
    doc.SetChannels(static_cast<uint16_t>(UploadBoards(doc)));
    if (doc.GetChannels() == 0) {
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
        doc.Monitors().channels[i] = static_cast<uint8_t>(channel);
        doc.Monitors().entities[i] = static_cast<uint8_t>(e);
    }
    doc.Monitors().count = static_cast<uint16_t>(ma.monitors.size());

    MonitorShared shared;
    shared.secondaries = ma.secondary;
    MonitorViewState view;
    view.cells.resize(ma.monitors.size());
    if (!ma.logPath.empty()) {
        if (!StartLog(doc, ma.logPath, &view.logHeader)) {
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

    std::vector<MeasuredEntity> entities;
    for (const auto& m : ma.monitors) {
        entities.push_back(m.second);
    }
    const ReadingPrinter printer(ma.form, labels, entities);
    printer.Header();

    ReadingThread reading(doc, shared);
    reading.Start(MonitorReadIntervalMs());
    IClock& clock = GetClock();
    const uint64_t start = clock.NowMs();
    // At least 1 ms when given: 0 stands for "until a signal".
    const uint64_t durationMs =
        ma.durationSeconds > 0 ? std::max<uint64_t>(1, std::llround(ma.durationSeconds * 1000.0))
                               : 0;
    ContactWatch contact(start);
    while (g_stopSignal == 0 && (durationMs == 0 || clock.NowMs() - start < durationMs)) {
        // The schedule starts with the first values read, so the log holds no line of
        // values that were never measured.
        if (!view.logPath.empty() && !view.loggingEnabled && shared.newValues) {
            view.loggingEnabled = true;
            view.nextLogDueMs = clock.NowMs();
        }
        const bool cycled = reading.Cycles() > 0;  // before the step reads the contact flag
        const MonitorTimerResult tick = MonitorTimerStep(doc, shared, view);
        if (!tick.lineNote.empty()) {
            std::fprintf(stderr, "kvrctl: %s\n", tick.lineNote.c_str());
        }
        if (tick.textsCopied) {
            printer.Reading(LocalTimeNow(), view.cells);
        }
        if (cycled) {
            contact.Tick(tick.contact, tick.textsCopied, clock.NowMs());
        }
        clock.SleepMs(kMonitorTimerMs);
    }
    reading.Stop();
    return contact.Summary(clock.NowMs()) ? 1 : 0;
}

CommandRows MonitorCommandRows() {
    static const CommandRow kRows[] = {
        {"monitor", 60, Monitor, "live values of chosen monitors, shown and logged",
         "usage: kvrctl [PORT OPTIONS] monitor --monitor CH:ENTITY [--monitor CH:ENTITY ...]\n"
         "              [--secondary] [--json | --csv] [--log FILE [--interval SECONDS]]\n"
         "              [--duration SECONDS] [--kvr100-address A]\n"
         "\n"
         "Reads the monitors over and over and prints one line per reading: the local time\n"
         "(24-hour clock, with milliseconds) and every value, under a header line printed once.\n"
         "  --monitor CH:ENTITY  CH is 1, 2, 3 or 3ph (the KVR 300 main board); ENTITY a code\n"
         "                       1 to 14 or one of (any case): voltage|v, current|i,\n"
         "                       active-power|power|p, apparent-power|s, reactive-power|q,\n"
         "                       power-factor|pf, frequency|f, active-energy, apparent-energy,\n"
         "                       reactive-energy, current-max; up to 60 monitors\n"
         "  --secondary          values at the unit's inputs instead of primary ones\n"
         "  --json               one JSON object per reading: {\"time\": ISO 8601 local time,\n"
         "                       \"values\": [{\"label\", \"unit\", \"value\" (base unit, null\n"
         "                       when invalid), \"text\"}, ...]}\n"
         "  --csv                comma-separated: a header row, then the time and each value in\n"
         "                       its base unit (empty when invalid)\n"
         "  --log FILE           the desktop program's log file, one line per --interval seconds\n"
         "                       (default 5); a value not read since the line before is logged\n"
         "                       as Invalid\n"
         "  --duration SECONDS   stop after this time (default: at Ctrl-C)\n"
         "  --kvr100-address A   address of a single KVR 100\n"
         "\n"
         "Losing contact with the unit is reported when it happens and summed up at the end\n"
         "(how often, for how long). When the line itself goes away (an unplugged adapter),\n"
         "that is reported once and the same device is opened again when it comes back (by\n"
         "its stable name, see 'kvrctl ports'); the log gets a line for the loss and one for\n"
         "the return.\n"
         "Exit status: 0 when the unit answered throughout the run; 1 when contact was lost at\n"
         "any time (even if it came back), or on a device or file failure.\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
