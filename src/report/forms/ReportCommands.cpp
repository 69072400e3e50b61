#include "report/forms/ReportCommands.h"

#include "report/forms/ReportForms.h"

namespace kvr {

namespace {

void OnPrint(MeasureCommandHost& host) {
    PrintConfigurationFromWindow(host.FormOwner(), host.Doc());
}

void OnSavePdf(MeasureCommandHost& host) {
    SaveConfigurationPdfFromWindow(host.FormOwner(), host.Doc());
}

}  // namespace

CommandRows<MeasureCommandHost> ReportCommandRows() {
    static const CommandRow<MeasureCommandHost> kRows[] = {
        {{kCmdPrint, kPopupFile, "", "&Print...", "Print the active document\nPrint", "Ctrl+P",
          false},
         {44, 0},
         OnPrint,
         nullptr,
         nullptr},
        {{kCmdSaveReportPdf, kPopupFile, "", "Save Report as P&DF...",
          "Save the configuration report as a PDF file\nSave Report as PDF", "", false},
         {45, 0},
         OnSavePdf,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr
