#include "app/ShellForms.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Pictures.h"
#include "app/ShellRules.h"
#include "base/Settings.h"
#include "base/UserSeam.h"

namespace kvr::app {

namespace {

QLabel* TextLabel(const std::string& text, QWidget* parent, const QString& name) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

CAboutBox::CAboutBox(const CQRLDoc& doc, int branding, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About KVR View"));
    // The desktop's own colours, light or dark.

    auto* layout = new QVBoxLayout(this);
    // The box is as tall as what it shows, so showing the address group lengthens it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("aboutPicture"));
    const QPixmap pm = AboutPicture(branding, devicePixelRatioF());
    if (!pm.isNull()) {
        picture_->setPixmap(pm);
    }
    picture_->setVisible(!pm.isNull());
    top->addWidget(picture_, 0, Qt::AlignTop | Qt::AlignLeft);

    auto* texts = new QVBoxLayout;
    top->addLayout(texts, 1);
    product_ = TextLabel(doc.Brand().productTitle, this, QStringLiteral("productTitle"));
    const QFileInfo program(QCoreApplication::applicationFilePath());
    build_ = TextLabel(BuildText(program.lastModified().toSecsSinceEpoch()), this,
                       QStringLiteral("build"));
    talk_ = TextLabel(TalkSupportText(), this, QStringLiteral("talkSupport"));
    texts->addWidget(product_);
    texts->addWidget(build_);
    texts->addWidget(talk_);
    texts->addStretch();

    auto* buttons = new QVBoxLayout;
    top->addLayout(buttons);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    contactButton_ = new QPushButton(QStringLiteral("Contact Info..."), this);
    systemInfo_ = new QPushButton(QStringLiteral("System &Info..."), this);
    buttons->addWidget(ok);
    buttons->addWidget(contactButton_);
    buttons->addWidget(systemInfo_);
    buttons->addStretch();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    contact_ = new QGroupBox(this);
    contact_->setObjectName(QStringLiteral("contactGroup"));
    auto* address = new QVBoxLayout(contact_);
    address->addWidget(
        TextLabel(doc.Brand().streetAddress, contact_, QStringLiteral("streetAddress")));
    address->addWidget(
        TextLabel(doc.Brand().postalAddress, contact_, QStringLiteral("postalAddress")));
    address->addWidget(TextLabel(doc.Brand().contactText, contact_, QStringLiteral("contactText")));
    layout->addWidget(contact_);
    contact_->hide();  // the box opens ending above the group
    connect(contactButton_, &QPushButton::clicked, contact_, &QWidget::show);

    const std::optional<std::string> path = ReadMsInfoPath();
    systemInfoPath_ = path ? QString::fromStdString(*path) : QString();
    systemInfo_->setEnabled(!systemInfoPath_.isEmpty());
    connect(systemInfo_, &QPushButton::clicked, this, &CAboutBox::StartSystemInfo);

    // The contact texts are repainted while the box is open.
    repaint_ = new QTimer(this);
    connect(repaint_, &QTimer::timeout, contact_, qOverload<>(&QWidget::update));
    repaint_->start(100);
}

QString CAboutBox::AddressText() const {
    QStringList lines;
    for (const char* name : {"streetAddress", "postalAddress", "contactText"}) {
        if (auto* label = contact_->findChild<QLabel*>(QString::fromUtf8(name))) {
            lines << label->text();
        }
    }
    return lines.join(QStringLiteral("\n"));
}

void CAboutBox::StartSystemInfo() {
    if (!QProcess::startDetached(systemInfoPath_, {})) {
        AppMessageBox("The system information program \"" + systemInfoPath_.toStdString() +
                          "\" could not be started.",
                      MsgIcon::Error);
    }
}

}  // namespace kvr::app
