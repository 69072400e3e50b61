#include "measure/MeasuredValue.h"
#include "base/Text.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace kvr {

namespace {

// The C locale's white space, as scanf skips it.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr double kFailedValue = -123.456;

}  // namespace

bool ParseLeadingNumber(std::string_view text, double& value, size_t& end) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t mantissa = i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    // "0x1p3" stops after the 0, as a decimal reader would; "inf" and "nan" have no digit.
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    // An exponent counts only with at least one digit, so "5e" is 5 followed by "e".
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }
    // The syntax is checked above; from_chars (which takes no '+') converts the
    // unsigned part exactly and refuses what is out of range.
    const char* first = text.data() + mantissa;
    const char* last = text.data() + i;
    double parsed = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, parsed);
    if (ec != std::errc() || ptr != last || !std::isfinite(parsed)) {
        return false;
    }
    value = negative ? -parsed : parsed;
    end = i;
    return true;
}

MeasuredValue::MeasuredValue(double value, MeasuredEntity e)
    : entity_(e), value_(value), valid_(std::isfinite(value)) {}

MeasuredValue::MeasuredValue(std::string_view text, MeasuredEntity e) {
    if (!ParseWithUnit(text, e)) {
        value_ = 0.0;
        entity_ = entity::kNone;
    }
}

bool MeasuredValue::ParseWithUnit(std::string_view text, MeasuredEntity required) {
    valid_ = false;
    value_ = kFailedValue;
    double number = 0.0;
    size_t end = 0;
    if (!ParseLeadingNumber(text, number, end)) {
        return false;
    }
    // The word: the next run of non-space characters; anything after it is ignored.
    size_t i = end;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    size_t wordEnd = i;
    while (wordEnd < text.size() && !IsSpace(text[wordEnd])) {
        ++wordEnd;
    }
    std::string_view word = text.substr(i, wordEnd - i);
    const std::string_view unit = EntityUnit(required);
    if (word.empty()) {
        number *= scale_;
        word = unit;
    } else {
        switch (word.front()) {
            case 'm':
                number /= 1000.0;
                word.remove_prefix(1);
                break;
            case 'k':
                number *= 1e3;
                word.remove_prefix(1);
                break;
            case 'M':
                number *= 1e6;
                word.remove_prefix(1);
                break;
            case 'G':
                number *= 1e9;
                word.remove_prefix(1);
                break;
            default:
                break;
        }
    }
    // Code 0 has no unit to match; Power Factor's empty unit leaves a bare number or a
    // number with a prefix letter alone.
    if (required < entity::kVoltage || required > entity::kLast || !EqualNoCase(word, unit) ||
        !std::isfinite(number)) {
        return false;
    }
    value_ = number;
    entity_ = required;
    valid_ = true;
    return true;
}

std::string MeasuredValue::FormatSignificant(int digits) const {
    return FormatSignificantText(value_, Unit(), digits, entity_ == entity::kPowerFactor);
}

}  // namespace kvr
