// FileFinder on real folders of the test prefix.
#include <gtest/gtest.h>

#include "browsers/file_finder_win.h"
#include "browsers_test_support.h"
#include "temp_folder.h"

namespace {

using namespace testing_support;

class FileFinderTest : public testing::Test {
protected:
    std::string Root() const { return temp_.Path(); }
    std::string At(const std::string& relative) const { return Root() + "\\" + relative; }

    std::vector<std::string> MatchPaths(const FileFinder& finder) const {
        std::vector<std::string> paths;
        for (const FileMatch& match : finder.Matches())
            paths.push_back(match.path);
        return paths;
    }

    TempFolder temp_;
};

TEST_F(FileFinderTest, EachFolderAfterItsSubfoldersTheRootLast) {
    ASSERT_TRUE(MakeFolders(At("a\\a1")));
    ASSERT_TRUE(MakeFolders(At("b")));
    FileFinder finder;
    ASSERT_TRUE(finder.Scan(Root(), true));

    // Siblings come in the file system's own order; a's subtree stays together.
    std::vector<std::string> expected;
    for (const std::string& name : ListNames(Root())) {
        if (name == "a") {
            expected.push_back(At("a\\a1"));
            expected.push_back(At("a"));
        } else {
            expected.push_back(At(name));
        }
    }
    expected.push_back(Root());
    EXPECT_EQ(expected, finder.Folders());
}

TEST_F(FileFinderTest, WithoutSubfoldersOnlyTheRootIsSearched) {
    ASSERT_TRUE(MakeFolders(At("a")));
    ASSERT_TRUE(WriteBytes(At("a\\prefs.js"), "x"));
    ASSERT_TRUE(WriteBytes(At("prefs.js"), "x"));
    FileFinder finder;
    finder.Scan(Root(), false);
    EXPECT_EQ(std::vector<std::string>{Root()}, finder.Folders());
    EXPECT_TRUE(finder.Find("prefs.js", true, false));
    EXPECT_EQ(std::vector<std::string>{At("prefs.js")}, MatchPaths(finder));
}

TEST_F(FileFinderTest, TrailingBackslashesNameTheSameFolder) {
    ASSERT_TRUE(MakeFolders(At("p")));
    ASSERT_TRUE(WriteBytes(At("p\\prefs.js"), "x"));
    ASSERT_TRUE(WriteBytes(At("prefs.js"), "y"));
    FileFinder finder;
    finder.Scan(Root() + "\\\\\\", true);
    EXPECT_EQ(Root(), finder.Root());
    EXPECT_EQ((std::vector<std::string>{At("p"), Root()}), finder.Folders());
    EXPECT_TRUE(finder.Find("prefs.js", true, false));
    // The root's own file is found last, under a path with one separator.
    EXPECT_EQ((std::vector<std::string>{At("p\\prefs.js"), At("prefs.js")}), MatchPaths(finder));
}

TEST_F(FileFinderTest, FilesOnlyNeverMatchesAFolderOfThatName) {
    ASSERT_TRUE(MakeFolders(At("x\\prefs.js")));
    FileFinder finder;
    finder.Scan(Root(), true);
    EXPECT_TRUE(finder.Find("prefs.js", true, false));
    EXPECT_TRUE(finder.Matches().empty());

    EXPECT_TRUE(finder.Find("prefs.js", false, true));
    ASSERT_EQ(1u, finder.Matches().size());
    EXPECT_EQ(At("x\\prefs.js"), finder.Matches()[0].path);
    EXPECT_TRUE(finder.Matches()[0].isFolder);
    EXPECT_TRUE(finder.Matches()[0].attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FileFinderTest, TwoFindsAccumulateUntilCleared) {
    ASSERT_TRUE(WriteBytes(At("prefs.js"), "x"));
    ASSERT_TRUE(WriteBytes(At("user.js"), "x"));
    FileFinder finder;
    finder.ClearMatches();
    finder.Scan(Root(), true);
    finder.Find("prefs.js", true, false);
    finder.Find("user.js", true, false);
    EXPECT_EQ((std::vector<std::string>{At("prefs.js"), At("user.js")}), MatchPaths(finder));
    finder.Find("prefs.js", true, false);
    EXPECT_EQ(3u, finder.Matches().size());
    finder.ClearMatches();
    EXPECT_TRUE(finder.Matches().empty());
}

TEST_F(FileFinderTest, WildcardsMatchAndDotEntriesNeverCount) {
    ASSERT_TRUE(MakeFolders(At("sub")));
    ASSERT_TRUE(WriteBytes(At("one.js"), "x"));
    ASSERT_TRUE(WriteBytes(At("two.txt"), "x"));
    FileFinder finder;
    finder.Scan(Root(), false);
    EXPECT_TRUE(finder.Find("*.*", true, true));
    std::vector<std::string> paths = MatchPaths(finder);
    EXPECT_EQ(3u, paths.size());
    for (const std::string& path : paths)
        EXPECT_NE('.', path.back()) << path;
}

TEST_F(FileFinderTest, MatchCarriesSizeAttributesAndTimes) {
    ASSERT_TRUE(WriteBytes(At("prefs.js"), std::string(1234, 'p')));
    SetFileAttributesA(At("prefs.js").c_str(), FILE_ATTRIBUTE_READONLY);
    FileFinder finder;
    finder.Scan(Root(), true);
    finder.Find("prefs.js", true, false);
    SetFileAttributesA(At("prefs.js").c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(1u, finder.Matches().size());
    const FileMatch& match = finder.Matches()[0];
    EXPECT_FALSE(match.isFolder);
    EXPECT_EQ(1234u, match.size);
    EXPECT_TRUE(match.attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, match.lastWriteTime);
    EXPECT_EQ(0u, match.lastAccessTime);
}

TEST_F(FileFinderTest, MissingRootIsSearchedAloneAndFindsNothing) {
    std::string missing = At("not-there");
    FileFinder finder;
    EXPECT_TRUE(finder.Scan(missing + "\\", true));
    EXPECT_EQ(std::vector<std::string>{missing}, finder.Folders());
    EXPECT_TRUE(finder.Find("prefs.js", true, true));
    EXPECT_TRUE(finder.Matches().empty());
}

}  // namespace
