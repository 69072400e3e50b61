// Upload and download end to end: simulated units on a pseudo-terminal, the real termios
// path. The program's own waits run on the virtual clock; line timeouts are real.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "base/Clock.h"
#include "base/Registry.h"
#include "base/Seams.h"
#include "document/Password.h"
#include "document/Transfer.h"
#include "sim/PtyHost.h"
#include "sim/SimUnits.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

constexpr unsigned kBaud = 38400;

class TransferEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(
            CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "pw"),
            kRegOk);
        SetRunPassword("");
        sim::SimOptions options;
        options.baud = kBaud;
        options.turnaroundUs = 500;
        units = std::make_unique<sim::SimUnits>(options);
        host = std::make_unique<sim::PtyHost>(*units);
        std::string error;
        ASSERT_TRUE(host->Start("", error)) << error;
        for (CQRLDoc* d : {&doc, &fresh}) {
            d->OnNewDocument();
            d->Port().Settings().device = host->SlavePath();
            d->Port().Settings().baud = std::to_string(kBaud);
        }
    }
    void TearDown() override {
        doc.Port().Close();
        fresh.Port().Close();
        host.reset();
        SetRunPassword("");
    }
    ParameterRecord UnitRecord(int address) {
        std::lock_guard<std::mutex> lock(units->Mutex());
        return units->Board(address)->record;
    }

    test::IsolatedSettings isolated;
    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    test::ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
    std::unique_ptr<sim::SimUnits> units;
    std::unique_ptr<sim::PtyHost> host;
    CQRLDoc doc;
    CQRLDoc fresh;  // a second document reads the unit back, on its own port
    ScopedActiveDocument active{doc};
};

TEST_F(TransferEndToEnd, UploadChangeDownloadAndReadBackEqual) {
    ASSERT_TRUE(UploadCommand(doc));
    EXPECT_EQ(doc.GetChannels(), 4);
    EXPECT_EQ(user.panes[StatusPane::Upload], "Uploaded KVR 300");
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(doc.Channel(a).record, UnitRecord(a)) << a;
    }

    doc.Channel(1).record.SetName("Feeder 7");
    doc.Channel(1).record.SetDirect(InputKind::Voltage, false);
    doc.Channel(1).record.SetPrimary(InputKind::Voltage, Winding::Primary, 33000);
    doc.Channel(3).record.SetScaleMax(0, 2500);
    user.passwordAnswers = {{true, "pw", ""}};
    user.messages.clear();
    const uint64_t bytesBefore = host->BytesIn();
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.text, "Downloaded to KVR 300");
    // Boards 0 and 2 already held their records: read back (one byte each), not written.
    EXPECT_EQ(r.alreadyEqual, 2);
    EXPECT_EQ(host->BytesIn() - bytesBefore, 4u + 2u * (1u + 117u) + 1u);
    EXPECT_EQ(user.passwordPrompts.size(), 1u);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Downloaded to KVR 300"});
    doc.Port().Close();

    ASSERT_TRUE(UploadCommand(fresh));
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(fresh.Channel(a).record, doc.Channel(a).record) << a;
    }
    EXPECT_EQ(fresh.Channel(1).record.GetName(), "Feeder 7");
    EXPECT_DOUBLE_EQ(fresh.Channel(1).record.GetPrimary(InputKind::Voltage, Winding::Primary),
                     33000);
}

}  // namespace
}  // namespace kvr
