#include "monitor/forms/MonitorConfigForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "measure/forms/ChooseEntityDlg.h"
#include "monitor/forms/LogFileForm.h"

namespace kvr {

namespace {

QToolButton* Arrow(QWidget* parent, Qt::ArrowType type, const QString& name) {
    auto* button = new QToolButton(parent);
    button->setArrowType(type);
    button->setObjectName(name);
    return button;
}

}  // namespace

CMonitorConfigForm::CMonitorConfigForm(MonitorConfig& config, QWidget* parent)
    : QDialog(parent), config_(config), logChooser_(&RunLogFileForm) {
    setWindowTitle(QString::fromUtf8(kMonitorFormTitle));

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("monitors"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setToolTip(QStringLiteral("The list of currently loaded monitors."));
    list_->setMinimumWidth(320);
    auto* listLabel = new QLabel(QStringLiteral("Monitored Entities"), this);
    listLabel->setBuddy(list_);

    up_ = Arrow(this, Qt::UpArrow, QStringLiteral("moveUp"));
    down_ = Arrow(this, Qt::DownArrow, QStringLiteral("moveDown"));
    up_->setToolTip(QStringLiteral("Move the selected monitor up."));
    down_->setToolTip(QStringLiteral("Move the selected monitor down."));

    add_ = new QPushButton(QString::fromUtf8("\u2190 &Add"), this);
    add_->setToolTip(QStringLiteral("Add a new monitor."));
    remove_ = new QPushButton(QString::fromUtf8("\u2192 &Remove"), this);
    remove_->setToolTip(QStringLiteral("Delete the selected monitor."));
    openLog_ = new QPushButton(QStringLiteral("&Open Log ..."), this);
    openLog_->setToolTip(QStringLiteral("Selects the output file for logging the monitors."));
    closeLog_ = new QPushButton(QStringLiteral("Clo&se Log"), this);
    closeLog_->setToolTip(QStringLiteral("Closes the current log file."));

    columns_ = new QLineEdit(this);
    columns_->setObjectName(QStringLiteral("columns"));
    columns_->setMaximumWidth(48);
    columnsUp_ = Arrow(this, Qt::UpArrow, QStringLiteral("columnsUp"));
    columnsDown_ = Arrow(this, Qt::DownArrow, QStringLiteral("columnsDown"));
    auto* columnsLabel = new QLabel(QStringLiteral("Col&umns in layout :"), this);
    columnsLabel->setBuddy(columns_);

    close_ = new QPushButton(QStringLiteral("C&lose"), this);
    close_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);

    auto* arrows = new QVBoxLayout;
    arrows->addStretch();
    arrows->addWidget(up_);
    arrows->addWidget(down_);
    arrows->addStretch();
    auto* side = new QVBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(add_), static_cast<QWidget*>(remove_),
                       static_cast<QWidget*>(openLog_), static_cast<QWidget*>(closeLog_)}) {
        side->addWidget(w);
    }
    auto* columnsRow = new QHBoxLayout;
    columnsRow->addWidget(columnsLabel);
    columnsRow->addWidget(columns_);
    auto* spin = new QVBoxLayout;
    spin->setSpacing(0);
    spin->addWidget(columnsUp_);
    spin->addWidget(columnsDown_);
    columnsRow->addLayout(spin);
    side->addLayout(columnsRow);
    side->addStretch();
    side->addWidget(close_);
    side->addWidget(cancel_);

    auto* grid = new QGridLayout(this);
    grid->addWidget(listLabel, 0, 0);
    grid->addWidget(list_, 1, 0);
    grid->addLayout(arrows, 1, 1);
    grid->addLayout(side, 1, 2);

    connect(list_, &QListWidget::itemSelectionChanged, this,
            &CMonitorConfigForm::OnSelectionChanged);
    connect(add_, &QPushButton::clicked, this, &CMonitorConfigForm::OnAdd);
    connect(remove_, &QPushButton::clicked, this, &CMonitorConfigForm::OnRemove);
    connect(up_, &QToolButton::clicked, this, [this] { OnMove(true); });
    connect(down_, &QToolButton::clicked, this, [this] { OnMove(false); });
    connect(columnsUp_, &QToolButton::clicked, this, [this] { OnStepColumns(1); });
    connect(columnsDown_, &QToolButton::clicked, this, [this] { OnStepColumns(-1); });
    connect(openLog_, &QPushButton::clicked, this, &CMonitorConfigForm::OnOpenLog);
    connect(closeLog_, &QPushButton::clicked, this, &CMonitorConfigForm::OnCloseLog);
    connect(close_, &QPushButton::clicked, this, &CMonitorConfigForm::OnClose);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    columns_->setText(QString::fromStdString(config_.columnsText));
    FillList();
    SyncButtons();
}

