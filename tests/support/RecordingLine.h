// A byte line for protocol tests: records what is written and hands out scripted reply
// bytes; timeouts pass on the clock seam.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "base/Clock.h"
#include "link/SerialLine.h"
#include "link/SerialPort.h"

namespace kvr::test {

struct LineScript {
    std::vector<uint8_t> written;    // every byte written, in order
    std::vector<size_t> writeSizes;  // size of each write call
    std::deque<uint8_t> replies;     // bytes the next reads deliver
    int purges = 0;
    bool dtr = true;
    bool failOpen = false;

    void Reply(const std::vector<uint8_t>& bytes) {
        replies.insert(replies.end(), bytes.begin(), bytes.end());
    }
};

class RecordingLine final : public ISerialLine {
  public:
    explicit RecordingLine(std::shared_ptr<LineScript> script) : s_(std::move(script)) {}
    long Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) override {
        size_t got = 0;
        while (got < n && !s_->replies.empty()) {
            buffer[got++] = s_->replies.front();
            s_->replies.pop_front();
        }
        if (got < n) {
            GetClock().SleepMs(got > 0 ? intervalMs : totalMs);
        }
        return static_cast<long>(got);
    }
    long Write(const uint8_t* data, size_t n, unsigned) override {
        s_->written.insert(s_->written.end(), data, data + n);
        s_->writeSizes.push_back(n);
        return static_cast<long>(n);
    }
    bool Purge() override {
        ++s_->purges;
        return true;
    }
    bool SetDtr(bool on) override {
        s_->dtr = on;
        return true;
    }
    bool HungUp() const override { return false; }

  private:
    std::shared_ptr<LineScript> s_;
};

// Puts a recording line under a port and opens it.
inline std::shared_ptr<LineScript> AttachRecordingLine(CSerialPort& port) {
    auto script = std::make_shared<LineScript>();
    port.SetLineOpener([script](const std::string&, const LineSettings&,
                                std::string& error) -> std::unique_ptr<ISerialLine> {
        if (script->failOpen) {
            error = "scripted open failure";
            return nullptr;
        }
        return std::make_unique<RecordingLine>(script);
    });
    port.Settings().device = "recording";
    return script;
}

}  // namespace kvr::test
