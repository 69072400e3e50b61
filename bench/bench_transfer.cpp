// Download benchmark: the Download command for a whole KVR 300 (read-back, Attention,
// record and acknowledge for each of the four boards, then the main board read again), and
// the usual download after one board was edited (the three equal boards are only read
// back), against simulated units on a pseudo-terminal at 9600 baud, through the real
// termios path and on the real clock. Printed beside its floor: the wire time of every byte (10
// bits a character), the waits the protocol prescribes (1000 ms after each Attention, the download
// delay before each acknowledge and before the final read) and the simulator's turnaround per
// reply. Target: at most 1.05 x the floor. Settings live in a temporary folder; "QRL.ini" is absent
// there, so the default 100 ms download delay applies.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "BenchSim.h"
#include "base/IniFile.h"
#include "base/Registry.h"
#include "base/Seams.h"
#include "base/UserSeam.h"
#include "document/Password.h"
#include "document/QRLDoc.h"
#include "document/Transfer.h"
#include "link/TalkLink.h"

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
    kvr::ScopedSeams seam(kvr::Seams{.user = &user});

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

    // Every board written (--all-boards), then the usual case: one board edited, the
    // other three already equal and only read back.
    auto timeDownloads = [&](kvr::BoardWrites writes, bool editOne, double& seconds) {
        double total = 0;
        for (int r = 0; r < rounds; ++r) {
            if (editOne) {
                doc.Channel(1).record.SetName(r % 2 == 0 ? "Bench edit A" : "Bench edit B");
            }
            user.messages = 0;
            const auto t0 = Clock::now();
            const kvr::DownloadOutcome result = kvr::DownloadCommand(doc, writes);
            total += std::chrono::duration<double>(Clock::now() - t0).count();
            if (!result.complete || user.messages != 1 ||
                result.alreadyEqual != (editOne ? kBoards - 1 : 0)) {
                std::fprintf(stderr, "bench: the download did not complete as expected: %s\n",
                             user.last.c_str());
                return false;
            }
        }
        seconds = total / rounds;
        return true;
    };
    double fullSeconds = 0;
    double skipSeconds = 0;
    if (!timeDownloads(kvr::BoardWrites::Every, false, fullSeconds) ||
        !timeDownloads(kvr::BoardWrites::SkipEqual, true, skipSeconds)) {
        return 1;
    }

    const double delay = kvr::DownloadDelayMs() / 1e3;
    const double charTime = 10.0 / kBaud;
    const double turnaround = sim.TurnaroundSeconds();
    const double pause = kvr::kAttentionPauseMs / 1e3;
    // Floors for `written` boards written out of four, each read back first, then the main
    // board read again: per read-back (command, reply), per write Attention, the record and
    // the acknowledge, and the prescribed waits (the pause after Attention, the download
    // delay before each acknowledge and before the final read).
    struct Floor {
        int chars;
        double waits;
        int replies;
        double wire;
        double pty;
    };
    auto floorFor = [&](int written) {
        Floor f;
        f.chars =
            kBoards * (1 + kRecordFrame) + written * (1 + kRecordFrame + 1) + (1 + kRecordFrame);
        f.waits = written * (pause + delay) + delay;
        f.replies = kBoards + written + 1;
        f.wire = f.chars * charTime + f.waits + f.replies * turnaround;
        // A pseudo-terminal takes the program's bytes at once and the simulator models
        // their arrival, so on it the download delay runs while the record is still "on
        // the wire"; on a serial device the write returns only once the bytes have left.
        // This is that overlapped floor, the best the pseudo-terminal allows.
        const double reply = (1 + kRecordFrame) * charTime + turnaround;  // a record read
        const double ack = std::max(delay, kRecordFrame * charTime + turnaround + charTime);
        f.pty = kBoards * reply + written * (pause + ack) + delay + reply;
        return f;
    };
    const Floor full = floorFor(kBoards);
    const Floor one = floorFor(1);
    std::printf("%-36s %10s %10s %7s %7s\n", "benchmark", "time ms", "floor ms", "ratio", "limit");
    auto row = [&](const char* name, double seconds, double f) {
        const double ratio = seconds / f;
        std::printf("%-36s %10.1f %10.1f %7.3f %7.2f%s\n", name, seconds * 1e3, f * 1e3, ratio,
                    kTarget, ratio <= kTarget ? "" : "  above target");
    };
    row("KVR 300 download @9600, every board", fullSeconds, full.wire);
    row("  against the pty's floor", fullSeconds, full.pty);
    row("one board changed, three equal", skipSeconds, one.wire);
    row("  against the pty's floor", skipSeconds, one.pty);
    std::printf("skipping equal boards: %.2f s instead of %.2f s (%.1f x faster)\n", skipSeconds,
                fullSeconds, fullSeconds / skipSeconds);
    std::printf(
        "(%d round%s each; every-board floor = %d chars on the wire %.1f ms + prescribed waits "
        "%.0f ms + %d replies' turnaround; figures, not assertions)\n",
        rounds, rounds == 1 ? "" : "s", full.chars, full.chars * charTime * 1e3, full.waits * 1e3,
        full.replies);
    doc.Port().Close();
    return 0;
}
