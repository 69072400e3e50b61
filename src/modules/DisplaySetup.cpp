#include "modules/DisplaySetup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Bytes.h"

namespace kvr {

namespace {

constexpr size_t kSettingsAt = 3;
constexpr size_t kCodeAt = 27;
constexpr size_t kNominalAt = 51;
constexpr size_t kUnitsAt = 123;
constexpr size_t kLowAt = 243;
constexpr size_t kHighAt = 315;
constexpr size_t kChecksumAt = kDisplayRecordSize - 1;
constexpr int32_t kMax24 = 0x7FFFFF;
constexpr int32_t kMin24 = -0x800000;

struct ValueChoice {
    const char* text;
    uint8_t code;
    const char* reportName;
};

// The form's choice texts keep their trailing spaces.
constexpr ValueChoice kValueTable[kValueChoices] = {
    {"Primary Voltage ", 0x10, "Primary Voltage"},
    {"Primary Current ", 0x11, "Primary Current"},
    {"Primary Active Power ", 0x12, "Primary Active Power"},
    {"Primary Apparent Power ", 0x13, "Primary Apparent Power"},
    {"Primary Reactive Power", 0x14, "Primary Reactive Power"},
    {"Primary Active Energy ", 0x17, "Primary Active Energy"},
    {"Primary Apparent Energy ", 0x18, "Primary Apparent Energy"},
    {"Primary Reactive Energy", 0x19, "Primary Reactive Energy"},
    {"Secondary Voltage ", 0x00, "Secondary Voltage"},
    {"Secondary Current ", 0x01, "Secondary Current"},
    {"Secondary Active Power ", 0x02, "Secondary Active Power"},
    {"Secondary Apparent Power ", 0x03, "Secondary Apparent Power"},
    {"Secondary Reactive Power", 0x04, "Secondary Reactive Power"},
    {"Secondary Active Energy ", 0x07, "Secondary Active Energy"},
    {"Secondary Apparent Energy ", 0x08, "Secondary Apparent Energy"},
    {"Secondary Reactive Energy", 0x09, "Secondary Reactive Energy"},
    {"Power Factor ", 0x15, "Power Factor"},
    {"Frequency ", 0x06, "Frequency"},
    {"-- Blank --", kBlankValueCode, "-- BLANK --"},
};

constexpr const char* kDecimalsChoices[kMaxDisplayDecimals + 1] = {"0.",    "0.0",    "0.00",
                                                                   "0.000", "0.0000", "0.00000"};

int32_t Get24(const uint8_t* p) {
    int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
    return (v & 0x800000) != 0 ? v - 0x1000000 : v;
}

void Put24(uint8_t* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u & 0xFF);
    p[1] = static_cast<uint8_t>((u >> 8) & 0xFF);
    p[2] = static_cast<uint8_t>((u >> 16) & 0xFF);
}

// Powers of ten are exact as doubles, so scaling multiplies or divides by one of them
// instead of by an inexact 10^-n: a value read from the module then encodes back to the
// integer it came from.
double Pow10(int n) {
    double p = 1;
    for (int i = 0; i < n; ++i) {
        p *= 10;
    }
    return p;
}

int ScaleExponent(uint8_t decimals, const std::string& units) {
    int prefix = 0;
    if (!units.empty()) {
        prefix = units[0] == 'M' ? 6 : units[0] == 'k' ? 3 : units[0] == 'm' ? -3 : 0;
    }
    return static_cast<int>(decimals) - prefix;
}

int32_t ToWire(double value, int exponent) {
    if (!std::isfinite(value)) {
        return 0;
    }
    double scaled = exponent >= 0 ? value * Pow10(exponent) : value / Pow10(-exponent);
    // trunc, but a product a rounding error short of a whole number (0.29 x 100) is that
    // number.
    const double nearest = std::nearbyint(scaled);
    scaled = std::fabs(scaled - nearest) < 1e-9 * std::max(1.0, std::fabs(scaled))
                 ? nearest
                 : std::trunc(scaled);
    return static_cast<int32_t>(std::clamp<double>(scaled, kMin24, kMax24));
}

double FromWire(int32_t raw, int exponent) {
    return exponent >= 0 ? raw / Pow10(exponent) : raw * Pow10(-exponent);
}

}  // namespace

void SealDisplayRecord(DisplaySetupRecord& record) {
    record[0] = 0xA5;
    record[1] = 0x55;
    record[2] = 0xAA;
    record[kChecksumAt] = Checksum(record.data(), kChecksumAt);
}

