// kvrctl --trace against a kvr-sim KVR 300 on a pseudo-terminal: every exchange of a
// command comes decoded on standard error, one line each, the output left alone.
#include <gtest/gtest.h>

#include <regex>

#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

TEST(TraceCli, EveryExchangeOfACommandIsDecodedOnStandardError) {
    test::IsolatedSettings isolated;
    test::SimProcess sim{{KVR_SIM_EXE, "--unit", "kvr300", "--baud", "38400"}};
    ASSERT_FALSE(sim.Path().empty());
    const test::RunResult r =
        test::Run({KVRCTL_EXE, "--device", sim.Path(), "--baud", "38400", "--trace", "diag", "dac",
                   "--board", "0", "--output", "1", "4660"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Time, direction, command, checksum verdict, reply time, bytes.
    const std::regex read(
        R"(\d\d:\d\d:\d\d\.\d{3} < ReadParameters addr 0 +ok +\d+ ms  80 [0-9A-F ]+\n)");
    EXPECT_TRUE(std::regex_search(r.err, read)) << r.err;
    // Output 1 of the command line is output 0 on the wire; 4660 goes as 34 12.
    const std::regex dac(R"(> WriteDac out 0 addr 0 = 4660 +ok +-  F0 34 12 CA\n)");
    EXPECT_TRUE(std::regex_search(r.err, dac)) << r.err;
    EXPECT_EQ(r.out.find("WriteDac"), std::string::npos);
}

}  // namespace
}  // namespace kvr
