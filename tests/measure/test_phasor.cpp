#include "measure/Phasor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>
#include <utility>

namespace kvr {
namespace {

constexpr double kPi = std::numbers::pi;
double Deg(double degrees) {
    return degrees * kPi / 180.0;
}

TEST(PhasorGeometry, SquareInsideTheLabelsAndPointerAngles) {
    // 200 x 120 client, "00" 14 x 10: 172 x 100 shrinks to a 100 square centred across.
    const PhasorGeometry g = ComputePhasorGeometry(200, 120, 14, 10);
    // Left, top, side, centre and radius.
    EXPECT_EQ(std::tuple(g.left, g.top, g.side, g.centreX, g.centreY, g.radius),
              std::tuple(14 + 36, 10, 100, 100, 60, 49));

    double a = 0.0;
    ASSERT_TRUE(PointerToAngle(g, 100, 20, a));  // straight above
    EXPECT_DOUBLE_EQ(a, kPi / 2);
    EXPECT_NEAR(std::cos(a), 0.0, 1e-12);
    ASSERT_TRUE(PointerToAngle(g, 40, 60, a));  // straight left
    EXPECT_DOUBLE_EQ(a, kPi);
    ASSERT_TRUE(PointerToAngle(g, 130, 90, a));  // below the axis: negative
    EXPECT_DOUBLE_EQ(a, -kPi / 4);
    a = 1.0;
    EXPECT_FALSE(PointerToAngle(g, 100, 60, a));  // on the centre: no direction
    EXPECT_EQ(a, 1.0);

    int x = 0, y = 0;
    PhasorEndPoint(g, kPi / 2, x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(100, 11));
    PhasorEndPoint(g, Deg(-30), x, y);  // 49 cos 30 = 42.4, 49 sin 30 = 24.5, truncated
    EXPECT_EQ(std::pair(x, y), std::pair(142, 84));
}

TEST(PhasorGeometry, SnapRoundsHalvesAwayFromZero) {
    EXPECT_NEAR(SnapAngle(Deg(37), 15), Deg(30), 1e-12);
    EXPECT_NEAR(SnapAngle(Deg(37.5), 15), Deg(45), 1e-12);
    EXPECT_NEAR(SnapAngle(Deg(-37.5), 15), Deg(-45), 1e-12);
    EXPECT_NEAR(SnapAngle(Deg(-7.4), 15), 0.0, 1e-12);
}

TEST(PhasorModel, PowerFactorKeepsTheSideAndLimitsAreRefused) {
    PhasorModel m;
    EXPECT_EQ(m.Count(), 16);
    EXPECT_FALSE(m.Setup(17, 15));
    EXPECT_EQ(m.Count(), 16);
    ASSERT_TRUE(m.Setup(2, 15));
    EXPECT_FALSE(m.Select(2));
    EXPECT_FALSE(m.SetAngle(2, 1.0));

    ASSERT_TRUE(m.SetAngle(0, Deg(-10)));
    ASSERT_TRUE(m.SetPowerFactor(0, 0.5));
    EXPECT_NEAR(m.GetAngle(0), Deg(-60), 1e-12);
    EXPECT_FALSE(m.SetPowerFactor(0, 1.2));
    EXPECT_NEAR(m.GetAngle(0), Deg(-60), 1e-12);
    ASSERT_TRUE(m.SetPowerFactor(1, -1.0));  // angle 0 counts as above the axis
    EXPECT_DOUBLE_EQ(m.GetAngle(1), kPi);

    // A SHIFT-drag moves only the selected phasor, in snap steps.
    const PhasorGeometry g = ComputePhasorGeometry(120, 120, 10, 10);
    ASSERT_TRUE(m.Select(1));
    ASSERT_TRUE(m.PointAt(g, g.centreX + 40, g.centreY - 30, true));  // 36.87 degrees
    EXPECT_NEAR(m.GetAngle(1), Deg(30), 1e-12);
    EXPECT_NEAR(m.GetAngle(0), Deg(-60), 1e-12);
    EXPECT_FALSE(m.PointAt(g, g.centreX, g.centreY, false));
}

}  // namespace
}  // namespace kvr
