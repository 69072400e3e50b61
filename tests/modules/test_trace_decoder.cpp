// The line trace decoded: every command of the line, sent by the real protocol objects to
// simulated units, named with its checksum verdict and its reply; broken replies; the
// bounded ring and the capture that feeds it.
#include <gtest/gtest.h>

#include <functional>

#include "base/Trace.h"
#include "link/TalkLink.h"
#include "modules/ComSetup.h"
#include "modules/DisplayLink.h"
#include "modules/TraceDecoder.h"
#include "support/SimDocument.h"

namespace kvr {
namespace {

class TraceDecoding : public test::SimDocumentTest {
  protected:
    void SetUp() override {
        sim::SimOptions options;
        options.withDisplay = true;
        options.withCom = true;
        options.displayCueMs = 0;  // cues only where a test asks for them
        StartUnits(options);
    }
    // The entries of what `op` puts on the line.
    std::vector<TraceEntry> Traced(const std::function<void()>& op) {
        std::vector<TraceEntry> entries;
        ScopedSeams sink(
            Seams{.trace = DecodingTraceSink([&](const TraceEntry& e) { entries.push_back(e); })});
        op();
        return entries;
    }
    CTalkLink link{&doc.Port(), 2};
};

TEST_F(TraceDecoding, EveryCommandOfTheLineIsNamedWithItsVerdictAndReply) {
    ParameterRecord record;
    ASSERT_TRUE(CTalkLink(&doc.Port(), 3).ReadParameters(record));
    talk::ValuesData values{};
    size_t length = 0;
    DisplaySetupRecord displayRecord{};
    ComSetupRecord comRecord;
    struct Row {
        std::function<void()> op;
        // Each sent command and, for those answered, its reply: "dir command | check".
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows = {
        {[&] { CTalkLink(&doc.Port(), 3).QueryDevice(); },
         {"> QueryDevice addr 3 | ", "< QueryDevice addr 3: device code 7 | "}},
        {[&] { link.ReadParameters(record); },
         {"> ReadParameters addr 2 | ", "< ReadParameters addr 2 | ok"}},
        {[&] { CTalkLink(&doc.Port(), 3).WriteParameters(record); },
         {"> Attention | ", "> WriteParameters addr 3 | ok", "< WriteParameters addr 3 | ok"}},
        {[&] { link.RestoreFactorySettings(1); }, {"> RestoreFactorySettings addr 1 | ok"}},
        {[&] { link.SetLoopbackMode(1, 10, 20, 30, 40); },
         {"> SetLoopbackMode addr 2 mode 1: 10 20 30 40 | ok"}},
        {[&] { link.SetUserMode(); }, {"> SetUserMode addr 2 | ok"}},
        {[&] { link.SetFactoryMode(); }, {"> SetFactoryMode addr 2 | ok"}},
        {[&] { link.SetOutputTest(true); }, {"> SetOutputTest addr 2 on | ok"}},
        {[&] {
             link.RelayMake(1);
             link.RelayBreak(2);
             link.RelayPulse(3);
         },
         {"> RelayMake out 1 addr 2 | ", "> RelayBreak out 2 addr 2 | ",
          "> RelayPulse out 3 addr 2 | "}},
        {[&] { link.WriteDac(1, 4660); }, {"> WriteDac out 1 addr 2 = 4660 | ok"}},
        {[&] {
             link.Sample();
             link.SetDeviceCode(1);
             link.Sample();
             link.ReadValues(values, length);
         },
         {"> Sample | ", "> SampleExtended | ", "> ReadValues addr 2 | ",
          "< ReadValues addr 2 | ok"}},
        {[&] { CComLink(&doc.Port()).ReadComSetup(comRecord, true); },
         {"> ReadComSetup | ", "< ReadComSetup | "}},
        {[&] { CComLink(&doc.Port()).WriteComSetup(comRecord); }, {"> WriteComSetup | ok"}},
        {[&] { CDisplayLink(&doc.Port()).ReadDisplaySetup(displayRecord, false, true); },
         {"> ReadDisplaySetup | ", "< ReadDisplaySetup | ok"}},
        {[&] { CDisplayLink(&doc.Port()).SendDisplaySetup(displayRecord, false); },
         {"> WriteDisplaySetup | ok"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> seen;
        for (const TraceEntry& e : Traced(row.op)) {
            seen.push_back(std::string(1, e.direction) + " " + e.command + " | " + e.check);
            if (e.direction == '<') {
                EXPECT_GE(e.replyMs, 0) << row.expected.front();
            }
        }
        EXPECT_EQ(seen, row.expected);
    }
}

TEST(TraceDecoder, BrokenRepliesGatheredFramesAndNotes) {
    TraceDecoder decoder;
    std::vector<TraceEntry> out;
    auto feed = [&](const char* text, uint64_t at) { decoder.Feed(text, 0, at, out); };
    feed("[1;1]>:0x81;\r\n", 100);
    feed("[4;2]<:0x81;0x05;0x00;0x00;Read 2 out of 4 Bytes\r\n", 160);
    feed("Drained 3 Bytes\r\n", 170);
    feed("[1;1]>:0xc1;\r\n", 200);  // a reply behind a display's cue, then a bad sum
    feed("[3;3]<:0xe2;0xc1;0x01;\r\n", 210);
    feed("[1;1]<:0x02;\r\n", 230);
    feed("[1;1]>:0x8a;\r\n", 300);  // a frame sent byte by byte, cut short by a read
    feed("[1;0]<:0x00;ReadComm Failed\r\n", 310);
    feed("[1;1]>:0x44;\r\n", 320);
    ASSERT_EQ(out.size(), 9u);
    EXPECT_EQ(out[1].check, "short 2 of 4");
    EXPECT_EQ(out[1].bytes, (std::vector<uint8_t>{0x81, 0x05}));  // never the fill
    EXPECT_EQ(out[1].replyMs, 60);
    EXPECT_EQ(out[2].direction, '-');
    EXPECT_EQ(out[2].name, "Line");
    EXPECT_EQ(out[2].command, "Drained 3 Bytes");
    EXPECT_EQ(out[4].check, "short 2 of 3");
    EXPECT_EQ(out[5].check, "bad");
    EXPECT_EQ(out[5].replyMs, 30);
    EXPECT_EQ(out[6].command, "SetMode addr 2");
    EXPECT_EQ(out[6].check, "incomplete");
    EXPECT_EQ(out[7].name, "Read");  // no command awaits it
    EXPECT_EQ(out[7].check, "failed");
    EXPECT_EQ(out[8].command, "Unknown 0x44");

    TraceFilter filter{.address = 2, .name = ""};
    EXPECT_TRUE(filter.Accepts(out[6]));
    EXPECT_FALSE(filter.Accepts(out[0]));
    filter = {.address = -1, .name = "ReadValues"};
    EXPECT_TRUE(filter.Accepts(out[5]));
    EXPECT_FALSE(filter.Accepts(out[6]));
}

TEST(TraceDecoder, LineTextHasTheFieldsInOrder) {
    TraceEntry e;
    e.timeMs = 1'700'000'000'123;
    e.direction = '<';
    e.command = "ReadValues addr 1";
    e.check = "ok";
    e.replyMs = 57;
    e.bytes = {0xC1, 0x0A};
    const std::string line = FormatTraceEntry(e);
    EXPECT_EQ(line.substr(8),
              ".123 < ReadValues addr 1                    ok                  57 ms  C1 0A");
    e.check.clear();
    e.replyMs = -1;
    e.bytes.clear();
    EXPECT_NE(FormatTraceEntry(e).find("addr 1                    -                       -  -"),
              std::string::npos);
}

TEST(TraceRing, KeepsTheNewestWithinItsBoundAndCountsTheDropped) {
    TraceRing ring(3);
    for (int i = 0; i < 5; ++i) {
        TraceEntry e;
        e.replyMs = i;
        ring.Push(e);
    }
    EXPECT_EQ(ring.Size(), 3u);
    EXPECT_EQ(ring.Dropped(), 2u);
    std::vector<TraceEntry> taken = ring.Take();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken.front().replyMs, 2);
    EXPECT_EQ(taken.back().replyMs, 4);
    EXPECT_EQ(ring.Size(), 0u);
}

TEST(TraceCapture, FeedsTheRingAndTheSinkBeforeItAndLeavesTheSeamAsItWas) {
    std::string before;
    ScopedSeams outer(Seams{.trace = [&](const std::string& t) { before += t; }});
    {
        TraceCapture capture;
        capture.Start();
        Trace("[1;1]>:0xe1;\r\n");
        EXPECT_EQ(before, "[1;1]>:0xe1;\r\n");
        ASSERT_EQ(capture.Ring().Size(), 1u);
        EXPECT_EQ(capture.Ring().Take()[0].command, "Attention");
        capture.Stop();
        Trace("[1;1]>:0xe2;\r\n");
        EXPECT_EQ(capture.Ring().Size(), 0u);
    }
    Trace("[1;1]>:0xe3;\r\n");
    EXPECT_EQ(before, "[1;1]>:0xe1;\r\n[1;1]>:0xe2;\r\n[1;1]>:0xe3;\r\n");
}

}  // namespace
}  // namespace kvr
