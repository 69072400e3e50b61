#include "support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace kvr::test {

namespace {

std::vector<char*> Argv(const std::vector<std::string>& args) {
    std::vector<char*> out;
    for (const std::string& a : args) {
        out.push_back(const_cast<char*>(a.c_str()));
    }
    out.push_back(nullptr);
    return out;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int WaitStatus(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

RunResult Run(const std::vector<std::string>& argv, unsigned timeoutMs, const std::string& input) {
    RunResult result;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return result;
    }
    std::vector<char*> args = Argv(argv);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    // A few lines at most: they fit the pipe, so the write never waits for the child.
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
        result.err = "cannot write the input";
    }
    close(in[1]);
    close(out[1]);
    close(err[1]);
    const int64_t deadline = NowMs() + timeoutMs;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        int64_t left = deadline - NowMs();
        if (left <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left)) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                char buffer[4096];
                ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
                } else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    for (auto& f : fds) {
        if (f.fd >= 0) {
            close(f.fd);
        }
    }
    result.status = WaitStatus(pid);
    return result;
}

SimProcess::SimProcess(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> argv = Argv(args);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdinFd_ = in[1];
    // The first line is the pseudo-terminal's path.
    const int64_t deadline = NowMs() + 10000;
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (NowMs() < deadline && line.find('\n') == std::string::npos) {
        if (poll(&p, 1, 100) > 0) {
            char c[256];
            ssize_t n = read(out[0], c, sizeof c);
            if (n <= 0) {
                break;
            }
            line.append(c, static_cast<size_t>(n));
        }
    }
    stdoutFd_ = out[0];  // kept open, so a later line of the simulator finds a reader
    size_t nl = line.find('\n');
    if (nl != std::string::npos) {
        path_ = line.substr(0, nl);
    }
}

SimProcess::~SimProcess() {
    Stop();
}

void SimProcess::Command(const std::string& line) {
    if (stdinFd_ >= 0) {
        std::string text = line + "\n";
        ssize_t n = write(stdinFd_, text.data(), text.size());
        (void)n;
    }
}

std::string SimProcess::Ask(const std::string& line, const std::string& last) {
    Command(line);
    std::string text;
    const int64_t deadline = NowMs() + 5000;
    pollfd p{stdoutFd_, POLLIN, 0};
    auto done = [&] {
        const size_t at = text.rfind("\n" + last);
        const size_t from = text.compare(0, last.size(), last) == 0 ? 0 : at;
        return from != std::string::npos && text.find('\n', from + 1) != std::string::npos;
    };
    while (stdoutFd_ >= 0 && NowMs() < deadline && !done()) {
        if (poll(&p, 1, 100) > 0) {
            char c[1024];
            const ssize_t n = read(stdoutFd_, c, sizeof c);
            if (n <= 0) {
                break;
            }
            text.append(c, static_cast<size_t>(n));
        }
    }
    return text;
}

int SimProcess::Stop() {
    if (pid_ <= 0) {
        return -1;
    }
    kill(pid_, SIGTERM);
    int status = WaitStatus(pid_);
    pid_ = -1;
    if (stdinFd_ >= 0) {
        close(stdinFd_);
        stdinFd_ = -1;
    }
    if (stdoutFd_ >= 0) {
        close(stdoutFd_);
        stdoutFd_ = -1;
    }
    return status;
}

}  // namespace kvr::test
