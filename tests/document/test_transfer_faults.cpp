// Every line fault of the simulator at every stage of a KVR 300 upload and download: the
// end state must match what happened on the line. What the unit holds (each board written
// and proven, or untouched), what the document holds, what is counted, and the line that
// names the board and the cause. The matrix runs on the in-process line and the virtual
// clock; a few cases run again through a pseudo-terminal, on the real termios path.
#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <string>
#include <vector>

#include "document/TransferFixture.h"
#include "sim/PtyHost.h"

namespace kvr {
namespace {

// What a fault does where it hits.
enum class AtWrite {
    Nothing,    // the acknowledge arrives as usual
    AckLost,    // the unit takes the record; its acknowledge is missing or wrong
    FrameLost,  // the unit hears nothing of the record
    LineLost,   // the line goes away before the record leaves
};

struct Fault {
    const char* name;
    void (*arm)(sim::Faults&);
    bool breaksRead;  // a record read that it hits fails
    AtWrite atWrite;
};

// Standing faults (silent, slow) are switched off again at the next command, so each
// fault hits one exchange.
const Fault kFaults[] = {
    {"drop", [](sim::Faults& f) { f.dropNextReply = true; }, true, AtWrite::AckLost},
    {"corrupt", [](sim::Faults& f) { f.corruptChecksum = true; }, true, AtWrite::AckLost},
    {"short 60", [](sim::Faults& f) { f.shortReply = 60; }, true, AtWrite::Nothing},
    {"echo", [](sim::Faults& f) { f.wrongEcho = true; }, true, AtWrite::AckLost},
    {"silent", [](sim::Faults& f) { f.silent = true; }, true, AtWrite::FrameLost},
    {"slow 2000", [](sim::Faults& f) { f.slowMs = 2000; }, true, AtWrite::AckLost},
    {"slow 300", [](sim::Faults& f) { f.slowMs = 300; }, false, AtWrite::Nothing},
    {"hangup", [](sim::Faults& f) { f.hangUp = true; }, true, AtWrite::LineLost},
};

enum class Step { Read, Write, Reread };  // Reread: the main board after the download

struct Stage {
    Step step;
    int board;
    std::string Name() const {
        const char* names[] = {"read", "write", "re-read"};
        return std::string(names[static_cast<int>(step)]) + " board " + std::to_string(board);
    }
    bool Matches(const uint8_t* data, size_t n, bool mainWritten) const {
        switch (step) {
            case Step::Read:
                return n == 1 && data[0] == 0x80 + board;
            case Step::Write:
                return n == 117 && data[0] == 0xA0 + board;
            case Step::Reread:
                return mainWritten && n == 1 && data[0] == 0x83;
        }
        return false;
    }
};

std::string Boards(const CQRLDoc& doc, int from, int to) {
    std::string text;
    for (int b = from; b <= to; ++b) {
        text += (text.empty() ? "" : ", ") + BoardName(doc, b);
    }
    return text;
}

class TransferFaults : public test::TransferTest {
  protected:
    // The fault hits the first command of the stage, once.
    void Arm(const Fault& fault, const Stage& stage) {
        fired_ = false;
        mainWritten_ = false;
        hook = [this, &fault, stage](const uint8_t* data, size_t n) {
            units->GetFaults().silent = false;
            units->GetFaults().slowMs = 0;
            if (!fired_ && stage.Matches(data, n, mainWritten_)) {
                fired_ = true;
                fault.arm(units->GetFaults());
            }
            mainWritten_ = mainWritten_ || (n == 117 && data[0] == 0xA3);
        };
    }

    void CheckUpload(const Fault& fault, int board, bool stop) {
        doc.SetStopAtFirstFailure(stop);
        Arm(fault, {Step::Read, board});
        const UploadOutcome r = RunUploadCommand(doc);
        ASSERT_TRUE(fired_);
        const bool lineLost = fault.atWrite == AtWrite::LineLost;
        unsigned mask = 15;
        std::string missing;
        int count = 4;
        if (fault.breaksRead && (stop || lineLost)) {
            mask = (1u << board) - 1;
            missing = Boards(doc, board, 3);
            count = stop ? board : (board > 0 ? 4 : 0);
        } else if (fault.breaksRead) {
            mask = 15u & ~(1u << board);
            missing = BoardName(doc, board);
        }
        EXPECT_EQ(r.mask, mask);
        EXPECT_EQ(r.complete, mask == 15);
        EXPECT_EQ(r.missing, missing);
        EXPECT_EQ(doc.GetChannels(), count);
        std::string text = "Uploaded from KVR 300";
        if (mask != 15) {
            text = std::to_string(std::popcount(mask)) +
                   " Channel(s) Uploaded\nNot read: " + missing +
                   (lineLost ? "\nThe line went away during the upload." : "");
        }
        EXPECT_EQ(r.text, text);
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_EQ(user.messages[0].text, text);
        EXPECT_EQ(user.messages[0].icon, mask == 15 ? MsgIcon::Information : MsgIcon::Error);
        for (int b = 0; b < 4; ++b) {
            if ((mask & (1u << b)) != 0) {
                EXPECT_EQ(doc.Channel(b).record, UnitRecord(b)) << b;
            }
        }
    }

