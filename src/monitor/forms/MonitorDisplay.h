// The main view's monitor display: a grid of cells as wide as the window, in the
// configured number of columns, each a label naming the monitor (whole, over as many lines
// as it needs) above a sunken value box whose text, right-aligned in a large fixed-pitch
// font, is green while the unit answers and red while it does not.
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
#include <functional>
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
    // Face, pixel height, text colour and style bits together, as one font. An invalid
    // colour paints in the palette's text colour.
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
    QColor colour_;
    QColor background_;
    bool useBackground_ = false;
    unsigned style_ = 0;
};

// Where the cells sit, in pixels, for the width the grid may use: the configured columns
// share the width; each cell is its label (as many lines as the longest label needs) over
// its value box. Plain arithmetic, so tests can call it without a window.
struct MonitorGridGeometry {
    static constexpr int kMargin = 6;
    static constexpr int kGap = 10;  // between columns and between rows
    int columns = 1;
    int cellWidth = 0;
    int labelHeight = 0;
    int valueHeight = 0;

    // minCellWidth keeps cells usable in a narrow window (the grid then scrolls across).
    static MonitorGridGeometry For(int width, int columns, int minCellWidth);
    QRect Label(int k) const;
    QRect Value(int k) const;
    // The size of the area n cells fill.
    QSize Canvas(int count) const;
};

// A monitor label broken into lines of at most width: after " : " and " / " first, then at
// other blanks only where a part alone is too wide. textWidth measures a line.
QString WrapMonitorLabel(const QString& label, int width,
                         const std::function<int(const QString&)>& textWidth);

// The value font's pixel size for a cell width: as large as fits a value of up to
// kValueChars characters, no smaller than the label font and no larger than the cap.
inline constexpr int kValueChars = 11;
int MonitorValuePixelSize(int cellWidth, double advancePerPixel, int labelPixels);

inline const QColor kContactColour{0, 255, 0};
inline const QColor kNoContactColour{255, 0, 0};

class MonitorDisplay final : public QScrollArea {
    Q_OBJECT
  public:
    // The view's state keeps one value text per cell: LayoutMonitors resizes its cells.
    MonitorDisplay(const CQRLDoc& doc, MonitorViewState& state, QWidget* parent = nullptr);

    // Builds or removes cells up to count (0 to 60), places them for the document's
    // columns and the window's width, and refreshes the labels. Every cell is placed
    // afresh, so a change of columns needs no flag (it is kept for the callers).
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
    QWidget* Canvas() const { return canvas_; }
    const MonitorGridGeometry& Geometry() const { return grid_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void StyleValueBox(CColorLabel* box) const;
    // Fits the grid to the width: cell size, value font, label lines, every cell's place.
    void Relayout();

    const CQRLDoc& doc_;
    MonitorViewState& state_;
    QWidget* canvas_;
    MonitorGridGeometry grid_;
    int valuePixels_ = 14;
    QString valueFace_;
    std::vector<QString> labelTexts_;  // unwrapped
    std::vector<CColorLabel*> labels_;
    std::vector<CColorLabel*> values_;
    bool contact_ = false;
};

// The first of the preferred families that is installed, else the system's fixed-pitch
// (or general) font's family.
QString PickFontFamily(const QStringList& preferred, bool fixedPitch);

}  // namespace kvr
