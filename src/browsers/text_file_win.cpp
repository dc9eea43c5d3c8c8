#include "browsers/text_file_win.h"

#include <windows.h>

#include <algorithm>

#include "base/text_mode.h"
#include "base/scoped_win.h"
#include "browsers/prefs_text.h"

namespace {

std::string FolderOf(const std::string& path) {
    size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text) {
    text.clear();
    base::ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::string bytes;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr))
            return false;
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    text = base::FromTextMode(bytes);
    return true;
}

bool ReplaceTextFile(const std::string& path, const std::string& text) {
    // Replacing a file is allowed even when the file itself is read-only, so
    // the attribute is honoured here.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;

    char temporary[MAX_PATH] = {};
    if (!GetTempFileNameA(FolderOf(path).c_str(), "vgp", 0, temporary))
        return false;
    bool written = false;
    {
        base::ScopedHandle file(CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        written =
            file && WriteAll(file.Get(), base::ToTextMode(text)) && FlushFileBuffers(file.Get());
    }
    if (written &&
        MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary);
    return false;
}
