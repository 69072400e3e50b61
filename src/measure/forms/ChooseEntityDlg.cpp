#include "measure/forms/ChooseEntityDlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kvr {

CChooseEntityDlg::CChooseEntityDlg(ChooseEntityLogic& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    setWindowTitle(QString::fromUtf8(kChooseEntityTitle));
    logic_.Open();

    auto* entityBox = new QGroupBox(QStringLiteral("Measuring Entity"), this);
    auto* entityLayout = new QVBoxLayout(entityBox);
    for (MeasuredEntity e = entity::kVoltage; e <= entity::kLast; ++e) {
        auto* button = new QRadioButton(QString::fromUtf8(logic_.EntityChoiceAt(e).label));
        button->setObjectName(QStringLiteral("entity%1").arg(e));
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
    for (MeasuredEntity e = entity::kVoltage; e <= entity::kLast; ++e) {
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
    // Beside the parent: the parent gives up half the form's width to the left.
    movedParent_ = parent;
    parentHome_ = parent->pos();
    parent->move(parentHome_.x() - frameGeometry().width() / 2, parentHome_.y());
    move(parent->frameGeometry().right() + 1, parent->frameGeometry().top());
}

void CChooseEntityDlg::done(int result) {
    if (!movedParent_.isNull()) {
        movedParent_->move(parentHome_);
        movedParent_.clear();
    }
    QDialog::done(result);
}

bool RunChooseEntity(QWidget* parent, ChooseEntityLogic& logic) {
    CChooseEntityDlg form(logic, parent);
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
