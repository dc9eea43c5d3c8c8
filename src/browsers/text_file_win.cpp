#include "browsers/text_file_win.h"

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
