// The reports from the desktop program: the printer chosen with Qt's print dialog (CUPS)
// and kept for the run, the operator name asked with the Options form, a PDF saved where
// the user chooses. The rules are report/ReportPrint.h's.
#pragma once

#include <string>

#include "modules/DisplayFile.h"

class QWidget;

namespace kvr {

class CQRLDoc;

// The configuration report of the document, printed or saved as PDF (the user picks the
// file). False when cancelled or failed (the failure shown).
bool PrintConfigurationFromWindow(QWidget* owner, CQRLDoc& doc);
bool SaveConfigurationPdfFromWindow(QWidget* owner, CQRLDoc& doc);

// The display form's Print button: the setup as the form holds it (its description and
// 24 lines, the current line's fields stored first), printed or saved as PDF.
bool PrintDisplaySetupFromWindow(QWidget* owner, CQRLDoc& doc, const DisplayFileImage& setup);
bool SaveDisplaySetupPdfFromWindow(QWidget* owner, CQRLDoc& doc, const DisplayFileImage& setup);

// The name of the printer chosen in this run; empty before the first choice.
std::string ChosenPrinterName();

}  // namespace kvr
