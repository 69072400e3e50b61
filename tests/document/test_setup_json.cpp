// Setup files as JSON: byte-identical round trips, edits through the record's fields and
// refusals that name the field.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "document/SetupJson.h"
#include "measure/RecordText.h"

namespace kvr {
namespace {

using Json = nlohmann::ordered_json;

// A setup with something unusual in every corner of the format.
SetupImage Awkward(uint16_t signature, const std::string& description, uint16_t boards) {
    SetupImage image;
    image.signature = signature;
    image.description = description;
    image.channelCount = boards;
    image.monitors.count = 3;
    image.monitors.columns = signature == 10101 ? 3 : 0;
    image.monitors.entities = {1, 14, 255};
    image.monitors.channels = {0, 3, 200};
    for (uint16_t b = 0; b < boards; ++b) {
        ParameterRecord& r = image.records[b];
        r.ResetToDefaults(static_cast<uint8_t>(b));
        r.SetName("Feeder " + std::to_string(b));
        r.SetS16(ParameterRecord::kCtPhaseCorrection, b == 0 ? -1234 : 20000);  // 20000: beyond
        r.SetU8(ParameterRecord::kReserved + 1, 0x5A);  // bytes no field owns
        r.SetU8(ParameterRecord::kName + 14, 0xE9);     // a name byte that is not UTF-8
        r.SetRanges(2, 1);
        r.SetOutputEntity(1,
                          EntityFromCode(3));  // Active Power with current range 1: the power rule
        r.SetScaleMax(1, 5000);
        r.SetDirect(InputKind::Voltage, false);
        r.SetPrimary(InputKind::Voltage, Winding::Primary, 33000);
        r.ApplyGainFactor(1.0123, InputKind::Voltage);
    }
    return image;
}

SetupImage RoundTrip(const SetupImage& image, std::vector<std::string>* notes = nullptr) {
    SetupImage back;
    std::string error;
    EXPECT_TRUE(SetupFromJson(SetupToJson(image), back, error, notes)) << error;
    return back;
}

TEST(SetupJson, RoundTripsAreByteIdentical) {
    const SetupImage cases[] = {
        Awkward(10103, "Z\xC3\xBCrich \xE2\x80\x93 feeders\r\nline 2", 4),  // UTF-8
        Awkward(10101, std::string("Z\xFCrich \x80\xFF\0end", 13), 1),      // Latin-1 and NUL
        Awkward(10102, "", 0),
        Awkward(10103, std::string(300, 'x'), 2),
    };
    for (const SetupImage& image : cases) {
        const std::vector<uint8_t> bytes = EncodeSetup(image);
        std::vector<std::string> notes;
        EXPECT_EQ(EncodeSetup(RoundTrip(image, &notes)), bytes) << image.description;
        EXPECT_TRUE(notes.empty());
        EXPECT_EQ(SetupToJson(RoundTrip(image)), SetupToJson(image));  // stable text
    }
    // Only a description that is not UTF-8 is carried as hex as well.
    EXPECT_EQ(SetupToJson(cases[0]).find("descriptionHex"), std::string::npos);
    const Json latin = Json::parse(SetupToJson(cases[1]));
    EXPECT_EQ(latin["descriptionHex"], "5afc726963682080ff00656e64");
    EXPECT_EQ(latin["description"], std::string("Z\xC3\xBCrich \xC2\x80\xC3\xBF\0end", 16));
}

TEST(SetupJson, DocumentsTheBoardsInReadableFields) {
    // The measure layer's describer fills "decoded"; without one there is none.
    const SetupImage image = Awkward(10103, "d", 1);
    EXPECT_FALSE(Json::parse(SetupToJson(image))["boards"][0].contains("decoded"));
    const Json j = Json::parse(SetupToJson(image, SetupJsonTexts{.describe = DescribeRecord}));
    EXPECT_EQ(j["format"], "kvr-setup");
    EXPECT_EQ(j["schemaVersion"], 1);
    const Json& board = j["boards"][0];
    EXPECT_EQ(board["raw"].get<std::string>().size(), 230u);
    const Json& s = board["settings"];
    EXPECT_EQ(s["vtPrimaryV"], 33000);
    EXPECT_EQ(s["vtSecondaryV"], 110.0);
    EXPECT_EQ(s["ctSecondaryA"], 1.0);
    EXPECT_EQ(s["ctPhaseCorrectionDeg"], -12.34);
    EXPECT_EQ(s["voltageDirect"], false);
    EXPECT_EQ(s["outputs"][1]["scaleMax"], 5000);
    EXPECT_EQ(board["decoded"]["Voltage input"], "VT 33.00 kV : 110.0 V");
    EXPECT_EQ(j["monitors"][1], (Json{{"entity", 14}, {"channel", 3}}));
}

// Edits a parsed export and converts it back.
SetupImage Edited(const SetupImage& image, const std::function<void(Json&)>& edit,
                  std::string* error = nullptr, std::vector<std::string>* notes = nullptr) {
    Json j = Json::parse(SetupToJson(image));
    edit(j);
    SetupImage back;
    std::string e;
    const bool ok = SetupFromJson(j.dump(), back, e, notes);
    if (error != nullptr) {
        *error = ok ? "" : e;
    } else {
        EXPECT_TRUE(ok) << e;
    }
    return back;
}

TEST(SetupJson, EditedSettingsChangeOnlyTheirOwnBits) {
    const SetupImage image = Awkward(10103, "d", 2);
    const SetupImage back = Edited(image, [](Json& j) {
        Json& s = j["boards"][1]["settings"];
        s["vtPrimaryV"] = 11000;
        s["name"] = "Renamed";
        s["currentPhase"] = 3;
        s["outputs"][2]["card"] = 1;
        s["outputs"][2]["range"] = 6;
        s["outputs"][2]["currentOutput"] = true;
        j["description"] = "new text";
        j["monitors"][0]["channel"] = 2;
    });
    const ParameterRecord& before = image.records[1];
    const ParameterRecord& after = back.records[1];
    EXPECT_EQ(after.GetU16(ParameterRecord::kVtPrimary), 110);
    EXPECT_EQ(after.GetName(), "Renamed");
    EXPECT_EQ(after.GetPhase(InputKind::Current), 3);
    EXPECT_EQ(after.GetCardType(2), 1);
    bool current = false;
    int range = 0;
    after.GetOutputRange(2, current, range);
    EXPECT_TRUE(current);
    EXPECT_EQ(range, 6);
    EXPECT_EQ(back.description, "new text");
    EXPECT_EQ(back.monitors.channels[0], 2);
    EXPECT_EQ(back.records[0], image.records[0]);
    // Every byte outside the edited fields is as it was, carried bits included.
    for (size_t k = 0; k < ParameterRecord::kSize; ++k) {
        const bool edited = k == 102 || k == 103 || (k >= 79 && k <= 95) || k == 107 ||
                            k == ParameterRecord::kOutputCard + 2 ||
                            k == ParameterRecord::kOutputEntity + 2;
        if (!edited) {
            EXPECT_EQ(after.Bytes()[k], before.Bytes()[k]) << "byte " << k;
        }
    }
    EXPECT_EQ(after.GetU8(ParameterRecord::kCurrentInput) & 0xF0,
              before.GetU8(ParameterRecord::kCurrentInput) & 0xF0);
}

TEST(SetupJson, ScalePointsKeepTheirValueWhenThePowerRuleSwitches) {
    const SetupImage image = Awkward(10103, "d", 1);  // output 1: Active Power, range 1
    ASSERT_EQ(image.records[0].GetS16(ParameterRecord::kOutputScaleMax + 2), 500);
    SetupImage back =
        Edited(image, [](Json& j) { j["boards"][0]["settings"]["currentRange"] = 0; });
    EXPECT_EQ(back.records[0].GetS16(ParameterRecord::kOutputScaleMax + 2), 5000);
    EXPECT_EQ(back.records[0].GetScaleMax(1), 5000);

    back = Edited(image,
                  [](Json& j) { j["boards"][0]["settings"]["outputs"][1]["scaleMax"] = 120000; });
    EXPECT_EQ(back.records[0].GetS16(ParameterRecord::kOutputScaleMax + 2), 12000);
}

TEST(SetupJson, RefusalsNameTheWrongField) {
    const SetupImage image = Awkward(10103, "d", 4);
    const struct {
        std::function<void(Json&)> edit;
        std::string error;
    } cases[] = {
        {[](Json& j) {
             j["boards"][2]["raw"] = j["boards"][2]["raw"].get<std::string>().substr(2);
         },
         "boards[2].raw: expected 230 hex digits"},
        {[](Json& j) {
             std::string raw = j["boards"][0]["raw"];
             raw[7] = 'g';
             j["boards"][0]["raw"] = raw;
         },
         "boards[0].raw: expected 230 hex digits"},
        {[](Json& j) {
             std::string raw = j["boards"][1]["raw"];
             raw.replace(226, 4, "0000");
             j["boards"][1]["raw"] = raw;
         },
         "boards[1].raw: the record's signature is 0, a valid record has 7502"},
        {[](Json& j) { j["channelCount"] = 5; }, "channelCount: expected an integer from 0 to 4"},
        {[](Json& j) { j["channelCount"] = 3; },
         "boards: expected 3 entries (channelCount), found 4"},
        {[](Json& j) { j["monitorCount"] = 61; }, "monitorCount: expected an integer from 0 to 60"},
        {[](Json& j) { j["monitors"][2]["entity"] = 256; },
         "monitors[2].entity: expected an integer from 0 to 255"},
        {[](Json& j) { j["monitors"][0].erase("channel"); }, "monitors[0].channel: missing"},
        {[](Json& j) { j["signature"] = 10104; }, "signature: expected 10101, 10102 or 10103"},
        {[](Json& j) { j["signature"] = 10101; }, "layoutColumns: a 10101 file has no columns"},
        {[](Json& j) { j["schemaVersion"] = 2; }, "schemaVersion: expected 1"},
        {[](Json& j) { j.erase("description"); }, "description: missing"},
        {[](Json& j) { j["descriptionHex"] = "abc"; }, "descriptionHex: expected hex digits"},
        {[](Json& j) { j["boards"][3]["index"] = 2; }, "boards[3].index: expected 3"},
        {[](Json& j) { j["boards"][0]["settings"]["vtPrimay"] = 1; },
         "boards[0].settings.vtPrimay: unknown field"},
        {[](Json& j) { j["boards"][1]["settings"]["ctPhaseCorrectionDeg"] = 180.5; },
         "boards[1].settings.ctPhaseCorrectionDeg: expected a number from -180 to 180 degrees"},
        {[](Json& j) { j["boards"][1]["settings"]["name"] = "seventeen chars!!"; },
         "boards[1].settings.name: expected at most 16 bytes"},
        {[](Json& j) { j["boards"][0]["settings"]["voltageDirect"] = 1; },
         "boards[0].settings.voltageDirect: expected true or false"},
        {[](Json& j) { j["boards"][0]["settings"]["vtSecondaryV"] = 7000; },
         "boards[0].settings.vtSecondaryV: expected a number from 0 to 6553.54 V"},
        {[](Json& j) { j["boards"][0]["settings"]["outputs"][3]["entity"] = 15; },
         "boards[0].settings.outputs[3].entity: expected an integer from 0 to 14"},
        {[](Json& j) { j["boards"][0]["settings"]["outputs"][0]["scaleMax"] = 40000; },
         "boards[0].settings.outputs[0].scaleMax: expected an integer from -32768 to 32767"},
        {[](Json& j) { j["boards"][0]["settings"]["outputs"].erase(3); },
         "boards[0].settings.outputs: expected an array of 4 outputs"},
        {[](Json& j) { j = Json::array(); }, "(document): expected a JSON object"},
    };
    for (const auto& c : cases) {
        std::string error;
        Edited(image, c.edit, &error);
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    }
    SetupImage untouched = image;
    std::string error;
    EXPECT_FALSE(SetupFromJson("{\"signature\": 10103,", untouched, error));
    EXPECT_NE(error.find("not JSON"), std::string::npos) << error;
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    EXPECT_EQ(untouched, image);  // a refusal writes nothing
}

// Inputs that once aborted or overflowed the stack: each is refused, naming its field.
TEST(SetupJson, HostileDocumentsAreRefusedNeverFatal) {
    const SetupImage image = Awkward(10103, "d [{\"", 2);
    auto withRaw = [&](const std::function<void(Json&)>& mark, const std::string& raw) {
        Json j = Json::parse(SetupToJson(image));
        mark(j);
        std::string text = j.dump();
        text.replace(text.find("\"@@\""), 4, raw);
        return text;
    };
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {withRaw([](Json& j) { j["schemaVersion"] = "@@"; }, "1e400"),
         "schemaVersion: a number beyond the range"},
        {withRaw([](Json& j) { j["boards"][1]["settings"]["vtPrimaryV"] = "@@"; }, "-2e308"),
         "boards[1].settings.vtPrimaryV: a number beyond the range"},
        {withRaw([](Json& j) { j["monitors"][2]["channel"] = "@@"; }, "9e999"),
         "monitors[2].channel: a number beyond the range"},
        {std::string(50000, '[') + std::string(50000, ']'), "(document): nested deeper than 16"},
        {"{\"a\":" + std::string(17, '{') + std::string(17, '}') + "}",
         "(document): nested deeper than 16"},
    };
    for (const auto& c : cases) {
        SetupImage back;
        std::string error;
        EXPECT_FALSE(SetupFromJson(c.text, back, error));
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
    }
    // Brackets inside texts are no nesting.
    EXPECT_EQ(JsonNestingDepth("{\"a\": \"[[[{{{\\\"[[\"}", 16), 1u);
    EXPECT_EQ(EncodeSetup(RoundTrip(image)), EncodeSetup(image));
}

TEST(SetupJson, EditsTheRecordRoundsAreNoted) {
    const SetupImage image = Awkward(10103, "d", 1);
    std::vector<std::string> notes;
    const SetupImage back = Edited(
        image,
        [](Json& j) {
            Json& s = j["boards"][0]["settings"];
            s["vtPrimaryV"] = 180;                // the record holds hundreds of volts
            s["ctSecondaryA"] = 1.2;              // exact: no note
            s["outputs"][1]["scaleMax"] = 12345;  // the power rule keeps tens
        },
        nullptr, &notes);
    EXPECT_EQ(back.records[0].GetU16(ParameterRecord::kVtPrimary), 2);
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "boards[0].settings.vtPrimaryV: 180 is stored as 200 (the nearest "
                         "value the record holds)",
                         "boards[0].settings.outputs[1].scaleMax: 12345 is stored as 12340 (the "
                         "nearest value the record holds)"}));
}

