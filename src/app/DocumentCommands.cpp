// The document's commands: the file commands, upload and download, the transmission
// setup, the factory defaults, the device query, the password and the download options.
#include <QFileDialog>

#include "app/CommandTable.h"
#include "app/MainFrame.h"
#include "app/QRLView.h"
#include "app/ShellRules.h"
#include "document/Identify.h"
#include "document/Password.h"
#include "document/SetupFile.h"
#include "document/Transfer.h"
#include "document/forms/UnitAddressForms.h"
#include "link/PortSetup.h"
#include "modules/QueryDevice.h"

namespace kvr::app {

namespace {

// The open and save forms' filter: the document type's, then every file.
QString FileFilter() {
    return QString::fromStdString(DocumentTypeField(DocTypeField::FilterName)) +
           QStringLiteral(";;All Files (*)");
}

void OnNew(CQRLView& view) {
    CQRLDoc& doc = view.Doc();
    {
        // The reset changes what the reading thread reads.
        DeviceLock lock(doc);
        if (!lock.Lock()) {
            return;
        }
        doc.OnNewDocument();
    }
    view.LayoutMonitors(doc.Monitors().count);
    view.Frame().UpdateTitle();
}

void OnOpen(CQRLView& view) {
    const QString path = QFileDialog::getOpenFileName(view.window(), QStringLiteral("Open"),
                                                      QString(), FileFilter());
    if (!path.isEmpty()) {
        view.OpenDocument(path.toStdString());
    }
}

void OnSaveAs(CQRLView& view) {
    QFileDialog dialog(view.window(), QStringLiteral("Save As"), QString(), FileFilter());
    dialog.setObjectName(QStringLiteral("saveAs"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kvr"));
    dialog.selectFile(QString::fromStdString(ProposedFileName(view.Doc())));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    SaveDocumentFile(view.Doc(), dialog.selectedFiles().front().toStdString());
    view.Frame().UpdateTitle();
}

void OnSave(CQRLView& view) {
    if (view.Doc().PathName().empty()) {
        OnSaveAs(view);
        return;
    }
    SaveDocumentFile(view.Doc(), view.Doc().PathName());
    view.Frame().UpdateTitle();
}

void OnUpload(CQRLView& view) {
    view.SetContactState(UploadCommand(view.Doc()));
    view.LayoutMonitors(view.Doc().Monitors().count);
    view.Frame().UpdateTitle();
}

void OnDownload(CQRLView& view) {
    DownloadCommand(view.Doc());  // sets the download pane and the COMMS lamp itself
}

bool CanDownload(CQRLView& view) {
    return view.Doc().ConfigurationPresent();
}

void OnTransmissionSetup(CQRLView& view) {
    // The port is closed and reopened: the reading thread must not be using it meanwhile.
    DeviceLock lock(view.Doc());
    if (!lock.Lock()) {
        return;
    }
    Reconfigure(view.Doc().Port());
}

template <int Id>
void OnFactory(CQRLView& view) {
    RestoreFactoryDefaults(view.Doc(), *FindFactoryItem(Id));
}

void OnQueryDevice(CQRLView& view) {
    QueryDeviceType(view.Doc());
}

void OnPassword(CQRLView&) {
    PasswordCommand();
}

void OnUploadUntilFirstFail(CQRLView& view) {
    view.Doc().SetStopAtFirstFailure(!view.Doc().StopAtFirstFailure());
}

bool StopsAtFirstFailure(CQRLView& view) {
    return view.Doc().StopAtFirstFailure();
}

void OnDownloadPreferences(CQRLView& view) {
    CDownloadPreferencesForm form(view.Doc(), view.window());
    form.exec();
}

void OnKvr100Address(CQRLView& view) {
    CKvr100AddressForm form(view.Doc(), view.window());
    form.exec();
}

}  // namespace

CommandRows<CQRLView> DocumentCommandRows() {
    static const CommandRow<CQRLView> kRows[] = {
        {{kCmdNew, kPopupFile, "", "&New", "Create a new document\nNew", "Ctrl+N", false},
         {10, 0},
         OnNew,
         nullptr,
         nullptr},
        {{kCmdOpen, kPopupFile, "", "&Open...", "Open an existing document\nOpen", "Ctrl+O", false},
         {20, 0},
         OnOpen,
         nullptr,
         nullptr},
        {{kCmdSave, kPopupFile, "", "&Save", "Save the active document\nSave", "Ctrl+S", false},
         {30, 0},
         OnSave,
         nullptr,
         nullptr},
        {{kCmdSaveAs, kPopupFile, "", "Save &As...",
          "Save the active document with a new name\nSave As", "Ctrl+Shift+S", false},
         {40, 0},
         OnSaveAs,
         nullptr,
         nullptr},
        {{kCmdUpload, kPopupKvr, "", "&Upload from KVR",
          "Upload the current configuration settings from the attached KVR\nUpload from the KVR",
          "", false},
         {10, 11},
         OnUpload,
         nullptr,
         nullptr},
        {{kCmdDownload, kPopupKvr, "", "&Download to KVR",
          "Download the current configuration settings to the attached KVR\nDownload to the KVR",
          "", false},
         {20, 12},
         OnDownload,
         CanDownload,
         nullptr},
        {{kCmdTransmissionSetup, kPopupKvr, "", "&Transmission Setup...",
          "Configure the serial communications setup.", "", false},
         {30, 0},
         OnTransmissionSetup,
         nullptr,
         nullptr},
        {{kCmdFactoryChannel1, kPopupKvr, kSubmenuFactory, "KVR 100 / KVR 300 Channel &1", "", "",
          false},
         {40, 0},
         OnFactory<kCmdFactoryChannel1>,
         nullptr,
         nullptr},
        {{kCmdFactoryChannel2, kPopupKvr, kSubmenuFactory, "KVR 300 Channel &2", "", "", false},
         {50, 0},
         OnFactory<kCmdFactoryChannel2>,
         nullptr,
         nullptr},
        {{kCmdFactoryChannel3, kPopupKvr, kSubmenuFactory, "KVR 300 Channel &3", "", "", false},
         {60, 0},
         OnFactory<kCmdFactoryChannel3>,
         nullptr,
         nullptr},
        {{kCmdFactoryMainBoard, kPopupKvr, kSubmenuFactory, "KVR 300 &Main Board", "", "", false},
         {70, 0},
         OnFactory<kCmdFactoryMainBoard>,
         nullptr,
         nullptr},
        {{kCmdFactoryCom, kPopupKvr, kSubmenuFactory, "KVR &COM", "", "", false},
         {80, 0},
         OnFactory<kCmdFactoryCom>,
         nullptr,
         nullptr},
        {{kCmdFactoryDisplay, kPopupKvr, kSubmenuFactory, "KVR &Display", "", "", false},
         {90, 0},
         OnFactory<kCmdFactoryDisplay>,
         nullptr,
         nullptr},
        {{kCmdQueryDevice, kPopupKvr, "", "&Query Device Type",
          "Check what type of device is attached\nQuery device type", "", false},
         {100, 54},
         OnQueryDevice,
         nullptr,
         nullptr},
        {{kCmdPassword, kPopupKvr, "", "&Password...", "Change the configuration password.", "",
          false},
         {110, 0},
         OnPassword,
         nullptr,
         nullptr},
        {{kCmdUploadUntilFirstFail, kPopupCalibrate, "", "Upload until first fail",
          "Upload until first failure or continue trying with other channels.", "", true},
         {90, 0},
         OnUploadUntilFirstFail,
         nullptr,
         StopsAtFirstFailure},
        {{kCmdDownloadPreferences, kPopupCalibrate, "", "Download Preferences", "", "", false},
         {100, 0},
         OnDownloadPreferences,
         nullptr,
         nullptr},
        {{kCmdKvr100Address, kPopupCalibrate, "", "KVR100 Address", "", "", false},
         {110, 0},
         OnKvr100Address,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr::app
