#include "modules/DisplayJson.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <vector>

#include "base/Text.h"
#include "document/SetupJson.h"  // the UTF-8 helpers and the nesting limit

namespace kvr {

namespace {

using Json = nlohmann::ordered_json;

struct Refusal : std::runtime_error {
    Refusal(const std::string& where, const std::string& why)
        : std::runtime_error(where + ": " + why) {}
};

std::string BitsHex(double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    uint8_t be[8];
    for (int i = 0; i < 8; ++i) {
        be[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    }
    return ToHex(be, 8);
}

Json ValueJson(double value) {
    return std::isfinite(value) ? Json(value) : Json(BitsHex(value));
}

const Json& Member(const Json& object, const char* key, const std::string& path) {
    auto it = object.find(key);
    if (it == object.end()) {
        throw Refusal(path + key, "missing");
    }
    return *it;
}

int64_t Integer(const Json& v, int64_t low, int64_t high, const std::string& where) {
    if (!v.is_number_integer() || v.get<int64_t>() < low || v.get<int64_t>() > high) {
        throw Refusal(where, "expected " + std::to_string(low) + " to " + std::to_string(high));
    }
    return v.get<int64_t>();
}

double Value(const Json& v, const std::string& where) {
    if (v.is_number()) {
        return v.get<double>();
    }
    std::vector<uint8_t> be;
    if (v.is_string() && FromHex(v.get<std::string>(), be) && be.size() == 8) {
        uint64_t bits = 0;
        for (uint8_t b : be) {
            bits = bits << 8 | b;
        }
        return std::bit_cast<double>(bits);
    }
    throw Refusal(where, "expected a number (or 16 hex digits of its bits)");
}

// A text, or the bytes of its hex twin when that is given and the text was not edited.
std::string Text(const Json& object, const char* key, const std::string& hexKey,
                 const std::string& path) {
    const Json& text = Member(object, key, path);
    if (!text.is_string()) {
        throw Refusal(path + key, "expected a text");
    }
    auto hex = object.find(hexKey);
    if (hex == object.end()) {
        return text.get<std::string>();
    }
    std::vector<uint8_t> bytes;
    if (!hex->is_string() || !FromHex(hex->get<std::string>(), bytes)) {
        throw Refusal(path + hexKey, "expected hex digits, two per byte");
    }
    std::string fromHex(bytes.begin(), bytes.end());
    return text.get<std::string>() == Latin1ToUtf8(fromHex) ? fromHex : text.get<std::string>();
}

void PutText(Json& object, const char* key, const char* hexKey, const std::string& text) {
    object[key] = DisplayText(text);
    if (!IsValidUtf8(text)) {
        object[hexKey] = ToHex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
}

DisplayFileImage ReadDocument(const Json& root) {
    if (!root.is_object()) {
        throw Refusal("(document)", "expected a JSON object");
    }
    if (Member(root, "format", "") != kDisplayJsonFormat) {
        throw Refusal("format", std::string("expected \"") + kDisplayJsonFormat + "\"");
    }
    Integer(Member(root, "schemaVersion", ""), kDisplayJsonSchema, kDisplayJsonSchema,
            "schemaVersion");
    DisplayFileImage image;
    image.description = Text(root, "description", "descriptionHex", "");
    const Json& lines = Member(root, "lines", "");
    if (!lines.is_array() || lines.size() != kDisplayLines) {
        throw Refusal("lines", "expected 24 lines");
    }
    for (size_t i = 0; i < kDisplayLines; ++i) {
        const Json& in = lines[i];
        const std::string path = "lines[" + std::to_string(i) + "].";
        if (!in.is_object()) {
            throw Refusal("lines[" + std::to_string(i) + "]", "expected an object");
        }
        DisplayLine& line = image.lines[i];
        line.index = static_cast<int>(i);
        line.valueCode = static_cast<uint8_t>(
            Integer(Member(in, "valueCode", path), 0, 255, path + "valueCode"));
        line.channel = static_cast<uint8_t>(
            Integer(Member(in, "channel", path), 0, kChannelChoices - 1, path + "channel"));
        line.decimals = static_cast<uint8_t>(
            Integer(Member(in, "decimals", path), 0, kMaxDisplayDecimals, path + "decimals"));
        const std::string units = Text(in, "units", "unitsHex", path);
        if (units.size() > static_cast<size_t>(kDisplayUnitsLength)) {
            throw Refusal(path + "units", "expected at most 5 characters");
        }
        line.units = FiveCharacterUnits(units);
        const Json& blank = Member(in, "blank", path);
        if (!blank.is_boolean()) {
            throw Refusal(path + "blank", "expected true or false");
        }
        line.blank = blank.get<bool>();
        line.nominal = Value(Member(in, "nominal", path), path + "nominal");
        line.low = Value(Member(in, "low", path), path + "low");
        line.high = Value(Member(in, "high", path), path + "high");
    }
    return image;
}

}  // namespace

std::string DisplayToJson(const DisplayFileImage& image) {
    Json root;
    root["format"] = kDisplayJsonFormat;
    root["schemaVersion"] = kDisplayJsonSchema;
    PutText(root, "description", "descriptionHex", image.description);
    Json lines = Json::array();
    for (int i = 0; i < kDisplayLines; ++i) {
        const DisplayLine& line = image.lines[static_cast<size_t>(i)];
        Json j;
        j["page"] = i / kLinesPerPage + 1;
        j["line"] = i % kLinesPerPage + 1;
        j["value"] = ValueReportName(line.valueCode);
        j["valueCode"] = line.valueCode;
        j["channel"] = line.channel;
        j["decimals"] = line.decimals;
        PutText(j, "units", "unitsHex", line.units);
        j["blank"] = line.blank;
        j["nominal"] = ValueJson(line.nominal);
        j["low"] = ValueJson(line.low);
        j["high"] = ValueJson(line.high);
        lines.push_back(std::move(j));
    }
    root["lines"] = std::move(lines);
    return root.dump(2) + "\n";
}

bool DisplayFromJson(const std::string& text, DisplayFileImage& image, std::string& error) {
    if (JsonNestingDepth(text, kMaxJsonDepth) > kMaxJsonDepth) {
        error = "(document): nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
        return false;
    }
    try {
        const Json root = Json::parse(text);
        image = ReadDocument(root);
        return true;
    } catch (const Refusal& r) {
        error = r.what();
    } catch (const nlohmann::json::exception& e) {
        error = "(document): not JSON: " + std::string(e.what());
    } catch (const std::exception& e) {
        error = "(document): " + std::string(e.what());
    }
    return false;
}

}  // namespace kvr
