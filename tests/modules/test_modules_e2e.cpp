// Both modules on a pseudo-terminal beside a KVR 300, through the real termios path, the
// display sending its 0xE2 cue whenever the line is quiet: a display setup read, edited,
// written and read back; the Com settings read, set and read back; both kept in the
// simulator's state file. Program waits run on the virtual clock, line timeouts are real.
#include <gtest/gtest.h>

#include "base/Clock.h"
#include "base/Seams.h"
#include "modules/ComSetup.h"
#include "modules/DisplayEditor.h"
#include "modules/ModuleTestUtil.h"
#include "support/ScriptedUser.h"
#include "support/SimOnPty.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

TEST(ModulesEndToEnd, DisplayAndComConfiguredOverThePseudoTerminal) {
    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    test::ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
    test::TempDir dir;
    sim::SimOptions options;
    options.baud = 38400;
    options.turnaroundUs = 500;
    options.withDisplay = true;
    options.withCom = true;
    options.stateFile = dir.File("state");
    {
        test::SimOnPty sim(options);
        ASSERT_EQ(sim.error, "");
        CDisplayLink display(&sim.port);
        DisplaySetupRecord record{};
        ASSERT_TRUE(display.ReadDisplaySetup(record, true, false));
        DisplayEditor editor = test::MakeDisplayEditor();
        editor.Open(record);
        EXPECT_TRUE(editor.lines[5].blank);  // a fresh module shows nothing
        editor.GoTo(2, 3);
        editor.ChooseValue(2);
        editor.fields.channel = 3;
        editor.fields.units = "MW";
        editor.fields.decimals = 3;
        editor.fields.high = "12.5MW";
        ASSERT_TRUE(editor.Download(display));
        DisplaySetupRecord back{};
        ASSERT_TRUE(display.ReadDisplaySetup(back, true, false));
        EXPECT_TRUE(DisplayRecordsMatch(editor.Encode(), back));
        DisplayLine line;
        DecodeLine(line, 5, back);
        EXPECT_DOUBLE_EQ(line.high, 12.5e6);

        CComLink com(&sim.port);
        ComSetupRecord settings;
        ASSERT_TRUE(com.ReadComSetup(settings, false));
        ComFields f = ComFieldsFromRecord(settings);
        f.slaveId = 42;
        f.Choice(ComChoice::Protocol) = 3;  // DNP 3.0
        ASSERT_TRUE(com.WriteComSetup(ComRecordFromFields(f, settings)));
        ASSERT_TRUE(com.ReadComSetup(settings, false));
        EXPECT_EQ(settings.bytes[4], 42);
        EXPECT_EQ(settings.bytes[11], 3);
        EXPECT_TRUE(user.messages.empty()) << user.messages[0].text;
    }
    // A restart finds both modules and the boards as they were left.
    sim::SimUnits again(options);
    EXPECT_EQ(again.StateError(), "");
    const std::string summary = again.Summary();
    EXPECT_NE(summary.find("slave 42"), std::string::npos) << summary;
    EXPECT_NE(summary.find("1 of 24 lines shown"), std::string::npos) << summary;
    EXPECT_NE(summary.find("address 3 mainboard"), std::string::npos) << summary;
}

}  // namespace
}  // namespace kvr
