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
