// Every setting of the program: its path below the product key and its
// default. Flags count as on only when they hold exactly 1. The wrappers
// read and write them as the current user's (SettingsRoot::Product), but
// AppPath and AppFullPath, which the setup program writes under
// HKEY_LOCAL_MACHINE and which are read from there only.
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
constexpr char TMPAnonymity[] = "Software\\Veilgate\\TMPAnonymity";
// The type the last passed test reached its proxy by ("http", "socks4",
// "socks5"); empty after a failure.
constexpr char TMPProxyType[] = "Software\\Veilgate\\TMPProxyType";
// The page that proxy tests ask through each proxy; empty or missing means
// the maker's "What Is My IP?" page.
constexpr char JudgeUrl[] = "Software\\Veilgate\\JudgeUrl";
// The proxy lists "Refresh List" downloads, one a line (see
// proxies/list_sources/proxy_sources.h); missing means the maker's list only.
constexpr char ProxySources[] = "Software\\Veilgate\\ProxySources";
// How many proxies "Find Working Proxies" and "Test All Proxies" check at
// once (1 to 256; 256 when missing).
constexpr char ChecksAtOnce[] = "Software\\Veilgate\\ChecksAtOnce";
constexpr char ErrLogging[] = "Software\\Veilgate\\ErrLogging";
constexpr char Opera[] = "Software\\Veilgate\\Opera";
constexpr char Netscape[] = "Software\\Veilgate\\Netscape";
constexpr char Mozilla[] = "Software\\Veilgate\\Mozilla";
constexpr char EnableJS[] = "Software\\Veilgate\\EnableJS";
constexpr char EnableActiveX[] = "Software\\Veilgate\\EnableActiveX";
constexpr char Sleep[] = "Software\\Veilgate\\Sleep";
constexpr char PopUpsBlockedToday[] = "Software\\Veilgate\\PopUpsBlockedToday";
// 1 once the user has been shown where the window goes in the tray.
constexpr char TrayHintShown[] = "Software\\Veilgate\\TrayHintShown";
constexpr char LastDomain[] = "Software\\Veilgate\\LastDomain";
// 1: "Check My Protection" runs at the end of each switching on.
constexpr char CheckAfterSwitchingOn[] = "Software\\Veilgate\\CheckAfterSwitchingOn";
// Where the main window was and whether it was maximised, as
// "left,top,right,bottom,maximised" (ui/window_layout.h); missing means
// its default size and place.
constexpr char MainWindowPlace[] = "Software\\Veilgate\\MainWindowPlace";

constexpr char IClear1[] = "Software\\Veilgate\\Setari\\IClear1";
constexpr char IClear2[] = "Software\\Veilgate\\Setari\\IClear2";
constexpr char IClear3[] = "Software\\Veilgate\\Setari\\IClear3";
constexpr char IClear4[] = "Software\\Veilgate\\Setari\\IClear4";
constexpr char IClear5[] = "Software\\Veilgate\\Setari\\IClear5";
constexpr char IClear6[] = "Software\\Veilgate\\Setari\\IClear6";
constexpr char IClear7[] = "Software\\Veilgate\\Setari\\IClear7";
constexpr char AutoClean[] = "Software\\Veilgate\\Setari\\AutoClean";

// The product key itself, for code that opens it as a key, and the key of
// the cleaning choices below it.
constexpr char ProductKey[] = "Software\\Veilgate";
constexpr char CleaningChoicesKey[] = "Software\\Veilgate\\Setari";
// The names of the two installation values.
constexpr char AppPathName[] = "AppPath";
constexpr char AppFullPathName[] = "AppFullPath";

// The start-up entry that "Advanced Settings Dialog" writes, under the
// current user's root: Windows starts the program at that user's log-on from
// this value. The machine's Run key would need elevation, and a program that
// asks for it is not started from there at all.
constexpr char StartupEntry[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Veilgate";

}  // namespace setting
