#include "app/StatusBar.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "app/Pictures.h"
#include "document/Transfer.h"
#include "monitor/MonitorTimer.h"

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

// Room for the sunken frame and a margin on each side of a pane's text.
constexpr int kPaneMargin = 12;
// The bar's spacing between two panes, with some slack.
constexpr int kPaneGap = 6;

int TextWidth(const QFontMetrics& fm, const QString& text) {
    return fm.horizontalAdvance(text) + kPaneMargin;
}

// A pane as wide as the longest text it can show in its current font, so it neither
// clips a text nor changes width when its text changes.
class PaneLabel final : public QLabel {
  public:
    PaneLabel(int pane, QWidget* parent)
        : QLabel(QString::fromUtf8(kInitialTexts[pane]), parent), pane_(pane) {
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override {
        return {PaneWidth(pane_, fontMetrics()), QLabel::sizeHint().height()};
    }
    // Only a window too narrow even for the panes that never make way squeezes them.
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  private:
    int pane_;
};

}  // namespace

const char* PaneInitialText(int pane) {
    return pane >= 0 && pane < kPaneCount ? kInitialTexts[pane] : "";
}

QStringList PaneTexts(int pane) {
    // An initial text of blanks only reserved room for the texts to come.
    QStringList texts;
    if (!QString::fromUtf8(PaneInitialText(pane)).trimmed().isEmpty()) {
        texts << QString::fromUtf8(PaneInitialText(pane));
    }
    switch (pane) {
        case kPaneSecondaries:
            texts << QString::fromUtf8(kSecondariesPaneOn)
                  << QString::fromUtf8(kSecondariesPaneOff);
            break;
        case kPaneTalk:
            texts << QStringLiteral("Talk: Prior to V1.62") << QStringLiteral("Talk: V8.88");
            break;
        case kPaneLog:
            texts << QString::fromUtf8(kLogPaneOn) << QString::fromUtf8(kLogPaneOff);
            break;
        case kPaneUpload:
        case kPaneDownload:
            for (unsigned mask = 0; mask < 16; ++mask) {
                texts << QString::fromStdString(TransferPaneText(pane == kPaneDownload, mask));
            }
            break;
        default:
            break;
    }
    return texts;
}

int PaneWidth(int pane, const QFontMetrics& fm) {
    if (pane == kPaneComms) {
        // The word, a gap and the square lamp as high as the text.
        return TextWidth(fm, QStringLiteral("COMMS")) + fm.height() + fm.averageCharWidth();
    }
    int width = 0;
    for (const QString& text : PaneTexts(pane)) {
        width = std::max(width, TextWidth(fm, text));
    }
    return width;
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
    const QFontMetrics fm = fontMetrics();
    return {PaneWidth(kPaneComms, fm), fm.height() + 4};
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
        auto* label = new PaneLabel(pane, this);
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

void CStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    FitPanes();
}

void CStatusBar::changeEvent(QEvent* event) {
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FitPanes();
    }
}

void CStatusBar::FitPanes() {
    const QFontMetrics fm = fontMetrics();
    int used = 0;
    for (int pane = 1; pane < kPaneCount; ++pane) {
        used += PaneWidth(pane, fm) + kPaneGap;
    }
    // Panes make way, in this order, while the message pane has less than its room: the
    // first ones for a whole progress text, the others only for a short one. The three
    // lock indicators go together.
    const struct {
        std::vector<int> panes;
        int messageChars;
    } kOrder[] = {{{kPaneCaps, kPaneNum, kPaneScroll}, kMessageMinChars},
                  {{kPaneTalk}, kMessageMinChars},
                  {{kPaneDownload}, kMessageShortChars},
                  {{kPaneUpload}, kMessageShortChars},
                  {{kPaneLog}, kMessageShortChars},
                  {{kPaneSecondaries}, kMessageShortChars}};
    for (const auto& step : kOrder) {
        const bool room = width() - used >= step.messageChars * fm.averageCharWidth();
        for (int pane : step.panes) {
            labels_[static_cast<size_t>(pane)]->setVisible(room);
            if (!room) {
                used -= PaneWidth(pane, fm) + kPaneGap;
            }
        }
    }
}

bool CStatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == labels_[kPaneTalk] && event->type() == QEvent::MouseButtonDblClick) {
        Q_EMIT TalkPaneDoubleClicked();
    }
    return false;  // the double-click goes on to the bar's own handling
}

}  // namespace kvr::app
