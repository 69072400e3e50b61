// A display setup file as a JSON document, to keep and edit display setups as text and
// rebuild the file byte for byte:
//
//   format "kvr-display", schemaVersion 1, description (with descriptionHex when it is not
//   UTF-8), lines: 24 objects in line order, each {page, line, value, valueCode, channel,
//   decimals, units (unitsHex when not UTF-8), blank, nominal, low, high}.
//
// "page", "line" and "value" (the choice text) are information only. The three values are
// doubles in the entity's base unit; one that is not finite is written as a string of 16
// hex digits, its IEEE bits.
#pragma once

#include <string>

#include "modules/DisplayFile.h"

namespace kvr {

inline constexpr const char* kDisplayJsonFormat = "kvr-display";
inline constexpr int kDisplayJsonSchema = 1;

// Two-space indent, keys in a fixed order, a final newline.
std::string DisplayToJson(const DisplayFileImage& image);
// False with the field and the reason in error ("lines[3].decimals: expected 0 to 5");
// the image is untouched then.
bool DisplayFromJson(const std::string& text, DisplayFileImage& image, std::string& error);

}  // namespace kvr
