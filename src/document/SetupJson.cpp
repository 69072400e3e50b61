#include "document/SetupJson.h"

#include "base/Text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <utility>

#include "link/EntityScale.h"

namespace kvr {

namespace {

using Json = nlohmann::ordered_json;
using Rec = ParameterRecord;

constexpr size_t kRawDigits = 2 * ParameterRecord::kSize;

// A refusal: the path of the offending field and what is wrong with it.
struct Refusal : std::runtime_error {
    Refusal(const std::string& path, const std::string& reason)
        : std::runtime_error(path + ": " + reason) {}
};

bool PowerRule(const ParameterRecord& r, int slot) {
    const EntityInfo* info = FindEntity(r.GetOutputEntity(slot));
    return info != nullptr && info->currentRanged && r.GetCurrentRange() > 0;
}

// Where the parser is in the document, so that a value it refuses is named by its field
// ("boards[2].settings.vtPrimaryV").
class PathTracker {
  public:
    void Follow(Json::parse_event_t event, const Json& parsed) {
        using E = Json::parse_event_t;
        switch (event) {
            case E::object_start:
            case E::array_start:
                frames_.push_back({event == E::array_start, {}, 0});
                break;
            case E::key:
                if (!frames_.empty() && parsed.is_string()) {
                    frames_.back().key = parsed.get<std::string>();
                }
                break;
            case E::object_end:
            case E::array_end:
                if (!frames_.empty()) {
                    frames_.pop_back();
                }
                Advance();
                break;
            case E::value:
                Advance();
                break;
        }
    }
    std::string Path() const {
        std::string path;
        for (const Frame& f : frames_) {
            if (f.array) {
                path += "[" + std::to_string(f.index) + "]";
            } else if (!f.key.empty()) {
                path += (path.empty() ? "" : ".") + f.key;
            }
        }
        return path.empty() ? "(document)" : path;
    }

  private:
    void Advance() {
        if (!frames_.empty() && frames_.back().array) {
            ++frames_.back().index;
        }
    }
    struct Frame {
        bool array;
        std::string key;
        size_t index;
    };
    std::vector<Frame> frames_;
};

// --- export ---------------------------------------------------------------------------

Json OutputSettings(const ParameterRecord& r, int o) {
    bool current = false;
    int range = 0;
    r.GetOutputRange(o, current, range);
    Json out;
    out["card"] = r.GetCardType(o);
    out["plus"] = r.IsPlusCard(o);
    out["entity"] = EntityCode(r.GetOutputEntity(o));
    out["currentOutput"] = current;
    out["range"] = range;
    out["source"] = r.GetOutputSource(o);
    out["scaleMin"] = r.GetScaleMin(o);
    out["scaleMax"] = r.GetScaleMax(o);
    out["levelMin"] = r.GetLevelMin(o);
    out["levelMax"] = r.GetLevelMax(o);
    return out;
}

// The editable fields, in engineering units. Scaled numbers are divided, not multiplied,
// so that 1100 tenths of a volt reads as exactly 110.0.
Json Settings(const ParameterRecord& r) {
    Json s;
    s["name"] = DisplayText(r.GetName());
    s["serialNumber"] = r.GetSerialNumber();
    s["unitAddress"] = r.GetUnitAddress();
    s["voltageDirect"] = r.IsDirect(InputKind::Voltage);
    s["vtPrimaryV"] = static_cast<int64_t>(r.GetU16(Rec::kVtPrimary)) * 100;
    s["vtSecondaryV"] = r.GetU16(Rec::kVtSecondary) / 10.0;
    s["voltageRange"] = r.GetVoltageRange();
    s["voltagePhase"] = r.GetPhase(InputKind::Voltage);
    s["currentDirect"] = r.IsDirect(InputKind::Current);
    s["ctPrimaryA"] = r.GetU16(Rec::kCtPrimary);
    s["ctSecondaryA"] = r.GetU16(Rec::kCtSecondary) / 1000.0;
    s["currentRange"] = r.GetCurrentRange();
    s["currentPhase"] = r.GetPhase(InputKind::Current);
    s["ctPhaseCorrectionDeg"] = r.GetS16(Rec::kCtPhaseCorrection) / 100.0;
    s["currentThresholdPercent"] = r.GetU8(Rec::kCurrentThreshold) / 10.0;
    s["balanced"] = r.IsBalanced();
    s["lineToLine"] = r.IsLineToLine();
    Json outputs = Json::array();
    for (int o = 0; o < Rec::kOutputs; ++o) {
        outputs.push_back(OutputSettings(r, o));
    }
    s["outputs"] = std::move(outputs);
    return s;
}

Json Decoded(const ParameterRecord& r, const RecordDescriber& describe) {
    Json d = Json::object();
    for (const auto& [name, value] : describe(r)) {
        d[name] = DisplayText(value);
    }
    return d;
}

// --- checked reading ------------------------------------------------------------------

const Json& Member(const Json& object, const char* key, const std::string& path) {
    auto it = object.find(key);
    if (it == object.end()) {
        throw Refusal(path.empty() ? key : path + "." + key, "missing");
    }
    return *it;
}

void OnlyKnownKeys(const Json& object, std::initializer_list<const char*> known,
                   const std::string& path) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool ok = false;
        for (const char* k : known) {
            ok = ok || it.key() == k;
        }
        if (!ok) {
            throw Refusal(path.empty() ? it.key() : path + "." + it.key(), "unknown field");
        }
    }
}

