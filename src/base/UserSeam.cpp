#include "base/UserSeam.h"

#include <cstdio>

namespace kvr {

namespace {
thread_local bool t_background = false;
}  // namespace

void MarkBackgroundThread() {
    t_background = true;
}

bool IsBackgroundThread() {
    return t_background;
}

MsgAnswer AppMessageBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                        const std::string& title) {
    if (IUserSeam* seam = GetUserSeam()) {
        return seam->MessageBox(text, title, icon, buttons);
    }
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    // Nobody to ask: a question gets its cautious answer.
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        default:
            return MsgAnswer::Cancel;
    }
}

void AppBeep(unsigned frequencyHz, unsigned durationMs) {
    if (IUserSeam* seam = GetUserSeam()) {
        seam->Beep(frequencyHz, durationMs);
    }
}

BusyMessage::BusyMessage(const std::string& text) : seam_(t_background ? nullptr : GetUserSeam()) {
    if (seam_ != nullptr) {
        seam_->BusyBegin(text);
    }
}

BusyMessage::~BusyMessage() {
    if (seam_ != nullptr) {
        seam_->BusyEnd();
    }
}

void AppSetPaneText(StatusPane pane, const std::string& text) {
    if (IUserSeam* seam = GetUserSeam()) {
        seam->SetPaneText(pane, text);
    }
}

void AppSetCommsLamp(bool on) {
    if (IUserSeam* seam = GetUserSeam()) {
        seam->SetCommsLamp(on);
    }
}

bool AppAskPassword(PasswordPrompt prompt, std::string& password, std::string& confirmation) {
    IUserSeam* seam = GetUserSeam();
    return seam != nullptr && seam->AskPassword(prompt, password, confirmation);
}

}  // namespace kvr
