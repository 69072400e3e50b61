#include "monitor/ReadingThread.h"

#include <algorithm>
#include <chrono>

#include "base/Clock.h"
#include "base/UserSeam.h"
#include "measure/MeasuredValue.h"
#include "monitor/LogFile.h"

namespace kvr {

void MonitorTextTable::Set(size_t index, std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.at(index) = std::move(text);
}

std::string MonitorTextTable::Get(size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_.at(index);
}

std::vector<std::string> MonitorTextTable::First(size_t n) const {
    std::lock_guard<std::mutex> lock(mutex_);
    n = std::min(n, texts_.size());
    return std::vector<std::string>(texts_.begin(), texts_.begin() + static_cast<long>(n));
}

void MonitorTextTable::SetAll(const std::vector<std::string>& texts) {
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t n = std::min(texts.size(), texts_.size());
    std::copy(texts.begin(), texts.begin() + static_cast<long>(n), texts_.begin());
}

int BoardsToRead(int channelCount) {
    if (channelCount == 3) {
        return kChannelObjects;  // the main board of a KVR 300 as well
    }
    return std::clamp(channelCount, 0, kChannelObjects);
}

ReadingThread::ReadingThread(CQRLDoc& doc, MonitorShared& shared) : doc_(doc), shared_(shared) {}

ReadingThread::~ReadingThread() {
    Stop();
}

void ReadingThread::Start(unsigned readIntervalMs) {
    Stop();
    doc_.NoteReaderRunning(true);
    readIntervalMs_ = readIntervalMs;
    stop_ = false;
    anyCycle_ = false;
    {
        std::lock_guard<std::mutex> lock(endMutex_);
        ended_ = false;
    }
    // Linux gives a raised priority only to privileged processes; the thread runs at the
    // normal one.
    thread_ = std::thread([this] {
        MarkBackgroundThread();
        Run();
    });
}

bool ReadingThread::Stop() {
    if (!thread_.joinable()) {
        stop_ = false;
        return true;
    }
    stop_ = true;
    IClock& clock = GetClock();
    const uint64_t start = clock.NowMs();
    bool ended = false;
    {
        std::unique_lock<std::mutex> lock(endMutex_);
        while (!ended_ && clock.NowMs() - start < kReadingStopWaitMs) {
            // Short real waits so the limit is measured on the clock seam; a virtual clock
            // is moved on by each of them.
            endSignal_.wait_for(lock, std::chrono::milliseconds(10));
            if (!ended_ && clock.IsVirtual()) {
                lock.unlock();
                clock.SleepMs(10);
                lock.lock();
            }
        }
        ended = ended_;
    }
    thread_.join();
    doc_.NoteReaderRunning(false);
    stop_ = false;
    return ended;
}

void ReadingThread::Run() {
    while (RunPass() != Pass::Stopped) {
    }
    {
        std::lock_guard<std::mutex> lock(endMutex_);
        ended_ = true;
    }
    endSignal_.notify_all();
}

bool ReadingThread::SleepUnlessStopped(uint64_t ms) {
    IClock& clock = GetClock();
    const uint64_t end = clock.NowMs() + ms;
    for (;;) {
        if (stop_) {
            return false;
        }
        const uint64_t now = clock.NowMs();
        if (now >= end) {
            return true;
        }
        clock.SleepMs(std::min<uint64_t>(end - now, kIdlePollMs));
    }
}

void ReadingThread::SetContact(bool contact) {
    const bool had = shared_.contact.exchange(contact);
    if (had && !contact) {
        AppBeep(kContactLostBeepHz, kContactLostBeepMs);
    } else if (!had && contact) {
        AppBeep(kContactBackBeepHz, kContactBackBeepMs);
    }
}

void ReadingThread::NoteLine(const CSerialPort& port) {
    // Under the device lock: the port is the caller's alone here.
    const bool lost = port.LineLost();
    shared_.SetLine({lost, lost ? port.LostDevice() : std::string()});
}

bool ReadingThread::HandOverIfWaiting(std::optional<DeviceLock>& lock) {
    if (!doc_.CommandWaiting()) {
        return false;
    }
    lock.reset();
    IClock& clock = GetClock();
    const uint64_t start = clock.NowMs();
    while (doc_.CommandWaiting() && DeviceLock::Owner(doc_) == std::thread::id() && !stop_ &&
           clock.NowMs() - start < kDeviceLockTimeoutMs) {
        // The waiter needs the processor, not time: short real waits; a virtual clock is
        // moved on by each so that the limit still holds.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (clock.IsVirtual()) {
            clock.SleepMs(1);
        }
    }
    return true;
}

