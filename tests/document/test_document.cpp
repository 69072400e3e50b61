// The document model, the device lock, unit addressing, download preferences and the
// transmission setup logic.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/Seams.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"
#include "document/Transfer.h"
#include "document/UnitAddressing.h"
#include "link/PortMap.h"
#include "link/PortSetup.h"
#include "support/RecordingLine.h"
#include "support/SimDocument.h"

namespace kvr {
namespace {

using DocumentTest = test::SimDocumentTest;

std::vector<int> Addresses(CQRLDoc& doc) {
    std::vector<int> out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(doc.Channel(i).record.GetUnitAddress());
    }
    return out;
}

TEST_F(DocumentTest, NewDocumentAssignsAddressesFromTheKvr100Address) {
    doc.SetDescription("kept");
    doc.Monitors().count = 2;
    doc.SetChannels(4);
    doc.Channel(1).record.SetName("Old");
    doc.SetKvr100Address(2);
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(Addresses(doc), (std::vector<int>{2, 1, 0, 3}));
    EXPECT_TRUE(doc.Channel(3).record.IsBalanced());  // main board defaults
    EXPECT_FALSE(doc.Channel(0).record.IsBalanced());
    EXPECT_EQ(doc.Channel(1).record.GetName(), "Not Available");
    EXPECT_EQ(doc.Monitors().count, 0);
    EXPECT_EQ(doc.GetChannels(), 0);
    EXPECT_EQ(doc.Description(), "kept");
}

TEST_F(DocumentTest, ModifiedByMonitorsPortSettingsAndTheFlagButNotByRecords) {
    doc.Channel(0).record.SetName("Changed");
    EXPECT_FALSE(doc.IsModified());

    doc.Monitors().entities[0] = 1;  // beyond the count: not a monitor yet
    EXPECT_FALSE(doc.IsModified());
    doc.Monitors().count = 1;
    EXPECT_TRUE(doc.IsModified());
    doc.SnapshotMonitors();
    EXPECT_FALSE(doc.IsModified());
    doc.Monitors().channels[0] = 3;
    EXPECT_TRUE(doc.IsModified());
    doc.SnapshotMonitors();
    doc.Monitors().columns = 5;
    EXPECT_TRUE(doc.IsModified());
    doc.SnapshotMonitors();

    doc.Port().Settings().changed = true;
    EXPECT_TRUE(doc.IsModified());
    doc.Port().Settings().changed = false;
    doc.SetModifiedFlag(true);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(DocumentTest, DeviceLockTimesOutWhileAnotherThreadHoldsIt) {
    test::LockHeldElsewhere reader(doc);  // a reading cycle that does not end
    const uint64_t before = clock.NowMs();
    {
        DeviceLock lock;  // binds to the active document
        EXPECT_FALSE(lock.Lock());
        EXPECT_FALSE(lock.IsLocked());
    }
    EXPECT_GE(clock.NowMs() - before, 4000u);  // waited its 4000 ms, on the virtual clock
    EXPECT_NE(DeviceLock::Owner(doc), std::this_thread::get_id());
    reader.Release();
    EXPECT_EQ(DeviceLock::Owner(doc), std::thread::id());
    ASSERT_FALSE(user.busyTexts.empty());  // the wait cursor was shown
    EXPECT_EQ(user.busyDepth, 0);
}

TEST_F(DocumentTest, DeviceLockReentersAndEachGuardReleasesOnlyItsOwnHold) {
    DeviceLock outer(doc);
    ASSERT_TRUE(outer.Lock());
    EXPECT_EQ(DeviceLock::Owner(doc), std::this_thread::get_id());
    {
        DeviceLock inner(doc);
        EXPECT_TRUE(inner.Lock());  // recursive: at once
    }
    EXPECT_EQ(DeviceLock::Owner(doc), std::this_thread::get_id());
    std::atomic<bool> got{true};
    std::thread other([&] {
        DeviceLock lock(doc);
        got = lock.Lock();
    });
    other.join();
    EXPECT_FALSE(got);  // the outer hold is still there
}

TEST_F(DocumentTest, WhatTheReadingThreadReadsChangesOnlyUnderTheDeviceLock) {
    const std::string path = isolated.dir.File("site.kvr");
    {
        CQRLDoc other;
        other.Monitors().count = 5;
        other.SetChannels(1);
        ASSERT_TRUE(SaveDocumentFile(other, path, false));
    }
    doc.SetChannels(4);
    doc.Monitors().count = 2;
    const ParameterRecord record = doc.Channel(1).record;
    test::LockHeldElsewhere reader(doc);  // a reading cycle that does not end
    // A download, upload's reset, opening a setup file and the KVR 100 address all wait for
    // the lock, and give up without touching the document or the line.
    EXPECT_FALSE(DownloadCommand(doc).locked);
    EXPECT_TRUE(user.paneHistory.empty());
    EXPECT_FALSE(UploadCommand(doc));
    EXPECT_EQ(user.panes[StatusPane::Upload], "NO UPLOAD COMPLETE");
    EXPECT_FALSE(OpenDocumentFile(doc, path));
    EXPECT_FALSE(ApplyKvr100Address(doc, 1));
    reader.Release();
    EXPECT_EQ(doc.GetChannels(), 4);
    EXPECT_EQ(doc.Monitors().count, 2);
    EXPECT_EQ(doc.Channel(1).record, record);
    EXPECT_EQ(doc.Kvr100Address(), 0);
    EXPECT_TRUE(doc.PathName().empty());
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(DocumentTest, QueryDeviceCodesAsksEveryChannelThenTheModules) {
    auto script = test::AttachRecordingLine(doc.Port());
    doc.SetKvr100Address(2);
    doc.OnNewDocument();
    doc.SetChannels(1);
    script->Reply({0x21, 0x01});
    doc.QueryDeviceCodes();
    EXPECT_EQ(script->written, (std::vector<uint8_t>{0x02, 0x04, 0x05}));
    EXPECT_EQ(doc.Channel(0).DeviceCode(), 0x21u);
}

TEST_F(DocumentTest, Kvr100AddressTableAndTheNextCommand) {
    auto script = test::AttachRecordingLine(doc.Port());
    ASSERT_TRUE(ApplyKvr100Address(doc, 2));
    EXPECT_EQ(doc.Kvr100Address(), 2);
    EXPECT_EQ(Addresses(doc), (std::vector<int>{2, 1, 0, 3}));
    EXPECT_EQ(Kvr100AddressOnOpen(doc), 2);
    doc.Channel(0).ReadParameters();
    EXPECT_EQ(script->written.front(), 0x82);

    ASSERT_TRUE(ApplyKvr100Address(doc, 1));
    EXPECT_EQ(Addresses(doc), (std::vector<int>{1, 0, 2, 3}));
    EXPECT_FALSE(ApplyKvr100Address(doc, 3));
    EXPECT_EQ(doc.Kvr100Address(), 1);

    EXPECT_TRUE(user.messages.empty());
    doc.Channel(0).record.SetUnitAddress(5);
    EXPECT_EQ(Kvr100AddressOnOpen(doc), -1);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Value of Chan is 5, Chan");
}

TEST_F(DocumentTest, DownloadPreferencesFactoryLeavesTheEnableBox) {
    DownloadPreferences form = doc.Preferences();
    form.enabled = true;
    form.overwriteSerialNumber[2] = true;
    form.noDialogAfterDownload = false;
    form.downloadToDifferentUnit[0] = false;
    form.Factory();
    EXPECT_EQ(form.overwriteSerialNumber, (std::array<bool, 4>{false, false, false, false}));
    EXPECT_EQ(form.downloadToDifferentUnit, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_TRUE(form.noDialogAfterDownload);
    EXPECT_TRUE(form.enabled);  // Factory leaves the enable box alone
}

TEST(PortForm, ReportsTheFirstFailureInOrder) {
    const std::string valid = "Please select a valid ";
    EXPECT_EQ(ValidatePortForm(0, "", "", "", ""), valid + "communications port");
    EXPECT_EQ(ValidatePortForm(33, "9600", "None", "8", "1"), valid + "communications port");
    EXPECT_EQ(ValidatePortForm(1, "", "", "", ""), valid + "baud rate");
    EXPECT_EQ(ValidatePortForm(1, "9600", "", "", ""), valid + "parity");
    EXPECT_EQ(ValidatePortForm(1, "9600", "None", "", ""), valid + "number of data bits");
    EXPECT_EQ(ValidatePortForm(1, "9600", "None", "8", ""), valid + "number of stop bits");
    EXPECT_EQ(ValidatePortForm(32, "9600", "None", "8", "1"), "");
}

class PortSetupTest : public DocumentTest {
  protected:
    void SetUp() override {
        sim::SimOptions options;
        options.pace = false;
        units = std::make_unique<sim::SimUnits>(options);
        doc.Port().SetLineOpener(sim::SimLineOpener(*units));  // no device: the form is raised
        // Port numbers must map to a device whatever this machine has.
        std::string error;
        for (int n : {1, 3}) {
            ASSERT_TRUE(SavePortOverride(PortOverridesPath(), n, "/dev/kvr-sim", error)) << error;
        }
    }
    // Puts an editor in place for the rest of the test.
    void SetEditor(PortSettingsEditor e) {
        editor.emplace(Seams{.portSettingsEditor = std::move(e)});
    }
    std::optional<ScopedSeams> editor;
    test::TempDir dir;
    test::ScopedEnv ports{"KVR_PORTS_FILE", dir.File("ports.conf")};
};

// The first device command of a first run raises the settings form: Cancel leaves the
// settings and fails the command, Ok opens the chosen port.
TEST_F(PortSetupTest, FirstRunRaisesTheSettingsForm) {
    std::vector<PortSettings> shown;
    bool ok = false;
    SetEditor([&](PortSettings& s) {
        shown.push_back(s);
        s.port = ok ? 3 : 9;
        return ok;
    });
    EXPECT_FALSE(doc.Channel(0).ReadParameters());
    EXPECT_EQ(doc.Port().Settings().port, 0);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Failed to open Communications Port");
    ok = true;
    ASSERT_TRUE(doc.Channel(0).ReadParameters());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].port, 0);  // nothing chosen yet
    EXPECT_EQ(doc.Port().Settings().port, 3);
    EXPECT_EQ(user.messages.size(), 1u);
}

TEST_F(PortSetupTest, ReconfigureClosesAndReopensOnlyOnOk) {
    doc.Port().Settings().port = 1;
    ASSERT_TRUE(doc.Port().EnsureOpen());
    SetEditor([](PortSettings&) { return false; });
    EXPECT_FALSE(Reconfigure(doc.Port()));
    EXPECT_FALSE(doc.Port().IsOpen());
    SetEditor([](PortSettings& s) {
        s.baud = "19200";
        return true;
    });
    EXPECT_TRUE(Reconfigure(doc.Port()));
    EXPECT_TRUE(doc.Port().IsOpen());
    EXPECT_EQ(doc.Port().Baud(), 19200u);
}

}  // namespace
}  // namespace kvr
