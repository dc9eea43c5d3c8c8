#include "settings/memory_settings_backend.h"

#include <cctype>
#include <cstring>

namespace {

std::string ToLower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// "a\\b\\\\c\\" and "A\\B\\C" name the same key.
std::string NormaliseKeyPath(const std::string& keyPath) {
    std::string normal;
    for (char c : ToLower(keyPath)) {
        if (c == '\\' && (normal.empty() || normal.back() == '\\'))
            continue;
        normal += c;
    }
    if (!normal.empty() && normal.back() == '\\')
        normal.pop_back();
    return normal;
}

}  // namespace

// The registry's numbers for the types this tree tells apart.
constexpr uint32_t TextType = 1;    // REG_SZ
constexpr uint32_t BinaryType = 3;  // REG_BINARY
constexpr uint32_t DwordType = 4;   // REG_DWORD

std::string MemorySettingsBackend::KeyId(SettingsRoot root, const std::string& keyPath) {
    // Product is resolved by the wrappers; should it arrive here, it is the
    // user's key, where product settings are written.
    return (root == SettingsRoot::LocalMachine ? "HKLM\\" : "HKCU\\") + NormaliseKeyPath(keyPath);
}

const std::string* MemorySettingsBackend::FindValue(SettingsRoot root, const std::string& keyPath,
                                                    const std::string& name) const {
    auto key = keys_.find(KeyId(root, keyPath));
    if (key == keys_.end())
        return nullptr;
    auto value = key->second.find(ToLower(name));
    return value == key->second.end() ? nullptr : &value->second.bytes;
}

void MemorySettingsBackend::Store(SettingsRoot root, const std::string& keyPath,
                                  const StoredValue& value) {
    // Creating a key creates its parents, as RegCreateKeyEx does.
    std::string path = NormaliseKeyPath(keyPath);
    for (size_t pos = path.find('\\'); pos != std::string::npos; pos = path.find('\\', pos + 1))
        keys_[KeyId(root, path.substr(0, pos))];
    keys_[KeyId(root, path)][ToLower(value.name)] = value;
}

bool MemorySettingsBackend::ReadDword(SettingsRoot root, const std::string& keyPath,
                                      const std::string& name, uint32_t& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string* bytes = FindValue(root, keyPath, name);
    if (!bytes || bytes->size() > sizeof(value))
        return false;
    std::memcpy(&value, bytes->data(), bytes->size());
    return true;
}

bool MemorySettingsBackend::ReadText(SettingsRoot root, const std::string& keyPath,
                                     const std::string& name, std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string* bytes = FindValue(root, keyPath, name);
    if (!bytes)
        return false;
    text = bytes->substr(0, bytes->find('\0'));
    return true;
}

bool MemorySettingsBackend::WriteDword(SettingsRoot root, const std::string& keyPath,
                                       const std::string& name, uint32_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    Store(root, keyPath,
          {name, DwordType, std::string(reinterpret_cast<const char*>(&value), sizeof(value))});
    ++writeCount_;
    NoteSettingsChange();
    return true;
}

bool MemorySettingsBackend::WriteText(SettingsRoot root, const std::string& keyPath,
                                      const std::string& name, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    Store(root, keyPath, {name, TextType, text + '\0'});
    ++writeCount_;
    NoteSettingsChange();
    return true;
}

void MemorySettingsBackend::WriteBytes(SettingsRoot root, const std::string& keyPath,
                                       const std::string& name, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    Store(root, keyPath, {name, BinaryType, bytes});
    NoteSettingsChange();
}

bool MemorySettingsBackend::KeyExists(SettingsRoot root, const std::string& keyPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    return keys_.count(KeyId(root, keyPath)) != 0;
}

bool MemorySettingsBackend::ValueExists(SettingsRoot root, const std::string& keyPath,
                                        const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    return FindValue(root, keyPath, name) != nullptr;
}

bool MemorySettingsBackend::ListValues(SettingsRoot root, const std::string& keyPath,
                                       std::vector<StoredValue>& values) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = keys_.find(KeyId(root, keyPath));
    if (key == keys_.end())
        return false;
    values.clear();
    for (const auto& entry : key->second)
        values.push_back(entry.second);
    return true;
}

bool MemorySettingsBackend::WriteValue(SettingsRoot root, const std::string& keyPath,
                                       const StoredValue& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    Store(root, keyPath, value);
    ++writeCount_;
    NoteSettingsChange();
    return true;
}

bool MemorySettingsBackend::DeleteKey(SettingsRoot root, const std::string& keyPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string id = KeyId(root, keyPath);
    // The registry refuses to delete a key that still has subkeys.
    auto below = keys_.lower_bound(id + "\\");
    if (below != keys_.end() && below->first.compare(0, id.size() + 1, id + "\\") == 0)
        return false;
    keys_.erase(id);
    NoteSettingsChange();
    return true;
}

bool MemorySettingsBackend::DeleteValue(SettingsRoot root, const std::string& keyPath,
                                        const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = keys_.find(KeyId(root, keyPath));
    if (key != keys_.end())
        key->second.erase(ToLower(name));
    NoteSettingsChange();
    return true;
}

int MemorySettingsBackend::WriteCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writeCount_;
}

void MemorySettingsBackend::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    keys_.clear();
    writeCount_ = 0;
    NoteSettingsChange();
}

#ifndef _WIN32
SettingsBackend& DefaultSettingsBackend() {
    static MemorySettingsBackend backend;
    return backend;
}
#endif
