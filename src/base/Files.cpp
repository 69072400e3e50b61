#include "base/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kvr {

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The temporary files of a target are ".<name>.tmp-<pid>-<random>": the process id lets
// the next writer tell a killed run's leftovers from a write still in progress.
std::string TempPrefix(const std::string& base) {
    return "." + base + ".tmp-";
}

std::string RandomSuffix() {
    uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        // Early in boot there may be no entropy yet; O_EXCL still keeps the name ours.
        static std::atomic<uint64_t> counter{0};
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        bits = (static_cast<uint64_t>(ts.tv_nsec) << 20) ^ static_cast<uint64_t>(ts.tv_sec) ^
               (counter++ * 0x9E3779B97F4A7C15ull);
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
    return text;
}

// Removes the temporary files of this target that a killed writer left behind: ours (the
// user's), regular, and from a process that no longer exists.
void RemoveStaleTemporaries(const std::string& folder, const std::string& base) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const std::string prefix = TempPrefix(base);
    const uid_t me = ::geteuid();
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (end == name.c_str() + prefix.size() || *end != '-' || pid <= 0 || pid == self) {
            continue;
        }
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
            continue;  // the writer is alive (or not ours to ask): its file is in use
        }
        const std::string path = folder + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == me) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(dir);
}

void SyncFolder(const std::string& folder) {
    // Makes the rename itself durable; where the folder cannot be synced the file is
    // still complete under one of its two names.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool WriteAll(int fd, std::string_view data, int& error) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

template <typename Buffer>
bool ReadInto(const std::string& path, Buffer& data, std::string& error, const ReadOptions& options,
              bool* missing) {
    data.clear();
    if (missing != nullptr) {
        *missing = false;
    }
    struct stat st {};
    const int statResult =
        options.followSymlink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (statResult != 0) {
        if (errno == ENOENT && missing != nullptr) {
            *missing = true;
        }
        error = Reason(errno);
        return false;
    }
    // Checked before opening too: opening a serial device or a tape has effects of its own.
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode)   ? Reason(EISDIR)
                : S_ISLNK(st.st_mode) ? "a symbolic link is not accepted here"
                                      : "not a regular file";
        return false;
    }
    const int fd = ::open(
        path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (options.followSymlink ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        if (errno == ENOENT && missing != nullptr) {
            *missing = true;
        }
        error = Reason(errno);
        return false;
    }
    auto fail = [&](const std::string& why) {
        ::close(fd);
        data.clear();
        error = why;
        return false;
    };
    // Again on what was opened: the path may have been swapped in between.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return fail("not a regular file");
    }
    const std::string tooLarge =
        "the file is larger than the " + std::to_string(options.maxBytes) + " bytes accepted here";
    if (static_cast<uint64_t>(st.st_size) > options.maxBytes) {
        return fail(tooLarge);
    }
    data.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n < 0) {
            return fail(Reason(errno));
        }
        if (n == 0) {
            break;
        }
        if (data.size() + static_cast<size_t>(n) > options.maxBytes) {
            return fail(tooLarge);  // it grew while being read
        }
        data.insert(data.end(), buffer, buffer + n);
    }
    ::close(fd);
    return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error,
                   const ReadOptions& options, bool* missing) {
    return ReadInto(path, data, error, options, missing);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   const ReadOptions& options, bool* missing) {
    return ReadInto(path, bytes, error, options, missing);
}

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string& error,
                         const WriteOptions& options) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // The user's own link (a file kept elsewhere) is written through; a link that
        // somebody else planted is never followed: the rename replaces the link itself.
        if (st.st_uid == ::geteuid()) {
            if (char* real = ::realpath(path.c_str(), nullptr)) {
                target = real;
                std::free(real);
            } else {
                // A link to a file yet to be made: the file is made where the link points.
                char link[4096];
                const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
                if (n <= 0) {
                    error = "the symbolic link's target cannot be reached: " + Reason(errno);
                    return false;
                }
                target.assign(link, static_cast<size_t>(n));
                if (target.front() != '/') {
                    target = ParentFolder(path) + "/" + target;
                }
            }
        }
    }
    const std::string base = BaseName(target);
    if (base.empty() || base == "." || base == "..") {
        error = Reason(EISDIR);
        return false;
    }
    const std::string folder = ParentFolder(target);
    bool exists = false;
    if (::lstat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            error = "not a regular file";
            return false;
        }
        exists = S_ISREG(st.st_mode);
    }
    RemoveStaleTemporaries(folder, base);

    std::string temp;
    int fd = -1;
    const mode_t createMode = options.forceMode ? 0600 : options.newFileMode;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = folder + "/" + TempPrefix(base) + std::to_string(::getpid()) + "-" + RandomSuffix();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, createMode);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        error = "cannot create a temporary file in " + folder + ": " + Reason(errno);
        return false;
    }
    int code = 0;
    bool ok = true;
    if (options.forceMode) {
        ok = ::fchmod(fd, options.newFileMode & 07777) == 0;
    } else if (exists) {
        ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    }
    if (!ok) {
        code = errno;
    }
    ok = ok && WriteAll(fd, data, code);
    if (ok && ::fsync(fd) != 0) {
        code = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        code = errno;
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        code = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error = Reason(code);
        return false;
    }
    SyncFolder(folder);
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& error, const WriteOptions& options) {
    return WriteFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error,
        options);
}

bool MakePrivateFolders(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const std::string parent = ParentFolder(folder);
    if (parent != folder && !MakePrivateFolders(parent)) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string UserConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {  // a relative value is to be ignored
        return std::string(xdg) + "/kvr-view";
    }
    std::string home;
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0') {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home.empty() ? std::string() : home + "/.config/kvr-view";
}

FileLock::FileLock(const std::string& lockPath) {
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error_ = "cannot open the lock file " + lockPath + ": " + Reason(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = "the lock file " + lockPath + " is not a regular file";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    // Held only for one rewrite and dropped by the kernel if the holder dies.
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error_ = "cannot lock " + lockPath + ": " + Reason(errno);
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

}  // namespace kvr
