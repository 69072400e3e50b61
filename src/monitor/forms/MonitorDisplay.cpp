#include "monitor/forms/MonitorDisplay.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "link/UserSeam.h"
#include "measure/EntityChannel.h"

namespace kvr {

namespace {

// Cell geometry in dialog units.
constexpr int kCellPitchX = 135;
constexpr int kCellPitchY = 20;
constexpr int kLabelLeft = 5;
constexpr int kLabelTop = 3;
constexpr int kLabelWidth = 60;
constexpr int kLabelHeight = 20;
constexpr int kValueLeft = 65;
constexpr int kValueTop = 5;
constexpr int kValueWidth = 70;
constexpr int kValueHeight = 15;
constexpr int kFontHeight = 14;
constexpr unsigned kLabelStyle = label_style::kAntialias;
constexpr unsigned kValueStyle =
    label_style::kBold | label_style::kAntialias | label_style::kSingleVCentre;
const char* const kInvalidLabel = "Invalid!";

int Alignment(unsigned style) {
    int flags = 0;
    if (style & label_style::kCentre) {
        flags |= Qt::AlignHCenter;
    } else if (style & label_style::kRight) {
        flags |= Qt::AlignRight;
    } else {
        flags |= Qt::AlignLeft;
    }
    if (style & label_style::kSingleVCentre) {
        flags |= Qt::AlignVCenter | Qt::TextSingleLine;
    } else if (style & label_style::kSingleTop) {
        flags |= Qt::AlignTop | Qt::TextSingleLine;
    } else if (style & label_style::kSingleBottom) {
        flags |= Qt::AlignBottom | Qt::TextSingleLine;
    } else {
        flags |= Qt::AlignTop | Qt::TextWordWrap;
    }
    return flags;
}

}  // namespace

CColorLabel::CColorLabel(QWidget* parent) : QFrame(parent) {}

void CColorLabel::SetFont(const QString& face, int height, const QColor& colour, unsigned style) {
    QFont font(face);
    font.setPixelSize(height);
    font.setWeight((style & label_style::kBold) ? QFont::Black : QFont::Normal);
    font.setItalic((style & label_style::kItalic) != 0);
    font.setUnderline((style & label_style::kUnderline) != 0);
    font.setStrikeOut((style & label_style::kStrikeOut) != 0);
    font.setStyleStrategy((style & label_style::kAntialias) ? QFont::PreferAntialias
                                                            : QFont::NoAntialias);
    textFont_ = font;
    colour_ = colour;
    style_ = style;
    update();
}

void CColorLabel::SetBackground(const QColor& colour) {
    background_ = colour;
    useBackground_ = true;
    update();
}

void CColorLabel::SetText(const QString& text) {
    if (text != text_) {
        text_ = text;
        update();
    }
}

void CColorLabel::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), useBackground_ ? background_ : palette().color(QPalette::Button));
    painter.end();
    QFrame::paintEvent(event);  // the sunken edge, where there is one
    QPainter text(this);
    text.setFont(textFont_);
    text.setPen(colour_);
    text.drawText(contentsRect(), Alignment(style_), text_);
}

DialogUnits DialogUnits::ForFont(const QFont& font) {
    const QFontMetricsF metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    DialogUnits units;
    units.baseX = metrics.horizontalAdvance(letters) / 52.0;
    units.baseY = metrics.height();
    return units;
}

QRect DialogUnits::ToPixels(int left, int top, int width, int height) const {
    auto px = [](int du, double base) { return static_cast<int>(std::lround(du * base)); };
    const int x = px(left, baseX / 4), y = px(top, baseY / 8);
    return QRect(x, y, px(left + width, baseX / 4) - x, px(top + height, baseY / 8) - y);
}

CellPlace MonitorCellPlace(int k, int columns) {
    const int row = k / columns, column = k % columns;
    CellPlace place;
    place.label = QRect(kCellPitchX * column + kLabelLeft, kCellPitchY * row + kLabelTop,
                        kLabelWidth, kLabelHeight);
    place.value = QRect(kCellPitchX * column + kValueLeft, kCellPitchY * row + kValueTop,
                        kValueWidth, kValueHeight);
    return place;
}

QRect MonitorGridSize(int count, int columns) {
    const int rows = (count - 1 + columns) / columns;
    return QRect(0, 0, kCellPitchX * columns + 5, kCellPitchY * rows + 5);
}

