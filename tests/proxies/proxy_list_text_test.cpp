// The one reader of every proxy list format: each format, each line it must
// pass over, the union without repeats and the cut at the limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "proxies/proxy_list_text.h"

namespace {

using net::ProxyType;

std::vector<std::string> Texts(const ParsedProxyList& list) {
    std::vector<std::string> texts;
    for (const ListedProxy& listed : list.proxies)
        texts.push_back(listed.text);
    return texts;
}

struct FormatCase {
    const char* name;
    const char* bytes;
    ProxyType defaultType;
    std::vector<std::string> texts;  // the selector's texts, in order
    size_t skipped;
    size_t duplicates;
};

TEST(ProxyListTextTest, EveryFormatAndEveryLineItPassesOver) {
    const FormatCase cases[] = {
        {"maker's reply as it always was",
         "1.1.1.1:80->US <supports POST><br />\r\nnull<br />x",
         ProxyType::Http,
         {"1.1.1.1:80->US <supports POST>"},
         0,
         0},
        {"maker's reply keeps its pieces whole",
         "<br />\r\n2.2.2.2:81->B<br />2.2.2.2:81->C<br />",
         ProxyType::Http,
         {"", "\r\n2.2.2.2:81->B"},
         0,
         1},
        {"host:port lines, CR LF, comments, blanks and a byte-order mark",
         "\xEF\xBB\xBF# a list\r\n1.1.1.1:80\r\n\r\n  2.2.2.2:3128  \r\n# end\r\n",
         ProxyType::Http,
         {"1.1.1.1:80", "2.2.2.2:3128"},
         0,
         0},
        {"a source's default type for lines without one",
         "1.1.1.1:1080\nhttp://2.2.2.2:80\n",
         ProxyType::Socks5,
         {"socks5://1.1.1.1:1080", "2.2.2.2:80"},
         0,
         0},
        {"schemes with and without credentials",
         "socks4://1.1.1.1:1080\nsocks5h://u:p@2.2.2.2:1080\nhttps://3.3.3.3:443\n",
         ProxyType::Http,
         {"socks4://1.1.1.1:1080", "socks5://u@2.2.2.2:1080", "3.3.3.3:443"},
         0,
         0},
        {"host:port:user:password",
         "1.1.1.1:8080:ann:secret\n",
         ProxyType::Http,
         {"http://ann@1.1.1.1:8080"},
         0,
         0},
        {"trailing fields: country, anonymity and type",
         "1.1.1.1:80 DE elite\n2.2.2.2:1080,United States,anonymous,socks5\n"
         "3.3.3.3:80\tKorea (South)\tyes\n4.4.4.4:80;12;transparent\n",
         ProxyType::Http,
         {"1.1.1.1:80->DE", "socks5://2.2.2.2:1080->United States", "3.3.3.3:80->Korea (South)",
          "4.4.4.4:80"},
         0,
         0},
        {"CSV with the port in a column of its own, header passed over",
         "ip,port,country\n1.1.1.1,8080,FR\n",
         ProxyType::Http,
         {"1.1.1.1:8080->FR"},
         1,
         0},
        {"IPv6 in brackets",
         "[2001:db8::1]:8080\nsocks5://[::1]:1080\n",
         ProxyType::Http,
         {"[2001:db8::1]:8080", "socks5://[::1]:1080"},
         0,
         0},
        {"lines that name no usable proxy",
         "1.1.1.1\n1.1.1.1:0\n1.1.1.1:65536\nftp://1.1.1.1:21\n:80\na b c\n"
         "<html>\n[::1]\n12:30 2155ms\nu:123@x\n1.1.1.1:80\n",
         ProxyType::Http,
         {"1.1.1.1:80"},
         10,
         0},
        {"fields after a '|', a country after a third colon, four fields with credentials",
         "1.2.3.4:1080|United Kingdom|England|London\n2.2.2.2:3128:United States\n"
         "3.3.3.3:80:T\xC3\xBCrkiye\n4.4.4.4:8080:ann:secret|DE\n5.5.5.5:80:x\n",
         ProxyType::Http,
         {"1.2.3.4:1080->United Kingdom", "2.2.2.2:3128->United States",
          "3.3.3.3:80->T\xC3\xBCrkiye", "http://ann@4.4.4.4:8080->DE", "5.5.5.5:80"},
         0,
         0},
        {"text before the address: a flag, a time, a name",
         "\xF0\x9F\x87\xAE\xF0\x9F\x87\xA9 1.2.3.4:4153 2155ms ID [ISP name]\n"
         "12:30 socks5://u:p@2.2.2.2:1080 DE\n"
         "proxy=[2001:db8::1]:8080 elite\nseen 3.3.3.3:3128, FR, socks4\n",
         ProxyType::Http,
         {"1.2.3.4:4153->ID", "socks5://u@2.2.2.2:1080->DE", "[2001:db8::1]:8080",
          "socks4://3.3.3.3:3128->FR"},
         0,
         0},
        {"repeats: same type, host (any case) and port; another type is another proxy",
         "h.example:80\nH.EXAMPLE:80\nhttp://h.example:80->X\nsocks5://h.example:80\n"
         "h.example:80:u:p\n",
         ProxyType::Http,
         {"h.example:80", "socks5://h.example:80"},
         0,
         3},
        {"JSON array of objects",
         R"([{"ip":"1.1.1.1","port":8080,"protocol":"http","country":"DE"},
             {"host":"2.2.2.2","port":"1080","type":"SOCKS5"},
             {"ip":"3.3.3.3","port":1080,"protocols":["socks4","socks5"]},
             {"ip":"4.4.4.4","port":3128},
             {"ip":"5.5.5.5","port":0}, {"ip":"6.6.6.6"}, 7, "x",
             {"ip":"7.7.7.7:8888->DE"}, {"ip":"8.8.8.8->DE","port":80},
             {"ip":"2001:db8::2","port":80},
             {"ip":"1.1.1.1","port":8080,"type":"https"}])",
         ProxyType::Socks4,
         {"1.1.1.1:8080->DE", "socks5://2.2.2.2:1080", "socks4://3.3.3.3:1080",
          "socks5://3.3.3.3:1080", "socks4://4.4.4.4:3128", "socks4://[2001:db8::2]:80"},
         6,
         1},
        {"JSON object holding the array under \"data\"",
         R"({"data":[{"ip":"1.1.1.1","port":"80","protocols":["http"]}],"total":1})",
         ProxyType::Http,
         {"1.1.1.1:80"},
         0,
         0},
        {"an object's other members and nested arrays are not items; \"data\" comes first",
         R"({"meta":{"pages":[{"ip":"9.9.9.9","port":1}]},"proxies":[{"ip":"8.8.8.8","port":8}],
             "data":[{"ip":"1.1.1.1","port":80,"protocols":["http"]},[{"ip":"2.2.2.2"}]]})",
         ProxyType::Http,
         {"1.1.1.1:80"},
         1,
         0},
        {"JSON whose \"data\" is no array is read as lines",
         R"({"data":{"ip":"1.1.1.1","port":80}})",
         ProxyType::Http,
         {},
         1,
         0},
        {"JSON that breaks after whole items gives none of them",
         "[{\"ip\":\"3.3.3.3\",\"port\":80},\n{\"ip\":\"1.1.1.1\",\n1.1.1.1:80\n",
         ProxyType::Http,
         {"1.1.1.1:80"},
         2,
         0},
        {"broken JSON is read as lines, and counted",
         "[{\"ip\":\"1.1.1.1\",\n1.1.1.1:80\n",
         ProxyType::Http,
         {"1.1.1.1:80"},
         1,
         0},
        {"nothing at all", "", ProxyType::Http, {}, 0, 0},
    };
    for (const FormatCase& c : cases) {
        ParsedProxyList list = ParseProxyListText(c.bytes, c.defaultType);
        EXPECT_EQ(c.texts, Texts(list)) << c.name;
        EXPECT_EQ(c.skipped, list.skipped) << c.name;
        EXPECT_EQ(c.duplicates, list.duplicates) << c.name;
        EXPECT_FALSE(list.cut) << c.name;
    }
}

