#include "app/SplashWindow.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "app/Pictures.h"

namespace kvr::app {

CSplashWindow* CSplashWindow::ShowFor(int branding) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpr = screen != nullptr ? screen->devicePixelRatio() : 1.0;
    const QPixmap picture = SplashPicture(branding, dpr);
    if (picture.isNull()) {
        return nullptr;
    }
    auto* splash = new CSplashWindow(picture);
    if (screen != nullptr) {
        QRect r(QPoint(), splash->size());
        r.moveCenter(screen->geometry().center());
        splash->move(r.topLeft());
    }
    splash->show();
    return splash;
}

CSplashWindow::CSplashWindow(const QPixmap& picture)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(picture) {
    setObjectName(QStringLiteral("splash"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main window ends the program even while the picture is still up.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(picture_.deviceIndependentSize().toSize());
    QTimer::singleShot(kSplashMs, this, &QWidget::close);
    qApp->installEventFilter(this);
}

CSplashWindow::~CSplashWindow() {
    Q_EMIT Closed();
}

void CSplashWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

bool CSplashWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress:
            close();
            break;
        case QEvent::Show:
            // A message or form at start-up would open under the picture, which stays on
            // top: the picture makes way.
            if (auto* w = qobject_cast<QWidget*>(watched);
                w != nullptr && w != this && w->isWindow() && w->isModal()) {
                close();
            }
            break;
        default:
            break;
    }
    return false;  // the press still does what it does
}

}  // namespace kvr::app
