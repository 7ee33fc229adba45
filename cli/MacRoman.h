// UTF-8 and the Macintosh character set, the characters of HFS volume names.
#pragma once

#include <string>
#include <string_view>

namespace brind::cli {

// The character of a Macintosh code, as UTF-8.
std::string MacCharToUtf8(unsigned char code);
std::string MacToUtf8(std::string_view mac);

// Converts UTF-8 text to Macintosh codes. False when the text is not valid UTF-8 or holds a
// character the Macintosh set lacks; error then names the problem.
bool Utf8ToMac(std::string_view utf8, std::string& out, std::string& error);

// As Utf8ToMac, for file names: a letter followed by a combining accent (names stored
// decomposed) becomes the accented letter where the Macintosh set has one.
bool Utf8NameToMac(std::string_view utf8, std::string& out, std::string& error);

}  // namespace brind::cli
