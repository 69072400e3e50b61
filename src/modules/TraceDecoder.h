// The line trace read back: the texts the serial port writes into the trace seam, one per
// transfer, turned into entries that name the command of every exchange on the line (the
// measuring units' commands and the KVR Com and KVR Display modules' ones), judge its
// checksum and time its reply. kvrctl --trace prints these entries and the line trace
// window lists them, in the same one-line text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Seams.h"

namespace kvr {

struct TraceEntry {
    uint64_t timeMs = 0;         // wall clock, milliseconds since the epoch
    char direction = '>';        // '>' sent, '<' received, '-' a note of the port
    size_t requested = 0;        // bytes asked to go or to come
    size_t transferred = 0;      // bytes that went or came
    std::vector<uint8_t> bytes;  // what went or what came (never the fill of a short read)
    std::string command;         // e.g. "ReadParameters addr 2", "WriteDac out 1 = 4660"
    std::string name;            // e.g. "ReadParameters": what the command filter matches
    int address = -1;            // the unit address; -1 for a broadcast or none
    // "ok", "bad", "short 5 of 117", "no reply", "sent 0 of 1", "incomplete"; empty where
    // nothing is checked.
    std::string check;
    int64_t replyMs = -1;  // a reply: milliseconds since its command went; else -1
};

// "HH:MM:SS.mmm" of a wall-clock time, local time.
std::string TraceTimeText(uint64_t timeMs);
// The bytes as two-digit upper-case hex, separated by spaces.
std::string TraceHexText(const std::vector<uint8_t>& bytes);
// The entry as one line without its line end: time, direction, command, check, reply time
// and bytes, the empty fields shown as "-".
std::string FormatTraceEntry(const TraceEntry& entry);

// Turns the trace texts of one line, in order, into entries. Frames a command sends one
// byte at a time are gathered into one entry; a reply is matched to the command before it
// (its bytes gathered across reads until the length the program asked for has come).
// Not thread-safe: one decoder per line, fed under one lock.
class TraceDecoder {
  public:
    // One text of the trace seam, taken at wallMs (for the time shown) and steadyMs (for
    // reply times). Finished entries are appended to `out`.
    void Feed(const std::string& text, uint64_t wallMs, uint64_t steadyMs,
              std::vector<TraceEntry>& out);
    // A frame still being gathered, as it stands.
    void Flush(std::vector<TraceEntry>& out);

  private:
    enum class Reply { None, Query, Echo, Sum, Length, Ack };
    void Sent(TraceEntry entry, uint64_t steadyMs, std::vector<TraceEntry>& out);
    void Received(TraceEntry entry, bool failed, uint64_t steadyMs, std::vector<TraceEntry>& out);
    void Decode(TraceEntry& entry);

    TraceEntry gathering_;  // a frame coming one byte at a time; empty bytes when none
    // The command awaiting its reply.
    Reply reply_ = Reply::None;
    TraceEntry pending_;
    uint64_t sentAt_ = 0;
    size_t expected_ = 0;  // bytes the first read of the reply asked for
    std::vector<uint8_t> received_;
};

// Which entries the window lists: every one, or those of one unit address and/or one
// command name.
struct TraceFilter {
    int address = -1;  // -1: every address
    std::string name;  // empty: every command
    bool Accepts(const TraceEntry& entry) const;
};
// The entries the filter accepts as a text file: one FormatTraceEntry line each.
std::string TraceFileText(const std::deque<TraceEntry>& entries, const TraceFilter& filter);

// The command names an entry can carry, for the filter's list.
const std::vector<std::string>& TraceCommandNames();

// The entries the window keeps: the newest `capacity`, the oldest dropped first.
inline constexpr size_t kTraceCapacity = 100'000;

// A bounded queue of entries, filled from any thread and taken by the window's timer.
class TraceRing {
  public:
    explicit TraceRing(size_t capacity = kTraceCapacity) : capacity_(capacity) {}
    void Push(TraceEntry entry);
    // Everything held, oldest first; the ring is empty after.
    std::vector<TraceEntry> Take();
    size_t Size() const;
    // Entries dropped because the ring was full, since it was made.
    size_t Dropped() const;

  private:
    mutable std::mutex mutex_;  // protects entries_ and dropped_
    size_t capacity_;
    std::deque<TraceEntry> entries_;
    size_t dropped_ = 0;
};

// A trace sink that decodes what it is given and hands each entry to `out`; safe to call
// from any thread (one decoder, under its own lock). The time comes from the wall clock
// and the clock seam.
TraceSink DecodingTraceSink(std::function<void(const TraceEntry&)> out);

// While started, the trace seam feeds a decoder into a ring (the sink that was in place
// before goes on getting every text). Stopped, the seam is as it was, so that a closed
// window costs the line nothing.
class TraceCapture {
  public:
    explicit TraceCapture(size_t capacity = kTraceCapacity);
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    void Start();
    void Stop();
    bool Running() const { return scope_ != nullptr; }
    TraceRing& Ring() { return *ring_; }

  private:
    // Shared with the sink, which a transfer on another thread may still be running.
    std::shared_ptr<TraceRing> ring_;
    std::unique_ptr<ScopedSeams> scope_;
};

}  // namespace kvr
