// kvrctl commands that talk to the attached unit.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Files.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "document/PortSetup.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"
#include "document/Transfer.h"
#include "link/ChannelLink.h"
#include "link/EntityScale.h"
#include "link/RecordText.h"
#include "measure/MeasuredValue.h"

namespace kvr::cli {

namespace {

constexpr int kBoards = 4;  // channels 0 to 2 and the main board 3

struct BoardArgs {
    int board = -1;  // -1: all
    std::string rawDir;
    std::string output;      // upload -o: the setup file to save
    bool keepGoing = false;  // upload --continue
};

// allowUpload: the upload's own options (--raw, -o, --continue) are accepted.
bool ParseBoardArgs(const std::vector<std::string>& args, bool allowUpload, BoardArgs& out,
                    std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--board" && i + 1 < args.size()) {
            const std::string& v = args[++i];
            if (v.size() != 1 || v[0] < '0' || v[0] > '3') {
                error = "--board needs a board number from 0 to 3 (3 is the main board)";
                return false;
            }
            out.board = v[0] - '0';
        } else if (allowUpload && a == "--raw" && i + 1 < args.size()) {
            out.rawDir = args[++i];
        } else if (allowUpload && a == "-o" && i + 1 < args.size()) {
            out.output = args[++i];
        } else if (allowUpload && a == "--continue") {
            out.keepGoing = true;
        } else {
            error = "unexpected argument '" + a + "' (see kvrctl --help)";
            return false;
        }
    }
    return true;
}

std::string BoardTitle(int board) {
    return board == 3 ? "Board 3 (main board, address 3)"
                      : "Board " + std::to_string(board) + " (channel " +
                            std::to_string(board + 1) + ", address " + std::to_string(board) + ")";
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

// The boards asked for, each read into its own channel object; null where none answered.
std::vector<std::unique_ptr<CChannelLink>> ReadBoards(CSerialPort& port, int only) {
    std::vector<std::unique_ptr<CChannelLink>> boards(kBoards);
    for (int b = 0; b < kBoards; ++b) {
        if (only >= 0 && b != only) {
            continue;
        }
        auto channel = std::make_unique<CChannelLink>(&port, static_cast<uint8_t>(b));
        if (channel->ReadParameters()) {
            channel->savedRecord = channel->record;
            channel->UpdateExtendedFromFirmware();
            boards[static_cast<size_t>(b)] = std::move(channel);
        } else if (!port.IsOpen() && !port.LastError().empty()) {
            break;  // the line went away; the rest would fail the same way
        }
    }
    return boards;
}

int NoBoard(const Options& options, const CSerialPort& port, int only) {
    std::string where = options.settings.device.empty()
                            ? "port " + std::to_string(options.settings.port)
                            : options.settings.device;
    if (!port.IsOpen() && !port.LastError().empty()) {
        return Fail(port.LastError());
    }
    if (only >= 0) {
        return Fail("board " + std::to_string(only) + " did not answer on " + where);
    }
    return Fail("no board answered on " + where);
}

void PrintBoard(int board, const ParameterRecord& record) {
    std::printf("%s\n", BoardTitle(board).c_str());
    for (const auto& [name, value] : DescribeRecord(record)) {
        std::printf("  %-24s %s\n", name.c_str(), value.c_str());
    }
    std::printf("\n");
}

// upload -o: the desktop program's Upload command, then the document saved as a setup file.
int UploadToFile(const Options& options, const BoardArgs& ba) {
    if (ba.board >= 0) {
        return Fail("--board cannot be combined with -o: the upload reads every board");
    }
    CQRLDoc doc;
    ScopedActiveDocument active(doc);
    if (!OpenPort(options, doc.Port())) {
        return 1;
    }
    CliUser user;
    user.quiet = true;  // only errors go to standard error
    ScopedUserSeam seam(user);
    doc.stopAtFirstFailure = !ba.keepGoing;
    // The summary goes to standard output below instead of a message.
    doc.preferencesEnabled = true;
    doc.noDialogAfterUpload = true;
    const bool uploaded = UploadCommand(doc);
    std::string error;
    for (int b = 0; b < kBoards; ++b) {
        if ((doc.lastUploadMask & (1u << b)) == 0) {
            continue;
        }
        PrintBoard(b, doc.Channel(b).record);
        if (!ba.rawDir.empty() && !SaveRaw(ba.rawDir, b, doc.Channel(b).record, error)) {
            return Fail(error);
        }
    }
    std::printf("%s\nUpload pane: %s\n", UploadSummaryText(doc.channelCount).c_str(),
                TransferPaneText(false, doc.lastUploadMask).c_str());
    if (!uploaded) {
        // Nothing to save: a file of default records would only replace a good one.
        return NoBoard(options, doc.Port(), -1);
    }
    if (!SaveDocumentFile(doc, ba.output, false)) {
        return Fail("the setup file " + ba.output + " was not saved");
    }
    std::printf("saved %s\n", ba.output.c_str());
    return 0;
}

}  // namespace

