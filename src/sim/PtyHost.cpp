#include "sim/PtyHost.h"

#include "link/SerialLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

namespace kvr::sim {

namespace {

using Ns = int64_t;
constexpr Ns kMs = 1'000'000;
constexpr Ns kSecond = 1'000'000'000;
// Longest sleep of the serving loop, so that Stop and new input are noticed promptly.
constexpr Ns kSlice = 20 * kMs;
// Wait while no client holds the slave open (the master then reports a hang-up at once).
constexpr Ns kIdleRetry = 15 * kMs;
// Within this of a byte's deadline the loop sleeps to the deadline exactly.
constexpr Ns kPrecise = 2 * kMs;

Ns MonoNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<Ns>(ts.tv_sec) * kSecond + ts.tv_nsec;
}

void SleepUntil(Ns deadline) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadline / kSecond);
    ts.tv_nsec = static_cast<long>(deadline % kSecond);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// A unit only makes sense of characters sent at its own baud rate as 8 data bits, no
// parity and one stop bit; anything else reaches it as framing errors. (Linux keeps a
// pseudo-terminal at 8 bits without parity whatever the client asks, so in practice the
// baud rate and the stop bits are what can differ.) A line that echoes would also feed
// the unit its own replies, so such input is ignored as well.
bool LineMatches(int master, speed_t speed) {
    termios t{};
    if (tcgetattr(master, &t) != 0) {
        return true;  // nothing to check against: serve
    }
    return cfgetospeed(&t) == speed && (t.c_cflag & CSIZE) == CS8 && (t.c_cflag & PARENB) == 0 &&
           (t.c_cflag & CSTOPB) == 0 && (t.c_lflag & ECHO) == 0;
}

bool MakeLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = "refusing to replace " + link + ": it is not a symbolic link";
            return false;
        }
        if (unlink(link.c_str()) != 0) {
            error = Errno("cannot remove the old link " + link);
            return false;
        }
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = Errno("cannot create the link " + link);
        return false;
    }
    return true;
}

}  // namespace

PtyHost::PtyHost(SimUnits& units) : units_(units) {}

bool PtyHost::SupportedBaud(unsigned baud) {
    return static_cast<speed_t>(TermiosSpeed(baud)) != B0;
}

PtyHost::~PtyHost() {
    Stop();
}

bool PtyHost::Start(const std::string& linkPath, std::string& error) {
    if (thread_.joinable() || master_ >= 0) {
        error = "the pseudo-terminal is already being served";
        return false;
    }
    const speed_t speed = static_cast<speed_t>(TermiosSpeed(units_.Options().baud));
    if (speed == B0) {
        error = "unsupported baud rate " + std::to_string(units_.Options().baud);
        return false;
    }
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = Errno("cannot create a pseudo-terminal");
        return false;
    }
    char name[128] = {};
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
        error = Errno("cannot prepare the pseudo-terminal");
        close(fd);
        return false;
    }
    // Non-blocking so that the loop never sits in a read or write; the slave starts raw at
    // the unit's own settings, which a client then sets again.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd, TCSANOW, &t);
    }
    slavePath_ = name;
    if (!linkPath.empty()) {
        if (!MakeLink(linkPath, slavePath_, error)) {
            close(fd);
            return false;
        }
        linkPath_ = linkPath;
    }
    master_ = fd;
    stop_ = false;
    serving_ = true;
    thread_ = std::thread(&PtyHost::Serve, this);
    return true;
}

void PtyHost::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
    RemoveLink();
    serving_ = false;
}

void PtyHost::RemoveLink() {
    if (linkPath_.empty()) {
        return;
    }
    // Only our own link: somebody may have pointed the name elsewhere meanwhile.
    char target[256] = {};
    const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && slavePath_ == std::string(target, static_cast<size_t>(n))) {
        unlink(linkPath_.c_str());
    }
    linkPath_.clear();
}

