// The list sources: how they are stored, which addresses can be one, and a
// refresh over several of them (union, failures, what a failed one keeps).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "proxies/list_sources/proxy_sources.h"
#include "proxies/list_sources/sources_editor.h"
#include "proxies/list_sources/sources_refresh.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

using net::ProxyType;

std::vector<std::string> Texts(const ProxyUnion& all) {
    std::vector<std::string> texts;
    for (const ListedProxy& listed : all.Proxies())
        texts.push_back(listed.text);
    return texts;
}

TEST(ProxySourcesTest, StoredTextReadsBackWithTheMakersListAlwaysFirst) {
    std::vector<ProxySource> sources = {
        {"", false, ProxyType::Http},
        {"https://lists.example/socks5.txt", true, ProxyType::Socks5},
        {"C:\\lists\\mine.txt", false, ProxyType::Socks4},
    };
    std::string stored = StoredProxySources(sources);
    EXPECT_EQ(
        "0\thttp\tmaker\n1\tsocks5\thttps://lists.example/socks5.txt\n"
        "0\tsocks4\tC:\\lists\\mine.txt\n",
        stored);
    std::vector<ProxySource> back = ReadProxySources(stored);
    ASSERT_EQ(3u, back.size());
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(sources[i].location, back[i].location);
        EXPECT_EQ(sources[i].ticked, back[i].ticked);
        EXPECT_EQ(sources[i].defaultType, back[i].defaultType);
    }
    // Nothing stored: the maker's list alone, ticked. A text without it still
    // starts with it; bad lines and repeats are passed over.
    ASSERT_EQ(1u, ReadProxySources("").size());
    EXPECT_TRUE(ReadProxySources("")[0].IsMakers() && ReadProxySources("")[0].ticked);
    back = ReadProxySources(
        "1\thttp\thttp://a.example/l\r\n1\thttp\thttp://a.example/l\n2\thttp\tx\n"
        "1\tftp\tx\n1\thttp\tftp://b.example/\n1\thttp\n0\thttp\tmaker\n");
    ASSERT_EQ(2u, back.size());
    EXPECT_TRUE(back[0].IsMakers());
    EXPECT_FALSE(back[0].ticked);
    EXPECT_EQ("http://a.example/l", back[1].location);
}

TEST(ProxySourcesTest, WhatCanBeASourceAndHowItIsNamed) {
    struct Case {
        const char* location;
        bool usable;
        const char* name;
    };
    const Case cases[] = {
        {"http://lists.example:8080/a/b.txt?x=1", true, "lists.example:8080"},
        {"HTTPS://lists.example/", true, "lists.example"},
        {"C:\\lists\\mine.txt", true, "mine.txt"},
        {"/home/me/list.txt", true, "list.txt"},
        {"ftp://lists.example/a.txt", false, ""},
        {"http:///a.txt", false, ""},
        {"https://a b/", false, ""},
        {"http://a\r\n/", false, ""},
        {"", false, ""},
        {"maker", false, ""},
    };
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_EQ(c.usable, CheckSourceLocation(c.location, problem)) << c.location;
        EXPECT_EQ(c.usable, problem.empty()) << c.location;
        if (c.usable) {
            EXPECT_EQ(c.name, SourceName({c.location, true, ProxyType::Http})) << c.location;
        }
    }
    EXPECT_EQ("the maker's list", SourceName(ProxySource()));
}

TEST(ProxySourcesTest, SeveralJudgesInOrder) {
    EXPECT_EQ((std::vector<std::string>{"http://a/", "http://b/x"}),
              SplitJudgeUrls("  http://a/ \r\nhttp://b/x\n"));
    EXPECT_TRUE(SplitJudgeUrls(" ").empty());
    EXPECT_EQ("http://a/ http://b/x", JoinJudgeUrls({"http://a/", "http://b/x"}));
}

std::vector<std::string> Locations(const SourcesEditor& editor) {
    std::vector<std::string> locations;
    for (const ProxySource& source : editor.Sources())
        locations.push_back(source.location);
    return locations;
}

