// Moving values between a form's text fields and the program's numbers, with the checks
// the forms make before they save.
#pragma once

#include <string>
#include <string_view>

#include "measure/MeasuredValue.h"

namespace kvr {

inline constexpr int kFormDigits = 4;
inline constexpr const char* kNotValidMeasurementText = "Not a valid measurement!";

// What a field shows for a value: 4 significant digits with prefix and unit.
std::string MeasuredValueToText(const MeasuredValue& value);
// Reads a field's text for the value's own entity; the value is left not valid when the
// text does not fit (see ValidateMeasuredValue).
void TextToMeasuredValue(std::string_view text, MeasuredValue& value);
// The check before saving: "Not a valid measurement!" and false for a value not valid.
bool ValidateMeasuredValue(const MeasuredValue& value);
// Both of the above: read the text, then check it. False keeps the user in the form.
bool SaveMeasuredValue(std::string_view text, MeasuredValue& value);

// A number as "%0*.*f" with the caller's width and precision.
std::string NumberToText(double number, int width, int precision);
// The whole text (white space around it allowed) must be one finite decimal number; else
// false and `number` is left as it was.
bool TextToNumber(std::string_view text, double& number);

}  // namespace kvr
