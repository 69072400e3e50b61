// The view's 100 ms timer step and the logging commands, on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "document/SetupFile.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/MonitorTimer.h"
#include "monitor/ReadingThread.h"

namespace kvr {
namespace {

using namespace entity;

size_t Lines(const std::string& path) {
    const std::string text = test::ReadFile(path);
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The log's lines, each data line checked to have one field per column of the header
// above it (a field ends in ';', as a column title does). Gives the data lines.
std::vector<std::string> CheckedDataLines(const std::string& text, int& headers) {
    std::vector<std::string> data;
    headers = 0;
    long columns = -1;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos;
         start = end + 2, end = text.find("\r\n", start)) {
        const std::string line = text.substr(start, end - start);
        const long fields = std::count(line.begin(), line.end(), ';');
        if (line.rfind("Date;", 0) == 0) {
            ++headers;
            columns = fields;
        } else {
            EXPECT_EQ(fields, columns) << line;
            data.push_back(line);
        }
    }
    EXPECT_EQ(start, text.size()) << "a line without its end";
    return data;
}

class TimerTest : public test::SimDocTest {
  protected:
    void SetUp() override {
        Attach();
        SetMonitors({{0, kVoltage}, {0, kPowerFactor}});
        path = dir.File("m.log");
    }
    void StartLogging(uint32_t intervalMs) { test::StartViewLog(doc, view, path, intervalMs); }
    MonitorTimerResult Tick() { return MonitorTimerStep(doc, shared, view); }

