#include "modules/forms/LineTraceWindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "base/Files.h"
#include "base/UserSeam.h"

namespace kvr {

namespace {

// Rows the table takes in one go are moved in by this timer, never one repaint a byte.
constexpr int kTakeIntervalMs = 100;
// The highest unit address the filter offers (0-3 measuring boards, 4 Com, 5 Display).
constexpr int kHighestAddress = 7;

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

bool ChooseFileWithForm(QWidget* owner, std::string& path) {
    QFileDialog dialog(owner, QStringLiteral("Save As"), QString(),
                       QStringLiteral("Text Files (*.txt);;All Files (*)"));
    dialog.setObjectName(QStringLiteral("traceSaveAs"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // Replacing a file is asked through the message seam below.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(QStringLiteral("line-trace.txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    path = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
    return true;
}

}  // namespace

// --- the table -------------------------------------------------------------------------

TraceTableModel::TraceTableModel(size_t capacity, QObject* parent)
    : QAbstractTableModel(parent), capacity_(capacity) {}

int TraceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TraceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant TraceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const TraceEntry& e = Entry(index.row());
    switch (index.column()) {
        case kTime:
            return Text(TraceTimeText(e.timeMs));
        case kDirection:
            return QString(QChar::fromLatin1(e.direction));
        case kCommand:
            return Text(e.command);
        case kCheck:
            return Text(e.check);
        case kReply:
            return e.replyMs >= 0 ? QVariant(Text(std::to_string(e.replyMs) + " ms")) : QVariant();
        case kBytes:
            if (role == Qt::ToolTipRole) {
                return Text(std::to_string(e.transferred) + " of " + std::to_string(e.requested) +
                            " bytes");
            }
            return Text(TraceHexText(e.bytes));
        default:
            return {};
    }
}

QVariant TraceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const kHeaders[kColumns] = {"Time",     "Dir",        "Command",
                                                   "Checksum", "Reply time", "Bytes"};
    return section >= 0 && section < kColumns ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

void TraceTableModel::Append(std::vector<TraceEntry> batch) {
    if (batch.empty()) {
        return;
    }
    if (batch.size() > capacity_) {
        batch.erase(batch.begin(), batch.end() - static_cast<std::ptrdiff_t>(capacity_));
    }
    const size_t over =
        entries_.size() + batch.size() > capacity_ ? entries_.size() + batch.size() - capacity_ : 0;
    if (over > 0) {
        beginRemoveRows({}, 0, static_cast<int>(over) - 1);
        entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(over));
        endRemoveRows();
    }
    const int first = static_cast<int>(entries_.size());
    beginInsertRows({}, first, first + static_cast<int>(batch.size()) - 1);
    for (TraceEntry& e : batch) {
        entries_.push_back(std::move(e));
    }
    endInsertRows();
}

void TraceTableModel::Clear() {
    beginResetModel();
    entries_.clear();
    endResetModel();
}

void TraceFilterModel::SetFilter(const TraceFilter& filter) {
    filter_ = filter;
    invalidateFilter();
}

bool TraceFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const auto* model = static_cast<const TraceTableModel*>(sourceModel());
    return filter_.Accepts(model->Entry(sourceRow));
}

// --- the window ------------------------------------------------------------------------

