// The settings store: result codes, the file it keeps, and what it does with damaged files.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "base/Registry.h"
#include "base/Seams.h"
#include "base/Settings.h"
#include "link/PortSetup.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

constexpr RegRoot kUser = RegRoot::CurrentUser;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;
}

class RegistryTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string store = dir.File("conf/kvr-view/settings.reg");
    std::string system = dir.File("system.reg");
    test::ScopedEnv user{"KVR_SETTINGS_FILE", store};
    test::ScopedEnv machine{"KVR_SYSTEM_SETTINGS_FILE", system};
    test::ScopedEnv ini{"KVR_QRL_INI", dir.File("QRL.ini")};

    std::string ReadStr(const std::string& name, const std::string& key = kKeyPreferences) {
        std::string out = "<untouched>";
        CRegistry::ReadString(kUser, key, name, out);
        return out;
    }
};

TEST_F(RegistryTest, ValuesReadOnlyWithTheirOwnType) {
    std::string s = "<untouched>";
    uint32_t n = 77;
    uint8_t buf[8] = {};
    size_t size = sizeof buf;
    // No file at all: everything is missing, and nothing is created by reading.
    EXPECT_EQ(CRegistry::ReadString(kUser, kKeyPreferences, kValBaudRate, s), kRegMissing);
    EXPECT_EQ(CRegistry::ReadDword(kUser, kKeyPreferences, kValComPort, n), kRegMissing);
    EXPECT_EQ(CRegistry::ReadBytes(kUser, kKeyPreferences, kValWindowPosition, buf, size),
              kRegMissing);
    EXPECT_FALSE(std::filesystem::exists(store));

    // "COM Port" written as a string reads as missing for a number.
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValComPort, "3"), kRegOk);
    EXPECT_EQ(CRegistry::ReadDword(kUser, kKeyPreferences, kValComPort, n), kRegMissing);
    EXPECT_EQ(n, 77u);
    EXPECT_EQ(CRegistry::ReadString(kUser, kKeyPreferences, kValComPort, s), kRegOk);
    EXPECT_EQ(s, "3");

    ASSERT_EQ(CRegistry::WriteDword(kUser, kKeyPreferences, kValComPort, 0xDEADBEEF), kRegOk);
    s = "<untouched>";
    EXPECT_EQ(CRegistry::ReadString(kUser, kKeyPreferences, kValComPort, s), kRegMissing);
    EXPECT_EQ(s, "<untouched>");
    EXPECT_EQ(CRegistry::ReadBytes(kUser, kKeyPreferences, kValComPort, buf, size), kRegMissing);
    EXPECT_EQ(CRegistry::ReadDword(kUser, kKeyPreferences, kValComPort, n), kRegOk);
    EXPECT_EQ(n, 0xDEADBEEFu);

    // Key and value names compare without regard to case.
    EXPECT_EQ(
        CRegistry::ReadDword(kUser, "software\\CORVANE\\kvr view\\preferences", "com port", n),
        kRegOk);
}

TEST_F(RegistryTest, ByteBlocksLargerThanTheBufferGiveThree) {
    std::vector<uint8_t> block(45);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_EQ(CRegistry::WriteBytes(kUser, kKeyPreferences, kValWindowPosition, block.data(),
                                    block.size()),
              kRegOk);
    std::vector<uint8_t> buf(kWindowPositionSize, 0xAA);
    size_t size = buf.size();
    EXPECT_EQ(CRegistry::ReadBytes(kUser, kKeyPreferences, kValWindowPosition, buf.data(), size),
              kRegTooLarge);
    EXPECT_EQ(size, 45u);
    EXPECT_EQ(buf, std::vector<uint8_t>(kWindowPositionSize, 0xAA));  // untouched

    std::vector<uint8_t> big(100, 0xAA);
    size = big.size();
    EXPECT_EQ(CRegistry::ReadBytes(kUser, kKeyPreferences, kValWindowPosition, big.data(), size),
              kRegOk);
    EXPECT_EQ(size, 45u);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), big.begin()));
    EXPECT_EQ(big[45], 0xAA);

    // An empty block is a block.
    ASSERT_EQ(CRegistry::WriteBytes(kUser, kKeyPreferences, "Empty", nullptr, 0), kRegOk);
    size = 0;
    EXPECT_EQ(CRegistry::ReadBytes(kUser, kKeyPreferences, "Empty", nullptr, size), kRegOk);
    EXPECT_EQ(size, 0u);
}

