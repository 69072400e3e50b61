#include "support/SimOnPty.h"

#include <mutex>

namespace kvr::test {

SimOnPty::SimOnPty(sim::SimOptions options, const std::string& link) : units(options), host(units) {
    if (!host.Start(link, error)) {
        return;
    }
    port.Settings().device = host.SlavePath();
    port.Settings().baud = std::to_string(options.baud);
    if (!port.EnsureOpen()) {
        error = port.LastError();
    }
}

SimOnPty::~SimOnPty() {
    port.Close();
    host.Stop();
}

ParameterRecord SimOnPty::Record(int address) {
    std::lock_guard<std::mutex> lock(units.Mutex());
    return units.Board(address)->record;
}

}  // namespace kvr::test
