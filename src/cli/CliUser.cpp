#include "cli/CliUser.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/CliCommon.h"

namespace kvr::cli {

MsgAnswer CliUser::MessageBox(const std::string& text, const std::string&, MsgIcon icon,
                              MsgButtons buttons) {
    if (buttons == MsgButtons::Ok) {
        if (!quiet || icon == MsgIcon::Error || icon == MsgIcon::Warning) {
            ClearProgress();
            std::fprintf(stderr, "kvrctl: %s\n", TerminalText(text, true).c_str());
        }
        return MsgAnswer::Ok;
    }
    if (auto it = answers.find(text); it != answers.end()) {
        return it->second;
    }
    if (!unanswered) {
        unanswered = text;
    }
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
}

bool CliUser::AskPassword(PasswordPrompt prompt, std::string& pw, std::string& confirmation) {
    const std::optional<std::string>& answer =
        prompt == PasswordPrompt::Existing && existingPassword ? existingPassword : password;
    if (!answer) {
        if (!unanswered) {
            unanswered = "a password is needed (set KVR_PASSWORD or type it on standard input)";
        }
        return false;
    }
    if (++passwordAsks_[prompt] > 1) {
        if (!unanswered) {
            unanswered = "the password given is not the configuration password";
        }
        return false;
    }
    pw = *answer;
    confirmation = *answer;
    return true;
}

std::optional<std::string> ReadPassword(const char* prompt) {
    return ReadPasswordFrom("KVR_PASSWORD", prompt);
}

std::optional<std::string> ReadPasswordFrom(const char* envName, const char* prompt) {
    if (const char* env = envName != nullptr ? std::getenv(envName) : nullptr) {
        return std::string(env);
    }
    termios old{};
    const bool tty = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        std::fprintf(stderr, "%s", prompt);
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (tty) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
        std::fprintf(stderr, "\n");
    }
    if (!got) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace kvr::cli
