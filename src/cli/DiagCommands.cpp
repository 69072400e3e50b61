// kvrctl diag and serial: the "KVR Diagnostics" sheet and the "Set All Serial numbers" form
// with their rules, one action per run.
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Seams.h"
#include "calibration/Diagnostics.h"
#include "calibration/InputCalibration.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "document/Password.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"
#include "document/Transfer.h"
#include "document/UnitAddressing.h"

namespace kvr::cli {

namespace {

struct DiagArgs {
    std::vector<std::string> words;  // the arguments that are not options
    int board = -1;
    int output = -1;  // 1 to 4
    bool all = false;
    int kvr100Address = 0;
};

bool ParseDiagArgs(std::vector<std::string> args, bool allowOutput, bool allowAll, DiagArgs& out,
                   std::string& error) {
    if (!TakeKvr100Address(args, out.kvr100Address, error)) {
        return false;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--board" && i + 1 < args.size()) {
            if (!ParseBoardNumber(args[++i], out.board, error)) {
                return false;
            }
        } else if (allowOutput && a == "--output" && i + 1 < args.size()) {
            const std::string& v = args[++i];
            if (v.size() != 1 || v[0] < '1' || v[0] > '4') {
                error = "--output needs an output number from 1 to 4";
                return false;
            }
            out.output = v[0] - '0';
        } else if (allowAll && a == "--all") {
            out.all = true;
        } else if (a.size() > 1 && a[0] == '-' && (a[1] < '0' || a[1] > '9')) {
            error = "unexpected argument '" + a + "'";
            return false;
        } else {
            out.words.push_back(a);
        }
    }
    if (out.board < 0 && !out.all) {
        error = allowAll ? "--board N or --all is needed" : "--board N is needed";
        return false;
    }
    if (out.board >= 0 && out.all) {
        error = "--board and --all exclude each other";
        return false;
    }
    if (allowOutput && out.output < 0) {
        error = "--output O is needed";
        return false;
    }
    return true;
}

// A whole decimal integer that fits 32 bits.
bool IsInteger(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && v >= INT32_MIN && v <= INT32_MAX;
}

// The page of a board, opened; null (with the reason printed) when the unit has no such
// board or the board was not read.
DiagnosticsPage* OpenPage(DiagnosticsSheet& sheet, CQRLDoc& doc, int board) {
    if (!sheet.Open() || board >= sheet.PageCount() ||
        (doc.LastUploadMask() & (1u << static_cast<unsigned>(board))) == 0) {
        Fail("board " + std::to_string(board) + " did not answer on " + PortName(doc.Port()));
        return nullptr;
    }
    DiagnosticsPage& page = sheet.Page(board);
    page.Open();
    return &page;
}

int Diag(const Options& options, const std::vector<std::string>& args) {
    if (args.empty()) {
        return UsageError("diag", "no action given");
    }
    const std::string& action = args[0];
    const bool isRelay = action == "relay";
    const bool isDac = action == "dac";
    if (!isRelay && !isDac && action != "loopback" && action != "mode" && action != "output-test") {
        return UsageError("diag", "unknown action '" + action + "'");
    }
    DiagArgs da;
    std::string error;
    if (!ParseDiagArgs({args.begin() + 1, args.end()}, isRelay || isDac, false, da, error)) {
        return UsageError("diag", error);
    }
    const std::vector<std::string>& w = da.words;
    const size_t wanted = action == "loopback" ? 5 : 1;
    if (w.size() != wanted) {
        return UsageError("diag", "'" + action + "' needs " + std::to_string(wanted) +
                                      (wanted == 1 ? " argument" : " arguments"));
    }
    RelayAction relay = RelayAction::Make;
    if (isRelay) {
        if (w[0] == "make") {
            relay = RelayAction::Make;
        } else if (w[0] == "break") {
            relay = RelayAction::Break;
        } else if (w[0] == "pulse") {
            relay = RelayAction::Pulse;
        } else {
            return UsageError("diag", "relay needs make, break or pulse");
        }
    }
    if (isDac && !IsInteger(w[0])) {
        return UsageError("diag", "the DAC value must be an integer");
    }
    int mode = 0;
    if (action == "loopback") {
        const auto& items = LoopbackModeItems();
        const std::array<const char*, 3> names = {"normal", "static", "cycle"};
        mode = -1;
        for (size_t i = 0; i < names.size() && i < items.size(); ++i) {
            if (w[0] == names[i] || w[0] == std::to_string(i)) {
                mode = static_cast<int>(i);
            }
        }
        if (mode < 0) {
            return UsageError("diag", "loopback needs the mode normal, static or cycle");
        }
    }
    if ((action == "mode" && w[0] != "user" && w[0] != "factory") ||
        (action == "output-test" && w[0] != "on" && w[0] != "off")) {
        return UsageError("diag", action == "mode" ? "mode needs user or factory"
                                                   : "output-test needs on or off");
    }

    CliUser user;
    user.quiet = true;
    ScopedSeams seam(Seams{.user = &user});
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    DiagnosticsSheet sheet(doc);
    if (!ReadUnitInto(options, doc, sheet, da.kvr100Address)) {
        return kExitFailed;
    }
    DiagnosticsPage* page = OpenPage(sheet, doc, da.board);
    if (page == nullptr) {
        return kExitFailed;
    }
    const std::string where = "board " + std::to_string(da.board);
    if (isRelay || isDac) {
        if (page->IsMainBoard()) {
            return Fail("the main board has no outputs to test");
        }
        if (!page->ChoosePort(da.output - 1)) {
            return Fail("output " + std::to_string(da.output) + " cannot be chosen");
        }
        if (isRelay && !page->RelayEnabled()) {
            return Fail("output " + std::to_string(da.output) + " of " + where +
                        " is not a relay output");
        }
        if (isDac && !page->DacEnabled()) {
            return Fail("output " + std::to_string(da.output) + " of " + where +
                        " is not an analog output");
        }
        const bool ok = isRelay ? page->Relay(relay) : page->SetDac(w[0]);
        if (!ok) {
            return Fail("the command was not acknowledged by " + where);
        }
        return 0;
    }
    if (action == "loopback") {
        const std::array<std::string, kTestBytes> bytes = {w[1], w[2], w[3], w[4]};
        return page->SetLoopback(mode, bytes) ? 0 : kExitFailed;
    }
    if (action == "mode") {
        const bool ok = w[0] == "user" ? page->SetUserMode() : page->SetFactoryMode();
        return ok ? 0 : kExitFailed;
    }
    // output-test: off is the sheet's Cancel for the board; on, as the page does before a
    // relay or DAC command.
    if (w[0] == "off") {
        page->Cancel();
        return 0;
    }
    bool ok = doc.Channel(da.board).SetOutputTest(true);
    if (doc.GetChannels() > 1 && da.board != kMainBoard) {
        ok = doc.Channel(kMainBoard).SetOutputTest(true) && ok;
    }
    return ok ? 0 : Fail("output test mode was not acknowledged by " + where);
}

int Serial(const Options& options, const std::vector<std::string>& args) {
    if (args.empty() || args[0] != "set") {
        return UsageError("serial", "the action 'set' is needed");
    }
    DiagArgs da;
    std::string error;
    if (!ParseDiagArgs({args.begin() + 1, args.end()}, false, true, da, error)) {
        return UsageError("serial", error);
    }
    if (da.words.size() != 1) {
        return UsageError("serial", "one serial number is needed");
    }
    const std::string& text = da.words[0];
    if (!IsInteger(text)) {
        return UsageError("serial", "the serial number must be an integer");
    }
    std::string stored;
    if (!ReadStoredPassword(stored)) {
        return Fail(
            "nothing downloaded: no configuration password is set; set one with 'kvrctl "
            "password set' (or KVR > Password... in the desktop program)");
    }
    CliUser user;
    user.quiet = true;
    // The records were read from this unit just before, so the download's "different
    // unit" question comes only from the new serial number, as does the one about
    // overwriting it: both are what was asked for. Any other question stays unanswered,
    // which stops the download.
    user.answers[kDifferentUnitText] = MsgAnswer::Yes;
    user.answers[kOverwriteSerialText] = MsgAnswer::Yes;
    if (!CheckPassword()) {
        user.password = ReadPassword("Configuration password: ");
    }
    ScopedSeams seam(Seams{.user = &user});
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    bool ok = false;
    if (da.all) {
        SetAllSerialNumbers form(doc);
        if (!ReadUnitInto(options, doc, form, da.kvr100Address)) {
            return kExitFailed;
        }
        if (!form.Open()) {
            return Fail("the unit is busy");
        }
        std::vector<int> failed;
        ok = form.Download(text, &failed);
    } else {
        DiagnosticsSheet sheet(doc);
        if (!ReadUnitInto(options, doc, sheet, da.kvr100Address)) {
            return kExitFailed;
        }
        DiagnosticsPage* page = OpenPage(sheet, doc, da.board);
        if (page == nullptr) {
            return kExitFailed;
        }
        ok = page->DownloadSerial(text);
    }
    if (user.unanswered) {
        Fail("stopped at: " + *user.unanswered);
        return kExitQuestion;
    }
    return ok ? 0 : Fail("the serial number was not written to every board");
}

// The seam of the calibration: with --yes the deviation questions are answered Yes, else
// they stay unanswered (No, and the command stops there).
class CalibrationUser final : public IUserSeam {
  public:
    CalibrationUser(CliUser& inner, bool yes) : inner_(inner), yes_(yes) {}
    MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) override {
        if (yes_ && buttons == MsgButtons::YesNo) {
            return MsgAnswer::Yes;
        }
        return inner_.MessageBox(text, title, icon, buttons);
    }
    void Beep(unsigned f, unsigned ms) override { inner_.Beep(f, ms); }
    void BusyBegin(const std::string& text) override { inner_.BusyBegin(text); }
    void BusyEnd() override { inner_.BusyEnd(); }
    bool AskPassword(PasswordPrompt prompt, std::string& password,
                     std::string& confirmation) override {
        return inner_.AskPassword(prompt, password, confirmation);
    }

