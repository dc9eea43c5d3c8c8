// Where the proxy list's data files live, and their names. They are read and
// replaced through the file routines of base/files.h.
#pragma once

#include <string>

// The folder that the installer makes for the data files in the common
// application data folder; users may change files in it, unlike in the
// program's folder under Program Files.
constexpr char InstalledDataFolderName[] = "Veilgate";

// Where the data files live: for an installed program (AppPath set) the
// Veilgate folder in the common application data folder, otherwise the
// program's own folder (never the root of the current drive). Ends with a
// separator.
std::string DataFolder(const std::string& appPath, const std::string& programFolder,
                       const std::string& commonAppDataFolder);
// The same with the AppPath setting, the running program's folder and the
// system's common application data folder; the folder is made when missing.
std::string DataFolder();

// Where the program's own files are (help.htm): AppPath of an installed
// program, otherwise the running program's folder, never the current drive's
// root. Ends with a separator.
std::string ProgramFilesFolder(const std::string& appPath, const std::string& programFolder);
std::string ProgramFilesFolder();

constexpr char MyProxiesFile[] = "MyProxies.txt";
constexpr char HelpFile[] = "help.htm";
constexpr char ProxyListCopyFile[] = "proxylist.txt";
