// Taking over a registry key tree that the user may not otherwise touch: the
// current user's SID, its text form, saving a key's access list, a new list
// that gives full control to the user and to the local system account, and
// applying a list to a key or a whole tree. Only DACLs change, never owners.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// Memory from the process heap, given back with HeapFree.
struct HeapFreeDeleter {
    void operator()(void* block) const {
        if (block)
            HeapFree(GetProcessHeap(), 0, block);
    }
};
using HeapBlock = std::unique_ptr<void, HeapFreeDeleter>;
HeapBlock AllocateHeapBlock(size_t size);

// A fresh copy of the SID the process runs as.
bool GetCurrentUserSid(HeapBlock& sid);
// "S-1-" + the authority's low byte + "-" + each sub-authority, in decimal.
void SidToText(PSID sid, std::string& text);
// Reads the key's DACL into a self-relative descriptor. True when the read
// worked; `descriptor` may stay empty when the key had nothing to give.
bool SaveKeyDacl(HKEY root, const std::string& keyPath, HeapBlock& descriptor);
// Fills `descriptor` with a DACL granting KEY_ALL_ACCESS, inherited, to the
// user and then to the local system account. The list is handed to `dacl`
// whenever it was allocated, and must outlive the descriptor's use.
bool BuildOwnerDacl(PSID userSid, SECURITY_DESCRIPTOR& descriptor, HeapBlock& dacl);
// Sets the descriptor's DACL on the key and, when recursive, on every key
// below it, each parent before its subkeys so that a subkey is always reached
// through a parent the user can already read.
bool ApplyKeyDacl(HKEY root, const std::string& keyPath, PSECURITY_DESCRIPTOR descriptor,
                  bool recursive);

// The cleaner's use of the above: opens the user's protected-storage key to
// the user, deletes the browser's autocomplete tree below it and puts the key's
// own list back.
void ClearProtectedStorageForUser();
