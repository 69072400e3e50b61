// Typed settings with their fallbacks, and the "QRL.ini" values.
#include <gtest/gtest.h>

#include <fstream>

#include "base/IniFile.h"
#include "base/Settings.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

class SettingsTest : public ::testing::Test {
  protected:
    test::IsolatedSettings settings;
    test::TempDir& dir = settings.dir;

    void WriteIni(const std::string& text) { std::ofstream(dir.File("QRL.ini")) << text; }
    static int Put(const char* name, const std::vector<uint8_t>& bytes) {
        return CRegistry::WriteBytes(RegRoot::CurrentUser, kKeyPreferences, name, bytes.data(),
                                     bytes.size());
    }
};

TEST_F(SettingsTest, MissingValuesGiveTheFallbacks) {
    WindowPlacement p;
    p.left = 123;
    EXPECT_FALSE(ReadWindowPosition(p));
    EXPECT_EQ(p.left, 123);

    uint16_t count = 9;
    MonitorBytes entities{}, channels{};
    entities.fill(7);
    EXPECT_FALSE(ReadMonitorList(count, entities, channels));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(entities[0], 7);

    CalibrationPrefs prefs{"a", "b", "c", "d", "e", "f"};
    EXPECT_FALSE(ReadCalibrationPrefs(prefs));
    EXPECT_EQ(prefs[0], "a");
    EXPECT_FALSE(ReadMsInfoPath());
    EXPECT_FALSE(ReadPrintToCommand());

    // No "QRL.ini" at all.
    EXPECT_EQ(ReadCountry(), "us");
    EXPECT_EQ(MonitorReadIntervalMs(), 0u);
    EXPECT_EQ(DownloadDelayMs(), 100u);
}

TEST_F(SettingsTest, WindowPositionIsFortyFourLittleEndianBytes) {
    WindowPlacement p;
    p.flags = kPlacementRestoreToMaximized;
    p.showState = kShowMaximized;
    p.minX = -1;
    p.minY = -1;
    p.left = 10;
    p.top = 20;
    p.right = 1034;
    p.bottom = 788;
    auto bytes = EncodeWindowPlacement(p);
    const uint8_t head[] = {44, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(std::equal(std::begin(head), std::end(head), bytes.begin()));
    EXPECT_EQ(bytes[36], 0x0A);  // right = 1034 = 0x040A
    EXPECT_EQ(bytes[37], 0x04);

    ASSERT_TRUE(WriteWindowPosition(p));
    WindowPlacement back;
    ASSERT_TRUE(ReadWindowPosition(back));
    EXPECT_EQ(back, p);

    // 45 bytes: result 3, and the window opens centred.
    std::vector<uint8_t> longer(bytes.begin(), bytes.end());
    longer.push_back(0);
    ASSERT_EQ(Put(kValWindowPosition, longer), kRegOk);
    EXPECT_FALSE(ReadWindowPosition(back));
    // 44 bytes whose length field is not 44 is no placement either.
    bytes[0] = 40;
    ASSERT_EQ(Put(kValWindowPosition, {bytes.begin(), bytes.end()}), kRegOk);
    EXPECT_FALSE(ReadWindowPosition(back));
}

TEST_F(SettingsTest, MonitorCountIsClampedToTheArrays) {
    MonitorBytes entities{}, channels{};
    for (size_t i = 0; i < kStoredMonitors; ++i) {
        entities[i] = static_cast<uint8_t>(i + 1);
        channels[i] = static_cast<uint8_t>(i % 4);
    }
    ASSERT_TRUE(WriteMonitorList(5, entities, channels));
    uint16_t count = 0;
    MonitorBytes e2{}, c2{};
    ASSERT_TRUE(ReadMonitorList(count, e2, c2));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(e2, entities);  // all 60 entries are stored whatever the count
    EXPECT_EQ(c2, channels);

    for (auto [stored, expected] : {std::pair<uint32_t, uint16_t>{61, 60},
                                    {0xFFFF, 60},
                                    {0x10003, 3},  // the low 16 bits are the count
                                    {0x10000, 0}}) {
        ASSERT_EQ(
            CRegistry::WriteDword(RegRoot::CurrentUser, kKeyPreferences, kValMonitorCount, stored),
            kRegOk);
        ASSERT_TRUE(ReadMonitorList(count, e2, c2));
        EXPECT_EQ(count, expected) << stored;
    }

    // A short array fills only its first entries; a long one is not read at all.
    ASSERT_EQ(Put(kValMonitorEntities, {9, 9, 9}), kRegOk);
    ASSERT_EQ(Put(kValMonitorChannels, std::vector<uint8_t>(61, 8)), kRegOk);
    e2.fill(1);
    c2.fill(1);
    ReadMonitorList(count, e2, c2);
    EXPECT_EQ(e2[2], 9);
    EXPECT_EQ(e2[3], 1);
    EXPECT_EQ(c2[0], 1);
}

TEST_F(SettingsTest, CalibrationPrefsAreSixTerminatedFields) {
    CalibrationPrefs prefs{"110.0 V", "5.000 A", "110.0 V", "5.000 A", "", "1.000 A"};
    ASSERT_TRUE(WriteCalibrationPrefs(prefs));
    std::string text;
    ASSERT_EQ(
        CRegistry::ReadString(RegRoot::CurrentUser, kKeyPreferences, kValCalibrationPrefs, text),
        kRegOk);
    EXPECT_EQ(text, "110.0 V;5.000 A;110.0 V;5.000 A;;1.000 A;");
    CalibrationPrefs back;
    ASSERT_TRUE(ReadCalibrationPrefs(back));
    EXPECT_EQ(back, prefs);

    // Five fields only: nothing is recalled.
    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyPreferences, kValCalibrationPrefs,
                                     "1;2;3;4;5;6"),
              kRegOk);
    EXPECT_FALSE(ReadCalibrationPrefs(back));
    EXPECT_EQ(back, prefs);
    // A field holding ";" would not read back as written.
    prefs[0] = "1;2";
    EXPECT_FALSE(WriteCalibrationPrefs(prefs));
}

TEST_F(SettingsTest, QrlIniIsReadAfreshEachTime) {
    WriteIni("[Country]\nCountry=ZA\n[KVR View]\nMonitor Read Interval=250\n");
    EXPECT_EQ(ReadCountry(), "ZA");  // the case is the caller's business
    EXPECT_EQ(MonitorReadIntervalMs(), 250u);
    WriteIni("[Country]\nCountry=" + std::string(2000, 'x') +
             "\n[KVR View]\nMonitor Read Interval=-5\n");
    EXPECT_EQ(ReadCountry(), std::string(kCountryMaxChars, 'x'));
    EXPECT_EQ(MonitorReadIntervalMs(), 0u);
}

}  // namespace
}  // namespace kvr
