// kvrctl query, upload -o and download as a user runs them, against kvr-sim processes on
// pseudo-terminals.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "base/Registry.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TransferCli : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(
            CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "pw"),
            kRegOk);
    }
    // A simulated unit of the given kind (and serial number of its first board).
    std::unique_ptr<test::SimProcess> Sim(const std::string& unit, const std::string& serial) {
        auto sim = std::make_unique<test::SimProcess>(std::vector<std::string>{
            KVR_SIM_EXE, "--unit", unit, "--baud", "38400", "--serial", serial});
        EXPECT_FALSE(sim->Path().empty());
        path = sim->Path();
        return sim;
    }
    test::RunResult Kvrctl(std::vector<std::string> args) {
        args.insert(args.begin(), {KVRCTL_EXE, "--device", path, "--baud", "38400"});
        return test::Run(args);
    }

    test::IsolatedSettings isolated;  // never the user's own settings
    test::TempDir dir;
    std::string path;
};

TEST_F(TransferCli, UploadEditDownloadAndReadBack) {
    auto sim = Sim("kvr300", "204117");
    const std::string file = dir.File("site.kvr");
    test::RunResult r = Kvrctl({"upload", "-o", file, "--raw", dir.File("raw")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Board 3 (main board"), std::string::npos);
    EXPECT_NE(r.out.find("Uploaded from KVR 300\nStatus: Uploaded KVR 300\n"), std::string::npos)
        << r.out;
    ASSERT_TRUE(std::filesystem::exists(file));

    // Rename board 1 in the setup file: its record is stored as on the wire.
    std::vector<char> bytes = ReadAll(file);
    const std::vector<char> record = ReadAll(dir.File("raw/board1.rec"));
    ASSERT_EQ(record.size(), 115u);
    auto at = std::search(bytes.begin(), bytes.end(), record.begin(), record.end());
    ASSERT_NE(at, bytes.end());
    const char kName[16] = "Renamed by CLI";
    std::copy(kName, kName + 16, at + 79);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    r = Kvrctl({"download", file});  // no password anywhere
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("a password is needed"), std::string::npos) << r.err;

    {
        test::ScopedEnv password("KVR_PASSWORD", "pw");
        r = Kvrctl({"download", file});
    }
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Downloaded to KVR 300\nStatus: Downloaded KVR 300\n");
    // Only board 1 changed: the other three already held their records.
    EXPECT_NE(r.err.find("kvrctl: note: 3 of 4 board(s) already held this configuration and "
                         "were not written again (--all-boards writes every board)"),
              std::string::npos)
        << r.err;

    r = Kvrctl({"upload", "--board", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Renamed by CLI"), std::string::npos) << r.out;

    // A file cut short, or not a setup file at all, is never downloaded.
    const std::string cut = dir.File("cut.kvr");
    std::ofstream(cut, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size() - 40));
    std::ofstream(dir.File("junk.kvr")) << "not a setup file";
    test::ScopedEnv password("KVR_PASSWORD", "pw");
    r = Kvrctl({"download", cut});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing downloaded: " + cut + " ends inside board 3"), std::string::npos)
        << r.err;
    r = Kvrctl({"download", dir.File("junk.kvr")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("could not be opened as a setup file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST_F(TransferCli, DifferentUnitStopsAtEachUnansweredQuestion) {
    const std::string file = dir.File("unit-a.kvr");
    {
        auto a = Sim("kvr100", "204117");
        test::RunResult r = Kvrctl({"upload", "-o", file});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Uploaded from KVR 100\nStatus: Uploaded KVR 100\n"),
                  std::string::npos)
            << r.out;
    }
    auto b = Sim("kvr100", "500000");  // another unit on the same line
    test::ScopedEnv password("KVR_PASSWORD", "pw");

    test::RunResult r = Kvrctl({"download", file});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("A different unit appears to have been attached since the last "
                         "upload! Are you sure you wish to proceed ? (answer with "
                         "--to-different-unit yes|no)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

    r = Kvrctl({"download", file, "--to-different-unit", "yes"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Do you wish to overwrite the serial number of the attached KVR unit ? "
                         "(answer with --overwrite-serial yes|no)"),
              std::string::npos)
        << r.err;

    r = Kvrctl({"download", file, "--to-different-unit", "no"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("0 Channel(s) Downloaded"), std::string::npos) << r.out;

    r = Kvrctl({"download", file, "--to-different-unit", "maybe"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--to-different-unit needs yes or no"), std::string::npos);

    r = Kvrctl({"download", file, "--to-different-unit", "yes", "--overwrite-serial", "no"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Downloaded to KVR 100"), std::string::npos) << r.out;
    r = Kvrctl({"upload", "--board", "0"});
    EXPECT_NE(r.out.find("Serial number            500000"), std::string::npos) << r.out;

    r = Kvrctl({"download", file, "--to-different-unit", "yes", "--overwrite-serial", "yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Kvrctl({"upload", "--board", "0"});
    EXPECT_NE(r.out.find("Serial number            204117"), std::string::npos) << r.out;
}

TEST_F(TransferCli, PartialTransfersFailAndNameTheBoards) {
    const std::string good = dir.File("good.kvr");
    const std::string file = dir.File("site.kvr");
    test::ScopedEnv password("KVR_PASSWORD", "pw");
    {
        auto sim = Sim("kvr300", "204117");
        ASSERT_EQ(Kvrctl({"upload", "-o", good}).status, 0);
        std::ofstream(file) << "the good file";
        auto lostReply = [&] {
            sim->Command("drop");  // board 0's record never arrives
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        };
        lostReply();
        test::RunResult r = Kvrctl({"upload", "-o", file});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("upload incomplete, " + file +
                             " not written: not read: board 0 (channel 1, address 0), board 1 "
                             "(channel 2, address 1), board 2 (channel 3, address 2), board 3 "
                             "(main board, address 3)"),
                  std::string::npos)
            << r.err;
        const std::vector<char> old = ReadAll(file);
        EXPECT_EQ(std::string(old.begin(), old.end()), "the good file");

        lostReply();
        r = Kvrctl({"upload", "-o", file, "--continue"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("saved " + file), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(file + " holds default records for board 0 (channel 1, address 0)"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(ReadAll(file).size(), ReadAll(good).size());  // all four boards

        r = Kvrctl({"download", good, "--all-boards"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("already held"), std::string::npos) << r.err;
    }
    // A KVR 300's configuration written to a KVR 100: board 0 only, and a failure.
    auto sim = Sim("kvr100", "204117");
    test::RunResult r = Kvrctl({"download", good, "--to-different-unit", "yes",
                                "--overwrite-serial", "no", "--overwrite-calibration", "no"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1 Channel(s) Downloaded\nStatus: Downloaded Ch 1\n");
    EXPECT_NE(r.err.find("kvrctl: board 1 (channel 2, address 1) not written: no valid record "
                         "came back when it was read before writing"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace kvr
