// Link benchmark: a full KVR 300 upload (4 x ReadParameters) and a monitor cycle (Sample
// plus 4 x ReadValues) against simulated units on a pseudo-terminal, through the real
// termios path, at 9600 and 38400 baud. Each time is printed beside its floor: the wire
// time of the bytes (10 bits a character) plus the simulator's turnaround per reply.
// Target: at most 1.05 x the floor. A read that waits for a timeout after its last byte
// shows here at once.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchSim.h"
#include "link/ChannelLink.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTarget = 1.05;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

struct Figure {
    std::string name;
    double seconds;
    double floor;
};

bool Run(unsigned baud, int rounds, std::vector<Figure>& out) {
    kvr::bench::BenchSim sim(baud);
    if (!sim.Start()) {
        return false;
    }
    kvr::CSerialPort port;
    if (!port.OpenDevice(sim.Path(), std::to_string(baud), "None", "8", "1")) {
        std::fprintf(stderr, "bench: %s\n", port.LastError().c_str());
        return false;
    }
    std::vector<std::unique_ptr<kvr::CChannelLink>> boards;
    for (uint8_t a = 0; a < 4; ++a) {
        boards.push_back(std::make_unique<kvr::CChannelLink>(&port, a));
    }
    const double charTime = 10.0 / baud;
    const double turnaround = sim.TurnaroundSeconds();

    double upload = 0;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        for (auto& b : boards) {
            if (!b->ReadParameters()) {
                std::fprintf(stderr, "bench: upload of board %d failed\n", b->Address());
                return false;
            }
        }
        upload += Seconds(t0, Clock::now());
    }
    for (auto& b : boards) {
        b->UpdateExtendedFromFirmware();
    }
    const double uploadFloor = 4 * ((1 + 117) * charTime + turnaround);
    out.push_back({"upload @" + std::to_string(baud), upload / rounds, uploadFloor});

    const size_t valuesReply = boards[0]->Extended() ? 44 : 32;
    double cycle = 0;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        if (!boards[0]->Sample()) {
            return false;
        }
        for (auto& b : boards) {
            if (!b->ReadValues()) {
                std::fprintf(stderr, "bench: values of board %d failed\n", b->Address());
                return false;
            }
        }
        cycle += Seconds(t0, Clock::now());
    }
    const double cycleFloor = (1 + 4 * (1 + valuesReply)) * charTime + 4 * turnaround;
    out.push_back({"monitor cycle @" + std::to_string(baud), cycle / rounds, cycleFloor});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int rounds = smoke ? 1 : 10;
    std::vector<Figure> figures;
    for (unsigned baud : {9600u, 38400u}) {
        if (!Run(baud, rounds, figures)) {
            return 1;
        }
    }
    std::printf("%-22s %10s %10s %7s %7s\n", "benchmark", "time ms", "floor ms", "ratio", "limit");
    for (const Figure& f : figures) {
        double ratio = f.seconds / f.floor;
        std::printf("%-22s %10.1f %10.1f %7.3f %7.2f%s\n", f.name.c_str(), f.seconds * 1e3,
                    f.floor * 1e3, ratio, kTarget, ratio <= kTarget ? "" : "  above target");
    }
    std::printf("(%d round%s each; figures, not assertions)\n", rounds, rounds == 1 ? "" : "s");
    return 0;
}
