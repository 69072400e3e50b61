#include "measure/Phasor.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kvr {

namespace {

// Integer part of a double that fits a pixel coordinate.
int Trunc(double v) {
    return static_cast<int>(std::trunc(std::clamp(v, -1e6, 1e6)));
}

}  // namespace

PhasorGeometry ComputePhasorGeometry(int clientWidth, int clientHeight, int textWidth,
                                     int textHeight) {
    PhasorGeometry g;
    int left = textWidth;
    int top = textHeight;
    int width = std::max(0, clientWidth - 2 * textWidth);
    int height = std::max(0, clientHeight - 2 * textHeight);
    if (width > height) {
        left += (width - height) / 2;
        width = height;
    } else {
        top += (height - width) / 2;
        height = width;
    }
    g.left = left;
    g.top = top;
    g.side = width;
    g.centreX = left + width / 2;
    g.centreY = top + height / 2;
    g.radius = std::max(0, width / 2 - 1);
    return g;
}

void PhasorEndPoint(const PhasorGeometry& g, double angle, int& x, int& y) {
    x = g.centreX + Trunc(g.radius * std::cos(-angle));
    y = g.centreY + Trunc(g.radius * std::sin(-angle));
}

bool PointerToAngle(const PhasorGeometry& g, int x, int y, double& angle) {
    const double dx = x - g.centreX;
    const double dy = g.centreY - y;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length == 0.0) {
        return false;
    }
    const double a = std::acos(std::clamp(dx / length, -1.0, 1.0));
    angle = dy < 0 ? -a : a;
    return true;
}

double SnapAngle(double angle, double stepDegrees) {
    if (!(stepDegrees > 0.0)) {
        return angle;
    }
    double degrees = angle * 180.0 / std::numbers::pi;
    // A step boundary given in whole or half degrees must not miss its half by a rounding
    // error of the conversion (37.5 degrees comes back as 37.49999...).
    degrees = std::round(degrees * 1e9) / 1e9;
    return std::round(degrees / stepDegrees) * stepDegrees * std::numbers::pi / 180.0;
}

double SideOfAngle(double angle) {
    return angle < 0.0 ? -1.0 : 1.0;
}

double AngleOfPowerFactor(double powerFactor, double side) {
    const double a = std::acos(std::clamp(powerFactor, -1.0, 1.0));
    return side < 0.0 ? -a : a;
}

bool PhasorModel::Setup(int count, double snapDegrees) {
    if (count < 1 || count > kMaxPhasors) {
        return false;
    }
    count_ = count;
    snapDegrees_ = snapDegrees;
    selected_ = std::min(selected_, count_ - 1);
    return true;
}

bool PhasorModel::Select(int k) {
    if (k < 0 || k >= count_) {
        return false;
    }
    selected_ = k;
    return true;
}

double PhasorModel::GetAngle(int k) const {
    return k >= 0 && k < count_ ? angles_[static_cast<size_t>(k)] : 0.0;
}

bool PhasorModel::SetAngle(int k, double angle) {
    if (k < 0 || k >= count_ || !std::isfinite(angle)) {
        return false;
    }
    angles_[static_cast<size_t>(k)] = angle;
    return true;
}

double PhasorModel::GetPowerFactor(int k) const {
    return std::cos(GetAngle(k));
}

bool PhasorModel::SetPowerFactor(int k, double p) {
    if (k < 0 || k >= count_ || !(p >= -1.0 && p <= 1.0)) {
        return false;
    }
    angles_[static_cast<size_t>(k)] = AngleOfPowerFactor(p, SideOfAngle(GetAngle(k)));
    return true;
}

bool PhasorModel::PointAt(const PhasorGeometry& g, int x, int y, bool snap) {
    double a = 0.0;
    if (!PointerToAngle(g, x, y, a)) {
        return false;
    }
    if (snap) {
        a = SnapAngle(a, snapDegrees_);
    }
    return SetAngle(selected_, a);
}

}  // namespace kvr
