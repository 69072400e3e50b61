// The demo session (the simulated KVR 300 in-process, settings isolated in a temporary
// folder) driven through the core as the program would, and the help window's lookup of
// the user guide.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTextBrowser>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/DemoSession.h"
#include "app/HelpViewer.h"
#include "base/Clock.h"
#include "base/Registry.h"
#include "base/Seams.h"
#include "document/Password.h"
#include "document/Transfer.h"
#include "link/PortMap.h"
#include "link/PortSetup.h"
#include "measure/EntityChannel.h"
#include "sim/SimUnits.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::optional<std::string>(v) : std::nullopt;
}

// Every monitor of the document makes sense on the unit.
void ExpectMonitorsValid(const CQRLDoc& doc) {
    for (int i = 0; i < doc.Monitors().count; ++i) {
        std::string label;
        EXPECT_TRUE(DescribeEntityChannel(doc, doc.Monitors().EntityAt(static_cast<size_t>(i)),
                                          doc.Monitors().channels[i], label, true, true))
            << i << ": " << label;
    }
}

// The user's own store is a file that exists before the demo and must not change.
class DemoSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(userStore) << "[Software\\Corvane\\KVR View\\Configuration]\n"
                                    "\"Password\"=\"mine\"\n";
        SetRunPassword("");
    }
    void TearDown() override { SetRunPassword(""); }
    std::string ReadUserStore() const {
        std::ifstream in(userStore);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    test::TempDir home;
    std::string userStore = home.File("settings.reg");
    test::ScopedEnv settingsEnv{"KVR_SETTINGS_FILE", userStore};
    test::ScopedEnv portsEnv{"KVR_PORTS_FILE", home.File("ports.conf")};
    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    test::ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
};

TEST_F(DemoSessionTest, UploadsKvr300WithMonitorsAndDownloadsWithDemoPassword) {
    const std::string before = ReadUserStore();
    std::string folder;
    {
        app::DemoSession demo;
        std::string error;
        ASSERT_TRUE(demo.Start(error)) << error;
        folder = demo.Folder();
        EXPECT_FALSE(demo.PersistPortSettings());
        // Every store of the run is in the demo folder.
        EXPECT_TRUE(UserSettingsPath().starts_with(folder + "/")) << UserSettingsPath();
        EXPECT_TRUE(PortOverridesPath().starts_with(folder + "/")) << PortOverridesPath();
        EXPECT_NE(demo.Banner().find("password \"demo\""), std::string::npos) << demo.Banner();

        CQRLDoc doc;
        ScopedActiveDocument active{doc};
        doc.OnNewDocument();
        demo.Attach(doc);
        // The view's start-up: the stored port settings are loaded and the port opened.
        ASSERT_TRUE(StoreOrLoadSettings(doc.Port(), false)) << doc.Port().LastError();
        EXPECT_EQ(doc.Port().DevicePath(), demo.DevicePath());

        ASSERT_TRUE(UploadCommand(doc));
        EXPECT_EQ(doc.GetChannels(), 4);
        EXPECT_EQ(user.panes[StatusPane::Upload], "Uploaded KVR 300");
        // The seeded monitors came with the upload and all make sense on this unit.
        ASSERT_EQ(doc.Monitors().count, 8);
        ExpectMonitorsValid(doc);
        EXPECT_EQ(doc.Monitors().channels[7], kThreePhaseChannel);

        // Download asks for the password; the demo's is accepted.
        doc.Channel(0).record.SetName("Demo feeder");
        user.passwordAnswers = {{true, app::kDemoPassword, ""}};
        const DownloadOutcome r = DownloadCommand(doc);
        EXPECT_TRUE(r.complete) << r.text;
        EXPECT_EQ(user.passwordPrompts.size(), 1u);
        {
            std::lock_guard<std::mutex> lock(demo.Units()->Mutex());
            EXPECT_EQ(demo.Units()->Board(0)->record.GetName(), "Demo feeder");
        }
        doc.Port().Close();
    }
    // Afterwards: the variables point where they did, the folder is gone, and the user's
    // store is byte for byte what it was.
    EXPECT_EQ(Env("KVR_SETTINGS_FILE"), userStore);
    EXPECT_EQ(Env("KVR_PORTS_FILE"), home.File("ports.conf"));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(ReadUserStore(), before);
    EXPECT_FALSE(fs::exists(home.File("ports.conf")));
}

