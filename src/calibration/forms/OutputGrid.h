// What the output calibration forms lay out alike: the head of the twelve-output grid,
// the level choices and the width of a field that shows a level.
#pragma once

#include <QStringList>
#include <functional>

class QDialog;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kvr {

// "Lower" and "Upper" in row 0 over `span` columns each from column 1, and "Output n" in
// column 0 of row n, each caption enabled as its output's lower point is.
void AddOutputGridHead(QGridLayout* grid, QWidget* owner, int span,
                       const std::function<bool(int point)>& pointEnabled);

// The level choices as the lists show them.
QStringList OutputLevelList();

// The foot of the two calibration forms and their layout: `grid`, the framed note under
// it, then OK and Cancel at the right with their tool tips, neither taking Enter. Cancel
// rejects the form; what OK does is the form's.
struct CalibrationFoot {
    QLabel* note;
    QPushButton* ok;
    QPushButton* cancel;
};
CalibrationFoot LayOutCalibrationForm(QDialog* form, QGridLayout* grid);

// Wide enough for the widest level text, "-20.00 mA".
void FitLevelField(QLineEdit* field);

}  // namespace kvr
