// The prefs.js edits run over files, as the Windows routines run them over
// each profile they find, so that a real browser can be given the result.
//
//   prefs_edit enable PORT FILE...
//   prefs_edit disable FILE...
//   prefs_edit hold FILE...      (the browser's own defaults, as a user.js
//                                 says them after a restore while it ran)
#include <cstdio>
#include <string>

#include "base/leading_number.h"
#include "browsers/prefs_text.h"
#include "browsers/text_file.h"

namespace {

int EditAll(int first, int argc, char** argv, const TextEdit& edit) {
    int failures = 0;
    for (int i = first; i < argc; ++i) {
        if (!EditTextFile(argv[i], edit)) {
            std::fprintf(stderr, "prefs_edit: cannot edit %s\n", argv[i]);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "enable" && argc > 3) {
        int port = base::ParseLeadingInt(argv[2]);
        return EditAll(3, argc, argv,
                       [port](const std::string& text) { return prefs::EnableProxy(text, port); });
    }
    if (command == "disable" && argc > 2)
        return EditAll(2, argc, argv, prefs::DisableProxy);
    if (command == "hold" && argc > 2) {
        return EditAll(2, argc, argv, [](const std::string& text) {
            return prefs::RestoreEntries(text, prefs::HeldEntries({}, {}));
        });
    }
    std::fprintf(stderr,
                 "usage: prefs_edit enable PORT FILE... | disable FILE... | hold FILE...\n");
    return 2;
}
