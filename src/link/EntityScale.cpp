#include "link/EntityScale.h"

namespace kvr {

double EntityScale(int entity) {
    switch (entity) {
        case 1:
            return 10;
        case 2:
        case 13:
            return 1000;
        case 3:
        case 4:
        case 5:
            return 10;
        case 6:
            return 32767;
        case 7:
            return 100;
        case 8:
        case 9:
        case 10:
        case 11:
        case 12:
        case 14:
            return 10;
        default:
            return 1;
    }
}

namespace {
constexpr EntityInfo kEntities[kEntityMax + 1] = {
    {"?", "NoEntity", "??", "", 0},
    {"Voltage", "Voltage", "V", "Voltage (V)", 1},
    {"Current", "Current", "A", "Current (A)", 2},
    {"Active Power", "Active Power", "W", "Active Power (W)", 0},
    {"Apparent Power", "Apparent Power", "VA", "Apparent Power (VA)", 0},
    {"Reactive Power", "Reactive Power", "VAr", "Reactive Power (VAr)", 0},
    {"Power Factor", "Power Factor", "", "Power Factor", 0},
    {"Frequency", "Frequency", "Hz", "Frequency (Hz)", 7},
    {"Active Energy Import", "Active Energy", "Wh", "Active Energy (Wh)", 3},
    {"Apparent Energy", "Apparent Energy", "VAh", "Apparent Energy (VAh)", 4},
    {"Reactive Energy Lag", "Reactive Energy", "VArh", "Reactive Energy (VArh)", 5},
    {"Active Energy Export", "Active Energy", "Wh", "Active Energy (Wh) (Export)", 3},
    {"Reactive Energy Lead", "Reactive Energy", "VArh", "Reactive Energy (VArh) (Lead)", 5},
    {"1-Cycle Current Maximum", "1 Cycle Current Max.", "A", "1-Cycle Current Maximum (A)", 0},
    {"Active Demand Power", "<invalid>", "W", "Active Demand Power", 0},
};
}  // namespace

const EntityInfo* FindEntity(int entity) {
    return entity >= 0 && entity <= kEntityMax ? &kEntities[entity] : nullptr;
}

const char* EntityLongName(int entity) {
    const EntityInfo* info = FindEntity(entity);
    return info ? info->longName : "?";
}

const char* EntityUnit(int entity) {
    const EntityInfo* info = FindEntity(entity);
    return info ? info->unit : "??";
}

RatioGroup EntityRatioGroup(int entity) {
    switch (entity) {
        case 1:
            return RatioGroup::Voltage;
        case 2:
        case 13:
            return RatioGroup::Current;
        case 3:
        case 4:
        case 5:
        case 8:
        case 9:
        case 10:
        case 11:
        case 12:
        case 14:
            return RatioGroup::Power;
        default:
            return RatioGroup::None;
    }
}

}  // namespace kvr