int64_t Integer(const Json& v, int64_t lo, int64_t hi, const std::string& path) {
    const std::string expected =
        "expected an integer from " + std::to_string(lo) + " to " + std::to_string(hi);
    int64_t out = 0;
    if (v.is_number_unsigned()) {
        const uint64_t u = v.get<uint64_t>();
        if (u > static_cast<uint64_t>(hi)) {
            throw Refusal(path, expected);
        }
        out = static_cast<int64_t>(u);
    } else if (v.is_number_integer()) {
        out = v.get<int64_t>();
    } else if (v.is_number_float()) {
        const double d = v.get<double>();
        if (!(d >= static_cast<double>(lo) && d <= static_cast<double>(hi)) || d != std::floor(d)) {
            throw Refusal(path, expected);
        }
        out = static_cast<int64_t>(d);
    } else {
        throw Refusal(path, expected);
    }
    if (out < lo || out > hi) {
        throw Refusal(path, expected);
    }
    return out;
}

double Number(const Json& v, double lo, double hi, const char* unit, const std::string& path) {
    if (!v.is_number() || !(v.get<double>() >= lo && v.get<double>() <= hi)) {
        char text[96];
        std::snprintf(text, sizeof text, "expected a number from %.10g to %.10g%s%s", lo, hi,
                      *unit ? " " : "", unit);
        throw Refusal(path, text);
    }
    return v.get<double>();
}

bool Boolean(const Json& v, const std::string& path) {
    if (!v.is_boolean()) {
        throw Refusal(path, "expected true or false");
    }
    return v.get<bool>();
}

const std::string& String(const Json& v, const std::string& path) {
    if (!v.is_string()) {
        throw Refusal(path, "expected a string");
    }
    return v.get_ref<const std::string&>();
}

// --- applying edited settings ---------------------------------------------------------

// Calls apply with the edited value when the input holds the key and its value differs
// from the one the raw record gives.
template <typename F>
void IfEdited(const Json& in, const Json& raw, const char* key, const std::string& path, F apply) {
    auto it = in.find(key);
    if (it != in.end() && *it != raw.at(key)) {
        apply(*it, path + "." + key);
    }
}

