// The geometry and state of the power-factor phasor control: a disc with both axes and up
// to 16 phasors drawn from its centre. Angles are in rad from -pi to pi; a positive angle
// points above the horizontal axis, angle 0 to the right. A phasor's power factor is the
// cosine of its angle.
//
// Lead and lag: a phasor above the axis (angle > 0) leads the voltage, one below it
// (angle < 0) lags. The output forms keep the side in bit 0 of a power-factor limit:
// bit 0 set means lagging (drawn below the axis), clear leading or unity. See SideOfAngle.
#pragma once

#include <array>

namespace kvr {

inline constexpr int kMaxPhasors = 16;
inline constexpr double kDefaultSnapDegrees = 10.0;
inline constexpr const char* kPhasorToolTip =
    "Click to select a power factor. SHIFT-click selects in 15 degree steps.";

// The square in which the control draws, recomputed from the client size at every repaint.
struct PhasorGeometry {
    int left = 0;
    int top = 0;
    int side = 0;  // width and height of the square
    int centreX = 0;
    int centreY = 0;
    int radius = 0;
};

// The client area shrunk on every side by the size of the text "00", then made square by
// shrinking the longer side equally at both ends; the radius is half the side minus 1.
PhasorGeometry ComputePhasorGeometry(int clientWidth, int clientHeight, int textWidth,
                                     int textHeight);
// Where a phasor at `angle` ends: centre + integer part of r x cos(-a), r x sin(-a).
void PhasorEndPoint(const PhasorGeometry& g, double angle, int& x, int& y);
// The angle of the pointer seen from the centre. False (angle unchanged) for a pointer on
// the centre, which has no direction.
bool PointerToAngle(const PhasorGeometry& g, int x, int y, double& angle);
// The angle rounded to a multiple of `stepDegrees`, halves away from zero.
double SnapAngle(double angle, double stepDegrees);
// The side value of a phasor: -1 below the axis (lagging), +1 on or above it.
double SideOfAngle(double angle);
// Arc cosine of a power factor with the sign of `side` (a side of 0 or above gives an angle
// of 0 or above).
double AngleOfPowerFactor(double powerFactor, double side);

// The phasors' angles and the selection; the control draws from it, the output forms
// change it through the same calls the control uses.
class PhasorModel {
  public:
    PhasorModel() = default;

    // Count 1 to 16 and the snap step; a count outside that is refused and leaves the
    // phasors unchanged. Angles of phasors beyond the old count start at 0.
    bool Setup(int count, double snapDegrees);
    int Count() const { return count_; }
    double SnapDegrees() const { return snapDegrees_; }

    bool Select(int k);
    int Selected() const { return selected_; }
    // 0 for a phasor beyond the count.
    double GetAngle(int k) const;
    bool SetAngle(int k, double angle);
    double GetPowerFactor(int k) const;
    // Refused unless -1 <= p <= 1 and k < count; the angle becomes arc cosine of p with
    // the sign of the phasor's current angle (0 or above goes above the axis).
    bool SetPowerFactor(int k, double p);
    // A press or drag at (x, y): the selected phasor points there, snapped with `snap`
    // (SHIFT held). False when nothing changed (the pointer on the centre).
    bool PointAt(const PhasorGeometry& g, int x, int y, bool snap);

  private:
    int count_ = kMaxPhasors;
    int selected_ = 0;
    double snapDegrees_ = kDefaultSnapDegrees;
    std::array<double, kMaxPhasors> angles_{};
};

}  // namespace kvr
