#include "base/Clock.h"

#include <chrono>
#include <thread>

namespace kvr {

uint64_t SteadyClock::NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::SleepMs(uint64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t VirtualClock::NowMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

void VirtualClock::SleepMs(uint64_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_ += ms;
    slept_ += ms;
}

uint64_t VirtualClock::SleptMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return slept_;
}

}  // namespace kvr
