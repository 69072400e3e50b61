// The one way the program reads a whole file and writes one safely.
//
// ReadWholeFile never blocks and never loads without limit: it opens with O_NONBLOCK, takes
// only a regular file (a FIFO, a device or a folder in place of a file is refused) and
// refuses a file larger than its cap.
//
// WriteFileAtomically writes a private temporary file in the same folder (an unpredictable
// name, created with O_EXCL and O_NOFOLLOW, so nothing planted there is followed), flushes
// it to disk, renames it over the file and flushes the folder: a crash or a kill leaves
// the old file or the new one, never half of one. A temporary file left by a killed run is
// removed by the next write of the same file.
//
// Thread safety: every function may be called from any thread; two writers of one file
// must agree on a FileLock when neither may lose the other's change.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// Far beyond any file of the program; a caller that knows its file passes less.
inline constexpr size_t kDefaultMaxFileBytes = size_t{64} << 20;

struct ReadOptions {
    size_t maxBytes = kDefaultMaxFileBytes;
    // A symbolic link at the path is followed (a user may keep a file elsewhere); with
    // false a link is refused.
    bool followSymlink = true;
};

// Reads the whole regular file. False with the reason in `error`; `missing` (when given)
// tells apart a file that is not there, which many callers take as empty.
bool ReadWholeFile(const std::string& path, std::string& data, std::string& error,
                   const ReadOptions& options = {}, bool* missing = nullptr);
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   const ReadOptions& options = {}, bool* missing = nullptr);

struct WriteOptions {
    // A new file gets this mode less the umask; an existing one keeps its own.
    mode_t newFileMode = 0666;
    // The file gets exactly newFileMode, new or not, whatever the umask (for files that
    // hold secrets).
    bool forceMode = false;
};

// Replaces (or creates) the file with data. A symbolic link at the path that belongs to
// the user stays and its target is written; a link of anybody else is not followed. A
// path that names something other than a regular file is refused. False with the reason.
bool WriteFileAtomically(const std::string& path, std::string_view data, std::string& error,
                         const WriteOptions& options = {});
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& error, const WriteOptions& options = {});

// The folder part of a path ("." for a bare name, "/" for the root).
std::string ParentFolder(const std::string& path);

// Creates the folder and its missing parents, each readable by the user only (0700).
// Existing folders are left as they are. False when it cannot.
bool MakePrivateFolders(const std::string& folder);

// The program's per-user configuration folder: $XDG_CONFIG_HOME/kvr-view when that is an
// absolute path, else ~/.config/kvr-view. Empty when there is no home folder.
std::string UserConfigFolder();

// An exclusive advisory lock on a lock file, held for the object's lifetime. The lock
// file is created for the user only and opened without following a symbolic link;
// anything but a regular file there is refused. The kernel drops the lock when the
// holder dies, so a killed writer never blocks the next one.
class FileLock {
  public:
    explicit FileLock(const std::string& lockPath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }
    // Why the lock is not held; empty when it is.
    const std::string& Error() const { return error_; }

  private:
    int fd_ = -1;
    std::string error_;
};

}  // namespace kvr
