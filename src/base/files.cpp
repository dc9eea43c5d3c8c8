#include "base/files.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace base {

namespace {

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

// Beside the file, so that the final move stays within one volume; always
// the same name, so that one a crash left behind is reused, not piled up.
std::string TemporaryNameFor(const std::string& path) {
    return path + ".new";
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad())
        return false;
    bytes = content.str();
    return true;
}

bool ReadFileUpTo(const std::string& path, size_t maxBytes, std::string& bytes, bool& tooLarge) {
    tooLarge = false;
    bytes.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    char piece[64 * 1024];
    while (file.read(piece, sizeof piece) || file.gcount() > 0) {
        size_t read = static_cast<size_t>(file.gcount());
        if (bytes.size() + read > maxBytes) {
            tooLarge = true;
            std::string().swap(bytes);
            return false;
        }
        bytes.append(piece, read);
    }
    return !file.bad();
}

bool ReplaceWholeFile(const std::string& path, const std::string& bytes, std::string* error) {
    std::string temporary = TemporaryNameFor(path);
    bool written = false;
    if (!IsReadOnlyFile(path)) {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (file) {
            file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            file.flush();
            written = file.good();
        }
    }
    if (written && FlushFileToDisk(temporary) && MoveFileReplacing(temporary, path))
        return true;
    std::remove(temporary.c_str());
    if (error)
        *error = "Cannot write the file " + path + ".";
    return false;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::app);
    if (!file)
        return false;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.flush();
    return file.good();
}

std::string JoinPath(const std::string& folder, const std::string& fileName) {
    if (folder.empty() || EndsWithSeparator(folder))
        return folder + fileName;
    // The folder's own kind of separator; the program's paths are Windows
    // paths, so a folder that shows none gets a backslash.
    bool posixFolder =
        folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
    return folder + (posixFolder ? '/' : '\\') + fileName;
}

}  // namespace base
