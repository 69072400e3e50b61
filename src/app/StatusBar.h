// The main window's status bar: the message pane and nine panes at the right, each as wide
// as the longest text it can show in the bar's current font; pane 2 ("COMMS" and the
// lamp) is drawn here. The message pane takes the rest of the width.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <QStringList>
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

// The initial text of a pane.
const char* PaneInitialText(int pane);
// Every text a pane can show (its initial text first); the longest sets its width.
QStringList PaneTexts(int pane);
int PaneWidth(int pane, const QFontMetrics& fm);
// The message pane keeps room for this many average characters (a progress text); in a
// narrower window the lock indicators (which Qt cannot read anyway) make way, then the
// Talk pane.
inline constexpr int kMessageMinChars = 60;
// ... and in a window narrower still, the data panes make way to keep this much.
inline constexpr int kMessageShortChars = 24;

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
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Hides the panes that make way for the message pane in a narrow window.
    void FitPanes();

    std::array<QLabel*, kPaneCount> labels_{};
    CCommsPane* comms_ = nullptr;
};

}  // namespace kvr::app
