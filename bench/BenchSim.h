// A simulated KVR 300 (firmware 1.89: the extended values reply) served on a
// pseudo-terminal at a given baud rate, for the benchmarks.
#pragma once

#include <cstdio>
#include <string>

#include "sim/PtyHost.h"
#include "sim/SimUnits.h"

namespace kvr::bench {

class BenchSim {
  public:
    explicit BenchSim(unsigned baud) : units_(Options(baud)), host_(units_) {}

    // Starts serving; prints the reason and gives false when it cannot.
    bool Start() {
        std::string error;
        if (!host_.Start("", error)) {
            std::fprintf(stderr, "bench: cannot start the simulator: %s\n", error.c_str());
            return false;
        }
        return true;
    }
    const std::string& Path() const { return host_.SlavePath(); }
    double TurnaroundSeconds() const { return units_.Options().turnaroundUs / 1e6; }

  private:
    static sim::SimOptions Options(unsigned baud) {
        sim::SimOptions options;
        options.kind = sim::UnitKind::Kvr300;
        options.baud = baud;
        options.firmware = 189;
        return options;
    }

    sim::SimUnits units_;
    sim::PtyHost host_;
};

}  // namespace kvr::bench
