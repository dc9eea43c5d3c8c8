// Reading numbers that people type into dialog fields.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// An unsigned decimal number, optionally surrounded by blanks, that fits in
// 32 bits. Anything else (a sign, letters, an empty field) is refused and
// `value` is left as it was.
bool ParseUnsignedField(const std::string& text, uint32_t& value);

}  // namespace ui
