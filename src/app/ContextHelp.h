// Context help (Shift+F1 and the toolbar's help button): a control clicked in What's This
// mode shows its help text, or at least its tool tip when it has no text of its own. In
// forms, where the main window's shortcuts do not reach, F1 opens the user guide at the
// form's section and Shift+F1 starts What's This mode.
#pragma once

#include <QObject>

namespace kvr::app {

class CContextHelp final : public QObject {
    Q_OBJECT
  public:
    // Watches every widget of the application for the rest of its life.
    explicit CContextHelp(QObject* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kvr::app
