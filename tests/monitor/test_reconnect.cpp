// A line that goes away under the reading thread and comes back: the simulator hangs up
// and its link disappears, then a simulator on a fresh pseudo-terminal re-creates the same
// stable name. Real time, real termios.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/Clock.h"
#include "base/Seams.h"
#include "link/PortMap.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/ReadingThread.h"
#include "sim/PtyHost.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using test::ReadFile;

TEST(Reconnect, TheReadingThreadResumesOnTheSameAdapterAndTheLogShowsTheGap) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    const std::string byId = dir.File("by-id");
    std::filesystem::create_directories(byId);
    test::ScopedEnv byIdEnv("KVR_SERIAL_BY_ID", byId);
    const std::string link = byId + "/usb-KVR_Line_Adapter_S0001-if00-port0";
    test::ScriptedUser user;
    int forms = 0;
    ScopedSeams seams(Seams{.user = &user, .portSettingsEditor = [&](PortSettings&) {
                                ++forms;
                                return false;
                            }});

    sim::SimOptions options;
    options.baud = 38400;
    sim::SimUnits units(options);
    auto host = std::make_unique<sim::PtyHost>(units);
    std::string error;
    ASSERT_TRUE(host->Start(link, error)) << error;
    ASSERT_TRUE(SavePortOverride(PortOverridesPath(), 1, link, error)) << error;

    CQRLDoc doc;
    ScopedActiveDocument active{doc};
    doc.Port().Settings().port = 1;  // bound to the adapter's stable name
    doc.Port().Settings().baud = "38400";
    doc.OnNewDocument();
    ASSERT_TRUE(doc.Channel(0).ReadParameters()) << doc.Port().LastError();
    doc.Channel(0).UpdateExtendedFromFirmware();
    doc.SetChannels(1);
    doc.Monitors().count = 1;
    doc.Monitors().entities[0] = EntityCode(entity::kVoltage);

    MonitorShared shared;
    MonitorViewState view;
    view.cells.resize(1);
    const std::string log = dir.File("gap.log");
    test::StartViewLog(doc, view, log, 200);
    std::vector<std::string> notes;
    // The view's timer, until the condition holds (at most 15 s).
    auto tickUntil = [&](auto condition) {
        for (int i = 0; i < 1500; ++i) {
            const MonitorTimerResult r = MonitorTimerStep(doc, shared, view);
            if (!r.lineNote.empty()) {
                notes.push_back(r.lineNote);
            }
            if (condition()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };

    ReadingThread reading(doc, shared);
    reading.Start(0);
    auto valuesLogged = [&](size_t from) { return ReadFile(log).find(".000 ;\r\n", from); };
    ASSERT_TRUE(tickUntil([&] { return valuesLogged(0) != std::string::npos; }));
    units.GetFaults().hangUp = true;  // the simulator closes the line and removes the link
    ASSERT_TRUE(tickUntil([&] { return view.lineLost; }));
    ASSERT_FALSE(std::filesystem::exists(link));
    // Gone for a while: the reading thread keeps looking, quietly.
    const uint64_t before = view.readings;
    const uint64_t cycles = reading.Cycles();
    ASSERT_TRUE(tickUntil([&] { return reading.Cycles() > cycles + 8; }));
    host->Stop();
    host = std::make_unique<sim::PtyHost>(units);  // plugged in again: a new tty, same name
    ASSERT_TRUE(host->Start(link, error)) << error;
    ASSERT_TRUE(tickUntil([&] {
        return !view.lineLost && view.readings > before &&
               valuesLogged(ReadFile(log).find("Line back")) != std::string::npos;
    }));
    EXPECT_TRUE(reading.Stop());

    // Once each way, in the status bar and in the log; nothing else asked of the user.
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(forms, 0);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0], LineLostText(link));
    EXPECT_EQ(notes[1].rfind("Line back: " + link + " after ", 0), 0u) << notes[1];
    std::vector<std::string> shown;
    for (const auto& [pane, text] : user.paneHistory) {
        if (pane == StatusPane::Message) {
            shown.push_back(text);
        }
    }
    EXPECT_EQ(shown, notes);
    const std::string text = ReadFile(log);
    const size_t lost = text.find(" ; " + notes[0] + "\r\n");
    const size_t back = text.find(" ; " + notes[1] + "\r\n");
    ASSERT_NE(lost, std::string::npos) << text;
    ASSERT_NE(back, std::string::npos) << text;
    EXPECT_LT(text.find(".000 ;\r\n"), lost) << text;  // values before the gap,
    EXPECT_NE(text.find("; Invalid; \r\n", lost), std::string::npos) << text;  // none in it,
    EXPECT_NE(text.find(".000 ;\r\n", back), std::string::npos) << text;       // and after
    // The port number still names the adapter: the configuration is untouched.
    EXPECT_EQ(LoadPortOverrides(PortOverridesPath()).at(1), link);
}

}  // namespace
}  // namespace kvr
