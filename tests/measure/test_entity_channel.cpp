#include "measure/EntityChannel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/Seams.h"
#include "measure/ChooseEntity.h"
#include "support/ScriptedUser.h"

namespace kvr {
namespace {

using namespace entity;
using namespace phase;

// A phase code given by name or by number (the reversed codes have no name).
struct Code {
    Code(int c) : value(c) {}
    Code(PhaseCode p) : value(static_cast<int>(p)) {}
    int value;
};
struct Wire {
    Code v;
    Code i;
};

// A configured KVR 300 (or a KVR 100 with one channel) wired as given.
void Configure(CQRLDoc& doc, std::vector<Wire> wires, bool kvr100 = false) {
    doc.OnNewDocument();
    doc.SetDeviceType(kvr100 ? 0 : 1);
    for (int c = 0; c < 3; ++c) {
        const Wire w = c < static_cast<int>(wires.size()) ? wires[c] : Wire{0, 0};
        ParameterRecord& r = doc.Channel(c).record;
        r.SetName("Ch" + std::to_string(c + 1));
        r.SetPhase(InputKind::Voltage, w.v.value);
        r.SetPhase(InputKind::Current, w.i.value);
    }
}

TEST(DescribeEntityChannel, LabelsAndRestrictions) {
    CQRLDoc doc;
    Configure(doc, {{kA, kA}, {kB, kNotAvailable}, {kNotAvailable, kC}});
    struct Case {
        MeasuredEntity e;
        int channel;
        const char* label;
        bool energy = true;
        bool exportOk = true;
        uint16_t fixed = kAnyChannel;
    };
    const Case cases[] = {
        {kVoltage, 0, "Voltage : Ch1 / Phase A "},
        {kFrequency, 1, "Frequency : Ch2 / Phase B "},
        {kVoltage, 2, "Invalid Channel"},
        {kCurrent, 1, "Invalid Channel"},
        {kCycleCurrentMax, 1, "1-Cycle Current Maximum : Ch2 / Phase Not Available "},
        {kPowerFactor, 1, "Power Factor : Ch2 / Phase B "},
        {kActiveDemandPower, 2, "Invalid Channel"},  // no voltage connected
        // The main board's record carries no phases; its entities always exist.
        {kVoltage, 3, "Voltage : 3 Phase "},
        {kActiveDemandPower, 3, "Active Demand Power : 3 Phase "},
        {kNone, 0, "No Entity"},
        {EntityFromCode(-1), 0, "No Entity"},
        {kVoltage, 4, "Invalid Channel"},
        {kActiveEnergyImport, 0, "No Entity", false},
        {kReactiveEnergyLag, 0, "No Entity", false},
        {kActiveEnergyExport, 0, "Active Energy Export : Ch1 / Phase A ", false},
        {kActiveEnergyExport, 0, "No Entity", true, false},
        // A fixed channel admits only itself, for every entity.
        {kVoltage, 1, "Voltage : Ch2 / Phase B ", true, true, 1},
        {kVoltage, 0, "Invalid Channel", true, true, 1},
        {kVoltage, 3, "Invalid Channel", true, true, 1},
    };
    for (const Case& c : cases) {
        std::string label;
        const bool valid =
            DescribeEntityChannel(doc, c.e, c.channel, label, c.energy, c.exportOk, c.fixed);
        EXPECT_EQ(label, c.label) << EntityCode(c.e) << "/" << c.channel;
        EXPECT_EQ(valid, label != "No Entity" && label != "Invalid Channel");
    }
}

TEST(DescribeEntityChannel, LineToLineBalancedAndReversed) {
    CQRLDoc doc;
    Configure(doc, {{kB, kB}, {kA, kA}, {10, 10}});
    doc.Channel(kMainBoard).record.SetLineToLine(true);
    doc.Channel(1).record.SetBalanced(true);
    // The label of a valid pair; "refused" for another.
    const auto label = [&doc](MeasuredEntity e, int channel) {
        std::string text;
        return DescribeEntityChannel(doc, e, channel, text, true, false) ? text : "refused";
    };
    EXPECT_EQ(label(kVoltage, 0), "Voltage : Ch1 / Phase B - C ");
    EXPECT_EQ(label(kCurrent, 0), "Current : Ch1 / Phase B ");
    EXPECT_EQ(label(kReactivePower, 1), "Reactive Power : Ch2 / 3 phase ");
    EXPECT_EQ(label(kActivePower, 2), "Active Power : Ch3 / Phase Reversed A - B ");
    EXPECT_EQ(label(kVoltage, 2), "refused");
    // The list's second "Not Connected" entry gives no power.
    doc.Channel(2).record.SetPhase(InputKind::Voltage, 8);
    EXPECT_EQ(label(kActivePower, 2), "refused");
}

TEST(DescribeEntityChannel, ActiveDocument) {
    std::string label = "x";
    EXPECT_FALSE(DescribeEntityChannel(kVoltage, 0, label, true, false));
    EXPECT_EQ(label, "Invalid Channel");
    CQRLDoc doc;
    Configure(doc, {{kA, kA}});
    ScopedActiveDocument active(doc);
    EXPECT_TRUE(DescribeEntityChannel(kVoltage, 0, label, true, false));
    EXPECT_EQ(label, "Voltage : Ch1 / Phase A ");
}

TEST(ThreePhaseWiring, Classification) {
    using W = ThreePhaseWiring;
    struct Case {
        std::vector<Wire> wires;
        W wiring;
        std::array<int, 3> elements;
        bool kvr100 = false;
        int balanced = -1;  // a channel measuring all three phases itself
    };
    const Case cases[] = {
        {{{kA, kA}, {kB, kB}, {kC, kC}}, W::ThreeElement, {0, 1, 2}},
        {{{kC, kC}, {kA, kA}, {kB, kB}}, W::ThreeElement, {1, 2, 0}},
        {{{kA, kAB}, {kB, kBC}, {kC, kCA}}, W::ThreeElement, {0, 1, 2}},
        {{{kCA, kC}, {kAB, kA}, {kBC, kB}}, W::ThreeElement, {1, 2, 0}},
        {{{kCA, kA}, {kBC, kB}}, W::TwoElement, {0, 1, -1}},
        {{{kBC, kC}, {kNotAvailable, kNotAvailable}, {kAB, kA}}, W::TwoElement, {2, 0, -1}},
        {{{kNotAvailable, kNotAvailable}, {kAB, kB}, {kCA, kC}}, W::TwoElement, {1, 2, -1}},
        {{{kNotAvailable, kNotAvailable}, {kIndependent, kIndependent}, {kB, kB}},
         W::SingleElement,
         {2, -1, -1}},
        {{{kBC, kBC}, {kAB, kAB}}, W::SingleElement, {1, -1, -1}},  // A - B tried first
        {{{kA, kA}, {kA, kA}, {kB, kB}}, W::SingleElement, {0, -1, -1}},
        {{{kA, kB}, {kB, kC}, {kC, kA}}, W::None, {-1, -1, -1}},
        {{{10, 10}, {11, 11}, {12, 12}}, W::None, {-1, -1, -1}},  // reversed
        {{{kA, kA}, {kB, kB}, {kC, kC}}, W::None, {-1, -1, -1}, true},
        {{{kA, kA}, {kB, kB}, {kC, kC}}, W::None, {-1, -1, -1}, false, 2},
    };
    for (size_t n = 0; n < std::size(cases); ++n) {
        CQRLDoc doc;
        Configure(doc, cases[n].wires, cases[n].kvr100);
        if (cases[n].balanced >= 0) {
            doc.Channel(cases[n].balanced).record.SetBalanced(true);
        }
        std::array<int, 3> elements{};
        EXPECT_EQ(ClassifyWiring(doc, elements), cases[n].wiring) << "case " << n;
        EXPECT_EQ(elements, cases[n].elements) << "case " << n;
    }
}

TEST(ThreePhaseWiring, EntitiesOffered) {
    // A two-element connection measures only the active quantities.
    const std::vector<MeasuredEntity> active{kVoltage,
                                             kCurrent,
                                             kActivePower,
                                             kPowerFactor,
                                             kFrequency,
                                             kActiveEnergyImport,
                                             kActiveEnergyExport,
                                             kActiveDemandPower};
    auto isActive = [&](MeasuredEntity e) {
        return std::find(active.begin(), active.end(), e) != active.end();
    };
    for (int code = 0; code <= 15; ++code) {
        const MeasuredEntity e = EntityFromCode(code);
        const bool known = code >= 1 && code <= 14 && e != kCycleCurrentMax;
        EXPECT_FALSE(ThreePhaseOffers(ThreePhaseWiring::None, e)) << code;
        EXPECT_EQ(ThreePhaseOffers(ThreePhaseWiring::TwoElement, e), isActive(e)) << code;
        EXPECT_EQ(ThreePhaseOffers(ThreePhaseWiring::SingleElement, e), known) << code;
        EXPECT_EQ(ThreePhaseOffers(ThreePhaseWiring::ThreeElement, e), known) << code;
    }
}

class Chooser : public ::testing::Test {
  protected:
    // Opens the chooser on the entity and channel, its restrictions set before.
    void Open(MeasuredEntity e, int channel = 0) {
        chooser.entity = e;
        chooser.channel = channel;
        chooser.Open();
    }
    test::ScriptedUser user;
    ScopedSeams seam{Seams{.user = &user}};
    CQRLDoc doc;
    ChooseEntityLogic chooser{doc, false};
};

TEST_F(Chooser, Kvr100DisablesOtherChannelsAndThreePhase) {
    Configure(doc, {{kA, kA}, {kB, kB}, {kC, kC}}, /*kvr100=*/true);
    Open(kVoltage, 1);
    EXPECT_TRUE(chooser.ChannelChoiceAt(0).enabled);
    for (int c : {1, 2, 3}) {
        EXPECT_FALSE(chooser.ChannelChoiceAt(c).enabled) << c;
    }
    EXPECT_EQ(chooser.ChannelChoiceAt(3).text, "3 Phase");
    EXPECT_EQ(chooser.SelectedChannel(), -1);  // the disabled choice lost its selection
    EXPECT_FALSE(chooser.SelectChannel(1));
    EXPECT_EQ(chooser.Ok(), ChooseResult::Stay);
    ASSERT_EQ(user.Texts(), std::vector<std::string>{"No Channel Selected"});

    ASSERT_TRUE(chooser.SelectChannel(0));
    EXPECT_EQ(chooser.Ok(), ChooseResult::Close);
    EXPECT_EQ(chooser.channel, 0);
    EXPECT_EQ(chooser.Message(), "Voltage : Ch1 / Phase A ");
    EXPECT_EQ(user.messages.size(), 1u);
}

TEST_F(Chooser, ThreePhaseFollowsTheEntityAndWiring) {
    Configure(doc, {{kCA, kA}, {kBC, kB}});
    Open(kActivePower, 3);
    EXPECT_EQ(chooser.Wiring(), ThreePhaseWiring::TwoElement);
    EXPECT_TRUE(chooser.ChannelChoiceAt(3).enabled);
    EXPECT_EQ(chooser.SelectedChannel(), 3);
    ASSERT_TRUE(chooser.SelectEntity(kReactivePower));
    EXPECT_FALSE(chooser.ChannelChoiceAt(3).enabled);
    EXPECT_EQ(chooser.SelectedChannel(), -1);
    EXPECT_FALSE(chooser.ChannelChoiceAt(2).enabled);  // not wired
    EXPECT_EQ(chooser.ChannelChoiceAt(1).text, "Ch2 / Phase B - C");
}

TEST_F(Chooser, RestrictionsOnEntitiesAndChannels) {
    Configure(doc, {{kA, kA}, {kB, kB}, {kC, kC}});
    chooser.energyAllowed = false;
    chooser.fixedChannel = 1;
    Open(kActiveEnergyImport, 1);
    for (MeasuredEntity e : entity::kAll) {
        const int code = EntityCode(e);
        EXPECT_TRUE(chooser.EntityChoiceAt(e).visible) << code;
        EXPECT_EQ(chooser.EntityChoiceAt(e).enabled, code < 8 || code > 12) << code;
    }
    for (int c : {0, 2, 3}) {
        EXPECT_FALSE(chooser.ChannelChoiceAt(c).enabled) << c;
    }
    // The preset entity stays selected though disabled; OK says why it does not fit.
    EXPECT_EQ(chooser.Ok(), ChooseResult::Stay);
    EXPECT_FALSE(chooser.SelectEntity(kApparentEnergy));
    ASSERT_TRUE(chooser.SelectEntity(kCurrent));
    EXPECT_EQ(chooser.SelectedChannel(), 1);
    EXPECT_EQ(chooser.Ok(), ChooseResult::Close);
    EXPECT_EQ(chooser.Message(), "Current : Ch2 / Phase B ");
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"No Entity"});
}

