// The value wrappers against every store they run on: the in-memory tree
// everywhere, and on Windows the real registry of the test prefix.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "settings/memory_settings_backend.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "settings/user_settings_copy.h"

#ifdef _WIN32
#include "registry_test_support.h"
#endif

namespace {

using setting::ProductKey;

// Reaches past the wrappers to see and change what the store really holds.
class StoreAccess {
public:
    virtual ~StoreAccess() = default;
    virtual SettingsBackend& Backend() = 0;
    // Removes the product key of both roots.
    virtual void Reset() = 0;
    virtual bool KeyExists(const std::string& keyPath, SettingsRoot root = User) = 0;
    virtual bool ValueExists(const std::string& keyPath, const std::string& name,
                             SettingsRoot root = User) = 0;
    // Raw bytes under a name, as another program might have stored them.
    virtual void WriteBytes(const std::string& keyPath, const std::string& name,
                            const std::string& bytes, SettingsRoot root = User) = 0;
    void WriteDword(const std::string& keyPath, const std::string& name, uint32_t value,
                    SettingsRoot root = User) {
        WriteBytes(keyPath, name, std::string(reinterpret_cast<const char*>(&value), 4), root);
    }
    static constexpr SettingsRoot User = SettingsRoot::CurrentUser;
};

class MemoryAccess : public StoreAccess {
public:
    SettingsBackend& Backend() override { return backend_; }
    void Reset() override { backend_.Clear(); }
    bool KeyExists(const std::string& keyPath, SettingsRoot root) override {
        return backend_.KeyExists(root, keyPath);
    }
    bool ValueExists(const std::string& keyPath, const std::string& name,
                     SettingsRoot root) override {
        return backend_.ValueExists(root, keyPath, name);
    }
    void WriteBytes(const std::string& keyPath, const std::string& name, const std::string& bytes,
                    SettingsRoot root) override {
        backend_.WriteBytes(root, keyPath, name, bytes);
    }

private:
    MemorySettingsBackend backend_;
};

#ifdef _WIN32
// The registry under the root that SettingsRoot::LocalMachine, the one these
// tests pass, stands for.
class RegistryAccess : public StoreAccess {
public:
    SettingsBackend& Backend() override { return DefaultSettingsBackend(); }
    void Reset() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, setting::ProductKey);
        RegDeleteTreeA(HKEY_CURRENT_USER, setting::ProductKey);
    }
    static HKEY Root(SettingsRoot root) {
        return root == SettingsRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    }
    bool KeyExists(const std::string& keyPath, SettingsRoot root) override {
        return testing_support::KeyExists(Root(root), keyPath);
    }
    bool ValueExists(const std::string& keyPath, const std::string& name,
                     SettingsRoot root) override {
        return testing_support::ValueExists(Root(root), keyPath, name);
    }
    void WriteBytes(const std::string& keyPath, const std::string& name, const std::string& bytes,
                    SettingsRoot root) override {
        DWORD type = bytes.size() == 4 ? REG_DWORD : bytes.size() == 8 ? REG_QWORD : REG_BINARY;
        ASSERT_TRUE(testing_support::WriteValue(Root(root), keyPath, name, type, bytes.data(),
                                                static_cast<DWORD>(bytes.size())));
    }
};
#endif

using AccessFactory = std::function<std::unique_ptr<StoreAccess>()>;

class RegValueTest : public testing::TestWithParam<AccessFactory> {
protected:
    void SetUp() override {
        store_ = GetParam()();
        store_->Reset();
    }
    void TearDown() override { store_->Reset(); }

    RegDwordValue Dword(const std::string& path, uint32_t defaultValue = 0, bool reread = false,
                        SettingsRoot root = SettingsRoot::Product) {
        return RegDwordValue(path, defaultValue, reread, root, store_->Backend());
    }
    RegStringValue Text(const std::string& path, SettingsRoot root = SettingsRoot::Product) {
        return RegStringValue(path, "", false, root, store_->Backend());
    }

    std::unique_ptr<StoreAccess> store_;
};

constexpr SettingsRoot Machine = SettingsRoot::LocalMachine;

TEST_P(RegValueTest, FreshSystemGivesDefaultsAndCreatesNothing) {
    EXPECT_EQ(8080u, Dword(setting::LocalPort, setting::LocalPortDefault).Get());
    EXPECT_EQ(0u, Dword(setting::UseProxy).Get());
    EXPECT_FALSE(Dword(setting::UseProxy).IsOn());
    EXPECT_EQ("", Text(setting::ProxyName).Get());
    EXPECT_FALSE(store_->KeyExists(ProductKey));
    EXPECT_FALSE(store_->KeyExists(ProductKey, Machine));
}

