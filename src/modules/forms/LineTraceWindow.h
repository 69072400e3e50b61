// The "Line Trace" window: every exchange on the line, decoded, listed live while the
// window is open. The capture (modules/TraceDecoder.h) fills a bounded ring from whatever
// thread talks; a timer moves what came into the table in batches. The rules (decoding,
// the filter, the file text) are the core's; this is the wiring.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>

#include "modules/TraceDecoder.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace kvr {

inline constexpr const char* kLineTraceTitle = "Line Trace";

// The entries held, newest last, at most `capacity`.
class TraceTableModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kTime, kDirection, kCommand, kCheck, kReply, kBytes, kColumns };
    explicit TraceTableModel(size_t capacity = kTraceCapacity, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends a batch, dropping the oldest rows beyond the capacity.
    void Append(std::vector<TraceEntry> batch);
    void Clear();
    const std::deque<TraceEntry>& Entries() const { return entries_; }
    const TraceEntry& Entry(int row) const { return entries_[static_cast<size_t>(row)]; }

  private:
    size_t capacity_;
    std::deque<TraceEntry> entries_;
};

// The rows the unit and command choices let through.
class TraceFilterModel final : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetFilter(const TraceFilter& filter);
    const TraceFilter& Filter() const { return filter_; }

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    TraceFilter filter_;
};

class LineTraceWindow final : public QWidget {
    Q_OBJECT
  public:
    // Asks for the file to save to; false when cancelled. The default shows a file form.
    using FileChooser = std::function<bool(QWidget* owner, std::string& path)>;

    explicit LineTraceWindow(QWidget* parent = nullptr, size_t capacity = kTraceCapacity);
    ~LineTraceWindow() override;

    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // Moves what the capture holds into the table (the timer's work; tests call it).
    void TakeNew();
    bool Paused() const;
    void SetPaused(bool paused);
    // "Save As...": the rows shown, in the text kvrctl --trace prints.
    void SaveAs();

    TraceTableModel& Model() { return model_; }
    TraceFilterModel& Shown() { return shown_; }
    bool Capturing() const { return capture_.Running(); }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void FilterChanged();
    void UpdateCount();

    TraceCapture capture_;
    TraceTableModel model_;
    TraceFilterModel shown_;
    QTimer timer_;
    FileChooser chooser_;
    QComboBox* unit_ = nullptr;
    QComboBox* command_ = nullptr;
    QPushButton* pause_ = nullptr;
    QLabel* count_ = nullptr;
    QTableView* table_ = nullptr;
};

}  // namespace kvr
