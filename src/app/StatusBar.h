// The main window's status bar: the message pane and nine panes at the right, each as wide
// as its initial text; pane 2 ("COMMS" and the lamp) is drawn here.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <array>

namespace kvr::app {

enum StatusPaneIndex : int {
    kPaneMessage = 0,
    kPaneSecondaries = 1,
    kPaneComms = 2,
    kPaneTalk = 3,
    kPaneLog = 4,
    kPaneUpload = 5,
    kPaneDownload = 6,
    kPaneCaps = 7,
    kPaneNum = 8,
    kPaneScroll = 9,
    kPaneCount = 10,
};

// The initial text of a pane; its width sets the pane's width.
const char* PaneInitialText(int pane);

// "COMMS" on the left, at the right end a square lamp as high as the pane.
class CCommsPane final : public QFrame {
    Q_OBJECT
  public:
    explicit CCommsPane(QWidget* parent = nullptr);
    void SetLamp(bool on);
    bool Lamp() const { return on_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool on_ = false;
};

class CStatusBar final : public QStatusBar {
    Q_OBJECT
  public:
    explicit CStatusBar(QWidget* parent = nullptr);

    // Panes 1 and 3 to 9; pane 0 is the message pane (SetMessage).
    void SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;
    QWidget* Pane(int pane) const;
    void SetCommsLamp(bool on);
    bool CommsLamp() const;
    // The message pane, painted before the call returns (for texts shown while the
    // program blocks); an empty text clears it.
    void SetMessage(const QString& text);

  Q_SIGNALS:
    void TalkPaneDoubleClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::array<QLabel*, kPaneCount> labels_{};
    CCommsPane* comms_ = nullptr;
};

}  // namespace kvr::app
