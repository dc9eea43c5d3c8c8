#include "system_guard.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace testing_support {
namespace {

TEST(SystemGuard, RefusesAMachineThatIsNotWineUnlessItsOwnerSaysSo) {
    struct Case {
        bool underWine;
        const char* optIn;
        bool allowed;
    } cases[] = {
        {true, nullptr, true}, {false, nullptr, false}, {false, "1", true},   {false, "0", false},
        {false, "", false},    {false, "yes", false},   {false, "11", false}, {true, "0", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.allowed, MayChangeThisMachine(c.underWine, c.optIn))
            << c.underWine << " " << (c.optIn ? c.optIn : "(unset)");
    EXPECT_NE(std::string::npos, RefusalMessage().find(ChangeThisMachineVariable));
}

// Under Wine the guard must see Wine: were it blind, every test of the
// machine would be skipped and the suite would pass having tested nothing.
TEST(SystemGuard, SeesWineWhereTheBuildRunsItsTests) {
    if (!std::getenv("WINEPREFIX"))
        GTEST_SKIP() << "not started through Wine";
    EXPECT_TRUE(RunningUnderWine());
}

}  // namespace
}  // namespace testing_support
