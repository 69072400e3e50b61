#include "app/HelpViewer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "base/UserSeam.h"

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
    {"Select Serial Port", help::kPortForm},      {"KVR100 Address", help::kConnecting},
    {"Download Preferences", help::kDownload},    {"Password Entry", help::kPassword},
    {"Password Confirm", help::kPassword},        {"Monitor Configuration", help::kMonitors},
    {"Select Log File", help::kLogging},          {"Open Template", help::kSetupFiles},
    {"Choose Measuring Entity", help::kMonitors}, {"Save Template As", help::kSetupFiles},
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

// Gives the help window back to the main window before the form that held it goes (and
// would take it along).
void ReturnHelpWindow() {
    if (g_helpWindow == nullptr) {
        return;
    }
    QWidget* main = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(w) != nullptr) {
            main = w;
            break;
        }
    }
    const bool shown = g_helpWindow->isVisible();
    const QRect where = g_helpWindow->geometry();
    g_helpWindow->setParent(main, Qt::Window);
    g_helpWindow->setGeometry(where);
    g_helpWindow->setVisible(shown);
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
    // A modal form blocks every window but its own: while one is open the help window
    // becomes the form's, and goes back to the main window when the form closes.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = parent != nullptr ? parent->window() : nullptr;
    }
    if (g_helpWindow == nullptr) {
        g_helpWindow = MakeHelpWindow(owner);
    } else if (g_helpWindow->parentWidget() != owner) {
        const QRect where = g_helpWindow->geometry();
        g_helpWindow->setParent(owner, Qt::Window);
        g_helpWindow->setGeometry(where);
    }
    auto* form = qobject_cast<QDialog*>(owner);
    if (form != nullptr && !form->property("returnsHelpWindow").toBool()) {
        form->setProperty("returnsHelpWindow", true);
        QObject::connect(form, &QDialog::finished, g_helpWindow, [] { ReturnHelpWindow(); });
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