TEST(SourcesEditorTest, TheMakersListStaysFirstAndEveryOtherMoves) {
    SourcesEditor editor({}, "");
    std::string problem;
    EXPECT_TRUE(editor.Add("http://a.example/l", ProxyType::Http, problem));
    EXPECT_TRUE(editor.Add("C:\\b.txt", ProxyType::Socks5, problem));
    EXPECT_FALSE(editor.Add("http://a.example/l", ProxyType::Socks4, problem));
    EXPECT_EQ("That list is among the sources already.", problem);
    EXPECT_FALSE(editor.Add("ftp://c.example/", ProxyType::Http, problem));
    EXPECT_FALSE(editor.Remove(0));
    EXPECT_FALSE(editor.MoveUp(1)) << "nothing goes above the maker's list";
    EXPECT_FALSE(editor.MoveDown(0));
    EXPECT_FALSE(editor.MoveDown(2));
    EXPECT_TRUE(editor.MoveUp(2));
    EXPECT_EQ((std::vector<std::string>{"", "C:\\b.txt", "http://a.example/l"}), Locations(editor));
    EXPECT_TRUE(editor.MoveDown(1));
    editor.SetTicked(0, false);
    editor.SetDefaultType(2, ProxyType::Socks4);
    EXPECT_TRUE(editor.Remove(1));
    EXPECT_EQ((std::vector<std::string>{"", "C:\\b.txt"}), Locations(editor));
    EXPECT_FALSE(editor.Sources()[0].ticked);
    EXPECT_EQ(ProxyType::Socks4, editor.Sources()[1].defaultType);
}

TEST(SourcesEditorTest, TestPagesAreCheckedAndStoredInOrder) {
    SourcesEditor editor(ReadProxySources(""), "http://a.example/ http://b.example:81/x");
    EXPECT_EQ("http://a.example/\r\nhttp://b.example:81/x", editor.JudgeText());
    std::string problem;
    EXPECT_FALSE(editor.SetJudgeText("http://c.example/\r\nhttps://d.example/", problem));
    EXPECT_NE(std::string::npos, problem.find("\"https://d.example/\""));
    EXPECT_EQ("http://a.example/\r\nhttp://b.example:81/x", editor.JudgeText()) << "unchanged";
    EXPECT_TRUE(editor.SetJudgeText(" http://c.example/ \r\n\r\nhttp://a.example/\r\n", problem));
    std::string added;
    editor.Add("https://lists.example/all.json", ProxyType::Http, added);
    editor.Save();
    EXPECT_EQ("http://c.example/ http://a.example/",
              RegStringValue(setting::JudgeUrl, "", true).Get());
    EXPECT_EQ("https://lists.example/all.json", LoadProxySources().back().location);
    EXPECT_TRUE(editor.SetJudgeText("", problem));
    editor.Save();
    EXPECT_EQ("", RegStringValue(setting::JudgeUrl, "", true).Get());
    SaveProxySources({});
}

TEST(SourcesEditorTest, WhatTheTestSays) {
    EXPECT_EQ("http://a/: answers, and sees you as 1.2.3.4",
              JudgeTestLine("http://a/", true, "1.2.3.4"));
    EXPECT_EQ("http://a/: no answer as a test page", JudgeTestLine("http://a/", false, ""));
}

