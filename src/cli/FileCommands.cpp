// kvrctl commands on setup files: show, convert and diff.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/Seams.h"
#include "base/UserSeam.h"
#include "cli/CliCommon.h"
#include "document/Kvr100Address.h"
#include "document/SetupFile.h"
#include "document/SetupJson.h"
#include "link/ChannelLink.h"
#include "measure/EntityChannel.h"
#include "measure/RecordText.h"

namespace kvr::cli {

namespace {

constexpr int kDiffError = 2;  // as diff(1): 0 equal, 1 different, 2 trouble

// Catches the core's messages while a file is read, so kvrctl can say which file they
// are about in one line.
class MessageCatcher final : public IUserSeam {
  public:
    MsgAnswer MessageBox(const std::string& text, const std::string&, MsgIcon,
                         MsgButtons buttons) override {
        last = text;
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
    void Beep(unsigned, unsigned) override {}
    void BusyBegin(const std::string&) override {}
    void BusyEnd() override {}
    bool AskPassword(PasswordPrompt, std::string&, std::string&) override { return false; }
    std::string last;
};

// A setup file in a document of its own, as the desktop program would hold it.
struct LoadedSetup {
    std::unique_ptr<CQRLDoc> doc;
    SetupReadInfo info;
    SetupImage image;
};

bool LoadSetupPath(const std::string& path, LoadedSetup& out, std::string& error) {
    out.doc = std::make_unique<CQRLDoc>();
    out.doc->OnNewDocument();
    MessageCatcher catcher;
    SetupStatus status;
    {
        ScopedSeams quiet(Seams{.user = &catcher});
        status = OpenSetupFile(*out.doc, path, false, &out.info);
    }
    if (status != SetupStatus::Loaded) {
        error = catcher.last.find(path) == std::string::npos ? path + ": " + catcher.last
                                                             : catcher.last;
        return false;
    }
    out.image = CaptureSetup(*out.doc, out.info.signature);
    return true;
}

void NoteShortFile(const std::string& path, const SetupReadInfo& info) {
    if (info.truncated) {
        std::fprintf(stderr,
                     "kvrctl: note: %s ends inside %s; the rest of it is as a new document "
                     "holds it\n",
                     TerminalText(path).c_str(), info.truncatedIn.c_str());
    }
    if (info.trailingBytes > 0) {
        std::fprintf(stderr, "kvrctl: note: %s has %zu byte(s) after its last record (ignored)\n",
                     TerminalText(path).c_str(), info.trailingBytes);
    }
}

std::string MonitorLabel(const CQRLDoc& doc, int entity, int channel) {
    std::string label;
    DescribeEntityChannel(doc, EntityFromCode(entity), channel, label, true, false);
    return label;
}

std::string LabelOf(const SetupImage& image, int entity, int channel) {
    CQRLDoc doc;
    doc.OnNewDocument();
    ApplySetup(doc, image);
    return MonitorLabel(doc, entity, channel);
}

const SetupJsonTexts kJsonTexts{LabelOf, DescribeRecord};

std::string MonitorText(const CQRLDoc& doc, int i) {
    const int e = doc.Monitors().entities[static_cast<size_t>(i)];
    const int c = doc.Monitors().channels[static_cast<size_t>(i)];
    return TerminalText(MonitorLabel(doc, e, c)) + " (entity " + std::to_string(e) + ", channel " +
           std::to_string(c) + ")";
}

std::string BoardTitle(int board) {
    return board == kMainBoard
               ? "Board 3 (main board)"
               : "Board " + std::to_string(board) + " (channel " + std::to_string(board + 1) + ")";
}

std::string UnitKind(int channels) {
    return channels == 1 ? " (KVR 100)" : channels == 4 ? " (KVR 300)" : "";
}

// A multi-line description with its later lines under the first.
std::string Indented(const std::string& text, const std::string& indent) {
    std::string lines;
    for (char c : text) {
        if (c != '\r') {
            lines += c;
        }
    }
    std::string out;
    for (char c : TerminalText(lines, true)) {
        out += c;
        if (c == '\n') {
            out += indent;
        }
    }
    return out;
}

int ShowText(const std::string& path, const LoadedSetup& file) {
    const CQRLDoc& doc = *file.doc;
    const char* indent = "                  ";
    std::printf("File              %s\n", TerminalText(path).c_str());
    std::printf("Signature         %u\n", file.info.signature);
    std::printf("Description       %s\n", Indented(doc.Description(), indent).c_str());
    std::printf("Boards            %u%s\n", doc.GetChannels(), UnitKind(doc.GetChannels()).c_str());
    std::printf("Monitors          %u\n", doc.Monitors().count);
    std::printf("Layout columns    %u\n", doc.Monitors().columns);
    if (doc.Monitors().count > 0) {
        std::printf("\n");
    }
    for (int i = 0; i < doc.Monitors().count; ++i) {
        std::printf("Monitor %-2d        %s\n", i + 1, MonitorText(doc, i).c_str());
    }
    for (int b = 0; b < doc.GetChannels(); ++b) {
        std::printf("\n%s\n", BoardTitle(b).c_str());
        for (const auto& [name, value] : DescribeRecord(doc.Channel(b).record)) {
            std::printf("  %-24s %s\n", name.c_str(), TerminalText(value).c_str());
        }
    }
    PrintOutputs(*file.doc);
    return 0;
}

// Which raw field a record byte belongs to, for differences no decoded field shows.
const char* RawFieldAt(size_t offset) {
    static const struct {
        size_t begin;
        const char* name;
    } kFields[] = {
        {0, "SerialNumber"},       {4, "UnitAddress"},
        {5, "calibration gains"},  {15, "OutputCard"},
        {19, "OutputEntity"},      {23, "OutputSource"},
        {27, "OutputScaleMin"},    {35, "OutputScaleMax"},
        {43, "OutputLevelMin"},    {51, "OutputLevelMax"},
        {59, "DacOffset"},         {67, "DacSpan"},
        {75, "FirmwareVersion"},   {76, "InputHardware"},
        {77, "CtPhaseCorrection"}, {79, "Name"},
        {96, "reserved"},          {99, "CurrentThreshold"},
        {100, "ChannelFlags"},     {101, "VoltageInput"},
        {102, "VtPrimary"},        {104, "VtSecondary"},
        {106, "VoltageDirect"},    {107, "CurrentInput"},
        {108, "CtPrimary"},        {110, "CtSecondary"},
        {112, "CurrentDirect"},    {113, "Signature"},
    };
    const char* name = kFields[0].name;
    for (const auto& f : kFields) {
        if (offset >= f.begin) {
            name = f.name;
        }
    }
    return name;
}

std::string HexBytes(const ParameterRecord& r, size_t begin, size_t end) {
    std::string out;
    char hex[4];
    for (size_t k = begin; k < end; ++k) {
        std::snprintf(hex, sizeof hex, "%s%02x", k == begin ? "" : " ", r.Bytes()[k]);
        out += hex;
    }
    return out;
}

// Every decoded field that differs, then the bytes whose difference no field shows (a
// transformer rating while coupled directly, carried bits, bytes after a name's end).
void DiffRecords(const std::string& title, const ParameterRecord& a, const ParameterRecord& b,
                 std::vector<std::string>& lines) {
    const auto da = DescribeRecord(a);
    const auto db = DescribeRecord(b);
    for (size_t i = 0; i < da.size() && i < db.size(); ++i) {
        if (da[i].second != db[i].second) {
            lines.push_back(title + " / " + da[i].first + ": " + DisplayText(da[i].second) +
                            " -> " + DisplayText(db[i].second));
        }
    }
    std::vector<bool> hidden(ParameterRecord::kSize, false);
    for (size_t k = 0; k < ParameterRecord::kSize; ++k) {
        if (a.Bytes()[k] != b.Bytes()[k]) {
            // Hidden when neither record shows the byte: swapped alone, nothing changes.
            ParameterRecord aWithB = a;
            aWithB.Bytes()[k] = b.Bytes()[k];
            ParameterRecord bWithA = b;
            bWithA.Bytes()[k] = a.Bytes()[k];
            hidden[k] = DescribeRecord(aWithB) == da && DescribeRecord(bWithA) == db;
        }
    }
    for (size_t k = 0; k < ParameterRecord::kSize;) {
        if (!hidden[k]) {
            ++k;
            continue;
        }
        size_t end = k + 1;
        while (end < ParameterRecord::kSize && hidden[end] && RawFieldAt(end) == RawFieldAt(k)) {
            ++end;
        }
        std::string where = end - k == 1
                                ? "byte " + std::to_string(k)
                                : "bytes " + std::to_string(k) + "-" + std::to_string(end - 1);
        lines.push_back(title + " / " + RawFieldAt(k) + " " + where + ": " + HexBytes(a, k, end) +
                        " -> " + HexBytes(b, k, end));
        k = end;
    }
}

std::vector<std::string> DiffFiles(const LoadedSetup& a, const LoadedSetup& b) {
    std::vector<std::string> lines;
    const CQRLDoc& x = *a.doc;
    const CQRLDoc& y = *b.doc;
    auto header = [&](const char* name, const std::string& from, const std::string& to) {
        if (from != to) {
            lines.push_back(std::string(name) + ": " + from + " -> " + to);
        }
    };
    header("Signature", std::to_string(a.info.signature), std::to_string(b.info.signature));
    if (x.Description() != y.Description()) {
        std::string from = "\"" + TerminalText(x.Description()) + "\"";
        std::string to = "\"" + TerminalText(y.Description()) + "\"";
        if (from == to) {  // different bytes that read alike: show the bytes
            from += " (" +
                    ToHex(reinterpret_cast<const uint8_t*>(x.Description().data()),
                          x.Description().size()) +
                    ")";
            to += " (" +
                  ToHex(reinterpret_cast<const uint8_t*>(y.Description().data()),
                        y.Description().size()) +
                  ")";
        }
        lines.push_back("Description: " + from + " -> " + to);
    }
    header("Boards", std::to_string(x.GetChannels()), std::to_string(y.GetChannels()));
    header("Monitors", std::to_string(x.Monitors().count), std::to_string(y.Monitors().count));
    header("Layout columns", std::to_string(x.Monitors().columns),
           std::to_string(y.Monitors().columns));
    const int monitors = std::max(x.Monitors().count, y.Monitors().count);
    for (int i = 0; i < monitors; ++i) {
        const std::string from = i < x.Monitors().count ? MonitorText(x, i) : "(none)";
        const std::string to = i < y.Monitors().count ? MonitorText(y, i) : "(none)";
        const auto at = static_cast<size_t>(i);
        const bool same = i < x.Monitors().count && i < y.Monitors().count &&
                          x.Monitors().entities[at] == y.Monitors().entities[at] &&
                          x.Monitors().channels[at] == y.Monitors().channels[at];
        if (!same) {
            lines.push_back("Monitor " + std::to_string(i + 1) + ": " + from + " -> " + to);
        }
    }
    const int boards = std::max(x.GetChannels(), y.GetChannels());
    for (int i = 0; i < boards; ++i) {
        const std::string title = "Board " + std::to_string(i);
        if (i >= x.GetChannels() || i >= y.GetChannels()) {
            lines.push_back(title + ": " + (i < x.GetChannels() ? "present" : "(absent)") + " -> " +
                            (i < y.GetChannels() ? "present" : "(absent)"));
            continue;
        }
        DiffRecords(title, x.Channel(i).record, y.Channel(i).record, lines);
    }
    return lines;
}

int PrintDiff(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::printf("%s\n", TerminalText(line).c_str());
    }
    return lines.empty() ? 0 : 1;
}

// kvr100Address: where a single KVR 100's board is asked (-1: at its record's address).
int DiffUnit(const Options& options, const std::string& path, int kvr100Address) {
    LoadedSetup file;
    std::string error;
    if (!LoadSetupPath(path, file, error)) {
        Fail(error);
        return kDiffError;
    }
    NoteShortFile(path, file.info);
    const CQRLDoc& doc = *file.doc;
    if (doc.GetChannels() == 0) {
        Fail(path + " holds no board to compare with the unit");
        return kDiffError;
    }
    if (kvr100Address >= 0 && doc.GetChannels() != 1) {
        UsageError("diff", "--kvr100-address applies to a file of a single KVR 100 (one board)");
        return kDiffError;
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return kDiffError;
    }
    std::vector<std::string> lines;
    for (int b = 0; b < doc.GetChannels(); ++b) {
        const ParameterRecord& mine = doc.Channel(b).record;
        // The board is asked at the address its record in the file gives.
        const uint8_t address =
            kvr100Address >= 0 ? static_cast<uint8_t>(kvr100Address) : mine.GetUnitAddress();
        CChannelLink unit(&port, address);
        if (!unit.ReadParameters()) {
            const std::string reason =
                !port.IsOpen() && !port.LastError().empty() ? ": " + port.LastError() : "";
            Fail("board " + std::to_string(b) + " (address " + std::to_string(address & 7) +
                 ") did not answer on " + PortName(port) + reason);
            return kDiffError;
        }
        DiffRecords("Board " + std::to_string(b), mine, unit.record, lines);
    }
    return PrintDiff(lines);
}

}  // namespace

int Show(const Options&, const std::vector<std::string>& args) {
    std::string path;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            return UsageError("show", "unexpected argument '" + a + "'");
        }
    }
    if (path.empty()) {
        return UsageError("show", "no setup file given");
    }
    LoadedSetup file;
    std::string error;
    if (!LoadSetupPath(path, file, error)) {
        return Fail(error);
    }
    NoteShortFile(path, file.info);
    if (json) {
        std::fputs(TerminalJson(SetupToJson(file.image, kJsonTexts)).c_str(), stdout);
        return 0;
    }
    return ShowText(path, file);
}

