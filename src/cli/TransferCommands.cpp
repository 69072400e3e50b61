// kvrctl query and download: the desktop program's Query Device and Download commands,
// with the questions answered by flags.
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Seams.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "document/Identify.h"
#include "document/Password.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"
#include "document/Transfer.h"
#include "document/UnitAddressing.h"
#include "modules/QueryDevice.h"

namespace kvr::cli {

namespace {

// The flag that answers each question of the download.
struct QuestionFlag {
    const char* flag;
    const char* question;
};
constexpr QuestionFlag kQuestionFlags[] = {
    {"--to-different-unit", kDifferentUnitText},
    {"--overwrite-serial", kOverwriteSerialText},
    {"--overwrite-calibration", kOverwriteCalibrationText},
};

// The summary box of the download: its first line is one of the summary texts.
bool IsDownloadSummary(const std::string& text) {
    const std::string first = text.substr(0, text.find('\n'));
    for (int count = 0; count <= kChannelObjects; ++count) {
        if (first == DownloadSummaryText(count) ||
            first == std::to_string(count) + " Channel(s) Downloaded") {
            return true;
        }
    }
    return false;
}

// kvrctl's seam for the download: a question that no flag answers is cancelled, which
// stops the download at that question without writing the board; the summary is left to
// standard output; everything else is kvrctl's usual seam.
class DownloadUser final : public IUserSeam {
  public:
    explicit DownloadUser(CliUser& inner) : inner_(inner) {}
    MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) override {
        if (buttons == MsgButtons::Ok && IsDownloadSummary(text)) {
            return MsgAnswer::Ok;
        }
        const MsgAnswer answer = inner_.MessageBox(text, title, icon, buttons);
        if (buttons != MsgButtons::Ok && inner_.answers.count(text) == 0) {
            return MsgAnswer::Cancel;  // recorded as unanswered by the inner seam
        }
        return answer;
    }
    void Beep(unsigned f, unsigned ms) override { inner_.Beep(f, ms); }
    // The step under way, on a terminal.
    void BusyBegin(const std::string& text) override {
        if (!text.empty()) {
            ShowProgress(text);
        }
        inner_.BusyBegin(text);
    }
    void BusyEnd() override { inner_.BusyEnd(); }
    bool AskPassword(PasswordPrompt prompt, std::string& password,
                     std::string& confirmation) override {
        return inner_.AskPassword(prompt, password, confirmation);
    }

  private:
    CliUser& inner_;
};

// A question on one line: its line breaks become spaces.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') {
            out += c == '\n' ? ' ' : c;
        }
    }
    return out;
}

}  // namespace

int Query(const Options& options, const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    int kvr100Address = 0;
    std::string error;
    if (!TakeKvr100Address(rest, kvr100Address, error)) {
        return UsageError("query", error);
    }
    const bool json = rest.size() == 1 && rest[0] == "--json";
    if (!rest.empty() && !json) {
        return UsageError("query", "unexpected argument '" + rest[0] + "'");
    }
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    ApplyKvr100Address(doc, kvr100Address);
    if (!OpenPort(options, doc.Port())) {
        return 1;
    }
    CliUser user;
    user.quiet = true;  // the detection is printed below
    ScopedSeams seam(Seams{.user = &user});
    doc.OnNewDocument();  // each channel object at its own address, as at start-up
    // The desktop program's order: the display module, the Com module, then the
    // measuring units (the KVR 300 main board before channel 0).
    const std::optional<DeviceType> type = QueryDeviceType(doc);
    if (!type) {
        if (!doc.Port().IsOpen() && !doc.Port().LastError().empty()) {
            return Fail(doc.Port().LastError());
        }
        return Fail("no unit answered on " + PortName(doc.Port()));
    }
    const char* unit = *type == DeviceType::Kvr300   ? "KVR 300"
                       : *type == DeviceType::Kvr100 ? "KVR 100"
                       : *type == DeviceType::KvrCom ? "KVR Com"
                                                     : "KVR Display";
    const bool kvr100 = *type == DeviceType::Kvr100;
    if (json) {
        const nlohmann::ordered_json out = {
            {"unit", unit},
            {"boards", doc.GetChannels()},
            {"kvr100Address",
             kvr100 ? nlohmann::ordered_json(kvr100Address) : nlohmann::ordered_json()}};
        std::printf("%s\n", TerminalJson(out.dump(2)).c_str());
        return 0;
    }
    if (*type == DeviceType::Kvr300) {
        std::printf("A KVR 300 was detected (4 boards: channels 1 to 3 and the main board)\n");
    } else if (kvr100) {
        std::printf("A KVR 100 was detected (address %d)\n", kvr100Address);
    } else {
        std::printf("A %s was detected\n", unit);
    }
    return 0;
}

