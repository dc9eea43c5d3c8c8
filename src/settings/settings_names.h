// Every setting of the program: its path under HKEY_LOCAL_MACHINE and its
// default. Flags count as on only when they hold exactly 1.
#pragma once

#include <cstdint>

namespace setting {

constexpr char LocalPort[] = "Software\\Veilgate\\LocalPort";
constexpr uint32_t LocalPortDefault = 8080;
constexpr char UseProxy[] = "Software\\Veilgate\\UseProxy";
constexpr char ProxyName[] = "Software\\Veilgate\\ProxyName";
constexpr char AutoEnabled[] = "Software\\Veilgate\\AutoEnabled";
constexpr char AutoTimer[] = "Software\\Veilgate\\AutoTimer";
constexpr char AppPath[] = "Software\\Veilgate\\AppPath";
constexpr char AppFullPath[] = "Software\\Veilgate\\AppFullPath";
constexpr char RunAtStartup[] = "Software\\Veilgate\\RunAtStartup";
constexpr char TMPProxy[] = "Software\\Veilgate\\TMPProxy";
constexpr char TMPResponseTime[] = "Software\\Veilgate\\TMPResponseTime";
constexpr char TMPDownloadSpeed[] = "Software\\Veilgate\\TMPDownloadSpeed";
constexpr char FAIL[] = "Software\\Veilgate\\FAIL";
constexpr char ErrLogging[] = "Software\\Veilgate\\ErrLogging";
constexpr char Opera[] = "Software\\Veilgate\\Opera";
constexpr char Netscape[] = "Software\\Veilgate\\Netscape";
constexpr char Mozilla[] = "Software\\Veilgate\\Mozilla";
constexpr char EnableJS[] = "Software\\Veilgate\\EnableJS";
constexpr char EnableActiveX[] = "Software\\Veilgate\\EnableActiveX";
constexpr char Sleep[] = "Software\\Veilgate\\Sleep";
constexpr char PopUpsBlockedToday[] = "Software\\Veilgate\\PopUpsBlockedToday";
constexpr char LastDomain[] = "Software\\Veilgate\\LastDomain";

constexpr char IClear1[] = "Software\\Veilgate\\Setari\\IClear1";
constexpr char IClear2[] = "Software\\Veilgate\\Setari\\IClear2";
constexpr char IClear3[] = "Software\\Veilgate\\Setari\\IClear3";
constexpr char IClear4[] = "Software\\Veilgate\\Setari\\IClear4";
constexpr char IClear5[] = "Software\\Veilgate\\Setari\\IClear5";
constexpr char IClear6[] = "Software\\Veilgate\\Setari\\IClear6";
constexpr char IClear7[] = "Software\\Veilgate\\Setari\\IClear7";
constexpr char AutoClean[] = "Software\\Veilgate\\Setari\\AutoClean";

// Under the current user's root: 1 once the user has been told that this
// copy cannot keep its settings (a user who may not write the product key
// may still write this).
constexpr char SettingsNoticeShown[] = "Software\\Veilgate\\SettingsNoticeShown";

// The product key itself, for code that opens it as a key.
constexpr char ProductKey[] = "Software\\Veilgate";

// The start-up entry that "Advanced Settings Dialog" writes, under the
// current user's root: Windows starts the program at that user's log-on from
// this value. The machine's Run key would need elevation, and a program that
// asks for it is not started from there at all.
constexpr char StartupEntry[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Veilgate";

}  // namespace setting