TEST_F(Chooser, TalkVersionHidesNewerEntities) {
    Configure(doc, {{kA, kA}});
    for (auto [version, cycle, demand] :
         {std::tuple{1.61, false, false}, {1.62, true, false}, {1.72, true, true}}) {
        doc.Channel(0).talkVersion = version;
        Open(kCycleCurrentMax);
        EXPECT_EQ(chooser.EntityChoiceAt(kCycleCurrentMax).visible, cycle) << version;
        EXPECT_EQ(chooser.EntityChoiceAt(kActiveDemandPower).visible, demand) << version;
        EXPECT_EQ(chooser.SelectedEntity(), cycle ? kCycleCurrentMax : kNone) << version;
    }
}

TEST_F(Chooser, ReversedVoltageIsOfferedButRefusedOnOk) {
    Configure(doc, {{10, kA}});
    Open(kVoltage);
    EXPECT_EQ(chooser.ChannelChoiceAt(0).text, "Ch1 / Phase Reversed A");
    ASSERT_TRUE(chooser.SelectChannel(0));
    EXPECT_EQ(chooser.Ok(), ChooseResult::Stay);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Invalid Channel"});
}

TEST_F(Chooser, AddModeNotifiesAndStays) {
    Configure(doc, {{kA, kA}, {kB, kB}, {kC, kC}});
    ChooseEntityLogic adder(doc, true);
    std::vector<std::pair<MeasuredEntity, int>> added;
    adder.onAdd = [&](MeasuredEntity e, int c) { added.emplace_back(e, c); };
    adder.Open();
    EXPECT_STREQ(adder.OkCaption(), "Close");
    EXPECT_FALSE(adder.EntityChoiceAt(kActiveDemandPower).enabled);
    EXPECT_EQ(adder.Add(), ChooseResult::Stay);  // entity 0: no channel is enabled
    ASSERT_TRUE(adder.SelectEntity(kVoltage));
    ASSERT_TRUE(adder.SelectChannel(2));
    EXPECT_EQ(adder.Add(), ChooseResult::Stay);
    ASSERT_TRUE(adder.SelectEntity(kActivePower));
    ASSERT_TRUE(adder.SelectChannel(3));
    EXPECT_EQ(adder.Add(), ChooseResult::Stay);
    EXPECT_EQ(added,
              (std::vector<std::pair<MeasuredEntity, int>>{{kVoltage, 2}, {kActivePower, 3}}));
    EXPECT_EQ(adder.Message(), "Active Power : 3 Phase ");
    EXPECT_EQ(adder.Ok(), ChooseResult::CloseCancelled);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"No Channel Selected"});
}

}  // namespace
}  // namespace kvr
