// kvrctl report end to end: a configuration uploaded from a simulated KVR 300, its report
// saved as RTF, converted to PDF by LibreOffice and read back, and printed through a
// stand-in print command.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/Files.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"
#include "modules/DisplayFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ReportCli, ConfigurationOfAnUploadedUnit) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path());
    const std::string link = dir.File("kvr-tty");
    const std::string kvr = dir.File("unit.kvr");
    {
        test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400", "--link", link});
        ASSERT_FALSE(sim.Path().empty());
        test::RunResult up =
            test::Run({KVRCTL_EXE, "--device", link, "--baud", "38400", "upload", "-o", kvr});
        ASSERT_EQ(up.status, 0) << up.err;
    }
    CQRLDoc doc;
    doc.OnNewDocument();
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(kvr, bytes, error));
    ASSERT_EQ(LoadSetup(doc, bytes.data(), bytes.size()), SetupStatus::Loaded);
    const std::string serial = std::to_string(doc.Channel(kMainBoard).record.GetSerialNumber());

    // No operator: refused with the desktop program's words.
    test::RunResult r = test::Run({KVRCTL_EXE, "report", kvr, "-o", dir.File("r.rtf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "No Operator Name, cannot continue with printing.")) << r.err;
    EXPECT_EQ(test::Run({KVRCTL_EXE, "report", kvr}).status, 2);

    r = test::Run({KVRCTL_EXE, "report", kvr, "-o", dir.File("r.rtf"), "--operator", "Ann {B}"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(Slurp(dir.File("r.rtf")), "{\\*\\bkmkstart OperName}Ann \\{B\\}"));

    // A stand-in print command records what it was given.
    const std::string recorder = dir.File("record.sh");
    std::ofstream(recorder) << "#!/bin/sh\necho \"$@\" > " << dir.File("printed") << "\n";
    chmod(recorder.c_str(), 0755);
    std::ofstream(dir.File("system.reg"))
        << "[wrifile\\shell\\printto\\command]\n@=\"" << recorder << " -P %p %f\"\n";
    test::ScopedEnv system("KVR_SYSTEM_SETTINGS_FILE", dir.File("system.reg"));
    r = test::Run({KVRCTL_EXE, "report", kvr, "--printer", "Desk", "--operator", "Ann"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(dir.File("printed")), "-P Desk " + dir.File("kvr-view/QrlTemp.rtf") + "\n");

    if (test::Run({"/bin/sh", "-c", "command -v soffice && command -v pdftotext"}).status != 0) {
        GTEST_SKIP() << "LibreOffice or pdftotext is not installed";
    }
    r = test::Run({KVRCTL_EXE, "report", kvr, "-o", dir.File("r.pdf"), "--operator",
                   "J\xC3\xB6rg M\xC3\xBCller"},
                  150000);
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::Run({"/usr/bin/env", "pdftotext", dir.File("r.pdf"), "-"});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(Has(r.out, serial)) << r.out;
    EXPECT_TRUE(Has(r.out,
                    "J\xC3\xB6rg M\xC3\xBC"
                    "ller"))
        << r.out;
    EXPECT_TRUE(Has(r.out, "Active Power : Phase A")) << r.out;
}

TEST(ReportCli, DisplaySetup) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    DisplayFileImage setup;
    setup.description = "Panel 3";
    std::string error;
    ASSERT_TRUE(WriteDisplayFile(dir.File("p.dsp"), setup, error));
    test::RunResult r = test::Run({KVRCTL_EXE, "report", "--display", dir.File("p.dsp"), "-o",
                                   dir.File("d.rtf"), "--operator", "Ann"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string rtf = Slurp(dir.File("d.rtf"));
    EXPECT_TRUE(Has(rtf, "{\\*\\bkmkstart Description}Panel 3{")) << rtf;
    EXPECT_TRUE(Has(rtf, "{\\*\\bkmkstart DispVal24}-- BLANK --{")) << rtf;
    r = test::Run({KVRCTL_EXE, "report", "--display", dir.File("kvr.dsp"), "-o", dir.File("x.rtf"),
                   "--operator", "Ann"});
    EXPECT_EQ(r.status, 1);
}

}  // namespace
}  // namespace kvr
