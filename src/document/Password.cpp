#include "document/Password.h"

#include "base/Registry.h"
#include "base/Seams.h"
#include "base/UserSeam.h"

namespace kvr {

namespace {

constexpr const char* kMismatchText =
    "The two copies of the password you entered do not match. \nPlease re-enter your password.";
constexpr const char* kMismatchTitle = "Password mismatch";
constexpr const char* kIncorrectText = "Incorrect Password";
constexpr const char* kIncorrectTitle = kAppTitle;

}  // namespace

bool ReadStoredPassword(std::string& out) {
    out.clear();
    return CRegistry::ReadString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, out) ==
           kRegOk;
}

bool CheckPassword() {
    std::string stored;
    return ReadStoredPassword(stored) && stored == RunPassword();
}

std::string RunPassword() {
    return CurrentSeam(&Seams::runPassword).value_or("");
}

void SetRunPassword(const std::string& password) {
    SetSeam(&Seams::runPassword, password);
}

bool PasswordEntry(bool confirmMode) {
    std::string password;
    std::string confirmation;
    const PasswordPrompt prompt =
        confirmMode ? PasswordPrompt::EntryConfirm : PasswordPrompt::Entry;
    for (;;) {
        if (!AppAskPassword(prompt, password, confirmation)) {
            return false;
        }
        if (!confirmMode || password == confirmation) {
            break;
        }
        // The form stays open with what was typed.
        AppMessageBox(kMismatchText, MsgIcon::Warning, MsgButtons::Ok, kMismatchTitle);
    }
    SetRunPassword(password);
    if (confirmMode) {
        // Not reported: the run is authorised all the same.
        CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, password);
    }
    return true;
}

bool PasswordCommand() {
    std::string stored;
    ReadStoredPassword(stored);
    if (stored.empty()) {
        return PasswordEntry(true);
    }
    std::string existing;
    std::string unused;
    if (!AppAskPassword(PasswordPrompt::Existing, existing, unused)) {
        return false;
    }
    ReadStoredPassword(stored);  // again: it may have changed while the form was open
    if (existing != stored) {
        AppMessageBox(kIncorrectText, MsgIcon::Warning, MsgButtons::Ok, kIncorrectTitle);
        return false;
    }
    return PasswordEntry(true);
}

bool EnsurePassword() {
    while (!CheckPassword()) {
        if (!PasswordEntry(false)) {
            return false;
        }
    }
    return true;
}

}  // namespace kvr
