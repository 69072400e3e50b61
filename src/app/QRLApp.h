// CQRLApp: the program's start-up. It owns the one document, puts the Qt user seam and the
// forms in place in the seams (base/Seams.h), creates the main window with its view, shows the
// splash picture, and resets the document or opens the file named on the command line.
#pragma once

#include <QPointer>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/ContextHelp.h"
#include "app/QtUserSeam.h"
#include "base/Seams.h"
#include "document/QRLDoc.h"

namespace kvr::app {

class CMainFrame;
class CSplashWindow;

struct CommandLine {
    std::string file;          // a setup file to open
    std::string screenshot;    // --screenshot PATH: save a picture of the window and end
    bool splash = true;        // not when started for embedding or automation
    bool demo = false;         // --demo: a simulated KVR 300 and settings of the run's own
    bool dark = false;         // --dark: the Fusion style with a dark palette
    int benchSeconds = 0;      // --bench-seconds N: demo, measure, print the figures, end
    bool benchTrends = false;  // --bench-trends: the same with a day of trends on view
    bool print = false;        // --print: print the setup file's configuration report, end
    std::string error;         // a command line that cannot be understood
};
CommandLine ParseCommandLine(const QStringList& arguments);
inline constexpr const char* kUsage =
    "usage: kvrview [SETUP-FILE.kvr] [--demo] [--screenshot PNG-PATH]\n"
    "       kvrview --print SETUP-FILE.kvr\n"
    "       kvrview --help | --version\n"
    "  --demo             start with a simulated KVR 300 attached (configuration\n"
    "                     password: demo); the stored settings are left alone\n"
    "  --screenshot PATH  save a picture of the main window once it is shown, then end\n"
    "  --print            print the setup file's configuration report, then end\n"
    "  --dark             use a dark palette (to check the look on a dark desktop)\n"
    "  --bench-seconds N  demo with 60 monitors for N seconds, print the timer lateness,\n"
    "                     the time to the first window and end\n"
    "  --bench-trends     with --bench-seconds: first a day of readings into the trends,\n"
    "                     shown for every monitor; also print the resident memory\n";

// "--help" (or "-h") prints the usage and "--version" the program's version to out, before
// any window system is needed; the exit status then, or nothing for a run of the program.
std::optional<int> AnswerInfoOptions(int argc, const char* const* argv, std::FILE* out);

class CQRLApp final {
  public:
    CQRLApp();
    ~CQRLApp();
    CQRLApp(const CQRLApp&) = delete;
    CQRLApp& operator=(const CQRLApp&) = delete;

    // False when the program is to end at once: the named file could not be opened.
    bool InitInstance(const CommandLine& commandLine);

    CMainFrame* MainFrame() const { return frame_.get(); }
    // The start-up picture is still up (nothing is to be read from the units meanwhile).
    bool SplashShowing() const { return !splash_.isNull(); }
    CQRLDoc& Document() { return doc_; }

  private:
    CQRLDoc doc_;
    ScopedActiveDocument active_{doc_};
    CQtUserSeam seam_;
    ScopedSeams seamInPlace_{Seams{.user = &seam_}};
    CContextHelp contextHelp_;
    std::unique_ptr<CMainFrame> frame_;
    // The forms behind the core's seams, from InitInstance until the window has gone.
    std::optional<ScopedSeams> formsInPlace_;
    QPointer<CSplashWindow> splash_;
};

}  // namespace kvr::app
