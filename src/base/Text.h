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

// printf "%0*.*f" of a value, always with a point as decimal separator (a desktop
// program may have switched the C library to the user's locale). Empty for a value that
// is not finite or too large to print.
std::string FormatFixed(double value, int width, int precision);

// A value with an SI prefix (G, M, k, m) to a number of significant digits and its unit,
// always with one space between number and prefix-plus-unit. The prefix follows the
// unrounded magnitude, so 999.96 V prints "1000.0 V"; a plain number (the power factor)
// takes no prefix below 1.
std::string FormatSignificantText(double value, const std::string& unit, int digits,
                                  bool plainNumber);

// The words of a line, split at blanks, tabs and carriage returns.
std::vector<std::string> SplitWords(const std::string& line);

}  // namespace kvr