int Fail(const std::string& reason) {
    std::fprintf(stderr, "kvrctl: %s\n", reason.c_str());
    return 1;
}

bool OpenPort(const Options& options, CSerialPort& port) {
    port.Settings() = options.settings;
    if (options.settings.device.empty() && !options.portGiven) {
        // The stored settings of the transmission setup, as the desktop program uses them.
        PortSettings stored;
        if (!LoadPortSettings(stored)) {
            Fail(
                "no serial port given: use --port N or --device PATH, or store one with "
                "'kvrctl settings set-port'");
            return false;
        }
        port.Settings() = stored;
    }
    if (!port.OpenWithSettings()) {
        Fail(port.LastError());
        return false;
    }
    return true;
}

int Upload(const Options& options, const std::vector<std::string>& args) {
    BoardArgs ba;
    std::string error;
    if (!ParseBoardArgs(args, true, ba, error)) {
        return Fail(error);
    }
    if (!ba.output.empty()) {
        return UploadToFile(options, ba);
    }
    if (ba.keepGoing) {
        return Fail("--continue applies to upload -o FILE.kvr");
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return 1;
    }
    auto boards = ReadBoards(port, ba.board);
    int found = 0;
    for (int b = 0; b < kBoards; ++b) {
        const auto& channel = boards[static_cast<size_t>(b)];
        if (!channel) {
            if (ba.board < 0) {
                std::printf("%s: no answer\n\n", BoardTitle(b).c_str());
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
        return NoBoard(options, port, ba.board);
    }
    std::printf("%d board(s) uploaded\n", found);
    return 0;
}

int Values(const Options& options, const std::vector<std::string>& args) {
    BoardArgs ba;
    std::string error;
    if (!ParseBoardArgs(args, false, ba, error)) {
        return Fail(error);
    }
    CSerialPort port;
    if (!OpenPort(options, port)) {
        return 1;
    }
    // The records tell the ranges, the transformer ratios and which values reply to expect.
    auto boards = ReadBoards(port, ba.board);
    CChannelLink* first = nullptr;
    for (auto& b : boards) {
        if (b && first == nullptr) {
            first = b.get();
        }
    }
    if (first == nullptr) {
        return NoBoard(options, port, ba.board);
    }
    if (!first->Sample()) {
        return Fail("the sample command could not be sent");
    }
    static const int kEntities[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13};
    int read = 0;
    for (int b = 0; b < kBoards; ++b) {
        auto& channel = boards[static_cast<size_t>(b)];
        if (!channel) {
            continue;
        }
        std::printf("%s\n", BoardTitle(b).c_str());
        if (!channel->ReadValues()) {
            std::printf("  no valid values reply\n\n");
            continue;
        }
        ++read;
        std::printf("  %-26s %-14s %s\n", "Entity", "Secondary", "Primary");
        for (int e : kEntities) {
            double value = 0;
            if (!channel->GetValue(e, false, value)) {
                std::printf("  %-26s %s\n", EntityLongName(e), "Invalid");
                continue;
            }
            std::printf(
                "  %-26s %-14s %s\n", EntityLongName(e),
                MeasuredValue(value, e).FormatSignificant(4).c_str(),
                MeasuredValue(channel->record.ToPrimary(e, value), e).FormatSignificant(4).c_str());
        }
        std::printf("\n");
    }
    if (read == 0) {
        return Fail("no board gave a valid values reply");
    }
    return 0;
}

}  // namespace kvr::cli
