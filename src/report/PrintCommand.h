// Handing a filled report to other programs: the print command (a word processor that
// prints an RTF file on a named printer) and the PDF export through LibreOffice headless.
// No shell is involved: the command line is split into words here and each placeholder is
// one argument, so a printer or file name with spaces or quotes stays what it is.
#pragma once

#include <string>
#include <vector>

namespace kvr {

// The printer the user chose, in the terms the print command takes: the queue name (CUPS
// destination), and the driver and port names, which a CUPS queue does not need.
struct PrinterChoice {
    std::string printer;
    std::string driver;
    std::string port;
};

// Used when the settings hold no print command: LibreOffice prints the file on the printer.
inline constexpr const char* kDefaultPrintCommand = "soffice --headless --pt %p %f";
// The converter program for the PDF export: $KVR_SOFFICE, else soffice on the path.
std::string OfficeProgram();

// The words of a command line: blanks separate words, double quotes group (and are
// removed), a backslash before a double quote keeps it.
std::vector<std::string> SplitCommandLine(const std::string& command);

// The program and arguments of a print command for a file, printer, driver and port.
// A command with placeholders gets them replaced inside its words: %f the file, %p the
// printer, %d the driver, %o the port, %% a percent sign. A command without any is taken
// in the form "program /pt ...": the program is everything before /pt, and the arguments
// are /pt, the file, the printer, the driver and the port. Empty with the reason for a
// command in neither form.
std::vector<std::string> PrintCommandArguments(const std::string& command, const std::string& file,
                                               const PrinterChoice& choice, std::string& error);

// The print command of the settings, else the default.
std::string PrintCommandLine();

// Starts a program in a working folder, its input from /dev/null and its output
// discarded. With wait, waits (through the clock) at most timeoutMs for it to end and
// kills it after; false with the reason when it could not start, ended with a failure
// status or was killed. Without wait the program is left to run and reaped when it ends.
bool RunProgram(const std::vector<std::string>& argv, const std::string& workFolder, bool wait,
                unsigned timeoutMs, std::string& error);

// Converts an RTF file into a PDF file with LibreOffice headless, in a private working
// folder with a profile of its own (so parallel runs and an open LibreOffice do not meet),
// then writes the PDF to pdfPath safely. At most timeoutMs.
inline constexpr unsigned kConvertTimeoutMs = 120000;
bool ConvertRtfToPdf(const std::string& rtfPath, const std::string& pdfPath, std::string& error,
                     unsigned timeoutMs = kConvertTimeoutMs);

}  // namespace kvr
