// Linked into every Windows test program that changes the machine: a global
// test environment that skips every test of the program unless the guard
// allows it, so that a developer who runs the suite on their own Windows
// machine never loses their favourites or their proxy settings.
#include "system_guard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace testing_support {

bool MayChangeThisMachine(bool underWine, const char* optIn) {
    return underWine || (optIn && std::strcmp(optIn, "1") == 0);
}

bool RunningUnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

std::string RefusalMessage() {
    return std::string(
               "These tests delete browsing traces and change proxy and start-up settings "
               "of the machine they run on. They run only under Wine, in the build's "
               "throwaway prefix, unless ") +
           ChangeThisMachineVariable + "=1 is set.";
}

#ifdef _WIN32
namespace {

class SystemGuardEnvironment : public testing::Environment {
public:
    void SetUp() override {
        if (!MayChangeThisMachine(RunningUnderWine(), std::getenv(ChangeThisMachineVariable)))
            GTEST_SKIP() << RefusalMessage();
    }
};

// Registered before main runs, for every program this file is linked into.
const testing::Environment* const guard =
    testing::AddGlobalTestEnvironment(new SystemGuardEnvironment);

}  // namespace
#endif

}  // namespace testing_support
