#include "browsers/text_file.h"

#include "base/files.h"

bool ReadTextFile(const std::string& path, std::string& text) {
    text.clear();
    if (base::ReadWholeFile(path, text))
        return true;
    text.clear();
    return false;
}

bool ReplaceTextFile(const std::string& path, const std::string& text) {
    return base::ReplaceWholeFile(path, text);
}

bool EditTextFile(const std::string& path, const TextEdit& edit) {
    std::string text;
    if (!ReadTextFile(path, text))
        return false;
    return ReplaceTextFile(path, edit(text));
}
