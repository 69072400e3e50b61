// The production byte line: a serial device file driven through termios. Timeouts are
// kept with ppoll() against a monotonic deadline, since VMIN/VTIME cannot express a total
// timeout that grows with the count together with an inter-byte gap.
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <poll.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/Trace.h"
#include "link/SerialLine.h"

namespace kvr {

namespace {

int64_t MonotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

// Waits for events on fd until the absolute monotonic time `untilUs`; gives poll's result.
int PollUntil(int fd, short events, int64_t untilUs, short& revents) {
    pollfd p{fd, events, 0};
    int64_t left = std::max<int64_t>(0, untilUs - MonotonicUs());
    timespec ts{static_cast<time_t>(left / 1'000'000),
                static_cast<long>((left % 1'000'000) * 1000)};
    int r = ::ppoll(&p, 1, &ts, nullptr);
    revents = p.revents;
    return r;
}

bool ModemLineUnsupported(int err) {
    // Pseudo-terminals and some adapters have no modem lines.
    return err == ENOTTY || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

std::string GroupOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "dialout";
    }
    if (const group* g = ::getgrgid(st.st_gid)) {
        return g->gr_name;
    }
    return "dialout";
}

std::string OpenFailure(const std::string& path, int err) {
    switch (err) {
        case ENOENT:
            return "no such device: " + path;
        case EACCES:
        case EPERM:
            return "permission denied on " + path + ": the user is probably not in the group '" +
                   GroupOf(path) + "' that owns the device (add it with: usermod -aG " +
                   GroupOf(path) + " $USER, then log in again)";
        case EBUSY:
            return path + " is busy: another program has it open";
        case ENXIO:
        case ENODEV:
            return "no device answers behind " + path;
        default:
            return "cannot open " + path + ": " + std::strerror(err);
    }
}

class TermiosLine final : public ISerialLine {
  public:
    TermiosLine(int fd, unsigned baud) : fd_(fd), charUs_(10'000'000 / std::max(1u, baud)) {}

    ~TermiosLine() override {
        // Hand the exclusive mark back, or a line held open elsewhere stays unusable.
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }

    long Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) override {
        if (hungUp_) {
            return -1;
        }
        const int64_t start = MonotonicUs();
        const int64_t totalDeadline = start + static_cast<int64_t>(totalMs) * 1000;
        int64_t lastByte = 0;
        size_t got = 0;
        while (got < n) {
            int64_t until = totalDeadline;
            if (got > 0) {
                until = std::min(until, lastByte + static_cast<int64_t>(intervalMs) * 1000);
            }
            if (MonotonicUs() >= until) {
                break;
            }
            short revents = 0;
            int r = PollUntil(fd_, POLLIN, until, revents);
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return got > 0 ? static_cast<long>(got) : -1;
            }
            if (r == 0) {
                continue;  // the loop decides whether a deadline passed
            }
            if (revents & POLLIN) {
                ssize_t k = ::read(fd_, buffer + got, n - got);
                if (k > 0) {
                    got += static_cast<size_t>(k);
                    lastByte = MonotonicUs();
                    continue;
                }
                if (k < 0 && (errno == EAGAIN || errno == EINTR)) {
                    continue;
                }
                // 0 or EIO: the other end is gone and will read so forever.
                return HangUp(got);
            }
            if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
                return HangUp(got);
            }
        }
        return static_cast<long>(got);
    }

    long Write(const uint8_t* data, size_t n, unsigned totalMs) override {
        if (hungUp_) {
            return -1;
        }
        const int64_t deadline = MonotonicUs() + static_cast<int64_t>(totalMs) * 1000;
        size_t sent = 0;
        while (sent < n) {
            ssize_t k = ::write(fd_, data + sent, n - sent);
            if (k > 0) {
                sent += static_cast<size_t>(k);
                continue;
            }
            if (k < 0 && errno != EAGAIN && errno != EINTR) {
                if (errno == EIO || errno == ENODEV || errno == ENXIO) {
                    hungUp_ = true;  // the device went away (an unplugged adapter)
                }
                return sent > 0 ? static_cast<long>(sent) : -1;
            }
            if (MonotonicUs() >= deadline) {
                return static_cast<long>(sent);
            }
            short revents = 0;
            if (PollUntil(fd_, POLLOUT, deadline, revents) > 0 &&
                (revents & (POLLHUP | POLLERR | POLLNVAL)) && !(revents & POLLOUT)) {
                return HangUp(sent);
            }
        }
        // A write is done when the bytes have left, as the timeouts assume.
        int queued = 0;
        while (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) {
            int64_t now = MonotonicUs();
            if (now >= deadline) {
                return static_cast<long>(n - std::min<size_t>(n, static_cast<size_t>(queued)));
            }
            int64_t wait = std::clamp<int64_t>(queued * charUs_, 200, deadline - now);
            timespec ts{static_cast<time_t>(wait / 1'000'000),
                        static_cast<long>((wait % 1'000'000) * 1000)};
            ::nanosleep(&ts, nullptr);
        }
        return static_cast<long>(n);
    }

    // Writes return only once their bytes have left, so the transmit side holds nothing
    // of ours to discard; flushing it anyway would throw away a broadcast just sent (a
    // pseudo-terminal reports its queue empty before the other side has read it).
    bool Purge() override { return ::tcflush(fd_, TCIFLUSH) == 0; }

    bool SetDtr(bool on) override {
        int bits = TIOCM_DTR;
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) {
            return true;
        }
        return ModemLineUnsupported(errno);
    }

    bool HungUp() const override { return hungUp_; }

  private:
    long HangUp(size_t got) {
        hungUp_ = true;
        Trace("Line hung up\r\n");
        return got > 0 ? static_cast<long>(got) : -1;
    }

    int fd_;
    int64_t charUs_;
    bool hungUp_ = false;
};

}  // namespace

