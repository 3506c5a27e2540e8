#include <gtest/gtest.h>

#include <stdexcept>

#include "common/ScopeExit.h"

namespace mellodeck {
namespace {

TEST(ScopeExit, RunsOnEveryWayOutUnlessDismissed) {
    int runs = 0;
    {
        ScopeExit count{[&] { ++runs; }};
        EXPECT_EQ(runs, 0);
    }
    EXPECT_EQ(runs, 1);

    auto leaveEarly = [&](bool early) {
        ScopeExit count{[&] { ++runs; }};
        if (early)
            return 1;
        return 2;
    };
    leaveEarly(true);
    leaveEarly(false);
    EXPECT_EQ(runs, 3);

    EXPECT_THROW(
        {
            ScopeExit count{[&] { ++runs; }};
            throw std::runtime_error("leaving");
        },
        std::runtime_error);
    EXPECT_EQ(runs, 4);

    {
        ScopeExit count{[&] { ++runs; }};
        count.Dismiss();
    }
    EXPECT_EQ(runs, 4);
}

} // namespace
} // namespace mellodeck
