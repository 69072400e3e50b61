// kvrctl commands for the accessory modules: the KVR Com module's settings and the KVR
// Display module's setup.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Files.h"
#include "base/Seams.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "measure/MeasuredValue.h"
#include "modules/ComSetup.h"
#include "modules/DisplayEditor.h"
#include "modules/DisplayFile.h"
#include "modules/DisplayJson.h"
#include "modules/DisplayLink.h"

namespace kvr::cli {

namespace {

struct ComFlag {
    const char* flag;
    const char* name;  // as shown
    ComChoice choice;  // for the flags with a list of choices
};
constexpr ComFlag kComFlags[] = {
    {"--unit", "Attached unit", ComChoice::AttachedUnit},
    {"--baud", "Baud rate", ComChoice::Baud},
    {"--parity", "Parity", ComChoice::Parity},
    {"--data-bits", "Data bits", ComChoice::DataBits},
    {"--stop-bits", "Stop bits", ComChoice::StopBits},
    {"--handshake", "Handshake", ComChoice::Handshake},
    {"--protocol", "Protocol", ComChoice::Protocol},
};

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The choice text of a field, or the raw byte when the record holds none of the list.
std::string ChoiceText(const ComSetupRecord& record, const ComFields& fields, ComChoice which) {
    const int choice = fields.Choice(which);
    if (choice < 0) {
        return std::to_string(ComChoiceByte(record, which));
    }
    return ComChoiceTexts(which)[static_cast<size_t>(choice)];
}

bool ReadCom(CSerialPort& port, ComSetupRecord& record) {
    CComLink link(&port);
    if (link.ReadComSetup(record, true)) {
        return true;
    }
    if (!port.IsOpen() && !port.LastError().empty()) {
        Fail(port.LastError());
    } else {
        Fail("Failed to Read KVR Com Parameters Correctly!");
    }
    return false;
}

void PrintCom(const ComSetupRecord& record, bool json) {
    const ComFields fields = ComFieldsFromRecord(record);
    if (json) {
        nlohmann::ordered_json j;
        j["serial"] = fields.serialNumber;
        j["slaveId"] = fields.slaveId;
        for (const ComFlag& f : kComFlags) {
            j[std::string(f.flag + 2)] = ChoiceText(record, fields, f.choice);
        }
        std::printf("%s\n", TerminalJson(j.dump(2)).c_str());
        return;
    }
    std::printf("  %-16s %d\n", "Serial number", static_cast<int>(fields.serialNumber));
    std::printf("  %-16s %d\n", "Slave identity", fields.slaveId);
    for (const ComFlag& f : kComFlags) {
        std::printf("  %-16s %s\n", f.name, ChoiceText(record, fields, f.choice).c_str());
    }
}

int ComShow(const Options& options, const std::vector<std::string>& args) {
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else {
            return UsageError("com", "unexpected argument '" + a + "'");
        }
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return kExitFailed;
    }
    ComSetupRecord record;
    if (!ReadCom(port, record)) {
        return kExitFailed;
    }
    PrintCom(record, json);
    return 0;
}

int ComSet(const Options& options, const std::vector<std::string>& args) {
    // The flags first, all checked before the line is used.
    bool serialGiven = false;
    int32_t serial = 0;
    int slaveId = -1;
    std::array<int, kComChoiceLists> chosen{-1, -1, -1, -1, -1, -1, -1};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) {
            return UsageError("com", a.rfind("--", 0) == 0 ? a + " needs a value"
                                                           : "unexpected argument '" + a + "'");
        }
        const std::string& v = args[++i];
        if (a == "--serial") {
            char* end = nullptr;
            const long long n = std::strtoll(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < INT32_MIN || n > INT32_MAX) {
                return UsageError("com", "--serial needs a whole number");
            }
            serial = static_cast<int32_t>(n);
            serialGiven = true;
            continue;
        }
        if (a == "--slave-id") {
            if (!ParseSlaveId(v, slaveId)) {
                return UsageError("com", kSlaveIdRangeText);
            }
            continue;
        }
        const ComFlag* flag = nullptr;
        for (const ComFlag& f : kComFlags) {
            if (a == f.flag) {
                flag = &f;
            }
        }
        if (flag == nullptr) {
            return UsageError("com", "unexpected argument '" + a + "'");
        }
        const auto& texts = ComChoiceTexts(flag->choice);
        int found = -1;
        std::string list;
        for (size_t c = 0; c < texts.size(); ++c) {
            if (Lower(texts[c]) == Lower(v)) {
                found = static_cast<int>(c);
            }
            list += (c == 0 ? "" : ", ") + ("\"" + texts[c] + "\"");
        }
        if (found < 0) {
            return UsageError("com", std::string(a) + " takes one of " + list);
        }
        chosen[static_cast<size_t>(flag->choice)] = found;
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return kExitFailed;
    }
    ComSetupRecord original;
    if (!ReadCom(port, original)) {
        return kExitFailed;
    }
    ComFields fields = ComFieldsFromRecord(original);
    if (serialGiven) {
        fields.serialNumber = serial;
    }
    if (slaveId >= 0) {
        fields.slaveId = slaveId;
    }
    for (size_t c = 0; c < chosen.size(); ++c) {
        if (chosen[c] >= 0) {
            fields.choice[c] = chosen[c];
        }
    }
    const ComSetupRecord wanted = ComRecordFromFields(fields, original);
    CComLink link(&port);
    if (!link.WriteComSetup(wanted)) {
        return Fail("the KVR Com settings were not written" +
                    (port.LastError().empty() ? std::string() : ": " + port.LastError()));
    }
    ComSetupRecord readBack;
    if (!ReadCom(port, readBack)) {
        return kExitFailed;
    }
    PrintCom(readBack, false);
    if (!(readBack == wanted)) {
        return Fail("the KVR Com module reads back other settings than were written");
    }
    return 0;
}