TEST_P(RegValueTest, TheUsersValueThenTheMachinesThenTheDefault) {
    struct Case {
        const char* what;
        bool user, machine;
        uint32_t expected;
    };
    const Case cases[] = {{"both", true, true, 9001},
                          {"user", true, false, 9001},
                          {"machine", false, true, 9002},
                          {"neither", false, false, 8080}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store_->Reset();
        if (c.user)
            store_->WriteDword(ProductKey, "LocalPort", 9001);
        if (c.machine)
            store_->WriteDword(ProductKey, "LocalPort", 9002, Machine);
        EXPECT_EQ(c.expected, Dword(setting::LocalPort, 8080).Get());
    }
    // The user's own value, even one that cannot be read, hides the machine's.
    store_->WriteDword(ProductKey, "LocalPort", 9002, Machine);
    store_->WriteBytes(ProductKey, "LocalPort", std::string(8, '\x01'));
    EXPECT_EQ(8080u, Dword(setting::LocalPort, 8080).Get());
    // Storing goes to the user's key alone.
    Dword(setting::LocalPort).Set(9100);
    Text(setting::ProxyName).Set("1.2.3.4:80");
    EXPECT_EQ(9002u, Dword(setting::LocalPort, 0, false, Machine).Get());
    EXPECT_EQ(9100u, Dword(setting::LocalPort, 0, false, SettingsRoot::CurrentUser).Get());
    EXPECT_FALSE(store_->ValueExists(ProductKey, "ProxyName", Machine));
}

TEST_P(RegValueTest, AUsersFirstRunCopiesTheMachinesSettingsOnce) {
    store_->WriteDword(ProductKey, "LocalPort", 9002, Machine);
    store_->WriteBytes(ProductKey, "ProxyName", std::string("5.6.7.8:3128\0", 13), Machine);
    store_->WriteBytes(ProductKey, "AppPath", std::string("C:\\V\\\0", 6), Machine);
    store_->WriteBytes(ProductKey, "AppFullPath", std::string("C:\\V\\V.exe\0", 11), Machine);
    // One run's state, which any user could write under an earlier version's grant.
    for (const char* state : {"UseProxy", "FAIL"})
        store_->WriteDword(ProductKey, state, 1, Machine);
    for (const char* state : {"LastDomain", "TMPProxy", "tmpResponseTime"})
        store_->WriteBytes(ProductKey, state, std::string("x\0", 2), Machine);
    store_->WriteBytes(ProductKey, "Odd", std::string(8, '\x01'), Machine);
    store_->WriteDword("Software\\Veilgate\\Setari", "IClear1", 1, Machine);
    ASSERT_TRUE(CopyMachineSettingsForNewUser(store_->Backend()));

    const SettingsRoot user = SettingsRoot::CurrentUser;
    EXPECT_EQ(9002u, Dword(setting::LocalPort, 0, false, user).Get());
    for (const char* state :
         {"ProxyName", "UseProxy", "FAIL", "LastDomain", "TMPProxy", "tmpResponseTime"}) {
        EXPECT_FALSE(store_->ValueExists(ProductKey, state)) << state;
        EXPECT_TRUE(store_->ValueExists(ProductKey, state, Machine)) << state;
    }
    // Nor are they read from there: a user's Veilgate starts off.
    EXPECT_FALSE(Dword(setting::UseProxy).IsOn());
    EXPECT_EQ("", Text(setting::ProxyName).Get());
    EXPECT_TRUE(Dword(setting::IClear1, 0, false, user).IsOn());
    EXPECT_TRUE(store_->ValueExists(ProductKey, "Odd"));
    EXPECT_EQ(7u, Dword("Software\\Veilgate\\Odd", 7, false, user).Get()) << "still unreadable";
    EXPECT_FALSE(store_->ValueExists(ProductKey, "AppPath"));
    EXPECT_FALSE(store_->ValueExists(ProductKey, "AppFullPath"));
    EXPECT_TRUE(store_->ValueExists(ProductKey, "AppPath", Machine)) << "the machine's key stays";
    EXPECT_TRUE(store_->ValueExists(ProductKey, "LocalPort", Machine));

    // Once: a user who has a key of their own keeps it.
    store_->WriteDword(ProductKey, "LocalPort", 9003, Machine);
    ASSERT_TRUE(CopyMachineSettingsForNewUser(store_->Backend()));
    EXPECT_EQ(9002u, Dword(setting::LocalPort).Get());
}

TEST_P(RegValueTest, StoringCreatesTheKeysOnTheWay) {
    Dword(setting::IClear1).Set(1);
    EXPECT_TRUE(store_->KeyExists(ProductKey));
    EXPECT_TRUE(store_->KeyExists("Software\\Veilgate\\Setari"));
    EXPECT_TRUE(Dword(setting::IClear1).IsOn());
}

TEST_P(RegValueTest, SameValueTwiceWritesOnce) {
    RegDwordValue port = Dword(setting::LocalPort, 8080);
    port.Set(9000);
    store_->WriteDword(ProductKey, "LocalPort", 7000);  // changed behind the wrapper's back
    port.Set(9000);                                     // equals the cache: no write
    EXPECT_EQ(7000u, Dword(setting::LocalPort).Get());
    port.Set(9001);
    EXPECT_EQ(9001u, Dword(setting::LocalPort).Get());
}

