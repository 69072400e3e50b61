// The user seam of the desktop program: message boxes owned by the active window, the
// wait cursor with the progress text painted at once, the password forms, the status
// panes and the COMMS lamp.
//
// The monitor reading thread reaches the seam too (beeps, the lamp, panes, and the
// BusyMessage of every exchange): calls from another thread are carried over to the
// user-interface thread, questions waiting for their answer; the wait cursor is the
// user-interface thread's alone and follows only its own work.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

#include "base/UserSeam.h"

namespace kvr::app {

class CMainFrame;

class CQtUserSeam : public IUserSeam {
  public:
    CQtUserSeam();
    ~CQtUserSeam() override;
    CQtUserSeam(const CQtUserSeam&) = delete;
    CQtUserSeam& operator=(const CQtUserSeam&) = delete;

    // The frame whose status bar shows the panes; messages fall back to it as owner.
    void SetFrame(CMainFrame* frame);

    MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) override;
    // Qt offers no tone of a given frequency and duration: the platform's bell.
    void Beep(unsigned frequencyHz, unsigned durationMs) override;
    void BusyBegin(const std::string& text) override;
    void BusyEnd() override;
    bool AskPassword(PasswordPrompt prompt, std::string& password,
                     std::string& confirmation) override;
    void SetPaneText(StatusPane pane, const std::string& text) override;
    void SetCommsLamp(bool on) override;

    int BusyDepth() const { return static_cast<int>(busyTexts_.size()); }

  protected:
    // The window that owns a message box or form: the active modal form, else the
    // active window unless that is the start-up picture, else the frame.
    QWidget* Owner() const;

  private:
    MsgAnswer ShowMessage(const QString& text, const QString& title, MsgIcon icon,
                          MsgButtons buttons);
    bool ShowPasswordForm(PasswordPrompt prompt, std::string& password, std::string& confirmation);
    void ShowBusyText();

    QPointer<CMainFrame> frame_;
    // Carries calls of other threads; deleted with the seam, so none runs after it.
    QObject context_;
    std::vector<QString> busyTexts_;  // the open BusyBegin texts, innermost last
};

}  // namespace kvr::app
