// A byte line for the fuzzing targets: every read hands out the next of the fuzzer's bytes,
// at once, and writes go nowhere.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>

#include "link/SerialLine.h"
#include "link/SerialPort.h"

namespace kvr::fuzz {

class FuzzLine final : public ISerialLine {
  public:
    FuzzLine(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    long Read(uint8_t* buffer, size_t n, unsigned, unsigned) override {
        const size_t got = std::min(n, size_ - pos_);
        if (got > 0) {
            std::memcpy(buffer, data_ + pos_, got);
        }
        pos_ += got;
        return static_cast<long>(got);
    }
    long Write(const uint8_t*, size_t n, unsigned) override { return static_cast<long>(n); }
    bool Purge() override { return true; }  // the replies are already "on the line"
    bool SetDtr(bool) override { return true; }
    bool HungUp() const override { return false; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Opens the port on a line that replies with the given bytes.
inline bool OpenOnFuzzLine(CSerialPort& port, const uint8_t* data, size_t size) {
    port.SetLineOpener([data, size](const std::string&, const LineSettings&, std::string&) {
        return std::unique_ptr<ISerialLine>(new FuzzLine(data, size));
    });
    return port.OpenDevice("fuzz", "9600", "None", "8", "1");
}

}  // namespace kvr::fuzz
