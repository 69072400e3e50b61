#include "measure/forms/ChooseEntityDlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace kvr {

CChooseEntityDlg::CChooseEntityDlg(ChooseEntityLogic& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    setWindowTitle(QString::fromUtf8(kChooseEntityTitle));
    logic_.Open();

    auto* entityBox = new QGroupBox(QStringLiteral("Measuring Entity"), this);
    auto* entityLayout = new QVBoxLayout(entityBox);
    for (MeasuredEntity e : entity::kAll) {
        auto* button = new QRadioButton(QString::fromUtf8(logic_.EntityChoiceAt(e).label));
        button->setObjectName(QStringLiteral("entity%1").arg(EntityCode(e)));
        // The logic keeps the one selection; the buttons only show it.
        button->setAutoExclusive(false);
        entityLayout->addWidget(button);
        connect(button, &QRadioButton::clicked, this, [this, e] {
            logic_.SelectEntity(e);
            Sync();
        });
        entities_[static_cast<size_t>(e)] = button;
    }

    auto* channelBox = new QGroupBox(QStringLiteral("Channel"), this);
    auto* channelLayout = new QVBoxLayout(channelBox);
    for (int i = 0; i < kChannelObjects; ++i) {
        auto* button = new QRadioButton(channelBox);
        button->setObjectName(QStringLiteral("channel%1").arg(i));
        button->setAutoExclusive(false);
        channelLayout->addWidget(button);
        connect(button, &QRadioButton::clicked, this, [this, i] {
            logic_.SelectChannel(i);
            Sync();
        });
        channels_[static_cast<size_t>(i)] = button;
    }
    channelLayout->addStretch();

    ok_ = new QPushButton(QString::fromUtf8(logic_.OkCaption()), this);
    ok_->setDefault(true);
    add_ = new QPushButton(QStringLiteral("&Add"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    // In add mode the closing button already ends the form as cancelled.
    add_->setVisible(logic_.AddMode());
    cancel_->setVisible(!logic_.AddMode());
    connect(ok_, &QPushButton::clicked, this, &CChooseEntityDlg::OnOk);
    connect(add_, &QPushButton::clicked, this, &CChooseEntityDlg::OnAdd);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok_);
    buttons->addWidget(add_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(entityBox);
    layout->addWidget(channelBox);
    layout->addLayout(buttons);
    // The form keeps its size whatever the channel captions say: they are measured for
    // every entity that can be picked.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ChooseEntityLogic probe = logic_;
    int widest = 0;
    for (MeasuredEntity e : entity::kAll) {
        if (!probe.SelectEntity(e)) {
            continue;
        }
        for (int i = 0; i < kChannelObjects; ++i) {
            channels_[0]->setText(QString::fromStdString(probe.ChannelChoiceAt(i).text));
            widest = std::max(widest, channels_[0]->sizeHint().width());
        }
    }
    for (QRadioButton* button : channels_) {
        button->setMinimumWidth(widest);
    }
    Sync();
}

QRadioButton* CChooseEntityDlg::EntityButton(MeasuredEntity e) const {
    return e >= entity::kVoltage && e <= entity::kLast ? entities_[static_cast<size_t>(e)]
                                                       : nullptr;
}

QRadioButton* CChooseEntityDlg::ChannelButton(int index) const {
    return index >= 0 && index < kChannelObjects ? channels_[static_cast<size_t>(index)] : nullptr;
}

void CChooseEntityDlg::Sync() {
    for (MeasuredEntity e : entity::kAll) {
        const ChooseEntityLogic::EntityChoice& choice = logic_.EntityChoiceAt(e);
        QRadioButton* button = entities_[static_cast<size_t>(e)];
        button->setVisible(choice.visible);
        button->setEnabled(choice.enabled);
        button->setChecked(logic_.SelectedEntity() == e);
    }
    for (int i = 0; i < kChannelObjects; ++i) {
        const ChooseEntityLogic::ChannelChoice& choice = logic_.ChannelChoiceAt(i);
        QRadioButton* button = channels_[static_cast<size_t>(i)];
        button->setText(QString::fromStdString(choice.text));
        button->setEnabled(choice.enabled);
        button->setChecked(choice.selected);
    }
    // Enter adds while the choice can be added; otherwise it closes.
    const int channel = logic_.SelectedChannel();
    const bool addable = logic_.AddMode() && logic_.SelectedEntity() != entity::kNone &&
                         channel >= 0 && logic_.ChannelChoiceAt(channel).enabled;
    add_->setDefault(addable);
    ok_->setDefault(!addable);
}

void CChooseEntityDlg::OnOk() {
    switch (logic_.Ok()) {
        case ChooseResult::Close:
            accept();
            break;
        case ChooseResult::CloseCancelled:
            reject();
            break;
        case ChooseResult::Stay:
            Sync();
            break;
    }
}

void CChooseEntityDlg::OnAdd() {
    logic_.Add();
    Sync();
}

void CChooseEntityDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QWidget* parent = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (!logic_.AddMode() || parent == nullptr || !movedParent_.isNull()) {
        return;
    }
    // Beside the parent, both inside the main window where there is room.
    movedParent_ = parent;
    parentHome_ = parent->pos();
    const QRect screen = parent->screen()->availableGeometry();
    QWidget* main = parent->parentWidget() != nullptr ? parent->parentWidget()->window() : nullptr;
    const QRect area = main != nullptr ? main->frameGeometry() & screen : screen;
    const BesidePlacement place =
        PlaceBeside(parent->frameGeometry(), frameGeometry().size(), area, screen);
    parent->move(parentHome_ + (place.form - parent->frameGeometry().topLeft()));
    move(place.chooser);
}

void CChooseEntityDlg::done(int result) {
    if (!movedParent_.isNull()) {
        movedParent_->move(parentHome_);
        movedParent_.clear();
    }
    QDialog::done(result);
}

BesidePlacement PlaceBeside(const QRect& form, const QSize& chooser, const QRect& area,
                            const QRect& screen) {
    const QRect room = area.isEmpty() ? screen : area;
    // The form moves left by what the pair would stick out at the right, no further
    // than the area's left edge.
    const int overflow = form.left() + form.width() + chooser.width() - (room.right() + 1);
    const int formLeft =
        std::max(std::min(form.left(), room.left()), form.left() - std::max(0, overflow));
    BesidePlacement place;
    place.form = QPoint(formLeft, form.top());
    const int chooserLeft =
        std::clamp(formLeft + form.width(), screen.left(),
                   std::max(screen.left(), screen.right() + 1 - chooser.width()));
    const int chooserTop = std::clamp(
        form.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - chooser.height()));
    place.chooser = QPoint(chooserLeft, chooserTop);
    return place;
}

bool RunChooseEntity(QWidget* parent, ChooseEntityLogic& logic) {
    CChooseEntityDlg form(logic, parent);
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
