#include <gtest/gtest.h>

#include "base/Clock.h"
#include "base/Seams.h"
#include "base/Trace.h"
#include "base/UserSeam.h"
#include "support/ScriptedUser.h"

namespace kvr {
namespace {

// Scopes nest, and each gives back exactly the slots it filled: an inner scope that puts
// only a clock in place leaves the outer user seam, and a run password set meanwhile by
// the program survives a scope that did not fill that slot.
TEST(Seams, ScopesReplaceOnlyTheirSlotsAndGiveThemBack) {
    test::ScriptedUser outerUser;
    test::ScriptedUser innerUser;
    VirtualClock clock;
    IClock* const steady = &GetClock();
    IUserSeam* const before = GetUserSeam();
    const bool tracing = TraceEnabled();  // KVR_TRACE may switch it on
    std::string traced;
    {
        ScopedSeams outer(Seams{.user = &outerUser, .runPassword = "outer"});
        {
            ScopedSeams inner(
                Seams{.clock = &clock, .trace = [&](const std::string& t) { traced += t; }});
            EXPECT_EQ(GetUserSeam(), &outerUser);
            EXPECT_EQ(&GetClock(), &clock);
            Trace("x");
            {
                ScopedSeams innermost(Seams{.user = &innerUser});
                EXPECT_EQ(GetUserSeam(), &innerUser);
                EXPECT_EQ(&GetClock(), &clock);
            }
            EXPECT_EQ(GetUserSeam(), &outerUser);
            InstallSeams(Seams{.runPassword = "typed"});  // as the password form does
        }
        EXPECT_EQ(&GetClock(), steady);
        EXPECT_EQ(TraceEnabled(), tracing);
        EXPECT_EQ(CurrentSeam(&Seams::runPassword), "typed");
    }
    EXPECT_EQ(GetUserSeam(), before);
    EXPECT_FALSE(CurrentSeam(&Seams::runPassword).has_value());
    EXPECT_EQ(traced, "x");
}

}  // namespace
}  // namespace kvr
