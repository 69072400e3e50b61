// kvrctl settings and kvrctl password, as a user runs them.
#include <gtest/gtest.h>

#include <fstream>

#include "base/Registry.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

// The output line that mentions what.
std::string LineWith(const std::string& out, const std::string& what) {
    size_t at = out.find(what);
    if (at == std::string::npos) {
        return "<no line with " + what + ">";
    }
    size_t begin = out.rfind('\n', at) + 1;  // npos + 1 == 0
    return out.substr(begin, out.find('\n', at) - begin);
}

class SettingsCli : public ::testing::Test {
  protected:
    test::IsolatedSettings settings;
    test::TempDir& dir = settings.dir;

    static test::RunResult Kvrctl(std::vector<std::string> args) {
        args.insert(args.begin(), KVRCTL_EXE);
        return test::Run(args);
    }
    std::string Stored(const char* name) {
        std::string s = "<missing>";
        CRegistry::ReadString(RegRoot::CurrentUser, kKeyPreferences, name, s);
        return s;
    }
};

TEST_F(SettingsCli, ShowsLocationsValuesAndDefaultsButNeverThePassword) {
    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword,
                                     "TopSecret123"),
              kRegOk);
    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyPreferences, kValComPort, "3"),
              kRegOk);
    std::ofstream(dir.File("QRL.ini")) << "[Country]\nCountry=za\n";

    test::RunResult r = Kvrctl({"settings"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("TopSecret123"), std::string::npos) << r.out;
    EXPECT_NE(LineWith(r.out, "\"Password\"").find("string  (set)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(dir.File("settings.reg") + " (exists)"), std::string::npos);
    EXPECT_NE(r.out.find(dir.File("system.reg") + " (missing, read only)"), std::string::npos);
    EXPECT_NE(r.out.find(dir.File("QRL.ini") + " (exists, read only)"), std::string::npos);
    // A "COM Port" stored as a string is shown as what it is, and that it is not used.
    EXPECT_NE(LineWith(r.out, "\"COM Port\"").find("string  \"3\"  (wrong type, reads as missing"),
              std::string::npos)
        << r.out;
    EXPECT_NE(
        LineWith(r.out, "\"Window Position\"").find("(missing: the main window opens centred)"),
        std::string::npos);
    EXPECT_NE(LineWith(r.out, "] Country").find("\"za\""), std::string::npos) << r.out;
    EXPECT_NE(LineWith(r.out, "KVR Download Delay").find("(missing: 100)"), std::string::npos);

    ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, ""),
              kRegOk);
    r = Kvrctl({"settings"});
    EXPECT_NE(LineWith(r.out, "\"Password\"").find("(set, empty)"), std::string::npos) << r.out;
}

// The order of the checks is the port rules' own test; here the options reach them.
TEST_F(SettingsCli, SetPortValidatesThroughTheFormsRules) {
    test::RunResult r =
        Kvrctl({"settings", "set-port", "3", "--parity", "Mark", "--data-bits", "9"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kvrctl: Please select a valid parity\n");
    r = Kvrctl({"settings", "set-port", "3", "--stop-bits", "1.5"});
    EXPECT_EQ(r.err, "kvrctl: Please select a valid number of stop bits\n");
    EXPECT_EQ(Stored(kValBaudRate), "<missing>");  // nothing written on a failure

    r = Kvrctl({"settings", "set-port", "7", "--baud", "38400", "--parity", "even"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Parity     Even"), std::string::npos) << r.out;
    uint32_t port = 0;
    EXPECT_EQ(CRegistry::ReadDword(RegRoot::CurrentUser, kKeyPreferences, kValComPort, port),
              kRegOk);
    EXPECT_EQ(port, 7u);
    EXPECT_EQ(Stored(kValParity), "Even");  // the list's spelling
    EXPECT_EQ(Stored(kValDataBits), "8");

    // Options not given keep the stored values.
    r = Kvrctl({"settings", "set-port", "2", "--stop-bits", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Stored(kValBaudRate), "38400");
    EXPECT_EQ(Stored(kValParity), "Even");
    EXPECT_EQ(Stored(kValStopBits), "2");

    r = Kvrctl({"settings", "set-port", "2", "--speed", "9600"});
    EXPECT_EQ(r.status, 2);
}

TEST_F(SettingsCli, PasswordSetAndCheck) {
    test::RunResult r = Kvrctl({"password", "check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kvrctl: no password is set (set one with 'kvrctl password set')\n");
    {
        test::ScopedEnv pw("KVR_PASSWORD", "Alpha");
        r = Kvrctl({"password", "set"});
        ASSERT_EQ(r.status, 0) << r.err;
        r = Kvrctl({"password", "check"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "password matches\n");
    }
    {
        test::ScopedEnv pw("KVR_PASSWORD", "alpha");
        r = Kvrctl({"password", "check"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "kvrctl: password does not match\n");
    }
    {
        // Changing it needs the existing one.
        test::ScopedEnv pw("KVR_PASSWORD", "Beta");
        r = Kvrctl({"password", "set"});
        EXPECT_EQ(r.status, 1);  // standard input is empty: no existing password
        test::ScopedEnv old("KVR_OLD_PASSWORD", "Wrong");
        r = Kvrctl({"password", "set"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "kvrctl: Incorrect Password\n");
        test::ScopedEnv right("KVR_OLD_PASSWORD", "Alpha");
        r = Kvrctl({"password", "set"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::string stored;
    ASSERT_EQ(CRegistry::ReadString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, stored),
              kRegOk);
    EXPECT_EQ(stored, "Beta");
    r = Kvrctl({"password", "frob"});
    EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace kvr
