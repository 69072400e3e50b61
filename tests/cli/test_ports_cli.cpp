// kvrctl ports --watch: adapters plugged in and pulled while it runs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

TEST(KvrctlPorts, WatchListsAgainWhenAnAdapterComesAndGoes) {
    test::IsolatedSettings isolated;
    test::TempDir dir;
    const std::string byId = dir.File("by-id");
    std::filesystem::create_directories(byId);
    test::ScopedEnv byIdEnv("KVR_SERIAL_BY_ID", byId);
    const std::string link = byId + "/usb-Acme_Serial_Cable_C42-if00-port0";
    test::RunResult r;
    std::thread run([&] { r = test::Run({KVRCTL_EXE, "ports", "--watch", "--duration", "3.5"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    std::filesystem::create_symlink("/dev/null", link);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::filesystem::remove(link);
    run.join();
    ASSERT_EQ(r.status, 0) << r.err;
    const size_t plugged = r.out.find("\n+ " + link + "  [Acme Serial Cable, serial C42]\n");
    const size_t pulled = r.out.find("\n- " + link + "  [Acme Serial Cable, serial C42]\n");
    ASSERT_NE(plugged, std::string::npos) << r.out;
    ASSERT_NE(pulled, std::string::npos) << r.out;
    EXPECT_LT(plugged, pulled);
    // Three tables: at the start and after each change.
    size_t tables = 0;
    for (size_t at = r.out.find("Port  Device\n"); at != std::string::npos;
         at = r.out.find("Port  Device\n", at + 1)) {
        ++tables;
    }
    EXPECT_EQ(tables, 3u) << r.out;
}

}  // namespace
}  // namespace kvr