void ApplyOutputs(const Json& in, const Json& raw, ParameterRecord& r, const std::string& path) {
    if (!in.is_array() || in.size() != static_cast<size_t>(Rec::kOutputs)) {
        throw Refusal(path, "expected an array of 4 outputs");
    }
    for (int o = 0; o < Rec::kOutputs; ++o) {
        const Json& out = in[static_cast<size_t>(o)];
        const Json& was = raw[static_cast<size_t>(o)];
        const std::string p = path + "[" + std::to_string(o) + "]";
        if (!out.is_object()) {
            throw Refusal(p, "expected an object");
        }
        OnlyKnownKeys(out,
                      {"card", "plus", "entity", "currentOutput", "range", "source", "scaleMin",
                       "scaleMax", "levelMin", "levelMax"},
                      p);
        IfEdited(out, was, "card", p, [&](const Json& v, const std::string& f) {
            r.SetCardType(o, static_cast<int>(Integer(v, 0, 3, f)));
        });
        IfEdited(out, was, "plus", p,
                 [&](const Json& v, const std::string& f) { r.SetPlusCard(o, Boolean(v, f)); });
        IfEdited(out, was, "entity", p, [&](const Json& v, const std::string& f) {
            r.SetOutputEntity(o, EntityFromCode(static_cast<int>(Integer(v, 0, kEntityMax, f))));
        });
        bool current = false;
        int range = 0;
        r.GetOutputRange(o, current, range);
        IfEdited(out, was, "currentOutput", p,
                 [&](const Json& v, const std::string& f) { current = Boolean(v, f); });
        IfEdited(out, was, "range", p, [&](const Json& v, const std::string& f) {
            range = static_cast<int>(Integer(v, 0, 7, f));
        });
        r.SetOutputRange(o, current, range);
        IfEdited(out, was, "source", p, [&](const Json& v, const std::string& f) {
            r.SetOutputSource(o, static_cast<int>(Integer(v, 0, 3, f)));
        });
        IfEdited(out, was, "levelMin", p, [&](const Json& v, const std::string& f) {
            r.SetLevelMin(o, static_cast<int16_t>(Integer(v, -32768, 32767, f)));
        });
        IfEdited(out, was, "levelMax", p, [&](const Json& v, const std::string& f) {
            r.SetLevelMax(o, static_cast<int16_t>(Integer(v, -32768, 32767, f)));
        });
    }
}

// Scale points last: their stored form depends on the entity and the current range. When
// an edit switched the power rule of an output, its scale points are stored again so
// they keep the value the JSON shows.
void ApplyScales(const Json* in, const Json& raw, const ParameterRecord& before, ParameterRecord& r,
                 const std::string& path) {
    for (int o = 0; o < Rec::kOutputs; ++o) {
        const Json& was = raw[static_cast<size_t>(o)];
        const Json* out = in != nullptr ? &(*in)[static_cast<size_t>(o)] : nullptr;
        const bool ruleChanged = PowerRule(before, o) != PowerRule(r, o);
        const int64_t lo = PowerRule(r, o) ? -327689 : -32768;
        const int64_t hi = PowerRule(r, o) ? 327679 : 32767;
        for (const bool isMin : {true, false}) {
            const char* key = isMin ? "scaleMin" : "scaleMax";
            const std::string f = path + "[" + std::to_string(o) + "]." + key;
            int64_t value = was.at(key).get<int64_t>();
            bool store = ruleChanged;
            if (out != nullptr && out->contains(key) && out->at(key) != was.at(key)) {
                value = Integer(out->at(key), lo, hi, f);
                store = true;
            }
            if (store && isMin) {
                r.SetScaleMin(o, static_cast<int32_t>(value));
            } else if (store) {
                r.SetScaleMax(o, static_cast<int32_t>(value));
            }
        }
    }
}

// Edited values the record cannot hold exactly are stored as the nearest it can; the
// user is told what was stored instead.
void NoteRounded(const Json& in, const Json& raw, const Json& after, const std::string& path,
                 std::vector<std::string>& notes) {
    for (auto it = in.begin(); it != in.end(); ++it) {
        if (it.key() == "outputs" || !raw.contains(it.key()) || *it == raw.at(it.key()) ||
            *it == after.at(it.key())) {
            continue;
        }
        notes.push_back(path + "." + it.key() + ": " + it->dump() + " is stored as " +
                        after.at(it.key()).dump() + " (the nearest value the record holds)");
    }
}

