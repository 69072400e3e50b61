#include "document/forms/UnitAddressForms.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "base/Settings.h"
#include "base/UserSeam.h"

namespace kvr {

namespace {

struct GridRow {
    const char* label;
    std::array<bool, 4> DownloadPreferences::*values;
};

const GridRow kGridRows[CDownloadPreferencesForm::kRowCount] = {
    {"Download to different unit", &DownloadPreferences::downloadToDifferentUnit},
    {"Overwrite serial number", &DownloadPreferences::overwriteSerialNumber},
    {"Overwrite calibration data", &DownloadPreferences::overwriteCalibration},
};

const char* const kColumnHeads[kChannelObjects] = {"1", "2", "3", "3-Phase"};

}  // namespace

CKvr100AddressForm::CKvr100AddressForm(CQRLDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
    setWindowTitle(QStringLiteral("KVR100 Address"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QButtonGroup(this);
    for (int address = 0; address < kKvr100AddressCount; ++address) {
        auto* button = new QRadioButton(QStringLiteral("KVR100 Address %1").arg(address), this);
        button->setObjectName(QStringLiteral("address%1").arg(address));
        group->addButton(button, address);
        layout->addWidget(button);
        buttons_[static_cast<size_t>(address)] = button;
    }
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ok);

    // On opening the button of channel 0's address is checked and applied; an address
    // outside 0 to 2 has been reported and leaves no choice.
    const int address = Kvr100AddressOnOpen(doc_);
    if (address >= 0) {
        buttons_[static_cast<size_t>(address)]->setChecked(true);
        ApplyKvr100Address(doc_, address);
    }
    connect(group, &QButtonGroup::idClicked, this,
            [this](int id) { ApplyKvr100Address(doc_, id); });
    // The choices are short: the form is widened so the title bar shows the whole title
    // beside its buttons.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 8 * fontMetrics().height());
}

QRadioButton* CKvr100AddressForm::AddressButton(int address) const {
    return IsKvr100Address(address) ? buttons_[static_cast<size_t>(address)] : nullptr;
}

CDownloadPreferencesForm::CDownloadPreferencesForm(CQRLDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), prefs_(doc.Preferences()) {
    setWindowTitle(QStringLiteral("Download Preferences"));
    auto* layout = new QVBoxLayout(this);

    enable_ = new QCheckBox(QStringLiteral("Enable Download Preferences"), this);
    layout->addWidget(enable_);
    connect(enable_, &QCheckBox::toggled, this, [this](bool on) {
        prefs_.enabled = on;
        ShowValues();
    });

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QString::fromUtf8("Channel \u2192"), this), 0, 0);
    for (int c = 0; c < kChannelObjects; ++c) {
        grid->addWidget(new QLabel(QString::fromUtf8(kColumnHeads[c]), this), 0, c + 1,
                        Qt::AlignCenter);
    }
    for (int r = 0; r < kRowCount; ++r) {
        grid->addWidget(new QLabel(QString::fromUtf8(kGridRows[r].label), this), r + 1, 0);
        for (int c = 0; c < kChannelObjects; ++c) {
            auto* box = new QCheckBox(this);
            box->setObjectName(QStringLiteral("grid%1_%2").arg(r).arg(c));
            grid->addWidget(box, r + 1, c + 1, Qt::AlignCenter);
            grid_[static_cast<size_t>(r)][static_cast<size_t>(c)] = box;
            connect(box, &QCheckBox::toggled, this, [this, r, c](bool on) {
                (prefs_.*kGridRows[r].values)[static_cast<size_t>(c)] = on;
            });
        }
    }
    layout->addLayout(grid);

    noUploadDialog_ = new QCheckBox(QStringLiteral("No Dialog when Upload Complete"), this);
    noDownloadDialog_ = new QCheckBox(QStringLiteral("No Dialog when Download Complete"), this);
    layout->addWidget(noUploadDialog_);
    layout->addWidget(noDownloadDialog_);
    connect(noUploadDialog_, &QCheckBox::toggled, this,
            [this](bool on) { prefs_.noDialogAfterUpload = on; });
    connect(noDownloadDialog_, &QCheckBox::toggled, this,
            [this](bool on) { prefs_.noDialogAfterDownload = on; });
    everyBoard_ = new QCheckBox(QStringLiteral("Write unchanged boards too"), this);
    everyBoard_->setToolTip(
        QStringLiteral("A download skips a board that already holds exactly what would be "
                       "written; tick this to write every board."));
    everyBoard_->setObjectName(QStringLiteral("everyBoard"));
    everyBoard_->setChecked(ReadWriteEveryBoard());
    layout->addWidget(everyBoard_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    factory_ = buttons->addButton(QStringLiteral("Factory"), QDialogButtonBox::ResetRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDownloadPreferencesForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(factory_, &QPushButton::clicked, this, [this] {
        prefs_.Factory();
        ShowValues();
    });
    layout->addWidget(buttons);

    ShowValues();
}

QCheckBox* CDownloadPreferencesForm::GridBox(Row row, int column) const {
    if (row < 0 || row >= kRowCount || column < 0 || column >= kChannelObjects) {
        return nullptr;
    }
    return grid_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void CDownloadPreferencesForm::ShowValues() {
    const bool details = prefs_.DetailsEnabled();
    {
        const QSignalBlocker block(enable_);
        enable_->setChecked(prefs_.enabled);
    }
    for (int r = 0; r < kRowCount; ++r) {
        for (int c = 0; c < kChannelObjects; ++c) {
            QCheckBox* box = grid_[static_cast<size_t>(r)][static_cast<size_t>(c)];
            const QSignalBlocker block(box);
            box->setChecked((prefs_.*kGridRows[r].values)[static_cast<size_t>(c)]);
            box->setEnabled(details);
        }
    }
    for (auto [box, value] : {std::pair{noUploadDialog_, prefs_.noDialogAfterUpload},
                              std::pair{noDownloadDialog_, prefs_.noDialogAfterDownload}}) {
        const QSignalBlocker block(box);
        box->setChecked(value);
        box->setEnabled(details);
    }
}

void CDownloadPreferencesForm::accept() {
    doc_.Preferences() = prefs_;
    if (!WriteWriteEveryBoard(everyBoard_->isChecked())) {
        AppMessageBox("The choice to write every board could not be stored.", MsgIcon::Error);
    }
    QDialog::accept();
}

}  // namespace kvr