LineTraceWindow::LineTraceWindow(QWidget* parent, size_t capacity)
    : QWidget(parent, Qt::Window),
      capture_(capacity),
      model_(capacity),
      chooser_(ChooseFileWithForm) {
    setObjectName(QStringLiteral("lineTrace"));
    setWindowTitle(QString::fromUtf8(kLineTraceTitle));
    shown_.setSourceModel(&model_);

    unit_ = new QComboBox(this);
    unit_->setObjectName(QStringLiteral("unit"));
    unit_->addItem(QStringLiteral("All"), -1);
    for (int a = 0; a <= kHighestAddress; ++a) {
        const char* module = a == 4 ? " (Com)" : a == 5 ? " (Display)" : "";
        unit_->addItem(QString::number(a) + QString::fromUtf8(module), a);
    }
    command_ = new QComboBox(this);
    command_->setObjectName(QStringLiteral("command"));
    command_->addItem(QStringLiteral("All"));
    for (const std::string& name : TraceCommandNames()) {
        command_->addItem(Text(name));
    }
    pause_ = new QPushButton(QStringLiteral("&Pause"), this);
    pause_->setObjectName(QStringLiteral("pause"));
    pause_->setCheckable(true);
    auto* clear = new QPushButton(QStringLiteral("C&lear"), this);
    clear->setObjectName(QStringLiteral("clear"));
    auto* save = new QPushButton(QStringLiteral("&Save As..."), this);
    save->setObjectName(QStringLiteral("saveAs"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("count"));

    auto* unitLabel = new QLabel(QStringLiteral("&Unit:"), this);
    unitLabel->setBuddy(unit_);
    auto* commandLabel = new QLabel(QStringLiteral("C&ommand:"), this);
    commandLabel->setBuddy(command_);
    auto* bar = new QHBoxLayout;
    bar->addWidget(unitLabel);
    bar->addWidget(unit_);
    bar->addSpacing(12);
    bar->addWidget(commandLabel);
    bar->addWidget(command_);
    bar->addSpacing(12);
    bar->addWidget(count_, 1);
    bar->addWidget(pause_);
    bar->addWidget(clear);
    bar->addWidget(save);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("entries"));
    table_->setModel(&shown_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    table_->verticalHeader()->hide();
    // Fixed row heights keep a hundred thousand rows cheap to lay out.
    const int rowHeight = table_->fontMetrics().height() + 4;
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(rowHeight);
    QHeaderView* header = table_->horizontalHeader();
    header->setStretchLastSection(true);
    const QFontMetrics fm = table_->fontMetrics();
    const auto width = [&fm](const char* sample) {
        return fm.horizontalAdvance(QString::fromUtf8(sample)) + 16;
    };
    header->resizeSection(TraceTableModel::kTime, width("00:00:00.000"));
    header->resizeSection(TraceTableModel::kDirection, width("Dir"));
    header->resizeSection(TraceTableModel::kCommand, width("SetLoopbackMode addr 2 mode 1: 255"));
    header->resizeSection(TraceTableModel::kCheck, width("short 116 of 117"));
    header->resizeSection(TraceTableModel::kReply, width("Reply time"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(table_, 1);
    resize(QSize(1000, 480).expandedTo(sizeHint()));

    connect(unit_, &QComboBox::currentIndexChanged, this, &LineTraceWindow::FilterChanged);
    connect(command_, &QComboBox::currentIndexChanged, this, &LineTraceWindow::FilterChanged);
    connect(pause_, &QPushButton::toggled, this, &LineTraceWindow::SetPaused);
    connect(clear, &QPushButton::clicked, this, [this] {
        model_.Clear();
        UpdateCount();
    });
    connect(save, &QPushButton::clicked, this, &LineTraceWindow::SaveAs);
    timer_.setInterval(kTakeIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &LineTraceWindow::TakeNew);
    UpdateCount();
}

LineTraceWindow::~LineTraceWindow() = default;

void LineTraceWindow::showEvent(QShowEvent* event) {
    capture_.Start();
    timer_.start();
    QWidget::showEvent(event);
}

void LineTraceWindow::hideEvent(QHideEvent* event) {
    // A closed window leaves the trace seam as it was: the line pays nothing for it. A
    // minimised one (hidden by the window system) goes on listing.
    if (!event->spontaneous()) {
        capture_.Stop();
        timer_.stop();
    }
    QWidget::hideEvent(event);
}

void LineTraceWindow::TakeNew() {
    if (Paused()) {
        return;  // the ring keeps what comes meanwhile, within its bound
    }
    std::vector<TraceEntry> batch = capture_.Ring().Take();
    if (batch.empty()) {
        return;
    }
    QScrollBar* bar = table_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    model_.Append(std::move(batch));
    if (atEnd) {
        table_->scrollToBottom();
    }
    UpdateCount();
}

bool LineTraceWindow::Paused() const {
    return pause_->isChecked();
}

void LineTraceWindow::SetPaused(bool paused) {
    if (pause_->isChecked() != paused) {
        pause_->setChecked(paused);  // comes back here through toggled
        return;
    }
    pause_->setText(paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    if (!paused) {
        TakeNew();
    }
}

void LineTraceWindow::FilterChanged() {
    TraceFilter filter;
    filter.address = unit_->currentData().toInt();
    if (command_->currentIndex() > 0) {
        filter.name = command_->currentText().toStdString();
    }
    shown_.SetFilter(filter);
    UpdateCount();
}

void LineTraceWindow::UpdateCount() {
    count_->setText(
        QStringLiteral("%1 of %2 rows shown").arg(shown_.rowCount()).arg(model_.rowCount()));
}

void LineTraceWindow::SaveAs() {
    std::string path;
    if (!chooser_ || !chooser_(this, path) || path.empty()) {
        return;
    }
    const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (file.exists() &&
        AppMessageBox(
            file.fileName().toStdString() + " already exists.\nDo you want to replace it?",
            MsgIcon::Warning, MsgButtons::YesNo, kLineTraceTitle) != MsgAnswer::Yes) {
        return;
    }
    std::string error;
    if (!WriteFileAtomically(path, TraceFileText(model_.Entries(), shown_.Filter()), error)) {
        AppMessageBox("The line trace could not be saved.\n" + error, MsgIcon::Error,
                      MsgButtons::Ok, kLineTraceTitle);
    }
}

}  // namespace kvr
