// Download benchmark: the Download command for a whole KVR 300 (read-back, Attention,
// record and acknowledge for each of the four boards, then the main board read again)
// against simulated units on a pseudo-terminal at 9600 baud, through the real termios path
// and on the real clock. Printed beside its floor: the wire time of every byte (10 bits a
// character), the waits the protocol prescribes (1000 ms after each Attention, the
// download delay before each acknowledge and before the final read) and the simulator's
// turnaround per reply. Target: at most 1.05 x the floor. Settings live in a temporary
// folder; "QRL.ini" is absent there, so the default 100 ms download delay applies.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "BenchSim.h"
#include "document/Password.h"
#include "document/QRLDoc.h"
#include "document/Registry.h"
#include "document/Transfer.h"
#include "link/IniFile.h"
#include "link/TalkLink.h"
#include "link/UserSeam.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTarget = 1.05;
constexpr unsigned kBaud = 9600;
constexpr int kBoards = 4;
constexpr int kRecordFrame = 117;  // command or echo, 115 record bytes, checksum

// No windows here: messages are counted, a question would be a failure of the setup.
class BenchUser final : public kvr::IUserSeam {
  public:
    kvr::MsgAnswer MessageBox(const std::string& text, const std::string&, kvr::MsgIcon,
                              kvr::MsgButtons buttons) override {
        ++messages;
        last = text;
        return buttons == kvr::MsgButtons::Ok ? kvr::MsgAnswer::Ok : kvr::MsgAnswer::Cancel;
    }
    void Beep(unsigned, unsigned) override {}
    void BusyBegin(const std::string&) override {}
    void BusyEnd() override {}
    bool AskPassword(kvr::PasswordPrompt, std::string&, std::string&) override { return false; }
    int messages = 0;
    std::string last;
};

// Every settings file in a temporary folder, removed at the end.
struct TempSettings {
    std::string dir;
    TempSettings() {
        char pattern[] = "/tmp/kvr-bench-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) {
            dir = pattern;
            ::setenv("KVR_SETTINGS_FILE", (dir + "/settings.reg").c_str(), 1);
            ::setenv("KVR_SYSTEM_SETTINGS_FILE", (dir + "/system.reg").c_str(), 1);
            ::setenv("KVR_QRL_INI", (dir + "/QRL.ini").c_str(), 1);
            ::setenv("KVR_PORTS_FILE", (dir + "/ports.conf").c_str(), 1);
        }
    }
    ~TempSettings() {
        std::error_code ec;
        if (!dir.empty()) {
            std::filesystem::remove_all(dir, ec);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int rounds = smoke ? 1 : 3;
    TempSettings settings;
    if (settings.dir.empty()) {
        std::fprintf(stderr, "bench: cannot make a temporary folder\n");
        return 1;
    }
    if (kvr::CRegistry::WriteString(kvr::RegRoot::CurrentUser, kvr::kKeyConfiguration,
                                    kvr::kValPassword, "bench") != kvr::kRegOk) {
        std::fprintf(stderr, "bench: cannot store the password\n");
        return 1;
    }
    kvr::SetRunPassword("bench");
    BenchUser user;
    kvr::ScopedUserSeam seam(user);

    kvr::bench::BenchSim sim(kBaud);
    if (!sim.Start()) {
        return 1;
    }
    kvr::CQRLDoc doc;
    kvr::ScopedActiveDocument active(doc);
    doc.Port().Settings().device = sim.Path();
    doc.Port().Settings().baud = std::to_string(kBaud);
    if (!kvr::UploadCommand(doc) || doc.GetChannels() != kBoards) {
        std::fprintf(stderr, "bench: the upload found no KVR 300 (%s)\n", user.last.c_str());
        return 1;
    }

    double total = 0;
    for (int r = 0; r < rounds; ++r) {
        user.messages = 0;
        const auto t0 = Clock::now();
        const kvr::DownloadOutcome result = kvr::DownloadCommand(doc);
        total += std::chrono::duration<double>(Clock::now() - t0).count();
        if (!result.complete || user.messages != 1) {
            std::fprintf(stderr, "bench: the download did not complete: %s\n", user.last.c_str());
            return 1;
        }
    }

    const double delay = kvr::DownloadDelayMs() / 1e3;
    const double charTime = 10.0 / kBaud;
    // Per board: the read-back (command, reply), Attention, the record, the acknowledge.
    const int chars = kBoards * ((1 + kRecordFrame) + 1 + kRecordFrame + 1) + (1 + kRecordFrame);
    const double waits = kBoards * (kvr::kAttentionPauseMs / 1e3 + delay) + delay;
    const int replies = kBoards * 2 + 1;
    const double floor = chars * charTime + waits + replies * sim.TurnaroundSeconds();
    const double seconds = total / rounds;
    // A pseudo-terminal takes the program's bytes at once and the simulator models their
    // arrival, so on it the download delay runs while the record is still "on the wire";
    // on a serial device the write returns only once the bytes have left. The second row
    // is that overlapped floor, the best the pseudo-terminal allows.
    const double turnaround = sim.TurnaroundSeconds();
    const double reply = (1 + kRecordFrame) * charTime + turnaround;  // a record read
    const double ack = std::max(delay, kRecordFrame * charTime + turnaround + charTime);
    const double ptyFloor = kBoards * (reply + kvr::kAttentionPauseMs / 1e3 + ack) + delay + reply;
    std::printf("%-28s %10s %10s %7s %7s\n", "benchmark", "time ms", "floor ms", "ratio", "limit");
    auto row = [&](const char* name, double f) {
        const double ratio = seconds / f;
        std::printf("%-28s %10.1f %10.1f %7.3f %7.2f%s\n", name, seconds * 1e3, f * 1e3, ratio,
                    kTarget, ratio <= kTarget ? "" : "  above target");
    };
    row("KVR 300 download @9600", floor);
    row("  against the pty's floor", ptyFloor);
    std::printf(
        "(%d round%s; floor = %d chars on the wire %.1f ms + prescribed waits %.0f ms + "
        "%d replies' turnaround; figures, not assertions)\n",
        rounds, rounds == 1 ? "" : "s", chars, chars * charTime * 1e3, waits * 1e3, replies);
    doc.Port().Close();
    return 0;
}
