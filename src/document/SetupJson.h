// A setup file as a JSON document, so configurations can be kept and edited as text and
// rebuilt byte for byte. The format (schema version 1) is described in the README under
// "Setup files as JSON"; in short:
//
//   format "kvr-setup", schemaVersion 1, signature, description (or descriptionHex when the
//   description is not UTF-8), channelCount, monitorCount, layoutColumns,
//   monitors [{entity, channel, label}], boards [{index, raw, settings, decoded}].
//
// Each board's "raw" (230 hex digits, the record's 115 bytes) is authoritative. "settings"
// holds the editable fields in engineering units: a value that differs from what the raw
// record gives is stored through the record's accessors; an unchanged one leaves the raw
// bytes untouched. "decoded" and the monitors' "label" are information only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Text.h"  // ToHex, FromHex

#include "document/SetupFile.h"

namespace kvr {

inline constexpr int kSetupJsonSchema = 1;
inline constexpr const char* kSetupJsonFormat = "kvr-setup";

// The label of a monitor of a setup, e.g. "Voltage : Feeder 1 / Phase A " (information
// only; the document layer cannot make it itself).
using MonitorLabeler = std::function<std::string(const SetupImage& image, int entity, int channel)>;

// Every field of a record by name with its value in engineering units, for a board's
// "decoded" (information only; the measure layer makes it).
using RecordDescriber =
    std::function<std::vector<std::pair<std::string, std::string>>(const ParameterRecord& record)>;

// The texts the document layer leaves to the layers above it. Without a labeler the
// monitors carry no label; without a describer the boards carry no "decoded".
struct SetupJsonTexts {
    MonitorLabeler label{};
    RecordDescriber describe{};
};

// The JSON text of a setup (two-space indent, keys in a fixed order, a final newline).
std::string SetupToJson(const SetupImage& image, const SetupJsonTexts& texts = {});

// Rebuilds a setup from JSON text. On refusal gives false and error names the field,
// e.g. "boards[2].raw: expected 230 hex digits"; no input makes it throw or recurse
// deeply (a document nested deeper than kMaxJsonDepth is refused before it is parsed).
// Notes tell of informative entries that were edited and therefore ignored, and of edited
// values the record stores rounded (a VT primary of 180 V is stored as 200 V).
bool SetupFromJson(const std::string& text, SetupImage& image, std::string& error,
                   std::vector<std::string>* notes = nullptr, const SetupJsonTexts& texts = {});

// The deepest nesting of arrays and objects in a JSON text, counted outside strings
// without parsing; the count stops once it passes stopAt.
inline constexpr size_t kMaxJsonDepth = 16;
size_t JsonNestingDepth(std::string_view text, size_t stopAt);

// Helpers shared with kvrctl.
bool IsValidUtf8(const std::string& text);
// Every byte as the character of the same number (ISO 8859-1), in UTF-8.
std::string Latin1ToUtf8(const std::string& bytes);
// The text itself when it is UTF-8, else its ISO 8859-1 reading.
std::string DisplayText(const std::string& bytes);

}  // namespace kvr
