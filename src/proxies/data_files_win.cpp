// The platform half of the data files on Windows.
#include <windows.h>

#include "base/scoped_win.h"

#include "proxies/data_files.h"

bool MoveFileReplacing(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool FlushFileToDisk(const std::string& path) {
    base::ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.Get()) != 0;
}

std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return ".\\";
    std::string program(path, length);
    size_t separator = program.find_last_of("\\/");
    return separator == std::string::npos ? ".\\" : program.substr(0, separator + 1);
}
