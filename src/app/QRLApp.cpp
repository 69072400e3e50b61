#include "app/QRLApp.h"

#include <QApplication>
#include <string_view>

#include "app/HelpViewer.h"
#include "app/MainFrame.h"
#include "app/Pictures.h"
#include "app/QRLView.h"
#include "app/SplashWindow.h"
#include "document/Branding.h"
#include "document/forms/PortSettingsForm.h"
#include "document/forms/TemplateFileDialog.h"
#include "link/PortSetup.h"

#ifndef KVR_VERSION
#define KVR_VERSION "(unreleased)"
#endif

namespace kvr::app {

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine cl;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const QString lower = arg.toLower();
        if (arg == QStringLiteral("--screenshot")) {
            if (i + 1 >= arguments.size()) {
                cl.error = "--screenshot needs the path of the picture";
                return cl;
            }
            cl.screenshot = arguments[++i].toStdString();
        } else if (arg == QStringLiteral("--print")) {
            cl.print = true;
            cl.splash = false;
        } else if (arg == QStringLiteral("--demo")) {
            cl.demo = true;
        } else if (arg == QStringLiteral("--dark")) {
            cl.dark = true;
        } else if (arg == QStringLiteral("--bench-seconds")) {
            bool ok = false;
            cl.benchSeconds = i + 1 < arguments.size() ? arguments[++i].toInt(&ok) : 0;
            if (!ok || cl.benchSeconds < 1 || cl.benchSeconds > 3600) {
                cl.error = "--bench-seconds needs a number of seconds from 1 to 3600";
                return cl;
            }
            cl.demo = true;
        } else if (arg == QStringLiteral("--bench-trends")) {
            cl.benchTrends = true;
        } else if (lower == QStringLiteral("-embedding") || lower == QStringLiteral("/embedding") ||
                   lower == QStringLiteral("-automation") ||
                   lower == QStringLiteral("/automation")) {
            cl.splash = false;  // started by another program: no picture in its way
        } else if (arg.startsWith(QStringLiteral("--"))) {
            cl.error = "unknown option " + arg.toStdString();
            return cl;
        } else if (cl.file.empty()) {
            cl.file = arg.toStdString();
        } else {
            cl.error = "only one setup file can be opened";
            return cl;
        }
    }
    if (cl.print && cl.file.empty()) {
        cl.error = "--print needs the setup file to print";
    }
    if (cl.benchTrends && cl.benchSeconds == 0) {
        cl.error = "--bench-trends goes with --bench-seconds";
    }
    return cl;
}

std::optional<int> AnswerInfoOptions(int argc, const char* const* argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, out);
            return 0;
        }
        if (arg == "--version") {
            std::fprintf(out, "kvrview (KVR View) %s\n", KVR_VERSION);
            return 0;
        }
        if (arg == "--screenshot" || arg == "--bench-seconds") {
            ++i;  // their value is no option
        }
    }
    return std::nullopt;
}

CQRLApp::CQRLApp() = default;

CQRLApp::~CQRLApp() {
    // The window and its view end first (the view stores the settings through the
    // document), then the forms that would open are taken away.
    frame_.reset();
    delete splash_.data();
    formsInPlace_.reset();
    doc_.Port().SetOpenFallback(nullptr);
}

bool CQRLApp::InitInstance(const CommandLine& commandLine) {
    QApplication::setWindowIcon(ApplicationIcon());
    frame_ = std::make_unique<CMainFrame>(doc_);
    CMainFrame* frame = frame_.get();
    formsInPlace_.emplace(Seams{.portSettingsEditor = QtPortSettingsEditor(),
                                .templateFileDialog = QtTemplateFileDialog(frame),
                                .helpWindow = [frame](const std::string& anchor) {
                                    ShowHelp(frame, QString::fromStdString(anchor));
                                }});
    InstallOpenFallback(doc_.Port());
    seam_.SetFrame(frame);
    if (commandLine.splash) {
        splash_ = CSplashWindow::ShowFor(SplashBrandingIndex());
    }
    if (splash_) {
        // The reading thread reads nothing while the picture is up.
        CQRLView* view = frame_->View();
        view->Shared().splashShowing = true;
        QObject::connect(splash_.data(), &CSplashWindow::Closed, view,
                         [view] { view->Shared().splashShowing = false; });
    }

    if (commandLine.file.empty()) {
        doc_.OnNewDocument();
    } else if (!frame_->View()->OpenDocument(commandLine.file)) {
        return false;
    }
    frame_->show();
    return true;
}

}  // namespace kvr::app
