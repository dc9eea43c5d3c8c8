// The prefs.js edits on literal file texts.
#include <gtest/gtest.h>

#include <cstdint>

#include "base/text_mode.h"
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

// The same text with LF line ends, as a file written with them gets its
// appended entries.
std::string Lf(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

TEST(PrefsKeys, LengthsAndOffsetsMatchTheBrowsersLayout) {
    EXPECT_EQ(30u, std::string(prefs::HostKey).size());
    EXPECT_EQ(35u, std::string(prefs::PortKey).size());
    EXPECT_EQ(30u, std::string(prefs::TypeKey).size());
    EXPECT_EQ(prefs::TypeEntryLength, Type1.size());
    EXPECT_EQ('1', Type1[prefs::TypeValueOffset]);
    EXPECT_EQ('1', Host[prefs::HostValueOffset]);
    EXPECT_EQ('8', Port8080[prefs::PortValueOffset]);
    EXPECT_EQ("127.0.0.1\");", SslHost.substr(prefs::SslHostValueOffset));
    EXPECT_EQ("8080);", SslPort8080.substr(prefs::SslPortValueOffset));
    EXPECT_EQ("true);", ProxyOnly.substr(prefs::ProxyOnlyValueOffset));
    EXPECT_EQ("true);", PrefetchOff.substr(prefs::DnsPrefetchOffValueOffset));
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
        {"a file with CR LF line ends gets CR LF, never CR CR LF", "a\r\n", 8080,
         "a\r\n" + All8080},
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
        {"damaged host without closing text: inserted without deleting",
         "user_pref(\"network.proxy.http\", \"old", 8080,
         "user_pref(\"network.proxy.http\", \"127.0.0.1old\r\n" + Port8080 + "\r\n" + Type1 +
             SecureAndWebRtc8080},
        {"a key at the very end: the value position lies past the text",
         "user_pref(\"network.proxy.ssl_port\"", 8080,
         "user_pref(\"network.proxy.ssl_port\"8080\r\n" + Host + "\r\n" + Port8080 + "\r\n" +
             Type1 + "\r\n" + SslHost + "\r\n" + WebRtcAndPrefetch},
        {"a type key at the very end: its value stays inside the file, not in the fragments",
         "user_pref(\"network.proxy.http\", \"h\");\nuser_pref(\"network.proxy.type\"", 8080,
         Host + "\nuser_pref(\"network.proxy.type\"1" +
             Lf("\r\n" + Port8080 + SecureAndWebRtc8080)},
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
         EnableProxy("a\r\n", 8080),
         "a\r\n\r\n" + Host + "\r\n\r\n\r\n" + SslHost + "\r\n\r\n\r\n"},
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
        {"a port entry on the last line without line feed stays", Type1 + "\n" + SslPort8080,
         "\n" + SslPort8080},
        {"a short type entry at the end is removed to the end",
         "x\nuser_pref(\"network.proxy.type\", 1", "x\n"},
        {"a WebRTC entry without its closing text goes to its line's end",
         "user_pref(\"media.peerconnection.ice.proxy_only\", tr\nuser_pref(\"b\", 1);\n",
         "\nuser_pref(\"b\", 1);\n"},
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

size_t Occurrences(const std::string& text, const char* key) {
    size_t found = 0;
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1))
        ++found;
    return found;
}

// Texts stitched from pieces of real entries, damaged ones included: the
// edits must stay inside the text (the sanitizers watch), an enable always
// leaves a type entry behind and a restore always takes one away, and the
// WebRTC entry with it.
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
        EXPECT_EQ(0u, Occurrences(restored, prefs::ProxyOnlyKey)) << enabled;
        EXPECT_LE(restored.size(), enabled.size());
    }
}

}  // namespace