int Com(const Options& options, const std::vector<std::string>& args) {
    if (args.empty()) {
        return UsageError("com", "show or set expected");
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "show") {
        return ComShow(options, rest);
    }
    if (args[0] == "set") {
        return ComSet(options, rest);
    }
    return UsageError("com", "unknown subcommand '" + args[0] + "'");
}

// The module's record read in quiet mode; false after the reason was printed.
bool ReadDisplay(CSerialPort& port, CDisplayLink& link, DisplaySetupRecord& record) {
    if (link.ReadDisplaySetup(record, true, true)) {
        return true;
    }
    if (!port.IsOpen() && !port.LastError().empty()) {
        Fail(port.LastError());
    } else {
        Fail("the KVR Display module's setup was not read on " + PortName(port));
    }
    return false;
}

int DisplayRead(const Options& options, const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "-o") {
        return UsageError("display", "read needs -o FILE.dsp");
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return kExitFailed;
    }
    CDisplayLink link(&port);
    DisplaySetupRecord record{};
    if (!ReadDisplay(port, link, record)) {
        return kExitFailed;
    }
    DisplayFileImage image;
    for (int i = 0; i < kDisplayLines; ++i) {
        DecodeLine(image.lines[static_cast<size_t>(i)], i, record);
    }
    std::string error;
    if (!WriteDisplayFile(args[1], image, error)) {
        return Fail(error);
    }
    std::printf("saved %s\n", TerminalText(args[1]).c_str());
    return 0;
}

int DisplayWrite(const Options& options, const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return UsageError("display", "write needs one FILE.dsp");
    }
    DisplayFileImage image;
    std::string error;
    if (!ReadDisplayFile(args[0], image, error)) {
        return Fail(error);
    }
    DisplaySetupRecord record{};
    for (int i = 0; i < kDisplayLines; ++i) {
        EncodeLine(image.lines[static_cast<size_t>(i)], i, record);
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return kExitFailed;
    }
    CDisplayLink link(&port);
    if (!link.SendDisplaySetup(record, true)) {
        return Fail(
            "An error occurred while writing the KVR Display Configuration!\nPlease try again.");
    }
    DisplaySetupRecord readBack{};
    if (!link.ReadDisplaySetup(readBack, false, true) || !DisplayRecordsMatch(record, readBack)) {
        return Fail(
            "The KVR Display Configuration was not downloaded correctly!\nPlease try again.");
    }
    std::printf("written and read back: %s\n", TerminalText(args[0]).c_str());
    return 0;
}

