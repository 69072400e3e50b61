// CQRLView: the main view. It receives every command of the menu, the toolbar and the
// keyboard and runs the row that a subsystem contributed for it (app/CommandTable.h),
// being the host those rows work on; at its first
// showing it starts the program's session (branding, port), and at its end it stores the
// settings in the prescribed order.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "calibration/forms/CalibrationCommands.h"
#include "calibration/forms/OutputCalibrationCommands.h"
#include "document/QRLDoc.h"
#include "measure/forms/MeasureCommands.h"
#include "modules/forms/ModuleCommands.h"
#include "monitor/MonitorConfig.h"
#include "monitor/MonitorTimer.h"
#include "monitor/ReadingThread.h"
#include "monitor/TrendSeries.h"
#include "monitor/forms/MonitorCommands.h"
#include "monitor/forms/TrendsCommands.h"

class QDockWidget;

namespace kvr::app {

class CMainFrame;
}  // namespace kvr::app

namespace kvr {
class MonitorDisplay;
class TrendsView;
}  // namespace kvr

namespace kvr::app {

class CQRLView final : public QWidget,
                       public MonitorCommandHost,
                       public MeasureCommandHost,
                       public CalibrationCommandHost,
                       public OutputCalibrationCommandHost,
                       public ModuleCommandHost,

                       public TrendsCommandHost {
    Q_OBJECT
  public:
    CQRLView(CQRLDoc& doc, CMainFrame& frame);
    // The end of the session: the port settings stored, then the monitor list saved
    // (which closes the port) - once the view was started and unless told otherwise.
    ~CQRLView() override;

    // Runs a command when it has a handler and it is enabled; anything else is ignored.
    void OnCommand(int id);
    bool IsCommandEnabled(int id);
    bool IsCommandChecked(int id);

    // Double-click on the Talk pane: the device codes of every unit.
    void OnTalkPaneDoubleClick();
    // Opens a setup file as the Open command does (a file named on the command line or
    // dropped on the window); false when it was refused.
    bool OpenDocument(const std::string& path);

    // Lays the monitor display out for a count of monitors.
    void LayoutMonitors(int count, bool columnsChanged = false) override;
    // The communication state: the COMMS lamp and the monitor values' colour.
    void SetContactState(bool contact) override;
    void RepaintView() override { update(); }
    // The reading thread's shared state (the secondaries flag, the start-up picture).
    MonitorShared& Shared() override { return shared_; }
    MonitorViewState& ViewState() override { return viewState_; }
    MonitorConfig& Config() override { return monitorConfig_; }
    CQRLDoc& Doc() override { return doc_; }
    QWidget* FormOwner() override { return window(); }
    void ConfigurationChanged() override;
    MeasureFormHooks FormHooks() override;
    DisplayReportHandlers DisplayReports() override;
    CMainFrame& Frame() { return frame_; }
    MonitorDisplay* Display() const { return display_; }
    // The trends view beside the display, in a dock of the main window.
    bool TrendsShown() override { return trendsShown_; }
    void ShowTrends(bool shown) override;
    TrendsView* Trends() const { return trendsView_; }
    QDockWidget* TrendsDock() const { return trendsDock_; }
    TrendModel& TrendData() { return trends_; }

    bool Started() const { return started_; }
    // A run that must leave the stored settings alone (a screenshot, a demonstration).
    void SetSaveSettingsOnExit(bool save) { saveSettingsOnExit_ = save; }
    // Before the first show: whether the monitors' reading thread starts with the view
    // (tests that drive every wait on a virtual clock keep it off and read nothing).
    void SetBackgroundReading(bool on) { backgroundReading_ = on; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // The first showing: branding and title, the display for no monitors, the COMMS lamp
    // off, the stored port settings loaded and the port opened.
    void OnInitialUpdate();

    // The 100 ms timer: fresh values into the display, log lines when due.
    void OnTimer();

    CQRLDoc& doc_;
    CMainFrame& frame_;
    MonitorShared shared_;
    MonitorViewState viewState_;
    MonitorConfig monitorConfig_;
    MonitorDisplay* display_ = nullptr;  // owned by the widget tree
    TrendModel trends_;
    QDockWidget* trendsDock_ = nullptr;  // owned by the main window
    TrendsView* trendsView_ = nullptr;
    bool trendsShown_ = false;
    std::unique_ptr<ReadingThread> reader_;
    QTimer timer_;
    bool started_ = false;
    bool saveSettingsOnExit_ = true;
    bool backgroundReading_ = true;
};

}  // namespace kvr::app
