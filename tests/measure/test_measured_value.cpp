#include "measure/MeasuredValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/Seams.h"
#include "measure/FormExchange.h"
#include "support/ScriptedUser.h"

namespace kvr {
namespace {

using namespace entity;

TEST(MeasuredEntity, TextsAndMappings) {
    EXPECT_STREQ(EntityShortName(kActiveDemandPower), "<invalid>");
    EXPECT_STREQ(EntityUnit(kPowerFactor), "");
    const int rates[] = {0, 1, 2, 0, 0, 0, 0, 7, 3, 4, 5, 3, 5, 0, 0, 0};
    for (int code = -1; code <= 15; ++code) {
        const MeasuredEntity e = EntityFromCode(code);
        EXPECT_EQ(EntityCode(RateEntity(e)), code < 0 ? 0 : rates[code]) << code;
    }
    EXPECT_STREQ(EntityUnit(EntityFromCode(-1)), "??");
    EXPECT_STREQ(EntityUnit(EntityFromCode(15)), "??");
}

TEST(MeasuredEntity, PhaseNames) {
    EXPECT_EQ(PhaseName(PhaseFromCode(0)), "Not Available");
    EXPECT_EQ(PhaseName(PhaseFromCode(7)), "C - A");
    EXPECT_EQ(PhaseName(PhaseFromCode(14)), "Reversed B - C");
    EXPECT_EQ(PhaseName(PhaseFromCode(2), true), "A - B");
    EXPECT_EQ(PhaseName(PhaseFromCode(12), true), "Reversed C - A");
    // The second "Not Connected" entry and an empty nibble are no connection.
    for (int code : {-1, 0, 8, 15}) {
        EXPECT_FALSE(PhaseConnected(PhaseFromCode(code))) << code;
    }
    EXPECT_TRUE(PhaseConnected(PhaseFromCode(10)));
}

TEST(MeasuredValue, ParseWithUnit) {
    struct Case {
        const char* text;
        MeasuredEntity e;
        bool ok;
        double value;
        int length = -1;  // of the text given, when not all of it
    };
    const Case cases[] = {
        {"11 kV", kVoltage, true, 11000},
        {"500mA", kCurrent, true, 0.5},
        {"5 W", kVoltage, false, 0},
        {"5 kw", kActivePower, true, 5000},
        {"11 KV", kVoltage, false, 0},  // K is no prefix
        {"0.5 mA", kCurrent, true, 0.0005},
        {"5 A and more", kCurrent, true, 5},
        {"  \t-2.5 MVAr", kReactivePower, true, -2.5e6},
        {"+3 GWh", kActiveEnergyImport, true, 3e9},
        {"5. varh", kReactiveEnergyLead, true, 5},
        {"1e3 V", kVoltage, true, 1000},
        {"5e V", kVoltage, false, 0},  // no exponent digits: the word is "e"
        {"5 V", kNone, false, 0},
        {"5 ??", EntityFromCode(15), false, 0},
        // Power factor: a bare number or a prefix letter alone.
        {"0.85", kPowerFactor, true, 0.85},
        {"850 m", kPowerFactor, true, 0.85},
        {"0.85 A", kPowerFactor, false, 0},
        // Never a non-finite or out-of-range value.
        {"nan", kVoltage, false, 0},
        {"0x10 V", kVoltage, false, 0},
        {"1e300 GV", kVoltage, false, 0},
        // Parsing stops at the end of the text given; "1e5" cut after "1e" is 1 and "e".
        {"5 kVx7", kVoltage, true, 5000, 4},
        {"12", kVoltage, true, 1, 1},
        {"1e5", kPowerFactor, false, 0, 2},
    };
    for (const Case& c : cases) {
        MeasuredValue v;
        const std::string_view text = c.length < 0 ? c.text : std::string_view(c.text, c.length);
        EXPECT_EQ(v.ParseWithUnit(text, c.e), c.ok) << c.text;
        EXPECT_EQ(v.IsValid(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v.GetValue(), c.value) << c.text;
            EXPECT_EQ(v.GetEntity(), c.e) << c.text;
        } else {
            EXPECT_EQ(v.GetEntity(), kNone) << c.text;  // a failed parse keeps the entity
        }
    }
}

TEST(MeasuredValue, ScaleAppliesOnlyWithoutUnit) {
    MeasuredValue v(0.0, kVoltage);
    v.SetScale(1000.0);
    ASSERT_TRUE(v.ParseWithUnit("11", kVoltage));
    EXPECT_DOUBLE_EQ(v.GetValue(), 11000);
    ASSERT_TRUE(v.ParseWithUnit("11 V", kVoltage));
    EXPECT_DOUBLE_EQ(v.GetValue(), 11);
}

TEST(MeasuredValue, ConstructionStates) {
    EXPECT_DOUBLE_EQ(MeasuredValue("230 V", kVoltage).GetValue(), 230);
    EXPECT_FALSE(MeasuredValue("230 W", kVoltage).IsValid());
    MeasuredValue kept(1.0, kCurrent);
    EXPECT_FALSE(kept.ParseWithUnit("abc", kCurrent));
    EXPECT_EQ(kept.GetEntity(), kCurrent);

    EXPECT_FALSE(MeasuredValue(std::numeric_limits<double>::quiet_NaN(), kVoltage).IsValid());
    EXPECT_FALSE(MeasuredValue(-HUGE_VAL, kVoltage).IsValid());
}

TEST(MeasuredValue, FormatSignificant) {
    struct Case {
        double value;
        MeasuredEntity e;
        int digits;
        const char* text;
    };
    const Case cases[] = {
        {230, kVoltage, 4, "230.0 V"},
        {11000, kVoltage, 4, "11.00 kV"},
        {0.5, kCurrent, 4, "500.0 mA"},
        {0.85, kPowerFactor, 4, "0.8500 "},
        {0.85, kPowerFactor, 3, "0.850 "},
        {0, kPowerFactor, 4, "0.000 "},
        {999.96, kVoltage, 4, "1000.0 V"},  // prefix chosen before rounding
        {0.0025, kCurrent, 3, "2.50 mA"},
        {1e12, kActivePower, 4, "1000 GW"},  // decimals never below 0
        {1e-300, kCurrent, 4, "0.0000 mA"},  // nor above the digits
        {1, kNone, 4, "1.000 ??"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MeasuredValue(c.value, c.e).FormatSignificant(c.digits), c.text) << c.value;
    }
}

TEST(FormExchange, MeasuredValueRoundTripAndValidation) {
    test::ScriptedUser user;
    ScopedSeams seam(Seams{.user = &user});
    MeasuredValue v(11000, kVoltage);
    EXPECT_EQ(MeasuredValueToText(v), "11.00 kV");

    EXPECT_TRUE(SaveMeasuredValue("6.6 kV", v));
    EXPECT_DOUBLE_EQ(v.GetValue(), 6600);
    EXPECT_TRUE(user.messages.empty());

    EXPECT_FALSE(SaveMeasuredValue("11 KV", v));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Not a valid measurement!");
    EXPECT_EQ(user.messages[0].icon, MsgIcon::Warning);
    // The field stays tied to its entity, so the corrected text is read for Voltage.
    EXPECT_TRUE(SaveMeasuredValue("11 kV", v));
    EXPECT_DOUBLE_EQ(v.GetValue(), 11000);
}

TEST(FormExchange, Numbers) {
    EXPECT_EQ(NumberToText(3.14159, 6, 2), "003.14");
    EXPECT_EQ(NumberToText(-1.26, 7, 1), "-0001.3");

    double n = 7;
    EXPECT_TRUE(TextToNumber(" -1e3 ", n));
    EXPECT_DOUBLE_EQ(n, -1000);
    for (const char* bad : {"", " ", "12.5x", "12 5", "nan", "inf", "0x1A", "1e999", "-"}) {
        n = 7;
        EXPECT_FALSE(TextToNumber(bad, n)) << bad;
        EXPECT_DOUBLE_EQ(n, 7) << bad;
    }
}

}  // namespace
}  // namespace kvr
