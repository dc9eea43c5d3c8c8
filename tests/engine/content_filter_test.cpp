// The tag filter over blocks of a relayed answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/content_filter.h"
#include "filter_in_blocks.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

const FilterSwitches Off{false, false};
const FilterSwitches Scripts{true, false};
const FilterSwitches Objects{false, true};
const FilterSwitches Both{true, true};

TEST(ContentFilter, ReplacementsKeepTheLength) {
    struct Case {
        FilterSwitches switches;
        const char* in;
        const char* out;
    } cases[] = {
        {Scripts, "<SCRIPT src=\"a.js\"></Script>", "<noscri src=\"a.js\"></noscri>"},
        {Scripts, "<noscript>x</noscript>", "<noscript>x</noscript>"},
        {Scripts, "<scripts>", "<noscris>"},
        {Scripts, "<object></object>", "<object></object>"},
        {Objects, "<OBJECT classid=\"x\"></OBJECT>", "<noobj  classid=\"x\"></noobj> "},
        {Objects, "<script></script>", "<script></script>"},
        {Both, "a<script>b</script>c<object>d</object>e",
         "a<noscri>b</noscri>c<noobj >d</noobj> e"},
        {Both, "<<<script", "<<<noscri"},
        {Both, "</script", "</script"},  // never closed: passed on at the end
        {Off, "<script></script><object></object>", "<script></script><object></object>"},
    };
    for (const Case& c : cases) {
        std::string out = FilterInBlocks(c.in, 4096, c.switches);
        EXPECT_EQ(c.out, out) << c.in;
        EXPECT_EQ(std::string(c.in).size(), out.size()) << c.in;
    }
}

TEST(ContentFilter, TagSplitAcrossBlocksIsFound) {
    std::string page = "<html><body>";
    for (int i = 0; i < 300; ++i)
        page += "<p>text</p><ScRiPt type=\"t\">var x = 1;</SCRIPT><object data=\"o\"></object>";
    page += "</body></html>";
    std::string expected = page;
    for (auto [from, to] :
         std::vector<std::pair<std::string, std::string>>{{"<ScRiPt", "<noscri"},
                                                          {"</SCRIPT>", "</noscri>"},
                                                          {"<object", "<noobj "},
                                                          {"</object>", "</noobj> "}}) {
        for (size_t at = expected.find(from); at != std::string::npos; at = expected.find(from, at))
            expected.replace(at, from.size(), to);
    }
    // Every block size splits some tag at every possible point.
    for (size_t block : {1u, 2u, 3u, 5u, 7u, 8u, 9u, 10u, 13u, 4096u})
        EXPECT_EQ(expected, FilterInBlocks(page, block, Both)) << block;
}

TEST(ContentFilter, BothSwitchesOffRelaysByteForByte) {
    std::string data;
    for (int i = 0; i < 70000; ++i)
        data += static_cast<char>((i * 7919) % 256);
    data += "<script";
    for (size_t block : {1u, 4096u, 16384u}) {
        ContentFilter filter;
        std::string out;
        for (size_t at = 0; at < data.size(); at += block) {
            size_t before = out.size();
            size_t length = std::min(block, data.size() - at);
            filter.Filter(data.data() + at, length, Off, out);
            EXPECT_EQ(length, out.size() - before);  // nothing held back
        }
        EXPECT_EQ(data, out);
    }
}

TEST(ContentFilter, ZeroBytesDoNotHideTags) {
    std::string in("a\0<script>\0</script>", 20);
    std::string out = FilterInBlocks(in, 4096, Scripts);
    EXPECT_EQ(std::string("a\0<noscri>\0</noscri>", 20), out);
}

TEST(ContentFilter, SwitchChangeTakesEffectOnTheNextBlock) {
    ContentFilter filter;
    std::string out;
    filter.Filter("<script>1</script>", 18, Off, out);
    filter.Filter("<script>2</script>", 18, Scripts, out);
    filter.Filter("<script>3</scr", 14, Scripts, out);
    filter.Filter("ipt><script>", 12, Off, out);
    filter.Finish(out);
    EXPECT_EQ("<script>1</script><noscri>2</noscri><noscri>3</script><script>", out);
}

TEST(ContentFilter, SwitchesReadFromTheSettingsStoreOnlyExactlyOneCountingAsOn) {
    for (uint32_t js : {1u, 2u}) {
        RegDwordValue(setting::EnableJS).Set(js);
        RegDwordValue(setting::EnableActiveX).Set(js == 1 ? 0 : 1);
        FilterSwitches switches = ReadFilterSwitches();
        EXPECT_EQ(js == 1, switches.scripts) << js;
        EXPECT_EQ(js != 1, switches.objects) << js;
    }
    RegDwordValue(setting::EnableJS).Set(0);
    RegDwordValue(setting::EnableActiveX).Set(0);
}

TEST(ContentFilter, SwitchesChangedInTheStoreAreSeenOnTheNextRead) {
    SettingsBackend& store = DefaultSettingsBackend();
    EXPECT_FALSE(ReadFilterSwitches().scripts);
    store.WriteDword(SettingsRoot::CurrentUser, setting::ProductKey, "EnableJS", 1);
    EXPECT_TRUE(ReadFilterSwitches().scripts);
    store.DeleteValue(SettingsRoot::CurrentUser, setting::ProductKey, "EnableJS");
    EXPECT_FALSE(ReadFilterSwitches().scripts);
}

}  // namespace
