// A bare pseudo-terminal pair for the link tests: the test plays the unit or the USB
// adapter on the master side, the port opens `path`.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kvr::test {

class Pty {
  public:
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
            path = ptsname(master);
        }
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    // Unplugged: the port sees a hang-up.
    void CloseMaster() {
        if (master >= 0) {
            close(master);
            master = -1;
        }
    }
    void Send(const std::vector<uint8_t>& bytes) const {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // The next byte the port sent, waiting up to waitMs for it; -1 when none came.
    int Received(int waitMs = 5000) const {
        pollfd p{master, POLLIN, 0};
        uint8_t b = 0;
        return poll(&p, 1, waitMs) == 1 && (p.revents & POLLIN) && read(master, &b, 1) == 1 ? b
                                                                                            : -1;
    }
    termios SlaveSettings() const {
        termios t{};
        tcgetattr(master, &t);  // on a master this gives the slave's settings
        return t;
    }

    int master = -1;
    std::string path;
};

}  // namespace kvr::test
