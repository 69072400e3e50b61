// The monitor road through the window: upload from the simulated unit, live values in the
// monitor display from the reading thread and the 100 ms timer, secondaries, and a log
// file written on the timer's schedule. Real time, in-process simulated line.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "app/CommandTable.h"
#include "app/MainFrame.h"
#include "app/QRLView.h"
#include "base/Settings.h"
#include "gui/GuiTestUtil.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/forms/LogFileForm.h"
#include "monitor/forms/MonitorDisplay.h"

namespace kvr::test {
namespace {

// The last complete line of a log, without its end.
std::string LastLine(const std::string& path) {
    const std::string text = ReadFile(path);
    const size_t end = text.rfind("\r\n");
    if (end == std::string::npos) {
        return std::string();
    }
    const size_t start = text.rfind("\r\n", end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 2,
                       end - (start == std::string::npos ? 0 : start + 2));
}

class MonitorRoadTest : public GuiTest {
  protected:
    void SetUp() override {
        StartUnits();
        // Unplugged, the device is gone: every open fails until it is plugged back in.
        doc.Port().SetLineOpener(
            [this, open = test::UnpluggableOpener(*units, unplugged)](
                const std::string& device, const LineSettings& settings, std::string& error) {
                ++opens;
                return open(device, settings, error);
            });
        // Saved monitors, which the upload loads: voltage of channel 1 and the
        // three-phase frequency.
        MonitorBytes entities{};
        MonitorBytes channels{};
        entities[0] = 1;
        entities[1] = 7;
        channels[1] = 3;
        ASSERT_TRUE(WriteMonitorList(2, entities, channels));
        doc.Preferences().enabled = true;  // no summary box after the upload
        doc.Preferences().noDialogAfterUpload = true;
    }

    // The text of a value box once it reads a value other than `notThis` (empty if none
    // comes within the time).
    QString WaitForValue(int cell, const QString& notThis) {
        MonitorDisplay* d = frame->View()->Display();
        const auto text = [&] {
            return d->CellCount() > cell ? d->ValueBox(cell)->Text() : QString();
        };
        const bool shown = QTest::qWaitFor(
            [&] {
                const QString t = text();
                return !t.isEmpty() && t != notThis && t != QStringLiteral("Invalid");
            },
            5000);
        return shown ? text() : QString();
    }
    bool WaitForRed() {
        return QTest::qWaitFor(
            [&] {
                return frame->View()->Display()->ValueBox(0)->TextColour() == QColor(255, 0, 0);
            },
            15000);
    }

    std::atomic<bool> unplugged{false};
    std::atomic<int> opens{0};  // attempts to open the line
};

TEST_F(MonitorRoadTest, UploadShowsLiveValuesInGreenAndSecondariesSwitchTheScale) {
    MakeFrame();
    Action(app::kCmdUpload)->trigger();
    ASSERT_EQ(doc.GetChannels(), 4);
    MonitorDisplay* display = frame->View()->Display();
    ASSERT_EQ(display->CellCount(), 2);

    const QString primary = WaitForValue(0, QString());
    EXPECT_TRUE(primary.endsWith(QStringLiteral(" kV"))) << primary.toStdString();  // 11 kV VT
    EXPECT_TRUE(WaitForValue(1, QString()).endsWith(QStringLiteral(" Hz")));
    EXPECT_EQ(display->ValueBox(0)->TextColour(), QColor(0, 255, 0));
    {
        std::lock_guard<std::mutex> lock(user.mutex);  // panes and lamp go through the seam
        ASSERT_FALSE(user.lamp.empty());
        EXPECT_TRUE(user.lamp.back());
    }

    Action(app::kCmdSecondaries)->trigger();
    EXPECT_TRUE(Action(app::kCmdSecondaries)->isChecked());
    {
        std::lock_guard<std::mutex> lock(user.mutex);
        EXPECT_EQ(user.panes[StatusPane::Secondaries], "SHOW SEC");
    }
    const QString secondary = WaitForValue(0, primary);
    EXPECT_TRUE(secondary.endsWith(QStringLiteral(" V"))) << secondary.toStdString();

    // A new log, a line every 200 ms.
    ModalScript script;
    script.Then<CLogFileForm>([&](CLogFileForm* form) {
        form->setDirectory(QString::fromStdString(isolated.dir.Path()));
        form->selectFile(QStringLiteral("road"));
        form->IntervalEdit()->setText(QStringLiteral("0.2"));
        form->accept();
    });
    Action(app::kCmdNewLog)->trigger();
    ASSERT_TRUE(script.Done());
    const std::string log = isolated.dir.File("road.log");
    EXPECT_TRUE(QTest::qWaitFor([&] { return LastLine(log).ends_with(" ;"); }, 5000));

    // The unit goes quiet: the values turn red, and the log does not repeat the last ones.
    units->GetFaults().silent = true;
    EXPECT_TRUE(WaitForRed());
    EXPECT_FALSE(display->ValueBox(0)->Text().isEmpty());  // the last value, in red
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return LastLine(log).ends_with(" ; Invalid; Invalid; "); }, 5000))
        << LastLine(log);
    const std::string text = ReadFile(log);
    EXPECT_NE(text.find(" ;\r\n"), std::string::npos) << text;  // values while it answered
    std::lock_guard<std::mutex> lock(user.mutex);
    EXPECT_FALSE(user.lamp.back());
    EXPECT_FALSE(user.beeps.empty());  // contact lost: one beep
}

TEST_F(MonitorRoadTest, UnpluggingTurnsTheValuesRedWithoutAnyBoxAndTheWindowStillCloses) {
    MakeFrame();
    Action(app::kCmdUpload)->trigger();
    ASSERT_FALSE(WaitForValue(0, QString()).isEmpty());
    unplugged = true;
    units->GetFaults().hangUp = true;
    EXPECT_TRUE(WaitForRed());
    // The thread keeps trying to open the line meanwhile, each try a failure of its own.
    const int tries = opens;
    EXPECT_TRUE(QTest::qWaitFor([&] { return opens > tries + 3; }));
    {
        std::lock_guard<std::mutex> lock(user.mutex);
        EXPECT_FALSE(user.lamp.back());
        EXPECT_TRUE(user.messages.empty());
    }
    frame.reset();  // stops the reading thread
    EXPECT_TRUE(user.messages.empty());
}

}  // namespace
}  // namespace kvr::test
