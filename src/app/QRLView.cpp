#include "app/QRLView.h"

#include <QApplication>
#include <QFileDialog>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWhatsThis>

#include "app/CommandTable.h"
#include "app/HelpViewer.h"
#include "app/MainFrame.h"
#include "app/ShellForms.h"
#include "app/ShellRules.h"
#include "app/StatusBar.h"
#include "base/Settings.h"
#include "base/UserSeam.h"
#include "document/Branding.h"
#include "document/Identify.h"
#include "document/MonitorStore.h"
#include "document/Password.h"
#include "document/PortSetup.h"
#include "document/SetupFile.h"
#include "document/Transfer.h"
#include "document/forms/UnitAddressForms.h"
#include "measure/forms/InputSheet.h"
#include "modules/QueryDevice.h"
#include "monitor/forms/LogFileForm.h"
#include "monitor/forms/MonitorConfigForm.h"
#include "monitor/forms/MonitorDisplay.h"

namespace kvr::app {

namespace {

// The open and save forms' filter: the document type's, then every file.
QString FileFilter() {
    return QString::fromStdString(DocumentTypeField(DocTypeField::FilterName)) +
           QStringLiteral(";;All Files (*)");
}

}  // namespace

// Commands whose features are not built yet (outputs, diagnostics, display, com,
// calibration, print) have no handler yet: they stay in the menu and the toolbar, disabled.
const CQRLView::Handler* CQRLView::FindHandler(int id) {
    static const Handler kHandlers[] = {
        {kCmdNew, &CQRLView::OnNew, nullptr},
        {kCmdOpen, &CQRLView::OnOpen, nullptr},
        {kCmdSave, &CQRLView::OnSave, nullptr},
        {kCmdSaveAs, &CQRLView::OnSaveAs, nullptr},
        {kCmdUpload, &CQRLView::OnUpload, nullptr},
        {kCmdDownload, &CQRLView::OnDownload, &CQRLView::CanDownload},
        {kCmdTransmissionSetup, &CQRLView::OnTransmissionSetup, nullptr},
        {kCmdPassword, &CQRLView::OnPassword, nullptr},
        {kCmdQueryDevice, &CQRLView::OnQueryDevice, nullptr},
        {kCmdOptions, &CQRLView::OnOptions, nullptr},
        {kCmdAbout, &CQRLView::OnAbout, nullptr},
        {kCmdUploadUntilFirstFail, &CQRLView::OnUploadUntilFirstFail, nullptr},
        {kCmdDownloadPreferences, &CQRLView::OnDownloadPreferences, nullptr},
        {kCmdKvr100Address, &CQRLView::OnKvr100Address, nullptr},
        {kCmdMonitors, &CQRLView::OnMonitors, nullptr},
        {kCmdInputs, &CQRLView::OnInputs, nullptr},
        {kCmdSecondaries, &CQRLView::OnSecondaries, nullptr},
        {kCmdEnableLogging, &CQRLView::OnEnableLogging, nullptr},
        {kCmdDisableLogging, &CQRLView::OnDisableLogging, nullptr},
        {kCmdNewLog, &CQRLView::OnNewLog, nullptr},
        {kCmdHelpTopics, &CQRLView::OnHelpTopics, nullptr},
        {kCmdHelp, &CQRLView::OnHelp, nullptr},
        {kCmdContextHelp, &CQRLView::OnContextHelp, nullptr},
    };
    for (const Handler& h : kHandlers) {
        if (h.id == id) {
            return &h;
        }
    }
    return nullptr;
}

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
    LoadBranding(doc_);
    frame_.SetTitlePart(doc_.systemName);
    LayoutMonitors(0);
    reader_ = std::make_unique<ReadingThread>(doc_, shared_);
    reader_->Start(MonitorReadIntervalMs());
    timer_.start();
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
    if (const FactoryItem* item = FindFactoryItem(id)) {
        RestoreFactoryDefaults(doc_, *item);
        return;
    }
    const Handler* h = FindHandler(id);
    if (h != nullptr && IsCommandEnabled(id)) {
        (this->*h->run)();
    }
}

bool CQRLView::IsCommandEnabled(int id) const {
    if (FindFactoryItem(id) != nullptr) {
        return true;
    }
    const Handler* h = FindHandler(id);
    return h != nullptr && (h->enabled == nullptr || (this->*h->enabled)());
}

bool CQRLView::IsCommandChecked(int id) const {
    if (id == kCmdSecondaries) {
        return shared_.secondaries;
    }
    return id == kCmdUploadUntilFirstFail && doc_.stopAtFirstFailure;
}

