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
    if (!CTalkLink::ReadValues(values, length)) {
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

bool DecodeRawValue(std::span<const uint8_t> data, MeasuredEntity entity, int currentRange,
                    double& raw) {
    raw = 0;
    const EntityInfo* info = FindEntity(entity);
    if (info == nullptr || info->slot.width == 0 || data.size() < talk::kValuesData) {
        return false;
    }
    const uint16_t mask = GetU16(data.data() + 2);
    if ((mask & (1u << (EntityCode(entity) - 1))) == 0) {
        return false;
    }
    const ValuesSlot& slot = info->slot;
    if (slot.width == 4) {
        raw = GetS32(data.data() + slot.offset);
    } else {
        raw = GetS16(data.data() + slot.offset) *
              (info->currentRanged && currentRange > 0 ? 10.0 : 1.0);
    }
    return true;
}

bool CChannelLink::GetValue(MeasuredEntity entity, Winding winding, double& value) const {
    double raw = 0;
    if (!DecodeRawValue(std::span(values.data(), valuesLength), entity, record.GetCurrentRange(),
                        raw)) {
        value = 0;
        return false;
    }
    value = raw / EntityScale(entity);
    if (winding == Winding::Secondary) {
        value = record.ToSecondary(entity, value);
    }
    return true;
}

}  // namespace kvr
