#include "calibration/forms/DiagnosticsDlg.h"
#include "base/forms/QtText.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kvr {

namespace {

const char* const kTestByteTexts[kTestBytes] = {
    "&Voltage :", "&Current :", "Power Factor :", "Frequency :"};
const char* const kRelayTexts[] = {"&Make Relay", "&Break Relay", "&Pulse Relay"};
const char* const kRelayTips[] = {"Close the relay of the chosen port",
                                  "Open the relay of the chosen port",
                                  "Pulse the relay of the chosen port"};

}  // namespace

CDiagnosticsPage::CDiagnosticsPage(DiagnosticsPage& page, QWidget* parent)
    : QWidget(parent), page_(page) {
    // Serial number and version.
    serial_ = new QLineEdit(this);
    serial_->setToolTip(QStringLiteral("The serial number to give this board"));
    plus_ = new QPushButton(QStringLiteral("+"), this);
    plus_->setToolTip(QStringLiteral("The next serial number"));
    download_ = new QPushButton(QStringLiteral("&Download"), this);
    download_->setToolTip(QStringLiteral("Write the serial number into this board"));
    version_ = new QLineEdit(this);
    version_->setReadOnly(true);
    auto* serialRow = new QHBoxLayout;
    serialRow->addWidget(serial_, 1);
    serialRow->addWidget(plus_);
    serialRow->addWidget(download_);
    auto* identity = new QFormLayout;
    auto* serialLabel = new QLabel(QStringLiteral("S&erial Number :"), this);
    serialLabel->setBuddy(serial_);
    identity->addRow(serialLabel, serialRow);
    identity->addRow(QStringLiteral("Instr Version :"), version_);

    // Loopback test mode and the unit's mode.
    auto* modeGroup = new QGroupBox(QStringLiteral("Test Mode"), this);
    loopback_ = new QComboBox(modeGroup);
    for (const std::string& item : LoopbackModeItems()) {
        loopback_->addItem(Q(item));
    }
    loopback_->setCurrentIndex(0);
    auto* modeForm = new QFormLayout;
    modeForm->addRow(loopback_);
    for (int i = 0; i < kTestBytes; ++i) {
        auto* edit = new QLineEdit(QStringLiteral("0"), modeGroup);
        edit->setToolTip(QStringLiteral("Test value, 0 to 255"));
        testBytes_[static_cast<size_t>(i)] = edit;
        modeForm->addRow(QString::fromUtf8(kTestByteTexts[i]), edit);
    }
    setMode_ = new QPushButton(QStringLiteral("Set Mode"), modeGroup);
    setMode_->setToolTip(QStringLiteral("Send the loopback mode and its test values"));
    userMode_ = new QRadioButton(QStringLiteral("User Mode"), modeGroup);
    factoryMode_ = new QRadioButton(QStringLiteral("Factory Mode"), modeGroup);
    auto* modeButtons = new QHBoxLayout;
    modeButtons->addWidget(setMode_);
    modeButtons->addStretch();
    modeButtons->addWidget(userMode_);
    modeButtons->addWidget(factoryMode_);
    auto* modeLayout = new QVBoxLayout(modeGroup);
    modeLayout->addLayout(modeForm);
    modeLayout->addLayout(modeButtons);

    // Outputs: the port, its DAC and its relay.
    auto* outputGroup = new QGroupBox(QStringLiteral("Output"), this);
    auto* portBox = new QGroupBox(QStringLiteral("Port"), outputGroup);
    portGroup_ = new QButtonGroup(this);
    auto* portRow = new QHBoxLayout(portBox);
    for (int p = 0; p < kBoardOutputPorts; ++p) {
        auto* button = new QRadioButton(QStringLiteral("&%1").arg(p + 1), portBox);
        ports_[static_cast<size_t>(p)] = button;
        portGroup_->addButton(button, p);
        portRow->addWidget(button);
    }
    connect(portGroup_, &QButtonGroup::idClicked, this, &CDiagnosticsPage::OnPort);
    dac_ = new QLineEdit(outputGroup);
    dac_->setToolTip(QStringLiteral("Raw value for the analog output's DAC"));
    dacSet_ = new QPushButton(QStringLiteral("&Set"), outputGroup);
    dacSet_->setToolTip(QStringLiteral("Write the value to the DAC of the chosen port"));
    auto* dacLabel = new QLabel(QStringLiteral("D&AC :"), outputGroup);
    dacLabel->setBuddy(dac_);
    auto* dacRow = new QHBoxLayout;
    dacRow->addWidget(dacLabel);
    dacRow->addWidget(dac_, 1);
    dacRow->addWidget(dacSet_);
    auto* relayRow = new QHBoxLayout;
    for (size_t a = 0; a < relays_.size(); ++a) {
        relays_[a] = new QPushButton(QString::fromUtf8(kRelayTexts[a]), outputGroup);
        relays_[a]->setToolTip(QString::fromUtf8(kRelayTips[a]));
        relayRow->addWidget(relays_[a]);
        connect(relays_[a], &QPushButton::clicked, this,
                [this, a] { page_.Relay(static_cast<RelayAction>(a)); });
    }
    auto* outputLayout = new QVBoxLayout(outputGroup);
    outputLayout->addWidget(portBox);
    outputLayout->addLayout(dacRow);
    outputLayout->addLayout(relayRow);
    outputLayout->addStretch();

    auto* columns = new QHBoxLayout;
    columns->addWidget(modeGroup, 1);
    columns->addWidget(outputGroup, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(identity);
    layout->addLayout(columns);

    connect(serial_, &QLineEdit::textEdited, this,
            [this](const QString& text) { page_.SetSerialText(text.toStdString()); });
    connect(plus_, &QPushButton::clicked, this, [this] {
        page_.IncrementSerial();
        serial_->setText(Q(page_.SerialText()));
    });
    connect(download_, &QPushButton::clicked, this, [this] {
        page_.DownloadSerial(serial_->text().toStdString());
        serial_->setText(Q(page_.SerialText()));
    });
    connect(setMode_, &QPushButton::clicked, this, [this] {
        std::array<std::string, kTestBytes> bytes;
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = testBytes_[i]->text().toStdString();
        }
        page_.SetLoopback(loopback_->currentIndex(), bytes);
    });
    connect(userMode_, &QRadioButton::clicked, this, [this] { page_.SetUserMode(); });
    connect(factoryMode_, &QRadioButton::clicked, this, [this] { page_.SetFactoryMode(); });
    connect(dacSet_, &QPushButton::clicked, this,
            [this] { page_.SetDac(dac_->text().toStdString()); });

    keepAlive_.setInterval(static_cast<int>(kKeepAliveMs));
    connect(&keepAlive_, &QTimer::timeout, this, [this] { page_.Tick(); });
    Sync();
}

