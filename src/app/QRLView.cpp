#include "app/QRLView.h"

#include <QApplication>
#include <QDockWidget>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/CommandTable.h"
#include "app/MainFrame.h"
#include "app/ShellRules.h"
#include "app/StatusBar.h"
#include "base/Settings.h"
#include "base/UserSeam.h"
#include "calibration/forms/OutputCalibrationDlg.h"
#include "document/Branding.h"
#include "document/MonitorStore.h"
#include "document/SetupFile.h"
#include "link/PortSetup.h"
#include "monitor/forms/MonitorDisplay.h"
#include "monitor/forms/TrendsView.h"
#include "report/forms/ReportForms.h"

namespace kvr::app {

CQRLView::CQRLView(CQRLDoc& doc, CMainFrame& frame)
    : QWidget(&frame), doc_(doc), frame_(frame), monitorConfig_(doc) {
    setObjectName(QStringLiteral("view"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    display_ = new MonitorDisplay(doc_, viewState_, this);
    layout->addWidget(display_);
    monitorConfig_.onUpdateViews = [this] { display_->UpdateView(); };
    timer_.setInterval(static_cast<int>(kMonitorTimerMs));
    connect(&timer_, &QTimer::timeout, this, &CQRLView::OnTimer);

    trendsDock_ = new QDockWidget(QStringLiteral("Trends"), &frame_);
    trendsDock_->setObjectName(QStringLiteral("trendsDock"));
    trendsView_ = new TrendsView(trends_, trendsDock_);
    trendsDock_->setWidget(trendsView_);
    frame_.addDockWidget(Qt::RightDockWidgetArea, trendsDock_);
    trendsDock_->hide();
    // Closed by its own button: remembered as a choice, like the command.
    connect(trendsDock_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible && trendsShown_ && trendsDock_->isHidden() && frame_.isVisible()) {
            trendsShown_ = false;
            WriteTrendsShown(false);
            frame_.UpdateCommandUI();
        }
    });
}

CQRLView::~CQRLView() {
    if (!started_) {
        return;  // nothing was loaded, so there is nothing to store
    }
    // The reading thread first, before the port it reads from is closed.
    timer_.stop();
    if (reader_) {
        reader_->Stop();
        reader_.reset();
    }
    if (!saveSettingsOnExit_) {
        doc_.Port().Close();
        return;
    }
    StoreOrLoadSettings(doc_.Port(), true);
    SaveMonitors(doc_);  // closes the port
}

void CQRLView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!started_) {
        started_ = true;
        OnInitialUpdate();
    }
}

void CQRLView::OnInitialUpdate() {
    doc_.Brand() = LoadBranding();
    frame_.SetTitlePart(doc_.Brand().systemName);
    LayoutMonitors(0);
    if (backgroundReading_) {
        reader_ = std::make_unique<ReadingThread>(doc_, shared_);
        reader_->Start(MonitorReadIntervalMs());
    }
    timer_.start();
    if (ReadTrendsShown()) {
        trendsShown_ = true;
        trendsDock_->show();
    }
    SetContactState(false);
    // The secondaries pane says from the start which values are shown.
    AppSetPaneText(StatusPane::Secondaries,
                   shared_.secondaries ? kSecondariesPaneOn : kSecondariesPaneOff);
    {
        // The reading thread is already running: the port opens under the device lock.
        DeviceLock lock(doc_);
        if (lock.Lock()) {
            StoreOrLoadSettings(doc_.Port(), false);
        }
    }
    frame_.UpdateCommandUI();
}

void CQRLView::OnCommand(int id) {
    const ViewCommand* c = FindViewCommand(id);
    if (c != nullptr && IsCommandEnabled(id)) {
        c->run(*this);
    }
}

bool CQRLView::IsCommandEnabled(int id) {
    const ViewCommand* c = FindViewCommand(id);
    return c != nullptr && c->run && (!c->enabled || c->enabled(*this));
}

bool CQRLView::IsCommandChecked(int id) {
    const ViewCommand* c = FindViewCommand(id);
    return c != nullptr && c->checked && c->checked(*this);
}

void CQRLView::OnTalkPaneDoubleClick() {
    TalkQuery(doc_);
}

bool CQRLView::OpenDocument(const std::string& path) {
    const bool ok = OpenDocumentFile(doc_, path);
    LayoutMonitors(doc_.Monitors().count);
    frame_.UpdateTitle();
    return ok;
}

void CQRLView::LayoutMonitors(int count, bool columnsChanged) {
    display_->LayoutMonitors(count, columnsChanged);
}

void CQRLView::SetContactState(bool contact) {
    // The timer shows the shared flag from now on: a command's result (an upload) stands
    // until the reading thread has read something itself, even with no monitors to read.
    shared_.contact = contact;
    display_->SetContactState(contact);  // also the COMMS lamp
}

void CQRLView::ConfigurationChanged() {
    display_->UpdateView();
    frame_.UpdateTitle();
}

MeasureFormHooks CQRLView::FormHooks() {
    return {.calibrateInput = ChannelCalibrationOpener(doc_),
            .calibrateOutput =
                [this](QWidget* parent, int output) {
                    RunOutputCalibration(parent, doc_, output, output);
                },
            .printConfiguration =
                [this](QWidget* parent) { PrintConfigurationFromWindow(parent, doc_); }};
}

DisplayReportHandlers CQRLView::DisplayReports() {
    // The setup as the form holds it: the fields shown stored into their line first.
    const auto setup = [](DisplayEditor& editor) {
        editor.StoreFields();
        return DisplayFileImage{editor.description, editor.lines};
    };
    // Their dialogs belong to the display form, the modal window open then.
    const auto owner = [this] {
        QWidget* modal = QApplication::activeModalWidget();
        return modal != nullptr ? modal : window();
    };
    return {[this, owner, setup](DisplayEditor& editor) {
                PrintDisplaySetupFromWindow(owner(), doc_, setup(editor));
            },
            [this, owner, setup](DisplayEditor& editor) {
                SaveDisplaySetupPdfFromWindow(owner(), doc_, setup(editor));
            }};
}

void CQRLView::ShowTrends(bool shown) {
    trendsShown_ = shown;
    trendsDock_->setVisible(shown);
    if (shown) {
        trendsView_->Refresh();
    }
    WriteTrendsShown(shown);
}

void CQRLView::OnTimer() {
    const MonitorTimerResult result = MonitorTimerStep(doc_, shared_, viewState_);
    display_->ApplyTimerResult(result);
    FeedTrends(doc_, shared_.secondaries, result.textsCopied ? &viewState_.cells : nullptr,
               result.contact, WallClockMs(), trends_);
    if (trendsShown_) {
        trendsView_->Refresh();
    }
}

}  // namespace kvr::app
