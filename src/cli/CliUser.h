// The user seam of kvrctl: messages go to standard error; questions are answered from
// command-line flags. A question that no flag answers is never waited on: it gets its
// cautious answer and the command is marked as stopped at that question.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "base/UserSeam.h"

namespace kvr::cli {

class CliUser final : public IUserSeam {
  public:
    MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) override;
    void Beep(unsigned, unsigned) override {}
    void BusyBegin(const std::string&) override {}
    void BusyEnd() override {}
    bool AskPassword(PasswordPrompt prompt, std::string& password,
                     std::string& confirmation) override;

    // Answers to questions, by their exact text.
    std::map<std::string, MsgAnswer> answers;
    // The password to give when asked (both fields when a confirmation is asked).
    std::optional<std::string> password;
    // The answer to "Please enter your existing Password" when it differs from the new
    // password above; without it, password answers that question too.
    std::optional<std::string> existingPassword;
    // The text of the first question that nothing answered, if any.
    std::optional<std::string> unanswered;
    // Messages that are only information are printed unless quiet.
    bool quiet = false;

  private:
    // A question asked again after it was answered would get the same answer, which was
    // evidently not accepted; the second time it is cancelled instead of looping.
    std::map<PasswordPrompt, int> passwordAsks_;
};

// Reads a password: from the environment variable KVR_PASSWORD when set, else from
// standard input without echo (when it is a terminal). Nothing when neither gives one.
std::optional<std::string> ReadPassword(const char* prompt);
// The same with another environment variable (none when envName is null).
std::optional<std::string> ReadPasswordFrom(const char* envName, const char* prompt);

}  // namespace kvr::cli
