// The help window: the user guide (one HTML file shipped with the program) shown in a
// small browser window, opened at an anchor.
//
// Integration: "&Help Topics" calls ShowHelp(frame, QString()); F1 calls
// ShowHelp(frame, HelpAnchorForWindow(QApplication::activeWindow())). For a build tree,
// let the guide be found in the source tree with
//   target_compile_definitions(kvr_gui PRIVATE
//   KVR_SOURCE_DOC_DIR="${CMAKE_CURRENT_SOURCE_DIR}/doc")
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kvr::app {

// Anchors of doc/user-guide.html; the guide's ids must match.
namespace help {
inline constexpr const char* kContents = "contents";
inline constexpr const char* kConnecting = "connecting";
inline constexpr const char* kPermissions = "permissions";
inline constexpr const char* kPortForm = "port-form";
inline constexpr const char* kMainRoad = "main-road";
inline constexpr const char* kUpload = "upload";
inline constexpr const char* kSetupFiles = "setup-files";
inline constexpr const char* kDownload = "download";
inline constexpr const char* kPassword = "password";
inline constexpr const char* kMonitors = "monitors";
inline constexpr const char* kLogging = "logging";
inline constexpr const char* kSimulator = "simulator";
inline constexpr const char* kKvrctl = "kvrctl";
inline constexpr const char* kTroubleshooting = "troubleshooting";
}  // namespace help

// Where the guide is looked for, in order: $KVR_HELP_FILE, then
// <binary>/../share/kvr-view/user-guide.html, then the source tree's doc/ (when built
// with KVR_SOURCE_DOC_DIR), then /usr/local/share and /usr/share.
QStringList UserGuideCandidates();
// The first candidate that is a readable file; empty when there is none.
QString UserGuidePath();

// The anchor for a window, from its title ("Select Serial Port" gives the port form's
// section); the contents for a window the guide has no section for.
QString HelpAnchorForWindow(const QWidget* window);

// Opens the help window (one for the program, raised when already open) at the anchor
// (empty: the top). When the guide cannot be found, says so through AppMessageBox.
void ShowHelp(QWidget* parent, const QString& anchor);

}  // namespace kvr::app
