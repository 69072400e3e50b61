// The monitor reading thread: samples the attached unit over and over and turns the
// value of every monitor into a display text, which it hands to the user-interface
// thread through a 60-entry table and a new-values flag.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "document/QRLDoc.h"

namespace kvr {

inline constexpr unsigned kIdlePollMs = 100;
inline constexpr unsigned kReadingStopWaitMs = 4000;
inline constexpr unsigned kContactLostBeepHz = 2000;
inline constexpr unsigned kContactLostBeepMs = 1000;
inline constexpr unsigned kContactBackBeepHz = 2000;
inline constexpr unsigned kContactBackBeepMs = 100;
inline constexpr int kValueDigits = 4;

// The display texts of the monitors. Written by the reading thread, read by the
// user-interface thread; a text is never read while it is being written.
class MonitorTextTable {
  public:
    void Set(size_t index, std::string text);
    std::string Get(size_t index) const;
    // Entries 0 to n - 1 (at most all 60).
    std::vector<std::string> First(size_t n) const;
    // All 60 written at once, as one cycle's result.
    void SetAll(const std::vector<std::string>& texts);

  private:
    mutable std::mutex mutex_;  // protects texts_
    std::array<std::string, kMaxMonitors> texts_{};
};

// The state of the line as the reading thread last saw it.
struct LineStatus {
    bool lost = false;
    std::string device;  // the lost device (empty while the line is not lost)
};

// What the reading thread and the user-interface thread share besides the document.
struct MonitorShared {
    // Written by the reading thread; read by the user-interface thread's timer.
    void SetLine(LineStatus status) {
        std::lock_guard<std::mutex> lock(lineMutex);
        line = std::move(status);
    }
    LineStatus Line() const {
        std::lock_guard<std::mutex> lock(lineMutex);
        return line;
    }

    MonitorTextTable texts;
    // Set by the reading thread after writing a cycle's texts; cleared by the timer.
    std::atomic<bool> newValues{false};
    // True while the last reading cycle got an answer from at least one board.
    std::atomic<bool> contact{false};
    // Values as measured at the inputs instead of scaled to primary quantities.
    std::atomic<bool> secondaries{false};
    // The start-up picture is showing: nothing is read until it has gone.
    std::atomic<bool> splashShowing{false};

  private:
    mutable std::mutex lineMutex;  // protects line
    LineStatus line;
};

class ReadingThread {
  public:
    // What one pass of the loop did.
    enum class Pass {
        Stopped,     // the stop request ended the loop
        Idle,        // nothing to read (no unit, no monitors, start-up picture): slept 100 ms
        NoLock,      // the device lock was not obtained within its timeout
        NoContact,   // no board answered, or the line is lost
        Read,        // texts written and the new-values flag set
        HandedOver,  // a command waited for the port: the cycle gave it up between exchanges
    };

    ReadingThread(CQRLDoc& doc, MonitorShared& shared);
    // Stops the thread.
    ~ReadingThread();
    ReadingThread(const ReadingThread&) = delete;
    ReadingThread& operator=(const ReadingThread&) = delete;

    // Stops a running thread first, then starts one with this read interval (the shortest
    // time between the starts of two cycles).
    void Start(unsigned readIntervalMs);
    // Asks the thread to end and waits for it. True when it ended within 4000 ms. It
    // cannot be killed: past the limit the wait goes on, which is bounded because every
    // wait of the thread is (the device lock's 4000 ms, one exchange's timeouts, 100 ms
    // sleeps between stop checks). Ending it forcibly would leave the device lock held
    // and a frame half-sent on the line.
    bool Stop();
    bool Running() const { return thread_.joinable(); }

    // One pass of the loop, on the calling thread. The thread runs these until Stopped;
    // tests run them one by one.
    Pass RunPass();

    void SetReadIntervalMs(unsigned ms) { readIntervalMs_ = ms; }
    unsigned ReadIntervalMs() const { return readIntervalMs_; }
    // Completed reading cycles (contact or not) since construction.
    uint64_t Cycles() const { return cycles_; }
    // Valid values replies from board b (0 to 3) since construction.
    uint64_t BoardReplies(int board) const { return boardReplies_.at(static_cast<size_t>(board)); }
    void RequestStop() { stop_ = true; }

  private:
    void Run();
    // Sleeps on the clock seam in slices of at most 100 ms; false when a stop request
    // came meanwhile.
    bool SleepUnlessStopped(uint64_t ms);
    // Contact and the two beeps.
    void SetContact(bool contact);
    // Tells the user-interface thread whether the line is lost.
    void NoteLine(const CSerialPort& port);
    // With a command waiting for the device lock: releases the cycle's hold and waits
    // (bounded) until the command has taken it. True when the cycle must end here.
    bool HandOverIfWaiting(std::optional<DeviceLock>& lock);

    CQRLDoc& doc_;
    MonitorShared& shared_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<unsigned> readIntervalMs_{0};
    // Clock time of the last cycle's start; only the reading thread uses it.
    uint64_t lastCycleStartMs_ = 0;
    bool anyCycle_ = false;
    std::atomic<uint64_t> cycles_{0};
    std::array<std::atomic<uint64_t>, kChannelObjects> boardReplies_{};
    // Tells Stop that the thread's function has returned.
    std::mutex endMutex_;  // protects ended_
    std::condition_variable endSignal_;
    bool ended_ = true;
};

// The boards a cycle reads for a channel count: the count itself, except that a count
// of 3 reads the main board too; never more than the four channel objects.
int BoardsToRead(int channelCount);

}  // namespace kvr
