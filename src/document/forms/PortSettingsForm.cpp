#include "document/forms/PortSettingsForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>
#include <iterator>
#include <string>

#include "base/UserSeam.h"
#include "link/PortSetup.h"

namespace kvr {

namespace {

constexpr int kPortRows = 8;  // four columns of eight

struct ComboRow {
    const char* label;
    const char* const* choices;
    size_t count;
    const char* toolTip;
    std::string PortSettings::*field;
};

const ComboRow kComboRows[CPortSettingsForm::kFieldCount] = {
    {"&Baud Rate :", kBaudChoices, std::size(kBaudChoices), "Select the baud rate from this list.",
     &PortSettings::baud},
    {"&Parity :", kParityChoices, std::size(kParityChoices),
     "Select the parity setting from this list.", &PortSettings::parity},
    {"&Data Bits :", kDataBitsChoices, std::size(kDataBitsChoices),
     "Select the number of data bits per character from this list.", &PortSettings::dataBits},
    {"&Stop Bits :", kStopBitsChoices, std::size(kStopBitsChoices),
     "Select the number of stop bits per character from this list.", &PortSettings::stopBits},
};

QString PortText(int number) {
    // Single digits carry their mnemonic; two-digit numbers cannot.
    return number < 10 ? QStringLiteral("COM&%1:").arg(number)
                       : QStringLiteral("COM%1:").arg(number);
}

QString DeviceText(const std::string& device) {
    if (device.empty()) {
        return QStringLiteral("-");
    }
    const std::string prefix = "/dev/";
    return QString::fromStdString(device.rfind(prefix, 0) == 0 ? device.substr(prefix.size())
                                                               : device);
}

}  // namespace

CPortSettingsForm::CPortSettingsForm(const PortSettings& settings,
                                     const std::vector<PortEntry>& ports, QWidget* parent)
    : QDialog(parent), settings_(settings), ports_(new QButtonGroup(this)) {
    setWindowTitle(QStringLiteral("Select Serial Port"));
    auto* layout = new QVBoxLayout(this);

    auto* portBox = new QGroupBox(QStringLiteral("Communications Port"), this);
    auto* grid = new QGridLayout(portBox);
    grid->setHorizontalSpacing(6);
    for (int number = 1; number <= kMaxPortNumber; ++number) {
        std::string device;
        for (const PortEntry& e : ports) {
            if (e.number == number) {
                device = e.device;
            }
        }
        auto* button = new QRadioButton(PortText(number), portBox);
        button->setObjectName(QStringLiteral("port%1").arg(number));
        QString tip =
            QStringLiteral("Select COM%1 as the communications port to the KVR").arg(number);
        tip += QStringLiteral("\n") +
               (device.empty() ? QStringLiteral("(no device)") : QString::fromStdString(device));
        button->setToolTip(tip);
        auto* deviceLabel = new QLabel(DeviceText(device), portBox);
        deviceLabel->setObjectName(QStringLiteral("device%1").arg(number));
        deviceLabel->setEnabled(false);  // the greyed look: information, not a control
        deviceLabel->setToolTip(tip);
        const int column = (number - 1) / kPortRows;
        const int row = (number - 1) % kPortRows;
        grid->addWidget(button, row, column * 2);
        grid->addWidget(deviceLabel, row, column * 2 + 1);
        grid->setColumnMinimumWidth(column * 2 + 1, 64);
        ports_->addButton(button, number);
        buttons_[static_cast<size_t>(number)] = button;
        devices_[static_cast<size_t>(number)] = deviceLabel;
    }
    if (settings_.port >= 1 && settings_.port <= kMaxPortNumber) {
        buttons_[settings_.port]->setChecked(true);
    }
    layout->addWidget(portBox);

    auto* lineRow = new QHBoxLayout;
    for (int f = 0; f < kFieldCount; ++f) {
        const ComboRow& row = kComboRows[f];
        auto* combo = new QComboBox(this);  // choose from the list only
        for (size_t i = 0; i < row.count; ++i) {
            combo->addItem(QString::fromUtf8(row.choices[i]));
        }
        // A stored text that is not in the list shows as no choice.
        combo->setCurrentIndex(combo->findText(QString::fromStdString(settings_.*row.field)));
        combo->setToolTip(QString::fromUtf8(row.toolTip));
        auto* label = new QLabel(QString::fromUtf8(row.label), this);
        label->setBuddy(combo);
        lineRow->addWidget(label);
        lineRow->addWidget(combo);
        lineRow->addSpacing(8);
        combos_[static_cast<size_t>(f)] = combo;
    }
    lineRow->addStretch();
    layout->addLayout(lineRow);
    // The stop bits carry a changed mark into the document's modified state.
    connect(combos_[kStopBits], &QComboBox::currentIndexChanged, this,
            [this] { settings_.changed = true; });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPortSettingsForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPortSettingsForm::reject);
    layout->addWidget(buttons);
}

QRadioButton* CPortSettingsForm::PortButton(int number) const {
    return number >= 1 && number <= kMaxPortNumber ? buttons_[static_cast<size_t>(number)]
                                                   : nullptr;
}

QLabel* CPortSettingsForm::DeviceLabel(int number) const {
    return number >= 1 && number <= kMaxPortNumber ? devices_[static_cast<size_t>(number)]
                                                   : nullptr;
}

int CPortSettingsForm::SelectedPort() const {
    return std::max(0, ports_->checkedId());
}

void CPortSettingsForm::accept() {
    std::array<std::string, kFieldCount> texts;
    for (int f = 0; f < kFieldCount; ++f) {
        texts[static_cast<size_t>(f)] =
            combos_[static_cast<size_t>(f)]->currentText().toStdString();
    }
    const std::string failure = ValidatePortForm(SelectedPort(), texts[kBaud], texts[kParity],
                                                 texts[kDataBits], texts[kStopBits]);
    if (!failure.empty()) {
        AppMessageBox(failure);
        return;
    }
    settings_.port = static_cast<uint16_t>(SelectedPort());
    for (int f = 0; f < kFieldCount; ++f) {
        settings_.*kComboRows[f].field = texts[static_cast<size_t>(f)];
    }
    QDialog::accept();
}

PortSettingsEditor QtPortSettingsEditor() {
    return [](PortSettings& settings) {
        if (qApp == nullptr || QThread::currentThread() != qApp->thread()) {
            return false;  // no form can be shown from another thread
        }
        QWidget* owner = QApplication::activeModalWidget();
        if (owner == nullptr) {
            owner = QApplication::activeWindow();
        }
        if (owner != nullptr && owner->windowType() == Qt::SplashScreen) {
            owner = nullptr;  // the start-up picture would delete the form with itself
        }
        CPortSettingsForm form(settings, PortTable(), owner);
        if (form.exec() != QDialog::Accepted) {
            return false;
        }
        settings = form.Settings();
        return true;
    };
}

}  // namespace kvr
