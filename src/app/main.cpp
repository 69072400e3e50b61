// kvrview: the desktop program.
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "app/CommandTable.h"
#include "app/DemoSession.h"
#include "app/MainFrame.h"
#include "app/Pictures.h"
#include "app/QRLApp.h"
#include "app/QRLView.h"
#include "monitor/TrendSeries.h"
#include "monitor/forms/TrendsView.h"
#include "report/forms/ReportForms.h"

namespace {

// Long enough for the window to be laid out and painted once.
constexpr int kScreenshotDelayMs = 500;
// In the demo: the upload and a few reading cycles first.
constexpr int kDemoScreenshotDelayMs = 4000;

// Measures how late the view's 100 ms timer fires while the demo monitors 60 values, and
// prints the figures that bench/bench-gui.sh reads.
class TimerBench : public QObject {
  public:
    TimerBench(int seconds, qint64 firstWindowMs) : firstWindowMs_(firstWindowMs) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(static_cast<int>(kvr::kMonitorTimerMs));
        QObject::connect(&timer_, &QTimer::timeout, this, &TimerBench::Tick);
        QTimer::singleShot(seconds * 1000, this, &TimerBench::Finish);
        clock_.start();
        timer_.start();
    }

  private:
    void Tick() {
        const qint64 now = clock_.elapsed();
        if (last_ >= 0) {
            lateness_.push_back(std::max<double>(0.0, static_cast<double>(now - last_ - 100)));
        }
        last_ = now;
    }
    void Finish() {
        std::sort(lateness_.begin(), lateness_.end());
        auto at = [this](double q) {
            return lateness_.empty() ? 0.0
                                     : lateness_[static_cast<size_t>(q * (lateness_.size() - 1))];
        };
        std::printf("first window ms: %lld\n", static_cast<long long>(firstWindowMs_));
        std::printf("timer lateness median ms: %.1f\n", at(0.5));
        std::printf("timer lateness p99 ms: %.1f\n", at(0.99));
        std::fflush(stdout);
        QApplication::exit(0);
    }

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = -1;
    qint64 firstWindowMs_;
    std::vector<double> lateness_;
};

// The resident memory of this process in MB (VmRSS), 0 when it cannot be read.
double ResidentMb() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
    }
    return 0.0;
}

