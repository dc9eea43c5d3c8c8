#include "browsers/text_file.h"

#include "base/files.h"
#include "base/text_mode.h"

bool ReadTextFile(const std::string& path, std::string& text) {
    text.clear();
    std::string bytes;
    if (!base::ReadWholeFile(path, bytes))
        return false;
    text = base::FromTextMode(bytes);
    return true;
}

bool ReplaceTextFile(const std::string& path, const std::string& text) {
    return base::ReplaceWholeFile(path, base::ToTextMode(text));
}

bool EditTextFile(const std::string& path, const TextEdit& edit) {
    std::string text;
    if (!ReadTextFile(path, text))
        return false;
    return ReplaceTextFile(path, edit(text));
}
