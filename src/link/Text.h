// Small text helpers shared by the settings store, "QRL.ini", value parsing and kvrctl.
#pragma once

#include <string>
#include <string_view>

namespace kvr {

// Equal, ignoring the case of ASCII letters (as the registry and unit names compare).
bool EqualNoCase(std::string_view a, std::string_view b);

// The text in double quotes on one line: backslash, quote, CR, LF and TAB as \\ \" \r \n
// \t, other control characters as \xHH. The settings store reads this form back.
std::string QuoteText(const std::string& text);

}  // namespace kvr
