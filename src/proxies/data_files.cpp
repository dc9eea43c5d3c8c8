#include "proxies/data_files.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
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

bool ReplaceWholeFile(const std::string& path, const std::string& bytes, std::string* error) {
    std::string temporary = path + ".new";
    bool written = false;
    {
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
    return folder + kSeparator + fileName;
}

std::string DataFolder(const std::string& appPath, const std::string& programFolder) {
    return appPath.empty() ? programFolder : appPath;
}

std::string DataFolder() {
    return DataFolder(RegStringValue(setting::AppPath).Get(), ProgramFolder());
}