  private:
    CliUser& inner_;
    bool yes_;
};

int Calibrate(const Options& options, const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "output") {
        return CalibrateOutput(options, {args.begin() + 1, args.end()});
    }
    if (args.empty() || args[0] != "inputs") {
        return UsageError("calibrate", "the action 'inputs' or 'output' is needed");
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    int kvr100Address = 0;
    std::string error;
    if (!TakeKvr100Address(rest, kvr100Address, error)) {
        return UsageError("calibrate", error);
    }
    std::string channel, voltage, current, output;
    bool yes = false;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        const bool hasValue = i + 1 < rest.size();
        if (a == "--channel" && hasValue) {
            channel = rest[++i];
        } else if (a == "--voltage" && hasValue) {
            voltage = rest[++i];
        } else if (a == "--current" && hasValue) {
            current = rest[++i];
        } else if (a == "-o" && hasValue) {
            output = rest[++i];
        } else if (a == "--yes") {
            yes = true;
        } else {
            return UsageError("calibrate", "unexpected argument '" + a + "'");
        }
    }
    if (channel != "1" && channel != "2" && channel != "3" && channel != "all") {
        return UsageError("calibrate", "--channel needs 1, 2, 3 or all");
    }
    if (voltage.empty() || current.empty()) {
        return UsageError("calibrate", "--voltage REF and --current REF are needed");
    }
    CliUser user;
    user.quiet = true;
    CalibrationUser seamUser(user, yes);
    ScopedSeams seam(Seams{.user = &seamUser});
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    {
        DeviceSession reading(doc);
        if (!ReadUnitInto(options, doc, reading, kvr100Address)) {
            return kExitFailed;
        }
    }
    int first = 0;
    int last = 0;
    InputCalibration::AllInputsRange(doc, first, last);
    if (channel != "all") {
        const int c = channel[0] - '1';
        if (c > last) {
            return Fail("the unit has no channel " + channel);
        }
        first = last = c;
    }
    InputCalibration cal(doc, first, last);
    if (!cal.Open()) {
        return Fail("the unit is busy");
    }
    for (int c = first; c <= last; ++c) {
        cal.SetReferenceText(c, false, voltage);
        cal.SetReferenceText(c, true, current);
    }
    const bool ran = cal.Run([](int n) {
        ShowProgress("Sampling input values: " + std::to_string(n) + " of " +
                     std::to_string(InputCalibration::ProgressMax()));
    });
    ClearProgress();
    if (!ran) {
        return Fail("the calibration did not complete");
    }
    for (int c = first; c <= last; ++c) {
        std::printf("Channel %d: average %g V, %g A\n", c + 1, cal.Average(c, false),
                    cal.Average(c, true));
    }
    const SaveResult saved = cal.Save();
    if (saved == SaveResult::Declined) {
        Fail("stopped at a deviation above 30 % (answer with --yes)");
        return kExitQuestion;
    }
    if (saved != SaveResult::Applied) {
        return Fail("nothing applied");
    }
    if (!output.empty()) {
        if (!SaveDocumentFile(doc, output, false)) {
            return Fail("cannot write " + output);
        }
        std::printf("Saved %s (download it with --overwrite-calibration yes)\n",
                    TerminalText(output).c_str());
    }
    return 0;
}

}  // namespace

