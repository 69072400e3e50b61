// The log file's lines, its creation and appending with their failures, and the log
// chooser's interval field.
#include <gtest/gtest.h>

#include <filesystem>

#include "measure/EntityChannel.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTestUtil.h"

namespace kvr {
namespace {

using namespace entity;

LogTime At(int year, int month, int day, int hour, int minute, int second, int millis) {
    LogTime t;
    t.local.tm_year = year - 1900;
    t.local.tm_mon = month - 1;
    t.local.tm_mday = day;
    t.local.tm_hour = hour;
    t.local.tm_min = minute;
    t.local.tm_sec = second;
    t.millis = millis;
    return t;
}

class LogFileTest : public test::SimDocTest {
  protected:
    test::TempDir dir;
};

TEST_F(LogFileTest, HeaderNamesEachMonitorWithItsUnit) {
    Attach();
    SetMonitors({{0, kVoltage}, {0, kPowerFactor}, {1, kActiveEnergyExport}, {3, kActivePower}});
    std::string v, pf, p;
    ASSERT_TRUE(DescribeEntityChannel(doc, kVoltage, 0, v, true, false));
    ASSERT_TRUE(DescribeEntityChannel(doc, kPowerFactor, 0, pf, true, false));
    ASSERT_TRUE(DescribeEntityChannel(doc, kActivePower, 3, p, true, false));
    EXPECT_EQ(LogHeaderLine(doc), "Date;     Time;     " + v + " (V);   " + pf + " ();   " +
                                      "Invalid!;   " + p + " (W);   \r\n");
    SetMonitors({});
    EXPECT_EQ(LogHeaderLine(doc), "Date;     Time;     \r\n");
}

TEST_F(LogFileTest, DataLineCarriesTheDisplayedDigitsInBaseUnits) {
    const LogTime t = At(2024, 3, 5, 14, 5, 9, 7);
    EXPECT_EQ(LogDataLine(t, {kVoltage, kCurrent, kPowerFactor, kActiveEnergyImport, kActivePower},
                          {"11.00 kV", "Invalid", "0.8500 ", "123.4 kWh", "-1.500 kW"}),
              "03/05/24; 14:05:09.007 ; 11000.000 ;Invalid; 0.850 ;123400.000 ;-1500.000 ;\r\n");
    // Nothing read yet: no invented 0 in the log. The 24-hour clock, with no AM/PM.
    EXPECT_EQ(LogDataLine(At(2024, 3, 5, 0, 0, 0, 0), {kVoltage, kFrequency}, {"", "50.00 Hz"}),
              "03/05/24; 00:00:00.000 ; Invalid; 50.000 ;\r\n");
}

TEST_F(LogFileTest, StartLogEmptiesTheFileAndAppendAddsLines) {
    Attach();
    SetMonitors({{0, kVoltage}});
    const std::string path = dir.File("m.log");
    { std::ofstream(path) << "an older log\nwith two lines\n"; }
    ASSERT_TRUE(StartLog(doc, path));
    LogFileError cause = LogFileError::generic;
    ASSERT_TRUE(AppendLine(path, "one\r\n", cause));
    ASSERT_TRUE(AppendLine(path, "two\r\n", cause));
    EXPECT_EQ(test::ReadFile(path), LogHeaderLine(doc) + "one\r\ntwo\r\n");
    EXPECT_FALSE(StartLog(doc, dir.File("no/such/folder/m.log")));
}

TEST_F(LogFileTest, AppendFailuresNameTheirCause) {
    LogFileError cause = LogFileError::none;
    EXPECT_FALSE(AppendLine(dir.File("deleted.log"), "x\r\n", cause));
    EXPECT_EQ(cause, LogFileError::fileNotFound);
    EXPECT_FALSE(std::filesystem::exists(dir.File("deleted.log")));  // not created again
    EXPECT_STREQ(LogFileErrorText(cause), "fileNotFound     The file could not be located.");

    { std::ofstream(dir.File("plain")) << "x"; }
    EXPECT_FALSE(AppendLine(dir.File("plain/m.log"), "x\r\n", cause));
    EXPECT_EQ(cause, LogFileError::badPath);
    EXPECT_FALSE(AppendLine(dir.Path(), "x\r\n", cause));
    EXPECT_EQ(cause, LogFileError::accessDenied);
    EXPECT_EQ(LogFileErrorFromErrno(ENOSPC), LogFileError::diskFull);
    EXPECT_STREQ(LogFileErrorText(static_cast<LogFileError>(99)),
                 LogFileErrorText(LogFileError::generic));
}

TEST_F(LogFileTest, IntervalFieldRefusesWhatCannotBeScheduled) {
    uint32_t ms = 123;
    std::string message;
    for (const char* bad : {"", "0", "-1", "abc", "0.0004", "1 s", "nan", "inf"}) {
        EXPECT_FALSE(ParseLogIntervalField(bad, ms, message)) << bad;
        EXPECT_EQ(message, kIntervalNotPositive) << bad;
    }
    for (const char* bad : {"1e12", "2147483.648", "4294967.295"}) {
        EXPECT_FALSE(ParseLogIntervalField(bad, ms, message)) << bad;
        EXPECT_EQ(message, kIntervalTooLong) << bad;
    }
    EXPECT_EQ(ms, 123u);  // untouched by a refusal
    ASSERT_TRUE(ParseLogIntervalField(" 2.0019 ", ms, message));
    EXPECT_EQ(ms, 2001u);  // truncated to whole milliseconds
    ASSERT_TRUE(ParseLogIntervalField("2147483.647", ms, message));
    EXPECT_EQ(ms, 2147483647u);

    EXPECT_EQ(FormatLogIntervalField(5000), "5.000");
    EXPECT_EQ(FormatLogIntervalField(kNoLogInterval), "4294967.295");

    EXPECT_FALSE(ConfirmLogIntervalField("0", ms));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text,
              "Please enter a number of seconds greater than zero for the logging interval.");
    EXPECT_EQ(user.messages[0].title, "Invalid logging interval");
    EXPECT_TRUE(ConfirmLogIntervalField("0.5", ms));
    EXPECT_EQ(user.messages.size(), 1u);
}

}  // namespace
}  // namespace kvr
