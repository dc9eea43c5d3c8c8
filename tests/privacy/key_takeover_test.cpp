// The key take-over in the test prefix's real registry: SIDs and their text,
// the owner list, applying it over a tree, and the cleaner's sequence on the
// user's protected-storage key.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "privacy/key_takeover_win.h"
#include "registry_test_support.h"

namespace {

using namespace testing_support;

constexpr char TestRoot[] = "Software\\VeilgateTest\\KeyTakeover";
constexpr char ProtectedStorage[] = "Software\\Microsoft\\Protected Storage System Provider\\";
constexpr char Autocomplete[] = "\\Data\\e161255a-37c3-11d2-bcaa-00c04fd929db";
// Everyone may read, the system may do anything: a list no code of ours makes.
constexpr char DistinctiveDacl[] = "D:(A;;KR;;;WD)(A;;KA;;;SY)";

class KeyTakeover : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GetCurrentUserSid(sid_));
        ASSERT_TRUE(BuildOwnerDacl(sid_.get(), owner_, dacl_));
        std::string sidText;
        SidToText(sid_.get(), sidText);
        sidKey_ += sidText;
        ForceDeleteTree(HKEY_CURRENT_USER, TestRoot);
        ForceDeleteTree(HKEY_CURRENT_USER, sidKey_);
    }
    void TearDown() override {
        ForceDeleteTree(HKEY_CURRENT_USER, TestRoot);
        ForceDeleteTree(HKEY_CURRENT_USER, sidKey_);
    }
    // The owner list as applied to a key, for comparison with what keys hold.
    KeyDacl OwnerDaclAsApplied() {
        const std::string probe = std::string(TestRoot) + "\\Probe";
        CreateKey(HKEY_CURRENT_USER, probe);
        if (!ApplyKeyDacl(HKEY_CURRENT_USER, probe, &owner_, false))
            return KeyDacl();
        KeyDacl applied = ReadKeyDacl(HKEY_CURRENT_USER, probe);
        ForceDeleteTree(HKEY_CURRENT_USER, probe);
        return applied;
    }

    std::string sidKey_ = ProtectedStorage;  // never empty, whatever SetUp got to
    HeapBlock sid_, dacl_;
    SECURITY_DESCRIPTOR owner_;  // the owner list
};

TEST(SidText, TheAuthorityAndEverySubAuthorityInDecimal) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    alignas(8) BYTE buffer[SECURITY_MAX_SID_SIZE] = {};
    ASSERT_TRUE(InitializeSid(buffer, &nt, 3));
    *GetSidSubAuthority(buffer, 0) = 21;
    *GetSidSubAuthority(buffer, 1) = 7;
    *GetSidSubAuthority(buffer, 2) = 1003;
    std::string text;
    SidToText(buffer, text);
    EXPECT_EQ(text, "S-1-5-21-7-1003");

    *GetSidSubAuthority(buffer, 2) = 4294967295u;
    SidToText(buffer, text);
    EXPECT_EQ(text, "S-1-5-21-7-4294967295") << "sub-authorities are unsigned";

    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;  // 1
    ASSERT_TRUE(InitializeSid(buffer, &world, 0));
    SidToText(buffer, text);
    EXPECT_EQ(text, "S-1-1") << "no sub-authority: the authority alone";
}

// The fixture's SetUp has the user's SID and the owner list built.
TEST_F(KeyTakeover, TheCurrentUserSidIsACopyOfTheProcessUser) {
    ASSERT_TRUE(IsValidSid(sid_.get()));
    char user[256];
    DWORD userSize = sizeof(user);
    char domain[256];
    DWORD domainSize = sizeof(domain);
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountSidA(nullptr, sid_.get(), user, &userSize, domain, &domainSize, &use));
    char expected[256];
    DWORD expectedSize = sizeof(expected);
    ASSERT_TRUE(GetUserNameA(expected, &expectedSize));
    EXPECT_STREQ(user, expected);
}

TEST_F(KeyTakeover, TheOwnerListGrantsFullInheritedControlToTheUserAndThenTheSystem) {
    ASSERT_TRUE(dacl_);
    EXPECT_TRUE(IsValidSecurityDescriptor(&owner_));

    BOOL present = FALSE, defaulted = TRUE;
    PACL list = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(&owner_, &present, &list, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    EXPECT_EQ(list, dacl_.get());

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    alignas(8) BYTE system[SECURITY_MAX_SID_SIZE] = {};
    InitializeSid(system, &nt, 1);
    *GetSidSubAuthority(system, 0) = SECURITY_LOCAL_SYSTEM_RID;
    EXPECT_EQ(list->AclSize, GetLengthSid(sid_.get()) + GetLengthSid(system) + 24);
    ASSERT_EQ(list->AceCount, 2);
    PSID expected[2] = {sid_.get(), system};
    for (DWORD i = 0; i < 2; ++i) {
        void* raw = nullptr;
        ASSERT_TRUE(GetAce(list, i, &raw));
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        EXPECT_EQ(ace->Header.AceSize, 8 + GetLengthSid(expected[i]));
        EXPECT_EQ(ace->Mask, static_cast<DWORD>(KEY_ALL_ACCESS));
        EXPECT_TRUE(EqualSid(&ace->SidStart, expected[i])) << "entry " << i;
    }
}

TEST_F(KeyTakeover, SaveKeyDaclReadsTheListOrAnswersFalseForAMissingKey) {
    HeapBlock saved;
    EXPECT_FALSE(SaveKeyDacl(HKEY_CURRENT_USER, std::string(TestRoot) + "\\Missing", saved));
    EXPECT_FALSE(saved);

    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, TestRoot));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, TestRoot, DistinctiveDacl));
    KeyDacl before = ReadKeyDacl(HKEY_CURRENT_USER, TestRoot);
    ASSERT_TRUE(SaveKeyDacl(HKEY_CURRENT_USER, TestRoot, saved));
    ASSERT_TRUE(saved);

    // The saved list, put on another key, is the same list.
    const std::string other = std::string(TestRoot) + "\\Other";
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, other));
    ASSERT_TRUE(ApplyKeyDacl(HKEY_CURRENT_USER, other, saved.get(), false));
    EXPECT_EQ(ReadKeyDacl(HKEY_CURRENT_USER, other).aces, before.aces);
}

