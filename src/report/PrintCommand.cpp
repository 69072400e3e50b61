#include "report/PrintCommand.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "base/Clock.h"
#include "base/Files.h"
#include "base/Settings.h"
#include "report/RtfTemplate.h"

extern char** environ;

namespace kvr {

std::string OfficeProgram() {
    const char* program = std::getenv("KVR_SOFFICE");
    return program != nullptr && program[0] != '\0' ? program : "soffice";
}

std::vector<std::string> SplitCommandLine(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '\\' && i + 1 < command.size() && command[i + 1] == '"') {
            word += '"';
            inWord = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) {
                words.push_back(word);
            }
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

namespace {

bool HasPlaceholder(const std::string& word) {
    for (size_t i = 0; i + 1 < word.size(); ++i) {
        if (word[i] == '%' && std::strchr("fpdo", word[i + 1]) != nullptr) {
            return true;
        }
    }
    return false;
}

std::string Substitute(const std::string& word, const std::string& file,
                       const PrinterChoice& choice) {
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%' || i + 1 == word.size()) {
            out += word[i];
            continue;
        }
        switch (word[++i]) {
            case 'f':
                out += file;
                break;
            case 'p':
                out += choice.printer;
                break;
            case 'd':
                out += choice.driver;
                break;
            case 'o':
                out += choice.port;
                break;
            case '%':
                out += '%';
                break;
            default:
                out += '%';
                out += word[i];
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> PrintCommandArguments(const std::string& command, const std::string& file,
                                               const PrinterChoice& choice, std::string& error) {
    const std::vector<std::string> words = SplitCommandLine(command);
    bool placeholders = false;
    for (const std::string& w : words) {
        placeholders = placeholders || HasPlaceholder(w);
    }
    std::vector<std::string> argv;
    if (placeholders) {
        for (const std::string& w : words) {
            argv.push_back(Substitute(w, file, choice));
        }
        return argv;
    }
    size_t pt = 0;
    while (pt < words.size() && words[pt] != "/pt") {
        ++pt;
    }
    if (pt == 0 || pt == words.size()) {
        error = "the print command '" + command + "' names neither %f nor a program before /pt";
        return {};
    }
    argv.assign(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(pt));
    for (const std::string& a :
         {std::string("/pt"), file, choice.printer, choice.driver, choice.port}) {
        argv.push_back(a);
    }
    return argv;
}

std::string PrintCommandLine() {
    std::optional<std::string> command = ReadPrintToCommand();
    return command && !command->empty() ? *command : kDefaultPrintCommand;
}

bool RunProgram(const std::vector<std::string>& argv, const std::string& workFolder, bool wait,
                unsigned timeoutMs, std::string& error) {
    if (argv.empty()) {
        error = "no program to start";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!workFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workFolder.c_str());
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    if (!wait) {
        // Only reaps the child; it shows nothing and waits for nobody.
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return true;
    }
    IClock& clock = GetClock();
    const uint64_t deadline = clock.NowMs() + timeoutMs;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            error = "lost track of " + argv[0];
            return false;
        }
        if (clock.NowMs() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            error = argv[0] + " did not finish within " + std::to_string(timeoutMs / 1000) + " s";
            return false;
        }
        clock.SleepMs(20);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = argv[0] + (WIFEXITED(status) && WEXITSTATUS(status) == 127
                               ? std::string(" could not be run")
                               : " failed (status " + std::to_string(WEXITSTATUS(status)) + ")");
        return false;
    }
    return true;
}

bool ConvertRtfToPdf(const std::string& rtfPath, const std::string& pdfPath, std::string& error,
                     unsigned timeoutMs) {
    const std::string folder = ReportFolder(error);
    if (folder.empty()) {
        return false;
    }
    std::string work = folder + "/convert-XXXXXX";
    if (mkdtemp(work.data()) == nullptr) {
        error = "cannot create a working folder in " + folder;
        return false;
    }
    std::filesystem::path source = std::filesystem::absolute(rtfPath);
    const std::vector<std::string> argv = {OfficeProgram(),
                                           "--headless",
                                           "--norestore",
                                           "--nolockcheck",
                                           "-env:UserInstallation=file://" + work + "/profile",
                                           "--convert-to",
                                           "pdf",
                                           "--outdir",
                                           work + "/out",
                                           source.string()};
    bool ok = RunProgram(argv, work, true, timeoutMs, error);
    if (ok) {
        const std::string produced = work + "/out/" + source.stem().string() + ".pdf";
        std::string pdf;
        ok = ReadWholeFile(produced, pdf, error) && !pdf.empty();
        if (!ok) {
            error = "LibreOffice made no PDF of " + rtfPath;
        } else {
            ok = WriteFileAtomically(pdfPath, pdf, error);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(work, ignored);
    return ok;
}

}  // namespace kvr
