// Reading numbers that people type into dialog fields.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// An unsigned decimal number, optionally surrounded by blanks, that fits in
// 32 bits. Anything else (a sign, letters, an empty field) is refused and
// `value` is left as it was.
bool ParseUnsignedField(const std::string& text, uint32_t& value);

// Where the caret goes when a field's text `before`, with the caret at
// `caret`, is replaced by `after`: as far from the end as it was (clamped to
// the text), so that the next digit typed lands where the user was typing.
size_t CaretAfterRewrite(const std::string& before, const std::string& after, size_t caret);

}  // namespace ui
