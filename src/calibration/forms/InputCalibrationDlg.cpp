#include "calibration/forms/InputCalibrationDlg.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Clock.h"
#include "base/forms/QtText.h"

namespace kvr {

namespace {

const char* const kColumnTexts[kInputChannels] = {"Channel &1", "Channel &2", "Channel &3"};

}  // namespace

CInputCalibrationDlg::CInputCalibrationDlg(CQRLDoc& doc, int first, int last, QWidget* parent)
    // The pause generator starts from the clock, so runs differ but a test's run repeats.
    : QDialog(parent), cal_(doc, first, last, static_cast<uint32_t>(GetClock().NowMs())) {
    setWindowTitle(QString::fromUtf8(kInputCalibrationTitle));

    auto* grid = new QGridLayout;
    voltageList_ = new QComboBox(this);
    currentList_ = new QComboBox(this);
    for (QComboBox* list : {voltageList_, currentList_}) {
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        for (const std::string& item : InputPresetItems()) {
            list->addItem(Q(item));
        }
        // A double click on the edit text copies it into every field in range.
        list->lineEdit()->installEventFilter(this);
    }
    voltageList_->setToolTip(QStringLiteral(
        "Reference voltages for every channel being calibrated; double-click to apply the "
        "typed value"));
    currentList_->setToolTip(QStringLiteral(
        "Reference currents for every channel being calibrated; double-click to apply the "
        "typed value"));
    grid->addWidget(voltageList_, 1, 0);
    grid->addWidget(currentList_, 2, 0);
    for (int c = 0; c < kInputChannels; ++c) {
        auto* heading = new QLabel(QString::fromUtf8(kColumnTexts[c]), this);
        heading->setAlignment(Qt::AlignCenter);
        grid->addWidget(heading, 0, c + 1);
        for (bool current : {false, true}) {
            auto* edit = new QLineEdit(this);
            edit->setToolTip(current ? QStringLiteral("Reference current applied to this input")
                                     : QStringLiteral("Reference voltage applied to this input"));
            fields_[static_cast<size_t>(c) * 2 + (current ? 1 : 0)] = edit;
            grid->addWidget(edit, current ? 2 : 1, c + 1);
            connect(edit, &QLineEdit::textEdited, this, [this, c, current](const QString& text) {
                cal_.SetReferenceText(c, current, text.toStdString());
            });
        }
        heading->setBuddy(Field(c, false));
        grid->setColumnStretch(c + 1, 1);
    }
    for (QComboBox* list : {voltageList_, currentList_}) {
        const bool current = list == currentList_;
        connect(list, &QComboBox::activated, this, [this, current](int index) {
            cal_.SelectPreset(current, index);
            Sync();
        });
    }

    progress_ = new QProgressBar(this);
    progress_->setRange(0, InputCalibration::ProgressMax());
    progress_->setTextVisible(false);
    note_ = new QLabel(this);
    note_->setWordWrap(true);
    // Wide enough for the opening note's first line, which ends where its text breaks.
    const std::string opening = kInputCalOpenNote;
    note_->setMinimumWidth(
        note_->fontMetrics().horizontalAdvance(Q(opening.substr(0, opening.find('\n')))) +
        note_->fontMetrics().averageCharWidth());
    note_->setMinimumHeight(note_->fontMetrics().lineSpacing() * 3);
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    calibrate_ = new QPushButton(QStringLiteral("Calibrate &Now"), this);
    calibrate_->setToolTip(
        QStringLiteral("Take 30 samples of every channel being calibrated (15 to 45 seconds)"));
    save_ = new QPushButton(QStringLiteral("&Save"), this);
    save_->setToolTip(QStringLiteral("Apply the calibration to the configuration"));
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    connect(calibrate_, &QPushButton::clicked, this, &CInputCalibrationDlg::OnCalibrate);
    connect(save_, &QPushButton::clicked, this, &CInputCalibrationDlg::OnSave);
    connect(cancel_, &QPushButton::clicked, this, &CInputCalibrationDlg::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(calibrate_);
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(progress_);
    layout->addWidget(note_);
    layout->addLayout(buttons);

    stepTimer_.setSingleShot(true);
    connect(&stepTimer_, &QTimer::timeout, this, &CInputCalibrationDlg::OnStep);
}

bool CInputCalibrationDlg::Open() {
    if (!cal_.Open()) {
        return false;
    }
    Sync();
    return true;
}

void CInputCalibrationDlg::Sync() {
    const bool sampling = cal_.State() == SamplingState::Sampling;
    for (int c = 0; c < kInputChannels; ++c) {
        for (bool current : {false, true}) {
            QLineEdit* edit = Field(c, current);
            const QString text = Q(cal_.ReferenceText(c, current));
            if (edit->text() != text) {
                edit->setText(text);
            }
            edit->setEnabled(cal_.FieldEnabled(c) && !sampling);
        }
    }
    for (bool current : {false, true}) {
        QComboBox* list = PresetList(current);
        if (list->currentIndex() != cal_.Preset(current)) {
            list->setCurrentIndex(cal_.Preset(current));
        }
        list->setEnabled(!sampling);
    }
    progress_->setValue(cal_.Progress());
    note_->setText(Q(cal_.Note()));
    calibrate_->setEnabled(!sampling);
    save_->setEnabled(cal_.SaveEnabled() && !sampling);
}

void CInputCalibrationDlg::OnCalibrate() {
    const bool started = cal_.Begin();
    Sync();
    if (started) {
        ScheduleStep(0);
    }
}

void CInputCalibrationDlg::ScheduleStep(unsigned pauseMs) {
    // The pause goes through the clock: a virtual clock takes it at once, so a test's run
    // costs no real time; the real one waits on the timer, never blocking the window.
    IClock& clock = GetClock();
    if (clock.IsVirtual()) {
        clock.SleepMs(pauseMs);
        pauseMs = 0;
    }
    stepTimer_.start(static_cast<int>(pauseMs));
}

void CInputCalibrationDlg::OnStep() {
    const unsigned pause = cal_.Step();
    Sync();
    if (pause != 0) {
        ScheduleStep(pause);
    }
}

void CInputCalibrationDlg::OnSave() {
    if (cal_.Save() == SaveResult::Applied) {
        accept();
        return;
    }
    Sync();
}

void CInputCalibrationDlg::reject() {
    if (cal_.State() == SamplingState::Sampling) {
        // Between two steps: the run ends before anything more is sent.
        stepTimer_.stop();
        cal_.Cancel();
        (void)cal_.Step();
    }
    QDialog::reject();
}

bool CInputCalibrationDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (QComboBox* list : {voltageList_, currentList_}) {
            if (watched == list->lineEdit()) {
                if (cal_.ApplyPresetText(list == currentList_, list->currentText().toStdString())) {
                    Sync();
                }
                break;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool RunInputCalibration(QWidget* parent, CQRLDoc& doc, int first, int last) {
    CInputCalibrationDlg form(doc, first, last, parent);
    if (!form.Open()) {
        return false;  // another thread keeps the device lock
    }
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
