// The forms' one conversion of the program's texts (UTF-8 in std::string) to Qt's.
#pragma once

#include <QString>
#include <string>

namespace kvr {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace kvr
