// UTF-8 and the Windows ANSI code page 1252, the character set the labels of the Windows
// program are typed in.
#pragma once

#include <string>
#include <string_view>

namespace brind::cli {

// Converts UTF-8 text to code page 1252. False when the text is not valid UTF-8 or holds a
// character that code page 1252 cannot represent; error then names the problem.
bool Utf8ToCp1252(std::string_view utf8, std::string& out, std::string& error);

// Converts code page 1252 text to UTF-8. The five byte values that code page 1252 leaves
// undefined come out as U+FFFD.
std::string Cp1252ToUtf8(std::string_view text);

}  // namespace brind::cli
