// "Choose Measuring Entity": radio buttons for the entities and the four channels,
// mirroring ChooseEntityLogic, which decides every state, caption and check.
//
// Integration: set the logic's entity, channel and restrictions, then
//   if (RunChooseEntity(parent, logic)) { use logic.entity, logic.channel, logic.Message() }
// In add mode (the monitor form) the logic's onAdd receives each added pair.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <array>

#include "measure/ChooseEntity.h"

class QPushButton;
class QRadioButton;

namespace kvr {

class CChooseEntityDlg final : public QDialog {
    Q_OBJECT
  public:
    // Opens the logic (its choices computed from entity, channel and the restrictions).
    CChooseEntityDlg(ChooseEntityLogic& logic, QWidget* parent = nullptr);

    QRadioButton* EntityButton(MeasuredEntity e) const;
    QRadioButton* ChannelButton(int index) const;
    QPushButton* OkButton() const { return ok_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* CancelButton() const { return cancel_; }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Sync();
    void OnOk();
    void OnAdd();

    ChooseEntityLogic& logic_;
    std::array<QRadioButton*, kEntityMax + 1> entities_{};  // index 0 unused
    std::array<QRadioButton*, kChannelObjects> channels_{};
    QPushButton* ok_;
    QPushButton* add_;
    QPushButton* cancel_;
    // The parent, moved aside while the add-mode form stands beside it.
    QPointer<QWidget> movedParent_;
    QPoint parentHome_;
};

// Where the add-mode chooser and the form it serves go, side by side: the chooser at the
// form's right; the form moves left only as far as the pair needs to stay inside the area
// (the main window, within the screen), never out of it; the chooser stays on the screen.
struct BesidePlacement {
    QPoint form;
    QPoint chooser;
};
BesidePlacement PlaceBeside(const QRect& form, const QSize& chooser, const QRect& area,
                            const QRect& screen);

// Modal; true when it closed with OK (never in add mode).
bool RunChooseEntity(QWidget* parent, ChooseEntityLogic& logic);

}  // namespace kvr