// The benchmark's run: 60 monitors, all of them valid on the simulated unit.
TEST_F(DemoSessionTest, SixtyMonitorsUnsetVariablesUnsetAgainAndUnlockUndone) {
    unsetenv("KVR_SETTINGS_FILE");
    unsetenv("KVR_PORTS_FILE");
    {
        app::DemoOptions options;
        options.unlockPassword = true;
        options.monitorCount = 60;
        app::DemoSession demo(options);
        std::string error;
        ASSERT_TRUE(demo.Start(error)) << error;
        ASSERT_TRUE(Env("KVR_SETTINGS_FILE").has_value());
        EXPECT_TRUE(CheckPassword());  // the run password is the stored demo password

        CQRLDoc doc;
        ScopedActiveDocument active{doc};
        doc.OnNewDocument();
        demo.Attach(doc);
        ASSERT_TRUE(UploadCommand(doc));
        ASSERT_EQ(doc.Monitors().count, 60);
        ExpectMonitorsValid(doc);
        doc.Port().Close();
    }
    EXPECT_FALSE(Env("KVR_SETTINGS_FILE").has_value());
    EXPECT_FALSE(Env("KVR_PORTS_FILE").has_value());
    EXPECT_EQ(RunPassword(), "");
}

TEST_F(DemoSessionTest, FailedStartLeavesEnvironmentAlone) {
    test::ScopedEnv tmp{"TMPDIR", home.File("no/such/folder")};
    app::DemoSession demo;
    std::string error;
    EXPECT_FALSE(demo.Start(error));
    EXPECT_NE(error.find("demo folder"), std::string::npos) << error;
    EXPECT_FALSE(demo.Running());
    EXPECT_EQ(Env("KVR_SETTINGS_FILE"), userStore);
}

// --- the help window ----------------------------------------------------------------------

class HelpViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(guide) << "<html><body><h1 id=\"contents\">Guide</h1>"
                                "<h2 id=\"port-form\">Port</h2></body></html>";
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QStringLiteral("helpWindow")) {
                w->close();
            }
        }
    }
    test::TempDir dir;
    std::string guide = dir.File("guide.html");
    test::ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
};

TEST_F(HelpViewerTest, GuideFromEnvironmentOpensAtAnchor) {
    test::ScopedEnv env{"KVR_HELP_FILE", guide};
    app::ShowHelp(nullptr, QStringLiteral("port-form"));
    QTextBrowser* browser = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QStringLiteral("helpWindow") && w->isVisible()) {
            browser = w->findChild<QTextBrowser*>();
        }
    }
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("port-form"));
    EXPECT_EQ(browser->source().toLocalFile(), QString::fromStdString(guide));
}

TEST_F(HelpViewerTest, MissingEnvironmentFileFallsThroughAndTitlesMapToSections) {
    test::ScopedEnv env{"KVR_HELP_FILE", dir.File("missing.html")};
    const QStringList candidates = app::UserGuideCandidates();
    ASSERT_GE(candidates.size(), 2);
    EXPECT_EQ(candidates.front(), QString::fromStdString(dir.File("missing.html")));
    EXPECT_NE(app::UserGuidePath(), candidates.front());

    QWidget form;
    form.setWindowTitle(QStringLiteral("Select Serial Port"));
    EXPECT_EQ(app::HelpAnchorForWindow(&form), QStringLiteral("port-form"));
    EXPECT_EQ(app::HelpAnchorForWindow(nullptr), QStringLiteral("contents"));
}

// Every anchor the program asks for exists in the guide that ships.
TEST(UserGuide, ShippedGuideHasEveryAnchor) {
    // The source tree's guide, found from this file's own path.
    const fs::path path =
        fs::path(__FILE__).parent_path().parent_path().parent_path() / "doc" / "user-guide.html";
    std::ifstream in(path);
    ASSERT_TRUE(in.good()) << path;
    const std::string html(std::istreambuf_iterator<char>(in), {});
    for (const char* anchor :
         {app::help::kContents, app::help::kConnecting, app::help::kPermissions,
          app::help::kPortForm, app::help::kMainRoad, app::help::kUpload, app::help::kSetupFiles,
          app::help::kDownload, app::help::kPassword, app::help::kMonitors, app::help::kLogging,
          app::help::kSimulator, app::help::kKvrctl, app::help::kTroubleshooting}) {
        EXPECT_NE(html.find(std::string("id=\"") + anchor + "\""), std::string::npos) << anchor;
    }
}

}  // namespace
}  // namespace kvr