int Download(const Options& options, const std::vector<std::string>& args) {
    std::string file;
    bool keepGoing = false;
    BoardWrites writes = BoardWrites::SkipEqual;
    CliUser user;
    user.quiet = true;  // the summary is printed below
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool matched = false;
        for (const QuestionFlag& q : kQuestionFlags) {
            if (a != q.flag) {
                continue;
            }
            matched = true;
            const std::string v = i + 1 < args.size() ? args[++i] : "";
            if (v != "yes" && v != "no") {
                return UsageError("download", std::string(q.flag) + " needs yes or no");
            }
            user.answers[q.question] = v == "yes" ? MsgAnswer::Yes : MsgAnswer::No;
        }
        if (matched) {
            continue;
        }
        if (a == "--continue") {
            keepGoing = true;
        } else if (a == "--all-boards") {
            writes = BoardWrites::Every;
        } else if (file.empty() && !a.empty() && a[0] != '-') {
            file = a;
        } else {
            return UsageError("download", "unexpected argument '" + a + "'");
        }
    }
    if (file.empty()) {
        return UsageError("download", "no setup file given");
    }

    DownloadUser seamUser(user);
    ScopedSeams seam(Seams{.user = &seamUser});
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    // As the Open command, but stricter: a file that is not a setup file (which the Open
    // command leaves the document unchanged for) or that ends inside a board record is
    // not downloaded; that would write part-default records to the unit.
    SetupReadInfo info;
    if (OpenSetupFile(doc, file, false, &info) != SetupStatus::Loaded) {
        return Fail("nothing downloaded: " + file + " could not be opened as a setup file");
    }
    if (info.truncated) {
        return Fail("nothing downloaded: " + file + " ends inside " + info.truncatedIn);
    }
    if (doc.GetChannels() == 0) {
        return Fail("nothing downloaded: " + file + " holds no board");
    }
    std::string stored;
    if (!ReadStoredPassword(stored)) {
        // No password could ever match: the download would only ask in vain.
        return Fail(
            "nothing downloaded: no configuration password is set; set one with 'kvrctl "
            "password set' (or KVR > Password... in the desktop program)");
    }
    if (!OpenPort(options, doc.Port())) {
        return kExitFailed;
    }
    doc.SetStopAtFirstFailure(!keepGoing);
    if (!CheckPassword()) {
        // Only asked for when the run would need it.
        user.password = ReadPassword("Configuration password: ");
    }

    const DownloadOutcome result = DownloadCommand(doc, writes);
    ClearProgress();
    std::printf("%s\nStatus: %s\n", TerminalText(result.text, true).c_str(),
                TransferPaneText(true, result.mask, doc.GetChannels() == 4).c_str());
    for (const std::string& line : result.notes) {
        std::fprintf(stderr, "kvrctl: note: %s\n", TerminalText(line).c_str());
    }
    if (result.alreadyEqual > 0) {
        std::fprintf(stderr,
                     "kvrctl: note: %d of %d board(s) already held this configuration and were "
                     "not written again (--all-boards writes every board)\n",
                     result.alreadyEqual, doc.GetChannels());
    }
    for (const std::string& line : result.failures) {
        std::fprintf(stderr, "kvrctl: %s\n", TerminalText(line).c_str());
    }
    if (user.unanswered) {
        std::string hint;
        for (const QuestionFlag& q : kQuestionFlags) {
            if (*user.unanswered == q.question) {
                hint = std::string(" (answer with ") + q.flag + " yes|no)";
            }
        }
        Fail("stopped at: " + OneLine(*user.unanswered) + hint);
        return kExitQuestion;
    }
    if (!result.complete) {
        return Fail("not every board was downloaded");
    }
    return 0;
}

CommandRows TransferCommandRows() {
    static const CommandRow kRows[] = {
        {"query", 30, Query, "which unit is attached (KVR Display, KVR Com, KVR 300 or KVR 100)",
         "usage: kvrctl [PORT OPTIONS] query [--json] [--kvr100-address A]\n"
         "\n"
         "Asks which unit is attached, in this order: a KVR Display module, a KVR Com\n"
         "module, a KVR 300 (four boards), a KVR 100.\n"
         "  --json               the answer as JSON\n"
         "  --kvr100-address A   the address (0, 1 or 2) of a single KVR 100; without it, the\n"
         "                       one stored by 'kvrctl address' (else 0)\n"},
        {"download", 40, Download, "write a setup file to the unit, board by board",
         "usage: kvrctl [PORT OPTIONS] download FILE.kvr [--to-different-unit yes|no]\n"
         "              [--overwrite-serial yes|no] [--overwrite-calibration yes|no] [--continue]\n"
         "              [--all-boards]\n"
         "\n"
         "Writes a setup file to the attached unit, board by board, with the safeguards of the\n"
         "desktop program. Each question is answered by its flag; a question that no flag\n"
         "answers stops the download there (exit status 3). The configuration password comes\n"
         "from KVR_PASSWORD or is typed on standard input; 'kvrctl password set' stores one.\n"
         "  --to-different-unit yes|no      write to a unit whose serial number differs\n"
         "  --overwrite-serial yes|no       give that unit the file's serial number\n"
         "  --overwrite-calibration yes|no  replace the unit's calibration by the file's\n"
         "  --continue                      try every board instead of stopping at the first\n"
         "                                  that fails\n"
         "  --all-boards                    also write boards that already hold the file's\n"
         "                                  record (by default they are checked, not written)\n"
         "On a terminal, the step under way is shown on standard error.\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