// A value as the display form shows it: to 4 significant digits with the unit of the
// line's entity.
std::string Number(double value, uint8_t valueCode) {
    const int entity = DisplayEntity(valueCode);
    if (entity != 0) {
        return MeasuredValue(value, EntityFromCode(entity)).FormatSignificant(4);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

int DisplayShow(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else if (file.empty()) {
            file = a;
        } else {
            return UsageError("display", "unexpected argument '" + a + "'");
        }
    }
    if (file.empty()) {
        return UsageError("display", "show needs FILE.dsp");
    }
    DisplayFileImage image;
    std::string error;
    if (!ReadDisplayFile(file, image, error)) {
        return Fail(error);
    }
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    if (!json) {
        std::printf("Description: %s\n", TerminalText(image.description).c_str());
    }
    for (int i = 0; i < kDisplayLines; ++i) {
        const DisplayLine& line = image.lines[static_cast<size_t>(i)];
        const int page = i / kLinesPerPage + 1;
        const int row = i % kLinesPerPage + 1;
        const int choice = line.blank ? kBlankValueChoice : ValueChoiceOf(line.valueCode);
        const std::string value =
            choice >= 0 ? ValueChoiceText(choice) : ValueReportName(line.valueCode);
        if (json) {
            nlohmann::ordered_json j{{"page", page},
                                     {"line", row},
                                     {"blank", line.blank},
                                     {"value", value},
                                     {"channel", ChannelChoiceText(line.channel)},
                                     {"decimals", line.decimals},
                                     {"units", line.units}};
            if (!line.blank) {
                j["nominal"] = line.nominal;
                j["low"] = line.low;
                j["high"] = line.high;
            }
            lines.push_back(j);
            continue;
        }
        if (line.blank) {
            std::printf("Page %d line %d: %s\n", page, row, value.c_str());
            continue;
        }
        std::printf("Page %d line %d: %s, %s, %s, units \"%s\", nominal %s, low %s, high %s\n",
                    page, row, value.c_str(), ChannelChoiceText(line.channel).c_str(),
                    DecimalsChoiceText(line.decimals), TerminalText(line.units).c_str(),
                    Number(line.nominal, line.valueCode).c_str(),
                    Number(line.low, line.valueCode).c_str(),
                    Number(line.high, line.valueCode).c_str());
    }
    if (json) {
        const nlohmann::ordered_json doc{{"description", image.description}, {"lines", lines}};
        std::printf("%s\n", TerminalJson(doc.dump(2)).c_str());
    }
    return 0;
}

// A display setup file to JSON or back; which way is told by the input's contents.
int DisplayConvert(const std::vector<std::string>& args) {
    std::string in;
    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size() && out.empty()) {
            out = args[++i];
        } else if (in.empty() && !args[i].empty() && args[i][0] != '-') {
            in = args[i];
        } else {
            return UsageError("display", "unexpected argument '" + args[i] + "'");
        }
    }
    if (in.empty() || out.empty()) {
        return UsageError(
            "display", in.empty() ? "convert needs an input file" : "convert needs an output (-o)");
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(in, bytes, error)) {
        return Fail("cannot read " + in + ": " + error);
    }
    const bool toFile = LooksLikeJson(bytes);
    if (HasExtension(out, toFile ? ".json" : ".dsp")) {
        return UsageError("display", toFile ? in +
                                                  " is JSON: its display setup file would not be "
                                                  "written to " +
                                                  out
                                            : in +
                                                  " is a display setup file: its JSON would not "
                                                  "be written to " +
                                                  out);
    }
    DisplayFileImage image;
    if (toFile) {
        if (!DisplayFromJson(std::string(bytes.begin(), bytes.end()), image, error)) {
            return Fail(in + ": " + error);
        }
        return WriteOutput(out, EncodeDisplayFile(image)) ? 0 : kExitFailed;
    }
    if (!DecodeDisplayFile(bytes.data(), bytes.size(), image, error)) {
        return Fail(in + ": " + error);
    }
    // A file the program would not write byte for byte (a field out of its range, bytes
    // after its end, a longer length prefix than needed) cannot come back identical.
    if (EncodeDisplayFile(image) != bytes) {
        std::fprintf(stderr,
                     "kvrctl: note: the JSON holds the display setup as loaded; converted back "
                     "it will not give the same bytes as %s\n",
                     TerminalText(in).c_str());
    }
    const std::string json = DisplayToJson(image);
    const std::string text = out == "-" ? TerminalJson(json) : json;
    return WriteOutput(out, std::vector<uint8_t>(text.begin(), text.end())) ? 0 : kExitFailed;
}

