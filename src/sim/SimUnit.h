// One kind of simulated unit on the line, and the layout of the KVR Talk command byte that
// the line and the units share. The line (SimUnits) cuts the received bytes into frames,
// hands each frame to the unit that answers at the frame's address (a broadcast to every
// unit) and applies the line's faults to the replies; a unit only sees whole frames whose
// checksum is good. A new kind of unit is a new file with a class of this interface, added
// to the line with SimUnits::AddUnit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kvr::sim {

// FrameLength results besides a length: more bytes must arrive first, or the first byte
// starts no frame (the line then drops that byte).
inline constexpr size_t kNeedMore = 0;
inline constexpr size_t kNoFrame = static_cast<size_t>(-1);

// CommandAddress results besides an address 0 to 7.
inline constexpr int kBroadcast = -1;  // Attention and Sample: every unit hears them
inline constexpr int kNoCommand = -2;  // the byte starts no command

// The unit address a command byte carries: its low three bits for QueryDevice,
// ReadParameters, SetMode, WriteParameters and RestoreFactorySettings, its low two bits
// for the relay, ReadValues and WriteDac commands.
int CommandAddress(uint8_t command);

// Length of the KVR Talk frame that starts bytes[0] (command, arguments, checksum) as the
// measuring boards read it, kNeedMore or kNoFrame. The line also skips a frame addressed
// to nobody by it, so that its argument bytes are never taken for commands.
size_t TalkFrameLength(std::span<const uint8_t> bytes);

// Every call is made with the line's mutex held, from whichever thread feeds the line.
class ISimUnit {
  public:
    virtual ~ISimUnit() = default;

    // True when the unit answers at this address now (a KVR 100 follows its record).
    virtual bool AnswersAt(int address) const = 0;
    // The addresses the unit answers at, in its own order.
    virtual std::vector<int> Addresses() const = 0;
    // Length of the frame addressed to this unit that starts bytes[0] (never empty), or
    // kNeedMore or kNoFrame.
    virtual size_t FrameLength(std::span<const uint8_t> bytes) const = 0;
    // Acts on a whole frame sent to `address` (kBroadcast for a broadcast). True when the
    // unit answers, with the reply bytes; sets `changed` when what the unit keeps across
    // restarts changed (the line then calls SaveState once the received bytes are handled).
    virtual bool HandleFrame(int address, std::span<const uint8_t> frame,
                             std::vector<uint8_t>& reply, bool& changed) = 0;
    // A unit that speaks unprompted while the line is quiet (a display's 0xE2 cue): the
    // byte, and the quiet time in ms before each; 0 for a unit that never does.
    virtual unsigned IdleCueMs(uint8_t& byte) const {
        byte = 0;
        return 0;
    }
    // Simulated installation time moves forward to `seconds`.
    virtual void AdvanceTime(double seconds) = 0;
    virtual void SaveState() = 0;
    // Empty while the unit's state file is fine, else why it is not.
    virtual std::string StateError() const = 0;
    // A line of text for each board or module, for the kvr-sim status command.
    virtual std::string Summary() const = 0;
};

}  // namespace kvr::sim