TEST_F(RegistryTest, AwkwardTextsRoundTrip) {
    const std::vector<std::string> texts = {
        "",
        "plain",
        "quote \" and backslash \\ and trailing \\",
        "two\nlines\r\nand a tab\t.",
        std::string("nul\0inside", 10),
        "\x01\x1f\x7f control",
        "[Software\\Corvane] \"x\"=dword:00000001",
        "Ünïcødé ✓",
        "  spaces kept  ",
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string name = "Text " + std::to_string(i);
        ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, name, texts[i]), kRegOk);
    }
    // Awkward names too, and the key's default value.
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, "na\"me = \\ [x]", "v"), kRegOk);
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValDefault, "default"), kRegOk);
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, "@", "at"), kRegOk);
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(ReadStr("Text " + std::to_string(i)), texts[i]) << i;
    }
    EXPECT_EQ(ReadStr("na\"me = \\ [x]"), "v");
    EXPECT_EQ(ReadStr(kValDefault), "default");
    EXPECT_EQ(ReadStr("@"), "at");
    // One line per value: the store stays a readable text file.
    std::string file = Slurp(store);
    // A comment line, four keys (each after a blank line), one line per value.
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'),
              static_cast<long>(1 + 4 * 2 + texts.size() + 3))
        << file;
    EXPECT_NE(file.find("@=\"default\""), std::string::npos) << file;
}

TEST_F(RegistryTest, WritesAreAtomicPrivateAndKeepEverythingElse) {
    std::filesystem::create_directories(std::filesystem::path(store).parent_path());
    Spit(store,
         "; hand-written\n"
         "[Other\\Program]\n"
         "\"Keep\"=\"me\"\n"
         "\"Future\"=qword:0000000000000001\n"
         "[Software\\Corvane\\KVR View\\Preferences]\n"
         "\"Parity\"=\"Odd\"\n"
         "# a note about the baud rate\n"
         "\"Baud Rate\"=\"1200\"\n"
         "\"Data bits\"=\"7\"\n");
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValBaudRate, "38400"), kRegOk);
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyConfiguration, kValPassword, "pw"), kRegOk);

    EXPECT_EQ(Slurp(store),
              "; hand-written\n"
              "\n[Other\\Program]\n"
              "\"Keep\"=\"me\"\n"
              "\"Future\"=qword:0000000000000001\n"
              "\n[Software\\Corvane\\KVR View\\Preferences]\n"
              "\"Parity\"=\"Odd\"\n"
              "# a note about the baud rate\n"
              "\"Baud Rate\"=\"38400\"\n"
              "\"Data bits\"=\"7\"\n"
              "\n[Software]\n"
              "\n[Software\\Corvane]\n"
              "\n[Software\\Corvane\\KVR View]\n"
              "\n[Software\\Corvane\\KVR View\\Configuration]\n"
              "\"Password\"=\"pw\"\n");
    EXPECT_EQ(ReadStr("Keep", "Other\\Program"), "me");
    EXPECT_EQ(ModeOf(store), 0600u);
}

TEST_F(RegistryTest, MissingFoldersAreCreatedForTheUserOnly) {
    // The store's folder and its missing parent are made 0700, the file 0600.
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyConfiguration, kValPassword, "secret"), kRegOk);
    EXPECT_EQ(ModeOf(dir.File("conf")), 0700u);
    EXPECT_EQ(ModeOf(dir.File("conf/kvr-view")), 0700u);
    // Writing "Password" created the Configuration key and its parents.
    EXPECT_NE(Slurp(store).find("[Software\\Corvane\\KVR View\\Configuration]"), std::string::npos);
    EXPECT_TRUE(CRegistry::CreateKey(kUser, "Software\\Corvane\\KVR View\\New\\Deep"));
    EXPECT_NE(Slurp(store).find("[Software\\Corvane\\KVR View\\New\\Deep]"), std::string::npos);
    EXPECT_FALSE(CRegistry::CreateKey(kUser, ""));
    EXPECT_FALSE(CRegistry::CreateKey(kUser, "A\\\\B"));
    EXPECT_EQ(CRegistry::WriteString(kUser, "Bad\nKey", "x", "y"), kRegMissing);
}

