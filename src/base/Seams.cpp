#include "base/Seams.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "base/Clock.h"
#include "base/Trace.h"
#include "base/UserSeam.h"

namespace kvr {

namespace {

template <class T>
bool IsFilled(T* pointer) {
    return pointer != nullptr;
}
template <class R, class... A>
bool IsFilled(const std::function<R(A...)>& function) {
    return static_cast<bool>(function);
}
template <class T>
bool IsFilled(const std::optional<T>& value) {
    return value.has_value();
}

struct Registry {
    std::mutex mutex;  // guards seams
    Seams seams;
    // The user seam and the clock are read on every message and every wait: they are
    // mirrored here for reads without the lock.
    std::atomic<IUserSeam*> user{nullptr};
    std::atomic<IClock*> clock{nullptr};

    Registry() { seams.trace = TraceSinkFromEnvironment(); }

    void MirrorLocked() {
        user.store(seams.user);
        clock.store(seams.clock);
    }
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

SteadyClock g_steady;

}  // namespace

std::mutex& detail::SeamsMutex() {
    return TheRegistry().mutex;
}

const Seams& detail::SeamsInPlace() {
    return TheRegistry().seams;
}

Seams CurrentSeams() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.seams;
}

void InstallSeams(const Seams& seams) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Seams given = seams;
    Seams::ForEachSlot(
        [](auto& slot, auto& value) {
            if (IsFilled(value)) {
                slot = std::move(value);
            }
        },
        r.seams, given);
    r.MirrorLocked();
}

void SetSeam(std::optional<std::string> Seams::*slot, std::optional<std::string> value) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.seams.*slot = std::move(value);
}

ScopedSeams::ScopedSeams(Seams seams) : filled_(0) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    unsigned bit = 1;
    Seams::ForEachSlot(
        [&](auto& slot, auto& value, auto& saved) {
            if (IsFilled(value)) {
                filled_ |= bit;
                saved = std::exchange(slot, std::move(value));
            }
            bit <<= 1;
        },
        r.seams, seams, previous_);
    r.MirrorLocked();
}

ScopedSeams::~ScopedSeams() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    unsigned bit = 1;
    Seams::ForEachSlot(
        [&](auto& slot, auto& saved) {
            if ((filled_ & bit) != 0) {
                slot = std::move(saved);
            }
            bit <<= 1;
        },
        r.seams, previous_);
    r.MirrorLocked();
}

IUserSeam* GetUserSeam() {
    return TheRegistry().user.load();
}

IClock& GetClock() {
    IClock* clock = TheRegistry().clock.load();
    return clock != nullptr ? *clock : g_steady;
}

}  // namespace kvr