TEST(SetupJson, InformativeEditsAreToldAndIgnored) {
    const SetupImage image = Awkward(10103, "d", 1);
    std::vector<std::string> notes;
    const MonitorLabeler labeler = [](const SetupImage& i, int e, int c) {
        return i.records[0].GetName() + "/" + std::to_string(e) + "/" + std::to_string(c);
    };
    const RecordDescriber describe = [](const ParameterRecord& r) {
        return std::vector<std::pair<std::string, std::string>>{{"Name", r.GetName()}};
    };
    const SetupJsonTexts texts{labeler, describe};
    Json j = Json::parse(SetupToJson(image, texts));
    EXPECT_EQ(j["monitors"][0]["label"], "Feeder 0/1/0");
    j["boards"][0]["decoded"]["Name"] = "Edited here";
    j["monitors"][1]["label"] = "My label";
    j["boards"][0]["settings"]["name"] = "Renamed";  // a real edit changes the labels too
    SetupImage back;
    std::string error;
    ASSERT_TRUE(SetupFromJson(j.dump(), back, error, &notes, texts)) << error;
    EXPECT_EQ(back.records[0].GetName(), "Renamed");
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].rfind("boards[0].decoded.Name: information only", 0), 0u) << notes[0];
    EXPECT_EQ(notes[1].rfind("monitors[1].label: information only", 0), 0u) << notes[1];
}

TEST(SetupJson, AnEditedDescriptionReplacesItsHex) {
    const SetupImage image = Awkward(10103, "caf\xE9", 0);
    SetupImage back = Edited(image, [](Json&) {});
    EXPECT_EQ(back.description, "caf\xE9");
    std::vector<std::string> notes;
    back = Edited(
        image, [](Json& j) { j["description"] = "caf\xC3\xA9 au lait"; }, nullptr, &notes);
    EXPECT_EQ(back.description, "caf\xC3\xA9 au lait");
    EXPECT_EQ(notes.size(), 1u);
    back = Edited(image, [](Json& j) { j.erase("description"); });
    EXPECT_EQ(back.description, "caf\xE9");
}

TEST(SetupJson, Utf8CheckRefusesWhatJsonCannotCarry) {
    EXPECT_TRUE(IsValidUtf8("plain \xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_EQ(Latin1ToUtf8("\xE9\x41"),
              "\xC3\xA9"
              "A");
}

}  // namespace
}  // namespace kvr
