// The configuration password: checks, the entry form's rules and the password command.
#include <gtest/gtest.h>

#include "base/Registry.h"
#include "base/Seams.h"
#include "document/Password.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using Answer = test::ScriptedUser::PasswordAnswer;

const char kMismatch[] =
    "The two copies of the password you entered do not match. \nPlease re-enter your password.";

class PasswordTest : public ::testing::Test {
  protected:
    test::IsolatedSettings settings;
    test::TempDir& dir = settings.dir;
    test::ScriptedUser user;
    ScopedSeams seam{Seams{.user = &user}};

    void SetUp() override { SetRunPassword(""); }
    void TearDown() override { SetRunPassword(""); }

    void Store(const std::string& pw) {
        ASSERT_EQ(CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, pw),
                  kRegOk);
    }
    std::string Stored() {
        std::string s = "<absent>";
        return ReadStoredPassword(s) ? s : "<absent>";
    }
};

TEST_F(PasswordTest, CheckIsExactAndNeedsAStoredString) {
    // Nothing stored: even the empty run password does not pass.
    EXPECT_FALSE(CheckPassword());
    std::string out = "old";
    EXPECT_FALSE(ReadStoredPassword(out));
    EXPECT_EQ(out, "");

    Store("Secret");
    SetRunPassword("secret");
    EXPECT_FALSE(CheckPassword());
    SetRunPassword("Secret ");
    EXPECT_FALSE(CheckPassword());
    SetRunPassword("Secret");
    EXPECT_TRUE(CheckPassword());

    // A password stored with another type is no password.
    ASSERT_EQ(CRegistry::WriteDword(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, 1),
              kRegOk);
    SetRunPassword("");
    EXPECT_FALSE(CheckPassword());
    EXPECT_FALSE(ReadStoredPassword(out));
}

TEST_F(PasswordTest, StoredEmptyPasswordPassesAndCountsAsNoneForTheCommand) {
    Store("");
    EXPECT_TRUE(CheckPassword());
    EXPECT_TRUE(EnsurePassword());
    EXPECT_TRUE(user.passwordPrompts.empty());

    // The command goes straight to the confirm-mode entry: no existing password asked.
    user.passwordAnswers = {Answer{true, "New1", "New1"}};
    EXPECT_TRUE(PasswordCommand());
    EXPECT_EQ(user.passwordPrompts, std::vector<PasswordPrompt>{PasswordPrompt::EntryConfirm});
    EXPECT_EQ(Stored(), "New1");
    EXPECT_EQ(RunPassword(), "New1");
}

TEST_F(PasswordTest, ConfirmModeRepeatsOnMismatchThenStores) {
    user.passwordAnswers = {Answer{true, "abcd", "abce"}, Answer{true, "abcd", "abcd"}};
    EXPECT_TRUE(PasswordEntry(true));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, kMismatch);
    EXPECT_EQ(user.messages[0].title, "Password mismatch");
    EXPECT_EQ(user.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(user.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(user.passwordPrompts.size(), 2u);
    EXPECT_EQ(Stored(), "abcd");
    EXPECT_EQ(RunPassword(), "abcd");
    EXPECT_TRUE(CheckPassword());

    // Mismatch then Cancel: nothing stored, nothing changed.
    user.passwordAnswers = {Answer{true, "x1", "x2"}, Answer{false, "x1", "x1"}};
    EXPECT_FALSE(PasswordEntry(true));
    EXPECT_EQ(Stored(), "abcd");
    EXPECT_EQ(RunPassword(), "abcd");

    // Single-entry mode neither compares nor stores.
    user.passwordAnswers = {Answer{true, "run only", "ignored"}};
    EXPECT_TRUE(PasswordEntry(false));
    EXPECT_EQ(RunPassword(), "run only");
    EXPECT_EQ(Stored(), "abcd");
    EXPECT_EQ(user.messages.size(), 2u);
}

TEST_F(PasswordTest, StoreFailureIsNotReportedAndTheRunIsAuthorised) {
    test::ScopedEnv blocked("KVR_SETTINGS_FILE", "/dev/null/kvr/settings.reg");
    user.passwordAnswers = {Answer{true, "pw", "pw"}};
    EXPECT_TRUE(PasswordEntry(true));
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(RunPassword(), "pw");
}

TEST_F(PasswordTest, CommandNeedsTheExistingPassword) {
    Store("Old");
    // Cancelled: nothing happens.
    EXPECT_FALSE(PasswordCommand());
    EXPECT_EQ(user.passwordPrompts, std::vector<PasswordPrompt>{PasswordPrompt::Existing});
    EXPECT_TRUE(user.messages.empty());

    // Wrong (letter case): "Incorrect Password" titled with the program's name, no entry form.
    user.passwordPrompts.clear();
    user.passwordAnswers = {Answer{true, "old", ""}, Answer{true, "New", "New"}};
    EXPECT_FALSE(PasswordCommand());
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Incorrect Password");
    EXPECT_EQ(user.messages[0].title, "KVR View");
    EXPECT_EQ(user.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(user.passwordPrompts.size(), 1u);
    EXPECT_EQ(Stored(), "Old");
    EXPECT_EQ(RunPassword(), "");

    // Right: the confirm-mode entry stores the new one and authorises the run.
    user.passwordPrompts.clear();
    user.passwordAnswers = {Answer{true, "Old", ""}, Answer{true, "New", "New"}};
    EXPECT_TRUE(PasswordCommand());
    EXPECT_EQ(user.passwordPrompts, (std::vector<PasswordPrompt>{PasswordPrompt::Existing,
                                                                 PasswordPrompt::EntryConfirm}));
    EXPECT_EQ(Stored(), "New");
    EXPECT_TRUE(CheckPassword());
}

TEST_F(PasswordTest, DownloadsAskUntilTheRunPasswordMatches) {
    Store("Board");
    user.passwordAnswers = {Answer{true, "board", ""}, Answer{true, "Board", ""}};
    EXPECT_TRUE(EnsurePassword());
    EXPECT_EQ(user.passwordPrompts,
              (std::vector<PasswordPrompt>{PasswordPrompt::Entry, PasswordPrompt::Entry}));
    // The next board does not ask again.
    EXPECT_TRUE(EnsurePassword());
    EXPECT_EQ(user.passwordPrompts.size(), 2u);

    // Cancel fails that board and leaves the run password as it was.
    SetRunPassword("stale");
    user.passwordAnswers = {Answer{false, "", ""}};
    EXPECT_FALSE(EnsurePassword());
    EXPECT_EQ(RunPassword(), "stale");
    EXPECT_TRUE(user.messages.empty());
}

}  // namespace
}  // namespace kvr
