#include "report/ReportPrint.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "base/Files.h"
#include "base/Text.h"
#include "base/UserSeam.h"
#include "document/QRLDoc.h"
#include "report/Reports.h"

#ifndef KVR_DATA_DIR
#define KVR_DATA_DIR "/usr/local/share/kvr-view"
#endif

namespace kvr {

namespace {

std::string ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool Finish(const CRtfTemplate& report, bool filled, const ReportTarget& target,
            const PrinterChoice& choice) {
    if (!filled) {
        AppMessageBox(kReportErrorText);
        return false;
    }
    std::string error;
    if (!DeliverReport(report, target, choice, error)) {
        AppMessageBox(std::string(kReportErrorText) + "\n" + error);
        return false;
    }
    return true;
}

}  // namespace

std::string FindTemplate(const std::string& fileName) {
    const std::string folder = ProgramFolder();
    for (const std::string& candidate :
         {folder + "/" + fileName, folder + "/../share/kvr-view/" + fileName,
          std::string(KVR_DATA_DIR) + "/" + fileName}) {
        if (IsFile(candidate)) {
            return candidate;
        }
    }
    return folder + "/" + fileName;
}

bool PreparePrint(CQRLDoc& doc, const std::string& templateFile, CRtfTemplate& report,
                  PrinterChoice* choice, const PrintForms& forms) {
    if (doc.OperatorName().empty()) {
        AppMessageBox(kOperatorNameText, MsgIcon::Question, MsgButtons::Ok, kOperatorNameTitle);
        std::string name;
        if (!forms.operatorName || !forms.operatorName(name) || name.empty()) {
            AppMessageBox(kNoOperatorText, MsgIcon::Warning, MsgButtons::Ok, kNoOperatorTitle);
            return false;
        }
        doc.SetOperatorName(name);
    }
    if (choice != nullptr && (!forms.printer || !forms.printer(*choice))) {
        return false;
    }
    const std::string path = FindTemplate(templateFile);
    if (!report.LoadTemplate(path, kTemporaryReportName)) {
        char text[4096];
        std::snprintf(text, sizeof text, kTemplateErrorText, path.c_str());
        AppMessageBox(text, MsgIcon::Question, MsgButtons::Ok, kPrintErrorTitle);
        return false;
    }
    return true;
}

bool PrintTemplate(const CRtfTemplate& report, const PrinterChoice& choice, bool wait,
                   std::string& error) {
    std::string file;
    if (!report.WriteTemporary(file, error)) {
        return false;
    }
    const std::vector<std::string> argv =
        PrintCommandArguments(PrintCommandLine(), file, choice, error);
    if (argv.empty()) {
        return false;
    }
    return RunProgram(argv, ParentFolder(file), wait, kConvertTimeoutMs, error);
}

bool DeliverReport(const CRtfTemplate& report, const ReportTarget& target,
                   const PrinterChoice& choice, std::string& error) {
    if (target.print) {
        return PrintTemplate(report, choice, target.waitForPrint, error);
    }
    const std::string& out = target.file;
    const bool pdf =
        out.size() >= 4 && EqualNoCase(std::string_view(out).substr(out.size() - 4), ".pdf");
    if (!pdf) {
        return WriteFileAtomically(out, report.Content(), error);
    }
    std::string rtf;
    return report.WriteTemporary(rtf, error) && ConvertRtfToPdf(rtf, out, error);
}

bool PrintConfigurationReport(CQRLDoc& doc, const ReportTarget& target, PrinterChoice& choice,
                              const PrintForms& forms) {
    CRtfTemplate report;
    if (!PreparePrint(doc, kConfigurationTemplate, report, target.print ? &choice : nullptr,
                      forms)) {
        return false;
    }
    BusyMessage busy(kPrintingText);
    const bool filled = FillConfigurationReport(doc, report, std::time(nullptr));
    return Finish(report, filled, target, choice);
}

bool PrintDisplaySetup(CQRLDoc& doc, const DisplayFileImage& setup, const ReportTarget& target,
                       PrinterChoice& choice, const PrintForms& forms) {
    CRtfTemplate report;
    if (!PreparePrint(doc, kDisplayTemplate, report, target.print ? &choice : nullptr, forms)) {
        return false;
    }
    BusyMessage busy(kPrintingText);
    // A bookmark missing from this template is no error for the others.
    FillDisplayReport(setup, doc.OperatorName(), report, std::time(nullptr));
    return Finish(report, true, target, choice);
}

}  // namespace kvr
