// Every line fault of the simulator at every stage of a monitoring cycle (the Sample
// broadcast, each board's values reply), one reading pass at a time on the virtual clock,
// then the view's timer step and its log line: what the user would see. The contact flag,
// "Invalid" for a board that gave no valid reply (never its old value as a new one), a
// log line that says "Invalid" too, no message or port form from the reading thread, a
// pass that returns in bounded time, and good values in the cycle after the fault.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/Seams.h"
#include "document/TransferFixture.h"
#include "link/PortSetup.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/MonitorTimer.h"
#include "monitor/ReadingThread.h"

namespace kvr {
namespace {

using Pass = ReadingThread::Pass;
using Beep = std::pair<unsigned, unsigned>;

// What a fault does to the exchange it hits.
enum class Hit {
    Nothing,   // the reply arrives, only later
    Reply,     // one reply lost or broken
    Standing,  // no valid reply while it lasts
    Line,      // the line goes away
};

struct Fault {
    const char* name;
    void (*arm)(sim::Faults&);
    Hit hit;
};

// A values reply is 44 bytes and may take 1220 ms; slow 2000 is past that, slow 300 not.
const Fault kFaults[] = {
    {"drop", [](sim::Faults& f) { f.dropNextReply = true; }, Hit::Reply},
    {"corrupt", [](sim::Faults& f) { f.corruptChecksum = true; }, Hit::Reply},
    {"short 20", [](sim::Faults& f) { f.shortReply = 20; }, Hit::Reply},
    {"echo", [](sim::Faults& f) { f.wrongEcho = true; }, Hit::Reply},
    {"silent", [](sim::Faults& f) { f.silent = true; }, Hit::Standing},
    {"slow 2000", [](sim::Faults& f) { f.slowMs = 2000; }, Hit::Standing},
    {"slow 300", [](sim::Faults& f) { f.slowMs = 300; }, Hit::Nothing},
    {"hangup", [](sim::Faults& f) { f.hangUp = true; }, Hit::Line},
};

constexpr int kSample = -1;  // the stage: the Sample broadcast, else a board's values reply
constexpr int kAll = 4;      // no board counts as read
// One failed exchange: the reply timeout, then the drain of what is left.
constexpr uint64_t kFailedExchangeMs = 2000;

void ClearFaults(sim::Faults& f) {
    f.dropNextReply = f.corruptChecksum = f.wrongEcho = f.silent = f.hangUp = false;
    f.shortReply = 0;
    f.slowMs = 0;
}

// The values of the last line of a log, without their padding.
std::vector<std::string> LastLogValues(const std::string& text) {
    const size_t end = text.rfind("\r\n");
    const size_t start = text.rfind("\r\n", end - 1) + 2;
    std::string line = text.substr(start, end - start);
    std::erase(line, ' ');
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; std::getline(in, field, ';');) {
        fields.push_back(field);
    }
    return std::vector<std::string>(fields.begin() + 2, fields.end());  // after date, time
}

class MonitorFaults : public test::SimDocTest {
  protected:
    // The board read with no valid reply in the faulty cycle, or kAll.
    static int LostBoard(const Fault& fault, int stage) {
        switch (fault.hit) {
            case Hit::Nothing:
                return -1;
            case Hit::Reply:  // the broadcast has no reply: board 0's takes the fault
                return stage == kSample ? 0 : stage;
            case Hit::Standing:  // from the broadcast on it lasts the whole cycle
                return stage == kSample ? kAll : stage;
            case Hit::Line:
                return kAll;
        }
        return -1;
    }

