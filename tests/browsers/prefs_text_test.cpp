// The prefs.js edits on literal file texts.
#include <gtest/gtest.h>

#include <cstdint>

#include "base/text_mode.h"
#include "browsers/prefs_reader.h"
#include "browsers/prefs_text.h"
#include "settings/memory_settings_backend.h"

namespace {

using prefs::DisableProxy;
using prefs::EnableProxy;
using prefs::LineEndOf;

const std::string Host = "user_pref(\"network.proxy.http\", \"127.0.0.1\");";
const std::string Port8080 = "user_pref(\"network.proxy.http_port\", 8080);";
const std::string Type1 = "user_pref(\"network.proxy.type\", 1);";
const std::string SslHost = "user_pref(\"network.proxy.ssl\", \"127.0.0.1\");";
const std::string SslPort8080 = "user_pref(\"network.proxy.ssl_port\", 8080);";
const std::string ProxyOnly = "user_pref(\"media.peerconnection.ice.proxy_only\", true);";
const std::string PrefetchOff = "user_pref(\"network.dns.disablePrefetch\", true);";
// The last entries an enable appends: WebRTC held to the proxy, no DNS
// prefetching.
const std::string WebRtcAndPrefetch = ProxyOnly + "\r\n" + PrefetchOff;
// What an enable on port 8080 appends to a file without proxy entries.
const std::string SecureAndWebRtc8080 =
    "\r\n" + SslHost + "\r\n" + SslPort8080 + "\r\n" + WebRtcAndPrefetch;
const std::string All8080 =
    "\r\n" + Host + "\r\n" + Port8080 + "\r\n" + Type1 + SecureAndWebRtc8080;
const std::string Homepage = "user_pref(\"browser.startup.homepage\", \"about:blank\");\n";
// A file that an earlier build enabled, as it reads back from disk: HTTP only.
const std::string OlderEnable = Homepage + "\r\n" + Host + "\r\n" + Port8080 + "\r\n" + Type1;

// A NUL byte, where the browser stops reading a file.
const std::string Nul(1, '\0');

// The same text with LF line ends, as a file written with them gets its
// appended entries.
std::string Lf(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

TEST(PrefsKeys, EachFragmentIsOneEntryOnItsOwnLine) {
    EXPECT_EQ("\r\n" + Type1, prefs::TypeFragment());
    EXPECT_EQ("\n" + Host, prefs::HostFragment("\n"));
    EXPECT_EQ("\r\n" + ProxyOnly, prefs::ProxyOnlyFragment());
}

struct EnableCase {
    const char* what;
    std::string text;
    int port;
    std::string expected;
};

TEST(EnableProxy, EditTable) {
    const EnableCase cases[] = {
        {"no proxy entries: every fragment appended, in order", Homepage, 8080,
         Homepage + Lf(All8080)},
        {"a file with CR LF line ends gets CR LF, never CR CR LF", "// a\r\n", 8080,
         "// a\r\n" + All8080},
        {"an empty file, another port", "", 9123,
         "\r\n" + Host + "\r\nuser_pref(\"network.proxy.http_port\", 9123);\r\n" + Type1 + "\r\n" +
             SslHost + "\r\nuser_pref(\"network.proxy.ssl_port\", 9123);\r\n" + WebRtcAndPrefetch},
        {"port and type without host: the HTTP entries are not looked for",
         "user_pref(\"network.proxy.http_port\", 3128);\nuser_pref(\"network.proxy.type\", 0);\n",
         8080,
         "user_pref(\"network.proxy.http_port\", 3128);\nuser_pref(\"network.proxy.type\", 0);\n" +
             Lf(All8080)},
        {"every entry for another proxy: rewritten in place, only the prefetch entry appended",
         "user_pref(\"browser.cache.disk.capacity\", 50000);\n"
         "user_pref(\"media.peerconnection.ice.proxy_only\", false);\n"
         "user_pref(\"network.proxy.http\", \"proxy.example.org\");\n"
         "user_pref(\"network.proxy.http_port\", 3128);\n"
         "user_pref(\"network.proxy.ssl\", \"secure.example.org\");\n"
         "user_pref(\"network.proxy.ssl_port\", 443);\n"
         "user_pref(\"network.proxy.type\", 0);\n"
         "user_pref(\"network.proxy.no_proxies_on\", \"localhost\");\n",
         8765,
         "user_pref(\"browser.cache.disk.capacity\", 50000);\n" + ProxyOnly + "\n" + Host + "\n" +
             "user_pref(\"network.proxy.http_port\", 8765);\n" + SslHost + "\n" +
             "user_pref(\"network.proxy.ssl_port\", 8765);\n" + Type1 + "\n" +
             "user_pref(\"network.proxy.no_proxies_on\", \"localhost\");\n" + "\n" + PrefetchOff},
        {"HTTP pair for another proxy, no secure pair: HTTP rewritten, the rest appended",
         "user_pref(\"network.proxy.http\", \"proxy.example.org\");\n"
         "user_pref(\"network.proxy.http_port\", 3128);\n"
         "user_pref(\"network.proxy.type\", 0);\n",
         8080, Host + "\n" + Port8080 + "\n" + Type1 + "\n" + Lf(SecureAndWebRtc8080)},
        {"an older enable with HTTP entries only is completed", OlderEnable, 8080,
         OlderEnable + Lf(SecureAndWebRtc8080)},
        {"secure port without its host: the port rewritten, the host appended",
         "user_pref(\"network.proxy.ssl_port\", 443);\n", 8080,
         SslPort8080 + "\n" + "\n" + Host + "\n" + Port8080 + "\n" + Type1 + "\n" + SslHost + "\n" +
             Lf(WebRtcAndPrefetch)},
        {"secure host without its port: the host rewritten, the port appended",
         "user_pref(\"network.proxy.ssl\", \"\");\n", 8080,
         SslHost + "\n" + "\n" + Host + "\n" + Port8080 + "\n" + Type1 + "\n" + SslPort8080 + "\n" +
             Lf(WebRtcAndPrefetch)},
        {"host with an empty value: only the missing entries appended",
         "user_pref(\"network.proxy.http\", \"\");\n", 8080,
         Host + "\n" + Lf("\r\n" + Port8080 + "\r\n" + Type1 + SecureAndWebRtc8080)},
        {"an unterminated string: no entry, so every entry goes before it, where it is read",
         "user_pref(\"network.proxy.http\", \"old", 8080,
         All8080.substr(2) + "\r\nuser_pref(\"network.proxy.http\", \"old"},
        {"an entry cut short at the very end: the same", "user_pref(\"network.proxy.ssl_port\"",
         8080, All8080.substr(2) + "\r\nuser_pref(\"network.proxy.ssl_port\""},
        {"a type entry cut short after a host entry: the host rewritten, the rest before the cut",
         "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"network.proxy.type\"", 8080,
         Host + "\n" + Lf(Port8080 + "\r\n" + Type1 + SecureAndWebRtc8080) +
             "\nuser_pref(\"network.proxy.type\""},
        {"an unterminated comment at the end: the entries go before it, the comment stays",
         Homepage + "/* user_pref(\"network.proxy.type\", 0);\n", 8080,
         Homepage + Lf(All8080.substr(2) + "\r\n") + "/* user_pref(\"network.proxy.type\", 0);\n"},
        {"an unterminated comment after an entry on its line: the entries start a line",
         "user_pref(\"a\", 1); /* x", 8080, "user_pref(\"a\", 1); " + All8080 + "\r\n/* x"},
        {"commented entries are neither rewritten nor taken for the user's",
         "user_pref(\"network.proxy.http\", \"h\"); // user_pref(\"network.proxy.http_port\", 1);\n"
         "# user_pref(\"network.proxy.type\", 0);\n",
         8080,
         Host +
             " // user_pref(\"network.proxy.http_port\", 1);\n# user_pref(\"network.proxy.type\", "
             "0);\n" +
             Lf("\r\n" + Port8080 + "\r\n" + Type1 + SecureAndWebRtc8080)},
        {"a value in single quotes, with escapes and blanks between the parts, is rewritten whole",
         "user_pref ( 'network.proxy.http' , /* old */ 'h\\'s' ) ;\n", 8080,
         "user_pref ( 'network.proxy.http' , /* old */ \"127.0.0.1\" ) ;\n" +
             Lf("\r\n" + Port8080 + "\r\n" + Type1 + SecureAndWebRtc8080)},
        {"every entry of a preference is rewritten: the browser obeys the last",
         Host + "\nuser_pref(\"network.proxy.type\", 0);\nuser_pref(\"network.proxy.type\", 4);\n",
         8080,
         Host + "\n" + Type1 + "\n" + Type1 + "\n" + Lf("\r\n" + Port8080 + SecureAndWebRtc8080)},
        {"keys are case-sensitive", "USER_PREF(\"network.proxy.http\", \"h\");\n", 8080,
         "USER_PREF(\"network.proxy.http\", \"h\");\n" + Lf(All8080)},
    };
    for (const EnableCase& c : cases)
        EXPECT_EQ(c.expected, EnableProxy(c.text, c.port)) << c.what;
}

TEST(EnableProxy, TwiceEqualsOnce) {
    const std::string texts[] = {
        "",
        Homepage,
        OlderEnable,
        "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"x\", 2);\n",
        "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"network.proxy.type\", 4);\n",
        "user_pref(\"network.proxy.ssl_port\", 443);\n",
        "user_pref(\"media.peerconnection.ice.proxy_only\", false);\n",
    };
    for (const std::string& text : texts) {
        std::string once = EnableProxy(text, 8080);
        EXPECT_EQ(once, EnableProxy(once, 8080)) << text;
        EXPECT_EQ(LineEndOf(text.empty() ? "\r\n" : text), LineEndOf(once)) << text;
    }
}

struct DisableCase {
    const char* what;
    std::string text;
    std::string expected;
};

TEST(DisableProxy, EditTable) {
    const DisableCase cases[] = {
        {"port lines left empty, type, WebRTC and prefetch entries removed, hosts kept",
         "user_pref(\"a\", 1);\n" + Host + "\n" + Port8080 + "\n" + Type1 + "\n" + SslHost + "\n" +
             SslPort8080 + "\n" + ProxyOnly + "\n" + PrefetchOff + "\nuser_pref(\"z\", 2);\n",
         "user_pref(\"a\", 1);\n" + Host + "\n\n\n" + SslHost + "\n\n\n\nuser_pref(\"z\", 2);\n"},
        {"restore after an enable", EnableProxy(Homepage, 8080),
         Homepage + "\n" + Host + "\n\n\n" + SslHost + "\n\n\n"},
        {"restore after an enable of a CR LF file: the emptied lines keep CR LF",
         EnableProxy("// a\r\n", 8080),
         "// a\r\n\r\n" + Host + "\r\n\r\n\r\n" + SslHost + "\r\n\r\n\r\n"},
        {"Gatereset's restore of a file enabled on another port, as the browser wrote it back",
         "user_pref(\"media.peerconnection.ice.proxy_only\", true);\n"
         "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
         "user_pref(\"network.proxy.http_port\", 9000);\n"
         "user_pref(\"network.proxy.ssl\", \"127.0.0.1\");\n"
         "user_pref(\"network.proxy.ssl_port\", 9000);\n"
         "user_pref(\"network.proxy.type\", 1);\n",
         "\n" + Host + "\n\n" + SslHost + "\n\n\n"},
        {"an older enable, HTTP entries only", OlderEnable + "\n",
         Homepage + "\r\n" + Host + "\r\n\r\n\n"},
        {"a port entry on the last line without line feed goes too", Type1 + "\n" + SslPort8080,
         "\n"},
        {"an entry the browser cannot read stays as it is",
         "x\nuser_pref(\"network.proxy.type\", 1", "x\nuser_pref(\"network.proxy.type\", 1"},
        {"so does what it swallows up to the next ';'",
         "user_pref(\"media.peerconnection.ice.proxy_only\", tr\nuser_pref(\"b\", 1);\n" + Type1,
         "user_pref(\"media.peerconnection.ice.proxy_only\", tr\nuser_pref(\"b\", 1);\n"},
        {"comments stay, those holding entries too, and the rest of an entry's line",
         "// user_pref(\"network.proxy.type\", 1);\n" + Type1 + " # mine\n/* " + Port8080 + " */\n",
         "// user_pref(\"network.proxy.type\", 1);\n # mine\n/* " + Port8080 + " */\n"},
        {"an entry's string holding an entry stays whole",
         "user_pref(\"x\", \"user_pref(\\\"network.proxy.type\\\", 1);\");\n",
         "user_pref(\"x\", \"user_pref(\\\"network.proxy.type\\\", 1);\");\n"},
        {"no entries to remove: unchanged",
         "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"b\", true);\n",
         "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"b\", true);\n"},
        {"an empty file", "", ""},
    };
    for (const DisableCase& c : cases)
        EXPECT_EQ(c.expected, DisableProxy(c.text)) << c.what;
}

TEST(DisableProxy, UndoesAnEnableOfAFileThatHadPortAndTypeButNoHost) {
    // Enabling appended a second port and type after the user's own; the
    // browser obeys the later ones, so every one of them must go.
    std::string original =
        "user_pref(\"network.proxy.http_port\", 3128);\nuser_pref(\"network.proxy.type\", 0);\n";
    std::string enabled = EnableProxy(original, 8080);
    std::string restored = DisableProxy(enabled);
    for (const char* gone :
         {"network.proxy.type", "network.proxy.http_port", "network.proxy.ssl_port", "proxy_only"})
        EXPECT_EQ(std::string::npos, restored.find(gone)) << gone << " in " << restored;
    EXPECT_NE(std::string::npos, restored.find(Host));
}

struct RoundTripCase {
    const char* what;
    std::string before;  // the file's bytes
};

// What the user had comes back byte for byte after an enable and a restore,
// whatever the enable rewrote or appended.
TEST(RestoreEntries, PutsBackWhatTheUserHad) {
    const RoundTripCase cases[] = {
        {"no proxy entries", Homepage},
        {"an empty file", ""},
        {"a last line without a line feed", "user_pref(\"a\", 1);"},
        {"the user's own proxy for every entry",
         "user_pref(\"media.peerconnection.ice.proxy_only\", false);\n"
         "user_pref(\"network.proxy.http\", \"proxy.example.org\");\n"
         "user_pref(\"network.proxy.http_port\", 3128);\n"
         "user_pref(\"network.proxy.ssl\", \"secure.example.org\");\n"
         "user_pref(\"network.proxy.ssl_port\", 443);\n"
         "user_pref(\"network.proxy.type\", 1);\n" +
             Homepage},
        {"a configuration script, HTTP pair only",
         "user_pref(\"network.proxy.autoconfig_url\", \"http://wpad.example/p.pac\");\n"
         "user_pref(\"network.proxy.http\", \"proxy.example.org\");\n"
         "user_pref(\"network.proxy.http_port\", 8000);\n"
         "user_pref(\"network.proxy.type\", 2);\n"},
        {"port and type without host: a second set appended",
         "user_pref(\"network.proxy.http_port\", 3128);\nuser_pref(\"network.proxy.type\", 0);\n"},
        {"an older enable's leftover the user kept", OlderEnable + "\n"},
        {"the user's own prefetch choice",
         "user_pref(\"network.dns.disablePrefetch\", false);\n" + Homepage},
        {"CR LF line ends", "user_pref(\"a\", 1);\r\nuser_pref(\"network.proxy.type\", 0);\r\n"},
        {"a user.js with plain LF and no last line end",
         "// mine\nuser_pref(\"network.proxy.type\", 4);"},
        {"an alternative kept in a comment, as the user.js of the report had",
         "user_pref(\"network.proxy.type\", 0);\n// user_pref(\"network.proxy.type\", 1);\n"},
        {"entries in every kind of comment and in a string",
         "# user_pref(\"network.proxy.http\", \"a\");\r\n/* user_pref(\"network.proxy.ssl\", "
         "\"b\");"
         " */\r\nuser_pref(\"x\", \"user_pref(\\\"network.proxy.type\\\", 2);\"); // end\r\n"},
        {"a byte order mark", "\xEF\xBB\xBFuser_pref(\"network.proxy.type\", 4);\r\n"},
        {"an unterminated comment at the end",
         "user_pref(\"network.proxy.http\", \"corp\");\n/* user_pref(\"network.proxy.type\", 2);"},
        {"a NUL byte, where the browser stops reading",
         "user_pref(\"a\", 1);\n" + Nul + "user_pref(\"network.proxy.type\", 2);\n"},
    };
    for (const RoundTripCase& c : cases) {
        std::vector<SavedEntry> saved = prefs::SaveEntries(c.before);
        std::string on = EnableProxy(c.before, 8080);
        EXPECT_EQ(std::string::npos, on.find("\r\r")) << c.what;
        EXPECT_TRUE(prefs::PointsAt(on, 8080)) << c.what;
        EXPECT_EQ(c.before, prefs::RestoreEntries(on, saved)) << c.what;
        // A restore run twice (EXIT after an untick) changes nothing more.
        EXPECT_EQ(c.before, prefs::RestoreEntries(c.before, saved)) << c.what;
        // A user.js held at the user's own values while the browser ran
        // comes back the same way.
        std::string held = prefs::RestoreEntries(on, prefs::HeldEntries(saved, {}));
        EXPECT_EQ(prefs::HeldEntries(saved, {}), prefs::SaveEntries(held)) << c.what;
        EXPECT_EQ(c.before, prefs::RestoreEntries(held, saved)) << c.what;
    }
}

struct ReadCase {
    const char* what;
    std::string text;
    // Each entry the browser takes: its name, then its value as taken.
    std::vector<std::string> entries;
};

// What the browser itself took from each of these texts (Firefox ESR, as a
// user.js), entry by entry.
TEST(ReadPrefs, ReadsWhatTheBrowserReads) {
    const ReadCase cases[] = {
        {"one entry", "user_pref(\"a\", 1);", {"a", "1"}},
        {"line comments and a block comment",
         "// user_pref(\"a\", 1);\n# user_pref(\"b\", 2);\n/* user_pref(\"c\", 3);\n*/"
         "user_pref(\"d\", 4);",
         {"d", "4"}},
        {"a commented-out alternative after the entry",
         "user_pref(\"network.proxy.type\", 0);\n// user_pref(\"network.proxy.type\", 1);\n",
         {"network.proxy.type", "0"}},
        {"a string holding an entry and comment marks",
         "user_pref(\"a\", \"x // user_pref(\\\"b\\\", 1); /*\");",
         {"a", "\"x // user_pref(\"b\", 1); /*\""}},
        {"escapes, single quotes and a quote of the other kind",
         "user_pref('a', 'it\\'s \\x41\\u00e9\\ud83d\\ude00\\n\"');",
         {"a", "\"it's A\xC3\xA9\xF0\x9F\x98\x80\n\"\""}},
        {"CR LF and a lone CR between entries",
         "user_pref(\"a\", 1);\r\nuser_pref(\"b\", true);\r",
         {"a", "1", "b", "true"}},
        {"a byte order mark", "\xEF\xBB\xBFuser_pref(\"a\", false);", {"a", "false"}},
        {"an unterminated comment hides the rest",
         "user_pref(\"a\", 1);\n/* user_pref(\"b\", 2);\n",
         {"a", "1"}},
        {"an entry without its ';' takes the next one with it",
         "user_pref(\"a\", 1)\nuser_pref(\"b\", 2);\nuser_pref(\"c\", 3);",
         {"c", "3"}},
        {"an unknown word does the same",
         "junk user_pref(\"b\", 2); user_pref(\"c\", 3);",
         {"c", "3"}},
        {"pref() and sticky_pref() are not read from a profile's files",
         "pref(\"a\", 1); sticky_pref(\"b\", 1); user_pref(\"c\", 3);",
         {"c", "3"}},
        {"blanks and comments between the parts",
         "user_pref ( \"a\" /* x */ , # y\n - 7 ) ;",
         {"a", "-7"}},
        {"signs and the limits of 32 bits",
         "user_pref(\"a\", +5); user_pref(\"b\", 2147483648); user_pref(\"c\", -2147483648);"
         "user_pref(\"d\", 4294967296);user_pref(\"e\", -0);",
         {"a", "5", "c", "-2147483648", "e", "0"}},
        {"a bad escape spoils its entry only",
         "user_pref(\"a\", \"x\\qy\"); user_pref(\"b\", \"\\x00\"); user_pref(\"c\", 1);",
         {"c", "1"}},
        {"a number run into a word", "user_pref(\"a\", 12ab); user_pref(\"b\", 1);", {"b", "1"}},
        {"locked and sticky are not for profiles",
         "user_pref(\"a\", 1, locked); user_pref(\"b\", 1);",
         {"b", "1"}},
        {"a NUL byte ends the reading",
         "user_pref(\"a\", 1);" + Nul + "user_pref(\"b\", 2);",
         {"a", "1"}},
        {"a NUL byte inside a string or comment does not, what follows is read anew",
         "user_pref(\"a\", \"" + Nul + "x\"); user_pref(\"b\", 2);\nuser_pref(\"c\", 3);\n// " +
             Nul + " user_pref(\"d\", 4);\nuser_pref(\"e\", 5);\nuser_pref(\"f\", 6);" + Nul +
             "user_pref(\"g\", 7);\n",
         {"e", "5", "f", "6"}},
        {"keywords are case-sensitive", "USER_PREF(\"a\", 1); user_pref(\"b\", TRUE);", {}},
    };
    for (const ReadCase& c : cases) {
        std::vector<std::string> read;
        for (const prefs::PrefEntry& entry : prefs::ReadPrefs(c.text).entries) {
            read.push_back(entry.name);
            read.push_back(entry.taken);
            // Each entry's places lie inside the text, the value as written
            // between them.
            EXPECT_LE(entry.end, c.text.size()) << c.what;
            EXPECT_EQ(c.text.substr(entry.valueStart, entry.valueEnd - entry.valueStart),
                      entry.value)
                << c.what;
            EXPECT_EQ(';', c.text[entry.end - 1]) << c.what;
        }
        EXPECT_EQ(c.entries, read) << c.what;
    }
}

TEST(ReadPrefs, EntriesAreAddedWhereTheBrowserStillReadsThem) {
    EXPECT_EQ(9u, prefs::ReadPrefs("// a\n# b\n").addAt);
    EXPECT_EQ(3u, prefs::ReadPrefs("a;\n/* open").addAt);
    EXPECT_EQ(1u, prefs::ReadPrefs("\nuser_pref(\"a\", 1)").addAt);
    EXPECT_EQ(1u, prefs::ReadPrefs("\n" + Nul + "user_pref(\"a\", 1);").addAt);
    EXPECT_EQ(0u, prefs::ReadPrefs("\"open").addAt);
}

TEST(HeldEntries, TheUserJsValueThenThePrefsJsValueThenTheBrowsersDefault) {
    std::vector<SavedEntry> held =
        prefs::HeldEntries(prefs::SaveEntries("user_pref(\"network.proxy.type\", 4);"),
                           prefs::SaveEntries("user_pref(\"network.proxy.type\", 1);\n"
                                              "user_pref(\"network.proxy.http\", \"corp\");"));
    ASSERT_EQ(prefs::ChangedPrefNames().size(), held.size());
    EXPECT_EQ((SavedEntry{"network.proxy.type", true, "4"}), held[0]);
    EXPECT_EQ((SavedEntry{"network.proxy.http", true, "\"corp\""}), held[1]);
    EXPECT_EQ((SavedEntry{"network.proxy.http_port", true, "0"}), held[2]);
    EXPECT_EQ((SavedEntry{"media.peerconnection.ice.proxy_only", true, "false"}), held[5]);
    EXPECT_EQ((SavedEntry{"network.dns.disablePrefetch", true, "false"}), held[6]);
}

TEST(RestoreEntries, SavedValuesAreTheEntriesAsWritten) {
    std::vector<SavedEntry> saved = prefs::SaveEntries(
        "user_pref(\"network.proxy.http\", \"h.example\");\nuser_pref(\"network.proxy.type\", 4);");
    ASSERT_EQ(prefs::ChangedPrefNames().size(), saved.size());
    EXPECT_EQ((SavedEntry{"network.proxy.type", true, "4"}), saved[0]);
    EXPECT_EQ((SavedEntry{"network.proxy.http", true, "\"h.example\""}), saved[1]);
    EXPECT_EQ((SavedEntry{"network.proxy.http_port", false, ""}), saved[2]);
}

TEST(RestoreEntries, AFileTheBrowserRewroteWhileOnKeepsItsOtherLines) {
    // The browser writes its file anew, one entry a line, sorted, when it
    // exits; the user's values are put back where its entries now stand.
    std::vector<SavedEntry> saved =
        prefs::SaveEntries("user_pref(\"network.proxy.type\", 0);\n" + Homepage);
    std::string rewritten = Homepage + Host + "\n" + Port8080 + "\n" + SslHost + "\n" +
                            SslPort8080 + "\n" + Type1 + "\nuser_pref(\"z\", 2);\n";
    EXPECT_EQ(Homepage + "user_pref(\"network.proxy.type\", 0);\nuser_pref(\"z\", 2);\n",
              prefs::RestoreEntries(rewritten, saved));
}

TEST(SavedFiles, AnEmptyValueStaysApartFromNoneAndACutRecordIsNone) {
    MemorySettingsBackend backend;
    const std::vector<std::string> names = {"Use HTTP", "HTTP Server"};
    std::vector<SavedFile> files = {
        {"C:\\A\\Opera6.ini", {{"Use HTTP", true, ""}, {"HTTP Server", false, ""}}}};
    ASSERT_TRUE(SaveFiles(SavedOperaIniKey, files, backend));
    std::vector<SavedFile> loaded;
    ASSERT_TRUE(LoadSavedFiles(SavedOperaIniKey, names, loaded, backend));
    ASSERT_NE(nullptr, FindSavedFile(loaded, "c:\\a\\opera6.INI"));
    EXPECT_EQ(files[0].entries, loaded[0].entries);
    // A crash before the count was written leaves no record at all.
    ASSERT_TRUE(backend.DeleteKey(SettingsRoot::CurrentUser, SavedOperaIniKey));
    ASSERT_TRUE(backend.WriteText(SettingsRoot::CurrentUser, SavedOperaIniKey, "File0", "x"));
    EXPECT_FALSE(LoadSavedFiles(SavedOperaIniKey, names, loaded, backend));
    ASSERT_TRUE(SaveFiles(SavedOperaIniKey, {}, backend));
    EXPECT_FALSE(backend.KeyExists(SettingsRoot::CurrentUser, SavedOperaIniKey));
}

TEST(PointsAt, OnlyTheLoopbackHostPortAndType1) {
    std::string on = EnableProxy(Homepage, 8080);
    EXPECT_TRUE(prefs::PointsAt(on, 8080));
    EXPECT_FALSE(prefs::PointsAt(on, 8081));
    EXPECT_FALSE(prefs::PointsAt(DisableProxy(on), 8080));
    EXPECT_FALSE(prefs::PointsAt(Homepage, 8080));
}

TEST(TextMode, CrLfPairsReadAsLfAndLfWritesAsCrLf) {
    EXPECT_EQ("a\nb\rc\r\nd", base::FromTextMode("a\r\nb\rc\r\r\nd"));
    EXPECT_EQ("a\r\nb\r\r\n", base::ToTextMode("a\nb\r\n"));
    // The prefs edits do not go through text mode: a fragment reaches the
    // disk as it is, with the file's own line end.
    EXPECT_EQ("\n", prefs::LineEndOf("a\nb\r\n"));
    EXPECT_EQ("\r\n", prefs::LineEndOf("a\r\nb\n"));
    EXPECT_EQ("\r\n", prefs::LineEndOf("a"));
    EXPECT_EQ("\n" + std::string(prefs::HostKey), prefs::HostFragment("\n").substr(0, 31));
}

}  // namespace

namespace {

bool Reads(const std::vector<SavedEntry>& entries, const std::string& name) {
    for (const SavedEntry& entry : entries) {
        if (entry.name == name)
            return entry.present;
    }
    return false;
}

// Texts stitched from pieces of real entries, comments and damaged ones
// included: the edits must stay inside the text (the sanitizers watch), the
// browser must read an enabled text as pointing at the engine whatever it
// held, and a restore must leave it no type, port or WebRTC entry to read.
TEST(PrefsEdits, StitchedAndDamagedTextsStayWellFormedEnough) {
    const char* pieces[] = {
        prefs::HostKey,
        prefs::PortKey,
        prefs::TypeKey,
        prefs::SslHostKey,
        prefs::SslPortKey,
        prefs::ProxyOnlyKey,
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
        "//",
        "/*",
        "*/",
        "#",
        "'",
        "\\",
        ";",
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
        EXPECT_TRUE(prefs::PointsAt(enabled, 8080)) << text;
        std::string restored = prefs::DisableProxy(enabled);
        std::vector<SavedEntry> left = prefs::ObeyedEntries(restored);
        for (const char* name : {"network.proxy.type", "network.proxy.http_port",
                                 "media.peerconnection.ice.proxy_only"})
            EXPECT_FALSE(Reads(left, name)) << name << " in " << restored;
        EXPECT_LE(restored.size(), enabled.size());
    }
}

}  // namespace
