#include "support/ScriptedUser.h"

namespace kvr::test {

MsgAnswer ScriptedUser::MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                   MsgButtons buttons) {
    std::lock_guard<std::mutex> lock(mutex);
    messages.push_back({text, title, icon, buttons});
    if (!answers.empty()) {
        MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

void ScriptedUser::Beep(unsigned frequencyHz, unsigned durationMs) {
    std::lock_guard<std::mutex> lock(mutex);
    beeps.emplace_back(frequencyHz, durationMs);
}

void ScriptedUser::BusyBegin(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    busyTexts.push_back(text);
    ++busyDepth;
}

void ScriptedUser::BusyEnd() {
    std::lock_guard<std::mutex> lock(mutex);
    --busyDepth;
}

bool ScriptedUser::AskPassword(PasswordPrompt prompt, std::string& password,
                               std::string& confirmation) {
    std::lock_guard<std::mutex> lock(mutex);
    passwordPrompts.push_back(prompt);
    if (passwordAnswers.empty()) {
        return false;
    }
    PasswordAnswer a = passwordAnswers.front();
    passwordAnswers.pop_front();
    password = a.password;
    confirmation = a.confirmation;
    return a.ok;
}

std::vector<std::string> ScriptedUser::Texts() const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> out;
    for (const auto& m : messages) {
        out.push_back(m.text);
    }
    return out;
}

}  // namespace kvr::test
