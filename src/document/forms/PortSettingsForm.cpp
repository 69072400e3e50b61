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
#include <filesystem>
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

constexpr int kRescanMs = 1000;

QString PortTip(int number, const PortEntry& entry) {
    return QStringLiteral("Select COM%1 as the communications port to the KVR\n").arg(number) +
           QString::fromStdString(PortLongText(entry));
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
    scan_.table = ports;
    for (int number = 1; number <= kMaxPortNumber; ++number) {
        auto* button = new QRadioButton(PortText(number), portBox);
        button->setObjectName(QStringLiteral("port%1").arg(number));
        auto* deviceLabel = new QLabel(portBox);
        deviceLabel->setObjectName(QStringLiteral("device%1").arg(number));
        deviceLabel->setEnabled(false);  // the greyed look: information, not a control
        const int column = (number - 1) / kPortRows;
        const int row = (number - 1) % kPortRows;
        grid->addWidget(button, row, column * 2);
        grid->addWidget(deviceLabel, row, column * 2 + 1);
        grid->setColumnMinimumWidth(column * 2 + 1, 64);
        ports_->addButton(button, number);
        buttons_[static_cast<size_t>(number)] = button;
        devices_[static_cast<size_t>(number)] = deviceLabel;
    }
    auto* bindingRow = new QHBoxLayout;
    binding_ = new QComboBox(portBox);
    binding_->setObjectName(QStringLiteral("binding"));
    binding_->setToolTip(QStringLiteral(
        "The device the selected port opens. A USB adapter chosen by its stable name stays "
        "with the port when it is plugged in again under another ttyUSB number."));
    binding_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    binding_->setMinimumContentsLength(40);
    auto* bindingLabel = new QLabel(QStringLiteral("De&vice of the selected port :"), portBox);
    bindingLabel->setBuddy(binding_);
    bindingRow->addWidget(bindingLabel);
    bindingRow->addWidget(binding_, 1);
    grid->addLayout(bindingRow, kPortRows, 0, 1, 8);
    connect(ports_, &QButtonGroup::idClicked, this, [this](int number) { ShowBindingOf(number); });
    connect(binding_, &QComboBox::activated, this, [this](int index) { BindSelected(index); });
    ShowScan();
    if (settings_.port >= 1 && settings_.port <= kMaxPortNumber) {
        buttons_[settings_.port]->setChecked(true);
    }
    ShowBindingOf(SelectedPort());
    layout->addWidget(portBox);
    rescan_.setInterval(kRescanMs);
    connect(&rescan_, &QTimer::timeout, this, [this] { Refresh(); });

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

void CPortSettingsForm::SetScanner(std::function<PortScan()> scanner) {
    scanner_ = std::move(scanner);
    Refresh();
    if (scanner_) {
        rescan_.start();
    } else {
        rescan_.stop();
    }
}

bool CPortSettingsForm::Refresh() {
    if (!scanner_) {
        return false;
    }
    PortScan scan = scanner_();
    if (scan == scan_) {
        return false;
    }
    scan_ = std::move(scan);
    ShowScan();
    ShowBindingOf(SelectedPort());
    return true;
}

void CPortSettingsForm::ShowScan() {
    for (int number = 1; number <= kMaxPortNumber; ++number) {
        PortEntry entry;
        entry.number = number;
        if (auto it = pending_.find(number); it != pending_.end()) {
            entry = EntryWithBinding(scan_, number, it->second);
        } else {
            for (const PortEntry& e : scan_.table) {
                if (e.number == number) {
                    entry = e;
                }
            }
        }
        const QString tip = PortTip(number, entry);
        buttons_[static_cast<size_t>(number)]->setToolTip(tip);
        QLabel* label = devices_[static_cast<size_t>(number)];
        label->setText(QString::fromStdString(PortShortText(entry)));
        label->setToolTip(tip);
    }
}

void CPortSettingsForm::ShowBindingOf(int number) {
    // The choices: automatic, the adapters by stable name, the other devices by path,
    // and the number's own binding when it is none of these (an unplugged adapter).
    showingBinding_ = true;
    binding_->clear();
    binding_->addItem(QStringLiteral("Automatic (the order of the devices found)"), QString());
    for (const SerialAdapter& a : scan_.adapters) {
        // The adapter in words and where it is now; its stable name in the tip.
        const std::string now = a.device.empty()
                                    ? std::string("not there now")
                                    : std::filesystem::path(a.device).filename().string();
        binding_->addItem(QString::fromStdString(AdapterText(a) + " (" + now + ")"),
                          QString::fromStdString(a.stablePath));
        binding_->setItemData(binding_->count() - 1, QString::fromStdString(a.stablePath),
                              Qt::ToolTipRole);
    }
    for (const std::string& device : scan_.devices) {
        binding_->addItem(QString::fromStdString(device), QString::fromStdString(device));
    }
    std::string current;
    if (auto it = pending_.find(number); it != pending_.end()) {
        current = it->second;
    } else if (number >= 1 && static_cast<size_t>(number) <= scan_.table.size() &&
               scan_.table[static_cast<size_t>(number) - 1].overridden) {
        current = scan_.table[static_cast<size_t>(number) - 1].device;
    }
    int index = binding_->findData(QString::fromStdString(current));
    if (index < 0) {
        binding_->addItem(QString::fromStdString(current + "  (not there now)"),
                          QString::fromStdString(current));
        index = binding_->count() - 1;
    }
    binding_->setCurrentIndex(index);
    binding_->setEnabled(number >= 1);
    showingBinding_ = false;
}

void CPortSettingsForm::BindSelected(int index) {
    const int number = SelectedPort();
    if (showingBinding_ || number < 1 || index < 0) {
        return;
    }
    pending_[number] = binding_->itemData(index).toString().toStdString();
    ShowScan();
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
    std::string error;
    if (!pending_.empty() && !SavePortBindings(PortOverridesPath(), pending_, error)) {
        AppMessageBox(error);
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
        form.SetScanner([] { return ScanPorts(); });
        if (form.exec() != QDialog::Accepted) {
            return false;
        }
        settings = form.Settings();
        return true;
    };
}

}  // namespace kvr