void ApplySettings(const Json& in, ParameterRecord& r, const std::string& path,
                   std::vector<std::string>& notes) {
    if (!in.is_object()) {
        throw Refusal(path, "expected an object");
    }
    OnlyKnownKeys(in,
                  {"name", "serialNumber", "unitAddress", "voltageDirect", "vtPrimaryV",
                   "vtSecondaryV", "voltageRange", "voltagePhase", "currentDirect", "ctPrimaryA",
                   "ctSecondaryA", "currentRange", "currentPhase", "ctPhaseCorrectionDeg",
                   "currentThresholdPercent", "balanced", "lineToLine", "outputs"},
                  path);
    const ParameterRecord before = r;
    const Json raw = Settings(r);
    IfEdited(in, raw, "name", path, [&](const Json& v, const std::string& f) {
        const std::string& name = String(v, f);
        if (name.size() > Rec::kNameMax || name.find('\0') != std::string::npos) {
            throw Refusal(f, "expected at most 16 bytes (no NUL)");
        }
        r.SetName(name);
    });
    IfEdited(in, raw, "serialNumber", path, [&](const Json& v, const std::string& f) {
        r.SetSerialNumber(static_cast<uint32_t>(Integer(v, 0, 0xFFFFFFFF, f)));
    });
    IfEdited(in, raw, "unitAddress", path, [&](const Json& v, const std::string& f) {
        r.SetUnitAddress(static_cast<uint8_t>(Integer(v, 0, 255, f)));
    });
    IfEdited(in, raw, "voltageDirect", path, [&](const Json& v, const std::string& f) {
        r.SetDirect(InputKind::Voltage, Boolean(v, f));
    });
    IfEdited(in, raw, "currentDirect", path, [&](const Json& v, const std::string& f) {
        r.SetDirect(InputKind::Current, Boolean(v, f));
    });
    // Each transformer value must fit its unsigned 16-bit field after scaling.
    IfEdited(in, raw, "vtPrimaryV", path, [&](const Json& v, const std::string& f) {
        r.SetPrimary(InputKind::Voltage, Winding::Primary, Number(v, 0, 6553549, "V", f));
    });
    IfEdited(in, raw, "vtSecondaryV", path, [&](const Json& v, const std::string& f) {
        r.SetPrimary(InputKind::Voltage, Winding::Secondary, Number(v, 0, 6553.54, "V", f));
    });
    IfEdited(in, raw, "ctPrimaryA", path, [&](const Json& v, const std::string& f) {
        r.SetPrimary(InputKind::Current, Winding::Primary,
                     static_cast<double>(Integer(v, 0, 65535, f)));
    });
    IfEdited(in, raw, "ctSecondaryA", path, [&](const Json& v, const std::string& f) {
        r.SetPrimary(InputKind::Current, Winding::Secondary, Number(v, 0, 65.535, "A", f));
    });
    int voltageRange = r.GetVoltageRange();
    int currentRange = r.GetCurrentRange();
    IfEdited(in, raw, "voltageRange", path, [&](const Json& v, const std::string& f) {
        voltageRange = static_cast<int>(Integer(v, 0, 3, f));
    });
    IfEdited(in, raw, "currentRange", path, [&](const Json& v, const std::string& f) {
        currentRange = static_cast<int>(Integer(v, 0, 3, f));
    });
    r.SetRanges(voltageRange, currentRange);
    IfEdited(in, raw, "voltagePhase", path, [&](const Json& v, const std::string& f) {
        r.SetPhase(InputKind::Voltage, static_cast<int>(Integer(v, -1, 14, f)));
    });
    IfEdited(in, raw, "currentPhase", path, [&](const Json& v, const std::string& f) {
        r.SetPhase(InputKind::Current, static_cast<int>(Integer(v, -1, 14, f)));
    });
    IfEdited(in, raw, "ctPhaseCorrectionDeg", path, [&](const Json& v, const std::string& f) {
        r.SetCtPhaseCorrection(static_cast<float>(Number(v, -180, 180, "degrees", f)));
    });
    IfEdited(in, raw, "currentThresholdPercent", path, [&](const Json& v, const std::string& f) {
        r.SetCurrentThreshold(static_cast<float>(Number(v, 0, 25.5, "%", f)));
    });
    IfEdited(in, raw, "balanced", path,
             [&](const Json& v, const std::string& f) { r.SetBalanced(Boolean(v, f)); });
    IfEdited(in, raw, "lineToLine", path,
             [&](const Json& v, const std::string& f) { r.SetLineToLine(Boolean(v, f)); });
    const Json* outputs = nullptr;
    if (auto it = in.find("outputs"); it != in.end()) {
        ApplyOutputs(*it, raw.at("outputs"), r, path + ".outputs");
        outputs = &*it;
    }
    ApplyScales(outputs, raw.at("outputs"), before, r, path + ".outputs");
    const Json after = Settings(r);
    NoteRounded(in, raw, after, path, notes);
    if (outputs != nullptr) {
        for (size_t o = 0; o < outputs->size(); ++o) {
            NoteRounded((*outputs)[o], raw.at("outputs")[o], after.at("outputs")[o],
                        path + ".outputs[" + std::to_string(o) + "]", notes);
        }
    }
}

