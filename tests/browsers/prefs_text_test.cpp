// The prefs.js edits on literal file texts.
#include <gtest/gtest.h>

#include <cstdint>

#include "base/text_mode.h"
#include "browsers/prefs_text.h"

namespace {

using prefs::DisableProxy;
using prefs::EnableProxy;

const std::string Host = "user_pref(\"network.proxy.http\", \"127.0.0.1\");";
const std::string Port8080 = "user_pref(\"network.proxy.http_port\", 8080);";
const std::string Type1 = "user_pref(\"network.proxy.type\", 1);";

TEST(PrefsKeys, LengthsAndOffsetsMatchTheBrowsersLayout) {
    EXPECT_EQ(30u, std::string(prefs::HostKey).size());
    EXPECT_EQ(35u, std::string(prefs::PortKey).size());
    EXPECT_EQ(30u, std::string(prefs::TypeKey).size());
    EXPECT_EQ(prefs::TypeEntryLength, Type1.size());
    EXPECT_EQ('1', Type1[prefs::TypeValueOffset]);
    EXPECT_EQ('1', Host[prefs::HostValueOffset]);
    EXPECT_EQ('8', Port8080[prefs::PortValueOffset]);
}

TEST(EnableProxy, AppendsTheThreeFragmentsInOrderToAFileWithoutProxyEntries) {
    std::string text =
        "# Mozilla User Preferences\n\nuser_pref(\"browser.startup.homepage\", \"about:blank\");\n";
    EXPECT_EQ(text + "\r\n" + Host + "\r\n" + Port8080 + "\r\n" + Type1,
              EnableProxy(text, 8080));
    EXPECT_EQ("\r\n" + Host + "\r\nuser_pref(\"network.proxy.http_port\", 9123);\r\n" + Type1,
              EnableProxy("", 9123));
}

TEST(EnableProxy, AppendsEvenWhenOnlyThePortAndTypeEntriesExist) {
    // Without the host entry the others are not looked at.
    std::string text =
        "user_pref(\"network.proxy.http_port\", 3128);\nuser_pref(\"network.proxy.type\", 0);\n";
    EXPECT_EQ(text + "\r\n" + Host + "\r\n" + Port8080 + "\r\n" + Type1,
              EnableProxy(text, 8080));
}

TEST(EnableProxy, RewritesExistingEntriesInPlaceAndAppendsNothing) {
    std::string text =
        "user_pref(\"browser.cache.disk.capacity\", 50000);\n"
        "user_pref(\"network.proxy.http\", \"proxy.example.org\");\n"
        "user_pref(\"network.proxy.http_port\", 3128);\n"
        "user_pref(\"network.proxy.type\", 0);\n"
        "user_pref(\"network.proxy.no_proxies_on\", \"localhost\");\n";
    std::string expected = "user_pref(\"browser.cache.disk.capacity\", 50000);\n" + Host + "\n" +
                           "user_pref(\"network.proxy.http_port\", 8765);\n" + Type1 + "\n" +
                           "user_pref(\"network.proxy.no_proxies_on\", \"localhost\");\n";
    EXPECT_EQ(expected, EnableProxy(text, 8765));
}

TEST(EnableProxy, TwiceEqualsOnce) {
    const char* texts[] = {
        "",
        "user_pref(\"a\", 1);\n",
        "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"x\", 2);\n",
        "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"network.proxy.type\", 4);\n",
    };
    for (const char* text : texts) {
        std::string once = EnableProxy(text, 8080);
        EXPECT_EQ(once, EnableProxy(once, 8080)) << text;
    }
}

TEST(EnableProxy, AddsOnlyTheMissingEntriesWhenTheHostExists) {
    std::string text = "user_pref(\"network.proxy.http\", \"\");\n";
    EXPECT_EQ(Host + "\n" + "\r\n" + Port8080 + "\r\n" + Type1, EnableProxy(text, 8080));
}

TEST(EnableProxy, ValueWithoutClosingTextIsInsertedWithoutDeleting) {
    // A damaged host entry: no quote followed by ");" anywhere after it.
    std::string text = "user_pref(\"network.proxy.http\", \"old";
    EXPECT_EQ("user_pref(\"network.proxy.http\", \"127.0.0.1old\r\n" + Port8080 + "\r\n" + Type1,
              EnableProxy(text, 8080));
}

TEST(EnableProxy, KeysAtTheVeryEndOfTheTextStayInsideIt) {
    // The value positions lie past the end of these texts.
    std::string host = "user_pref(\"network.proxy.http\"";
    EXPECT_EQ(host + "127.0.0.1\r\n" + Port8080 + "\r\n" + Type1, EnableProxy(host, 8080));
}

TEST(EnableProxy, KeysAreCaseSensitive) {
    std::string text = "USER_PREF(\"network.proxy.http\", \"h\");\n";
    EXPECT_EQ(text + "\r\n" + Host + "\r\n" + Port8080 + "\r\n" + Type1,
              EnableProxy(text, 8080));
}

TEST(DisableProxy, LeavesAnEmptyLineForThePortRemovesTheTypeKeepsTheHost) {
    std::string text = "user_pref(\"a\", 1);\n" + Host + "\n" + Port8080 + "\n" + Type1 +
                       "\nuser_pref(\"z\", 2);\n";
    EXPECT_EQ("user_pref(\"a\", 1);\n" + Host + "\n\n\nuser_pref(\"z\", 2);\n",
              DisableProxy(text));
}

TEST(DisableProxy, UndoesAnEnableOfAFileThatHadNoEntries) {
    // The enabled file as it reads back from disk in text mode.
    std::string enabled =
        base::FromTextMode(base::ToTextMode(EnableProxy("user_pref(\"a\", 1);\n", 8080)));
    EXPECT_EQ("user_pref(\"a\", 1);\n\r\n" + Host + "\r\n\n", DisableProxy(enabled));
}

TEST(DisableProxy, UndoesAnEnableOfAFileThatHadPortAndTypeButNoHost) {
    // Enabling appended a second port and type after the user's own; the
    // browser obeys the later ones, so every one of them must go.
    std::string original =
        "user_pref(\"network.proxy.http_port\", 3128);\nuser_pref(\"network.proxy.type\", 0);\n";
    std::string enabled = base::FromTextMode(base::ToTextMode(EnableProxy(original, 8080)));
    std::string restored = DisableProxy(enabled);
    EXPECT_EQ(std::string::npos, restored.find("network.proxy.type")) << restored;
    EXPECT_EQ(std::string::npos, restored.find("network.proxy.http_port")) << restored;
    EXPECT_NE(std::string::npos, restored.find(Host));
}

TEST(DisableProxy, PortOnTheLastLineWithoutLineFeedStays) {
    std::string text = Type1 + "\n" + Port8080;
    EXPECT_EQ("\n" + Port8080, DisableProxy(text));
}

TEST(DisableProxy, ShortTypeEntryAtTheEndIsRemovedToTheEnd) {
    EXPECT_EQ("x\n", DisableProxy("x\nuser_pref(\"network.proxy.type\", 1"));
}

TEST(DisableProxy, FileWithoutEntriesIsUnchanged) {
    std::string text = "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"b\", true);\n";
    EXPECT_EQ(text, DisableProxy(text));
    EXPECT_EQ("", DisableProxy(""));
}

TEST(TextMode, CrLfPairsReadAsLfAndLfWritesAsCrLf) {
    EXPECT_EQ("a\nb\rc\r\nd", base::FromTextMode("a\r\nb\rc\r\r\nd"));
    EXPECT_EQ("a\r\nb\r\r\n", base::ToTextMode("a\nb\r\n"));
    // A fragment's own CR reaches the disk as CR CR LF and reads back as CR LF.
    std::string onDisk = base::ToTextMode(prefs::HostFragment());
    EXPECT_EQ("\r\r\n", onDisk.substr(0, 3));
    EXPECT_EQ(prefs::HostFragment(), base::FromTextMode(onDisk));
}

}  // namespace

