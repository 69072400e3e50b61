// CMainFrame: the main window. Builds the menu and the toolbar from the command table,
// holds the status bar, keeps the window placement, asks before the program ends, and
// hands every command to the view.
#pragma once

#include <QMainWindow>
#include <map>
#include <string>
#include <vector>

#include "document/QRLDoc.h"

class QMenu;
class QToolBar;

namespace kvr::app {

class CQRLView;
class CStatusBar;

class CMainFrame final : public QMainWindow {
    Q_OBJECT
  public:
    // Restores "Window Position" (or centres the window) and builds the bars, the menu and
    // the view.
    explicit CMainFrame(CQRLDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CQRLView* View() const { return view_; }
    CStatusBar* Bar() const { return bar_; }
    QToolBar* ToolBar() const { return toolBar_; }
    // The action of a command id (null when the table has none).
    QAction* Action(int id) const;
    const std::vector<QMenu*>& PopupMenus() const { return popups_; }

    // Runs a command: the frame's own (exit, the bars) here, the rest in the view; then
    // the enabled and checked states are brought up to date.
    void OnCommand(int id);
    void UpdateCommandUI();
    // The caption from the document's name and the title part (the system name once the
    // branding is loaded).
    void SetTitlePart(const std::string& part);
    void UpdateTitle();

  protected:
    // The exit confirmation and the placement written at exit.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildActions();
    void BuildMenu();
    void BuildToolBar();
    void RestorePlacement();
    void SavePlacement();

    CQRLDoc& doc_;
    CQRLView* view_ = nullptr;
    CStatusBar* bar_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    std::map<int, QAction*> actions_;
    std::vector<QMenu*> popups_;
    std::string titlePart_;
};

}  // namespace kvr::app