TEST(SourcesRefreshTest, UnionInSourceOrderAndWhatCameInOneLine) {
    std::vector<ProxySource> sources = {
        {"", true, ProxyType::Http},
        {"http://plain.example/list", true, ProxyType::Http},
        {"http://off.example/list", false, ProxyType::Http},
        {"https://socks.example/list", true, ProxyType::Socks5},
        {"C:\\mine.txt", true, ProxyType::Http},
    };
    SourcesRefresh refresh;
    refresh.Begin(sources);
    ASSERT_EQ(4u, refresh.Sources().size());  // the unticked one is not asked
    // Answers come in any order; the union keeps the sources' order.
    refresh.Take(2, "1.1.1.1:1080\n2.2.2.2:1080\n");
    refresh.Take(1, "1.1.1.1:1080\n3.3.3.3:80\n");
    refresh.Fail(3, "the list service cannot be reached");
    EXPECT_FALSE(refresh.AllAnswered());
    refresh.Take(0, "3.3.3.3:80->DE<br />");
    refresh.Take(0, "9.9.9.9:80<br />");  // a second answer is not taken
    EXPECT_TRUE(refresh.AllAnswered());
    ProxyUnion all = refresh.Union();
    EXPECT_EQ((std::vector<std::string>{"3.3.3.3:80->DE", "1.1.1.1:1080", "socks5://1.1.1.1:1080",
                                        "socks5://2.2.2.2:1080"}),
              Texts(all));
    EXPECT_EQ(
        "Proxy list updated: 4 proxies from 4 sources; 1 source failed (mine.txt: the list "
        "service cannot be reached).",
        refresh.Summary(all.Proxies().size(), all.Cut()));

    // The next run: a source that fails keeps what it gave last time; one
    // that never answers fails when the run gives up.
    refresh.Begin(sources);
    refresh.Take(0, "9.9.9.9:80<br />");
    refresh.Fail(1, "the list service stopped answering");
    refresh.GiveUp("no answer within 30 seconds");
    EXPECT_TRUE(refresh.AllAnswered());
    EXPECT_TRUE(refresh.AnyCame());
    EXPECT_EQ("the list service stopped answering", refresh.FirstFailure());
    all = refresh.Union();
    EXPECT_EQ((std::vector<std::string>{"9.9.9.9:80", "1.1.1.1:1080", "3.3.3.3:80",
                                        "socks5://1.1.1.1:1080", "socks5://2.2.2.2:1080"}),
              Texts(all));
    EXPECT_EQ(
        "Proxy list updated: 4 proxies from 4 sources; 3 sources failed (plain.example: the list "
        "service stopped answering; socks.example: no answer within 30 seconds; mine.txt: no "
        "answer within 30 seconds).",
        refresh.Summary(4, false));
    // A list of no proxies (only "null" entries) keeps what came before too.
    refresh.Begin(sources);
    refresh.Take(0, "null<br />");
    EXPECT_EQ("9.9.9.9:80", Texts(refresh.Union())[0]);
}

TEST(SourcesRefreshTest, AReplyThatHoldsNoProxyIsAFailure) {
    SourcesRefresh refresh;
    refresh.Begin({ProxySource(), {"http://a.example/", true, ProxyType::Http}});
    refresh.Take(0, "");
    refresh.Take(1, "\n <!DOCTYPE html><p>Sign in<br />Name: <input></p>");
    EXPECT_FALSE(refresh.AnyCame());
    EXPECT_EQ("the list service's reply holds no proxy list", refresh.FirstFailure());
    refresh.Begin({{"http://a.example/", true, ProxyType::Http}});
    refresh.Take(0, "<HTML><body>Not found</body></HTML>");
    EXPECT_EQ("the list service sent a web page, not a proxy list", refresh.FirstFailure());
}

TEST(SourcesRefreshTest, ACutIsSaidAndNumbersAreGrouped) {
    SourcesRefresh refresh;
    refresh.Begin({ProxySource()});
    refresh.Take(0, "1.1.1.1:80<br />");
    EXPECT_EQ(
        "Proxy list updated: 100,000 proxies from 1 source. Only the first 100,000 proxies of a "
        "list are kept.",
        refresh.Summary(100000, true));
    EXPECT_EQ("1 proxy from 1 source.", refresh.Summary(1, false).substr(20));
    EXPECT_EQ("0", GroupedNumber(0));
    EXPECT_EQ("999", GroupedNumber(999));
    EXPECT_EQ("1,234,567", GroupedNumber(1234567));
}

}  // namespace
