#include "base/UserSeam.h"

#include <atomic>
#include <cstdio>

namespace kvr {

namespace {
std::atomic<IUserSeam*> g_seam{nullptr};
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
    if (IUserSeam* seam = g_seam.load()) {
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
    if (IUserSeam* seam = g_seam.load()) {
        seam->Beep(frequencyHz, durationMs);
    }
}

BusyMessage::BusyMessage(const std::string& text) : seam_(t_background ? nullptr : g_seam.load()) {
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
    if (IUserSeam* seam = g_seam.load()) {
        seam->SetPaneText(pane, text);
    }
}

void AppSetCommsLamp(bool on) {
    if (IUserSeam* seam = g_seam.load()) {
        seam->SetCommsLamp(on);
    }
}

bool AppAskPassword(PasswordPrompt prompt, std::string& password, std::string& confirmation) {
    IUserSeam* seam = g_seam.load();
    return seam != nullptr && seam->AskPassword(prompt, password, confirmation);
}

IUserSeam* GetUserSeam() {
    return g_seam.load();
}

ScopedUserSeam::ScopedUserSeam(IUserSeam& seam) : previous_(g_seam.exchange(&seam)) {}

ScopedUserSeam::~ScopedUserSeam() {
    g_seam.store(previous_);
}

}  // namespace kvr
