// Monitor benchmark: the reading thread's cycle rate with 60 monitors and a read interval
// of 0 (cycles back to back) against a simulated KVR 300 on a pseudo-terminal, through the
// real termios path, at 9600 and 38400 baud. Each rate is printed beside the wire limit:
// one cycle is Sample (1 byte) and 4 x ReadValues (1 byte out, 44 back, extended values)
// at 10 bits a character, plus the simulator's turnaround before each reply.
// Target: limit / rate at most 1.05.
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BenchSim.h"
#include "base/Clock.h"
#include "base/Settings.h"
#include "document/QRLDoc.h"
#include "monitor/ReadingThread.h"

namespace {

constexpr double kTarget = 1.05;

struct Figure {
    unsigned baud;
    double rate;
    double limit;
};

bool Run(unsigned baud, double seconds, std::vector<Figure>& out) {
    kvr::bench::BenchSim sim(baud);
    if (!sim.Start()) {
        return false;
    }
    kvr::CQRLDoc doc;
    doc.OnNewDocument();
    kvr::PortSettings& settings = doc.Port().Settings();
    settings.device = sim.Path();
    settings.baud = std::to_string(baud);
    if (!doc.Port().OpenWithSettings()) {
        std::fprintf(stderr, "bench: %s\n", doc.Port().LastError().c_str());
        return false;
    }
    for (int b = 0; b < kvr::kChannelObjects; ++b) {
        if (!doc.Channel(b).ReadParameters()) {
            std::fprintf(stderr, "bench: upload of board %d failed\n", b);
            return false;
        }
        doc.Channel(b).UpdateExtendedFromFirmware();
    }
    doc.SetChannels(kvr::kChannelObjects);
    // Sixty monitors spread over the four boards and the measured entities.
    const int entities[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13};
    doc.Monitors().count = kvr::kMaxMonitors;
    for (int i = 0; i < kvr::kMaxMonitors; ++i) {
        doc.Monitors().channels[static_cast<size_t>(i)] = static_cast<uint8_t>(i % 4);
        doc.Monitors().entities[static_cast<size_t>(i)] = static_cast<uint8_t>(entities[i % 11]);
    }

    kvr::MonitorShared shared;
    kvr::ReadingThread reading(doc, shared);
    reading.Start(kvr::MonitorReadIntervalMs());
    kvr::IClock& clock = kvr::GetClock();
    // Both ends of the window at the end of a cycle (to the millisecond), so a short run
    // counts no partial cycle; the first cycle is not counted (thread start-up).
    auto nextCycleEnd = [&](uint64_t after) {
        const uint64_t giveUp = clock.NowMs() + 5000;
        while (reading.Cycles() <= after && clock.NowMs() < giveUp) {
            clock.SleepMs(1);
        }
        return reading.Cycles();
    };
    const uint64_t c0 = nextCycleEnd(0);
    const uint64_t t0 = clock.NowMs();
    clock.SleepMs(static_cast<uint64_t>(seconds * 1000));
    const uint64_t c1 = nextCycleEnd(reading.Cycles());
    const uint64_t t1 = clock.NowMs();
    reading.Stop();
    if (c0 == 0 || !shared.contact) {
        std::fprintf(stderr, "bench: no reading cycle at %u baud\n", baud);
        return false;
    }
    const double charTime = 10.0 / baud;
    const double turnaround = sim.TurnaroundSeconds();
    const double cycleFloor = (1 + 4 * (1 + 44)) * charTime + 4 * turnaround;
    out.push_back({baud, static_cast<double>(c1 - c0) / ((t1 - t0) / 1000.0), 1.0 / cycleFloor});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    // "Monitor Read Interval" from a QRL.ini of our own that does not exist: the default 0.
    const std::string ini = "/tmp/kvr-bench-monitor-" + std::to_string(::getpid()) + ".ini";
    setenv("KVR_QRL_INI", ini.c_str(), 1);
    if (kvr::MonitorReadIntervalMs() != 0) {
        std::fprintf(stderr, "bench: the read interval is not 0\n");
        return 1;
    }
    std::vector<Figure> figures;
    for (unsigned baud : {9600u, 38400u}) {
        if (!Run(baud, smoke ? 1.0 : 10.0, figures)) {
            return 1;
        }
    }
    std::printf("%-24s %9s %9s %7s %7s\n", "60 monitors, interval 0", "cycles/s", "limit/s",
                "ratio", "target");
    for (const Figure& f : figures) {
        const double ratio = f.limit / f.rate;
        char name[32];
        std::snprintf(name, sizeof name, "KVR 300 @%u", f.baud);
        std::printf("%-24s %9.3f %9.3f %7.3f %7.2f%s\n", name, f.rate, f.limit, ratio, kTarget,
                    ratio <= kTarget ? "" : "  above target");
    }
    std::printf("(%s s each; figures, not assertions)\n", smoke ? "1" : "10");
    return 0;
}
