// Folder normalising and the choice of connections.
#include <gtest/gtest.h>

#include "browsers/connection_choice.h"
#include "browsers/folder_path.h"

namespace {

TEST(NormaliseFolder, DropsTrailingSeparators) {
    struct Case {
        const char* given;
        const char* expected;
    } cases[] = {
        {"C:\\Profiles", "C:\\Profiles"},
        {"C:\\Profiles\\", "C:\\Profiles"},
        {"C:\\Profiles\\\\\\", "C:\\Profiles"},
        {"C:\\Profiles\\  ", "C:\\Profiles"},
        {"C:\\Profiles \\", "C:\\Profiles "},  // space before a separator is part of the name
        {"C:\\Profiles  ", "C:\\Profiles  "},  // nothing to cut: left exactly as given
        {"C:/Profiles/", "C:/Profiles"},
        {"C:\\a/", "C:\\a/"},  // a backslash elsewhere wins over the final slash
        {"C:\\", "C:"},
        {"\\\\", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, NormaliseFolder(c.given)) << c.given;
}

std::vector<std::string> Describe(const std::vector<std::string>& entries,
                                  const std::string& defaultEntry) {
    std::vector<std::string> names;
    for (const ConnectionTarget& target : ConnectionsToConfigure(entries, defaultEntry))
        names.push_back(target.isLan ? "<LAN>" : target.name);
    return names;
}

TEST(ConnectionsToConfigure, EveryEntryOnceTheDefaultFirstThenTheLan) {
    using Names = std::vector<std::string>;
    EXPECT_EQ(Names{"<LAN>"}, Describe({}, ""));
    EXPECT_EQ((Names{"Dial", "<LAN>"}), Describe({}, "Dial"));
    EXPECT_EQ((Names{"Dial", "VPN", "<LAN>"}), Describe({"VPN", "Dial"}, "Dial"));
    EXPECT_EQ((Names{"VPN", "Mobile", "<LAN>"}), Describe({"VPN", "Mobile", "VPN"}, ""));
}

}  // namespace
