// kvrctl calibrate output and pretest: the "Analog Output Calibration" and "Analog Output
// Pretest" forms for one output, driven from the command line. While the program waits for
// a meter reading typed on standard input, the unit gets its Attention every 5 seconds.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/Seams.h"
#include "calibration/OutputCalibration.h"
#include "calibration/OutputPretest.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"

namespace kvr::cli {

namespace {

struct OutputArgs {
    int board = -1;
    int output = -1;  // 1 to 4
    int kvr100Address = 0;
    std::vector<std::string> words;     // arguments that are not options
    std::vector<std::string> measured;  // --measured LOW HIGH
    int levels[2] = {-1, -1};           // --lower, --upper: list entries
    std::string file;                   // -o

    // The output's index over the unit (4 a board) and its name in messages.
    int Index() const { return board * ParameterRecord::kOutputs + output - 1; }
    std::string Name() const {
        return "output " + std::to_string(output) + " of board " + std::to_string(board);
    }
};

int LevelIndex(const std::string& name) {
    const auto& items = OutputLevelItems();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool ParseOutputArgs(std::vector<std::string> args, bool calibration, OutputArgs& out,
                     std::string& error) {
    if (!TakeKvr100Address(args, out.kvr100Address, error)) {
        return false;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--board" && hasValue) {
            if (!ParseBoardNumber(args[++i], out.board, error)) {
                return false;
            }
        } else if (a == "--output" && hasValue) {
            const std::string& v = args[++i];
            if (v.size() != 1 || v[0] < '1' || v[0] > '4') {
                error = "--output needs an output number from 1 to 4";
                return false;
            }
            out.output = v[0] - '0';
        } else if (calibration && (a == "--lower" || a == "--upper") && hasValue) {
            const int index = LevelIndex(args[++i]);
            if (index < 0) {
                error = a + " needs -Max, -Mid, Zero, +Mid or +Max";
                return false;
            }
            out.levels[a == "--lower" ? 0 : 1] = index;
        } else if (calibration && a == "--measured" && i + 2 < args.size()) {
            out.measured = {args[i + 1], args[i + 2]};
            i += 2;
        } else if (calibration && a == "-o" && hasValue) {
            out.file = args[++i];
        } else if (a.size() > 1 && a[0] == '-' && (a[1] < '0' || a[1] > '9')) {
            error = "unexpected argument '" + a + "'";
            return false;
        } else {
            out.words.push_back(a);
        }
    }
    if (out.board < 0 || out.output < 0) {
        error = "--board N and --output K are needed";
        return false;
    }
    if (out.board == kMainBoard) {
        error = "the main board has no outputs to calibrate";
        return false;
    }
    return true;
}

// One line typed on standard input; every 5 s of waiting sends the keep-alive. False at the
// end of the input.
template <class KeepAlive>
bool ReadLineKeepingAlive(std::string& line, KeepAlive keepAlive) {
    line.clear();
    for (;;) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(kKeepAliveMs));
        if (ready == 0) {
            keepAlive();
            continue;
        }
        char c = 0;
        const ssize_t n = ready > 0 ? read(STDIN_FILENO, &c, 1) : -1;
        if (n <= 0) {
            return !line.empty();
        }
        if (c == '\n') {
            return true;
        }
        if (c != '\r') {
            line += c;
        }
    }
}

// The unit read and the board checked; prints the reason and gives false otherwise.
bool ReadBoard(const Options& options, CQRLDoc& doc, const OutputArgs& oa) {
    DeviceSession reading(doc);
    if (!ReadUnitInto(options, doc, reading, oa.kvr100Address)) {
        return false;
    }
    if (oa.board >= doc.GetChannels() ||
        (doc.LastUploadMask() & (1u << static_cast<unsigned>(oa.board))) == 0) {
        Fail("board " + std::to_string(oa.board) + " did not answer on " + PortName(doc.Port()));
        return false;
    }
    return true;
}

