// Printing and saving the reports: the steps before every report (operator name, printer,
// template), then the filled report printed, saved as RTF or converted to PDF. Messages go
// through AppMessageBox; the forms (the options form for the operator name, the printer
// choice) are given by the caller, so the desktop program, kvrctl and tests each bring
// their own.
#pragma once

#include <functional>
#include <string>

#include "modules/DisplayFile.h"
#include "report/PrintCommand.h"
#include "report/RtfTemplate.h"

namespace kvr {

class CQRLDoc;

inline constexpr const char* kOperatorNameText =
    "You have not yet entered your name. Please do so now.";
inline constexpr const char* kOperatorNameTitle = "Operator Name";
inline constexpr const char* kNoOperatorText = "No Operator Name, cannot continue with printing.";
inline constexpr const char* kNoOperatorTitle = "No Operator Name";
inline constexpr const char* kTemplateErrorText =
    "An error occurred while opening the print template file '%s'.\nPlease consult your supplier.";
inline constexpr const char* kPrintErrorTitle = "Print error !";
inline constexpr const char* kReportErrorText = "An error occurred while preparing the report!";
inline constexpr const char* kPrintingText = "Printing...";

struct PrintForms {
    // The options form with the operator name: false when cancelled. None: cancelled.
    std::function<bool(std::string& operatorName)> operatorName;
    // The printer choice, proposing the choice made before: false when not confirmed.
    // None: not confirmed.
    std::function<bool(PrinterChoice& choice)> printer;
};

// Where a report goes: printed on the chosen printer, or saved to a file (.pdf converted
// by LibreOffice, anything else the filled RTF itself).
struct ReportTarget {
    bool print = true;
    std::string file;
    // Printing: wait for the print command to end (kvrctl) rather than leave it running
    // (the desktop program).
    bool waitForPrint = false;
};

// The template file: beside the program, else in the installed data folder
// (<program folder>/../share/kvr-view), else the folder compiled in. The path beside the
// program when none exists (for the message).
std::string FindTemplate(const std::string& fileName);

// The steps before a report: the operator name (asked for when the document has none),
// the printer choice (only when printing; `choice` keeps it for the next report), and the
// template loaded as QrlTemp. False when any step fails; each failure has told the user
// why, except a printer choice that was not confirmed.
bool PreparePrint(CQRLDoc& doc, const std::string& templateFile, CRtfTemplate& report,
                  PrinterChoice* choice, const PrintForms& forms);

// The filled report printed (written as QrlTemp.rtf in the private report folder, then
// the print command) or saved. False with the reason.
bool PrintTemplate(const CRtfTemplate& report, const PrinterChoice& choice, bool wait,
                   std::string& error);
bool DeliverReport(const CRtfTemplate& report, const ReportTarget& target,
                   const PrinterChoice& choice, std::string& error);

// The configuration report of the document, and the report of a display setup, from
// start to end: prepare, fill, deliver; every failure shown. `choice` is the printer
// remembered for the run.
bool PrintConfigurationReport(CQRLDoc& doc, const ReportTarget& target, PrinterChoice& choice,
                              const PrintForms& forms);
bool PrintDisplaySetup(CQRLDoc& doc, const DisplayFileImage& setup, const ReportTarget& target,
                       PrinterChoice& choice, const PrintForms& forms);

}  // namespace kvr
