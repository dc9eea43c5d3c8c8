// Whole-file reading and a safe whole-file rewrite of the browsers' text
// files, byte for byte: a file keeps the line ends it has (LF or CR LF), and
// what is written back is exactly the text given.
#pragma once

#include <functional>
#include <string>

// The whole file as one string; false, and the text empty, when the file
// cannot be opened or read.
bool ReadTextFile(const std::string& path, std::string& text);

// Replaces the file with `text` through base::ReplaceWholeFile, so a failure
// (a read-only or locked file, a full disk) leaves the original exactly as
// it was.
bool ReplaceTextFile(const std::string& path, const std::string& text);

using TextEdit = std::function<std::string(const std::string& text)>;

// Reads the file, and replaces it with what `edit` makes of its text; false
// when either step fails.
bool EditTextFile(const std::string& path, const TextEdit& edit);