int CalibrateOutputCommand(const Options& options, const std::vector<std::string>& args) {
    OutputArgs oa;
    std::string error;
    if (!ParseOutputArgs(args, true, oa, error)) {
        return UsageError("calibrate", error);
    }
    if (!oa.words.empty()) {
        return UsageError("calibrate", "unexpected argument '" + oa.words[0] + "'");
    }
    CliUser user;
    user.quiet = true;
    ScopedSeams seam(Seams{.user = &user});
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    if (!ReadBoard(options, doc, oa)) {
        return kExitFailed;
    }
    const int n = oa.Index();
    const std::string where = oa.Name();
    OutputCalibration cal(doc, n, n);
    if (!cal.Open()) {
        return Fail("the unit is busy");
    }
    if (!cal.PointEnabled(2 * n)) {
        return Fail(where + " is not an analog output in a range");
    }
    for (int side = 0; side < 2; ++side) {
        const int p = 2 * n + side;
        if (oa.levels[side] >= 0) {
            cal.SelectLevel(p, oa.levels[side]);
        }
        const std::string level = OutputLevelItems()[static_cast<size_t>(cal.PointLevel(p))];
        const std::string expected = cal.PointText(p);
        if (!cal.FocusPoint(p)) {
            return Fail(cal.Note());
        }
        std::string reading;
        if (!oa.measured.empty()) {
            reading = oa.measured[static_cast<size_t>(side)];
        } else {
            std::printf("%s driven to %s (DAC %d), expected %s; meter reading: ", where.c_str(),
                        level.c_str(), OutputLevelDac(cal.PointLevel(p)), expected.c_str());
            std::fflush(stdout);
            if (!ReadLineKeepingAlive(reading, [&cal] { cal.KeepAlive(); })) {
                std::printf("\n");
                return Fail("no meter reading given; nothing stored");
            }
        }
        cal.SetPointText(p, reading);
    }
    if (!cal.Ok()) {
        return Fail("nothing stored");  // the reason was printed by the calibration
    }
    int16_t offset = 0;
    uint16_t span = 0;
    const CalOutput& out = cal.Output(n);
    doc.Channel(out.channel).record.GetDacCalibration(out.slot, offset, span);
    std::printf("%s: DAC span %u, offset %d\n", where.c_str(), static_cast<unsigned>(span),
                static_cast<int>(offset));
    if (!oa.file.empty()) {
        if (!SaveDocumentFile(doc, oa.file, false)) {
            return Fail("cannot write " + oa.file);
        }
        std::printf("Saved %s (download it with --overwrite-calibration yes)\n",
                    TerminalText(oa.file).c_str());
    }
    return 0;
}

int Pretest(const Options& options, const std::vector<std::string>& args) {
    OutputArgs oa;
    std::string error;
    if (!ParseOutputArgs(args, false, oa, error)) {
        return UsageError("pretest", error);
    }
    if (oa.words.empty()) {
        return UsageError("pretest", "at least one VALUE is needed");
    }
    CliUser user;
    user.quiet = true;
    ScopedSeams seam(Seams{.user = &user});
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    if (!ReadBoard(options, doc, oa)) {
        return kExitFailed;
    }
    const int n = oa.Index();
    const std::string where = oa.Name();
    OutputPretest pretest(doc);
    if (!pretest.Open()) {
        return Fail("the unit is busy");
    }
    if (!pretest.RowEnabled(n)) {
        return Fail(where + " is not an analog output");
    }
    for (size_t i = 0; i < oa.words.size(); ++i) {
        pretest.SetFieldText(n, 1, oa.words[i]);
        if (!pretest.FocusField(n, 1)) {
            return Fail(pretest.Note() == kOutputPretestNote
                            ? "'" + oa.words[i] + "' is not a value of " + where
                            : pretest.Note());
        }
        std::printf("%s driven to %s; press Enter %s: ", where.c_str(), oa.words[i].c_str(),
                    i + 1 < oa.words.size() ? "for the next value" : "to end");
        std::fflush(stdout);
        std::string line;
        const bool more = ReadLineKeepingAlive(line, [&pretest] { pretest.Tick(); });
        std::printf("\n");
        if (!more) {
            break;  // the end of the input ends the test
        }
    }
    pretest.Cancel();
    return 0;
}

}  // namespace

int CalibrateOutput(const Options& options, const std::vector<std::string>& args) {
    return CalibrateOutputCommand(options, args);
}

CommandRows CalibrateOutputCommandRows() {
    static const CommandRow kRows[] = {
        {"pretest", 155, Pretest, "drive an analog output to test values",
         "usage: kvrctl [PORT OPTIONS] pretest --board N --output K VALUE [VALUE ...]\n"
         "                                  [--kvr100-address A]\n"
         "\n"
         "The Analog Output Pretest for one output: reads the unit, replaces an implausible\n"
         "DAC calibration by the nominal one (span 1903, offset 0; in this run only), switches\n"
         "output test on and drives output K (1 to 4) of board N (0 to 2) to each VALUE in\n"
         "turn (\"10 mA\", \"-5 V\"; a number alone is mA on a current output), waiting for\n"
         "Enter between them while the unit is kept awake. Output test is switched off at\n"
         "the end, also when the input ends.\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