int Convert(const Options&, const std::vector<std::string>& args) {
    std::string in;
    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size() && out.empty()) {
            out = args[++i];
        } else if (in.empty() && !args[i].empty() && args[i][0] != '-') {
            in = args[i];
        } else {
            return UsageError("convert", "unexpected argument '" + args[i] + "'");
        }
    }
    if (in.empty() || out.empty()) {
        return UsageError("convert", in.empty() ? "no input file given" : "no output given (-o)");
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(in, bytes, error)) {
        return Fail("cannot read " + in + ": " + error);
    }
    const bool toSetupFile = LooksLikeJson(bytes);
    if (HasExtension(out, toSetupFile ? ".json" : ".kvr")) {
        // The other tools would take the file for what its name says.
        return UsageError("convert", std::string(toSetupFile ? in + " is JSON: its setup file"
                                                             : in + " is a setup file: its JSON") +
                                         " would not be written to " + out);
    }
    if (toSetupFile) {
        SetupImage image;
        std::vector<std::string> notes;
        if (!SetupFromJson(std::string(bytes.begin(), bytes.end()), image, error, &notes,
                           kJsonTexts)) {
            return Fail(in + ": " + error);
        }
        for (const std::string& note : notes) {
            std::fprintf(stderr, "kvrctl: note: %s\n", TerminalText(note).c_str());
        }
        return WriteOutput(out, EncodeSetup(image)) ? 0 : 1;
    }
    LoadedSetup file;
    if (!LoadSetupPath(in, file, error)) {
        return Fail(error);
    }
    if (file.info.truncated || file.info.trailingBytes > 0) {
        NoteShortFile(in, file.info);
    }
    // A file the program would not write byte for byte (cut short, bytes after its end,
    // a length prefix in a longer form than needed) cannot come back identical.
    if (!ReadWholeFile(in, bytes, error) || EncodeSetup(file.image) != bytes) {
        if (!file.info.truncated && file.info.trailingBytes == 0) {
            std::fprintf(stderr,
                         "kvrctl: note: %s stores a value in a form the program does not write "
                         "(such as a longer length prefix than needed)\n",
                         in.c_str());
        }
        std::fprintf(stderr,
                     "kvrctl: note: the JSON holds the setup as loaded; converted back it "
                     "will not give the same bytes as %s\n",
                     TerminalText(in).c_str());
    }
    for (size_t b = 0; b < std::min<size_t>(file.image.channelCount, kSetupMaxChannels); ++b) {
        if (!file.image.records[b].IsValid()) {
            std::fprintf(stderr,
                         "kvrctl: note: board %zu of %s has the record signature %u, not 7502: "
                         "the JSON will be refused when converted back\n",
                         b, TerminalText(in).c_str(),
                         static_cast<unsigned>(file.image.records[b].GetSignature()));
        }
    }
    const std::string json = SetupToJson(file.image, kJsonTexts);
    const std::string text = out == "-" ? TerminalJson(json) : json;
    return WriteOutput(out, std::vector<uint8_t>(text.begin(), text.end())) ? 0 : 1;
}

