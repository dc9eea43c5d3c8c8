// The platform half of the file routines for the portable build.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "base/files.h"

namespace base {

bool MoveFileReplacing(const std::string& from, const std::string& to) {
    // rename() replaces the target atomically within one file system.
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool FlushFileToDisk(const std::string& path) {
    int file = open(path.c_str(), O_RDONLY);
    if (file < 0)
        return false;
    bool flushed = fsync(file) == 0;
    close(file);
    return flushed;
}

bool IsOwnedByTrustedAccount(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && (status.st_uid == 0 || status.st_uid == getuid());
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && (status.st_mode & S_IWUSR) == 0;
}

bool FileExists(const std::string& path) {
    struct stat status {};
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string ProgramPath() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length <= 0 ? std::string() : std::string(path, static_cast<size_t>(length));
}

std::string ProgramFolder() {
    std::string program = ProgramPath();
    size_t separator = program.rfind('/');
    return separator == std::string::npos ? "./" : program.substr(0, separator + 1);
}

bool EnsureFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) == 0)
        return true;
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string CommonAppDataFolder() {
    // Nothing installs the portable build.
    return std::string();
}

std::string LocalAppDataFolder() {
    // The portable build keeps its files beside itself.
    return std::string();
}

}  // namespace base
