// kvrctl diag and serial against a kvr-sim KVR 300 on a pseudo-terminal: what each action
// leaves in the simulated boards, as the simulator's status shows it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/Registry.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

class DiagCli : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(
            CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "pw"),
            kRegOk);
        ASSERT_FALSE(sim.Path().empty());
    }
    test::RunResult Kvrctl(std::vector<std::string> args, unsigned timeoutMs = 30000) {
        args.insert(args.begin(), {KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400"});
        return test::Run(args, timeoutMs);
    }
    // Whether the simulator's status line of the board at `address` holds `text` within
    // 2 s (a command sent without an answer may still be on its way when kvrctl ends).
    ::testing::AssertionResult Holds(int address, const std::string& text) {
        std::string line;
        for (int i = 0; i < 20; ++i) {
            line = Board(address);
            if (line.find(text) != std::string::npos) {
                return ::testing::AssertionSuccess();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return ::testing::AssertionFailure() << "no \"" << text << "\" in: " << line;
    }
    std::string Board(int address) {
        const std::string status = sim.Ask("status", "faults:");
        const std::string head = "address " + std::to_string(address) + " ";
        const size_t at = status.find(head);
        return at == std::string::npos ? "" : status.substr(at, status.find('\n', at) - at);
    }

    test::IsolatedSettings isolated;
    test::TempDir dir;
    test::SimProcess sim{{KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400"}};
};

TEST_F(DiagCli, RelayDacLoopbackAndModeReachTheBoards) {
    // Output 1 of board 0 is an analog card: a relay action is refused, the DAC value is
    // sent as its low 16 bits.
    test::RunResult r = Kvrctl({"diag", "relay", "make", "--board", "0", "--output", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a relay output"), std::string::npos) << r.err;
    r = Kvrctl({"diag", "dac", "--board", "0", "--output", "1", "-1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Holds(0, "output test on relays 0000 pulses 0/0/0/0 dac 65535/0/0/0"));
    EXPECT_TRUE(Holds(3, "output test on"));  // the main board at its own address

    // A relay card on output 2, downloaded; then make and pulse it.
    test::ScopedEnv password{"KVR_PASSWORD", "pw"};
    const std::string file = dir.File("unit.kvr");
    ASSERT_EQ(Kvrctl({"upload", "-o", file}).status, 0);
    ASSERT_EQ(test::Run({KVRCTL_EXE, "set", file, "out2.card=relay"}).status, 0);
    r = Kvrctl({"download", file});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Kvrctl({"diag", "relay", "make", "--board", "0", "--output", "2"}).status, 0);
    ASSERT_EQ(Kvrctl({"diag", "relay", "pulse", "--board", "0", "--output", "2"}).status, 0);
    EXPECT_TRUE(Holds(0, "relays 0100 pulses 0/1/0/0"));

    ASSERT_EQ(Kvrctl({"diag", "loopback", "static", "1", "2", "3", "4", "--board", "2"}).status, 0);
    ASSERT_EQ(Kvrctl({"diag", "mode", "factory", "--board", "2"}).status, 0);
    EXPECT_TRUE(Holds(2, "mode factory loopback 1"));
    ASSERT_EQ(Kvrctl({"diag", "output-test", "off", "--board", "0"}).status, 0);
    EXPECT_TRUE(Holds(0, "output test off"));
}

TEST_F(DiagCli, WrongCommandLinesAreStatusTwoAndSendNothing) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"diag", "relay", "make", "--board", "4", "--output", "1"},
             {"diag", "dac", "--board", "0", "--output", "5", "10"},
             {"diag", "dac", "--board", "0", "--output", "1", "ten"},
             {"diag", "mode", "user"},
             {"serial", "set", "12", "--board", "1", "--all"}}) {
        EXPECT_EQ(Kvrctl(args).status, 2) << args[1];
    }
    const test::RunResult r =
        Kvrctl({"diag", "loopback", "cycle", "1", "2", "3", "256", "--board", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Please enter an integer between 0 and 255."), std::string::npos);
    EXPECT_TRUE(Holds(0, "loopback 0 output test off"));
}

TEST_F(DiagCli, SerialSetWritesOneBoardOrEvery) {
    // Setting needs the password, as any download does.
    EXPECT_NE(Kvrctl({"serial", "set", "555", "--board", "1"}).status, 0);
    EXPECT_TRUE(Holds(1, "serial 204118"));

    test::ScopedEnv password{"KVR_PASSWORD", "pw"};
    test::RunResult r = Kvrctl({"serial", "set", "555", "--board", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Kvrctl({"upload", "--board", "1"});
    EXPECT_NE(r.out.find("555"), std::string::npos) << r.out;
    EXPECT_TRUE(Holds(0, "serial 204117"));

    ASSERT_EQ(Kvrctl({"serial", "set", "900", "--all"}).status, 0);
    for (int address : {0, 1, 2}) {
        EXPECT_TRUE(Holds(address, "serial 900 "));
    }
}

TEST_F(DiagCli, CalibrateInputsAppliesTheReferencesAndSavesTheSetup) {
    // Channel 1 sees 100 V and 4 A; the references are 5 % higher, within the 30 % that
    // would ask.
    sim.Command("input 1 voltage 100");
    sim.Command("input 1 current 4");
    const std::string file = dir.File("cal.kvr");
    const test::RunResult r = Kvrctl({"calibrate", "inputs", "--channel", "1", "--voltage", "105 V",
                                      "--current", "4.2 A", "-o", file},
                                     60000);
    ASSERT_EQ(r.status, 0) << r.err;
    double volts = 0;
    double amps = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "Channel 1: average %lf V, %lf A", &volts, &amps), 2)
        << r.out;
    EXPECT_NEAR(volts, 100.0, 0.5);
    EXPECT_NEAR(amps, 4.0, 0.05);
    EXPECT_TRUE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace kvr