bool DisplayRecordSumsToZero(const DisplaySetupRecord& record) {
    return ByteSum(record.data(), record.size()) == 0;
}

double DisplayScale(uint8_t decimals, const std::string& units) {
    const int e = ScaleExponent(decimals, units);
    return e >= 0 ? Pow10(e) : 1.0 / Pow10(-e);
}

int DisplayEntity(uint8_t code) {
    return code < 32 && (code & 0x0F) <= 9 ? (code & 0x0F) + 1 : 0;
}

void DecodeLine(DisplayLine& line, int index, const DisplaySetupRecord& record) {
    const size_t L = static_cast<size_t>(index);
    const uint8_t settings = record[kSettingsAt + L];
    const bool allZero =
        std::all_of(record.begin() + kSettingsAt, record.end(), [](uint8_t b) { return b == 0; });
    line.index = index;
    line.blank = (settings >> 4) == 0xF || allZero;
    line.decimals = static_cast<uint8_t>(std::min(settings >> 4, kMaxDisplayDecimals));
    line.channel = settings & 0x0F;
    line.valueCode = record[kCodeAt + L] & 0x7F;
    line.units.assign(kDisplayUnitsLength, ' ');
    for (size_t k = 0; k < kDisplayUnitsLength; ++k) {
        const uint8_t c = record[kUnitsAt + 24 * k + L];
        line.units[k] = c < 0x20 ? ' ' : static_cast<char>(c);  // a zeroed row reads blank
    }
    const int e = ScaleExponent(line.decimals, line.units);
    line.nominal = FromWire(Get24(&record[kNominalAt + 3 * L]), e);
    line.low = FromWire(Get24(&record[kLowAt + 3 * L]), e);
    line.high = FromWire(Get24(&record[kHighAt + 3 * L]), e);
}

void EncodeLine(const DisplayLine& line, int index, DisplaySetupRecord& record) {
    const size_t L = static_cast<size_t>(index);
    const uint8_t channel = line.channel & 0x0F;
    const uint8_t decimals = std::min<uint8_t>(line.decimals, kMaxDisplayDecimals);
    record[kSettingsAt + L] = line.blank ? static_cast<uint8_t>(0xF0 | channel)
                                         : static_cast<uint8_t>(decimals * 16 + channel);
    record[kCodeAt + L] = line.valueCode;
    const std::string units = FiveCharacterUnits(line.units);
    const int e = ScaleExponent(decimals, units);
    Put24(&record[kNominalAt + 3 * L], ToWire(line.nominal, e));
    Put24(&record[kLowAt + 3 * L], ToWire(line.low, e));
    Put24(&record[kHighAt + 3 * L], ToWire(line.high, e));
    for (size_t k = 0; k < kDisplayUnitsLength; ++k) {
        record[kUnitsAt + 24 * k + L] = static_cast<uint8_t>(units[k]);
    }
}

const char* ValueChoiceText(int choice) {
    return choice >= 0 && choice < kValueChoices ? kValueTable[choice].text : "";
}

uint8_t ValueChoiceCode(int choice) {
    return choice >= 0 && choice < kValueChoices ? kValueTable[choice].code : kBlankValueCode;
}

int ValueChoiceOf(uint8_t code) {
    for (int i = 0; i < kValueChoices; ++i) {
        if (kValueTable[i].code == code) {
            return i;
        }
    }
    return -1;
}

std::string ValueReportName(uint8_t code) {
    const int choice = ValueChoiceOf(code);
    if (choice >= 0) {
        return kValueTable[choice].reportName;
    }
    char text[16];
    (void)std::snprintf(text, sizeof text, "Code 0x%02X", code);
    return text;
}

std::string ChannelChoiceText(int selector) {
    if (selector < 0 || selector >= kChannelChoices) {
        return "";
    }
    char text[16];
    if (selector % 4 == 3) {
        (void)std::snprintf(text, sizeof text, "Unit%d - 3Ph", selector / 4);
    } else {
        (void)std::snprintf(text, sizeof text, "Unit%d - Ch%d", selector / 4, selector % 4 + 1);
    }
    return text;
}

const char* DecimalsChoiceText(int decimals) {
    return decimals >= 0 && decimals <= kMaxDisplayDecimals ? kDecimalsChoices[decimals] : "";
}

std::string FiveCharacterUnits(const std::string& units) {
    std::string out = units.substr(0, kDisplayUnitsLength);
    out.resize(kDisplayUnitsLength, ' ');
    return out;
}

}  // namespace kvr
