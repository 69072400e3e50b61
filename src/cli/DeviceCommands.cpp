// kvrctl commands that talk to the attached unit.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Files.h"
#include "base/Seams.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"
#include "document/Transfer.h"
#include "document/UnitAddressing.h"
#include "link/ChannelLink.h"
#include "link/EntityScale.h"
#include "link/PortSetup.h"
#include "measure/MeasuredValue.h"
#include "measure/RecordText.h"

namespace kvr::cli {

namespace {

constexpr int kBoards = 4;  // channels 0 to 2 and the main board 3

struct BoardArgs {
    int board = -1;  // -1: all
    int kvr100Address = 0;
    bool json = false;  // values --json
    std::string rawDir;
    std::string output;      // upload -o: the setup file to save
    bool keepGoing = false;  // upload --continue
};

// allowUpload: the upload's own options (--raw, -o, --continue) are accepted; otherwise
// the values' --json.
bool ParseBoardArgs(std::vector<std::string> args, bool allowUpload, BoardArgs& out,
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
        } else if (allowUpload && a == "--raw" && i + 1 < args.size()) {
            out.rawDir = args[++i];
        } else if (allowUpload && a == "-o" && i + 1 < args.size()) {
            out.output = args[++i];
        } else if (allowUpload && a == "--continue") {
            out.keepGoing = true;
        } else if (!allowUpload && a == "--json") {
            out.json = true;
        } else {
            error = "unexpected argument '" + a + "'";
            return false;
        }
    }
    return true;
}

std::string BoardTitle(int board, int address) {
    return board == kMainBoard
               ? "Board 3 (main board, address 3)"
               : "Board " + std::to_string(board) + " (channel " + std::to_string(board + 1) +
                     ", address " + std::to_string(address) + ")";
}

bool SaveRaw(const std::string& dir, int board, const ParameterRecord& record, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    const std::string path = (fs::path(dir) / ("board" + std::to_string(board) + ".rec")).string();
    const std::string_view bytes(reinterpret_cast<const char*>(record.Data()),
                                 ParameterRecord::kSize);
    if (!WriteFileAtomically(path, bytes, error)) {
        error = "cannot write " + path + ": " + error;
        return false;
    }
    return true;
}

// The unit address of each board: a single KVR 100 at kvr100Address is board 0, as in the
// desktop program's document.
std::array<uint8_t, kBoards> BoardAddresses(int kvr100Address) {
    CQRLDoc doc;
    ApplyKvr100Address(doc, kvr100Address);
    std::array<uint8_t, kBoards> addresses{};
    for (int b = 0; b < kBoards; ++b) {
        addresses[static_cast<size_t>(b)] = doc.Channel(b).Address();
    }
    return addresses;
}

// The KVR 100 address to use: a KVR 300 (its main board answers) keeps its boards at
// addresses 0 to 3 whatever was given or stored, so a stored address never swaps them.
int EffectiveKvr100Address(CSerialPort& port, int kvr100Address) {
    if (kvr100Address == 0) {
        return 0;
    }
    CChannelLink mainBoard(&port, static_cast<uint8_t>(kMainBoard));
    return mainBoard.ReadParameters() ? 0 : kvr100Address;
}

// The boards asked for, each read into its own channel object; null where none answered.
std::vector<std::unique_ptr<CChannelLink>> ReadBoards(CSerialPort& port, const BoardArgs& ba) {
    const auto addresses = BoardAddresses(EffectiveKvr100Address(port, ba.kvr100Address));
    std::vector<std::unique_ptr<CChannelLink>> boards(kBoards);
    for (int b = 0; b < kBoards; ++b) {
        if (ba.board >= 0 && b != ba.board) {
            continue;
        }
        ShowProgress("Reading board " + std::to_string(b) + " ...");
        auto channel = std::make_unique<CChannelLink>(&port, addresses[static_cast<size_t>(b)]);
        if (channel->ReadParameters()) {
            channel->savedRecord = channel->record;
            channel->UpdateExtendedFromFirmware();
            boards[static_cast<size_t>(b)] = std::move(channel);
        } else if (!port.IsOpen() && !port.LastError().empty()) {
            break;  // the line went away; the rest would fail the same way
        }
    }
    ClearProgress();
    return boards;
}

int NoBoard(const CSerialPort& port, int only) {
    const std::string where = PortName(port);
    if (!port.IsOpen() && !port.LastError().empty()) {
        return Fail(port.LastError());
    }
    if (only >= 0) {
        return Fail("board " + std::to_string(only) + " did not answer on " + where);
    }
    return Fail("no board answered on " + where);
}

void PrintBoard(int board, const ParameterRecord& record) {
    std::printf("%s\n", BoardTitle(board, record.GetUnitAddress() & 7).c_str());
    for (const auto& [name, value] : DescribeRecord(record)) {
        std::printf("  %-24s %s\n", name.c_str(), TerminalText(value).c_str());
    }
    std::printf("\n");
}

