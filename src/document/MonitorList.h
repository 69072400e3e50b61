// The monitor list: which entity of which channel each monitor cell shows, and in how many
// columns. The document holds the live list and the copy saved with the configuration;
// setup files, the settings store and the reading thread take it as one value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/EntityScale.h"

namespace kvr {

inline constexpr int kMaxMonitors = 60;
inline constexpr uint16_t kDefaultLayoutColumns = 3;

struct MonitorList {
    uint16_t count = 0;
    uint16_t columns = kDefaultLayoutColumns;
    // Entry i is monitor i; entries from count on are not part of the list.
    std::array<uint8_t, kMaxMonitors> entities{};
    std::array<uint8_t, kMaxMonitors> channels{};

    // The monitors in use: count, at most 60.
    size_t Size() const { return count < kMaxMonitors ? count : kMaxMonitors; }
    // The entity of monitor i, and the entities of the monitors in use.
    MeasuredEntity EntityAt(size_t i) const { return EntityFromCode(entities[i]); }
    std::vector<MeasuredEntity> Entities() const;
    // Every byte equal (a setup image compares so).
    bool operator==(const MonitorList& other) const = default;
    // The same list to the user: counts, columns and the monitors in use equal.
    bool SameList(const MonitorList& other) const;

    // Takes over the monitors of a setup file: its columns always, its monitors only when
    // it has any (a file without them says nothing about the ones being watched).
    void TakeFromFile(const MonitorList& file);

    // The list stored in the settings store: a count that cannot be read is 0, and the
    // entries keep their bytes where nothing was read. The columns stay as they are.
    void ReadFromStore();
    // All 60 entries are written; a failure is not reported (the list stays for this run).
    void WriteToStore() const;

    // True when every monitor in use reads channel 0 (a KVR 100 has no other).
    bool OnlyChannel0() const;
    // Keeps the channel 0 monitors in their order, closing the gaps.
    void KeepChannel0();
};

}  // namespace kvr
