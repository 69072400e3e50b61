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
struct EntityText {
    const char* longName;
    const char* unit;
};
constexpr EntityText kEntities[kEntityMax + 1] = {
    {"?", "??"},
    {"Voltage", "V"},
    {"Current", "A"},
    {"Active Power", "W"},
    {"Apparent Power", "VA"},
    {"Reactive Power", "VAr"},
    {"Power Factor", ""},
    {"Frequency", "Hz"},
    {"Active Energy Import", "Wh"},
    {"Apparent Energy", "VAh"},
    {"Reactive Energy Lag", "VArh"},
    {"Active Energy Export", "Wh"},
    {"Reactive Energy Lead", "VArh"},
    {"1-Cycle Current Maximum", "A"},
    {"Active Demand Power", "W"},
};
}  // namespace

const char* EntityLongName(int entity) {
    return entity >= 0 && entity <= kEntityMax ? kEntities[entity].longName : "?";
}

const char* EntityUnit(int entity) {
    return entity >= 0 && entity <= kEntityMax ? kEntities[entity].unit : "??";
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