TEST_F(RegistryTest, RefusedWrites) {
    // The machine and classes roots come from the system file and are never written.
    Spit(system,
         "[Software\\Microsoft\\Shared Tools\\MSInfo]\n\"Path\"=\"/usr/bin/msinfo\"\n"
         "[wrifile\\shell\\printto\\command]\n@=\"lpr %1\"\n");
    const std::string before = Slurp(system);
    std::string s;
    EXPECT_EQ(CRegistry::ReadString(RegRoot::LocalMachine, kKeyMsInfo, kValPath, s), kRegOk);
    EXPECT_EQ(s, "/usr/bin/msinfo");
    EXPECT_EQ(CRegistry::ReadString(RegRoot::ClassesRoot, kKeyPrintTo, kValDefault, s), kRegOk);
    EXPECT_EQ(s, "lpr %1");
    EXPECT_EQ(CRegistry::WriteString(RegRoot::LocalMachine, kKeyMsInfo, kValPath, "x"),
              kRegRefused);
    EXPECT_EQ(CRegistry::WriteDword(RegRoot::ClassesRoot, kKeyPrintTo, "n", 1), kRegRefused);
    EXPECT_EQ(CRegistry::WriteBytes(RegRoot::LocalMachine, kKeyMsInfo, "b", nullptr, 0),
              kRegRefused);
    EXPECT_FALSE(CRegistry::CreateKey(RegRoot::LocalMachine, "Software\\X"));
    EXPECT_EQ(Slurp(system), before);
    // The user's store does not see the machine's values.
    EXPECT_EQ(CRegistry::ReadString(kUser, kKeyMsInfo, kValPath, s), kRegMissing);

    // A store that cannot be written: its folder would have to be made under a file.
    Spit(dir.File("plainfile"), "x");
    test::ScopedEnv blocked("KVR_SETTINGS_FILE", dir.File("plainfile/kvr/settings.reg"));
    EXPECT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValParity, "Odd"), kRegRefused);
    EXPECT_FALSE(CRegistry::CreateKey(kUser, kKeyPreferences));
    // A store that exists but cannot be read is not overwritten (its values would be lost).
    std::filesystem::create_directories(dir.File("asdir/settings.reg"));
    test::ScopedEnv unreadable("KVR_SETTINGS_FILE", dir.File("asdir/settings.reg"));
    EXPECT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValParity, "Odd"), kRegRefused);
}

