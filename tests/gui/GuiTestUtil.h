// Helpers of the desktop program's tests: a user seam that shows the program's real forms
// and status bar but answers messages from a script, a driver for modal forms that acts
// on them from the event loop, and a fixture with isolated settings, a document and, on
// request, simulated units on an in-process line and the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "app/MainFrame.h"
#include "app/Pictures.h"
#include "app/QRLView.h"
#include "app/QtUserSeam.h"
#include "base/Clock.h"
#include "base/Seams.h"
#include "document/QRLDoc.h"
#include "sim/SimLine.h"
#include "sim/SimUnits.h"
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

// A picture of a widget as KVR_SHOT_DIR/<name>-x<scale>[-dark].png when that variable
// names a folder, to look at a form at each scale and palette; nothing when it is not set.
inline void SaveShot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("KVR_SHOT_DIR");
    if (dir.isEmpty()) {
        return;
    }
    QDir().mkpath(dir);
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));
    const QString look =
        qEnvironmentVariableIsSet("KVR_SHOT_DARK") ? QStringLiteral("-dark") : QString();
    EXPECT_TRUE(widget->grab().save(QStringLiteral("%1/%2-x%3%4.png").arg(dir, name, scale, look)));
}

// On the indicator: a radio button or check box only takes clicks on its indicator and
// its text.
inline void ClickChoice(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// As a user replaces a field's text.
inline void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Isolated settings, a document in place, and messages answered by a script.
class GuiTest : public ::testing::Test {
  protected:
    void TearDown() override { frame.reset(); }

    // Every wait on the virtual clock: no reading thread runs in frames made after this.
    void UseVirtualClock() { clockInPlace.emplace(Seams{.clock = &clock}); }
    // The real forms and status bar for messages, answered by forms.script, from here on
    // (with any other seams given).
    void UseForms(Seams others = {}) {
        others.user = &forms;
        formsInPlace.emplace(std::move(others));
    }
    // Fresh, unpaced units on the document's port (closed first, so the next use reopens).
    void StartUnits(sim::SimOptions options = {}) {
        doc.Port().Close();
        options.pace = false;
        units = std::make_unique<sim::SimUnits>(options);
        doc.Port().Settings().device = "/dev/kvr-sim";
        doc.Port().SetLineOpener(sim::SimLineOpener(*units));
    }

    // A main window over the document; shown unless asked otherwise (the view starts at
    // its first showing).
    app::CMainFrame& MakeFrame(bool show = true) {
        frame.reset();
        frame = std::make_unique<app::CMainFrame>(doc);
        forms.SetFrame(frame.get());
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
    std::unique_ptr<sim::SimUnits> units;
    VirtualClock clock;
    std::optional<ScopedSeams> clockInPlace;
    FormsUser forms;
    std::optional<ScopedSeams> formsInPlace;
    std::unique_ptr<app::CMainFrame> frame;
};

}  // namespace kvr::test
