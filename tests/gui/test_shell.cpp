// Branding in the caption, the About box and the splash; the command line; setup files
// opened from the command line or dropped on the window.
#include <QDropEvent>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <QWhatsThis>
#include <clocale>
#include <fstream>

#include "app/CommandTable.h"
#include "app/ContextHelp.h"
#include "app/QRLApp.h"
#include "app/QRLView.h"
#include "app/ShellForms.h"
#include "app/ShellRules.h"
#include "app/SplashWindow.h"
#include "document/Branding.h"
#include "document/SetupFile.h"
#include "gui/GuiTestUtil.h"

namespace kvr::test {
namespace {

class BrandingTest : public GuiTest {
  protected:
    void SetCountry(const std::string& country) {
        std::ofstream(isolated.dir.File("QRL.ini")) << "[Country]\nCountry=" << country << "\n";
    }
};

TEST_F(BrandingTest, CountryChoosesTheMakerInCaptionAboutBoxAndSplash) {
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
        SetCountry(c.country);
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

TEST_F(GuiTest, AboutBoxOpensShortAndContactInfoShowsTheAddress) {
    LoadBranding(doc);
    app::CAboutBox box(doc, 1);
    box.show();
    EXPECT_FALSE(box.ContactGroup()->isVisible());
    const int shortHeight = box.height();
    QTest::mouseClick(box.ContactButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(box.ContactGroup()->isVisible());
    EXPECT_GE(box.height(), shortHeight + box.ContactGroup()->height());
}

TEST_F(GuiTest, SystemInfoFollowsTheConfiguredProgram) {
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

TEST_F(GuiTest, SplashGoesAtTheFirstKeyPress) {
    QPointer<app::CSplashWindow> splash = app::CSplashWindow::ShowFor(2);
    ASSERT_FALSE(splash.isNull());
    bool closed = false;
    QObject::connect(splash.data(), &app::CSplashWindow::Closed, [&] { closed = true; });
    MakeFrame();
    QTest::keyClick(frame.get(), Qt::Key_Space);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
    EXPECT_TRUE(closed);
}

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
    for (auto bad : {parse({"--screenshot"}), parse({"--bogus"}), parse({"a.kvr", "b.kvr"})}) {
        EXPECT_FALSE(bad.error.empty());
    }
}

class ShellFileTest : public GuiTest {
  protected:
    std::string SavedSetup(const char* name, uint16_t monitors) {
        CQRLDoc other;
        other.description = "bench";
        other.monitorCount = monitors;
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
    EXPECT_EQ(doc.description, "bench");
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
    cl.splash = false;
    ModalScript script;
    QString shown;
    script.Then<QMessageBox>([&](QMessageBox* box) {
        shown = box->text();
        box->accept();
    });
    EXPECT_FALSE(shell.InitInstance(cl));
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(shown.contains(QStringLiteral("missing.kvr")));
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
