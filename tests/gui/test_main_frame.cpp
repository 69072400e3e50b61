// The main window against the command table, its bars and panes, its commands against
// simulated units on an in-process line, the exit question and the window placement.
#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <set>

#include "app/CommandTable.h"
#include "app/Pictures.h"
#include "app/QRLView.h"
#include "app/ShellRules.h"
#include "app/StatusBar.h"
#include "base/Clock.h"
#include "base/Registry.h"
#include "base/Seams.h"
#include "base/Settings.h"
#include "document/Password.h"
#include "document/Transfer.h"
#include "gui/GuiTestUtil.h"
#include "link/PortSetup.h"
#include "monitor/MonitorTimer.h"

namespace kvr::test {
namespace {

using app::Command;
using app::Commands;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

TEST_F(GuiTest, KeyboardCommandsLiveOnTheWindowAndEveryShortcutParses) {
    MakeFrame();
    for (const Command& c : Commands()) {
        QAction* a = Action(c.id);
        ASSERT_NE(a, nullptr) << c.id;
        // A shortcut text Qt cannot parse would give an empty sequence.
        EXPECT_EQ(a->shortcut().isEmpty(), *c.shortcut == '\0') << c.id;
        if (*c.popup == '\0') {
            // Keyboard and toolbar commands live on the window, so their keys work.
            EXPECT_TRUE(frame->actions().contains(a)) << c.id;
        }
    }
    // Every toolbar picture is drawn for ratio 2, not scaled up: 32 by 30 device pixels.
    for (QAction* a : frame->ToolBar()->actions()) {
        if (!a->isSeparator()) {
            EXPECT_EQ(a->icon().pixmap(app::kToolPictureSize, 2.0).size(), QSize(32, 30))
                << a->data().toInt();
        }
    }
}

TEST_F(GuiTest, HighlightedMenuItemShowsItsPromptInTheMessagePane) {
    MakeFrame();
    QMenu* kvr = frame->PopupMenus()[2];
    kvr->popup(frame->mapToGlobal(QPoint(10, 10)));
    QAction* upload = Action(app::kCmdUpload);
    kvr->setActiveAction(upload);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->Bar()->currentMessage(),
              QStringLiteral("Upload the current configuration settings from the attached KVR"));
    kvr->close();
}

TEST_F(GuiTest, CommandsWithoutAHandlerAreDisabledAndDownloadWaitsForAConfiguration) {
    MakeFrame();
    // Every command has its handler: only Download waits for an upload.
    const std::set<int> disabled = {app::kCmdDownload};
    for (const Command& c : Commands()) {
        EXPECT_EQ(Action(c.id)->isEnabled(), disabled.count(c.id) == 0) << c.id;
    }
    // A disabled command does nothing even when it is asked for directly.
    frame->OnCommand(app::kCmdDownload);
    EXPECT_TRUE(user.messages.empty());

    doc.SetConfigurationPresent(true);
    frame->UpdateCommandUI();
    EXPECT_TRUE(Action(app::kCmdDownload)->isEnabled());
}

TEST_F(GuiTest, ToggleCommandsCarryTheirCheckMarks) {
    MakeFrame();
    EXPECT_TRUE(Action(app::kCmdToolbar)->isChecked());
    EXPECT_TRUE(Action(app::kCmdStatusBar)->isChecked());
    EXPECT_TRUE(Action(app::kCmdUploadUntilFirstFail)->isChecked());

    Action(app::kCmdToolbar)->trigger();
    EXPECT_FALSE(frame->ToolBar()->isVisible());
    EXPECT_FALSE(Action(app::kCmdToolbar)->isChecked());
    Action(app::kCmdStatusBar)->trigger();
    EXPECT_FALSE(frame->Bar()->isVisible());
    EXPECT_FALSE(Action(app::kCmdStatusBar)->isChecked());

    Action(app::kCmdUploadUntilFirstFail)->trigger();
    EXPECT_FALSE(doc.StopAtFirstFailure());
    EXPECT_FALSE(Action(app::kCmdUploadUntilFirstFail)->isChecked());
    Action(app::kCmdUploadUntilFirstFail)->trigger();
    EXPECT_TRUE(doc.StopAtFirstFailure());
    EXPECT_TRUE(Action(app::kCmdUploadUntilFirstFail)->isChecked());
}

TEST_F(GuiTest, StatusPanesStartAtFullWidthAndLeaveTheMessagePaneItsRoom) {
    UseForms();
    MakeFrame(false);
    app::CStatusBar* bar = frame->Bar();
    bar->SetCommsLamp(true);
    frame->resize(1280, 600);  // room for every pane at its own width
    frame->show();             // the view's start-up turns the lamp off
    EXPECT_FALSE(bar->CommsLamp());
    // The secondaries pane tells from the start which values are shown.
    EXPECT_EQ(bar->PaneText(app::kPaneSecondaries), QString::fromUtf8(kSecondariesPaneOff));
    // The lock indicators cannot be read through Qt: greyed.
    EXPECT_FALSE(bar->Pane(app::kPaneCaps)->isEnabled());
    // The panes at their full width, the message pane with room for the text.
    const auto check = [&](const char* what, const QString& message) {
        SCOPED_TRACE(what);
        QCoreApplication::processEvents();
        const QFontMetrics fm(bar->font());
        int messageRoom = bar->width();
        for (int pane = 1; pane < app::kPaneCount; ++pane) {
            QWidget* w = bar->Pane(pane);
            ASSERT_NE(w, nullptr) << pane;
            if (w->isVisible()) {
                messageRoom = std::min(messageRoom, w->x());
                EXPECT_GE(w->width(), app::PaneWidth(pane, fm)) << pane;
            }
        }
        EXPECT_GE(messageRoom, fm.horizontalAdvance(message));
    };
    check("scale 1", QStringLiteral("Reading back the attached device channel 3 configuration"));
    // As wide as the longest text the pane can show.
    for (int pane = 1; pane < app::kPaneCount; ++pane) {
        for (const QString& text : app::PaneTexts(pane)) {
            EXPECT_GE(bar->Pane(pane)->contentsRect().width(),
                      QFontMetrics(bar->font()).horizontalAdvance(text))
                << text.toStdString();
        }
    }
    EXPECT_TRUE(bar->Pane(app::kPaneCaps)->isVisible());
    // A longer text in the same pane: no width change.
    const int uploadWidth = bar->Pane(app::kPaneUpload)->width();
    bar->SetPaneText(app::kPaneUpload, QStringLiteral("Uploaded Ch 1,2,3Ph"));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->Pane(app::kPaneUpload)->width(), uploadWidth);
    // The panes the core writes, through the seam.
    AppSetPaneText(StatusPane::Secondaries, "SHOW SEC");
    AppSetCommsLamp(true);
    EXPECT_EQ(bar->PaneText(app::kPaneSecondaries), QStringLiteral("SHOW SEC"));
    EXPECT_TRUE(bar->CommsLamp());