    void Check(const Fault& fault, int stage) {
        doc.Port().Close();  // the line of the former units goes with them
        Attach();
        SetMonitors({{0, entity::kVoltage},
                     {1, entity::kVoltage},
                     {2, entity::kVoltage},
                     {3, entity::kFrequency}});
        doc.Port().Close();
        std::vector<test::Sent> sent;
        test::TapLine::Hook hook;
        doc.Port().SetLineOpener([&](const std::string& device, const LineSettings& settings,
                                     std::string& error) -> std::unique_ptr<ISerialLine> {
            auto inner = sim::SimLineOpener(*units)(device, settings, error);
            return std::make_unique<test::TapLine>(std::move(inner), sent, hook);
        });
        int forms = 0;
        ScopedSeams editor(Seams{.portSettingsEditor = [&](PortSettings&) { return ++forms < 0; }});
        user.beeps.clear();
        MonitorShared shared;
        ReadingThread reading(doc, shared);
        MonitorViewState view;
        view.cells.resize(4);
        const std::string path = dir.File("faults.log");
        test::StartViewLog(doc, view, path, 1000);
        // One timer step at the next due time: the cells and the line a user would see.
        auto tick = [&] {
            clock.Advance(view.nextLogDueMs > clock.NowMs() ? view.nextLogDueMs - clock.NowMs()
                                                            : 0);
            const MonitorTimerResult r = MonitorTimerStep(doc, shared, view);
            EXPECT_TRUE(r.lineWritten);
            return r;
        };
        auto expectGood = [&](const char* when) {
            SCOPED_TRACE(when);
            ASSERT_EQ(reading.RunPass(), Pass::Read);
            const MonitorTimerResult r = tick();
            EXPECT_TRUE(r.contact && r.textsCopied);
            const std::vector<std::string> logged = LastLogValues(test::ReadFile(path));
            ASSERT_EQ(logged.size(), 4u);
            for (size_t i = 0; i < 4; ++i) {
                EXPECT_NE(view.cells[i], "Invalid") << i;
                EXPECT_NE(view.cells[i], "") << i;
                EXPECT_NE(logged[i], "Invalid") << i;
            }
        };
        expectGood("before the fault");

        bool fired = false;
        hook = [&](const uint8_t* data, size_t n) {
            sim::Faults& f = units->GetFaults();
            if (stage != kSample) {  // a standing fault hits one values exchange only
                f.silent = false;
                f.slowMs = 0;
            }
            const bool hits =
                n == 1 && (stage == kSample ? (data[0] & 0xFE) == 0xE2 : data[0] == 0xC0 + stage);
            if (!fired && hits) {
                fired = true;
                fault.arm(f);
            }
        };
        const uint64_t start = clock.NowMs();
        const Pass pass = reading.RunPass();
        ASSERT_TRUE(fired);
        const int lost = LostBoard(fault, stage);
        const uint64_t waits = lost == kAll && fault.hit == Hit::Standing ? 4 : 1;
        EXPECT_LE(clock.NowMs() - start, waits * kFailedExchangeMs + 4 * 300 + kIdlePollMs);
        EXPECT_EQ(pass, lost == kAll ? Pass::NoContact : Pass::Read);
        EXPECT_EQ(shared.contact, lost != kAll);
        const MonitorTimerResult r = tick();
        EXPECT_EQ(r.contact, lost != kAll);
        EXPECT_EQ(r.textsCopied, lost != kAll);  // the last texts are not shown as new
        const std::vector<std::string> logged = LastLogValues(test::ReadFile(path));
        ASSERT_EQ(logged.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            const bool invalid = lost == kAll || lost == i;
            EXPECT_EQ(logged[static_cast<size_t>(i)] == "Invalid", invalid) << i;
            if (lost != kAll) {
                EXPECT_EQ(view.cells[static_cast<size_t>(i)] == "Invalid", invalid) << i;
            }
        }

        hook = nullptr;
        ClearFaults(units->GetFaults());
        expectGood("after the fault is cleared");
        std::vector<Beep> beeps{{2000, 100}};
        if (lost == kAll) {
            beeps.insert(beeps.end(), {{2000, 1000}, {2000, 100}});
        }
        EXPECT_EQ(user.beeps, beeps);
        EXPECT_TRUE(user.messages.empty());
        EXPECT_EQ(forms, 0);
    }

    test::TempDir dir;
};

TEST_F(MonitorFaults, EveryFaultAtEveryStageOfACycle) {
    for (const Fault& fault : kFaults) {
        for (int stage = kSample; stage < 4; ++stage) {
            SCOPED_TRACE(std::string(fault.name) + ", " +
                         (stage == kSample ? std::string("sample")
                                           : "values of board " + std::to_string(stage)));
            Check(fault, stage);
        }
    }
}

}  // namespace
}  // namespace kvr
