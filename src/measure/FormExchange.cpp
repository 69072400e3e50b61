#include "measure/FormExchange.h"

#include "base/UserSeam.h"

namespace kvr {

std::string MeasuredValueToText(const MeasuredValue& value) {
    return value.FormatSignificant(kFormDigits);
}

void TextToMeasuredValue(std::string_view text, MeasuredValue& value) {
    value.ParseWithUnit(text, value.GetEntity());
}

bool ValidateMeasuredValue(const MeasuredValue& value) {
    if (value.IsValid()) {
        return true;
    }
    AppMessageBox(kNotValidMeasurementText, MsgIcon::Warning, MsgButtons::Ok);
    return false;
}

bool SaveMeasuredValue(std::string_view text, MeasuredValue& value) {
    TextToMeasuredValue(text, value);
    return ValidateMeasuredValue(value);
}

std::string NumberToText(double number, int width, int precision) {
    return FormatFixed(number, width, precision);
}

bool TextToNumber(std::string_view text, double& number) {
    double parsed = 0.0;
    size_t end = 0;
    if (!ParseLeadingNumber(text, parsed, end)) {
        return false;
    }
    for (size_t i = end; i < text.size(); ++i) {
        const char c = text[i];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r') {
            return false;
        }
    }
    number = parsed;
    return true;
}

}  // namespace kvr