TEST_F(RegistryTest, DamagedFilesAreReadAsFarAsValid) {
    std::filesystem::create_directories(std::filesystem::path(store).parent_path());
    const std::string text =
        "\xEF\xBB\xBF"
        "garbage before any key\n"
        "[Software\\Corvane\\KVR View\\Preferences]\r\n"
        "\"Baud Rate\"=\"4800\"\r\n"
        "\"COM Port\"=dword:0000001\n"  // seven digits: cut off
        "\"Monitor Count\"=dword:0000000g\n"
        "\"Parity\"=\"Even\n"  // unterminated
        "\"Data bits\"=\"bad \\q escape\"\n"
        "\"Stop bits\"=\"2\" trailing\n"
        "\"Window Position\"=hex:2c,00,0\n"
        "\"Monitor Entities\"=hex:01,02,\n"
        "\"Monitor Channels\"=hex(7):00\n"
        "=\"no name\"\n"
        "\"no equals\" \"x\"\n"
        "[Unclosed\n"
        "\"Calibration Prefs\"=\"not in the Preferences key\"\n"
        "[software\\corvane\\kvr view\\preferences]\n"  // same key again
        "\"Dup\"=\"first\"\n"
        "\"DUP\"=\"last\"\n"
        "\"Good\"=dword:0000000A\n"
        "\"Blob\"=hex:0A, 0b ,FF\n"
        "\"Cut\"=\"trunc";  // the file ends in the middle of a value
    Spit(store, text);
    EXPECT_EQ(ReadStr(kValBaudRate), "4800");
    EXPECT_EQ(ReadStr("Dup"), "last");
    uint32_t n = 0;
    EXPECT_EQ(CRegistry::ReadDword(kUser, kKeyPreferences, "Good", n), kRegOk);
    EXPECT_EQ(n, 10u);
    uint8_t buf[60];
    size_t size = sizeof buf;
    EXPECT_EQ(CRegistry::ReadBytes(kUser, kKeyPreferences, "Blob", buf, size), kRegOk);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(buf[2], 0xFF);
    for (const char* name : {kValComPort, kValMonitorCount}) {
        EXPECT_EQ(CRegistry::ReadDword(kUser, kKeyPreferences, name, n), kRegMissing) << name;
    }
    for (const char* name : {kValParity, kValDataBits, kValStopBits, kValCalibrationPrefs, "Cut"}) {
        EXPECT_EQ(ReadStr(name), "<untouched>") << name;
    }
    for (const char* name : {kValWindowPosition, kValMonitorEntities, kValMonitorChannels}) {
        size = sizeof buf;
        EXPECT_EQ(CRegistry::ReadBytes(kUser, kKeyPreferences, name, buf, size), kRegMissing)
            << name;
    }

    // A write over the damaged file sets the value and keeps the rest as it was.
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValParity, "None"), kRegOk);
    EXPECT_EQ(ReadStr(kValParity), "None");
    EXPECT_EQ(ReadStr(kValBaudRate), "4800");
    EXPECT_EQ(ReadStr("Dup"), "last");
    std::string after = Slurp(store);
    EXPECT_NE(after.find("garbage before any key"), std::string::npos);
    EXPECT_NE(after.find("[Unclosed\n\"Calibration Prefs\""), std::string::npos) << after;
    EXPECT_EQ(after.find("\"Parity\"=\"Even"), std::string::npos);

    // Every cut of a valid file parses; what lies wholly before the cut still reads.
    Spit(store, "");
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, "A", "alpha"), kRegOk);
    ASSERT_EQ(CRegistry::WriteDword(kUser, kKeyPreferences, "B", 5), kRegOk);
    const uint8_t bytes[] = {1, 2, 3};
    ASSERT_EQ(CRegistry::WriteBytes(kUser, kKeyPreferences, "C", bytes, 3), kRegOk);
    const std::string whole = Slurp(store);
    const size_t endOfA = whole.find("\"alpha\"\n") + 8;
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        Spit(store, whole.substr(0, cut));
        std::string a = ReadStr("A");
        EXPECT_TRUE(a == "alpha" || a == "<untouched>") << cut;
        if (cut >= endOfA) {
            EXPECT_EQ(a, "alpha") << cut;
        }
        size = sizeof buf;
        int r = CRegistry::ReadBytes(kUser, kKeyPreferences, "C", buf, size);
        EXPECT_TRUE(r == kRegMissing || (r == kRegOk && size <= 3)) << cut;
    }
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    // Four threads of this process write numbers, then three processes at once write texts.
    const auto name = [](char who, int w, int i) {
        return who + std::to_string(w) + "-" + std::to_string(i);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                CRegistry::WriteDword(kUser, kKeyPreferences, name('T', t, i),
                                      static_cast<uint32_t>(i));
            }
        });
    }
    for (std::thread& th : threads) {
        th.join();  // before the fork: a child gets no other thread's locks
    }
    std::vector<pid_t> children;
    for (int p = 0; p < 3; ++p) {
        if (const pid_t pid = fork(); pid != 0) {
            children.push_back(pid);
            continue;
        }
        int failures = 0;
        for (int i = 0; i < 25; ++i) {
            const std::string n = name('P', p, i);
            failures += CRegistry::WriteString(kUser, kKeyPreferences, n, n) != kRegOk;
        }
        _exit(failures);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int i = 0; i < 25; ++i) {
        for (int w = 0; w < 4; ++w) {
            uint32_t n = 99;
            EXPECT_EQ(CRegistry::ReadDword(kUser, kKeyPreferences, name('T', w, i), n), kRegOk);
            EXPECT_EQ(n, static_cast<uint32_t>(i)) << name('T', w, i);
            if (w < 3) {
                EXPECT_EQ(ReadStr(name('P', w, i)), name('P', w, i));
            }
        }
    }
}

// Counts the files renamed into a folder while it lives: one per rewrite of the store.
class RenameCounter {
  public:
    explicit RenameCounter(const std::string& folder) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
    }
    ~RenameCounter() { ::close(fd_); }
    int Count() {
        alignas(inotify_event) char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<inotify_event*>(p);
                count_ += (e->mask & IN_MOVED_TO) != 0;
                p += sizeof(inotify_event) + e->len;
            }
        }
        return count_;
    }

  private:
    int fd_ = -1;
    int count_ = 0;
};

