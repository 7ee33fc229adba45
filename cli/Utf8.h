// UTF-8 for the Linux tools' input and output: one code point at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brind::cli {

// Appends the UTF-8 form of c.
void AppendUtf8(std::string& out, char32_t c);

// Decodes one character at text[i], advancing i; false on a malformed, overlong, surrogate or
// out-of-range sequence.
bool DecodeUtf8(std::string_view text, size_t& i, char32_t& c);

}  // namespace brind::cli
