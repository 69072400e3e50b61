// Small text helpers shared by the settings store, "QRL.ini", value parsing and kvrctl.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// Equal, ignoring the case of ASCII letters (as the registry and unit names compare).
bool EqualNoCase(std::string_view a, std::string_view b);

// The text in double quotes on one line: backslash, quote, CR, LF and TAB as \\ \" \r \n
// \t, other control characters as \xHH. The settings store reads this form back.
std::string QuoteText(const std::string& text);

// The value of a hexadecimal digit (either case), or -1.
int HexDigit(char c);
// Bytes as lower-case hex digits, two a byte; and back (false, bytes untouched, on an odd
// count or a character that is no hex digit).
std::string ToHex(const uint8_t* data, size_t size);
bool FromHex(std::string_view text, std::vector<uint8_t>& bytes);

// The words of a line, split at blanks, tabs and carriage returns.
std::vector<std::string> SplitWords(const std::string& line);

}  // namespace kvr