TEST(ProxyListTextTest, CredentialsAreCarriedButNeverShown) {
    ParsedProxyList list = ParseProxyListText("1.1.1.1:8080:ann:s3cret\n");
    ASSERT_EQ(1u, list.proxies.size());
    EXPECT_EQ("ann", list.proxies[0].proxy.userName);
    EXPECT_EQ("s3cret", list.proxies[0].proxy.password);
    EXPECT_EQ(std::string::npos, list.proxies[0].text.find("s3cret"));
}

TEST(ProxyListTextTest, MakersPostMarkerChoosesTheSecondImage) {
    ParsedProxyList list =
        ParseProxyListText("1.1.1.1:80->US <supports POST><br />2.2.2.2:80<br />");
    ASSERT_EQ(2u, list.proxies.size());
    EXPECT_EQ(1, list.proxies[0].image);
    EXPECT_EQ(0, list.proxies[1].image);
}

TEST(ProxyListTextTest, ASourceIsCutAtTheLimit) {
    std::string bytes;
    for (size_t i = 0; i < MaxListedProxies + 5; ++i)
        bytes += "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                 std::to_string(i % 256) + ":8080\n";
    ParsedProxyList list = ParseProxyListText(bytes);
    EXPECT_TRUE(list.cut);
    EXPECT_EQ(MaxListedProxies, list.proxies.size());
    EXPECT_EQ("10.1.134.159:8080", list.proxies.back().text);
}

TEST(ProxyListTextTest, TheUnionKeepsSourceOrderAndCutsAtItsLimit) {
    ProxyUnion all(3);
    for (const char* bytes : {"1.1.1.1:80\n2.2.2.2:80\n", "2.2.2.2:80\n3.3.3.3:80\n4.4.4.4:80\n"})
        for (const ListedProxy& listed : ParseProxyListText(bytes).proxies)
            all.Add(listed);
    std::vector<std::string> texts;
    for (const ListedProxy& listed : all.Proxies())
        texts.push_back(listed.text);
    EXPECT_EQ((std::vector<std::string>{"1.1.1.1:80", "2.2.2.2:80", "3.3.3.3:80"}), texts);
    EXPECT_TRUE(all.Cut());
}

}  // namespace