void CQRLView::OnTalkPaneDoubleClick() {
    TalkQuery(doc_);
}

bool CQRLView::OpenDocument(const std::string& path) {
    const bool ok = OpenDocumentFile(doc_, path);
    LayoutMonitors(doc_.monitorCount);
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

void CQRLView::OnTimer() {
    display_->ApplyTimerResult(MonitorTimerStep(doc_, shared_, viewState_));
}

LogFileChooser CQRLView::LogChooser() {
    return [this](std::string& path, uint32_t& intervalMs) {
        return RunLogFileForm(window(), path, intervalMs);
    };
}

void CQRLView::OnMonitors() {
    RunMonitorConfigForm(
        window(), doc_, monitorConfig_, viewState_,
        [this](int count, bool columnsChanged) { LayoutMonitors(count, columnsChanged); });
}

void CQRLView::OnInputs() {
    if (RunInputSheet(window(), doc_)) {
        // Names, phases and the modified mark may have changed.
        display_->UpdateView();
        frame_.UpdateTitle();
    }
}

void CQRLView::OnSecondaries() {
    ToggleSecondaries(shared_);
}

void CQRLView::OnEnableLogging() {
    EnableLogging(doc_, viewState_, LogChooser());
}

void CQRLView::OnDisableLogging() {
    DisableLogging(viewState_);
}

void CQRLView::OnNewLog() {
    NewLog(doc_, viewState_, LogChooser());
}

void CQRLView::OnHelpTopics() {
    ShowHelp(window(), QString());
}

void CQRLView::OnHelp() {
    ShowHelp(window(), HelpAnchorForWindow(QApplication::activeWindow()));
}

void CQRLView::OnContextHelp() {
    QWhatsThis::enterWhatsThisMode();
}

void CQRLView::OnNew() {
    {
        // The reset changes what the reading thread reads.
        DeviceLock lock(doc_);
        if (!lock.Lock()) {
            return;
        }
        doc_.OnNewDocument();
    }
    LayoutMonitors(doc_.monitorCount);
    frame_.UpdateTitle();
}

void CQRLView::OnOpen() {
    const QString path =
        QFileDialog::getOpenFileName(window(), QStringLiteral("Open"), QString(), FileFilter());
    if (!path.isEmpty()) {
        OpenDocument(path.toStdString());
    }
}

void CQRLView::OnSave() {
    if (doc_.PathName().empty()) {
        OnSaveAs();
        return;
    }
    SaveDocumentFile(doc_, doc_.PathName());
    frame_.UpdateTitle();
}

void CQRLView::OnSaveAs() {
    QFileDialog dialog(window(), QStringLiteral("Save As"), QString(), FileFilter());
    dialog.setObjectName(QStringLiteral("saveAs"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kvr"));
    dialog.selectFile(QString::fromStdString(ProposedFileName(doc_)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    SaveDocumentFile(doc_, dialog.selectedFiles().front().toStdString());
    frame_.UpdateTitle();
}

void CQRLView::OnUpload() {
    SetContactState(UploadCommand(doc_));
    LayoutMonitors(doc_.monitorCount);
    frame_.UpdateTitle();
}

void CQRLView::OnDownload() {
    DownloadCommand(doc_);  // sets the download pane and the COMMS lamp itself
}

bool CQRLView::CanDownload() const {
    return doc_.configurationPresent;
}

void CQRLView::OnTransmissionSetup() {
    // The port is closed and reopened: the reading thread must not be using it meanwhile.
    DeviceLock lock(doc_);
    if (!lock.Lock()) {
        return;
    }
    Reconfigure(doc_.Port());
}

void CQRLView::OnPassword() {
    PasswordCommand();
}

void CQRLView::OnQueryDevice() {
    QueryDeviceType(doc_);
}

void CQRLView::OnOptions() {
    COptionsForm form(window());
    if (form.exec() == QDialog::Accepted) {
        doc_.operatorName = form.OperatorName();
    }
}

void CQRLView::OnAbout() {
    CAboutBox box(doc_, TextBrandingIndex(), window());
    box.exec();
}

void CQRLView::OnUploadUntilFirstFail() {
    doc_.stopAtFirstFailure = !doc_.stopAtFirstFailure;
}

void CQRLView::OnDownloadPreferences() {
    CDownloadPreferencesForm form(doc_, window());
    form.exec();
}

void CQRLView::OnKvr100Address() {
    CKvr100AddressForm form(doc_, window());
    form.exec();
}

}  // namespace kvr::app
