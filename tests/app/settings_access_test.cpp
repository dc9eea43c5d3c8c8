// The start-up check that a copied Veilgate can keep its settings, over an
// in-memory store whose machine-wide root may refuse writes.
#include <gtest/gtest.h>

#include "app/settings_access.h"
#include "settings/memory_settings_backend.h"

namespace {

class LockableStore : public MemorySettingsBackend {
public:
    bool WriteDword(SettingsRoot root, const std::string& keyPath, const std::string& name,
                    uint32_t value) override {
        if (Refuses(root))
            return false;
        return MemorySettingsBackend::WriteDword(root, keyPath, name, value);
    }
    bool WriteText(SettingsRoot root, const std::string& keyPath, const std::string& name,
                   const std::string& text) override {
        if (Refuses(root))
            return false;
        return MemorySettingsBackend::WriteText(root, keyPath, name, text);
    }
    bool machineLocked = false;

private:
    bool Refuses(SettingsRoot root) const {
        return machineLocked && root == SettingsRoot::LocalMachine;
    }
};

TEST(SettingsAccess, WritableStoreIsNeverTold) {
    LockableStore store;
    EXPECT_TRUE(CanStoreSettings(store));
    EXPECT_EQ("", SettingsNoticeToShow(store));
    EXPECT_EQ("", SettingsNoticeToShow(store));
}

TEST(SettingsAccess, ProbeKeepsWhatTheValueHeld) {
    LockableStore store;
    store.WriteDword(SettingsRoot::LocalMachine, "Software\\Veilgate", "PopUpsBlockedToday", 7);
    ASSERT_TRUE(CanStoreSettings(store));
    uint32_t value = 0;
    ASSERT_TRUE(store.ReadDword(SettingsRoot::LocalMachine, "Software\\Veilgate",
                                "PopUpsBlockedToday", value));
    EXPECT_EQ(7u, value);
}

TEST(SettingsAccess, LockedStoreIsToldOnceForEachUser) {
    LockableStore store;
    store.machineLocked = true;
    EXPECT_FALSE(CanStoreSettings(store));
    EXPECT_EQ(SettingsNotKeptText, SettingsNoticeToShow(store));
    EXPECT_EQ("", SettingsNoticeToShow(store));
    EXPECT_TRUE(
        store.ValueExists(SettingsRoot::CurrentUser, "Software\\Veilgate", "SettingsNoticeShown"));
    // Nothing of the notice lands in the machine's settings.
    EXPECT_FALSE(store.KeyExists(SettingsRoot::LocalMachine, "Software\\Veilgate"));
}

}  // namespace
