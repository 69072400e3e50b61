#include "app/StatusBar.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "app/Pictures.h"

namespace kvr::app {

namespace {

const char* const kInitialTexts[kPaneCount] = {
    "",                           // message pane: stretches
    "                         ",  // 25 blanks
    "COMMS       ",
    "               ",  // 15 blanks
    "No Log",
    "No Device Uploaded",
    "No Device Downloaded",
    "CAP",
    "NUM",
    "SCRL",
};

int PaneWidth(const QFontMetrics& fm, const char* text) {
    return fm.horizontalAdvance(QString::fromUtf8(text)) + 8;  // the frame and a margin
}

// A pane as wide as its initial text (or its text, when longer); a window too narrow for
// all panes squeezes them rather than refusing to get narrower.
class PaneLabel final : public QLabel {
  public:
    PaneLabel(const char* initial, QWidget* parent)
        : QLabel(QString::fromUtf8(initial), parent),
          width_(PaneWidth(QFontMetrics(font()), initial)) {}
    QSize sizeHint() const override {
        const QSize hint = QLabel::sizeHint();
        return {std::max(hint.width(), width_), hint.height()};
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  private:
    int width_;
};

}  // namespace

const char* PaneInitialText(int pane) {
    return pane >= 0 && pane < kPaneCount ? kInitialTexts[pane] : "";
}

CCommsPane::CCommsPane(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setObjectName(QStringLiteral("commsPane"));
}

void CCommsPane::SetLamp(bool on) {
    on_ = on;
    update();  // every change redraws the pane
}

QSize CCommsPane::sizeHint() const {
    const QFontMetrics fm(font());
    return {PaneWidth(fm, kInitialTexts[kPaneComms]) + fm.height(), fm.height() + 4};
}

void CCommsPane::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect r = contentsRect();
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("COMMS"));
    const int side = r.height();
    const QRect lamp(r.right() + 1 - side, r.top(), side, side);
    p.drawPixmap(lamp, DrawPicture(on_ ? Picture::LampOn : Picture::LampOff, lamp.size(),
                                   devicePixelRatioF()));
}

CStatusBar::CStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("statusBar"));
    for (int pane = 1; pane < kPaneCount; ++pane) {
        if (pane == kPaneComms) {
            comms_ = new CCommsPane(this);
            addPermanentWidget(comms_);
            continue;
        }
        auto* label = new PaneLabel(kInitialTexts[pane], this);
        label->setObjectName(QStringLiteral("pane%1").arg(pane));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        labels_[static_cast<size_t>(pane)] = label;
        addPermanentWidget(label);
    }
    // Qt cannot tell the keyboard lock states: the indicators stay greyed.
    for (int pane : {kPaneCaps, kPaneNum, kPaneScroll}) {
        labels_[static_cast<size_t>(pane)]->setEnabled(false);
    }
    labels_[kPaneTalk]->installEventFilter(this);
}

void CStatusBar::SetPaneText(int pane, const QString& text) {
    if (pane == kPaneMessage) {
        SetMessage(text);
        return;
    }
    if (QLabel* label =
            pane > 0 && pane < kPaneCount ? labels_[static_cast<size_t>(pane)] : nullptr) {
        label->setText(text);
    }
}

QString CStatusBar::PaneText(int pane) const {
    if (pane == kPaneMessage) {
        return currentMessage();
    }
    if (pane == kPaneComms) {
        return QString::fromUtf8(kInitialTexts[kPaneComms]);
    }
    const QLabel* label =
        pane > 0 && pane < kPaneCount ? labels_[static_cast<size_t>(pane)] : nullptr;
    return label != nullptr ? label->text() : QString();
}

QWidget* CStatusBar::Pane(int pane) const {
    if (pane == kPaneComms) {
        return comms_;
    }
    return pane > 0 && pane < kPaneCount ? labels_[static_cast<size_t>(pane)] : nullptr;
}

void CStatusBar::SetCommsLamp(bool on) {
    comms_->SetLamp(on);
}

bool CStatusBar::CommsLamp() const {
    return comms_->Lamp();
}

void CStatusBar::SetMessage(const QString& text) {
    if (text.isEmpty()) {
        clearMessage();
    } else {
        showMessage(text);
    }
    repaint();
}

bool CStatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == labels_[kPaneTalk] && event->type() == QEvent::MouseButtonDblClick) {
        Q_EMIT TalkPaneDoubleClicked();
    }
    return false;  // the double-click goes on to the bar's own handling
}

}  // namespace kvr::app
