#include <gtest/gtest.h>

#include "engine/authorization.h"
#include "engine/upstream_settings.h"

namespace {

TEST(Base64Encode, PaddingFollowsTheLastGroup) {
    EXPECT_EQ("", Base64Encode(""));
    EXPECT_EQ("Zg==", Base64Encode("f"));
    EXPECT_EQ("Zm8=", Base64Encode("fo"));
    EXPECT_EQ("Zm9v", Base64Encode("foo"));
    EXPECT_EQ("Zm9vYg==", Base64Encode("foob"));
    EXPECT_EQ("Zm9vYmE=", Base64Encode("fooba"));
    EXPECT_EQ("Zm9vYmFy", Base64Encode("foobar"));
}

TEST(Base64Encode, BytesAreUnsigned) {
    EXPECT_EQ("/w==", Base64Encode("\xff"));
    EXPECT_EQ("gICA", Base64Encode("\x80\x80\x80"));
    EXPECT_EQ("6Q==", Base64Encode("\xe9"));  // an accented letter in the ANSI code page
}

TEST(Base64Encode, LongInputIsOneUnbrokenToken) {
    std::string credentials(100, 'u');
    std::string encoded = Base64Encode(credentials);
    EXPECT_EQ(136u, encoded.size());
    EXPECT_EQ(std::string::npos, encoded.find_first_of("\r\n"));
}

TEST(AuthorizationLine, CredentialLengthsGiveThePaddingOfRfc4648) {
    auto token = [](const std::string& user, const std::string& password) {
        std::string line = MakeAuthorizationLine(user, password);
        return line.substr(27, line.size() - 29);
    };
    // "a:" is two bytes: three characters and one "=".
    EXPECT_EQ("Proxy-Authorization: Basic YTo=\r\n", MakeAuthorizationLine("a", ""));
    EXPECT_EQ("YTpi", token("a", "b"));        // 3 bytes
    EXPECT_EQ("YWI6Yw==", token("ab", "c"));   // 4 bytes
    EXPECT_EQ("YWI6Y2Q=", token("ab", "cd"));  // 5 bytes
}

TEST(UpstreamSettings, LineIsPreparedOnlyForAProxyWithAUserName) {
    UpstreamSettings with = MakeUpstreamSettings(
        1, net::ProxyAddress("10.0.0.1", 3128, net::ProxyType::Http, "user", "pass"));
    EXPECT_EQ(1, with.authorizationFlag);
    EXPECT_EQ("Proxy-Authorization: Basic dXNlcjpwYXNz\r\n", with.authorizationLine);

    UpstreamSettings direct = MakeUpstreamSettings(
        0, net::ProxyAddress("10.0.0.1", 3128, net::ProxyType::Http, "user", "pass"));
    EXPECT_EQ(0, direct.authorizationFlag);
    EXPECT_EQ("", direct.authorizationLine);

    UpstreamSettings anonymous = MakeUpstreamSettings(1, net::ProxyAddress("10.0.0.2", 8080));
    EXPECT_EQ(0, anonymous.authorizationFlag);
    EXPECT_EQ("", anonymous.authorizationLine);
}

}  // namespace
