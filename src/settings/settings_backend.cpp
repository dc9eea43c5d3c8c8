#include "settings/settings_backend.h"

#include <atomic>

namespace {

std::atomic<uint64_t> changes{0};

}  // namespace

uint64_t SettingsChangeCount() {
    return changes.load();
}

void NoteSettingsChange() {
    ++changes;
}