    test::TempDir dir;
    std::string path;
    MonitorShared shared;
    MonitorViewState view;
};

TEST_F(TimerTest, FreshTextsReachTheCellsOnlyWhenFlagged) {
    view.cells.resize(2);
    shared.texts.SetAll({"230.0 V", "0.8500 ", "50.00 Hz"});
    EXPECT_FALSE(Tick().textsCopied);
    EXPECT_EQ(view.cells, (std::vector<std::string>{"", ""}));
    shared.newValues = true;
    shared.contact = true;
    const MonitorTimerResult r = Tick();
    EXPECT_TRUE(r.textsCopied);
    EXPECT_TRUE(r.contact);
    EXPECT_FALSE(shared.newValues);
    EXPECT_EQ(view.cells, (std::vector<std::string>{"230.0 V", "0.8500 "}));
    EXPECT_FALSE(r.lineWritten);  // no log
}

TEST_F(TimerTest, ALateTimerCatchesUpOneLinePerTick) {
    shared.texts.SetAll({"230.0 V", "0.8500 "});
    shared.newValues = true;
    StartLogging(5000);
    EXPECT_TRUE(Tick().lineWritten);
    for (int i = 0; i < 49; ++i) {  // ticks every 100 ms until the next line is due
        clock.Advance(100);
        EXPECT_FALSE(Tick().lineWritten) << i;
    }
    clock.Advance(100);
    EXPECT_TRUE(Tick().lineWritten);
    EXPECT_EQ(Lines(path), 3u);  // header and two lines

    clock.Advance(20000);  // the timer was blocked for 20 s
    int written = 0;
    for (int i = 0; i < 6; ++i) {
        written += Tick().lineWritten ? 1 : 0;
        EXPECT_EQ(written, std::min(i + 1, 4)) << i;
        clock.Advance(100);
    }
    EXPECT_EQ(Lines(path), 7u);
    // Back on the schedule: the next line 5 s after the last due time.
    clock.Advance(5000 - 600 - 1);
    EXPECT_FALSE(Tick().lineWritten);
    clock.Advance(1);
    EXPECT_TRUE(Tick().lineWritten);
    EXPECT_TRUE(user.messages.empty());

    const std::string text = test::ReadFile(path);
    EXPECT_NE(text.find(" 230.000 ;0.850 ;\r\n"), std::string::npos) << text;
}

TEST_F(TimerTest, ADeletedLogStopsLoggingWithOneMessage) {
    StartLogging(1000);
    ASSERT_TRUE(Tick().lineWritten);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    clock.Advance(1000);
    EXPECT_FALSE(Tick().lineWritten);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text,
              "The OS returned fileNotFound     The file could not be located.");
    EXPECT_TRUE(view.logPath.empty());
    EXPECT_EQ(view.logIntervalMs, kNoLogInterval);
    EXPECT_FALSE(view.loggingEnabled);  // the pane no longer claims a log
    EXPECT_EQ(user.panes[StatusPane::Log], "No Log");
    for (int i = 0; i < 30; ++i) {
        clock.Advance(1000);
        Tick();
    }
    EXPECT_EQ(user.messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(TimerTest, EnableLoggingAppendsToAnExistingLogWithoutANewHeader) {
    StartLogging(1000);
    ASSERT_TRUE(Tick().lineWritten);
    DisableLogging(view);
    EXPECT_EQ(user.panes[StatusPane::Log], "No Log");
    clock.Advance(60000);
    EXPECT_FALSE(Tick().lineWritten);

    int asked = 0;
    auto chooser = [&](std::string&, uint32_t&) { return ++asked, true; };
    EnableLogging(doc, view, chooser);
    EXPECT_EQ(asked, 0);  // a path is set: no chooser
    EXPECT_EQ(user.panes[StatusPane::Log], "Log   ");
    EXPECT_EQ(view.nextLogDueMs, clock.NowMs());
    EXPECT_TRUE(Tick().lineWritten);
    EXPECT_EQ(test::ReadFile(path).find("Date;", 1), std::string::npos);  // one header only
    EXPECT_EQ(Lines(path), 3u);
}

TEST_F(TimerTest, EnableWithoutAPathAsksForOneAndStartsIt) {
    view.logIntervalMs = 2500;
    EnableLogging(doc, view, [&](std::string& p, uint32_t& ms) {
        EXPECT_TRUE(p.empty());
        EXPECT_EQ(ms, 2500u);
        return false;  // Cancel
    });
    EXPECT_FALSE(view.loggingEnabled);
    EXPECT_TRUE(user.panes.empty());

    EnableLogging(doc, view, [&](std::string& p, uint32_t& ms) {
        p = path;
        ms = 500;
        return true;
    });
    EXPECT_TRUE(view.loggingEnabled);
    EXPECT_EQ(view.logIntervalMs, 500u);
    EXPECT_EQ(test::ReadFile(path), LogHeaderLine(doc));

    // "New log" starts the file again, with the current path proposed.
    ASSERT_TRUE(Tick().lineWritten);
    NewLog(doc, view, [&](std::string& p, uint32_t& ms) {
        EXPECT_EQ(p, path);
        EXPECT_EQ(ms, 500u);
        return true;
    });
    EXPECT_EQ(test::ReadFile(path), LogHeaderLine(doc));
    EXPECT_EQ(view.nextLogDueMs, clock.NowMs());
}

TEST_F(TimerTest, ALineCarriesOnlyValuesReadSinceTheLineBefore) {
    ReadingThread reader(doc, shared);  // passes run on this thread
    StartLogging(1000);
    ASSERT_EQ(reader.RunPass(), ReadingThread::Pass::Read);
    ASSERT_TRUE(Tick().lineWritten);

    // No reading since the line before (a unit gone quiet is the fault tests' case): the
    // log does not repeat the last values.
    clock.Advance(1000);
    ASSERT_TRUE(Tick().lineWritten);
    ASSERT_EQ(reader.RunPass(), ReadingThread::Pass::Read);
    clock.Advance(1000);
    ASSERT_TRUE(Tick().lineWritten);

    int headers = 0;
    const std::vector<std::string> lines = CheckedDataLines(test::ReadFile(path), headers);
    ASSERT_EQ(lines.size(), 3u);
    const std::string invalid = "; Invalid; Invalid; ";
    EXPECT_EQ(lines[0].find("Invalid"), std::string::npos) << lines[0];
    EXPECT_TRUE(lines[1].ends_with(invalid)) << lines[1];
    EXPECT_EQ(lines[2].find("Invalid"), std::string::npos) << lines[2];

    // Values read long before logging starts again are not taken as this line's.
    DisableLogging(view);
    ASSERT_EQ(reader.RunPass(), ReadingThread::Pass::Read);
    Tick();
    clock.Advance(5000);
    EnableLogging(doc, view, nullptr);
    ASSERT_TRUE(Tick().lineWritten);
    const std::string text = test::ReadFile(path);
    EXPECT_EQ(text.substr(text.size() - invalid.size() - 2), invalid + "\r\n");
}

TEST_F(TimerTest, ANewMonitorListStartsANewHeaderBeforeItsFirstLine) {
    // Setup files: one without monitors (as a headless upload saves it), one with three.
    const std::string none = dir.File("none.kvr"), three = dir.File("three.kvr");
    SetMonitors({});
    ASSERT_TRUE(SaveDocumentFile(doc, none, false));
    SetMonitors({{0, kVoltage}, {1, kCurrent}, {3, kFrequency}});
    ASSERT_TRUE(SaveDocumentFile(doc, three, false));
    SetMonitors({{0, kVoltage}, {0, kPowerFactor}});

    shared.texts.SetAll({"230.0 V", "0.8500 ", "50.00 Hz"});
    StartLogging(1000);
    const auto line = [&] {
        shared.newValues = true;
        ASSERT_TRUE(Tick().lineWritten);
        clock.Advance(1000);
    };
    line();
    // The file without monitors leaves the watched ones as they are: same header.
    ASSERT_TRUE(OpenDocumentFile(doc, none, false));
    EXPECT_EQ(doc.Monitors().count, 2);
    line();
    ASSERT_TRUE(OpenDocumentFile(doc, three, false));
    EXPECT_EQ(doc.Monitors().count, 3);
    line();
    // Read for the former list just after a line, then the list changes (as the monitor
    // form's "C&lose" leaves it): no value of the former list under the new header.
    shared.newValues = true;
    ASSERT_TRUE(Tick().lineWritten);
    shared.newValues = true;
    Tick();
    SetMonitors({{0, kVoltage}, {0, kFrequency}});
    clock.Advance(1000);
    ASSERT_TRUE(Tick().lineWritten);
    clock.Advance(1000);
    shared.texts.SetAll({"230.0 V", "50.00 Hz"});  // the next cycle, for the new list
    line();

    int headers = 0;
    const std::string text = test::ReadFile(path);
    const std::vector<std::string> lines = CheckedDataLines(text, headers);
    ASSERT_EQ(lines.size(), 6u) << text;
    EXPECT_EQ(headers, 3) << text;
    EXPECT_TRUE(lines[4].ends_with(" ; Invalid; Invalid; ")) << lines[4];
    EXPECT_TRUE(lines[5].ends_with(" ; 230.000 ;50.000 ;")) << lines[5];
    EXPECT_EQ(text.substr(text.rfind("Date;")).find(LogHeaderLine(doc)), 0u);
}

}  // namespace
}  // namespace kvr
