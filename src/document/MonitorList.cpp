#include "document/MonitorList.h"

#include <algorithm>

#include "base/Settings.h"

namespace kvr {

static_assert(kStoredMonitors == kMaxMonitors, "the store holds the whole list");

std::vector<MeasuredEntity> MonitorList::Entities() const {
    std::vector<MeasuredEntity> out;
    out.reserve(Size());
    for (size_t i = 0; i < Size(); ++i) {
        out.push_back(EntityAt(i));
    }
    return out;
}

bool MonitorList::SameList(const MonitorList& other) const {
    if (count != other.count || columns != other.columns) {
        return false;
    }
    const size_t n = Size();
    return std::equal(entities.begin(), entities.begin() + n, other.entities.begin()) &&
           std::equal(channels.begin(), channels.begin() + n, other.channels.begin());
}

void MonitorList::TakeFromFile(const MonitorList& file) {
    columns = file.columns;
    if (file.count > 0) {
        count = file.count;
        entities = file.entities;
        channels = file.channels;
    }
}

void MonitorList::ReadFromStore() {
    uint16_t stored = 0;
    ReadMonitorList(stored, entities, channels);
    count = std::min<uint16_t>(stored, kMaxMonitors);
}

void MonitorList::WriteToStore() const {
    WriteMonitorList(static_cast<uint16_t>(Size()), entities, channels);
}

bool MonitorList::OnlyChannel0() const {
    return std::all_of(channels.begin(), channels.begin() + Size(),
                       [](uint8_t channel) { return channel == 0; });
}

void MonitorList::KeepChannel0() {
    uint16_t kept = 0;
    for (size_t i = 0; i < Size(); ++i) {
        if (channels[i] == 0) {
            entities[kept] = entities[i];
            channels[kept] = channels[i];
            ++kept;
        }
    }
    count = kept;
}

}  // namespace kvr
