// A user seam for tests: records every message and beep, answers from a script.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/UserSeam.h"

namespace kvr::test {

struct RecordedMessage {
    std::string text;
    std::string title;
    MsgIcon icon;
    MsgButtons buttons;
};

class ScriptedUser final : public IUserSeam {
  public:
    MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) override;
    void Beep(unsigned frequencyHz, unsigned durationMs) override;
    void BusyBegin(const std::string& text) override;
    void BusyEnd() override;
    bool AskPassword(PasswordPrompt prompt, std::string& password,
                     std::string& confirmation) override;

    void SetPaneText(StatusPane pane, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        panes[pane] = text;
        paneHistory.emplace_back(pane, text);
    }
    void SetCommsLamp(bool on) override {
        std::lock_guard<std::mutex> lock(mutex);
        lamp.push_back(on);
    }
    // Guards the records: the monitor reading thread beeps and may report too. Tests read
    // the records after the threads have stopped, or take this lock.
    mutable std::mutex mutex;

    std::map<StatusPane, std::string> panes;  // the last text of each pane
    std::vector<std::pair<StatusPane, std::string>> paneHistory;
    std::vector<bool> lamp;  // every COMMS lamp setting, in order

    struct PasswordAnswer {
        bool ok = true;
        std::string password;
        std::string confirmation;
    };
    // Password answers given in order; when the script runs out, Cancel.
    std::deque<PasswordAnswer> passwordAnswers;
    std::vector<PasswordPrompt> passwordPrompts;
    std::vector<std::string> busyTexts;  // every BusyBegin text, in order
    int busyDepth = 0;                   // open BusyBegin calls

    // Answers given in order; when the script runs out, Ok (or Cancel for questions).
    std::deque<MsgAnswer> answers;
    std::vector<RecordedMessage> messages;
    std::vector<std::pair<unsigned, unsigned>> beeps;

    std::vector<std::string> Texts() const;
};

}  // namespace kvr::test