TEST_F(KeyTakeover, ARecursiveApplyReachesEveryKeyOfAThreeLevelTree) {
    const std::string top = TestRoot;
    const std::string keys[] = {top, top + "\\A", top + "\\A\\B", top + "\\A\\B\\C", top + "\\A2"};
    for (const std::string& key : keys)
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, key));
    // Lock every key, deepest first: only the owner's implicit right to
    // change the list is left, so a child can be reached only after its
    // parent has been given the new list.
    for (int i = 4; i >= 0; --i)
        ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, keys[i], "D:"));
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, top)) << "the lock must hold for the order to show";

    EXPECT_TRUE(ApplyKeyDacl(HKEY_CURRENT_USER, top, &owner_, true));

    KeyDacl expected = OwnerDaclAsApplied();
    ASSERT_TRUE(expected.present);
    ASSERT_EQ(expected.aces.size(), 2u);
    for (const std::string& key : keys) {
        KeyDacl got = ReadKeyDacl(HKEY_CURRENT_USER, key);
        EXPECT_TRUE(got.present) << key;
        EXPECT_EQ(got.aces, expected.aces) << key;
    }
}

TEST_F(KeyTakeover, APlainApplyLeavesSubkeysAndAMissingOrEmptyPathAnswersFalse) {
    const std::string child = std::string(TestRoot) + "\\Child";
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, child));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, child, DistinctiveDacl));
    KeyDacl childBefore = ReadKeyDacl(HKEY_CURRENT_USER, child);

    EXPECT_TRUE(ApplyKeyDacl(HKEY_CURRENT_USER, TestRoot, &owner_, false));
    EXPECT_EQ(ReadKeyDacl(HKEY_CURRENT_USER, child).aces, childBefore.aces);

    EXPECT_FALSE(ApplyKeyDacl(HKEY_CURRENT_USER, "", &owner_, false));
    EXPECT_FALSE(
        ApplyKeyDacl(HKEY_CURRENT_USER, std::string(TestRoot) + "\\Missing", &owner_, true));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string(TestRoot) + "\\Missing"));
}

TEST_F(KeyTakeover, TheAutocompleteTreeGoesAndTheSidKeyGetsItsOwnListBack) {
    const std::string data = sidKey_ + "\\Data";
    const std::string autocomplete = sidKey_ + Autocomplete;
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, autocomplete + "\\item\\deeper"));
    WriteText(HKEY_CURRENT_USER, autocomplete + "\\item", "value", "typed into a form");
    // Locked the way the system locks them, deepest first.
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, autocomplete + "\\item\\deeper", "D:"));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, autocomplete + "\\item", "D:"));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, autocomplete, "D:"));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, data, "D:"));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, sidKey_, DistinctiveDacl));
    KeyDacl sidKeyBefore = ReadKeyDacl(HKEY_CURRENT_USER, sidKey_);

    ClearProtectedStorageForUser();

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, autocomplete));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, data));
    EXPECT_EQ(ReadKeyDacl(HKEY_CURRENT_USER, sidKey_).aces, sidKeyBefore.aces);
    EXPECT_EQ(ReadKeyDacl(HKEY_CURRENT_USER, data).aces, OwnerDaclAsApplied().aces)
        << "the Data key keeps the owner list";
}

TEST_F(KeyTakeover, AMissingAutocompleteKeyStillGivesTheSidKeyItsListBack) {
    const std::string data = sidKey_ + "\\Data";
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, data));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, sidKey_, DistinctiveDacl));
    KeyDacl sidKeyBefore = ReadKeyDacl(HKEY_CURRENT_USER, sidKey_);

    ClearProtectedStorageForUser();

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, sidKey_ + Autocomplete));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, data));
    EXPECT_EQ(ReadKeyDacl(HKEY_CURRENT_USER, sidKey_).aces, sidKeyBefore.aces);
}

TEST_F(KeyTakeover, AMissingSidKeyIsNeitherCreatedNorChanged) {
    ClearProtectedStorageForUser();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, sidKey_));
}

}  // namespace
