#include "measure/forms/OutputOverviewDlg.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/forms/TemplateTools.h"
#include "document/SetupFile.h"
#include "measure/forms/AnalogOutputDlg.h"
#include "measure/forms/RelayOutputDlg.h"

namespace kvr {

COutputOverviewDlg::COutputOverviewDlg(CQRLDoc& doc, QWidget* parent, MeasureFormHooks hooks)
    : QDialog(parent), doc_(doc), hooks_(std::move(hooks)), overview_(doc) {
    setWindowTitle(QString::fromUtf8(kOutputOverviewTitle));

    toolBar_ = new QToolBar(this);
    const TemplateTools tools = AddTemplateTools(toolBar_);
    load_ = tools.load;
    save_ = tools.save;
    saveAs_ = tools.saveAs;
    print_ = tools.print;
    print_->setEnabled(static_cast<bool>(hooks_.printConfiguration));
    connect(print_, &QAction::triggered, this, [this] {
        if (hooks_.printConfiguration) {
            hooks_.printConfiguration(this);
        }
    });
    connect(load_, &QAction::triggered, this, &COutputOverviewDlg::OnLoad);
    connect(save_, &QAction::triggered, this, [this] { SaveSetupFile(doc_); });
    connect(saveAs_, &QAction::triggered, this, [this] { SaveSetupFileAs(doc_); });

    auto* grid = new QGridLayout;
    for (int n = 0; n < kOutputPorts; ++n) {
        Row& row = rows_[static_cast<size_t>(n)];
        row.caption = new QLabel(QString::fromStdString(OutputCaption(n)), this);
        row.list = new QComboBox(this);
        row.list->setObjectName(QStringLiteral("output%1").arg(n + 1));
        for (int k = 0; k < kCardTypeEntries; ++k) {
            row.list->addItem(QString::fromUtf8(CardTypeEntry(k)));
        }
        row.configure = new QPushButton(QStringLiteral("Configure"), this);
        grid->addWidget(row.caption, n, 0);
        grid->addWidget(row.list, n, 1);
        grid->addWidget(row.configure, n, 2);
        connect(row.list, &QComboBox::activated, this, [this, n](int entry) {
            overview_.Select(n, entry);
            Sync();
        });
        connect(row.configure, &QPushButton::clicked, this, [this, n] { OnConfigure(n); });
    }
    grid->setColumnStretch(1, 1);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolBar_);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(bottom);

    overview_.Fill();
    Sync();
}

void COutputOverviewDlg::Sync() {
    for (int n = 0; n < kOutputPorts; ++n) {
        const Row& row = rows_[static_cast<size_t>(n)];
        const OutputOverview::Row& rules = overview_.RowAt(n);
        row.caption->setEnabled(rules.enabled);
        row.list->setEnabled(rules.enabled);
        // A card type the list does not offer (RS485) shows an empty list.
        row.list->setCurrentIndex(rules.selection);
        row.configure->setEnabled(rules.configureEnabled);
    }
}

void COutputOverviewDlg::OnConfigure(int output) {
    switch (overview_.Configure(output)) {
        case OutputForm::Analog:
            RunAnalogOutput(this, doc_, OutputChannel(output), OutputPort(output),
                            hooks_.calibrateOutput);
            break;
        case OutputForm::Relay:
            RunRelayOutput(this, doc_, OutputChannel(output), OutputPort(output));
            break;
        case OutputForm::None:
            break;
    }
}

void COutputOverviewDlg::OnLoad() {
    if (LoadSetupFile(doc_)) {
        overview_.Fill();
        Sync();
    }
}

void RunOutputOverview(QWidget* parent, CQRLDoc& doc, MeasureFormHooks hooks) {
    COutputOverviewDlg form(doc, parent, std::move(hooks));
    form.exec();
}

}  // namespace kvr