    // Texts twice as wide, as at scale 2 in a window of the same logical size: the panes
    // grow with their texts and the lock indicators make way for the message pane.
    QFont big = bar->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    bar->setFont(big);
    check("twice the font", QStringLiteral("Checking the configuration"));
    for (int lock : {app::kPaneCaps, app::kPaneNum, app::kPaneScroll}) {
        EXPECT_FALSE(bar->Pane(lock)->isVisible()) << lock;  // together
    }
    EXPECT_TRUE(bar->Pane(app::kPaneComms)->isVisible());
}

TEST_F(GuiTest, BusyMessageShowsItsTextAndTheWaitCursorAtOnce) {
    UseForms();
    MakeFrame();
    {
        BusyMessage outer("Reading channel 1");
        EXPECT_EQ(frame->Bar()->currentMessage(), QStringLiteral("Reading channel 1"));
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            BusyMessage inner;  // the cursor only: the outer text stays
            EXPECT_EQ(frame->Bar()->currentMessage(), QStringLiteral("Reading channel 1"));
        }
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_TRUE(frame->Bar()->currentMessage().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(GuiTest, ExitAnsweredNoKeepsTheWindowAndYesStoresThePlacement) {
    MakeFrame();
    user.answers = {MsgAnswer::No};
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, app::kConfirmExitText);
    EXPECT_EQ(user.messages[0].buttons, MsgButtons::YesNo);
    WindowPlacement p;
    EXPECT_FALSE(ReadWindowPosition(p));  // nothing else happened

    // "E&xit" asks the same question.
    user.answers = {MsgAnswer::Yes};
    Action(app::kCmdExit)->trigger();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(user.messages.size(), 2u);
    EXPECT_TRUE(ReadWindowPosition(p));
}

TEST_F(GuiTest, WindowPositionRoundTripOpensNormalAtTheSavedRectangle) {
    MakeFrame();
    // Without a stored placement the window opens centred.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((frame->geometry().center() - available.center()).manhattanLength(), 2);

    const QRect normal(100, 120, 500, 380);
    frame->setGeometry(normal);
    frame->showMaximized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(frame->isMaximized());
    user.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(frame->close());

    WindowPlacement p;
    ASSERT_TRUE(ReadWindowPosition(p));
    EXPECT_EQ(p.flags, kPlacementRestoreToMaximized);
    EXPECT_EQ(p.showState, kShowMaximized);
    EXPECT_EQ(QRect(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1)), normal);

    MakeFrame();
    EXPECT_FALSE(frame->isMaximized());
    EXPECT_EQ(frame->geometry(), normal);

    // A rectangle on no screen (a monitor unplugged since) opens centred instead.
    p.left = 20000;
    p.right = 20500;
    ASSERT_TRUE(WriteWindowPosition(p));
    MakeFrame();
    EXPECT_TRUE(available.contains(frame->geometry().center()));
}

