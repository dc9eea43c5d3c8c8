// Tests that change real user data or system settings (browsing history,
// favourites, cookies, proxy settings, the Run key, the product's own
// settings) may only run where nothing of the user's can be lost: under Wine,
// in the build's throwaway prefix, or on a machine whose owner has said so.
#pragma once

#include <string>

namespace testing_support {

// The variable that lets the tests change this machine anyway.
constexpr char ChangeThisMachineVariable[] = "VEILGATE_TESTS_MAY_CHANGE_THIS_MACHINE";

// The rule: under Wine, or when the variable is exactly "1".
bool MayChangeThisMachine(bool underWine, const char* optIn);
// True when this process runs under Wine (ntdll exports wine_get_version).
bool RunningUnderWine();
// What a skipped run says, naming the variable.
std::string RefusalMessage();

}  // namespace testing_support
