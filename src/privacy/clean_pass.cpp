#include "privacy/clean_pass.h"

#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

const char* const ChoicePaths[CleanTaskCount] = {
    setting::IClear1, setting::IClear2, setting::IClear3, setting::IClear4,
    setting::IClear5, setting::IClear6, setting::IClear7,
};

}  // namespace

CleanChoices ReadCleanChoices(SettingsBackend& backend) {
    CleanChoices choices{};
    for (size_t i = 0; i < CleanTaskCount; ++i) {
        RegDwordValue choice(ChoicePaths[i], 0, false, SettingsRoot::Product, backend);
        choices[i] = choice.IsOn();
    }
    return choices;
}

void RunCleanTasks(const CleanChoices& choices, TraceTasks& tasks, const StopToken& stop) {
    for (size_t i = 0; i < CleanTaskCount; ++i) {
        if (stop.StopRequested())
            return;
        if (choices[i])
            tasks.RunTask(static_cast<CleanTask>(i), stop);
    }
}
