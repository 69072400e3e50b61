#include "report/forms/ReportForms.h"

#include <QDialog>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>

#include "document/QRLDoc.h"
#include "report/ReportPrint.h"
#include "report/forms/OptionsForm.h"

namespace kvr {

namespace {

// The printer of the run: made on first use (all pages, no range or selection, copies by
// the printer, no printing to a file) and proposed again by every later print dialog.
QPrinter& RunPrinter() {
    static std::unique_ptr<QPrinter> printer = [] {
        auto p = std::make_unique<QPrinter>();
        p->setPrintRange(QPrinter::AllPages);
        return p;
    }();
    return *printer;
}

PrinterChoice& RunChoice() {
    static PrinterChoice choice;
    return choice;
}

PrintForms DesktopForms(QWidget* owner) {
    PrintForms forms;
    forms.operatorName = [owner](std::string& name) {
        COptionsForm form(owner);
        if (form.exec() != QDialog::Accepted) {
            return false;
        }
        name = form.OperatorName();
        return true;
    };
    forms.printer = [owner](PrinterChoice& choice) {
        QPrintDialog dialog(&RunPrinter(), owner);
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
        choice.printer = RunPrinter().printerName().toStdString();
        choice.driver.clear();
        choice.port.clear();
        return true;
    };
    return forms;
}

// Asks where to save a PDF; empty when cancelled.
std::string AskPdfPath(QWidget* owner, const QString& title) {
    QString path =
        QFileDialog::getSaveFileName(owner, title, QString(), QStringLiteral("PDF files (*.pdf)"));
    if (!path.isEmpty() && !path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".pdf");
    }
    return path.toStdString();
}

}  // namespace

bool PrintConfigurationFromWindow(QWidget* owner, CQRLDoc& doc) {
    return PrintConfigurationReport(doc, ReportTarget{}, RunChoice(), DesktopForms(owner));
}

bool SaveConfigurationPdfFromWindow(QWidget* owner, CQRLDoc& doc) {
    const std::string path = AskPdfPath(owner, QStringLiteral("Save Report as PDF"));
    if (path.empty()) {
        return false;
    }
    return PrintConfigurationReport(doc, ReportTarget{.print = false, .file = path}, RunChoice(),
                                    DesktopForms(owner));
}

bool PrintDisplaySetupFromWindow(QWidget* owner, CQRLDoc& doc, const DisplayFileImage& setup) {
    return PrintDisplaySetup(doc, setup, ReportTarget{}, RunChoice(), DesktopForms(owner));
}

bool SaveDisplaySetupPdfFromWindow(QWidget* owner, CQRLDoc& doc, const DisplayFileImage& setup) {
    const std::string path = AskPdfPath(owner, QStringLiteral("Save Display Report as PDF"));
    if (path.empty()) {
        return false;
    }
    return PrintDisplaySetup(doc, setup, ReportTarget{.print = false, .file = path}, RunChoice(),
                             DesktopForms(owner));
}

std::string ChosenPrinterName() {
    return RunChoice().printer;
}

}  // namespace kvr
