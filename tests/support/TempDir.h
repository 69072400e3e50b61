// A temporary folder removed with everything in it at the end of a test.
#pragma once

#include <string>

namespace kvr::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets an environment variable for its lifetime and restores the old value after.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::string old_;
    bool had_;
};

// Every settings file of the program (the per-user store, the system file, "QRL.ini",
// the port overrides) in a temporary folder, so a test never touches the user's own.
struct IsolatedSettings {
    TempDir dir;
    ScopedEnv user{"KVR_SETTINGS_FILE", dir.File("settings.reg")};
    ScopedEnv machine{"KVR_SYSTEM_SETTINGS_FILE", dir.File("system.reg")};
    ScopedEnv ini{"KVR_QRL_INI", dir.File("QRL.ini")};
    ScopedEnv ports{"KVR_PORTS_FILE", dir.File("ports.conf")};
};

}  // namespace kvr::test
