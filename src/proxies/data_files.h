// Where the proxy list's data files live, and their names. They are read and
// replaced through the file routines of base/files.h.
#pragma once

#include <string>
#include <vector>

// The folder of the data files below the user's local application data
// folder; earlier versions kept it below the common application data folder.
constexpr char DataFolderName[] = "Veilgate";

// Where the data files live: each user's own Veilgate folder in their local
// application data folder, for an installed and a copied program alike, so
// that no user reads or changes another's list. Without that folder, the
// program's own folder (never the root of the current drive). Ends with a
// separator.
std::string DataFolder(const std::string& localAppDataFolder, const std::string& programFolder);
// The same for this user and this program; the folder is made when missing,
// and a user who has no list of tested proxies there yet gets a copy of the
// one an earlier version kept (CopyEarlierProxyList).
std::string DataFolder();

// Where earlier versions kept "MyProxies.txt", most likely first: the common
// application data folder of an installed program, then beside the program.
std::vector<std::string> EarlierDataFolders(const std::string& commonAppDataFolder,
                                            const std::string& programFolder);
// Copies the first earlier "MyProxies.txt" found into `dataFolder` when it
// has none; copied, not moved, since other users may want theirs from the
// same place. Only a file owned by the administrators, the system or this
// user is taken (base::IsOwnedByTrustedAccount). False only when a list was
// found and could not be copied.
bool CopyEarlierProxyList(const std::string& dataFolder,
                          const std::vector<std::string>& earlierFolders);

// Where the program's own files are (help.htm): AppPath of an installed
// program, otherwise the running program's folder, never the current drive's
// root. Ends with a separator.
std::string ProgramFilesFolder(const std::string& appPath, const std::string& programFolder);
std::string ProgramFilesFolder();

constexpr char MyProxiesFile[] = "MyProxies.txt";
constexpr char HelpFile[] = "help.htm";
constexpr char ProxyListCopyFile[] = "proxylist.txt";