void PtyHost::Serve() {
    const SimOptions& options = units_.Options();
    const speed_t speed = static_cast<speed_t>(TermiosSpeed(options.baud));
    const bool pace = options.pace;
    const Ns charNs = static_cast<Ns>(10) * kSecond / std::max(1u, options.baud);
    const Ns turnaroundNs = static_cast<Ns>(options.turnaroundUs) * 1000;
    const Ns startNs = MonoNs();
    const double startSeconds = units_.TimeSeconds();

    struct OutByte {
        uint8_t byte;
        Ns due;  // when the byte has fully crossed the modelled wire
    };
    std::deque<OutByte> out;
    Ns lastArrival = 0;  // modelled arrival of the last received byte
    Ns lastRead = 0;     // real time of the last read, for the receiver's resync gap
    Ns wireFree = 0;     // when the unit's transmitter is free again
    bool writeBlocked = false;
    // A unit's cue byte (the display's 0xE2) goes out whenever the line has been quiet
    // for its period, while a client holds the line.
    bool clientThere = false;
    Ns lastCue = 0;
    std::vector<uint8_t> in(4096);
    std::vector<uint8_t> burst;

    auto clientGone = [&]() {
        clientThere = false;
        out.clear();
        units_.DiscardPartialFrame();
        writeBlocked = false;
        SleepUntil(MonoNs() + kIdleRetry);
    };

    while (!stop_) {
        if (units_.GetFaults().hangUp.exchange(false)) {
            close(master_);
            master_ = -1;
            RemoveLink();
            break;
        }
        Ns now = MonoNs();
        uint8_t cue = 0;
        const Ns cuePeriod = static_cast<Ns>(units_.IdleCue(cue)) * kMs;
        if (cuePeriod > 0 && clientThere && out.empty() && !writeBlocked) {
            const Ns quiet = std::max({lastArrival, wireFree, lastCue});
            if (now >= quiet + cuePeriod) {
                out.push_back({cue, now});
                lastCue = now;
                wireFree = now + (pace ? charNs : 0);
            }
        }
        int timeoutMs = static_cast<int>(kSlice / kMs);
        if (cuePeriod > 0 && clientThere && out.empty()) {
            const Ns wait = std::max({lastArrival, wireFree, lastCue}) + cuePeriod - now;
            timeoutMs = static_cast<int>(std::clamp<Ns>((wait + kMs - 1) / kMs, 0, kSlice / kMs));
        }
        if (!out.empty() && !writeBlocked) {
            const Ns wait = out.front().due - now;
            // Rounded up, so the loop wakes within kPrecise of the deadline, never before.
            timeoutMs = wait <= kPrecise
                            ? 0
                            : static_cast<int>((std::min(wait - kPrecise, kSlice) + kMs - 1) / kMs);
        }
        pollfd p{master_, static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0)), 0};
        const int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        now = MonoNs();
        if (ready > 0 && (p.revents & POLLNVAL) != 0) {
            break;
        }
        if (ready == 0 || (ready > 0 && (p.revents & POLLHUP) == 0)) {
            clientThere = true;  // the master hangs up while no client holds the slave
        }
        if (ready > 0 && (p.revents & POLLOUT) != 0) {
            writeBlocked = false;
        }
        if (ready > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t got = read(master_, in.data(), in.size());
            if (got < 0 && errno != EAGAIN && errno != EINTR) {
                clientGone();  // EIO: no client holds the slave open
                continue;
            }
            if (got == 0 || (got < 0 && (p.revents & POLLHUP) != 0)) {
                clientGone();
                continue;
            }
            if (got > 0) {
                clientThere = true;
                const size_t n = static_cast<size_t>(got);
                bytesIn_ += n;
                if (LineMatches(master_, speed)) {
                    if (lastRead != 0 && now - lastRead > kFrameGapMs * kMs) {
                        units_.DiscardPartialFrame();
                    }
                    lastRead = now;
                    lastArrival = std::max(now, lastArrival) + static_cast<Ns>(n) * charNs;
                    units_.SetTimeSeconds(startSeconds +
                                          static_cast<double>(now - startNs) / kSecond);
                    for (const Reply& r : units_.Receive(in.data(), n)) {
                        const Ns delay = static_cast<Ns>(r.delayMs) * kMs;
                        Ns start = pace ? lastArrival + turnaroundNs + delay : now + delay;
                        start = std::max(start, wireFree);
                        for (size_t i = 0; i < r.bytes.size(); ++i) {
                            const bool stalled = r.gapAfter > 0 && i >= r.gapAfter;
                            const Ns due = start + (pace ? static_cast<Ns>(i + 1) * charNs : 0) +
                                           (stalled ? static_cast<Ns>(r.gapMs) * kMs : 0);
                            out.push_back({r.bytes[i], due});
                            wireFree = due;
                        }
                    }
                }
            }
        }
        if (out.empty() || writeBlocked) {
            continue;
        }
        now = MonoNs();
        if (out.front().due > now) {
            if (out.front().due - now > kPrecise) {
                continue;
            }
            // Absolute deadlines: the per-byte error never accumulates over a reply.
            SleepUntil(out.front().due);
            now = MonoNs();
        }
        burst.clear();
        for (const OutByte& b : out) {
            if (b.due > now) {
                break;
            }
            burst.push_back(b.byte);  // late bytes leave together
        }
        const ssize_t put = write(master_, burst.data(), burst.size());
        if (put > 0) {
            bytesOut_ += static_cast<uint64_t>(put);
            out.erase(out.begin(), out.begin() + put);
        } else if (put < 0 && errno == EAGAIN) {
            writeBlocked = true;  // the client is not reading: wait until it does
        } else if (put < 0 && errno != EINTR) {
            clientGone();
        }
    }
    serving_ = false;
}

}  // namespace kvr::sim