namespace {

size_t Occurrences(const std::string& text, const char* key) {
    size_t found = 0;
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1))
        ++found;
    return found;
}

// Texts stitched from pieces of real entries, damaged ones included: the
// edits must stay inside the text (the sanitizers watch), an enable always
// leaves a type entry behind and a restore always takes one away.
TEST(PrefsEdits, StitchedAndDamagedTextsStayWellFormedEnough) {
    const char* pieces[] = {
        prefs::HostKey,
        prefs::PortKey,
        prefs::TypeKey,
        ", \"",
        "\");",
        ");",
        ", 1);",
        ", ",
        "\n",
        "\r\n",
        "proxy.example.org",
        "3128",
        "0",
        "user_pref(\"a\", 1);",
        "\"",
        "",
    };
    const size_t count = sizeof(pieces) / sizeof(pieces[0]);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        int length = next() % 12;
        for (int i = 0; i < length; ++i)
            text += pieces[next() % count];
        std::string enabled = prefs::EnableProxy(text, 8080);
        EXPECT_NE(std::string::npos, enabled.find(prefs::TypeKey)) << text;
        std::string restored = prefs::DisableProxy(enabled);
        EXPECT_LT(Occurrences(restored, prefs::TypeKey), Occurrences(enabled, prefs::TypeKey))
            << enabled;
        EXPECT_LE(restored.size(), enabled.size());
    }
}

}  // namespace
