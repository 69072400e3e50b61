// kvrctl report: the configuration report of a setup file, or the report of a display
// setup file, saved as RTF or PDF or printed.
#include <string>
#include <vector>

#include "base/Seams.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"
#include "modules/DisplayFile.h"
#include "report/ReportPrint.h"

namespace kvr::cli {

namespace {

int Report(const Options&, const std::vector<std::string>& args) {
    std::string in, out, operatorName, printer;
    bool display = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-o" && hasValue && out.empty()) {
            out = args[++i];
        } else if (a == "--operator" && hasValue) {
            operatorName = args[++i];
        } else if (a == "--printer" && hasValue && printer.empty()) {
            printer = args[++i];
        } else if (a == "--display") {
            display = true;
        } else if (in.empty() && !a.empty() && a[0] != '-') {
            in = a;
        } else {
            return UsageError("report", "unexpected argument '" + a + "'");
        }
    }
    if (in.empty()) {
        return UsageError("report",
                          display ? "no display setup file given" : "no setup file given");
    }
    if (out.empty() == printer.empty()) {
        return UsageError("report", "give either -o FILE or --printer NAME");
    }

    CliUser user;
    ScopedSeams seams(Seams{.user = &user});
    CQRLDoc doc;
    doc.OnNewDocument();
    DisplayFileImage setup;
    if (display) {
        std::string error;
        if (!ReadDisplayFile(in, setup, error)) {
            return Fail(in + ": " + error);
        }
    } else if (OpenSetupFile(doc, in, false) != SetupStatus::Loaded) {
        return kExitFailed;  // the reason was printed through the seam
    }
    // An empty --operator counts as none: the report is refused as without one.
    doc.SetOperatorName(operatorName);
    PrintForms forms;
    forms.printer = [printer](PrinterChoice& choice) {
        choice.printer = printer;
        return true;
    };
    ReportTarget target{.print = !printer.empty(), .file = out, .waitForPrint = true};
    PrinterChoice choice;
    const bool done = display ? PrintDisplaySetup(doc, setup, target, choice, forms)
                              : PrintConfigurationReport(doc, target, choice, forms);
    return done ? 0 : kExitFailed;
}

}  // namespace

CommandRows ReportCommandRows() {
    static const CommandRow kRows[] = {
        {"report", 160, Report, "the configuration report of a setup file, or a display setup's",
         "usage: kvrctl report FILE.kvr (-o OUT.rtf|OUT.pdf | --printer NAME) [--operator NAME]\n"
         "       kvrctl report --display FILE.dsp (-o OUT.rtf|OUT.pdf | --printer NAME)\n"
         "                     [--operator NAME]\n"
         "\n"
         "Fills the report template (KVRPrnTemplate.rtf, or DispPrnTemplate.rtf with\n"
         "--display) found beside kvrctl or in its share/kvr-view folder.\n"
         "  -o OUT.rtf       save the filled report\n"
         "  -o OUT.pdf       save it converted to PDF by LibreOffice (soffice)\n"
         "  --printer NAME   print it on the CUPS printer NAME with the print command of the\n"
         "                   settings (default: soffice --headless --pt NAME FILE)\n"
         "  --operator NAME  the operator named on the report; a report needs one\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
