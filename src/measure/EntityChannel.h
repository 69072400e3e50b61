// Whether an (entity, channel) pair exists on the configured unit, and its label, e.g.
// "Voltage : Feeder 1 / Phase A ". Channels 0 to 2 are the measuring channels, 3 the
// "3 Phase" pseudo-channel of the KVR 300 main board.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "document/QRLDoc.h"
#include "measure/MeasuredEntity.h"

namespace kvr {

inline constexpr uint16_t kAnyChannel = 0xFFFF;
inline constexpr int kThreePhaseChannel = kMainBoard;  // "3 Phase": the main board
inline constexpr int kMeasuringChannels = 3;
inline constexpr const char* kNoEntityText = "No Entity";
inline constexpr const char* kInvalidChannelText = "Invalid Channel";

// The channel part of a label for a measuring channel (0 to 2): the channel's name, then
// " / Phase " + voltage phase (Voltage, Frequency), " / Phase " + current phase (Current,
// 1-Cycle Current Maximum) or " / 3 phase" or " / Phase " + voltage phase (powers, power
// factor, energies, demand). `available` says whether the phases it needs are connected;
// no entity gives the bare name, not available.
std::string DescribeChannelPart(const CQRLDoc& doc, int channel, MeasuredEntity e, bool& available);

// Labels a stored (entity, channel) pair. Valid: long name + " : " + channel part (or
// "3 Phase") + " ". Invalid: "No Entity" for an entity that is unknown or not allowed,
// else "Invalid Channel".
bool DescribeEntityChannel(const CQRLDoc& doc, MeasuredEntity e, int channel, std::string& label,
                           bool energyAllowed, bool exportAllowed,
                           uint16_t fixedChannel = kAnyChannel);
// The same for the active document; "Invalid Channel" when there is none.
bool DescribeEntityChannel(MeasuredEntity e, int channel, std::string& label, bool energyAllowed,
                           bool exportAllowed, uint16_t fixedChannel = kAnyChannel);

// How the measuring channels are wired to a three-phase system.
enum class ThreePhaseWiring { None = 0, SingleElement = 1, TwoElement = 2, ThreeElement = 3 };

// Classifies the wiring from the channels' voltage and current phases; `elements` gets the
// channel supplying each element, -1 where there is none. None when the unit has fewer
// than three measuring channels or any of them is set to balanced 3 phase.
ThreePhaseWiring ClassifyWiring(const CQRLDoc& doc, std::array<int, 3>& elements);

// Whether the "3 Phase" pseudo-channel offers an entity with this wiring.
bool ThreePhaseOffers(ThreePhaseWiring wiring, MeasuredEntity e);

}  // namespace kvr
