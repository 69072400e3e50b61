// The main view's monitor display: a scrolling grid of cells, each a label naming the
// monitor and a sunken value box whose text colour says whether the unit answers.
//
// Integration (the view owns a MonitorViewState and the document):
//   auto* display = new MonitorDisplay(doc, viewState, parent);
//   display->LayoutMonitors(0, false);                    // first showing
//   display->SetContactState(false);
//   // every 100 ms:
//   display->ApplyTimerResult(MonitorTimerStep(doc, shared, viewState));
//   // "&Monitors...": pass [display](int n, bool c) { display->LayoutMonitors(n, c); }
//   // as the layout callback; on a document change call display->UpdateView().
#pragma once

#include <QColor>
#include <QFrame>
#include <QRect>
#include <QScrollArea>
#include <QString>
#include <vector>

#include "document/QRLDoc.h"
#include "monitor/MonitorTimer.h"

namespace kvr {

// Style bits of a CColorLabel's font.
namespace label_style {
inline constexpr unsigned kBold = 0x1;
inline constexpr unsigned kItalic = 0x2;
inline constexpr unsigned kUnderline = 0x4;
inline constexpr unsigned kStrikeOut = 0x8;
inline constexpr unsigned kAntialias = 0x10;
inline constexpr unsigned kCentre = 0x20;
inline constexpr unsigned kRight = 0x80;
inline constexpr unsigned kSingleTop = 0x100;
inline constexpr unsigned kSingleVCentre = 0x200;
inline constexpr unsigned kSingleBottom = 0x400;
}  // namespace label_style

// A text control that paints its own text in a chosen face, size, colour and style,
// on its own background colour or the face colour of buttons.
class CColorLabel final : public QFrame {
    Q_OBJECT
  public:
    explicit CColorLabel(QWidget* parent = nullptr);
    // Face, pixel height, text colour and style bits together, as one font.
    void SetFont(const QString& face, int height, const QColor& colour, unsigned style);
    void SetBackground(const QColor& colour);
    void SetText(const QString& text);
    QString Text() const { return text_; }
    QColor TextColour() const { return colour_; }
    unsigned Style() const { return style_; }
    const QFont& TextFont() const { return textFont_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    QFont textFont_;
    QColor colour_{Qt::black};
    QColor background_;
    bool useBackground_ = false;
    unsigned style_ = 0;
};

// The mapping from dialog units to pixels of a font: a quarter of its average character
// width across, an eighth of its height down.
struct DialogUnits {
    double baseX = 6;
    double baseY = 13;
    static DialogUnits ForFont(const QFont& font);
    QRect ToPixels(int left, int top, int width, int height) const;
};

// Where cell k sits (in dialog units, left/top/width/height) for a number of columns.
struct CellPlace {
    QRect label;
    QRect value;
};
CellPlace MonitorCellPlace(int k, int columns);
// The scrollable size of n cells in dialog units.
QRect MonitorGridSize(int count, int columns);

inline const QColor kContactColour{0, 255, 0};
inline const QColor kNoContactColour{255, 0, 0};

class MonitorDisplay final : public QScrollArea {
    Q_OBJECT
  public:
    // The view's state keeps one value text per cell: LayoutMonitors resizes its cells.
    MonitorDisplay(const CQRLDoc& doc, MonitorViewState& state, QWidget* parent = nullptr);

    // Builds or removes cells up to count (0 to 60), places them for the document's
    // columns (moving the old ones when the columns changed), sizes the scrolled area and
    // refreshes the labels.
    void LayoutMonitors(int count, bool columnsChanged);
    // Labels from the document's monitors ("Invalid!" for one the unit does not have),
    // value boxes restyled for the contact flag.
    void UpdateView();
    // Tells the status bar's lamp, keeps the flag and restyles every value box.
    void SetContactState(bool contact);
    // One timer tick's outcome: fresh texts into the boxes, then the contact colours.
    void ApplyTimerResult(const MonitorTimerResult& result);

    int CellCount() const { return static_cast<int>(labels_.size()); }
    int Columns() const;
    bool Contact() const { return contact_; }
    CColorLabel* Label(int k) const { return labels_.at(static_cast<size_t>(k)); }
    CColorLabel* ValueBox(int k) const { return values_.at(static_cast<size_t>(k)); }
    const DialogUnits& Units() const { return units_; }
    QWidget* Canvas() const { return canvas_; }

  private:
    void StyleValueBox(CColorLabel* box) const;
    void PlaceCell(int k);

    const CQRLDoc& doc_;
    MonitorViewState& state_;
    QWidget* canvas_;
    DialogUnits units_;
    QString labelFace_;
    QString valueFace_;
    std::vector<CColorLabel*> labels_;
    std::vector<CColorLabel*> values_;
    bool contact_ = false;
};

// The first of the preferred families that is installed, else the system's fixed-pitch
// (or general) font's family.
QString PickFontFamily(const QStringList& preferred, bool fixedPitch);

}  // namespace kvr
