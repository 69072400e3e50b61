#include "app/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "link/UserSeam.h"

namespace kvr::app {

namespace {

const QString kGuideName = QStringLiteral("user-guide.html");

// The one help window of the program; a QPointer because the user may close it.
QPointer<QWidget> g_helpWindow;

struct TitleAnchor {
    const char* title;
    const char* anchor;
};

// Forms and the guide section that explains them.
constexpr TitleAnchor kTitleAnchors[] = {
    {"Select Serial Port", help::kPortForm},   {"KVR100 Address", help::kConnecting},
    {"Download Preferences", help::kDownload}, {"Password Entry", help::kPassword},
    {"Password Confirm", help::kPassword},     {"Monitor Configuration", help::kMonitors},
    {"Select Log File", help::kLogging},       {"Open Template", help::kSetupFiles},
    {"Save Template As", help::kSetupFiles},
};

QWidget* MakeHelpWindow(QWidget* parent) {
    // A separate top-level window that stays usable beside modal forms' owner.
    auto* window = new QWidget(parent, Qt::Window);
    window->setObjectName(QStringLiteral("helpWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("KVR View Help"));
    auto* browser = new QTextBrowser(window);
    browser->setObjectName(QStringLiteral("helpBrowser"));
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    window->resize(760, 640);
    return window;
}

}  // namespace

QStringList UserGuideCandidates() {
    QStringList list;
    const QString env = qEnvironmentVariable("KVR_HELP_FILE");
    if (!env.isEmpty()) {
        list << env;
    }
    if (QCoreApplication::instance() != nullptr) {
        const QDir bin(QCoreApplication::applicationDirPath());
        list << QDir::cleanPath(bin.filePath(QStringLiteral("../share/kvr-view/")) +
                                QLatin1Char('/') + kGuideName);
    }
#ifdef KVR_SOURCE_DOC_DIR
    list << QStringLiteral(KVR_SOURCE_DOC_DIR "/user-guide.html");
#endif
    list << QStringLiteral("/usr/local/share/kvr-view/user-guide.html")
         << QStringLiteral("/usr/share/kvr-view/user-guide.html");
    return list;
}

QString UserGuidePath() {
    for (const QString& candidate : UserGuideCandidates()) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isReadable()) {
            return info.absoluteFilePath();
        }
    }
    return QString();
}

QString HelpAnchorForWindow(const QWidget* window) {
    if (window != nullptr) {
        const QString title = window->windowTitle();
        for (const TitleAnchor& t : kTitleAnchors) {
            if (title == QLatin1String(t.title)) {
                return QLatin1String(t.anchor);
            }
        }
    }
    return QLatin1String(help::kContents);
}

void ShowHelp(QWidget* parent, const QString& anchor) {
    const QString path = UserGuidePath();
    if (path.isEmpty()) {
        std::string text = "The user guide (user-guide.html) could not be found.\nLooked in:";
        for (const QString& c : UserGuideCandidates()) {
            text += "\n" + c.toStdString();
        }
        AppMessageBox(text, MsgIcon::Warning);
        return;
    }
    if (g_helpWindow == nullptr) {
        g_helpWindow = MakeHelpWindow(parent != nullptr ? parent->window() : nullptr);
    }
    auto* browser = g_helpWindow->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.isEmpty()) {
        url.setFragment(anchor);
    }
    // The same file with another fragment only scrolls; a new file loads.
    browser->setSource(url);
    g_helpWindow->show();
    g_helpWindow->raise();
    g_helpWindow->activateWindow();
}

}  // namespace kvr::app
