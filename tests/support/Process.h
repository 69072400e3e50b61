// Child processes for end-to-end tests: a kvr-sim serving in the background, and a
// command run to completion with its output captured.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kvr::test {

struct RunResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs a program with arguments to completion (killed after timeoutMs); its standard input
// gives `input` and then ends.
RunResult Run(const std::vector<std::string>& argv, unsigned timeoutMs = 30000,
              const std::string& input = "");

// A kvr-sim started with the given arguments; stopped with SIGTERM on destruction.
class SimProcess {
  public:
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    // The first line the simulator printed (its pseudo-terminal), empty on failure.
    const std::string& Path() const { return path_; }
    // Sends a command line to the simulator's standard input.
    void Command(const std::string& line);
    // Sends a command line and gives what the simulator printed until a line starting with
    // `last` ended (at most 5 s).
    std::string Ask(const std::string& line, const std::string& last);
    // SIGTERM and wait; gives the exit status.
    int Stop();

  private:
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    std::string path_;
};

}  // namespace kvr::test
