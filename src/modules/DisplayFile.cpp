#include "modules/DisplayFile.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/Bytes.h"
#include "base/Files.h"
#include "document/SetupFile.h"  // archive strings

namespace kvr {

namespace {

// A display setup file is under 2 kB; anything far larger is not one.
constexpr size_t kMaxDisplayFile = size_t{1} << 20;
constexpr const char* kCutShortText = "The KVR Display setup file is incomplete.";

void PutU32To(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    PutU32(b, v);
    out.insert(out.end(), b, b + 4);
}

void PutDoubleTo(std::vector<uint8_t>& out, double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    PutU32To(out, static_cast<uint32_t>(bits & 0xFFFFFFFFu));
    PutU32To(out, static_cast<uint32_t>(bits >> 32));
}

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Bytes(size_t n, const uint8_t*& p) {
        if (size_ - pos_ < n) {
            return false;
        }
        p = data_ + pos_;
        pos_ += n;
        return true;
    }
    bool U8(uint8_t& v) {
        const uint8_t* p = nullptr;
        return Bytes(1, p) && (v = p[0], true);
    }
    bool U16(uint16_t& v) {
        const uint8_t* p = nullptr;
        return Bytes(2, p) && (v = GetU16(p), true);
    }
    bool U32(uint32_t& v) {
        const uint8_t* p = nullptr;
        return Bytes(4, p) && (v = GetU32(p), true);
    }
    bool Double(double& v) {
        const uint8_t* p = nullptr;
        if (!Bytes(8, p)) {
            return false;
        }
        v = std::bit_cast<double>(static_cast<uint64_t>(GetU32(p)) |
                                  (static_cast<uint64_t>(GetU32(p + 4)) << 32));
        return true;
    }
    // Two-byte text (0xFF, 0xFFFE) is refused: these files never hold it.
    bool Text(std::string& text) {
        if (size_ - pos_ >= 3 && data_[pos_] == 0xFF && GetU16(data_ + pos_ + 1) == 0xFFFE) {
            return false;
        }
        return GetArchiveString(data_, size_, pos_, text);
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeDisplayFile(const DisplayFileImage& image) {
    std::vector<uint8_t> out;
    uint8_t sig[2];
    PutU16(sig, kDisplayFileSignature);
    out.insert(out.end(), sig, sig + 2);
    PutArchiveString(out, image.description);
    PutU32To(out, kDisplayLines);
    for (int i = 0; i < kDisplayLines; ++i) {
        const DisplayLine& line = image.lines[static_cast<size_t>(i)];
        PutU32To(out, static_cast<uint32_t>(i));
        out.push_back(line.decimals);
        out.push_back(line.channel);
        out.push_back(line.valueCode);
        PutArchiveString(out, FiveCharacterUnits(line.units));
        PutU32To(out, line.blank ? 1 : 0);
        PutDoubleTo(out, line.low);
        PutDoubleTo(out, line.high);
        PutDoubleTo(out, line.nominal);
    }
    return out;
}

bool DecodeDisplayFile(const uint8_t* data, size_t size, DisplayFileImage& image,
                       std::string& error) {
    Reader r(data, size);
    uint16_t signature = 0;
    if (!r.U16(signature) || signature != kDisplayFileSignature) {
        error = kNotDisplayFileText;
        return false;
    }
    DisplayFileImage read;
    uint32_t count = 0;
    if (!r.Text(read.description) || !r.U32(count)) {
        error = kCutShortText;
        return false;
    }
    if (count != kDisplayLines) {
        error = "The KVR Display setup file holds " + std::to_string(count) +
                " lines instead of 24; it was not loaded.";
        return false;
    }
    for (int i = 0; i < kDisplayLines; ++i) {
        DisplayLine& line = read.lines[static_cast<size_t>(i)];
        uint32_t index = 0;
        uint32_t blank = 0;
        if (!r.U32(index) || !r.U8(line.decimals) || !r.U8(line.channel) || !r.U8(line.valueCode) ||
            !r.Text(line.units) || !r.U32(blank) || !r.Double(line.low) || !r.Double(line.high) ||
            !r.Double(line.nominal)) {
            error = kCutShortText;
            return false;
        }
        // Lines are taken in file order; the fields are brought into their ranges.
        line.index = i;
        line.decimals = std::min<uint8_t>(line.decimals, kMaxDisplayDecimals);
        line.channel &= 0x0F;
        line.units = FiveCharacterUnits(line.units);
        line.blank = blank != 0;
    }
    image = read;
    return true;
}

bool ReadDisplayFile(const std::string& path, DisplayFileImage& image, std::string& error) {
    std::vector<uint8_t> bytes;
    ReadOptions options;
    options.maxBytes = kMaxDisplayFile;
    std::string reason;
    if (!ReadWholeFile(path, bytes, reason, options)) {
        error = path + ": " + reason;
        return false;
    }
    return DecodeDisplayFile(bytes.data(), bytes.size(), image, error);
}

bool WriteDisplayFile(const std::string& path, const DisplayFileImage& image, std::string& error) {
    std::string reason;
    if (!WriteFileAtomically(path, EncodeDisplayFile(image), reason)) {
        error = path + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace kvr
