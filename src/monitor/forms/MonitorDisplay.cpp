#include "monitor/forms/MonitorDisplay.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "base/UserSeam.h"
#include "measure/EntityChannel.h"

namespace kvr {

namespace {

constexpr unsigned kLabelStyle = label_style::kAntialias;
constexpr unsigned kValueStyle = label_style::kBold | label_style::kAntialias |
                                 label_style::kSingleVCentre | label_style::kRight;
// The largest value font: beyond it a wide window only gains blank room.
constexpr int kMaxValuePixels = 36;
// Space inside a value box around its text.
constexpr int kValuePadding = 4;
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
    painter.fillRect(rect(), useBackground_ ? background_ : palette().color(QPalette::Window));
    painter.end();
    QFrame::paintEvent(event);  // the sunken edge, where there is one
    QPainter text(this);
    text.setFont(textFont_);
    text.setPen(colour_.isValid() ? colour_ : palette().color(QPalette::WindowText));
    const int pad = frameWidth() > 0 ? kValuePadding : 0;
    text.drawText(contentsRect().adjusted(pad, 0, -pad, 0), Alignment(style_), text_);
}

MonitorGridGeometry MonitorGridGeometry::For(int width, int columns, int minCellWidth) {
    MonitorGridGeometry g;
    g.columns = std::max(1, columns);
    const int room = width - 2 * kMargin - (g.columns - 1) * kGap;
    g.cellWidth = std::max(minCellWidth, room / g.columns);
    return g;
}

QRect MonitorGridGeometry::Label(int k) const {
    const int row = k / columns, column = k % columns;
    const int pitchY = labelHeight + valueHeight + kGap;
    return QRect(kMargin + column * (cellWidth + kGap), kMargin + row * pitchY, cellWidth,
                 labelHeight);
}

QRect MonitorGridGeometry::Value(int k) const {
    const QRect label = Label(k);
    return QRect(label.left(), label.bottom() + 1, cellWidth, valueHeight);
}

QSize MonitorGridGeometry::Canvas(int count) const {
    if (count <= 0) {
        return QSize(0, 0);
    }
    const int rows = (count + columns - 1) / columns;
    const int used = std::min(count, columns);
    return QSize(2 * kMargin + used * cellWidth + (used - 1) * kGap,
                 2 * kMargin + rows * (labelHeight + valueHeight) + (rows - 1) * kGap);
}

QString WrapMonitorLabel(const QString& label, int width,
                         const std::function<int(const QString&)>& textWidth) {
    // The parts, each ending with its " : " or " / " (the blank after it dropped).
    QStringList parts;
    const QString text = label.trimmed();
    int start = 0;
    for (int i = 0; i + 2 < text.size(); ++i) {
        if (text[i] == QLatin1Char(' ') &&
            (text[i + 1] == QLatin1Char(':') || text[i + 1] == QLatin1Char('/')) &&
            text[i + 2] == QLatin1Char(' ')) {
            parts << text.mid(start, i + 2 - start);
            start = i + 3;
        }
    }
    parts << text.mid(start);

    QStringList lines;
    for (const QString& part : parts) {
        if (!lines.isEmpty() && textWidth(lines.back() + QLatin1Char(' ') + part) <= width) {
            lines.back() += QLatin1Char(' ') + part;
            continue;
        }
        // A part too wide for a line of its own breaks at its blanks.
        QString line;
        for (const QString& word : part.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && textWidth(longer) > width) {
                lines << line;
                line = word;
            } else {
                line = longer;
            }
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

int MonitorValuePixelSize(int cellWidth, double advancePerPixel, int labelPixels) {
    const double room = cellWidth - 2 * (kValuePadding + 2);
    const int fits = static_cast<int>(room / (kValueChars * std::max(advancePerPixel, 0.1)));
    return std::clamp(fits, labelPixels, std::max(labelPixels, kMaxValuePixels));
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
    valueFace_ = PickFontFamily({QStringLiteral("DejaVu Sans Mono"),
                                 QStringLiteral("Liberation Mono"), QStringLiteral("Noto Mono")},
                                true);
}

int MonitorDisplay::Columns() const {
    return std::clamp<int>(doc_.Monitors().columns, 1, 5);
}

void MonitorDisplay::StyleValueBox(CColorLabel* box) const {
    box->SetFont(valueFace_, valuePixels_, contact_ ? kContactColour : kNoContactColour,
                 kValueStyle);
}

void MonitorDisplay::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    Relayout();
}

void MonitorDisplay::changeEvent(QEvent* event) {
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Relayout();
    }
}

void MonitorDisplay::Relayout() {
    const QFontMetrics labelMetrics(font());
    // The room of a vertical scroll bar is always kept, so that its coming and going
    // never changes the layout that made it come or go.
    const int width = contentsRect().width() - verticalScrollBar()->sizeHint().width();
    grid_ = MonitorGridGeometry::For(width, Columns(), 10 * labelMetrics.averageCharWidth());

    QFont probe(valueFace_);
    probe.setPixelSize(100);
    probe.setWeight(QFont::Black);
    const double advance = QFontMetricsF(probe).horizontalAdvance(QLatin1Char('0')) / 100.0;
    const int labelPixels = QFontInfo(font()).pixelSize();
    valuePixels_ = MonitorValuePixelSize(grid_.cellWidth, advance, labelPixels);
    QFont valueFont(valueFace_);
    valueFont.setPixelSize(valuePixels_);
    valueFont.setWeight(QFont::Black);
    grid_.valueHeight = QFontMetrics(valueFont).height() + 2 * kValuePadding;

    int lines = 1;
    const auto measure = [&labelMetrics](const QString& t) {
        return labelMetrics.horizontalAdvance(t);
    };
    for (size_t k = 0; k < labels_.size(); ++k) {
        const QString wrapped = WrapMonitorLabel(labelTexts_[k], grid_.cellWidth, measure);
        labels_[k]->SetFont(font().family(), labelPixels, QColor(), kLabelStyle);
        labels_[k]->SetText(wrapped);
        lines = std::max<int>(lines, static_cast<int>(wrapped.count(QLatin1Char('\n'))) + 1);
    }
    grid_.labelHeight = lines * labelMetrics.lineSpacing() + 2;

    for (int k = 0; k < CellCount(); ++k) {
        labels_[static_cast<size_t>(k)]->setGeometry(grid_.Label(k));
        values_[static_cast<size_t>(k)]->setGeometry(grid_.Value(k));
        StyleValueBox(values_[static_cast<size_t>(k)]);
    }
    canvas_->resize(grid_.Canvas(CellCount()).expandedTo(QSize(width, 0)));
}

void MonitorDisplay::LayoutMonitors(int count, bool /*columnsChanged*/) {
    count = std::clamp(count, 0, static_cast<int>(kMaxMonitors));
    for (int k = CellCount(); k < count; ++k) {
        auto* label = new CColorLabel(canvas_);
        label->setObjectName(QStringLiteral("monitorLabel%1").arg(k));
        auto* value = new CColorLabel(canvas_);
        value->setObjectName(QStringLiteral("monitorValue%1").arg(k));
        value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        value->SetBackground(Qt::black);
        labels_.push_back(label);
        values_.push_back(value);
        labelTexts_.emplace_back();
        label->show();
        value->show();
    }
    while (CellCount() > count) {
        delete labels_.back();
        delete values_.back();
        labels_.pop_back();
        values_.pop_back();
        labelTexts_.pop_back();
    }
    state_.cells.resize(static_cast<size_t>(count));
    UpdateView();
}

void MonitorDisplay::UpdateView() {
    const MonitorList& monitors = doc_.Monitors();
    for (int k = 0; k < CellCount(); ++k) {
        std::string label = kInvalidLabel;
        const size_t at = static_cast<size_t>(k);
        if (at < monitors.Size() &&
            !DescribeEntityChannel(doc_, monitors.EntityAt(at), monitors.channels[at], label, true,
                                   false)) {
            label = kInvalidLabel;
        }
        const QString text = QString::fromStdString(label).trimmed();
        labelTexts_[static_cast<size_t>(k)] = text;
        labels_[static_cast<size_t>(k)]->setToolTip(text);
        values_[static_cast<size_t>(k)]->setToolTip(text);
    }
    Relayout();  // the labels' lines may have changed
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