// --- the document ---------------------------------------------------------------------

std::string ReadDescription(const Json& root, std::vector<std::string>& notes) {
    auto text = root.find("description");
    auto hex = root.find("descriptionHex");
    if (hex == root.end()) {
        return String(Member(root, "description", ""), "description");
    }
    std::vector<uint8_t> bytes;
    if (!FromHex(String(*hex, "descriptionHex"), bytes)) {
        throw Refusal("descriptionHex", "expected hex digits, two per byte");
    }
    std::string fromHex(bytes.begin(), bytes.end());
    // An edited description wins over the hex it was shown beside.
    if (text != root.end() && String(*text, "description") != Latin1ToUtf8(fromHex)) {
        notes.emplace_back("description: edited, so it replaces descriptionHex");
        return text->get<std::string>();
    }
    return fromHex;
}

void ReadMonitors(const Json& root, SetupImage& image) {
    image.monitors.count = static_cast<uint16_t>(
        Integer(Member(root, "monitorCount", ""), 0, kMaxMonitors, "monitorCount"));
    const Json& monitors = Member(root, "monitors", "");
    if (!monitors.is_array()) {
        throw Refusal("monitors", "expected an array");
    }
    if (monitors.size() != image.monitors.count) {
        throw Refusal("monitors", "expected " + std::to_string(image.monitors.count) +
                                      " entries (monitorCount), found " +
                                      std::to_string(monitors.size()));
    }
    for (size_t i = 0; i < monitors.size(); ++i) {
        const std::string p = "monitors[" + std::to_string(i) + "]";
        const Json& m = monitors[i];
        if (!m.is_object()) {
            throw Refusal(p, "expected an object");
        }
        OnlyKnownKeys(m, {"entity", "channel", "label"}, p);
        image.monitors.entities[i] =
            static_cast<uint8_t>(Integer(Member(m, "entity", p), 0, 255, p + ".entity"));
        image.monitors.channels[i] =
            static_cast<uint8_t>(Integer(Member(m, "channel", p), 0, 255, p + ".channel"));
    }
}

