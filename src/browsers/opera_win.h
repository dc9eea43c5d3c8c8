// Points Opera at the local proxy, and back, through entries of its ini
// files. Opera keeps its settings in three files, handled in this order.
#pragma once

#include <string>

#include "browsers/file_record.h"

enum class OperaFile {
    InstallationIni,       // "Opera6.ini" in the installation folder
    ProfileIni,            // "Opera6.ini" in the user's profile
    InstallationDefaults,  // "OperaDef6.ini" in the installation folder
};

constexpr OperaFile OperaFiles[] = {OperaFile::InstallationIni, OperaFile::ProfileIni,
                                    OperaFile::InstallationDefaults};

// The address that the enable routines make Opera's home page, for the files
// in the installation folder.
constexpr char OperaHomeUrl[] = "duckduckgo.com";

// Where Opera says it is installed, in HKEY_LOCAL_MACHINE.
constexpr char OperaAppPathsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Opera.exe";

// The file's full path; empty when its folder is unknown (Opera not installed).
std::string OperaFilePath(OperaFile file);

// Both do nothing when the file does not exist. Enabling first saves the
// file's own proxy switches and servers (see browsers/file_record.h), and
// restoring puts them back, or removes those the file did not have; a file
// without saved entries only has both switches set to "0".
void SetOperaProxy(OperaFile file);
void DisableOperaProxy(OperaFile file, WithoutRecord withoutRecord = WithoutRecord::Reset);
