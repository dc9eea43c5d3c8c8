// Where the browsers keep their per-user files: below the user's Application
// Data folder as the shell reports it.
#pragma once

#include <string>

// The current user's Application Data folder, without a trailing separator;
// empty when the shell cannot tell.
std::string ApplicationDataFolder();

// The folder trees searched for prefs.js, each ending in a separator; empty
// when the Application Data folder is unknown.
std::string MozillaProfileRoot();
std::string FirefoxProfileRoot();

// Opera's own folder in the user's profile (no trailing separator).
std::string OperaProfileFolder();