TEST_F(RegistryTest, EachUserActionIsOneWrite) {
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, "Other", "kept"), kRegOk);
    RenameCounter renames(dir.File("conf/kvr-view"));
    PortSettings port;
    port.port = 7;
    port.baud = "19200";
    ASSERT_TRUE(SavePortSettings(port));
    EXPECT_EQ(renames.Count(), 1);
    MonitorBytes entities{};
    MonitorBytes channels{};
    entities[0] = 4;
    ASSERT_TRUE(WriteMonitorList(1, entities, channels));
    EXPECT_EQ(renames.Count(), 2);
    PortSettings back;
    EXPECT_TRUE(LoadPortSettings(back));
    EXPECT_EQ(back.port, 7);
    EXPECT_EQ(back.baud, "19200");
    EXPECT_EQ(ReadStr("Other"), "kept");

    // A batch with a key that cannot exist writes none of its values.
    CRegistryBatch batch;
    batch.WriteString(kKeyPreferences, kValParity, "Odd");
    batch.WriteDword("Bad\\\\Key", "x", 1);
    EXPECT_EQ(batch.Commit(), kRegMissing);
    EXPECT_EQ(renames.Count(), 2);
    EXPECT_EQ(ReadStr(kValParity), "None");
}

TEST_F(RegistryTest, SpecialFilesInPlaceOfTheStoresAreRefusedWithoutBlocking) {
    std::filesystem::create_directories(dir.File("conf/kvr-view"));
    ASSERT_EQ(::mkfifo(store.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(system.c_str(), 0600), 0);
    std::string s;
    EXPECT_EQ(CRegistry::ReadString(kUser, kKeyPreferences, kValBaudRate, s), kRegMissing);
    EXPECT_EQ(CRegistry::ReadString(RegRoot::LocalMachine, kKeyMsInfo, kValPath, s), kRegMissing);
    EXPECT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValBaudRate, "1200"), kRegRefused);
    EXPECT_TRUE(std::filesystem::is_fifo(store));
    // A planted link in place of the lock file is not followed.
    ASSERT_EQ(::unlink(store.c_str()), 0);
    std::filesystem::remove(store + ".lock");
    std::filesystem::create_symlink(dir.File("elsewhere"), store + ".lock");
    EXPECT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValBaudRate, "1200"), kRegRefused);
    EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere")));
}

TEST_F(RegistryTest, AStoreWithThePasswordOpenToOthersIsTightened) {
    test::ScriptedUser person;
    ScopedSeams seam(Seams{.user = &person});
    ASSERT_EQ(CRegistry::WriteString(kUser, kKeyPreferences, kValParity, "Odd"), kRegOk);
    ASSERT_EQ(::chmod(store.c_str(), 0644), 0);
    EXPECT_EQ(ReadStr(kValParity), "Odd");  // no password in it: left as the user set it
    EXPECT_EQ(ModeOf(store), 0644u);

    std::string text =
        Slurp(store) + "[Software\\Corvane\\KVR View\\Configuration]\n" + "\"Password\"=\"pw\"\n";
    Spit(store, text);
    ASSERT_EQ(::chmod(store.c_str(), 0644), 0);
    EXPECT_EQ(ReadStr(kValParity), "Odd");
    EXPECT_EQ(ReadStr(kValParity), "Odd");
    EXPECT_EQ(ModeOf(store), 0600u);
    ASSERT_EQ(person.messages.size(), 1u);  // told once
    EXPECT_EQ(person.messages[0].icon, MsgIcon::Warning);
    EXPECT_NE(person.messages[0].text.find(store), std::string::npos);
    EXPECT_NE(person.messages[0].text.find("readable by you only"), std::string::npos);
}

TEST(RegistryPaths, EnvironmentChoosesTheFiles) {
    test::ScopedEnv noFile("KVR_SETTINGS_FILE", "");
    test::ScopedEnv noSystem("KVR_SYSTEM_SETTINGS_FILE", "");
    test::ScopedEnv home("HOME", "/home/tech");
    {
        test::ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(UserSettingsPath(), "/xdg/kvr-view/settings.reg");
    }
    {
        test::ScopedEnv xdg("XDG_CONFIG_HOME", "relative/dir");  // not absolute: ignored
        EXPECT_EQ(UserSettingsPath(), "/home/tech/.config/kvr-view/settings.reg");
    }
    EXPECT_EQ(SystemSettingsPath(), "/etc/kvr-view/system.reg");
    test::ScopedEnv file("KVR_SETTINGS_FILE", "/tmp/s.reg");
    EXPECT_EQ(UserSettingsPath(), "/tmp/s.reg");
}

}  // namespace
}  // namespace kvr