TEST_F(GuiTest, TheViewsEndStoresThePortSettingsAndTheMonitorsOnlyAfterItStarted) {
    MakeFrame(false);
    doc.Port().Settings().port = 9;
    frame.reset();  // never shown: nothing was loaded, so nothing is stored
    PortSettings stored;
    EXPECT_FALSE(LoadPortSettings(stored));
    MakeFrame();
    frame->View()->SetSaveSettingsOnExit(false);
    frame.reset();
    EXPECT_FALSE(LoadPortSettings(stored));

    MakeFrame();
    {
        DeviceLock lock(doc);  // the reading thread runs
        ASSERT_TRUE(lock.Lock());
        doc.Port().Settings().port = 9;
        doc.Port().Settings().baud = "2400";
        doc.Monitors().count = 2;
        doc.Monitors().entities[1] = 7;
    }
    frame.reset();
    ASSERT_TRUE(LoadPortSettings(stored));
    EXPECT_EQ(stored.port, 9);
    EXPECT_EQ(stored.baud, "2400");
    uint16_t count = 0;
    MonitorBytes entities{}, channels{};
    ASSERT_TRUE(ReadMonitorList(count, entities, channels));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(entities[1], 7);
    EXPECT_FALSE(doc.Port().IsOpen());
}

// Simulated units on an in-process line; every wait on the virtual clock.
class SimulatedUnitTest : public GuiTest {
  protected:
    void SetUp() override {
        UseVirtualClock();
        UseForms();
        StartUnits();  // a KVR 300
    }
    void TearDown() override {
        frame.reset();
        SetRunPassword("");
    }
};

TEST_F(SimulatedUnitTest, UploadAndDownloadThroughTheWindow) {
    MakeFrame();
    app::CStatusBar* bar = frame->Bar();
    EXPECT_FALSE(Action(app::kCmdDownload)->isEnabled());

    Action(app::kCmdUpload)->trigger();
    EXPECT_TRUE(bar->CommsLamp());
    EXPECT_EQ(bar->PaneText(app::kPaneUpload), Q(TransferPaneText(false, 15)));
    EXPECT_TRUE(Action(app::kCmdDownload)->isEnabled());
    EXPECT_EQ(doc.GetChannels(), 4);
    EXPECT_TRUE(bar->currentMessage().isEmpty());  // the progress texts are gone again

    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "pw"),
              kRegOk);
    SetRunPassword("pw");
    forms.script.answers.clear();
    Action(app::kCmdDownload)->trigger();
    EXPECT_EQ(bar->PaneText(app::kPaneDownload), Q(TransferPaneText(true, 15)));
    EXPECT_TRUE(bar->CommsLamp());

    // The unit goes quiet: the next upload finds nothing and the lamp goes off.
    units->GetFaults().silent = true;
    Action(app::kCmdUpload)->trigger();
    EXPECT_FALSE(bar->CommsLamp());
    EXPECT_FALSE(Action(app::kCmdDownload)->isEnabled());
}