void ReadBoards(const Json& root, SetupImage& image, SetupImage& rawImage,
                const RecordDescriber& describe, std::vector<std::string>& notes) {
    image.channelCount = static_cast<uint16_t>(
        Integer(Member(root, "channelCount", ""), 0, kSetupMaxChannels, "channelCount"));
    rawImage.channelCount = image.channelCount;
    const Json& boards = Member(root, "boards", "");
    if (!boards.is_array()) {
        throw Refusal("boards", "expected an array");
    }
    if (boards.size() != image.channelCount) {
        throw Refusal("boards", "expected " + std::to_string(image.channelCount) +
                                    " entries (channelCount), found " +
                                    std::to_string(boards.size()));
    }
    for (size_t i = 0; i < boards.size(); ++i) {
        const std::string p = "boards[" + std::to_string(i) + "]";
        const Json& b = boards[i];
        if (!b.is_object()) {
            throw Refusal(p, "expected an object");
        }
        OnlyKnownKeys(b, {"index", "raw", "settings", "decoded"}, p);
        if (Integer(Member(b, "index", p), 0, kSetupMaxChannels - 1, p + ".index") !=
            static_cast<int64_t>(i)) {
            throw Refusal(p + ".index", "expected " + std::to_string(i));
        }
        std::vector<uint8_t> bytes;
        const std::string& raw = String(Member(b, "raw", p), p + ".raw");
        if (raw.size() != kRawDigits || !FromHex(raw, bytes)) {
            throw Refusal(p + ".raw", "expected 230 hex digits");
        }
        ParameterRecord& record = image.records[i];
        std::copy(bytes.begin(), bytes.end(), record.Bytes().begin());
        if (!record.IsValid()) {
            throw Refusal(p + ".raw", "the record's signature is " +
                                          std::to_string(record.GetSignature()) +
                                          ", a valid record has 7502");
        }
        rawImage.records[i] = record;
        if (auto s = b.find("settings"); s != b.end()) {
            ApplySettings(*s, record, p + ".settings", notes);
        }
        auto d = b.find("decoded");
        if (d == b.end() || !d->is_object() || !describe) {
            continue;
        }
        const Json before = Decoded(rawImage.records[i], describe);
        const Json after = Decoded(record, describe);
        for (auto it = d->begin(); it != d->end(); ++it) {
            if (!before.contains(it.key()) ||
                (*it != before.at(it.key()) && *it != after.at(it.key()))) {
                notes.push_back(p + ".decoded." + it.key() + ": information only, ignored (edit " +
                                p + ".settings or " + p + ".raw instead)");
            }
        }
    }
}

void NoteEditedLabels(const Json& root, const SetupImage& image, const SetupImage& rawImage,
                      const MonitorLabeler& labeler, std::vector<std::string>& notes) {
    if (!labeler) {
        return;
    }
    const Json& monitors = root.at("monitors");
    for (size_t i = 0; i < monitors.size(); ++i) {
        auto label = monitors[i].find("label");
        if (label == monitors[i].end()) {
            continue;
        }
        const int e = image.monitors.entities[i];
        const int c = image.monitors.channels[i];
        if (*label != DisplayText(labeler(image, e, c)) &&
            *label != DisplayText(labeler(rawImage, e, c))) {
            notes.push_back("monitors[" + std::to_string(i) +
                            "].label: information only, ignored (edit entity or channel)");
        }
    }
}

void ReadDocument(const Json& root, SetupImage& image, std::vector<std::string>& notes,
                  const SetupJsonTexts& texts) {
    if (!root.is_object()) {
        throw Refusal("(document)", "expected a JSON object");
    }
    OnlyKnownKeys(root,
                  {"format", "schemaVersion", "signature", "description", "descriptionHex",
                   "channelCount", "monitorCount", "layoutColumns", "monitors", "boards"},
                  "");
    if (auto f = root.find("format"); f != root.end() && *f != kSetupJsonFormat) {
        throw Refusal("format", std::string("expected \"") + kSetupJsonFormat + "\"");
    }
    if (Integer(Member(root, "schemaVersion", ""), 0, 0xFFFF, "schemaVersion") !=
        kSetupJsonSchema) {
        throw Refusal("schemaVersion", "expected " + std::to_string(kSetupJsonSchema));
    }
    const int64_t signature = Integer(Member(root, "signature", ""), 0, 0xFFFF, "signature");
    if (!IsSetupSignature(static_cast<uint16_t>(signature))) {
        throw Refusal("signature", "expected 10101, 10102 or 10103");
    }
    image.signature = static_cast<uint16_t>(signature);
    image.description = ReadDescription(root, notes);
    image.monitors.columns = static_cast<uint16_t>(
        Integer(Member(root, "layoutColumns", ""), 0, 0xFFFF, "layoutColumns"));
    if (image.signature == kSetupSignature10101 && image.monitors.columns != kSetupDefaultColumns) {
        throw Refusal("layoutColumns",
                      "a 10101 file has no columns field and always gives 3 (use signature "
                      "10103 for other values)");
    }
    ReadMonitors(root, image);
    SetupImage rawImage = image;
    ReadBoards(root, image, rawImage, texts.describe, notes);
    NoteEditedLabels(root, image, rawImage, texts.label, notes);
}

}  // namespace

