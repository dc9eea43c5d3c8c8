// The C library's atoi reading of a number, which stored and typed texts are
// read by throughout the program: leading white space, an optional sign,
// then decimal digits up to the first other character; 0 without digits.
#pragma once

#include <string>

namespace base {

// Unlike atoi it is defined for every input: values beyond int stop at its
// limits.
int ParseLeadingInt(const std::string& text);
// Whether the text is one or more decimal digits and nothing else.
bool IsAllDigits(const std::string& text);

}  // namespace base