ReadingThread::Pass ReadingThread::RunPass() {
    // A lost line is no contact here: never the port form or a message from this thread.
    QuietOpenScope quiet;
    if (stop_) {
        stop_ = false;
        return Pass::Stopped;
    }
    if (shared_.splashShowing) {
        SleepUnlessStopped(kIdlePollMs);
        return Pass::Idle;
    }
    bool nothingToRead = false;
    {
        // The channel count and the list belong to the user-interface thread, which
        // changes them only while holding the device lock.
        DeviceLock lock(doc_);
        if (!lock.Lock()) {
            return Pass::NoLock;
        }
        nothingToRead = doc_.GetChannels() == 0 || doc_.Monitors().count == 0;
        NoteLine(doc_.Port());  // a command may have lost it meanwhile
    }
    if (nothingToRead) {
        SleepUnlessStopped(kIdlePollMs);
        return Pass::Idle;
    }

    // Pacing: a cycle starts no earlier than the read interval after the previous one.
    IClock& clock = GetClock();
    const unsigned interval = readIntervalMs_;
    if (anyCycle_) {
        const uint64_t due = lastCycleStartMs_ + interval;
        const uint64_t now = clock.NowMs();
        if (due > now && due - now <= interval && !SleepUnlessStopped(due - now)) {
            return Pass::Idle;  // the next pass sees the stop request
        }
    }
    lastCycleStartMs_ = clock.NowMs();
    anyCycle_ = true;

    std::optional<DeviceLock> lock(std::in_place, doc_);
    if (!lock->Lock()) {
        return Pass::NoLock;
    }
    const int channelCount = doc_.GetChannels();
    if (channelCount == 0) {
        return Pass::Idle;
    }
    // A command (an upload, the transmission setup) gets the port before the cycle
    // starts and between any two exchanges, so that a silent unit cannot starve it.
    if (HandOverIfWaiting(lock)) {
        return Pass::HandedOver;
    }
    // Copied while the device lock is held: the form changes the document's list only
    // while it holds the same lock.
    const MonitorList list = doc_.Monitors();
    const int monitorCount = static_cast<int>(list.Size());
    const int boards = BoardsToRead(channelCount);

    // The protocol objects would open a closed port themselves and tell the user when it
    // will not open; this thread opens it quietly and counts a failure as no contact.
    CSerialPort& port = doc_.Port();
    const bool portReady = port.IsOpen() || port.OpenWithSettings();
    NoteLine(port);
    std::array<bool, kChannelObjects> delivered{};
    bool contact = false;
    if (portReady) {
        doc_.Channel(0).Sample();
        for (int b = 0; b < boards && port.IsOpen(); ++b) {
            if (stop_) {
                stop_ = false;
                return Pass::Stopped;  // the rest of the cycle would only delay the stop
            }
            if (HandOverIfWaiting(lock)) {
                return Pass::HandedOver;
            }
            delivered[static_cast<size_t>(b)] = doc_.Channel(b).ReadValues();
            if (delivered[static_cast<size_t>(b)]) {
                ++boardReplies_[static_cast<size_t>(b)];
                contact = true;
            }
        }
    }
    // A line that hung up during the cycle (unplugged) is closed by the port: the values
    // read before are no longer live, so contact is lost at once.
    contact = contact && port.IsOpen();
    if (!contact) {
        NoteLine(port);
        lock.reset();
        SetContact(false);
        ++cycles_;
        if (!port.IsOpen()) {
            // Nothing waited on the line: retry the opening quietly like an idle pass, not
            // in a busy loop (a lost device is looked for by its stable name each time).
            SleepUnlessStopped(kIdlePollMs);
        }
        return Pass::NoContact;
    }

    // The values are taken while the lock still guards the channel objects; a board that
    // gave no valid reply in this cycle has no value to show, only older ones.
    const bool secondaries = shared_.secondaries;
    std::vector<std::string> texts;
    texts.reserve(list.Size());
    for (int i = 0; i < monitorCount && !stop_; ++i) {
        const int channel = list.channels[static_cast<size_t>(i)];
        const MeasuredEntity e = list.EntityAt(static_cast<size_t>(i));
        double value = 0;
        if (channel >= boards || !delivered[static_cast<size_t>(channel)] ||
            !doc_.Channel(channel).GetValue(e, Winding::Primary, value)) {
            texts.emplace_back(kInvalidValueText);
            continue;
        }
        if (!secondaries) {
            value = doc_.Channel(channel).record.ToPrimary(e, value);
        }
        texts.push_back(MeasuredValue(value, e).FormatSignificant(kValueDigits));
    }
    lock.reset();

    SetContact(true);
    shared_.texts.SetAll(texts);
    shared_.newValues = true;
    ++cycles_;
    return Pass::Read;
}

}  // namespace kvr
