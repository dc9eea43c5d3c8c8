// Folder texts as the file search and the browser routines handle them.
#pragma once

#include <string>

// Drops trailing separators: looks at the folder without its trailing white
// space, and while its last "\" (or, with none, its last "/") is its last
// character, cuts it off. A folder without a trailing separator is returned
// exactly as given.
std::string NormaliseFolder(const std::string& folder);
