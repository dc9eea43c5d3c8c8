// RegistryKey against the real registry of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include "registry_test_support.h"
#include "settings/registry_key_win.h"

namespace {

using namespace testing_support;

const char TestKey[] = "Software\\VeilgateTest\\RegistryKey";

class RegistryKeyTest : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VeilgateTest"); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VeilgateTest"); }

    void Put(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_TRUE(WriteValue(HKEY_CURRENT_USER, TestKey, name, type, data, size));
    }
};

TEST_F(RegistryKeyTest, OpenCreatesTheKey) {
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, TestKey));
    RegistryKey key(HKEY_CURRENT_USER, TestKey, KEY_READ);
    ASSERT_EQ(ERROR_SUCCESS, key.Open());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TestKey));
    std::string text = "untouched";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.ReadText("Missing", text));
    EXPECT_EQ("untouched", text);
    key.Close();
}

TEST_F(RegistryKeyTest, ReadsTextAndExpandableTextUnexpanded) {
    Put("Plain", REG_SZ, "C:\\Program Files\\Opera", 23);
    Put("Expand", REG_EXPAND_SZ, "%ProgramFiles%\\Opera", 21);
    RegistryKey key(HKEY_CURRENT_USER, TestKey, KEY_READ);
    ASSERT_EQ(ERROR_SUCCESS, key.Open());
    std::string text;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadText("Plain", text));
    EXPECT_EQ("C:\\Program Files\\Opera", text);
    EXPECT_EQ(ERROR_SUCCESS, key.ReadText("Expand", text));
    EXPECT_EQ("%ProgramFiles%\\Opera", text);
}

TEST_F(RegistryKeyTest, IntegerValueIsNotText) {
    DWORD number = 5;
    Put("Number", REG_DWORD, &number, sizeof(number));
    RegistryKey key(HKEY_CURRENT_USER, TestKey, KEY_READ);
    ASSERT_EQ(ERROR_SUCCESS, key.Open());
    std::string text = "untouched";
    EXPECT_EQ(1012, key.ReadText("Number", text));
    EXPECT_EQ("untouched", text);
}

TEST_F(RegistryKeyTest, OverlongKeyPathIsRefused) {
    std::string longest = std::string("Software\\VeilgateTest\\") + std::string(105, 'k');
    ASSERT_EQ(127u, longest.size());
    EXPECT_EQ(ERROR_SUCCESS, RegistryKey(HKEY_CURRENT_USER, longest, KEY_READ).Open());
    std::string tooLong = longest + "k";
    EXPECT_NE(ERROR_SUCCESS, RegistryKey(HKEY_CURRENT_USER, tooLong, KEY_READ).Open());
}

}  // namespace
