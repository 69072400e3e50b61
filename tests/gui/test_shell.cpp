// Branding in the caption, the About box and the splash; the command line; setup files
// opened from the command line or dropped on the window.
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <QWhatsThis>
#include <clocale>
#include <fstream>
#include <set>

#include "app/CommandTable.h"
#include "app/ContextHelp.h"
#include "app/HelpViewer.h"
#include "app/MainFrame.h"
#include "app/Pictures.h"
#include "app/QRLApp.h"
#include "app/QRLView.h"
#include "app/ShellForms.h"
#include "app/ShellRules.h"
#include "app/SplashWindow.h"
#include "document/Branding.h"
#include "document/SetupFile.h"
#include "document/forms/UnitAddressForms.h"
#include "gui/GuiTestUtil.h"
#include "monitor/forms/MonitorConfigForm.h"
#include "monitor/forms/MonitorDisplay.h"

namespace kvr::test {
namespace {

TEST_F(GuiTest, CountryChoosesTheMakerInCaptionAboutBoxAndSplash) {
    const struct {
        const char* country;
        const char* title;
        const char* product;
        bool pictures;
    } cases[] = {
        {"ZA", "Untitled - Halvery Velquist", "Halvery KVR View\nVersion 1.22", true},
        {"us", "Untitled - Corvane Velquist", "Corvane KVR View\nVersion 1.22", true},
        {"de", "Untitled", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.country);
        std::ofstream(isolated.dir.File("QRL.ini")) << "[Country]\nCountry=" << c.country << "\n";
        MakeFrame();  // the view's first showing loads the branding
        EXPECT_EQ(frame->windowTitle(), QString::fromUtf8(c.title));

        app::CAboutBox box(doc, TextBrandingIndex(), frame.get());
        box.show();
        EXPECT_EQ(box.ProductLabel()->text(), QString::fromUtf8(c.product));
        EXPECT_EQ(box.Picture()->isVisible(), c.pictures);
        EXPECT_EQ(box.AddressText().trimmed().isEmpty(), !c.pictures);

        QPointer<app::CSplashWindow> splash = app::CSplashWindow::ShowFor(SplashBrandingIndex());
        EXPECT_EQ(!splash.isNull(), c.pictures);
        if (splash) {
            splash->close();
        }
    }
    // Without the key the texts are the first maker's and the splash the second's.
    std::remove(isolated.dir.File("QRL.ini").c_str());
    EXPECT_EQ(TextBrandingIndex(), 1);
    EXPECT_EQ(SplashBrandingIndex(), 2);
}

TEST_F(GuiTest, AboutBoxOpensShortContactInfoShowsTheAddressSystemInfoFollowsTheProgram) {
    doc.Brand() = LoadBranding();
    app::CAboutBox box(doc, 1);
    box.show();
    EXPECT_FALSE(box.ContactGroup()->isVisible());
    const int shortHeight = box.height();
    QTest::mouseClick(box.ContactButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(box.ContactGroup()->isVisible());
    EXPECT_GE(box.height(), shortHeight + box.ContactGroup()->height());

    auto write = [&](const char* value) {
        std::ofstream(isolated.dir.File("system.reg"))
            << "[Software\\Microsoft\\Shared Tools\\MSInfo]\n\"Path\"=\"" << value << "\"\n";
    };
    write("");
    EXPECT_FALSE(app::CAboutBox(doc, 1).SystemInfoButton()->isEnabled());
    write("/usr/bin/true");
    EXPECT_TRUE(app::CAboutBox(doc, 1).SystemInfoButton()->isEnabled());
}

TEST(ShellRules, BuildTextUsesTheLocalDateAndTime) {
    const std::string oldLocale = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    ScopedEnv tz("TZ", "UTC");
    tzset();
    EXPECT_EQ(app::BuildText(86400 * 31 + 3723), "Build : 01 Feb, 1970; 01:02:03");
    std::setlocale(LC_TIME, oldLocale.c_str());
}

// Shown with its title, icon and buttons.
TEST_F(GuiTest, AMessageAtStartUpBelongsToTheMainWindowAndTheSplashMakesWay) {
    app::CQtUserSeam qt;
    MakeFrame(false);  // at start-up the main window is not shown yet
    qt.SetFrame(frame.get());
    QPointer<app::CSplashWindow> splash = app::CSplashWindow::ShowFor(2);
    ASSERT_FALSE(splash.isNull());
    splash->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(splash.data()));

    QWidget* owner = nullptr;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool splashShown = true;
    ModalScript script;
    script.Then<QMessageBox>([&](QMessageBox* box) {
        owner = box->parentWidget();
        title = box->windowTitle() + QLatin1Char('|') + box->text();
        icon = box->icon();
        splashShown = !splash.isNull() && splash->isVisible();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(qt.MessageBox("Shall we?", "Confirm Exit", MsgIcon::Question, MsgButtons::YesNo),
              MsgAnswer::No);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(title, QStringLiteral("Confirm Exit|Shall we?"));
    EXPECT_EQ(icon, QMessageBox::Question);
    // The splash deletes its children when it goes: the box must not be one of them.
    EXPECT_EQ(owner, frame.get());
    EXPECT_FALSE(splashShown);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
}

// The splash goes at the first key press in the main window.
TEST_F(GuiTest, TheReadingThreadWaitsWhileTheStartUpSplashShows) {
    app::CQRLApp shell;
    ASSERT_TRUE(shell.InitInstance(app::CommandLine{}));
    app::CQRLView* view = shell.MainFrame()->View();
    view->SetSaveSettingsOnExit(false);
    ASSERT_TRUE(shell.SplashShowing());
    EXPECT_TRUE(view->Shared().splashShowing);
    QTest::keyClick(shell.MainFrame(), Qt::Key_Space);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(shell.SplashShowing());
    EXPECT_FALSE(view->Shared().splashShowing);
}

TEST(CommandLine, FileScreenshotAndAutomation) {
    auto parse = [](std::initializer_list<const char*> args) {
        QStringList list{QStringLiteral("kvrview")};
        for (const char* a : args) {
            list << QString::fromUtf8(a);
        }
        return app::ParseCommandLine(list);
    };
    app::CommandLine cl = parse({"site.kvr", "--screenshot", "/tmp/x.png"});
    EXPECT_EQ(cl.file, "site.kvr");
    EXPECT_EQ(cl.screenshot, "/tmp/x.png");
    EXPECT_TRUE(cl.splash);
    EXPECT_TRUE(cl.error.empty());
    EXPECT_FALSE(parse({"-Embedding"}).splash);
    EXPECT_TRUE(parse({"--print", "site.kvr"}).print);
    for (auto bad : {parse({"--screenshot"}), parse({"--bogus"}), parse({"a.kvr", "b.kvr"}),
                     parse({"--print"})}) {
        EXPECT_FALSE(bad.error.empty());
    }
}

class ShellFileTest : public GuiTest {
  protected:
    std::string SavedSetup(const char* name, uint16_t monitors) {
        CQRLDoc other;
        other.SetDescription("bench");
        other.Monitors().count = monitors;
        const std::string path = isolated.dir.File(name);
        EXPECT_TRUE(SaveDocumentFile(other, path, false));
        return path;
    }
    void Drop(const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(frame.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame.get(), &drop);
    }
};

TEST_F(ShellFileTest, DroppedFileIsOpenedAndARefusedOneChangesNothing) {
    MakeFrame();
    const std::string good = SavedSetup("site.kvr", 0);
    Drop(good);
    EXPECT_EQ(doc.PathName(), good);
    EXPECT_EQ(doc.Description(), "bench");
    EXPECT_TRUE(frame->windowTitle().startsWith(QStringLiteral("site.kvr - ")));

    const std::string bad = isolated.dir.File("notes.kvr");
    std::ofstream(bad) << "hello";
    Drop(bad);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{kInvalidSignatureText});
    EXPECT_EQ(doc.PathName(), good);
}

TEST_F(ShellFileTest, StartUpOpensTheNamedFileOrEndsWhenItCannot) {
    const std::string good = SavedSetup("site.kvr", 0);
    {
        app::CQRLApp shell;
        app::CommandLine cl;
        cl.file = good;
        cl.splash = false;
        ASSERT_TRUE(shell.InitInstance(cl));
        EXPECT_EQ(shell.Document().PathName(), good);
        EXPECT_EQ(GetActiveDocument(), &shell.Document());
        shell.MainFrame()->View()->SetSaveSettingsOnExit(false);
    }
    EXPECT_EQ(GetActiveDocument(), &doc);

    // A file that cannot be read: its message (through the program's own seam), and the
    // program ends.
    app::CQRLApp shell;
    app::CommandLine cl;
    cl.file = isolated.dir.File("missing.kvr");
    ModalScript script;
    QString shown;
    QWidget* owner = nullptr;
    script.Then<QMessageBox>([&](QMessageBox* box) {
        shown = box->text();
        owner = box->parentWidget();
        box->accept();
    });
    EXPECT_FALSE(shell.InitInstance(cl));
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(shown.contains(QStringLiteral("missing.kvr")));
    EXPECT_EQ(owner, shell.MainFrame());
}

TEST(ShellRules, SaveAsProposesTheFileOrANameFromTheDescription) {
    CQRLDoc doc;
    EXPECT_EQ(app::ProposedFileName(doc), "Untitled.kvr");
    doc.SetDescription(" Feeder 3 / north: 11 kV.\nsecond line");
    EXPECT_EQ(app::ProposedFileName(doc), "Feeder 3 _ north_ 11 kV.kvr");
    doc.SetPathName("/data/site.kvr");
    EXPECT_EQ(app::ProposedFileName(doc), "/data/site.kvr");
}

TEST_F(GuiTest, SaveAsProposesANameAndEveryToolbarCommandIsInAMenu) {
    MakeFrame();
    std::set<int> inMenus;
    for (QMenu* menu : frame->PopupMenus()) {
        for (QAction* a : menu->actions()) {
            inMenus.insert(a->menu() != nullptr ? -1 : a->data().toInt());
        }
    }
    for (int id : app::ToolbarLayout()) {
        EXPECT_TRUE(id == app::kCmdSeparator || inMenus.count(id) == 1) << id;
    }

    doc.SetDescription("Feeder 3");
    QString proposed;
    ModalScript script;
    script.Then<QFileDialog>([&](QFileDialog* dialog) {
        proposed = dialog->selectedFiles().value(0);
        dialog->reject();
    });
    Action(app::kCmdSaveAs)->trigger();
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(proposed.endsWith(QStringLiteral("/Feeder 3.kvr"))) << proposed.toStdString();
}

TEST_F(GuiTest, FormsShowWholeTitlesAndRealArrows) {
    CKvr100AddressForm address(doc);
    address.show();
    const QFontMetrics fm(address.font());
    // Room beside the title for the title bar's icon and buttons.
    EXPECT_GE(address.width(), fm.horizontalAdvance(address.windowTitle()) + 4 * fm.height());

    CDownloadPreferencesForm prefs(doc);
    MonitorConfig config(doc);
    CMonitorConfigForm monitors(config);
    QStringList texts;
    for (QWidget* form : {static_cast<QWidget*>(&prefs), static_cast<QWidget*>(&monitors)}) {
        for (auto* label : form->findChildren<QLabel*>()) {
            texts << label->text();
        }
        for (auto* button : form->findChildren<QAbstractButton*>()) {
            texts << button->text();
        }
    }
    for (const QString& text : texts) {
        EXPECT_FALSE(text.contains(QStringLiteral("->")) || text.contains(QStringLiteral("<-")))
            << text.toStdString();
    }
    EXPECT_TRUE(texts.contains(QString::fromUtf8("\u2190 &Add")));
}

TEST_F(GuiTest, F1AndShiftF1WorkInsideAForm) {
    app::CContextHelp contextHelp;
    MakeFrame();
    QWidget* helpWindow = nullptr;
    QWidget* helpOwner = nullptr;
    QString anchor;
    bool whatsThis = false;
    ModalScript script;
    script.Then<CDownloadPreferencesForm>([&](CDownloadPreferencesForm* form) {
        QTest::keyClick(form, Qt::Key_F1);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QStringLiteral("helpWindow") && w->isVisible()) {
                helpWindow = w;
            }
        }
        if (helpWindow != nullptr) {
            helpOwner = helpWindow->parentWidget();  // the form's, so the form does not block it
            anchor = helpWindow->findChild<QTextBrowser*>()->source().fragment();
        }
        QTest::keyClick(form, Qt::Key_F1, Qt::ShiftModifier);
        whatsThis = QWhatsThis::inWhatsThisMode();
        QWhatsThis::leaveWhatsThisMode();
        form->reject();
    });
    frame->OnCommand(app::kCmdDownloadPreferences);
    EXPECT_TRUE(script.Done());
    ASSERT_NE(helpWindow, nullptr);
    EXPECT_EQ(anchor, QString::fromUtf8(app::help::kDownload));
    EXPECT_TRUE(whatsThis);
    EXPECT_NE(helpOwner, frame.get());
    // The form has gone; the help window stays, now the main window's.
    EXPECT_EQ(helpWindow->parentWidget(), frame.get());
    EXPECT_TRUE(helpWindow->isVisible());
}

TEST_F(GuiTest, DarkPaletteReachesTheAboutBoxMonitorLabelsAndToolbarPictures) {
    const QPalette light = QApplication::palette();
    QApplication::setPalette(app::DarkPalette());
    const QColor window = app::DarkPalette().color(QPalette::Window);
    {
        app::CAboutBox box(doc, 1);
        EXPECT_EQ(box.palette().color(QPalette::Window), window);
        MakeFrame();
        doc.Monitors().count = 1;
        frame->View()->LayoutMonitors(1);
        CColorLabel* label = frame->View()->Display()->Label(0);
        const QImage shot = label->grab().toImage();
        int bright = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                bright += qGray(shot.pixel(x, y)) > 150 ? 1 : 0;
            }
        }
        EXPECT_GT(bright, 10);  // light text on the dark window
    }
    QApplication::setPalette(light);

    // Every toolbar picture shows on a dark toolbar too: pictures with dark faces keep at
    // least their light rim and their light details.
    const auto visible = [](const QImage& picture, QColor background) {
        QImage canvas(picture.size(), QImage::Format_RGB32);
        canvas.fill(background);
        QPainter(&canvas).drawImage(0, 0, picture);
        int count = 0;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                count += std::abs(qGray(canvas.pixel(x, y)) - qGray(background.rgb())) > 60;
            }
        }
        return count;
    };
    for (int id : app::ToolbarLayout()) {
        if (id == app::kCmdSeparator) {
            continue;
        }
        QImage picture =
            app::DrawPicture(app::CommandPicture(id), app::kToolPictureSize, 2.0).toImage();
        picture.setDevicePixelRatio(1.0);
        const int onLight = visible(picture, QColor(239, 239, 239));
        const int onDark = visible(picture, window);
        EXPECT_GT(onLight, 60) << id;
        EXPECT_GT(onDark, onLight / 3) << id;
    }
}

// The What's This popup, if one is showing.
QWidget* WhatsThisPopup() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() &&
            QLatin1String(w->metaObject()->className()) == QLatin1String("QWhatsThat")) {
            return w;
        }
    }
    return nullptr;
}

TEST(ContextHelp, AControlWithoutHelpTextShowsItsToolTip) {
    app::CContextHelp help;
    QWidget parent;
    auto* withTip = new QPushButton(QStringLiteral("Baud"), &parent);
    withTip->setToolTip(QStringLiteral("Select the baud rate from this list."));
    auto* bare = new QPushButton(QStringLiteral("Bare"), &parent);
    bare->move(0, 40);
    parent.show();

    QHelpEvent none(QEvent::WhatsThis, QPoint(1, 1), bare->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(bare, &none);
    QApplication::processEvents();
    EXPECT_EQ(WhatsThisPopup(), nullptr);  // nothing to tell

    QHelpEvent event(QEvent::WhatsThis, QPoint(1, 1), withTip->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(withTip, &event);
    QApplication::processEvents();
    EXPECT_NE(WhatsThisPopup(), nullptr);
    QWhatsThis::hideText();
}

}  // namespace
}  // namespace kvr::test