TEST_F(SimulatedUnitTest, TalkPaneDoubleClickQueriesEveryUnitUnderItsProgressText) {
    MakeFrame();
    {
        DeviceLock lock(doc);  // the reading thread runs
        ASSERT_TRUE(lock.Lock());
        doc.SetDeviceType(static_cast<int>(DeviceType::Kvr300));
        doc.Channel(0).SetDeviceCode(0xFFFF);
    }
    QTest::mouseDClick(frame->Bar()->Pane(app::kPaneTalk), Qt::LeftButton);
    const auto& texts = forms.script.busyTexts;
    EXPECT_NE(std::find(texts.begin(), texts.end(), app::kTalkQueryText), texts.end());
    EXPECT_EQ(forms.script.busyDepth, 0);
    EXPECT_NE(doc.Channel(0).DeviceCode(), 0xFFFFu);  // the unit's answer was stored
    EXPECT_EQ(DeviceLock::Owner(doc), std::thread::id());
}

TEST_F(SimulatedUnitTest, RestoreFactoryDefaultsAsksNamingTheBoardAndSaysHowItWent) {
    MakeFrame();
    const app::FactoryItem& channel2 = *app::FindFactoryItem(app::kCmdFactoryChannel2);
    // No: nothing is sent (a silent unit would have given the failure message).
    units->GetFaults().silent = true;
    forms.script.answers = {MsgAnswer::No};
    Action(app::kCmdFactoryChannel2)->trigger();
    ASSERT_EQ(forms.script.messages.size(), 1u);
    EXPECT_EQ(forms.script.messages[0].text, app::FactoryQuestion(channel2));
    EXPECT_NE(forms.script.messages[0].text.find("KVR 300 channel 2"), std::string::npos);
    EXPECT_EQ(forms.script.messages[0].title, app::kFactoryTitle);
    EXPECT_EQ(forms.script.messages[0].buttons, MsgButtons::YesNo);

    units->GetFaults().silent = false;
    forms.script.messages.clear();
    forms.script.answers = {MsgAnswer::Yes};
    Action(app::kCmdFactoryChannel2)->trigger();
    EXPECT_EQ(forms.script.Texts(), (std::vector<std::string>{app::FactoryQuestion(channel2),
                                                              app::FactoryDoneText(channel2)}));

    // Nothing behind the line: the port's message, then the unit's.
    forms.script.messages.clear();
    forms.script.answers = {MsgAnswer::Yes};
    {
        DeviceLock lock(doc);  // the reading thread runs
        ASSERT_TRUE(lock.Lock());
        doc.Port().Close();
        doc.Port().Settings().device.clear();
        doc.Port().Settings().port = 0;
    }
    Action(app::kCmdFactoryMainBoard)->trigger();
    EXPECT_EQ(forms.script.Texts(),
              (std::vector<std::string>{
                  app::FactoryQuestion(*app::FindFactoryItem(app::kCmdFactoryMainBoard)),
                  kFailedToOpenPort, "Factory settings not restored for KVR 300 mainboard"}));
    EXPECT_EQ(forms.script.messages.back().title, "KVR View");
}

TEST_F(SimulatedUnitTest, LampStaysGreenAfterAnUploadWithNoMonitorsAndSecondariesShowIt) {
    MakeFrame();
    app::CStatusBar* bar = frame->Bar();
    EXPECT_EQ(bar->PaneText(app::kPaneSecondaries), QString::fromUtf8(kSecondariesPaneOff));
    ASSERT_EQ(doc.Monitors().count, 0);
    Action(app::kCmdUpload)->trigger();
    ASSERT_TRUE(bar->CommsLamp());
    // Several ticks of the view's timer: nothing was read, the upload's result stands.
    EXPECT_FALSE(QTest::qWaitFor([&] { return !bar->CommsLamp(); }, 350));

    // The button shows "S" while secondary values are shown, "P" otherwise.
    QAction* secondaries = Action(app::kCmdSecondaries);
    const auto picture = [&] {
        return secondaries->icon()
            .pixmap(app::kToolPictureSize, 1.0, QIcon::Normal,
                    secondaries->isChecked() ? QIcon::On : QIcon::Off)
            .toImage();
    };
    const QImage primary = picture();
    secondaries->trigger();
    EXPECT_TRUE(secondaries->isChecked());
    EXPECT_EQ(bar->PaneText(app::kPaneSecondaries), QString::fromUtf8(kSecondariesPaneOn));
    EXPECT_EQ(picture(),
              app::DrawPicture(app::Picture::SecondariesOn, app::kToolPictureSize, 1.0).toImage());
    EXPECT_NE(picture(), primary);
}

}  // namespace
}  // namespace kvr::test
