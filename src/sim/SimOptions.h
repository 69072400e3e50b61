// What kvr-sim and the tests choose for a simulated line: the kind of measuring unit on it
// and how the line delivers its replies.
#pragma once

#include <cstdint>
#include <string>

namespace kvr::sim {

enum class UnitKind { Kvr300, Kvr100 };

struct SimOptions {
    UnitKind kind = UnitKind::Kvr300;
    int kvr100Address = 0;         // 0, 1 or 2 for a single KVR 100
    uint8_t firmware = 189;        // 189 and above: the extended values reply
    uint32_t serialNumber = 0;     // 0: a plausible serial derived from nothing random
    std::string stateFile;         // records survive a restart when set
    unsigned baud = 9600;          // pacing: 10 bits a character
    unsigned turnaroundUs = 2000;  // time from a command's last byte to the reply
    bool pace = true;              // false: replies at once (in-process logic tests)
    bool withDisplay = false;      // a KVR Display at address 5
    bool withCom = false;          // a KVR Com at address 4
    unsigned displayCueMs = 200;   // the display's 0xE2 after this much quiet; 0: never
};

}  // namespace kvr::sim
