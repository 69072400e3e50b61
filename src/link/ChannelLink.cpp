#include "link/ChannelLink.h"

#include "base/Bytes.h"
#include "link/EntityScale.h"

namespace kvr {

CChannelLink::CChannelLink(CSerialPort* port, uint8_t address) : CTalkLink(port, address) {
    ResetToDefaults(address);
}

void CChannelLink::ResetToDefaults(uint8_t address) {
    record.ResetToDefaults(address);
    savedRecord = record;
}

bool CChannelLink::ReadValues() {
    size_t length = 0;
    if (!CTalkLink::ReadValues(values.data(), length)) {
        return false;
    }
    valuesLength = length;
    return true;
}

void CChannelLink::UpdateExtendedFromFirmware() {
    uint32_t code = DeviceCode() & ~1u;
    if (record.GetFirmwareVersion() >= kExtendedFirmware) {
        code |= 1u;
    }
    SetDeviceCode(code);
}

bool DecodeRawValue(const uint8_t* data, size_t length, int entity, int currentRange, double& raw) {
    raw = 0;
    if (entity < 1 || entity > 13 || entity == 11 || entity == 12 || length < 30) {
        return false;
    }
    const uint16_t mask = GetU16(data + 2);
    if ((mask & (1u << (entity - 1))) == 0) {
        return false;
    }
    switch (entity) {
        case 1:
            raw = GetS16(data + 4);
            break;
        case 2:
        case 13:
            raw = GetS16(data + 6);
            break;
        case 3:
        case 4:
        case 5:
            raw = GetS16(data + 8 + 2 * static_cast<ptrdiff_t>(entity - 3)) *
                  (currentRange > 0 ? 10.0 : 1.0);
            break;
        case 6:
            raw = GetS16(data + 14);
            break;
        case 7:
            raw = GetS16(data + 16);
            break;
        default:  // 8, 9, 10: the energies
            raw = GetS32(data + 18 + 4 * static_cast<ptrdiff_t>(entity - 8));
            break;
    }
    return true;
}

bool CChannelLink::GetValue(int entity, bool secondary, double& value) const {
    double raw = 0;
    if (!DecodeRawValue(values.data(), valuesLength, entity, record.GetCurrentRange(), raw)) {
        value = 0;
        return false;
    }
    value = raw / EntityScale(entity);
    if (secondary) {
        value = record.ToSecondary(entity, value);
    }
    return true;
}

}  // namespace kvr