// upload -o: the desktop program's Upload command, then the document saved as a setup file.
int UploadToFile(const Options& options, const BoardArgs& ba) {
    if (ba.board >= 0) {
        return UsageError("upload",
                          "--board cannot be combined with -o: the upload reads every board");
    }
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    if (!OpenPort(options, doc.Port())) {
        return kExitFailed;
    }
    ApplyKvr100Address(doc, EffectiveKvr100Address(doc.Port(), ba.kvr100Address));
    CliUser user;
    user.quiet = true;  // only errors go to standard error
    ScopedSeams seam(Seams{.user = &user});
    doc.SetStopAtFirstFailure(!ba.keepGoing);
    // The summary goes to standard output below instead of a message.
    doc.Preferences().enabled = true;
    doc.Preferences().noDialogAfterUpload = true;
    const UploadOutcome uploaded = RunUploadCommand(doc);
    std::string error;
    for (int b = 0; b < kBoards; ++b) {
        if ((doc.LastUploadMask() & (1u << b)) == 0) {
            continue;
        }
        PrintBoard(b, doc.Channel(b).record);
        if (!ba.rawDir.empty() && !SaveRaw(ba.rawDir, b, doc.Channel(b).record, error)) {
            return Fail(error);
        }
    }
    // The summary's first line; the boards not read are named below instead.
    const std::string summary = uploaded.text.substr(0, uploaded.text.find('\n'));
    std::printf("%s\nStatus: %s\n", TerminalText(summary).c_str(),
                TransferPaneText(false, doc.LastUploadMask(), uploaded.unitBoards == 0xFu).c_str());
    if (uploaded.mask == 0 && uploaded.unitBoards == 0) {
        // Nothing to save: a file of default records would only replace a good one.
        return NoBoard(doc.Port(), -1);
    }
    // A unit whose main board answers is a KVR 300: a file without all four of its boards
    // must not replace a good one, nor pass for a KVR 100's.
    const bool complete = uploaded.complete;
    const std::string lost = doc.Port().IsOpen() ? "" : " (the line went away during the upload)";
    if (!complete && (!ba.keepGoing || uploaded.mask == 0)) {
        return Fail("upload incomplete, " + ba.output +
                    " not written: not read: " + uploaded.missing + lost);
    }
    if (!SaveDocumentFile(doc, ba.output, false)) {
        return Fail("the setup file " + ba.output + " was not saved");
    }
    std::printf("saved %s\n", TerminalText(ba.output).c_str());
    if (!complete) {
        return Fail("upload incomplete: " + ba.output + " holds default records for " +
                    uploaded.missing + lost);
    }
    return 0;
}

}  // namespace

int Upload(const Options& options, const std::vector<std::string>& args) {
    BoardArgs ba;
    std::string error;
    if (!ParseBoardArgs(args, true, ba, error)) {
        return UsageError("upload", error);
    }
    if (!ba.output.empty()) {
        return UploadToFile(options, ba);
    }
    if (ba.keepGoing) {
        return UsageError("upload", "--continue applies to upload -o FILE.kvr");
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return 1;
    }
    auto boards = ReadBoards(port, ba);
    int found = 0;
    for (int b = 0; b < kBoards; ++b) {
        const auto& channel = boards[static_cast<size_t>(b)];
        if (!channel) {
            if (ba.board < 0) {
                std::printf("%s: no answer\n\n",
                            BoardTitle(b, BoardAddresses(ba.kvr100Address)[static_cast<size_t>(b)])
                                .c_str());
            }
            continue;
        }
        ++found;
        PrintBoard(b, channel->record);
        if (!ba.rawDir.empty() && !SaveRaw(ba.rawDir, b, channel->record, error)) {
            return Fail(error);
        }
    }
    if (found == 0) {
        return NoBoard(port, ba.board);
    }
    std::printf("%d board(s) uploaded\n", found);
    return 0;
}

