// The configuration password: it guards the writing of configurations to a unit. The
// stored password lives in the settings store (plain text, the user's alone); the run
// password is what was entered in this run and is never stored by itself.
//
// The forms only show fields: the rules here ask through the user seam
// (AppAskPassword, AppMessageBox).
#pragma once

#include <string>

namespace kvr {

// Empties out, then reads the stored password; true when a string value was read.
bool ReadStoredPassword(std::string& out);
// True when the stored password can be read and equals the run password byte for byte.
// A stored empty password therefore matches the empty run password of a fresh run.
bool CheckPassword();

// The run password (Seams::runPassword), empty at start. Thread-safe.
std::string RunPassword();
void SetRunPassword(const std::string& password);

// The "Password Entry" form: single-entry mode asks for the password; confirm mode asks
// for it twice, repeats the question while the two copies differ, and stores the
// password. OK sets the run password (also when storing fails). False on Cancel, which
// changes nothing.
bool PasswordEntry(bool confirmMode);

// The "Password..." command: sets a first password, or changes it after the existing one
// was entered correctly. True when a new password was entered.
bool PasswordCommand();

// Before a board is downloaded: asks until the run password matches the stored one.
// False when the user cancels.
bool EnsurePassword();

}  // namespace kvr