unsigned TermiosSpeed(unsigned baud) {
    switch (baud) {
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return B0;
    }
}

bool ParseLineSettings(const std::string& baud, const std::string& parity,
                       const std::string& dataBits, const std::string& stopBits, LineSettings& out,
                       std::string& error) {
    auto number = [](const std::string& text, long& value) {
        if (text.empty() || text.size() > 9 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        value = std::stol(text);
        return true;
    };
    long b = 0;
    if (!number(baud, b) || static_cast<speed_t>(TermiosSpeed(static_cast<unsigned>(b))) == B0) {
        error = "unsupported baud rate '" + baud + "'";
        return false;
    }
    long d = 0;
    if (!number(dataBits, d) || d < 5 || d > 8) {
        error = "unsupported number of data bits '" + dataBits + "'";
        return false;
    }
    long s = 0;
    if (!number(stopBits, s) || s < 1 || s > 2) {
        error = "unsupported number of stop bits '" + stopBits + "'";
        return false;
    }
    if (parity.empty()) {
        error = "no parity given";
        return false;
    }
    char p = static_cast<char>(std::toupper(static_cast<unsigned char>(parity[0])));
    if (p != 'N' && p != 'E' && p != 'O') {
        error = "unsupported parity '" + parity + "'";
        return false;
    }
    out.baud = static_cast<unsigned>(b);
    out.dataBits = static_cast<int>(d);
    out.stopBits = static_cast<int>(s);
    out.parity = p;
    return true;
}

std::unique_ptr<ISerialLine> OpenTermiosLine(const std::string& path, const LineSettings& settings,
                                             std::string& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = OpenFailure(path, errno);
        return nullptr;
    }
    auto fail = [&](const std::string& reason) -> std::unique_ptr<ISerialLine> {
        ::close(fd);
        error = reason;
        return nullptr;
    };
    if (!::isatty(fd)) {
        return fail(path + " is not a serial device");
    }
    // TIOCEXCL alone does not stop root; the advisory lock does, between our programs.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(path + " is busy: another program has it open");
    }
    ::ioctl(fd, TIOCEXCL);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return fail("cannot read the line settings of " + path);
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[settings.dataBits - 5];
    if (settings.parity != 'N') {
        tio.c_cflag |= PARENB;
        if (settings.parity == 'O') {
            tio.c_cflag |= PARODD;
        }
        tio.c_iflag |= INPCK;
    }
    if (settings.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    speed_t speed = static_cast<speed_t>(TermiosSpeed(settings.baud));
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return fail("cannot apply the line settings to " + path);
    }
    termios check{};
    if (::tcgetattr(fd, &check) != 0 || ::cfgetospeed(&check) != speed) {
        return fail(path + " does not support " + std::to_string(settings.baud) + " baud");
    }
    auto line = std::make_unique<TermiosLine>(fd, settings.baud);
    line->SetDtr(false);  // DTR held low
    return line;
}

}  // namespace kvr
