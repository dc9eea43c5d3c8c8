// A folder of its own for one test, removed with everything in it afterwards.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testing_support {

class TempFolder {
public:
    TempFolder() {
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("vg-test-" + std::to_string(stamp) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(path_);
    }
    // A given folder instead, made now and removed in the same way.
    explicit TempFolder(const std::string& path) : path_(path) {
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder itself, without a trailing separator.
    std::string Path() const { return path_.string(); }
    // The folder with a trailing separator, as AppPath holds it.
    std::string Folder() const {
        return path_.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream file(File(name), std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }
    int FileCount() const {
        int count = 0;
        for (auto& entry : std::filesystem::directory_iterator(path_)) {
            (void)entry;
            ++count;
        }
        return count;
    }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

}  // namespace testing_support