TEST_P(RegValueTest, StoringZeroThroughAFreshWrapperWritesNothing) {
    Dword(setting::FAIL).Set(0);
    EXPECT_FALSE(store_->ValueExists(ProductKey, "FAIL"));
    Text(setting::TMPProxy).Set("");
    EXPECT_FALSE(store_->ValueExists(ProductKey, "TMPProxy"));

    RegDwordValue fail = Dword(setting::FAIL);
    fail.Set(5);
    fail.Set(0);
    EXPECT_TRUE(store_->ValueExists(ProductKey, "FAIL"));
    EXPECT_EQ(0u, Dword(setting::FAIL, 99).Get());
}

TEST_P(RegValueTest, EightByteIntegerIsUnreadableAndGivesTheDefault) {
    store_->WriteBytes(ProductKey, "LocalPort", std::string("\x01\x02\x00\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(8080u, Dword(setting::LocalPort, 8080).Get());
}

TEST_P(RegValueTest, OnlyExactlyOneCountsAsOn) {
    store_->WriteDword(ProductKey, "EnableJS", 2);
    EXPECT_EQ(2u, Dword(setting::EnableJS).Get());
    EXPECT_FALSE(Dword(setting::EnableJS).IsOn());
    store_->WriteDword(ProductKey, "EnableJS", 1);
    EXPECT_TRUE(Dword(setting::EnableJS).IsOn());
}

TEST_P(RegValueTest, PathSpellingsNameTheSameValue) {
    Dword(setting::LocalPort).Set(8123);
    EXPECT_EQ(8123u, Dword("\\Software\\Veilgate\\LocalPort").Get());
    EXPECT_EQ(8123u, Dword("Software\\Veilgate\\\\LocalPort").Get());
    EXPECT_EQ(8123u, Dword("\\\\Software\\Veilgate\\\\\\LocalPort").Get());
}

TEST_P(RegValueTest, ReadValueIsCachedButMissingValueIsLookedUpAgain) {
    RegDwordValue timer = Dword(setting::AutoTimer, 7);
    EXPECT_EQ(7u, timer.Get());
    store_->WriteDword(ProductKey, "AutoTimer", 30);
    EXPECT_EQ(30u, timer.Get());  // never loaded: read again
    store_->WriteDword(ProductKey, "AutoTimer", 45);
    EXPECT_EQ(30u, timer.Get());  // loaded: served from the cache
    EXPECT_EQ(45u, Dword(setting::AutoTimer).Get());
}

TEST_P(RegValueTest, RereadWrapperAlwaysReadsAndWrites) {
    RegDwordValue timer = Dword(setting::AutoTimer, 0, true);
    timer.Set(10);
    store_->WriteDword(ProductKey, "AutoTimer", 20);
    EXPECT_EQ(20u, timer.Get());
    timer.Set(20);
    store_->WriteDword(ProductKey, "AutoTimer", 21);
    timer.Set(20);  // writes although it equals the cache
    EXPECT_EQ(20u, Dword(setting::AutoTimer).Get());
}

TEST_P(RegValueTest, TextComparisonIsCaseSensitive) {
    RegStringValue name = Text(setting::ProxyName);
    name.Set("abc:80");
    EXPECT_EQ("abc:80", Text(setting::ProxyName).Get());
    name.Set("ABC:80");
    EXPECT_EQ("ABC:80", Text(setting::ProxyName).Get());
}

TEST_P(RegValueTest, TextWithoutTerminatorIsReadWhole) {
    store_->WriteBytes(ProductKey, "Sleep", "15");
    EXPECT_EQ("15", Text(setting::Sleep).Get());
    store_->WriteBytes(ProductKey, "Sleep", std::string("5\0garbage", 9));
    EXPECT_EQ("5", Text(setting::Sleep).Get());
}

TEST_P(RegValueTest, IntegerIsReadFromWhateverBytesAreStored) {
    store_->WriteBytes(ProductKey, "LocalPort", std::string("\x10\x27", 2));  // 10000, 2 bytes
    EXPECT_EQ(10000u, Dword(setting::LocalPort, 8080).Get());
}

std::vector<AccessFactory> Stores() {
    std::vector<AccessFactory> stores{[] { return std::make_unique<MemoryAccess>(); }};
#ifdef _WIN32
    stores.push_back([] { return std::make_unique<RegistryAccess>(); });
#endif
    return stores;
}

INSTANTIATE_TEST_SUITE_P(Stores, RegValueTest, testing::ValuesIn(Stores()),
                         [](const testing::TestParamInfo<AccessFactory>& info) {
                             return info.index == 0 ? std::string("Memory")
                                                    : std::string("Registry");
                         });

TEST(SplitSettingPath, SplitsAtTheLastSeparator) {
    std::string key, name;
    SplitSettingPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Veilgate", key, name);
    EXPECT_EQ("Software\\Microsoft\\Windows\\CurrentVersion\\Run", key);
    EXPECT_EQ("Veilgate", name);

    SplitSettingPath("LocalPort", key, name);
    EXPECT_EQ("", key);
    EXPECT_EQ("LocalPort", name);

    SplitSettingPath("Software\\Veilgate\\\\\\ProxyHttp1.1", key, name);
    EXPECT_EQ("Software\\Veilgate", key);
    EXPECT_EQ("ProxyHttp1.1", name);
}

}  // namespace