void CDiagnosticsPage::OpenOnce() {
    if (page_.Opened()) {
        return;
    }
    page_.Open();
    serial_->setText(Q(page_.SerialText()));
    version_->setText(Q(page_.FirmwareVersion()));
    keepAlive_.start();
    Sync();
}

void CDiagnosticsPage::OnPort(int port) {
    page_.ChoosePort(port);
    Sync();
}

void CDiagnosticsPage::Sync() {
    const bool ports = page_.PortsEnabled();
    for (int p = 0; p < kBoardOutputPorts; ++p) {
        QRadioButton* button = ports_[static_cast<size_t>(p)];
        button->setEnabled(ports);
        if (page_.Opened() && ports && p == page_.Port() && !button->isChecked()) {
            button->setChecked(true);
        }
    }
    dac_->setEnabled(page_.DacEnabled());
    dacSet_->setEnabled(page_.DacEnabled());
    for (QPushButton* relay : relays_) {
        relay->setEnabled(page_.RelayEnabled());
    }
}

// --- the sheet -------------------------------------------------------------------------------

CDiagnosticsDlg::CDiagnosticsDlg(CQRLDoc& doc, QWidget* parent) : QDialog(parent), sheet_(doc) {
    setWindowTitle(QString::fromUtf8(kDiagnosticsTitle));
    tabs_ = new QTabWidget(this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancel_, &QPushButton::clicked, this, &CDiagnosticsDlg::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);
}

bool CDiagnosticsDlg::Open() {
    if (!sheet_.Open()) {
        return false;
    }
    for (int i = 0; i < sheet_.PageCount(); ++i) {
        auto* page = new CDiagnosticsPage(sheet_.Page(i), tabs_);
        pages_.push_back(page);
        tabs_->addTab(page, Q(sheet_.Page(i).Caption()));
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &CDiagnosticsDlg::OnPageShown);
    OnPageShown(0);
    return true;
}

void CDiagnosticsDlg::OnPageShown(int index) {
    if (index >= 0 && index < static_cast<int>(pages_.size())) {
        pages_[static_cast<size_t>(index)]->OpenOnce();
    }
}

void CDiagnosticsDlg::reject() {
    sheet_.Cancel();  // output test off on every page that was opened
    QDialog::reject();
}

void RunDiagnostics(QWidget* parent, CQRLDoc& doc) {
    CDiagnosticsDlg sheet(doc, parent);
    if (!sheet.Open()) {
        return;  // another thread keeps the device lock
    }
    sheet.exec();
}

}  // namespace kvr
