// Report export benchmark: the configuration report of a KVR 300 filled from the shipped
// template and converted to PDF by LibreOffice headless, as "Save Report as PDF..." and
// 'kvrctl report -o FILE.pdf' do it. The fill is the program's own work; the conversion is
// LibreOffice's start with a profile of its own. Target: the whole export under 10 s, so a
// technician waits for it no longer than for an upload.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "document/QRLDoc.h"
#include "report/PrintCommand.h"
#include "report/ReportPrint.h"
#include "report/Reports.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kLimitMs = 10000.0;
constexpr int kRuns = 3;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

}  // namespace

int main() {
    kvr::CQRLDoc doc;
    doc.OnNewDocument();
    doc.SetDeviceType(1);
    doc.SetOperatorName("Bench");
    const std::string pdf = "/tmp/kvr-bench-report.pdf";
    double fillMs = 0, worstMs = 0, totalMs = 0;
    for (int run = 0; run < kRuns; ++run) {
        kvr::CRtfTemplate report;
        const auto t0 = Clock::now();
        if (!report.LoadTemplate(kvr::FindTemplate(kvr::kConfigurationTemplate),
                                 kvr::kTemporaryReportName) ||
            !kvr::FillConfigurationReport(doc, report, std::time(nullptr))) {
            std::fprintf(stderr, "bench: the template is missing or incomplete\n");
            return 1;
        }
        const auto t1 = Clock::now();
        std::string rtf, error;
        if (!report.WriteTemporary(rtf, error) || !kvr::ConvertRtfToPdf(rtf, pdf, error)) {
            std::fprintf(stderr, "bench: %s\n", error.c_str());
            return 1;
        }
        const auto t2 = Clock::now();
        fillMs = Ms(t0, t1);
        worstMs = std::max(worstMs, Ms(t0, t2));
        totalMs += Ms(t0, t2);
    }
    std::printf("report fill: %.2f ms\n", fillMs);
    std::printf(
        "PDF export (fill + LibreOffice): mean %.0f ms, worst %.0f ms of %d; limit %.0f ms "
        "(%.2f of the limit)\n",
        totalMs / kRuns, worstMs, kRuns, kLimitMs, worstMs / kLimitMs);
    std::remove(pdf.c_str());
    return 0;
}
