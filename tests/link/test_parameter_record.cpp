#include "link/ParameterRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <stdexcept>
#include <string>

namespace kvr {
namespace {

using R = ParameterRecord;

ParameterRecord Filled(uint8_t pattern) {
    ParameterRecord r;
    r.Bytes().fill(pattern);
    return r;
}

// Every byte other than `offset` must equal the fill pattern.
void ExpectOnlyByteChanged(const ParameterRecord& r, size_t offset, uint8_t expected) {
    for (size_t i = 0; i < R::kSize; ++i) {
        EXPECT_EQ(r.GetU8(i), i == offset ? expected : 0xFF) << "offset " << i;
    }
}

void ExpectBytes(const ParameterRecord& r, size_t offset, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        EXPECT_EQ(r.GetU8(offset), b) << "offset " << offset;
        ++offset;
    }
}

// A record whose VT ratio is 100 (11 kV / 110 V) and CT ratio 200 (1000 A / 5 A).
ParameterRecord WithTransformers() {
    ParameterRecord r;
    r.ResetToDefaults(0);
    r.SetPrimary(InputKind::Voltage, Winding::Primary, 11000);
    r.SetPrimary(InputKind::Voltage, Winding::Secondary, 110);
    r.SetPrimary(InputKind::Current, Winding::Primary, 1000);
    r.SetPrimary(InputKind::Current, Winding::Secondary, 5);
    r.SetDirect(InputKind::Voltage, false);
    r.SetDirect(InputKind::Current, false);
    return r;
}

TEST(ParameterRecordDefaults, FactoryValuesForChannelAndMainboard) {
    ParameterRecord r = Filled(0xFF);  // the reset must not keep anything old
    r.ResetToDefaults(0);
    EXPECT_TRUE(r.IsValid());
    ExpectBytes(r, 0, {0x54, 0x76, 0, 0, 0});  // serial 30292, address 0
    for (size_t gain = R::kVoltageGain; gain < R::kCalGainsEnd; gain += 2) {
        EXPECT_EQ(r.GetS16(gain), 4096);
    }
    ExpectBytes(r, R::kOutputCard, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (int o = 0; o < R::kOutputs; ++o) {
        int16_t offset = 0;
        uint16_t span = 0;
        r.GetDacCalibration(o, offset, span);
        EXPECT_EQ(std::vector<int>({r.GetScaleMin(o), r.GetScaleMax(o), r.GetLevelMin(o),
                                    r.GetLevelMax(o), offset, span}),
                  std::vector<int>({0, 32767, 0, 32767, 16, 15797}))
            << "output " << o;
    }
    ExpectBytes(r, R::kFirmwareVersion, {0, 0, 0, 0});
    EXPECT_EQ(r.GetName(), "Not Available");
    ExpectBytes(r, R::kName + 13, {0, 0, 0, 0, 0, 0, 0, 0});  // 92 through 99
    // flags, voltage input, VT 1100/1100, direct, current input, CT 1000/1000, direct
    ExpectBytes(r, R::kChannelFlags,
                {0, 1, 0x4C, 0x04, 0x4C, 0x04, 1, 1, 0xE8, 0x03, 0xE8, 0x03, 1, 0x4E, 0x1D});

    r.ResetToDefaults(2);
    EXPECT_FALSE(r.IsBalanced());
    EXPECT_EQ(r.GetOutputSource(3), 2);
    r.ResetToDefaults(3);
    EXPECT_EQ(r.GetU8(R::kChannelFlags), 0x01);
    EXPECT_EQ(r.GetU8(R::kUnitAddress), 3);
    ExpectBytes(r, R::kOutputSource, {3, 3, 3, 3});
}

TEST(ParameterRecordLayout, MultiByteFieldsAreLittleEndianAtTheirOffsets) {
    ParameterRecord r;
    r.SetSerialNumber(0x12345678);
    ExpectBytes(r, 0, {0x78, 0x56, 0x34, 0x12});
    r.SetScaleMax(2, 0x0102);
    ExpectBytes(r, 39, {0x02, 0x01});
    r.SetLevelMin(1, -2);
    ExpectBytes(r, 45, {0xFE, 0xFF});
    r.SetDacCalibration(3, -3, 0xABCD);
    ExpectBytes(r, 65, {0xFD, 0xFF});
    ExpectBytes(r, 73, {0xCD, 0xAB});
    r.SetPrimary(InputKind::Current, Winding::Primary, 0x0304);
    ExpectBytes(r, 108, {0x04, 0x03});
    EXPECT_THROW(r.GetU16(R::kSize - 1), std::out_of_range);
}

TEST(ParameterRecordBits, SettersChangeOnlyTheirOwnBits) {
    struct Case {
        const char* what;
        void (*set)(ParameterRecord&);
        size_t offset;
        uint8_t expected;
    };
    const Case cases[] = {
        {"card type", [](R& r) { r.SetCardType(1, 2); }, 16, 0xF2},
        {"plus card", [](R& r) { r.SetPlusCard(2, false); }, 17, 0x7F},
        {"entity", [](R& r) { r.SetOutputEntity(1, EntityFromCode(3)); }, 20, 0xF3},
        {"output range", [](R& r) { r.SetOutputRange(1, false, 2); }, 20, 0x2F},
        {"source", [](R& r) { r.SetOutputSource(3, 2); }, 26, 0xF2},
        {"hardware", [](R& r) { r.SetInputHardware(2); }, 76, 0x2F},
        {"balanced", [](R& r) { r.SetBalanced(false); }, 100, 0xFE},
        {"line-to-line", [](R& r) { r.SetLineToLine(false); }, 100, 0x7F},
        {"voltage phase", [](R& r) { r.SetPhase(InputKind::Voltage, 4); }, 101, 0xF5},
        {"voltage direct", [](R& r) { r.SetDirect(InputKind::Voltage, false); }, 106, 0xFE},
        {"current phase", [](R& r) { r.SetPhase(InputKind::Current, 15); }, 107, 0xF0},
        {"current direct", [](R& r) { r.SetDirect(InputKind::Current, false); }, 112, 0xFE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ParameterRecord r = Filled(0xFF);
        c.set(r);
        ExpectOnlyByteChanged(r, c.offset, c.expected);
    }

    ParameterRecord r = Filled(0xFF);
    r.SetRanges(1, 2);
    ExpectBytes(r, R::kVoltageInput, {0x7F});
    ExpectBytes(r, R::kCurrentInput, {0xBF});
    r.SetOutputRange(0, true, 6);
    ExpectBytes(r, R::kOutputEntity, {0xEF});

    // Phase index 15 wraps to nibble 0, which reads back as no selection.
    r.SetPhase(InputKind::Voltage, 15);
    EXPECT_EQ(r.GetPhase(InputKind::Voltage), -1);
}

TEST(ParameterRecordBits, SlotsOutsideTheFourOutputsTouchNothing) {
    ParameterRecord r = Filled(0xA5);
    const ParameterRecord before = r;
    for (int slot : {-1, 4, 1000}) {
        r.SetCardType(slot, 1);
        r.SetPlusCard(slot, true);
        r.SetOutputEntity(slot, EntityFromCode(1));
        r.SetOutputRange(slot, true, 1);
        r.SetOutputSource(slot, 1);
        r.SetScaleMin(slot, 1);
        r.SetScaleMax(slot, 1);
        r.SetLevelMax(slot, 1);
        r.SetDacCalibration(slot, 1, 1);
        EXPECT_EQ(r.GetCardType(slot) + EntityCode(r.GetOutputEntity(slot)) + r.GetScaleMax(slot),
                  0);
    }
    EXPECT_EQ(r, before);
}

TEST(ParameterRecordName, SixteenCharactersAtMostAndZeroFilled) {
    ParameterRecord r = Filled(0xFF);
    r.SetName("ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(r.GetName(), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(r.GetU8(95), 0);
    EXPECT_EQ(r.GetU8(96), 0xFF);  // reserved bytes are carried
    r.SetName("Feeder");
    EXPECT_EQ(r.GetName(), "Feeder");
    for (size_t i = R::kName + 6; i <= 95; ++i) {
        EXPECT_EQ(r.GetU8(i), 0) << i;
    }

    // A record without a terminator reads as its first 16 characters.
    EXPECT_EQ(Filled('x').GetName(), std::string(16, 'x'));
}

TEST(ParameterRecordScaling, RoundingAddsAHalfAndTruncatesTowardZero) {
    EXPECT_EQ(ScaleRound(1.006, 100), 101);
    EXPECT_EQ(ScaleRound(-1.006, 100), -100);
    EXPECT_EQ(ScaleRound(-0.5, 1), 0);
    EXPECT_EQ(ScaleRound(2.5, 1), 3);
    EXPECT_EQ(ScaleRound(std::nan(""), 1), 0);
    EXPECT_GT(ScaleRound(1e300, 1), 0);
}

TEST(ParameterRecordScaling, TransformerPrimariesAndSecondaries) {
    ParameterRecord r;
    r.SetPrimary(InputKind::Voltage, Winding::Primary, 11000);
    r.SetPrimary(InputKind::Voltage, Winding::Secondary, 110);
    EXPECT_EQ(r.GetU16(R::kVtPrimary), 110);  // hundreds of volts; tenths for the secondary
    EXPECT_EQ(r.GetU16(R::kVtSecondary), 1100);
    EXPECT_DOUBLE_EQ(r.VtRatio(), 100);
    r.SetDirect(InputKind::Voltage, true);
    EXPECT_DOUBLE_EQ(r.VtRatio(), 1);

    r.SetPrimary(InputKind::Current, Winding::Secondary, 0.0054);
    EXPECT_EQ(r.GetU16(R::kCtSecondary), 5);
    EXPECT_NEAR(r.GetPrimary(InputKind::Current, Winding::Secondary), 0.005, 1e-12);
    // Unsigned fields: out-of-range entries clamp instead of wrapping.
    for (auto [entry, stored] : {std::pair{-5.0, 0}, {70000.0, 65535}}) {
        r.SetPrimary(InputKind::Current, Winding::Primary, entry);
        EXPECT_EQ(r.GetU16(R::kCtPrimary), stored) << entry;
    }
    r.SetPrimary(InputKind::Voltage, Winding::Primary, 1e9);
    EXPECT_EQ(r.GetU16(R::kVtPrimary), 65535);
}

TEST(ParameterRecordScaling, ZeroSecondaryGivesRatioOneAndZeroPrimaryStaysFinite) {
    ParameterRecord r = WithTransformers();
    r.SetPrimary(InputKind::Voltage, Winding::Secondary, 0);
    r.SetPrimary(InputKind::Current, Winding::Secondary, 0);
    EXPECT_DOUBLE_EQ(r.VtRatio(), 1);
    EXPECT_DOUBLE_EQ(r.ToPrimary(EntityFromCode(3), 7), 7);
    r = WithTransformers();
    r.SetPrimary(InputKind::Voltage, Winding::Primary, 0);
    EXPECT_DOUBLE_EQ(r.VtRatio(), 0);
    EXPECT_DOUBLE_EQ(r.ToSecondary(EntityFromCode(1), 5000), 0);
    EXPECT_DOUBLE_EQ(r.ToSecondary(EntityFromCode(2), 1000), 5);
}

TEST(ParameterRecordScaling, PrimaryAndSecondaryPerEntityGroup) {
    const ParameterRecord r = WithTransformers();  // 110 V, 5 A secondaries
    // entity: primary of 2 secondary units, and the nominal raw value (three phases or one)
    const struct {
        int entity;
        double primaryOf2, nominal3, nominal1;
    } cases[] = {
        {1, 200, 1100, 1100}, {2, 400, 5000, 5000},     {3, 40000, 16500, 5500},
        {6, 2, 32767, 32767}, {7, 2, 5500, 5500},       {8, 40000, 0, 0},
        {13, 400, 0, 0},      {14, 40000, 16500, 5500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entity);
        EXPECT_DOUBLE_EQ(r.ToPrimary(EntityFromCode(c.entity), 2), c.primaryOf2);
        EXPECT_NEAR(
            r.ToSecondary(EntityFromCode(c.entity), r.ToPrimary(EntityFromCode(c.entity), 123.25)),
            123.25, 1e-9);
        EXPECT_DOUBLE_EQ(r.NominalRaw(EntityFromCode(c.entity), true), c.nominal3);
        EXPECT_DOUBLE_EQ(r.NominalRaw(EntityFromCode(c.entity), false), c.nominal1);
    }
    for (int power : {4, 5, 9, 10, 11, 12}) {
        EXPECT_DOUBLE_EQ(r.ToPrimary(EntityFromCode(power), 2), 40000) << power;
    }
    EXPECT_DOUBLE_EQ(r.ToSecondary(EntityFromCode(0), 5), -1);
    EXPECT_DOUBLE_EQ(r.ToSecondary(EntityFromCode(15), 5), -1);
    EXPECT_DOUBLE_EQ(r.ToPrimary(EntityFromCode(0), 5), 5);
}

TEST(ParameterRecordScaling, PowerRuleStoresTenthsAboveCurrentRangeZero) {
    ParameterRecord r;
    r.ResetToDefaults(0);
    r.SetRanges(0, 1);
    r.SetOutputEntity(0, EntityFromCode(3));
    r.SetScaleMax(0, 5000);
    EXPECT_EQ(r.GetS16(R::kOutputScaleMax), 500);
    EXPECT_EQ(r.GetScaleMax(0), 5000);
    r.SetScaleMin(0, -12345);  // truncates toward zero
    EXPECT_EQ(r.GetS16(R::kOutputScaleMin), -1234);
    EXPECT_EQ(r.GetScaleMin(0), -12340);
    r.SetScaleMax(0, 400000);  // beyond the field even in tenths: clamped
    EXPECT_EQ(r.GetScaleMax(0), 327670);

    r.SetOutputEntity(1, EntityFromCode(1));
    r.SetScaleMax(1, 5000);
    EXPECT_EQ(r.GetS16(R::kOutputScaleMax + 2), 5000);
    r.SetOutputEntity(1, EntityFromCode(14));  // demand power is not under the rule
    EXPECT_EQ(r.GetScaleMax(1), 5000);
    r.SetScaleMin(1, -40000);
    EXPECT_EQ(r.GetScaleMin(1), -32768);

    r.SetRanges(0, 0);
    r.SetScaleMax(0, 5000);
    EXPECT_EQ(r.GetS16(R::kOutputScaleMax), 5000);
}

TEST(ParameterRecordCalibration, GainFactor) {
    ParameterRecord r;
    r.ResetToDefaults(1);
    // voltage, voltage squared, current, current squared, power
    const auto gains = [&r] {
        return std::vector<int>{r.GetVoltageGain(), r.GetVoltageGainSquared(), r.GetCurrentGain(),
                                r.GetCurrentGainSquared(), r.GetPowerGain()};
    };
    r.ApplyGainFactor(1.05, InputKind::Voltage);
    EXPECT_EQ(gains(), (std::vector<int>{4301, 4516, 4096, 4096, 4301}));
    r.ApplyGainFactor(0.95, InputKind::Current);  // power: the stored 4301 / 4096 times 0.95
    EXPECT_EQ(gains(), (std::vector<int>{4301, 4516, 3891, 3697, 4086}));
    r.ApplyGainFactor(3, InputKind::Voltage);  // 12903 fits, its square does not
    EXPECT_EQ(r.GetVoltageGain(), 12903);
    EXPECT_EQ(r.GetVoltageGainSquared(), 32767);
    r.ApplyGainFactor(-10, InputKind::Current);
    EXPECT_EQ(r.GetCurrentGain(), -32768);
}

TEST(ParameterRecordCalibration, PhaseCorrectionAndThresholdBounds) {
    ParameterRecord r;
    // Accepted entries are stored in hundredths; refused ones leave the field alone.
    EXPECT_TRUE(r.SetCtPhaseCorrection(180.0f));
    EXPECT_FALSE(r.SetCtPhaseCorrection(180.01f));
    EXPECT_FALSE(r.SetCtPhaseCorrection(-180.01f));
    EXPECT_EQ(r.GetS16(R::kCtPhaseCorrection), 18000);
    EXPECT_TRUE(r.SetCtPhaseCorrection(12.34f));
    EXPECT_EQ(r.GetS16(R::kCtPhaseCorrection), 1234);
    // A stored value out of range reads as 0.
    for (auto [stored, shown] : {std::pair{20000, 0.0f}, {-18001, 0.0f}, {-18000, -180.0f}}) {
        r.SetS16(R::kCtPhaseCorrection, static_cast<int16_t>(stored));
        EXPECT_FLOAT_EQ(r.GetCtPhaseCorrection(), shown) << stored;
    }

    EXPECT_TRUE(r.SetCurrentThreshold(25.5f));
    EXPECT_EQ(r.GetU8(R::kCurrentThreshold), 255);
    for (float refused : {25.6f, -0.1f, std::nanf("")}) {
        EXPECT_FALSE(r.SetCurrentThreshold(refused)) << refused;
    }
    EXPECT_EQ(r.GetU8(R::kCurrentThreshold), 255);
    EXPECT_TRUE(r.SetCurrentThreshold(0.3f));
    EXPECT_EQ(r.GetU8(R::kCurrentThreshold), 3);
}

TEST(ParameterRecordNames, IndicesOutsideTheTablesAndFirmwareText) {
    EXPECT_STREQ(CardTypeName(4), "<invalid>");
    EXPECT_STREQ(OutputRangeName(true, 8), "illegal range");
    EXPECT_STREQ(OutputRangeName(false, -1), "illegal range");
    EXPECT_STREQ(VoltageRangeName(1, 0), "illegal");
    EXPECT_STREQ(VoltageRangeName(2, 4), "");
    ParameterRecord r;
    r.SetFirmwareVersion(5);
    EXPECT_EQ(r.GetFirmwareVersionText(), "0.05");
}

}  // namespace
}  // namespace kvr