std::string SetupToJson(const SetupImage& image, const SetupJsonTexts& texts) {
    const MonitorLabeler& labeler = texts.label;
    Json root;
    root["format"] = kSetupJsonFormat;
    root["schemaVersion"] = kSetupJsonSchema;
    root["signature"] = image.signature;
    root["description"] = DisplayText(image.description);
    if (!IsValidUtf8(image.description)) {
        root["descriptionHex"] = ToHex(reinterpret_cast<const uint8_t*>(image.description.data()),
                                       image.description.size());
    }
    const uint16_t channels = std::min(image.channelCount, kSetupMaxChannels);
    const uint16_t monitors = static_cast<uint16_t>(image.monitors.Size());
    root["channelCount"] = channels;
    root["monitorCount"] = monitors;
    root["layoutColumns"] = image.monitors.columns;
    Json list = Json::array();
    for (size_t i = 0; i < monitors; ++i) {
        Json m;
        m["entity"] = image.monitors.entities[i];
        m["channel"] = image.monitors.channels[i];
        if (labeler) {
            m["label"] =
                DisplayText(labeler(image, image.monitors.entities[i], image.monitors.channels[i]));
        }
        list.push_back(std::move(m));
    }
    root["monitors"] = std::move(list);
    Json boards = Json::array();
    for (size_t i = 0; i < channels; ++i) {
        const ParameterRecord& r = image.records[i];
        Json b;
        b["index"] = i;
        b["raw"] = ToHex(r.Data(), ParameterRecord::kSize);
        b["settings"] = Settings(r);
        if (texts.describe) {
            b["decoded"] = Decoded(r, texts.describe);
        }
        boards.push_back(std::move(b));
    }
    root["boards"] = std::move(boards);
    return root.dump(2) + "\n";
}

bool SetupFromJson(const std::string& text, SetupImage& image, std::string& error,
                   std::vector<std::string>* notes, const SetupJsonTexts& texts) {
    // The parser keeps its own stack, but copying, comparing and freeing a document
    // recurse: a deep one must never reach them.
    if (JsonNestingDepth(text, kMaxJsonDepth) > kMaxJsonDepth) {
        error = "(document): nested deeper than " + std::to_string(kMaxJsonDepth) +
                " levels (a setup needs 4)";
        return false;
    }
    Json root;
    PathTracker where;
    try {
        root = Json::parse(text, [&where](int, Json::parse_event_t event, Json& parsed) {
            where.Follow(event, parsed);
            return true;
        });
    } catch (const nlohmann::json::out_of_range&) {
        // A number beyond the range of a double (1e400): the field it was given for.
        error = where.Path() + ": a number beyond the range the program can hold";
        return false;
    } catch (const nlohmann::json::exception& e) {
        std::string what = e.what();
        // The library's text starts with its own exception tag; the rest says where.
        if (size_t tag = what.find("] ");
            what.rfind("[json.exception", 0) == 0 && tag != what.npos) {
            what = what.substr(tag + 2);
        }
        error = "(document): not JSON: " + what;
        return false;
    }
    SetupImage parsed;
    std::vector<std::string> found;
    try {
        ReadDocument(root, parsed, found, texts);
    } catch (const Refusal& r) {
        error = r.what();
        return false;
    } catch (const std::exception& e) {
        // Anything the checks above missed is still a refusal, never an abort.
        error = "(document): " + std::string(e.what());
        return false;
    }
    image = parsed;
    if (notes != nullptr) {
        *notes = std::move(found);
    }
    return true;
}

size_t JsonNestingDepth(std::string_view text, size_t stopAt) {
    size_t depth = 0;
    size_t deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;  // the escaped character, whatever it is
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > stopAt) {
                return deepest;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

bool IsValidUtf8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned c = s[i];
        size_t len = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len) {
            return false;
        }
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond U+10FFFF are not UTF-8.
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += len;
    }
    return true;
}

std::string Latin1ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string DisplayText(const std::string& bytes) {
    return IsValidUtf8(bytes) ? bytes : Latin1ToUtf8(bytes);
}

}  // namespace kvr
