#include "proxies/data_files.h"

#include "base/files.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

std::string DataFolder(const std::string& appPath, const std::string& programFolder) {
    return appPath.empty() ? programFolder : appPath;
}

std::string DataFolder() {
    return DataFolder(RegStringValue(setting::AppPath).Get(), base::ProgramFolder());
}