int Diff(const Options& options, const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    int kvr100Address = -1;
    for (size_t i = 0; i + 1 < rest.size(); ++i) {
        const std::string& v = rest[i + 1];
        if (rest[i] == "--kvr100-address") {
            if (!ParseKvr100Address(v, kvr100Address)) {
                UsageError("diff", std::string("--kvr100-address needs ") + kKvr100AddressChoices);
                return kDiffError;
            }
            rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i),
                       rest.begin() + static_cast<std::ptrdiff_t>(i + 2));
            break;
        }
    }
    if (rest.size() != 2 || rest[0].empty() || rest[0][0] == '-' ||
        (kvr100Address >= 0 && rest[1] != "--unit")) {
        UsageError("diff", "expected two setup files, or one and --unit");
        return kDiffError;
    }
    if (rest[1] == "--unit") {
        return DiffUnit(options, rest[0], kvr100Address);
    }
    LoadedSetup a;
    LoadedSetup b;
    std::string error;
    if (!LoadSetupPath(rest[0], a, error) || !LoadSetupPath(rest[1], b, error)) {
        Fail(error);
        return kDiffError;
    }
    NoteShortFile(rest[0], a.info);
    NoteShortFile(rest[1], b.info);
    return PrintDiff(DiffFiles(a, b));
}

