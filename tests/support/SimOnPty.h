// Simulated units served on a fresh pseudo-terminal, with a serial port already open on
// it at the units' baud rate: the whole termios path, as the program uses it.
#pragma once

#include <string>

#include "link/ParameterRecord.h"
#include "link/SerialPort.h"
#include "sim/PtyHost.h"
#include "sim/SimUnits.h"

namespace kvr::test {

class SimOnPty {
  public:
    // Empty link: no symbolic link is made. Check error (empty on success) before use.
    explicit SimOnPty(sim::SimOptions options = {}, const std::string& link = "");
    ~SimOnPty();
    SimOnPty(const SimOnPty&) = delete;
    SimOnPty& operator=(const SimOnPty&) = delete;

    // The record a board holds now.
    ParameterRecord Record(int address);

    sim::SimUnits units;
    sim::PtyHost host;
    CSerialPort port;
    std::string error;
};

}  // namespace kvr::test
