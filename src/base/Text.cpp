#include "base/Text.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kvr {

namespace {
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string QuoteText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02x", c);
                    out += hex;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string ToHex(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 0x0F]);
    }
    return out;
}

bool FromHex(std::string_view text, std::vector<uint8_t>& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    std::vector<uint8_t> out(text.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const int hi = HexDigit(text[2 * i]);
        const int lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    bytes = std::move(out);
    return true;
}

std::string FormatFixed(double value, int width, int precision) {
    // Bounded, so the text always fits: no form asks for more.
    width = std::clamp(width, 0, 64);
    precision = std::clamp(precision, 0, 17);
    if (!std::isfinite(value) || std::fabs(value) >= 1e30) {
        return std::string();
    }
    char buffer[160];
    const int length = std::snprintf(buffer, sizeof buffer, "%0*.*f", width, precision, value);
    if (length < 0 || static_cast<size_t>(length) >= sizeof buffer) {
        return std::string();
    }
    // Qt puts the C library into the user's locale; the program's texts use a point.
    const char* point = std::localeconv()->decimal_point;
    const std::string_view separator = (point != nullptr) ? point : ".";
    std::string text;
    text.reserve(static_cast<size_t>(length));
    for (size_t i = 0; i < static_cast<size_t>(length);) {
        if (separator != "." && !separator.empty() &&
            std::string_view(buffer + i, static_cast<size_t>(length) - i)
                    .substr(0, separator.size()) == separator) {
            text += '.';
            i += separator.size();
        } else {
            text += buffer[i++];
        }
    }
    return text;
}

std::string FormatSignificantText(double value, const std::string& unit, int digits,
                                  bool plainNumber) {
    const double magnitude = std::log10(std::fabs(value));
    // floor(log10(0)) is -infinity; such exponents, and any out of int range, count as 0.
    int e = 0;
    if (std::isfinite(magnitude)) {
        const double f = std::floor(magnitude);
        if (f > std::numeric_limits<int32_t>::min() && f < std::numeric_limits<int32_t>::max()) {
            e = static_cast<int>(f);
        }
    }
    double divisor = 1.0;
    const char* prefix = "";
    int d = 0;
    if (e >= 9) {
        divisor = 1e9;
        prefix = "G";
        d = digits - 1 + (9 - e);
    } else if (e >= 6) {
        divisor = 1e6;
        prefix = "M";
        d = digits - 1 + (6 - e);
    } else if (e >= 3) {
        divisor = 1e3;
        prefix = "k";
        d = digits - 1 + (3 - e);
    } else if (e >= 0 || plainNumber) {
        d = digits - 1 - e;
    } else {
        divisor = 0.001;
        prefix = "m";
        d = digits - 1 - (e + 3);
    }
    d = std::clamp(d, 0, digits);
    return FormatFixed(value / divisor, 0, d) + " " + prefix + unit;
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && blank(line[i])) {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && !blank(line[i])) {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

}  // namespace kvr
