// Helpers of the desktop program's tests: a user seam that shows the program's real forms
// and status bar but answers messages from a script, a driver for modal forms that acts
// on them from the event loop, and a fixture with isolated settings and a document.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

#include "app/MainFrame.h"
#include "app/Pictures.h"
#include "app/QRLView.h"
#include "app/QtUserSeam.h"
#include "base/Clock.h"
#include "base/Seams.h"
#include "document/QRLDoc.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace kvr::test {

// The Qt seam with its messages and beeps answered by a script; forms, panes, the lamp
// and the wait cursor stay real. Busy texts are recorded in the script too.
class FormsUser final : public app::CQtUserSeam {
  public:
    MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) override {
        return script.MessageBox(text, title, icon, buttons);
    }
    void Beep(unsigned frequencyHz, unsigned durationMs) override {
        script.Beep(frequencyHz, durationMs);
    }
    void BusyBegin(const std::string& text) override {
        script.BusyBegin(text);
        app::CQtUserSeam::BusyBegin(text);
    }
    void BusyEnd() override {
        script.BusyEnd();
        app::CQtUserSeam::BusyEnd();
    }
    ScriptedUser script;
};

// Acts on modal forms as they come up: each step waits for the active modal form to be of
// its type and then runs. A form a step leaves open is handed to the next step. A form
// that no step takes within two seconds is cancelled, so a test never hangs; Done() then
// fails. A script with all its steps done stops watching.
class ModalScript {
  public:
    ModalScript() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    template <typename Form>
    ModalScript& Then(std::function<void(Form*)> step) {
        steps_.push_back([step](QWidget* w) {
            Form* form = qobject_cast<Form*>(w);
            if (form == nullptr) {
                return false;
            }
            step(form);
            return true;
        });
        timer_.start();
        return *this;
    }
    bool Done() const { return steps_.empty() && !gaveUp_; }

  private:
    void Tick() {
        if (steps_.empty()) {
            timer_.stop();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && steps_.front()(modal)) {
            steps_.pop_front();
            ticks_ = 0;
            return;
        }
        if (modal != nullptr && ++ticks_ > 400) {
            gaveUp_ = true;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
        }
    }
    QTimer timer_;
    std::deque<std::function<bool(QWidget*)>> steps_;
    int ticks_ = 0;
    bool gaveUp_ = false;
};

// The button of a dialog's button box with a given role.
inline QPushButton* DialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    for (auto* box : dialog->findChildren<QDialogButtonBox*>()) {
        if (QPushButton* b = box->button(which)) {
            return b;
        }
    }
    return nullptr;
}

// KVR_SHOT_DARK set: the forms in the style and dark palette of `kvrview --dark`, for
// their pictures.
inline void UseDarkPaletteIfAsked() {
    if (qEnvironmentVariableIsSet("KVR_SHOT_DARK")) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(app::DarkPalette());
    }
}

// A picture of a widget as KVR_SHOT_DIR/<name>.png when that variable names a folder, to
// look at a form at each scale and palette; nothing when it is not set.
inline void SaveShot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("KVR_SHOT_DIR");
    if (dir.isEmpty()) {
        return;
    }
    QDir().mkpath(dir);
    EXPECT_TRUE(widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
}

// On the indicator: a radio button only takes clicks on its indicator and its text.
inline void ClickChoice(QRadioButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// Isolated settings, a document in place, and messages answered by a script.
class GuiTest : public ::testing::Test {
  protected:
    void TearDown() override { frame.reset(); }

    // A main window over the document; shown unless asked otherwise (the view starts at
    // its first showing).
    app::CMainFrame& MakeFrame(bool show = true) {
        frame.reset();
        frame = std::make_unique<app::CMainFrame>(doc);
        // On the virtual clock every wait is the test's own: no reading thread runs.
        frame->View()->SetBackgroundReading(!GetClock().IsVirtual());
        if (show) {
            frame->show();
        }
        return *frame;
    }
    QAction* Action(int id) const { return frame->Action(id); }

    IsolatedSettings isolated;
    CQRLDoc doc;
    ScopedActiveDocument active{doc};
    ScriptedUser user;
    ScopedSeams seam{Seams{.user = &user}};
    std::unique_ptr<app::CMainFrame> frame;
};

}  // namespace kvr::test
