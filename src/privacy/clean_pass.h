// One cleaning pass: which of the seven tasks run, and in what order. The
// tasks themselves sit behind a narrow interface so that the order and the
// choice rules can be checked without touching a real profile.
#pragma once

#include <array>

#include "privacy/stop_token.h"
#include "settings/settings_backend.h"

enum class CleanTask {
    History,           // Setari\IClear1
    TypedUrls,         // Setari\IClear2
    TemporaryFiles,    // Setari\IClear3
    Cookies,           // Setari\IClear4
    ProtectedStorage,  // Setari\IClear5
    IntelliForms,      // Setari\IClear6
    Favorites,         // Setari\IClear7
};
constexpr size_t CleanTaskCount = 7;

// Indexed by CleanTask; true when that task is chosen.
using CleanChoices = std::array<bool, CleanTaskCount>;

// Reads the seven choices afresh, each through its own short-lived wrapper;
// a choice is on only when its value is exactly 1.
CleanChoices ReadCleanChoices(SettingsBackend& backend = DefaultSettingsBackend());

class TraceTasks {
public:
    virtual ~TraceTasks() = default;
    // Runs one task; it returns early when `stop` is requested.
    virtual void RunTask(CleanTask task, const StopToken& stop) = 0;
};

// Runs every chosen task in the fixed order, leaving between tasks when a stop
// is requested. A task that fails does not stop the pass.
void RunCleanTasks(const CleanChoices& choices, TraceTasks& tasks, const StopToken& stop);