int Display(const Options& options, const std::vector<std::string>& args) {
    if (args.empty()) {
        return UsageError("display", "read, write, show or convert expected");
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    CliUser user;
    user.quiet = true;
    ScopedSeams seam(Seams{.user = &user});
    if (args[0] == "read") {
        return DisplayRead(options, rest);
    }
    if (args[0] == "write") {
        return DisplayWrite(options, rest);
    }
    if (args[0] == "show") {
        return DisplayShow(rest);
    }
    if (args[0] == "convert") {
        return DisplayConvert(rest);
    }
    return UsageError("display", "unknown subcommand '" + args[0] + "'");
}

}  // namespace

CommandRows ModuleCommandRows() {
    static const CommandRow kRows[] = {
        {"com", 130, Com, "show or change the KVR Com module's settings",
         "usage: kvrctl [PORT OPTIONS] com show [--json]\n"
         "       kvrctl [PORT OPTIONS] com set [--serial N] [--slave-id N] [--unit U] [--baud B]\n"
         "                                     [--parity P] [--data-bits D] [--stop-bits S]\n"
         "                                     [--handshake H] [--protocol P]\n"
         "\n"
         "show reads the KVR Com module's settings and prints each field as its choice.\n"
         "set reads them, changes the fields given, writes them and reads them back; the\n"
         "fields not given keep the module's values.\n"
         "  --serial N       serial number\n"
         "  --slave-id N     slave identity, 0 to 255\n"
         "  --unit U         \"KVR 100\" or \"KVR 300\"\n"
         "  --baud B         19200, 9600, 4800, 2400 or 1200\n"
         "  --parity P       None, Odd or Even\n"
         "  --data-bits D    7 or 8\n"
         "  --stop-bits S    1.5, 1 or 2\n"
         "  --handshake H    None, Hardware or Software\n"
         "  --protocol P     \"Modbus ASCII\", \"Modbus RTU\", \"Modbus Plus\" or \"DNP 3.0\"\n"
         "Choices are matched without regard to case.\n"},
        {"display", 140, Display, "read, write, show or convert the KVR Display module's setup",
         "usage: kvrctl [PORT OPTIONS] display read -o FILE.dsp\n"
         "       kvrctl [PORT OPTIONS] display write FILE.dsp\n"
         "       kvrctl display show FILE.dsp [--json]\n"
         "       kvrctl display convert FILE.dsp -o FILE.json\n"
         "       kvrctl display convert FILE.json -o FILE.dsp\n"
         "\n"
         "  read -o FILE.dsp   read the module's 24 lines and save them as a display setup file\n"
         "  write FILE.dsp     send the file's 24 lines to the module and read them back; a\n"
         "                     difference is a failure (status 1)\n"
         "  show FILE.dsp      print the 24 lines of a file: page, line, value, channel,\n"
         "                     decimals, units, nominal, low and high\n"
         "  --json             the lines as JSON, to read\n"
         "  convert            a display setup file to JSON, or JSON back into a file (byte\n"
         "                     for byte when nothing was edited); which way is told by the\n"
         "                     input's contents. -o - writes to standard output\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
