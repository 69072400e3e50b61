// The trends view: check boxes add and remove curves, the view follows the model, the
// export writes what the model holds and tells a failure; the command shows the dock and
// the choice outlives the window.
#include <QComboBox>
#include <QDockWidget>
#include <QListWidget>
#include <QPushButton>
#include <QStyleFactory>
#include <cmath>

#include "app/Pictures.h"
#include "app/QRLView.h"
#include "gui/GuiTestUtil.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/forms/TrendsView.h"

namespace kvr {
namespace {

class TrendsViewTest : public test::GuiTest {
  protected:
    void SetUp() override {
        test::UseDarkPaletteIfAsked();
        model.SetMonitors({{1, "Voltage : Channel 1", "V"},
                           {2, "Current : Channel 1", "A"},
                           {3, "Frequency", "Hz"},
                           {4, "Power Factor", ""},
                           {5, "Active Power", "W"}},
                          false);
        for (int i = 0; i < 600; ++i) {
            const double v = i % 50 == 49 ? NAN : 230 + 5 * std::sin(i / 20.0);
            model.Add(t0 + i * 500, {v, 5 + std::cos(i / 30.0), 50.0, 0.9, 1000.0 + i});
        }
    }
    const int64_t t0 = 1'796'600'000'000;
    TrendModel model;
};

TEST_F(TrendsViewTest, CheckBoxesAddAndRemoveCurvesAndTheListFollowsTheModel) {
    TrendsView view(model);
    view.resize(900, 500);
    view.show();
    QListWidget* list = view.SeriesList();
    ASSERT_EQ(list->count(), 5);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Voltage : Channel 1 (V)"));
    ASSERT_EQ(view.Curves().size(), 4u);  // the first four at the start
    EXPECT_LE(view.Curves()[0].points.size(), kTrendDrawnPoints);
    const size_t gaps =
        std::count_if(view.Curves()[0].points.begin(), view.Curves()[0].points.end(),
                      [](const TrendPoint& p) { return p.Invalid(); });
    EXPECT_GT(gaps, 0u);
    test::SaveShot(&view, QStringLiteral("trends_view"));

    list->item(4)->setCheckState(Qt::Checked);
    ASSERT_EQ(view.Curves().size(), 5u);
    EXPECT_EQ(view.Curves()[4].index, 4u);
    list->item(0)->setCheckState(Qt::Unchecked);
    ASSERT_EQ(view.Curves().size(), 4u);
    EXPECT_EQ(view.Curves()[0].index, 1u);

    // New readings are appended while live and held back while paused.
    const size_t before = view.Curves()[0].points.size();
    model.Add(t0 + 600 * 500, {231, 5.5, 50, 0.9, 2000});
    view.Refresh();
    EXPECT_EQ(view.Curves()[0].points.size(), before + 1);
    EXPECT_EQ(view.To(), t0 + 600 * 500);
    view.PauseButton()->click();
    model.Add(t0 + 601 * 500, {231, 5.5, 50, 0.9, 2000});
    view.Refresh();
    EXPECT_EQ(view.To(), t0 + 600 * 500);
    // The wheel zooms in around the pointer while paused; resuming follows again.
    const int64_t span = view.SpanMs();
    view.Zoom(2, view.Plot()->width() / 2);
    EXPECT_LT(view.SpanMs(), span);
    view.ReadOutAt(view.Plot()->width() / 2);
    EXPECT_TRUE(view.ReadOut().contains(QStringLiteral("Current : Channel 1: ")));
    view.PauseButton()->click();
    EXPECT_EQ(view.To(), t0 + 601 * 500);

    // Checks stay with their monitor when the list changes.
    model.SetMonitors({{2, "Current : Channel 1", "A"}, {9, "Energy", "Wh"}}, false);
    model.Add(t0 + 700 * 500, {5, 10});
    view.Refresh();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
    ASSERT_EQ(view.Curves().size(), 1u);
}

TEST_F(TrendsViewTest, ExportWritesTheModelAndTellsAFailure) {
    TrendsView view(model);
    test::TempDir dir;
    std::string target = dir.File("t.csv");
    view.SetPathChooser([&target](std::string& path) {
        path = target;
        return true;
    });
    view.ExportCsv();
    EXPECT_EQ(test::ReadFile(target), model.Csv());
    EXPECT_TRUE(user.messages.empty());
    target = dir.File("missing/t.csv");
    view.ExportCsv();
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, "Export CSV");
    EXPECT_NE(user.messages[0].text.find(target), std::string::npos);
}

TEST_F(TrendsViewTest, CommandShowsTheDockAndTheChoiceIsRemembered) {
    MakeFrame();
    QDockWidget* dock = frame->View()->TrendsDock();
    EXPECT_TRUE(dock->isHidden());
    QAction* action = Action(kCmdTrends);
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_FALSE(dock->isHidden());
    EXPECT_TRUE(action->isChecked());
    frame.reset();
    MakeFrame();
    EXPECT_FALSE(frame->View()->TrendsDock()->isHidden());
    Action(kCmdTrends)->trigger();
    EXPECT_TRUE(frame->View()->TrendsDock()->isHidden());
    EXPECT_FALSE(ReadTrendsShown());
}

}  // namespace
}  // namespace kvr
