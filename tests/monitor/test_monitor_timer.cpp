// The view's 100 ms timer step and the logging commands, on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "monitor/MonitorTestUtil.h"
#include "monitor/MonitorTimer.h"

namespace kvr {
namespace {

using namespace entity;

size_t Lines(const std::string& path) {
    const std::string text = test::ReadFile(path);
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class TimerTest : public test::SimDocTest {
  protected:
    void SetUp() override {
        Attach();
        SetMonitors({{0, kVoltage}, {0, kPowerFactor}});
        path = dir.File("m.log");
    }
    // Logging to a new file, the first line due now.
    void StartLogging(uint32_t intervalMs) {
        ASSERT_TRUE(StartLog(doc, path));
        view.logPath = path;
        view.logIntervalMs = intervalMs;
        view.loggingEnabled = true;
        view.nextLogDueMs = clock.NowMs();
    }
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
    EXPECT_TRUE(view.loggingEnabled);  // the flag and the pane keep their state
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

}  // namespace
}  // namespace kvr
