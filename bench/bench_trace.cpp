// Line trace benchmark: the texts of monitoring at full speed (a Sample, then a values
// read from each of four boards) go through the trace seam into the line trace's capture,
// decoded and held in its ring, until twice its bound has passed. Prints the decoding time
// an exchange beside the wire time of that exchange at 115200 baud (the decoder must keep
// far ahead of the fastest line), and the resident memory the full ring holds beside its
// limit of 64 MB.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "base/Trace.h"
#include "modules/TraceDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFastestBaud = 115200;
constexpr double kMemoryLimitMb = 64;

double ResidentMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

// A transfer as the serial port traces it.
std::string TransferText(char direction, const uint8_t* bytes, size_t n) {
    char head[32];
    std::snprintf(head, sizeof head, "[%zu;%zu]%c:", n, n, direction);
    std::string text = head;
    for (size_t i = 0; i < n; ++i) {
        char b[8];
        std::snprintf(b, sizeof b, "0x%02hx;", static_cast<unsigned short>(bytes[i]));
        text += b;
    }
    return text + "\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const size_t bound = smoke ? 10'000 : kvr::kTraceCapacity;
    // One cycle: Sample, then command and 44-byte reply for boards 0 to 3.
    std::vector<std::string> cycle;
    const uint8_t sample = 0xE3;
    cycle.push_back(TransferText('>', &sample, 1));
    size_t cycleBytes = 1;
    for (uint8_t board = 0; board < 4; ++board) {
        const uint8_t command = static_cast<uint8_t>(0xC0 | board);
        uint8_t reply[44] = {command};
        unsigned sum = command;
        for (size_t i = 1; i + 1 < sizeof reply; ++i) {
            reply[i] = static_cast<uint8_t>(i * 7 + board);
            sum += reply[i];
        }
        reply[43] = static_cast<uint8_t>(256 - (sum & 0xFF));
        cycle.push_back(TransferText('>', &command, 1));
        cycle.push_back(TransferText('<', reply, sizeof reply));
        cycleBytes += 1 + sizeof reply;
    }

    const double before = ResidentMb();
    kvr::TraceCapture capture(bound);
    capture.Start();
    size_t texts = 0;
    const auto t0 = Clock::now();
    while (texts < 2 * bound) {
        for (const std::string& text : cycle) {
            kvr::Trace(text);
        }
        texts += cycle.size();
    }
    const auto t1 = Clock::now();
    const double held = ResidentMb() - before;
    const size_t kept = capture.Ring().Size();
    capture.Stop();

    const double usPerText =
        std::chrono::duration<double, std::micro>(t1 - t0).count() / static_cast<double>(texts);
    // 10 bits a character on the wire.
    const double wireUsPerText =
        static_cast<double>(cycleBytes) * 10.0 / kFastestBaud * 1e6 / cycle.size();
    std::printf("decode a transfer: %.2f us, wire time at 115200 baud %.1f us (ratio %.3f)\n",
                usPerText, wireUsPerText, usPerText / wireUsPerText);
    std::printf("ring of %zu entries (bound %zu): resident %.1f MB, limit %.0f MB%s\n", kept, bound,
                held, kMemoryLimitMb, smoke ? " (smoke: a tenth of the bound)" : "");
    return kept == bound ? 0 : 1;
}
