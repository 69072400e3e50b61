// Settings store benchmark: a 4 MB store (about 40,000 keys, as a store grown by other
// programs or by hand may be) read for one value and written with one value changed,
// through the real file path. Every command reads the store at least once, so the read
// is what a user waits for. Target: under 100 ms for each.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/Files.h"
#include "base/Registry.h"
#include "base/Settings.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kLimitMs = 100.0;
constexpr size_t kStoreBytes = size_t{4} << 20;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A store of many keys with a few values each, the program's own key among them.
std::string BigStore(size_t& keys) {
    std::string text = "; KVR View settings\n";
    keys = 0;
    while (text.size() < kStoreBytes) {
        char block[256];
        std::snprintf(block, sizeof block,
                      "\n[Software\\Vendor %zu\\Product\\Settings]\n\"Name\"=\"value %zu\"\n"
                      "\"Count\"=dword:%08zx\n\"Blob\"=hex:01,02,03,04,05,06,07,08\n",
                      keys % 997, keys, keys);
        text += block;
        ++keys;
    }
    text += "\n[Software\\Corvane\\KVR View\\Preferences]\n\"COM Port\"=dword:00000003\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    char folder[] = "/tmp/kvr-bench-settings-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("bench: mkdtemp");
        return 1;
    }
    const std::string path = std::string(folder) + "/settings.reg";
    ::setenv("KVR_SETTINGS_FILE", path.c_str(), 1);
    size_t keys = 0;
    const std::string text = BigStore(keys);
    std::string error;
    if (!kvr::WriteFileAtomically(path, text, error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 1;
    }
    const int rounds = smoke ? 2 : 10;
    double read = 1e9;
    double write = 1e9;
    bool ok = true;
    for (int r = 0; r < rounds; ++r) {
        uint32_t port = 0;
        auto t0 = Clock::now();
        ok = kvr::CRegistry::ReadDword(kvr::RegRoot::CurrentUser, kvr::kKeyPreferences,
                                       kvr::kValComPort, port) == kvr::kRegOk &&
             port == 3 && ok;
        auto t1 = Clock::now();
        ok = kvr::CRegistry::WriteDword(kvr::RegRoot::CurrentUser, kvr::kKeyPreferences,
                                        kvr::kValMonitorCount,
                                        static_cast<uint32_t>(r)) == kvr::kRegOk &&
             ok;
        auto t2 = Clock::now();
        read = std::min(read, Ms(t0, t1));
        write = std::min(write, Ms(t1, t2));
    }
    ::unlink(path.c_str());
    ::unlink((path + ".lock").c_str());
    ::rmdir(folder);
    if (!ok) {
        std::fprintf(stderr, "bench: the store did not read or write back\n");
        return 1;
    }
    std::printf("%-40s %9s %9s %7s\n", "settings store", "ms", "limit ms", "ratio");
    char name[64];
    std::snprintf(name, sizeof name, "read one value (%.1f MB, %zu keys)",
                  static_cast<double>(text.size()) / (1 << 20), keys);
    std::printf("%-40s %9.1f %9.1f %7.2f\n", name, read, kLimitMs, read / kLimitMs);
    std::printf("%-40s %9.1f %9.1f %7.2f\n", "write one value (read, change, write)", write,
                kLimitMs, write / kLimitMs);
    std::printf("(best of %d; figures, not assertions)\n", rounds);
    return 0;
}
