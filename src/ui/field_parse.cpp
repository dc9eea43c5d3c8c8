#include "ui/field_parse.h"

#include <algorithm>

namespace ui {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

bool ParseUnsignedField(const std::string& text, uint32_t& value) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    if (begin == end)
        return false;
    uint64_t number = 0;
    for (size_t i = begin; i < end; ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
        if (number > UINT32_MAX)
            return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

size_t CaretAfterRewrite(const std::string& before, const std::string& after, size_t caret) {
    size_t fromEnd = before.size() - std::min(caret, before.size());
    return after.size() - std::min(fromEnd, after.size());
}

}  // namespace ui
