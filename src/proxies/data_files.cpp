#include "proxies/data_files.h"

#include "base/files.h"
#include "base/text_compare.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

std::string Folder(const std::string& parent, const std::string& name) {
    return base::JoinPath(base::JoinPath(parent, name), "");
}

// The installation's folder, as only the setup program writes it.
std::string InstalledAppPath() {
    return RegStringValue(setting::AppPath, "", false, SettingsRoot::LocalMachine).Get();
}

}  // namespace

std::string DataFolder(const std::string& localAppDataFolder, const std::string& programFolder) {
    if (localAppDataFolder.empty())
        return programFolder;
    return Folder(localAppDataFolder, DataFolderName);
}

std::vector<std::string> EarlierDataFolders(const std::string& commonAppDataFolder,
                                            const std::string& programFolder) {
    std::vector<std::string> folders;
    if (!commonAppDataFolder.empty())
        folders.push_back(Folder(commonAppDataFolder, DataFolderName));
    folders.push_back(programFolder);
    return folders;
}

bool CopyEarlierProxyList(const std::string& dataFolder,
                          const std::vector<std::string>& earlierFolders) {
    std::string target = base::JoinPath(dataFolder, MyProxiesFile);
    if (base::FileExists(target))
        return true;
    for (const std::string& folder : earlierFolders) {
        if (base::EqualsIgnoringCase(folder, dataFolder))
            continue;
        // Any user may make the file in the shared folder when it is missing;
        // one that another user made is not the machine's list.
        std::string earlier = base::JoinPath(folder, MyProxiesFile);
        std::string bytes;
        if (base::IsOwnedByTrustedAccount(earlier) && base::ReadWholeFile(earlier, bytes))
            return base::ReplaceWholeFile(target, bytes);
    }
    return true;
}

std::string ProgramFilesFolder(const std::string& appPath, const std::string& programFolder) {
    return appPath.empty() ? programFolder : appPath;
}

std::string ProgramFilesFolder() {
    return ProgramFilesFolder(InstalledAppPath(), base::ProgramFolder());
}

std::string DataFolder() {
    std::string folder = DataFolder(base::LocalAppDataFolder(), base::ProgramFolder());
    // Should the folder have gone, the lists are not to be lost for the want
    // of a folder.
    base::EnsureFolder(folder);
    CopyEarlierProxyList(folder,
                         EarlierDataFolders(base::CommonAppDataFolder(), base::ProgramFolder()));
    return folder;
}