QString PickFontFamily(const QStringList& preferred, bool fixedPitch) {
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : preferred) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    return QFontDatabase::systemFont(fixedPitch ? QFontDatabase::FixedFont
                                                : QFontDatabase::GeneralFont)
        .family();
}

MonitorDisplay::MonitorDisplay(const CQRLDoc& doc, MonitorViewState& state, QWidget* parent)
    : QScrollArea(parent), doc_(doc), state_(state), canvas_(new QWidget) {
    setObjectName(QStringLiteral("monitorDisplay"));
    setWidgetResizable(false);
    setWidget(canvas_);
    units_ = DialogUnits::ForFont(font());
    labelFace_ = PickFontFamily(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")},
        false);
    valueFace_ = PickFontFamily({QStringLiteral("DejaVu Sans Mono"),
                                 QStringLiteral("Liberation Mono"), QStringLiteral("Noto Mono")},
                                true);
}

int MonitorDisplay::Columns() const {
    return std::clamp<int>(doc_.layoutColumns, 1, 5);
}

void MonitorDisplay::StyleValueBox(CColorLabel* box) const {
    box->SetFont(valueFace_, kFontHeight, contact_ ? kContactColour : kNoContactColour,
                 kValueStyle);
}

void MonitorDisplay::PlaceCell(int k) {
    const CellPlace place = MonitorCellPlace(k, Columns());
    const QRect l = place.label, v = place.value;
    labels_[static_cast<size_t>(k)]->setGeometry(
        units_.ToPixels(l.x(), l.y(), l.width(), l.height()));
    values_[static_cast<size_t>(k)]->setGeometry(
        units_.ToPixels(v.x(), v.y(), v.width(), v.height()));
}

void MonitorDisplay::LayoutMonitors(int count, bool columnsChanged) {
    count = std::clamp(count, 0, static_cast<int>(kMaxMonitors));
    for (int k = CellCount(); k < count; ++k) {
        auto* label = new CColorLabel(canvas_);
        label->setObjectName(QStringLiteral("monitorLabel%1").arg(k));
        label->SetFont(labelFace_, kFontHeight, Qt::black, kLabelStyle);
        auto* value = new CColorLabel(canvas_);
        value->setObjectName(QStringLiteral("monitorValue%1").arg(k));
        value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        value->SetBackground(Qt::black);
        StyleValueBox(value);
        labels_.push_back(label);
        values_.push_back(value);
        PlaceCell(k);
        label->show();
        value->show();
    }
    while (CellCount() > count) {
        delete labels_.back();
        delete values_.back();
        labels_.pop_back();
        values_.pop_back();
    }
    state_.cells.resize(static_cast<size_t>(count));
    if (columnsChanged) {
        for (int k = 0; k < count; ++k) {
            PlaceCell(k);
        }
    }
    const QRect size = MonitorGridSize(count, Columns());
    canvas_->resize(units_.ToPixels(0, 0, size.width(), size.height()).size());
    UpdateView();
}

void MonitorDisplay::UpdateView() {
    const int monitors = std::min<int>(doc_.monitorCount, kMaxMonitors);
    for (int k = 0; k < CellCount(); ++k) {
        std::string label = kInvalidLabel;
        if (k < monitors && !DescribeEntityChannel(
                                doc_, doc_.monitorEntities[static_cast<size_t>(k)],
                                doc_.monitorChannels[static_cast<size_t>(k)], label, true, false)) {
            label = kInvalidLabel;
        }
        const QString text = QString::fromStdString(label);
        labels_[static_cast<size_t>(k)]->SetText(text);
        // The label's box is small; the whole label is always one hover away.
        labels_[static_cast<size_t>(k)]->setToolTip(text);
        values_[static_cast<size_t>(k)]->setToolTip(text);
        StyleValueBox(values_[static_cast<size_t>(k)]);
    }
}

void MonitorDisplay::SetContactState(bool contact) {
    AppSetCommsLamp(contact);
    contact_ = contact;
    for (CColorLabel* box : values_) {
        StyleValueBox(box);
    }
}

void MonitorDisplay::ApplyTimerResult(const MonitorTimerResult& result) {
    if (result.textsCopied) {
        const size_t n = std::min(values_.size(), state_.cells.size());
        for (size_t k = 0; k < n; ++k) {
            values_[k]->SetText(QString::fromStdString(state_.cells[k]));
        }
    }
    SetContactState(result.contact);
}

}  // namespace kvr
