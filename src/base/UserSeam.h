// The seam through which the core talks to the person at the keyboard. The desktop
// program puts message boxes behind it, kvrctl prints to stderr, tests script it.
// Every message of the program goes through AppMessageBox.
#pragma once

#include <string>

namespace kvr {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

enum class PasswordPrompt { Entry, EntryConfirm, Existing };
// The status-bar panes that the core writes.
// Message is the wide pane at the left (a state worth a glance, such as a lost line).
enum class StatusPane { Upload, Download, Log, Secondaries, Talk, Message };

inline constexpr const char* kAppTitle = "KVR View";

class IUserSeam {
  public:
    virtual ~IUserSeam() = default;
    virtual MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                 MsgButtons buttons) = 0;
    // A tone of the given frequency (Hz) and duration (ms), where there is a sound system.
    virtual void Beep(unsigned frequencyHz, unsigned durationMs) = 0;
    // The wait cursor and a progress text (none when empty) while the core is busy; calls
    // nest, and each Begin is matched by one End.
    virtual void BusyBegin(const std::string& text) = 0;
    virtual void BusyEnd() = 0;
    // Asks for a password. Entry: one masked field (password); EntryConfirm: the field and
    // its confirmation; Existing: "Please enter your existing Password". False on Cancel.
    virtual bool AskPassword(PasswordPrompt prompt, std::string& password,
                             std::string& confirmation) = 0;
    // A status-bar pane's text and the COMMS lamp; nothing where there is no status bar.
    virtual void SetPaneText(StatusPane /*pane*/, const std::string& /*text*/) {}
    virtual void SetCommsLamp(bool /*on*/) {}
};

// The program's one message routine. With no seam in place the message goes to stderr
// and a question gets its cautious answer (No or Cancel), so nothing ever blocks.
MsgAnswer AppMessageBox(const std::string& text, MsgIcon icon = MsgIcon::Warning,
                        MsgButtons buttons = MsgButtons::Ok, const std::string& title = kAppTitle);
void AppBeep(unsigned frequencyHz, unsigned durationMs);

// Marks the calling thread as a background thread (the monitor reading thread): its
// BusyMessage objects never reach the seam, since the wait cursor and the progress text
// belong to the user-interface thread's blocking work.
void MarkBackgroundThread();
bool IsBackgroundThread();

// The wait cursor and progress text for the lifetime of the object.
class BusyMessage {
  public:
    explicit BusyMessage(const std::string& text = "");
    ~BusyMessage();
    BusyMessage(const BusyMessage&) = delete;
    BusyMessage& operator=(const BusyMessage&) = delete;

  private:
    IUserSeam* seam_;
};

void AppSetPaneText(StatusPane pane, const std::string& text);
void AppSetCommsLamp(bool on);

// Asks through the seam; with none in place, gives false (Cancel).
bool AppAskPassword(PasswordPrompt prompt, std::string& password, std::string& confirmation);

// The user seam in place (base/Seams.h installs one), or null.
IUserSeam* GetUserSeam();

}  // namespace kvr