void CMonitorConfigForm::FillList() {
    filling_ = true;
    list_->clear();
    for (const MonitorRow& row : config_.Rows()) {
        auto* item = new QListWidgetItem(QString::fromStdString(row.text), list_);
        item->setData(Qt::UserRole, static_cast<int>(row.key));
    }
    for (int index : config_.Selection()) {
        list_->item(index)->setSelected(true);
    }
    if (config_.Focus() >= 0) {
        list_->setCurrentRow(config_.Focus(), QItemSelectionModel::NoUpdate);
    }
    filling_ = false;
}

void CMonitorConfigForm::OnSelectionChanged() {
    if (filling_) {
        return;
    }
    std::vector<int> selected;
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->isSelected()) {
            selected.push_back(i);
        }
    }
    config_.SetSelection(selected, list_->currentRow());
    SyncButtons();
}

void CMonitorConfigForm::OnAdd() {
    ChooseEntityLogic* chooser = config_.BeginAdd();
    if (chooser == nullptr) {
        return;
    }
    // Rows added while the chooser is open show at once.
    ChooseEntityLogic::AddHandler add = chooser->onAdd;
    chooser->onAdd = [this, add](MeasuredEntity e, int channel) {
        add(e, channel);
        FillList();
    };
    RunChooseEntity(this, *chooser);
    config_.EndAdd();
    FillList();
    SyncButtons();
}

void CMonitorConfigForm::OnRemove() {
    if (config_.Remove()) {
        FillList();
        SyncButtons();
    }
}

void CMonitorConfigForm::OnMove(bool up) {
    if (config_.Move(up)) {
        FillList();
    }
}

void CMonitorConfigForm::OnStepColumns(int step) {
    bool whole = false;
    const int now = columns_->text().trimmed().toInt(&whole);
    const int next = whole ? std::clamp(now + step, kMinColumns, kMaxColumns) : kMinColumns;
    columns_->setText(QString::number(next));
}

void CMonitorConfigForm::OnOpenLog() {
    std::string path = config_.logPath;
    uint32_t interval = config_.logIntervalMs;
    if (logChooser_ && logChooser_(this, path, interval)) {
        config_.LogChosen(path, interval);
    }
    SyncButtons();
}

void CMonitorConfigForm::OnCloseLog() {
    config_.CloseLog();
    SyncButtons();
}

void CMonitorConfigForm::OnClose() {
    config_.columnsText = columns_->text().toStdString();
    switch (config_.Close()) {
        case MonitorFormEnd::Ok:
            accept();
            break;
        case MonitorFormEnd::Cancelled:
            reject();
            break;
        case MonitorFormEnd::StayOpen:
            break;
    }
}

void CMonitorConfigForm::SyncButtons() {
    remove_->setEnabled(config_.RemoveEnabled());
    closeLog_->setEnabled(config_.CloseLogEnabled());
}

bool RunMonitorConfigForm(QWidget* parent, CQRLDoc& doc, MonitorConfig& config,
                          MonitorViewState& view,
                          const std::function<void(int count, bool columnsChanged)>& layout) {
    auto show = [parent, &config] {
        CMonitorConfigForm form(config, parent);
        return form.exec() == QDialog::Accepted;
    };
    return RunMonitorsCommand(doc, config, view.LogSettings(), show, layout);
}

}  // namespace kvr