// For the benchmark with the trends view: a day of readings of every monitor at the
// timer's rate, fed through the model faster than real time and ending now; then the view
// opened on every monitor in its one-minute window, which is painted again on every tick
// (the most work a repaint can be given).
void FillTrendsForBench(kvr::app::CQRLView& view) {
    QElapsedTimer clock;
    clock.start();
    kvr::TrendModel& model = view.TrendData();
    model.SetMonitors(kvr::TrendMonitors(view.Doc()), view.Shared().secondaries);
    const int64_t now = kvr::WallClockMs();
    std::vector<double> values(model.Size());
    for (int64_t t = now - kvr::kTrendWindowMaxMs; t < now; t += kvr::kMonitorTimerMs) {
        for (size_t i = 0; i < values.size(); ++i) {
            values[i] = 100.0 + 10.0 * std::sin(static_cast<double>(t / 1000 + 7 * i) / 60.0);
        }
        model.Add(t, values);
    }
    const qint64 fillMs = clock.elapsed();
    view.ShowTrends(true);
    kvr::TrendsView* trends = view.Trends();
    trends->SeriesList()->blockSignals(true);
    for (int i = 0; i < trends->SeriesList()->count(); ++i) {
        trends->SeriesList()->item(i)->setCheckState(Qt::Checked);
    }
    trends->SeriesList()->blockSignals(false);
    trends->SetWindowMs(kvr::kTrendWindowMinMs);
    std::printf("trends monitors: %zu\n", model.Size());
    std::printf("trends readings: %llu\n", static_cast<unsigned long long>(model.Readings()));
    std::printf("trends fill ms: %lld\n", static_cast<long long>(fillMs));
    std::printf("trends resident memory MB: %.1f\n", ResidentMb());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    // Answered before QApplication exists, so they work without a display.
    if (const std::optional<int> status = kvr::app::AnswerInfoOptions(argc, argv, stdout)) {
        return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KVR View"));

    const kvr::app::CommandLine cl = kvr::app::ParseCommandLine(QApplication::arguments());
    if (!cl.error.empty()) {
        std::fprintf(stderr, "kvrview: %s\n%s", cl.error.c_str(), kvr::app::kUsage);
        return 2;
    }

    if (cl.dark) {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(kvr::app::DarkPalette());
    }

    // The demo comes first, before anything reads a setting, and ends last.
    std::unique_ptr<kvr::app::DemoSession> demo;
    if (cl.demo) {
        kvr::app::DemoOptions options;
        if (cl.benchSeconds > 0) {
            options.monitorCount = 60;
        }
        demo = std::make_unique<kvr::app::DemoSession>(options);
        std::string error;
        if (!demo->Start(error)) {
            std::fprintf(stderr, "kvrview: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "%s\n", demo->Banner().c_str());
    }

    int status = 0;
    {
        kvr::app::CQRLApp shell;
        if (demo) {
            demo->Attach(shell.Document());
        }
        kvr::app::CommandLine run = cl;
        if (cl.benchSeconds > 0 || !cl.screenshot.empty()) {
            // The start-up picture pauses the reading; a picture or a benchmark of the
            // program at work would show or measure nothing behind it.
            run.splash = false;
        }
        if (!shell.InitInstance(run)) {
            return 1;
        }
        kvr::app::CMainFrame* frame = shell.MainFrame();
        if (demo) {
            frame->View()->SetSaveSettingsOnExit(demo->PersistPortSettings());
        }
        if (!cl.screenshot.empty()) {
            frame->View()->SetSaveSettingsOnExit(false);
            int delay = kScreenshotDelayMs;
            if (demo) {
                // A picture of the demo shows it at work: uploaded, with live values.
                shell.Document().Preferences().enabled = true;
                shell.Document().Preferences().noDialogAfterUpload = true;
                QTimer::singleShot(kScreenshotDelayMs, frame,
                                   [frame] { frame->OnCommand(kvr::app::kCmdUpload); });
                delay = kDemoScreenshotDelayMs;
            }
            QTimer::singleShot(delay, frame, [frame, path = cl.screenshot] {
                const bool saved = frame->grab().save(QString::fromStdString(path));
                if (!saved) {
                    std::fprintf(stderr, "kvrview: cannot write %s\n", path.c_str());
                }
                QApplication::exit(saved ? 0 : 1);
            });
        }
        if (cl.print) {
            // The desktop's Print action on a setup file: open it, print it, end.
            frame->View()->SetSaveSettingsOnExit(false);
            QTimer::singleShot(0, frame, [frame] {
                QApplication::exit(
                    kvr::PrintConfigurationFromWindow(frame, frame->View()->Doc()) ? 0 : 1);
            });
        }
        std::unique_ptr<TimerBench> bench;
        if (cl.benchSeconds > 0) {
            QApplication::processEvents();  // the first window painted
            const qint64 firstWindowMs = sinceStart.elapsed();
            // Upload at once (without the summary box), so the reading thread has boards
            // and monitors to read.
            shell.Document().Preferences().enabled = true;
            shell.Document().Preferences().noDialogAfterUpload = true;
            if (cl.benchTrends) {
                // The day of readings first, so that filling it is not measured as lateness.
                QTimer::singleShot(0, frame, [frame, &bench, &cl, firstWindowMs] {
                    frame->OnCommand(kvr::app::kCmdUpload);
                    FillTrendsForBench(*frame->View());
                    bench = std::make_unique<TimerBench>(cl.benchSeconds, firstWindowMs);
                });
            } else {
                bench = std::make_unique<TimerBench>(cl.benchSeconds, firstWindowMs);
                QTimer::singleShot(0, frame, [frame] { frame->OnCommand(kvr::app::kCmdUpload); });
            }
        }
        status = QApplication::exec();
    }
    return status;
}
