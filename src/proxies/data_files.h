// Where the proxy list's data files live, and their names. They are read and
// replaced through the file routines of base/files.h.
#pragma once

#include <string>

// Where the data files live: the AppPath of an installed program, otherwise
// the program's own folder (never the root of the current drive).
std::string DataFolder(const std::string& appPath, const std::string& programFolder);
// The same with the AppPath setting and the running program's folder.
std::string DataFolder();

constexpr char MyProxiesFile[] = "MyProxies.txt";
constexpr char ProxyListCopyFile[] = "proxylist.txt";
