#include "proxies/data_files.h"

#include "base/files.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

std::string DataFolder(const std::string& appPath, const std::string& programFolder,
                       const std::string& commonAppDataFolder) {
    // Without a common folder the installed program's data could go nowhere
    // better than beside the program, as an uninstalled copy's does.
    if (appPath.empty() || commonAppDataFolder.empty())
        return programFolder;
    return base::JoinPath(base::JoinPath(commonAppDataFolder, InstalledDataFolderName), "");
}

std::string ProgramFilesFolder(const std::string& appPath, const std::string& programFolder) {
    return appPath.empty() ? programFolder : appPath;
}

std::string ProgramFilesFolder() {
    return ProgramFilesFolder(RegStringValue(setting::AppPath).Get(), base::ProgramFolder());
}

std::string DataFolder() {
    std::string folder = DataFolder(RegStringValue(setting::AppPath).Get(), base::ProgramFolder(),
                                    base::CommonAppDataFolder());
    // The setup program makes this folder; should it have gone, the lists
    // are not to be lost for the want of a folder.
    base::EnsureFolder(folder);
    return folder;
}
