#include "app/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QToolBar>
#include <QUrl>

#include "app/CommandTable.h"
#include "app/Pictures.h"
#include "app/QRLView.h"
#include "app/ShellRules.h"
#include "app/StatusBar.h"
#include "base/Settings.h"

namespace kvr::app {

namespace {

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The size of a window that has no stored placement.
QSize DefaultSize(const QRect& available) {
    return QSize(1120, 720).boundedTo(available.size() * 9 / 10);
}

}  // namespace

CMainFrame::CMainFrame(CQRLDoc& doc, QWidget* parent)
    : QMainWindow(parent), doc_(doc), titlePart_(DocumentTypeField(DocTypeField::WindowTitle)) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(ApplicationIcon());
    setAcceptDrops(true);
    RestorePlacement();

    BuildActions();
    BuildToolBar();
    bar_ = new CStatusBar(this);
    setStatusBar(bar_);
    BuildMenu();

    view_ = new CQRLView(doc_, *this);
    setCentralWidget(view_);
    connect(bar_, &CStatusBar::TalkPaneDoubleClicked, view_, &CQRLView::OnTalkPaneDoubleClick);

    UpdateTitle();
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() {
    // The view goes first, while the frame and its bars are still whole: its end stores
    // the settings and may still report through the status bar.
    delete view_;
    view_ = nullptr;
}

QAction* CMainFrame::Action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::BuildActions() {
    for (const Command& c : Commands()) {
        auto* action = new QAction(Q(c.text), this);
        action->setData(c.id);
        action->setStatusTip(Q(PromptText(c)));
        action->setToolTip(Q(ToolTipText(c)));
        action->setCheckable(c.checkable);
        action->setIcon(ToolIcon(CommandPicture(c.id)));
        // Menu items show their pictures only in the toolbar, as the command table intends.
        action->setIconVisibleInMenu(false);
        if (*c.shortcut != '\0') {
            action->setShortcut(QKeySequence(Q(c.shortcut)));
        }
        if (*c.popup == '\0') {
            addAction(action);  // keyboard-only commands still need a window to live in
        }
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        actions_[c.id] = action;
    }
}

void CMainFrame::BuildMenu() {
    for (const std::string& popup : Popups()) {
        QMenu* menu = menuBar()->addMenu(Q(popup));
        std::map<std::string, QMenu*> submenus;
        for (const Command& c : Commands()) {
            if (popup != c.popup) {
                continue;
            }
            QMenu* target = menu;
            if (*c.submenu != '\0') {
                QMenu*& sub = submenus[c.submenu];
                if (sub == nullptr) {
                    sub = menu->addMenu(Q(c.submenu));
                }
                target = sub;
            }
            target->addAction(actions_.at(c.id));
        }
        // The states are brought up to date before a popup opens.
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        popups_.push_back(menu);
    }
}

void CMainFrame::BuildToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setIconSize(kToolPictureSize);
    for (int id : ToolbarLayout()) {
        if (id == kCmdSeparator) {
            toolBar_->addSeparator();
        } else {
            toolBar_->addAction(actions_.at(id));
        }
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
    // Hidden through its own context menu, the check mark follows too.
    connect(toolBar_, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommandUI);
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
        case kCmdExit:
            close();
            break;
        case kCmdToolbar:
            toolBar_->setVisible(toolBar_->isHidden());
            break;
        case kCmdStatusBar:
            bar_->setVisible(bar_->isHidden());
            break;
        default:
            view_->OnCommand(id);
            break;
    }
    UpdateCommandUI();
}

void CMainFrame::UpdateCommandUI() {
    for (auto& [id, action] : actions_) {
        switch (id) {
            case kCmdExit:
                action->setEnabled(true);
                break;
            case kCmdToolbar:
                action->setEnabled(true);
                action->setChecked(!toolBar_->isHidden());
                break;
            case kCmdStatusBar:
                action->setEnabled(true);
                action->setChecked(bar_ != nullptr && !bar_->isHidden());
                break;
            default:
                action->setEnabled(view_ != nullptr && view_->IsCommandEnabled(id));
                if (action->isCheckable()) {
                    action->setChecked(view_ != nullptr && view_->IsCommandChecked(id));
                }
                break;
        }
    }
}

void CMainFrame::SetTitlePart(const std::string& part) {
    titlePart_ = part;
    UpdateTitle();
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(Q(FrameTitle(doc_.PathName(), titlePart_)));
}

void CMainFrame::RestorePlacement() {
    WindowPlacement p;
    QRect rect;
    if (ReadWindowPosition(p) && p.right > p.left && p.bottom > p.top) {
        rect = QRect(QPoint(p.left, p.top), QSize(p.right - p.left, p.bottom - p.top));
    }
    // A rectangle on no screen (one that was unplugged since) opens centred instead, so
    // the window can never open out of reach.
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens()) {
        onScreen = onScreen || screen->availableGeometry().intersects(rect);
    }
    if (rect.isValid() && onScreen) {
        setGeometry(rect);  // shown normal even when it was left maximised
        return;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available =
        screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QRect centred(QPoint(), DefaultSize(available));
    centred.moveCenter(available.center());
    setGeometry(centred);
}

void CMainFrame::SavePlacement() {
    const bool maximized = isMaximized();
    const bool minimized = isMinimized();
    const QRect r = maximized || minimized ? normalGeometry() : geometry();
    WriteWindowPosition(ExitPlacement(r.left(), r.top(), r.left() + r.width(), r.top() + r.height(),
                                      maximized, minimized));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!ConfirmExit()) {
        event->ignore();
        return;
    }
    SavePlacement();
    // The document does not ask to save: the question above took its place.
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            view_->OpenDocument(url.toLocalFile().toStdString());
        }
    }
    event->acceptProposedAction();
    UpdateCommandUI();
}

}  // namespace kvr::app
