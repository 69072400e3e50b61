#include "document/QRLDoc.h"

#include <algorithm>
#include <cassert>

#include "base/Clock.h"
#include "base/UserSeam.h"
#include "document/Kvr100Address.h"
#include "link/PortSetup.h"

namespace kvr {

namespace {
std::atomic<CQRLDoc*> g_activeDocument{nullptr};
constexpr uint64_t kVirtualLockStepMs = 50;
}  // namespace

CQRLDoc::CQRLDoc()
    : port_(std::make_unique<CSerialPort>()),
      comLink_(std::make_unique<CTalkLink>(nullptr, kComAddress)),
      displayLink_(std::make_unique<CTalkLink>(nullptr, kDisplayAddress)) {
    // Each channel object starts at its own address, as after New: a document that is used
    // without New (kvrctl's commands) would otherwise send every board's commands to
    // address 0, so a KVR 300's main board was never reached.
    for (size_t i = 0; i < channels_.size(); ++i) {
        channels_[i] = std::make_unique<CChannelLink>(port_.get(), static_cast<uint8_t>(i));
    }
    InstallOpenFallback(*port_);
    port_->SetUseCheck([this] { CheckDeviceLockHeld(); });
    comLink_->SetPort(port_.get());
    displayLink_->SetPort(port_.get());
    SnapshotMonitors();
}

CQRLDoc::~CQRLDoc() {
    // Destroyed in reverse order of creation; the port goes last.
    displayLink_.reset();
    comLink_.reset();
    for (size_t i = channels_.size(); i-- > 0;) {
        channels_[i].reset();
    }
    port_.reset();
}

void CQRLDoc::NoteReaderRunning(bool running) {
    readersRunning_ += running ? 1 : -1;
}

void CQRLDoc::CheckDeviceLockHeld() const {
    // A run without the reading thread (kvrctl, most tests) has nobody to race with.
    assert(!ReaderRunning() || lockOwner_.load() == std::this_thread::get_id());
}

bool CQRLDoc::OnNewDocument() {
    CheckDeviceLockHeld();
    pathName_.clear();
    modified_ = false;
    monitors_.count = 0;
    channelCount_ = 0;
    for (int i = 0; i < kChannelObjects; ++i) {
        Channel(i).ResetToDefaults(static_cast<uint8_t>(i));
    }
    // The unit answering at the KVR 100's address is always handled by channel object 0.
    const auto& row = kKvr100ChannelAddresses[IsKvr100Address(kvr100Address_) ? kvr100Address_ : 0];
    for (int i = 0; i < 3; ++i) {
        Channel(i).record.SetUnitAddress(row[static_cast<size_t>(i)]);
        Channel(i).savedRecord.SetUnitAddress(row[static_cast<size_t>(i)]);
    }
    return true;
}

bool CQRLDoc::IsModified() const {
    if (!monitors_.SameList(savedMonitors_)) {
        return true;
    }
    if (port_->Settings().changed) {
        return true;
    }
    return modified_;
}

void CQRLDoc::SetDeviceType(int type) {
    CheckDeviceLockHeld();
    switch (type) {
        case static_cast<int>(DeviceType::Kvr100):
            channelCount_ = 1;
            break;
        case static_cast<int>(DeviceType::Kvr300):
            channelCount_ = 4;
            break;
        case static_cast<int>(DeviceType::KvrCom):
        case static_cast<int>(DeviceType::KvrDisplay):
            channelCount_ = 0;
            break;
        default:
            break;
    }
}

void CQRLDoc::SetChannels(uint16_t count) {
    channelCount_ = count;
}

void CQRLDoc::QueryDeviceCodes() {
    const int n = std::min<int>(channelCount_, kChannelObjects);
    for (int i = 0; i < n; ++i) {
        Channel(i).QueryDevice();
    }
    comLink_->QueryDevice();
    displayLink_->QueryDevice();
}

CQRLDoc* GetActiveDocument() {
    return g_activeDocument.load();
}

ScopedActiveDocument::ScopedActiveDocument(CQRLDoc& doc)
    : previous_(g_activeDocument.exchange(&doc)) {}

ScopedActiveDocument::~ScopedActiveDocument() {
    g_activeDocument.store(previous_);
}

DeviceLock::DeviceLock() : doc_(GetActiveDocument()) {}

DeviceLock::DeviceLock(CQRLDoc& doc) : doc_(&doc) {}

DeviceLock::~DeviceLock() {
    if (held_) {
        // The previous owner is this thread when the lock was taken again recursively.
        doc_->lockOwner_.store(previousOwner_);
        doc_->deviceMutex_.unlock();
        { std::lock_guard<std::mutex> wake(doc_->releaseMutex_); }
        doc_->released_.notify_all();
    }
}

bool DeviceLock::Lock() {
    if (doc_ == nullptr || held_) {
        return held_;
    }
    BusyMessage busy;
    bool got = doc_->deviceMutex_.try_lock();
    if (!got) {
        // Counted while waiting, so that the reading thread hands the port over at its
        // next exchange boundary instead of taking it back within microseconds.
        ++doc_->lockWaiters_;
        IClock& clock = GetClock();
        const uint64_t deadline = clock.NowMs() + kDeviceLockTimeoutMs;
        uint64_t seen = clock.NowMs();
        while (!(got = doc_->deviceMutex_.try_lock()) && clock.NowMs() < deadline) {
            // Woken by every release; the short limit covers a release between the
            // failed attempt and the wait.
            std::unique_lock<std::mutex> wait(doc_->releaseMutex_);
            doc_->released_.wait_for(wait, std::chrono::milliseconds(1));
            wait.unlock();
            // A virtual clock cannot drive the wait: it is moved on while nobody else
            // moves it (a holder at work does, and reaches its exchange boundary).
            if (clock.IsVirtual()) {
                if (clock.NowMs() == seen) {
                    clock.SleepMs(kVirtualLockStepMs);
                }
                seen = clock.NowMs();
            }
        }
        if (got) {
            previousOwner_ = doc_->lockOwner_.load();
            doc_->lockOwner_.store(std::this_thread::get_id());
        }
        --doc_->lockWaiters_;  // after the owner is set: the reading thread watches both
    } else {
        previousOwner_ = doc_->lockOwner_.load();
        doc_->lockOwner_.store(std::this_thread::get_id());
    }
    held_ = got;
    return got;
}

}  // namespace kvr
