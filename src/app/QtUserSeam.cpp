#include "app/QtUserSeam.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "app/MainFrame.h"
#include "app/StatusBar.h"
#include "document/forms/PasswordForms.h"

namespace kvr::app {

namespace {

bool OnUiThread() {
    return qApp != nullptr && QThread::currentThread() == qApp->thread();
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

QMessageBox::Icon BoxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return QMessageBox::Ok;
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case MsgButtons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

StatusPaneIndex PaneOf(StatusPane pane) {
    switch (pane) {
        case StatusPane::Upload:
            return kPaneUpload;
        case StatusPane::Download:
            return kPaneDownload;
        case StatusPane::Log:
            return kPaneLog;
        case StatusPane::Secondaries:
            return kPaneSecondaries;
        case StatusPane::Talk:
            return kPaneTalk;
        case StatusPane::Message:
            return kPaneMessage;
    }
    return kPaneMessage;
}

}  // namespace

CQtUserSeam::CQtUserSeam() = default;

CQtUserSeam::~CQtUserSeam() {
    // A wait cursor left behind by an unmatched BusyBegin must not outlive the seam.
    while (!busyTexts_.empty()) {
        BusyEnd();
    }
}

void CQtUserSeam::SetFrame(CMainFrame* frame) {
    frame_ = frame;
}

QWidget* CQtUserSeam::Owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    // Never the start-up picture: it goes after a few seconds and takes its children
    // with it, a message box still open among them.
    QWidget* active = QApplication::activeWindow();
    if (active != nullptr && active->windowType() != Qt::SplashScreen) {
        return active;
    }
    return frame_.data();
}

MsgAnswer CQtUserSeam::MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                  MsgButtons buttons) {
    if (OnUiThread()) {
        return ShowMessage(Text(text), Text(title), icon, buttons);
    }
    MsgAnswer answer = MsgAnswer::Cancel;
    QMetaObject::invokeMethod(
        &context_, [&] { answer = ShowMessage(Text(text), Text(title), icon, buttons); },
        Qt::BlockingQueuedConnection);
    return answer;
}

MsgAnswer CQtUserSeam::ShowMessage(const QString& text, const QString& title, MsgIcon icon,
                                   MsgButtons buttons) {
    QMessageBox box(BoxIcon(icon), title, text, BoxButtons(buttons), Owner());
    // The arrow over the box, even in the middle of blocking work.
    const bool busy = !busyTexts_.empty();
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const int result = box.exec();
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    switch (result) {
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        case QMessageBox::Retry:
            return MsgAnswer::Retry;
        case QMessageBox::Abort:
            return MsgAnswer::Abort;
        case QMessageBox::Ignore:
            return MsgAnswer::Ignore;
        default:
            return MsgAnswer::Cancel;
    }
}

void CQtUserSeam::Beep(unsigned /*frequencyHz*/, unsigned /*durationMs*/) {
    if (OnUiThread()) {
        QApplication::beep();
        return;
    }
    QMetaObject::invokeMethod(
        &context_, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

void CQtUserSeam::BusyBegin(const std::string& text) {
    if (!OnUiThread()) {
        return;
    }
    busyTexts_.push_back(Text(text));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShowBusyText();
}

void CQtUserSeam::BusyEnd() {
    if (!OnUiThread() || busyTexts_.empty()) {
        return;
    }
    busyTexts_.pop_back();
    QApplication::restoreOverrideCursor();
    ShowBusyText();
}

void CQtUserSeam::ShowBusyText() {
    if (frame_.isNull()) {
        return;
    }
    // The innermost text that says something; nothing once all have ended.
    QString text;
    for (auto it = busyTexts_.rbegin(); it != busyTexts_.rend(); ++it) {
        if (!it->isEmpty()) {
            text = *it;
            break;
        }
    }
    frame_->Bar()->SetMessage(text);
}

bool CQtUserSeam::AskPassword(PasswordPrompt prompt, std::string& password,
                              std::string& confirmation) {
    if (OnUiThread()) {
        return ShowPasswordForm(prompt, password, confirmation);
    }
    bool ok = false;
    QMetaObject::invokeMethod(
        &context_, [&] { ok = ShowPasswordForm(prompt, password, confirmation); },
        Qt::BlockingQueuedConnection);
    return ok;
}

bool CQtUserSeam::ShowPasswordForm(PasswordPrompt prompt, std::string& password,
                                   std::string& confirmation) {
    const bool busy = !busyTexts_.empty();
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    bool ok = false;
    if (prompt == PasswordPrompt::Existing) {
        CPasswordConfirmForm form(Owner());
        ok = form.exec() == QDialog::Accepted;
        if (ok) {
            password = form.Existing().toStdString();
        }
    } else {
        CPasswordEntryForm form(prompt == PasswordPrompt::EntryConfirm, Owner());
        // Asked again after a mismatch: the form comes back with what was typed.
        form.SetTexts(Text(password), Text(confirmation));
        ok = form.exec() == QDialog::Accepted;
        if (ok) {
            password = form.Password().toStdString();
            confirmation = form.Confirmation().toStdString();
        }
    }
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    return ok;
}

void CQtUserSeam::SetPaneText(StatusPane pane, const std::string& text) {
    // Runs on the user-interface thread; a call still queued when the seam goes is dropped
    // with context_.
    auto apply = [this, pane, t = Text(text)] {
        if (!frame_.isNull()) {
            frame_->Bar()->SetPaneText(PaneOf(pane), t);
        }
    };
    if (OnUiThread()) {
        apply();
    } else {
        QMetaObject::invokeMethod(&context_, apply, Qt::QueuedConnection);
    }
}

void CQtUserSeam::SetCommsLamp(bool on) {
    auto apply = [this, on] {
        if (!frame_.isNull()) {
            frame_->Bar()->SetCommsLamp(on);
        }
    };
    if (OnUiThread()) {
        apply();
    } else {
        QMetaObject::invokeMethod(&context_, apply, Qt::QueuedConnection);
    }
}

}  // namespace kvr::app