    void CheckDownload(const Fault& fault, const Stage& stage) {
        Uploaded();
        std::vector<ParameterRecord> before, edited;
        for (int b = 0; b < 4; ++b) {
            before.push_back(UnitRecord(b));
            doc.Channel(b).record.SetName("Edited " + std::to_string(b));
            edited.push_back(doc.Channel(b).record);
        }
        Arm(fault, stage);
        const DownloadOutcome r = DownloadCommand(doc);
        ASSERT_TRUE(fired_);

        int written = 4;  // boards 0 to written - 1 hold the new records
        std::string failure, note;
        const std::string board = BoardName(doc, stage.board);
        const std::string noAck = "no valid acknowledge came after the write";
        if (stage.step == Step::Read && fault.breaksRead) {
            written = stage.board;
            failure = board + " not written: " +
                      (fault.atWrite == AtWrite::LineLost
                           ? "the line went away when it was read before writing"
                           : "no valid record came back when it was read before writing");
        } else if (stage.step == Step::Write && fault.atWrite == AtWrite::AckLost) {
            note = board + ": " + noAck + ", but the unit holds exactly the record sent: it was " +
                   "written";
        } else if (stage.step == Step::Write && fault.atWrite == AtWrite::FrameLost) {
            written = stage.board;
            failure = board + " not written: " + noAck +
                      ", and the unit holds a record other than the " + "one sent";
        } else if (stage.step == Step::Write && fault.atWrite == AtWrite::LineLost) {
            written = stage.board;
            failure = board + " not written: " + noAck +
                      " and the line went away, so it is not known what the unit holds";
        }
        EXPECT_EQ(r.complete, written == 4);
        EXPECT_EQ(r.mask, (1u << written) - 1);
        EXPECT_EQ(r.failures,
                  failure.empty() ? std::vector<std::string>{} : std::vector<std::string>{failure});
        EXPECT_EQ(r.notes,
                  note.empty() ? std::vector<std::string>{} : std::vector<std::string>{note});
        const std::string text = written == 4 ? "Downloaded to KVR 300"
                                              : std::to_string(written) + " Channel(s) Downloaded";
        EXPECT_EQ(r.text, text);
        ASSERT_FALSE(user.messages.empty());
        EXPECT_EQ(user.messages.back().text, text + (failure.empty() ? "" : "\n" + failure) +
                                                 (note.empty() ? "" : "\n" + note));
        for (int b = 0; b < 4; ++b) {
            // The unit holds the new record exactly where the board counts as written; the
            // document keeps the configuration either way.
            EXPECT_EQ(UnitRecord(b),
                      b < written ? edited[static_cast<size_t>(b)] : before[static_cast<size_t>(b)])
                << b;
            EXPECT_EQ(doc.Channel(b).record, edited[static_cast<size_t>(b)]) << b;
        }
    }

    bool fired_ = false;
    bool mainWritten_ = false;
};

TEST_F(TransferFaults, EveryFaultAtEveryUploadStage) {
    for (const Fault& fault : kFaults) {
        for (bool stop : {true, false}) {
            for (int board = 0; board < 4; ++board) {
                SCOPED_TRACE(std::string(fault.name) + (stop ? ", stop" : ", continue") +
                             ", read board " + std::to_string(board));
                Start(sim::UnitKind::Kvr300);
                user.messages.clear();
                CheckUpload(fault, board, stop);
            }
        }
    }
}

TEST_F(TransferFaults, EveryFaultAtEveryDownloadStage) {
    std::vector<Stage> stages;
    for (int board = 0; board < 4; ++board) {
        stages.push_back({Step::Read, board});
        stages.push_back({Step::Write, board});
    }
    stages.push_back({Step::Reread, 3});
    for (const Fault& fault : kFaults) {
        for (const Stage& stage : stages) {
            SCOPED_TRACE(std::string(fault.name) + ", " + stage.Name());
            Start(sim::UnitKind::Kvr300);
            hook = nullptr;
            CheckDownload(fault, stage);
        }
    }
}

// The same on the real termios path: the units served on a pseudo-terminal.
class TransferFaultsOnPty : public TransferFaults {
  protected:
    void OnPty() {
        doc.Port().Close();
        host.reset();  // it serves the units that Start replaces
        Start(sim::UnitKind::Kvr300);
        host = std::make_unique<sim::PtyHost>(*units);
        std::string startError;
        ASSERT_TRUE(host->Start("", startError)) << startError;
        doc.Port().Close();
        doc.Port().Settings().device = host->SlavePath();
        doc.Port().SetLineOpener([this](const std::string& device, const LineSettings& settings,
                                        std::string& error) -> std::unique_ptr<ISerialLine> {
            auto inner = OpenTermiosLine(device, settings, error);
            if (!inner) {
                return nullptr;
            }
            return std::make_unique<test::TapLine>(std::move(inner), sent, hook);
        });
    }
    void TearDown() override {
        doc.Port().Close();
        host.reset();
        TransferFaults::TearDown();
    }
    std::unique_ptr<sim::PtyHost> host;
};

TEST_F(TransferFaultsOnPty, LostBoardUnansweredWritesAndAFailedReadBack) {
    OnPty();
    CheckUpload(kFaults[0], 1, true);  // drop: a KVR 300 that lost board 1 is no KVR 100
    struct Case {
        const Fault& fault;
        Stage stage;
    };
    for (const Case& c : {Case{kFaults[3], {Step::Write, 3}}, Case{kFaults[4], {Step::Write, 1}},
                          Case{kFaults[1], {Step::Read, 2}}}) {
        SCOPED_TRACE(std::string(c.fault.name) + ", " + c.stage.Name());
        OnPty();
        hook = nullptr;
        CheckDownload(c.fault, c.stage);
    }
}

}  // namespace
}  // namespace kvr
