// Display setup files (*.dsp): a description and the 24 lines, values as doubles in the
// entity's base unit (not the module's scaled integers).
//
// Layout (little-endian): signature u16 10101, description (archive string), line count
// u32 (always 24), then per line: index u32, decimals u8, channel u8, value code u8,
// units (archive string of 5 characters), blank u32 (0 or 1), low, high, nominal (IEEE
// doubles).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "modules/DisplaySetup.h"

namespace kvr {

inline constexpr uint16_t kDisplayFileSignature = 10101;
inline constexpr const char* kNotDisplayFileText = "Not a valid KVR Display setup file";
inline constexpr const char* kDisplayFilter = "KVR Display files (*.dsp)|*.dsp||";

struct DisplayFileImage {
    std::string description;
    std::array<DisplayLine, kDisplayLines> lines{};
    bool operator==(const DisplayFileImage&) const = default;
};

std::vector<uint8_t> EncodeDisplayFile(const DisplayFileImage& image);
// False with the message to show: the signature's own text, a line count other than 24,
// a file cut short or holding two-byte text. The image is untouched then.
bool DecodeDisplayFile(const uint8_t* data, size_t size, DisplayFileImage& image,
                       std::string& error);

// Reads or atomically writes a file; false with the message to show.
bool ReadDisplayFile(const std::string& path, DisplayFileImage& image, std::string& error);
bool WriteDisplayFile(const std::string& path, const DisplayFileImage& image, std::string& error);

}  // namespace kvr