int Values(const Options& options, const std::vector<std::string>& args) {
    BoardArgs ba;
    std::string error;
    if (!ParseBoardArgs(args, false, ba, error)) {
        return UsageError("values", error);
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return kExitFailed;
    }
    // The records tell the ranges, the transformer ratios and which values reply to expect.
    auto boards = ReadBoards(port, ba);
    CChannelLink* first = nullptr;
    for (auto& b : boards) {
        if (b && first == nullptr) {
            first = b.get();
        }
    }
    if (first == nullptr) {
        return NoBoard(port, ba.board);
    }
    ShowProgress("Sampling ...");
    if (!first->Sample()) {
        return Fail("the sample command could not be sent");
    }
    // Every entity the values reply carries.
    static constexpr MeasuredEntity kEntities[] = {
        entity::kVoltage,        entity::kCurrent,
        entity::kActivePower,    entity::kApparentPower,
        entity::kReactivePower,  entity::kPowerFactor,
        entity::kFrequency,      entity::kActiveEnergyImport,
        entity::kApparentEnergy, entity::kReactiveEnergyLag,
        entity::kCycleCurrentMax};
    nlohmann::ordered_json json = nlohmann::ordered_json::array();
    int read = 0;
    for (int b = 0; b < kBoards; ++b) {
        auto& channel = boards[static_cast<size_t>(b)];
        if (!channel) {
            continue;
        }
        ShowProgress("Reading the values of board " + std::to_string(b) + " ...");
        const bool valid = channel->ReadValues();
        ClearProgress();
        const int address = channel->Address() & 7;
        nlohmann::ordered_json board = {{"board", b}, {"address", address}, {"valid", valid}};
        if (!ba.json) {
            std::printf("%s\n", BoardTitle(b, address).c_str());
            if (valid) {
                std::printf("  %-26s %-14s %s\n", "Entity", "Secondary", "Primary");
            } else {
                std::printf("  no valid values reply\n\n");
            }
        }
        if (!valid) {
            json.push_back(board);
            continue;
        }
        ++read;
        nlohmann::ordered_json values = nlohmann::ordered_json::array();
        for (MeasuredEntity e : kEntities) {
            double value = 0;
            const bool ok = channel->GetValue(e, Winding::Primary, value);
            const double primary = ok ? channel->record.ToPrimary(e, value) : 0;
            values.push_back({{"entity", EntityCode(e)},
                              {"name", EntityLongName(e)},
                              {"unit", EntityUnit(e)},
                              {"secondary", ok ? nlohmann::ordered_json(value) : nullptr},
                              {"primary", ok ? nlohmann::ordered_json(primary) : nullptr}});
            if (ba.json) {
                continue;
            }
            if (!ok) {
                std::printf("  %-26s %s\n", EntityLongName(e), "Invalid");
                continue;
            }
            std::printf("  %-26s %-14s %s\n", EntityLongName(e),
                        MeasuredValue(value, e).FormatSignificant(4).c_str(),
                        MeasuredValue(primary, e).FormatSignificant(4).c_str());
        }
        board["values"] = values;
        json.push_back(board);
        if (!ba.json) {
            std::printf("\n");
        }
    }
    if (ba.json) {
        const std::string text = nlohmann::ordered_json({{"boards", json}}).dump(2);
        std::printf("%s\n", TerminalJson(text).c_str());
    }
    if (read == 0) {
        return Fail("no board gave a valid values reply");
    }
    return 0;
}

CommandRows DeviceCommandRows() {
    static const CommandRow kRows[] = {
        {"upload", 20, Upload, "read every board's record and print it, or save it as a setup file",
         "usage: kvrctl [PORT OPTIONS] upload [--board N] [--raw DIR] [--kvr100-address A]\n"
         "       kvrctl [PORT OPTIONS] upload -o FILE.kvr [--raw DIR] [--continue]\n"
         "                                    [--kvr100-address A]\n"
         "\n"
         "Reads the record of every board of the attached unit and prints it decoded.\n"
         "  --board N            only board N (0 to 2: channels 1 to 3; 3: the main board)\n"
         "  --raw DIR            also save each record's 115 bytes as DIR/boardN.rec\n"
         "  -o FILE.kvr          the Upload command: every board into a new configuration,\n"
         "                       saved as a setup file\n"
         "  --continue           with -o: try every board instead of stopping at the first\n"
         "                       that does not answer, and save even when a board was not\n"
         "                       read (its record is then a default one; the boards are named\n"
         "                       and the status is 1). Without it an incomplete upload leaves\n"
         "                       FILE.kvr untouched.\n"
         "  --kvr100-address A   the address (0, 1 or 2) of a single KVR 100; without it, the\n"
         "                       one stored by 'kvrctl address' (else 0)\n"},
        {"values", 50, Values, "one sample, then the live values of every board",
         "usage: kvrctl [PORT OPTIONS] values [--board N] [--json] [--kvr100-address A]\n"
         "\n"
         "Reads every board's record (for its ranges and transformer ratios), takes one sample\n"
         "and prints each board's values, at the input (secondary) and scaled (primary).\n"
         "  --board N            only board N (0 to 2: channels 1 to 3; 3: the main board)\n"
         "  --json               the values as JSON (numbers in volts, amperes, watts, ...;\n"
         "                       null where a value is invalid)\n"
         "  --kvr100-address A   the address (0, 1 or 2) of a single KVR 100; without it, the\n"
         "                       one stored by 'kvrctl address' (else 0)\n"
         "On a terminal, the board being read is shown on standard error.\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
