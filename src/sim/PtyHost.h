// Hosts simulated units on a pseudo-terminal: the program under test opens the slave
// path through its real termios path, the host serves the master side on its own thread,
// paced at the configured baud rate.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/SimUnits.h"

namespace kvr::sim {

class PtyHost {
  public:
    explicit PtyHost(SimUnits& units);
    ~PtyHost();  // stops
    PtyHost(const PtyHost&) = delete;
    PtyHost& operator=(const PtyHost&) = delete;

    // Creates the pseudo-terminal (and the symlink when linkPath is not empty) and starts
    // serving. False with a reason in error on failure.
    bool Start(const std::string& linkPath, std::string& error);
    void Stop();
    // The slave device path that a client opens.
    const std::string& SlavePath() const { return slavePath_; }
    // Bytes received and sent, for tests and the benchmark.
    uint64_t BytesIn() const { return bytesIn_; }
    uint64_t BytesOut() const { return bytesOut_; }
    // True when a client can set this baud rate on the pseudo-terminal.
    static bool SupportedBaud(unsigned baud);
    // True from Start until Stop, or until a hang-up fault closed the line.
    bool Serving() const { return serving_; }

  private:
    void Serve();
    void RemoveLink();

    SimUnits& units_;
    int master_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> serving_{false};
    std::atomic<uint64_t> bytesIn_{0};
    std::atomic<uint64_t> bytesOut_{0};
};

}  // namespace kvr::sim
