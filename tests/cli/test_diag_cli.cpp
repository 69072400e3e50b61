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
    test::RunResult Kvrctl(std::vector<std::string> args, unsigned timeoutMs = 30000,
                           const std::string& input = "") {
        args.insert(args.begin(), {KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400"});
        return test::Run(args, timeoutMs, input);
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
    // A loopback byte out of range is refused before anything is sent.
    test::RunResult r = Kvrctl({"diag", "loopback", "cycle", "1", "2", "3", "256", "--board", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Please enter an integer between 0 and 255."), std::string::npos);
    EXPECT_TRUE(Holds(0, "loopback 0 output test off"));
    // Output 1 of board 0 is an analog card: a relay action is refused, the DAC value is
    // sent as its low 16 bits.
    r = Kvrctl({"diag", "relay", "make", "--board", "0", "--output", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a relay output"), std::string::npos) << r.err;
    r = Kvrctl({"diag", "dac", "--board", "0", "--output", "1", "-1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Holds(0, "output test on relays 0000 pulses 0/0/0/0 dac 65535/0/0/0"));
    EXPECT_TRUE(Holds(3, "output test on"));  // the main board at its own address
    r = Kvrctl({"upload", "--board", "3"});
    EXPECT_NE(r.out.find("Serial number            204120"), std::string::npos) << r.out;

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
    for (int address : {0, 1, 2, 3}) {
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

TEST_F(DiagCli, OutputCalibrationFromTypedMeterReadingsFindsTheHiddenDac) {
    // The meter readings at DAC -2000 and 2000 of output 1 of board 0, whose hidden
    // calibration in the simulator is span 1937, offset -17.
    std::string readings;
    for (const char* dac : {"-2000", "2000"}) {
        ASSERT_EQ(Kvrctl({"diag", "dac", "--board", "0", "--output", "1", dac}).status, 0);
        ASSERT_TRUE(Holds(0, std::string("dac ") + (dac[0] == '-' ? "63536" : "2000")));
        const std::string meter = sim.Ask("meter 1", "output 1:");
        const size_t from = meter.find(": ") + 2;
        ASSERT_NE(from, std::string::npos + 2) << meter;
        readings += meter.substr(from, meter.find(" (") - from) + "\n";
    }
    const std::string file = dir.File("cal.kvr");
    test::RunResult r = Kvrctl({"calibrate", "output", "--board", "0", "--output", "1", "--lower",
                                "-Max", "--upper", "+Max", "-o", file},
                               30000, readings);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("driven to -Max (DAC -2000), expected -20.00 mA; meter reading:"),
              std::string::npos)
        << r.out;
    int span = 0;
    int offset = 0;
    const size_t at = r.out.find("output 1 of board 0: DAC span ");
    ASSERT_NE(at, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + at, "output 1 of board 0: DAC span %d, offset %d", &span,
                          &offset),
              2);
    EXPECT_NEAR(span, 1937, 1);
    EXPECT_NEAR(offset, -17, 1);  // -16.5 stored toward zero
    EXPECT_TRUE(Holds(3, "output test off"));
    r = test::Run({KVRCTL_EXE, "show", file});
    EXPECT_NE(r.out.find("Output 1 DAC span        " + std::to_string(span)), std::string::npos)
        << r.out;

    // No reading: nothing stored, status 1; a digital output is refused.
    EXPECT_EQ(Kvrctl({"calibrate", "output", "--board", "0", "--output", "1"}).status, 1);
    EXPECT_EQ(
        Kvrctl({"calibrate", "output", "--board", "0", "--output", "2", "--measured", "1", "2"})
            .status,
        1);
    EXPECT_EQ(Kvrctl({"calibrate", "output", "--board", "3", "--output", "1"}).status, 2);

    // The pretest drives through the nominal span the implausible stored one gives way to.
    r = Kvrctl({"pretest", "--board", "0", "--output", "1", "10 mA"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Holds(0, "output test off relays 0000 pulses 0/0/0/0 dac 951/"));
}

}  // namespace
}  // namespace kvr