bool ReadUnitInto(const Options& options, CQRLDoc& doc, DeviceSession& session, int kvr100Address) {
    ApplyKvr100Address(doc, kvr100Address);
    if (!OpenPort(options, doc.Port())) {
        return false;
    }
    if (!session.Lock()) {
        Fail("the unit is busy");
        return false;
    }
    ShowProgress("Reading the unit ...");
    const UploadOutcome read = UploadBoards(doc);
    ClearProgress();
    if (read.count == 0) {
        if (!doc.Port().IsOpen() && !doc.Port().LastError().empty()) {
            Fail(doc.Port().LastError());
        } else {
            Fail("no measuring unit answered on " + PortName(doc.Port()));
        }
        return false;
    }
    return true;
}

CommandRows DiagCommandRows() {
    static const CommandRow kRows[] = {
        {"diag", 130, Diag, "exercise a board's relays, DAC, loopback test and modes",
         "usage: kvrctl [PORT OPTIONS] diag relay make|break|pulse --board N --output O\n"
         "       kvrctl [PORT OPTIONS] diag dac --board N --output O VALUE\n"
         "       kvrctl [PORT OPTIONS] diag loopback normal|static|cycle V C P F --board N\n"
         "       kvrctl [PORT OPTIONS] diag mode user|factory --board N\n"
         "       kvrctl [PORT OPTIONS] diag output-test on|off --board N\n"
         "\n"
         "The KVR Diagnostics sheet, one action per run (the unit is read first).\n"
         "  --board N            board N (0 to 2: channels 1 to 3; 3: the main board)\n"
         "  --output O           output 1 to 4 of the board: a relay output for 'relay', an\n"
         "                       analog output for 'dac'\n"
         "  VALUE                the DAC value, an integer (its low 16 bits are sent)\n"
         "  V C P F              loopback test bytes 0 to 255: voltage, current, power\n"
         "                       factor, frequency\n"
         "  --kvr100-address A   the address (0, 1 or 2) of a single KVR 100; without it, the\n"
         "                       one stored by 'kvrctl address' (else 0)\n"
         "Relay and DAC switch output test mode on (and on a KVR 300 the main board's too);\n"
         "'output-test off' switches it off again.\n"},
        {"serial", 140, Serial, "write a serial number into one board or every board",
         "usage: kvrctl [PORT OPTIONS] serial set NUMBER --board N|--all\n"
         "                                    [--kvr100-address A]\n"
         "\n"
         "Reads the unit, then stores NUMBER as the serial number of board N (0 to 3) or of\n"
         "every board and downloads each, with the password check and read-back of\n"
         "'kvrctl download'. The password is asked for (or taken from KVR_PASSWORD) when\n"
         "needed; a board that fails is named and the next is tried ('--all').\n"},
        {"calibrate", 150, Calibrate, "calibrate the inputs or an analog output",
         "usage: kvrctl [PORT OPTIONS] calibrate inputs --channel 1|2|3|all --voltage REF\n"
         "                                    --current REF [-o FILE.kvr] [--yes]\n"
         "       kvrctl [PORT OPTIONS] calibrate output --board N --output K\n"
         "                                    [--lower LEVEL] [--upper LEVEL]\n"
         "                                    [--measured LOW HIGH] [-o FILE.kvr]\n"
         "\n"
         "The 3-phase Input Calibration: reads the unit, takes 30 samples of the channel(s)\n"
         "(progress on standard error), and multiplies the voltage and current gains by\n"
         "reference / measured average.\n"
         "  --voltage REF, --current REF   the references applied (\"230 V\", \"5 A\")\n"
         "  --yes                a deviation above 30 % is applied anyway (else status 3)\n"
         "  -o FILE.kvr          save the calibrated setup, ready for 'kvrctl download\n"
         "                       FILE.kvr --overwrite-calibration yes'\n"
         "\n"
         "The Analog Output Calibration of output K (1 to 4) of board N (0 to 2): reads the\n"
         "unit, drives the output to the lower and then the upper level (-Max, -Mid, Zero,\n"
         "+Mid, +Max: DAC -2000 to 2000; by default the levels its configuration gives) and\n"
         "asks for the meter reading at each (\"-19.8 mA\"; a number alone is mA on a\n"
         "current output), keeping the unit awake meanwhile; then stores the DAC span and\n"
         "offset of the line through the two points. --measured LOW HIGH gives the two\n"
         "readings on the command line instead. Output test is switched off at the end.\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
