// The start-up picture: a borderless window centred on the screen, gone after 5000 ms or
// at the first key or mouse press anywhere in the program, or when a message or form opens.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace kvr::app {

inline constexpr int kSplashMs = 5000;

class CSplashWindow final : public QWidget {
    Q_OBJECT
  public:
    // Shows the splash of a branding; null (nothing shown) for a branding without one.
    // The window deletes itself when it closes.
    static CSplashWindow* ShowFor(int branding);

    explicit CSplashWindow(const QPixmap& picture);
    ~CSplashWindow() override;

  Q_SIGNALS:
    void Closed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPixmap picture_;
};

}  // namespace kvr::app
