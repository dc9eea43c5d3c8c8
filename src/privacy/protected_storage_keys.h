// Where the browser keeps its autocomplete items in protected storage: below
// this key, in a subkey named after the user (by SID under HKEY_CURRENT_USER,
// by user name under HKEY_LOCAL_MACHINE).
#pragma once

namespace protected_storage {

constexpr char ProviderKey[] = "Software\\Microsoft\\Protected Storage System Provider\\";
constexpr char DataSubkey[] = "\\Data";
constexpr char AutocompleteSubkey[] = "\\Data\\e161255a-37c3-11d2-bcaa-00c04fd929db";

}  // namespace protected_storage
