// The reply parsing, the error-log line and what a download leaves on disk.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "proxies/proxy_list_reply.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "temp_folder.h"

namespace {

using testing_support::TempFolder;

std::vector<std::string> Texts(const std::vector<SelectorItem>& items) {
    std::vector<std::string> texts;
    for (const SelectorItem& item : items)
        texts.push_back(item.text);
    return texts;
}

std::vector<int> Images(const std::vector<SelectorItem>& items) {
    std::vector<int> images;
    for (const SelectorItem& item : items)
        images.push_back(item.image);
    return images;
}

TEST(ProxyListReplyTest, PiecesBeforeSeparatorsWithoutNull) {
    auto items = ParseProxyListReply("1.1.1.1:80->A<br />nullproxy<br />2.2.2.2:81->B<br />");
    EXPECT_EQ((std::vector<std::string>{"1.1.1.1:80->A", "2.2.2.2:81->B"}), Texts(items));

    // Text after the last separator is no item; no separator, no items.
    EXPECT_EQ(std::vector<std::string>{"a"}, Texts(ParseProxyListReply("a<br />b")));
    EXPECT_TRUE(ParseProxyListReply("1.1.1.1:80->A").empty());
    EXPECT_TRUE(ParseProxyListReply("").empty());

    // A leading separator gives an empty first item; "null" is case-sensitive
    // and counts anywhere in the piece.
    EXPECT_EQ((std::vector<std::string>{"", "NULL", ""}),
              Texts(ParseProxyListReply("<br />NULL<br />x:1->Annulla<br /><br />")));
    // "<br>" and "<br/>" are not separators.
    EXPECT_EQ(std::vector<std::string>{"a<br>b<br/>c"},
              Texts(ParseProxyListReply("a<br>b<br/>c<br />")));
}

TEST(ProxyListReplyTest, LineBreaksStayInThePieces) {
    auto items = ParseProxyListReply("1.1.1.1:80->A<br />\r\n2.2.2.2:81->B<br />\r\n");
    EXPECT_EQ((std::vector<std::string>{"1.1.1.1:80->A", "\r\n2.2.2.2:81->B"}), Texts(items));
}

TEST(ProxyListReplyTest, PostMarkerAfterTheFirstCharacterChoosesImageOne) {
    auto items = ParseProxyListReply(
        "1.1.1.1:80->US <supports POST><br />"
        "2.2.2.2:80->DE<br />"
        "<supports POST>3.3.3.3:80<br />"
        "x<supports POST><br />"
        "4.4.4.4:80->US <supports post><br />");
    EXPECT_EQ((std::vector<int>{1, 0, 0, 1, 0}), Images(items));
    EXPECT_EQ("1.1.1.1:80->US <supports POST>", items[0].text) << "the marker stays in the text";
}

TEST(ErrorLogLineTest, UnpaddedDateAndTimeThenTwoTabbedTexts) {
    std::tm when{};
    when.tm_mday = 5;
    when.tm_mon = 2;  // March
    when.tm_year = 2026 - 1900;
    when.tm_hour = 7;
    when.tm_min = 4;
    when.tm_sec = 9;
    EXPECT_EQ("5/3/2026 7:4:9\tCannot connect to server\tVG is unable to contact the proxy list",
              ErrorLogLine(when));
    when.tm_mday = 31;
    when.tm_mon = 11;
    when.tm_hour = 23;
    when.tm_min = 59;
    when.tm_sec = 58;
    EXPECT_EQ(
        "31/12/2026 23:59:58\tCannot connect to server\tVG is unable to contact the proxy list",
        ErrorLogLine(when));
}

class KeepReplyTest : public testing::Test {
protected:
    void SetUp() override {
        when_.tm_mday = 8;
        when_.tm_mon = 11;
        when_.tm_year = 126;
        when_.tm_hour = 21;
    }
    void TearDown() override { RegDwordValue(setting::ErrLogging, 0, true).Set(0); }

    TempFolder data_;
    TempFolder log_;
    std::tm when_{};
};

TEST_F(KeepReplyTest, ReplyIsWrittenWithEveryLineFeedAsCrLf) {
    // The reply already carries CR LF, so its lines end in CR CR LF on disk.
    ASSERT_TRUE(KeepProxyListReply(true, "A\r\nB", data_.Folder(), log_.Folder(), when_));
    EXPECT_EQ("A\r\r\nB", data_.Read("proxylist.txt"));
    ASSERT_TRUE(KeepProxyListReply(true, "C<br />", data_.Folder(), log_.Folder(), when_));
    EXPECT_EQ("C<br />", data_.Read("proxylist.txt"));
    EXPECT_EQ(0, log_.FileCount());
}

TEST_F(KeepReplyTest, EmptyReplyKeepsTheOldCopyAndLogsOnlyWhenAskedTo) {
    data_.Write("proxylist.txt", "old");
    RegDwordValue(setting::ErrLogging, 0, true).Set(2);  // on only when exactly 1
    ASSERT_TRUE(KeepProxyListReply(false, "", data_.Folder(), log_.Folder(), when_));
    EXPECT_EQ("old", data_.Read("proxylist.txt"));
    EXPECT_EQ(0, log_.FileCount());

    RegDwordValue(setting::ErrLogging, 0, true).Set(1);
    ASSERT_TRUE(KeepProxyListReply(false, "", data_.Folder(), log_.Folder(), when_));
    ASSERT_TRUE(KeepProxyListReply(false, "", data_.Folder(), log_.Folder(), when_));
    EXPECT_EQ("old", data_.Read("proxylist.txt"));
    std::string line = ErrorLogLine(when_) + "\r\n";
    EXPECT_EQ(line + line, log_.Read(ErrorLogFile));
}

TEST_F(KeepReplyTest, EmptySuccessfulReplyIsNoFailure) {
    RegDwordValue(setting::ErrLogging, 0, true).Set(1);
    ASSERT_TRUE(KeepProxyListReply(true, "", data_.Folder(), log_.Folder(), when_));
    EXPECT_EQ(0, log_.FileCount());
    EXPECT_FALSE(data_.Exists("proxylist.txt"));
}

TEST_F(KeepReplyTest, UnwritableCopyIsReportedWithItsName) {
    std::string error;
    std::string missing = data_.File("gone") + "/";
    EXPECT_FALSE(KeepProxyListReply(true, "A", missing, log_.Folder(), when_, &error));
    EXPECT_NE(std::string::npos, error.find("proxylist.txt")) << error;
}

}  // namespace
