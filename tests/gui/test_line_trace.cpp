// The line trace window over simulated units: opened from the View menu it lists the
// exchanges of an upload, filters them by unit and command, pauses, saves what it shows
// and, closed, leaves the trace seam as it found it.
#include <QComboBox>
#include <QStyleFactory>
#include <fstream>
#include <sstream>

#include "app/Pictures.h"
#include "app/QRLView.h"
#include "base/Clock.h"
#include "base/Trace.h"
#include "gui/GuiTestUtil.h"
#include "link/TalkLink.h"
#include "modules/forms/LineTraceWindow.h"

namespace kvr::test {
namespace {

class LineTrace : public GuiTest {
  protected:
    void SetUp() override {
        UseVirtualClock();
        StartUnits();
        UseDarkPaletteIfAsked();
    }
    // The shown rows' commands.
    static std::vector<std::string> ShownCommands(LineTraceWindow& w) {
        std::vector<std::string> shown;
        for (int r = 0; r < w.Shown().rowCount(); ++r) {
            shown.push_back(
                w.Shown().index(r, TraceTableModel::kCommand).data().toString().toStdString());
        }
        return shown;
    }
};

TEST_F(LineTrace, ListsAnUploadFiltersPausesSavesAndLetsGoOfTheSeam) {
    const bool tracedBefore = TraceEnabled();
    MakeFrame();
    Action(kCmdLineTrace)->trigger();
    auto* window = frame->findChild<LineTraceWindow*>(QStringLiteral("lineTrace"));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(frame->View()->IsCommandChecked(kCmdLineTrace));

    Action(kCmdUpload)->trigger();
    window->TakeNew();
    const int all = window->Model().rowCount();
    int goodReplies = 0;
    for (const TraceEntry& e : window->Model().Entries()) {
        goodReplies += e.direction == '<' && e.name == "ReadParameters" && e.check == "ok";
    }
    EXPECT_EQ(goodReplies, 4);  // the four boards of a KVR 300

    auto* unit = window->findChild<QComboBox*>(QStringLiteral("unit"));
    auto* command = window->findChild<QComboBox*>(QStringLiteral("command"));
    unit->setCurrentIndex(unit->findText(QStringLiteral("2")));
    command->setCurrentIndex(command->findText(QStringLiteral("ReadParameters")));
    EXPECT_EQ(ShownCommands(*window),
              (std::vector<std::string>{"ReadParameters addr 2", "ReadParameters addr 2"}));
    SaveShot(window, QStringLiteral("line-trace-filtered"));

    // What is saved is what is shown, one line each, as kvrctl --trace prints them.
    TempDir dir;
    window->SetFileChooser([&](QWidget*, std::string& path) {
        path = dir.File("trace.txt");
        return true;
    });
    window->SaveAs();
    std::ifstream file(dir.File("trace.txt"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("< ReadParameters addr 2"), std::string::npos);
    EXPECT_NE(lines[1].find(" ok "), std::string::npos);

    unit->setCurrentIndex(0);
    command->setCurrentIndex(0);
    EXPECT_EQ(window->Shown().rowCount(), all);
    SaveShot(window, QStringLiteral("line-trace"));

    // Paused, the list stands still; resumed, what came meanwhile is there.
    window->SetPaused(true);
    Action(kCmdUpload)->trigger();
    window->TakeNew();
    EXPECT_EQ(window->Model().rowCount(), all);
    window->SetPaused(false);
    EXPECT_EQ(window->Model().rowCount(), 2 * all);

    Action(kCmdLineTrace)->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Capturing());
    EXPECT_EQ(TraceEnabled(), tracedBefore);
}

TEST_F(LineTrace, KeepsOnlyTheNewestRowsWithinItsBound) {
    LineTraceWindow window(nullptr, 5);
    window.show();
    ParameterRecord record;
    ASSERT_TRUE(CTalkLink(&doc.Port(), 0).ReadParameters(record));
    ASSERT_TRUE(CTalkLink(&doc.Port(), 1).ReadParameters(record));
    ASSERT_TRUE(CTalkLink(&doc.Port(), 2).ReadParameters(record));
    window.TakeNew();
    ASSERT_EQ(window.Model().rowCount(), 5);
    EXPECT_EQ(window.Model().Entries().back().command, "ReadParameters addr 2");
    EXPECT_EQ(window.Model().Entries().front().command, "ReadParameters addr 0");
}

}  // namespace
}  // namespace kvr::test