CommandRows FileCommandRows() {
    static const CommandRow kRows[] = {
        {"show", 70, Show, "everything a setup file holds, decoded (or as JSON)",
         "usage: kvrctl show FILE.kvr [--json]\n"
         "\n"
         "Prints everything a setup file holds, decoded.\n"
         "  --json   a JSON document that 'kvrctl convert' turns back into the file\n"},
        {"convert", 80, Convert, "a setup file to JSON, or JSON to a setup file",
         "usage: kvrctl convert FILE.kvr -o FILE.json\n"
         "       kvrctl convert FILE.json -o FILE.kvr\n"
         "\n"
         "Turns a setup file into JSON, or JSON back into a setup file (byte for byte when\n"
         "nothing was edited). Which way is told by the input's contents; the output's name\n"
         "must fit: JSON is never written to a file named .kvr, nor a setup file to one named\n"
         ".json. -o - writes to standard output.\n"},
        {"diff", 90, Diff,
         "field-by-field differences of two setup files, or of a file and the unit",
         "usage: kvrctl diff A.kvr B.kvr\n"
         "       kvrctl [PORT OPTIONS] diff A.kvr --unit [--kvr100-address A]\n"
         "\n"
         "Lists the differences field by field, in engineering units.\n"
         "  --unit               compare with the attached unit; each board is asked at the\n"
         "                       address its record in the file gives\n"
         "  --kvr100-address A   for a file of a single KVR 100: ask it at address A instead\n"
         "Exit status: 0 equal, 1 different, 2 trouble (a file, the line or the unit failed,\n"
         "or the command line is wrong).\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
