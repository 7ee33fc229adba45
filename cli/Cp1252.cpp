#include "cli/Cp1252.h"

#include <cstdint>
#include <cstdio>

#include "cli/Utf8.h"

namespace brind::cli {

namespace {

// Code points of the bytes 0x80..0x9F; 0 where the code page defines no character.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98
};

}  // namespace

bool Utf8ToCp1252(std::string_view utf8, std::string& out, std::string& error) {
  out.clear();
  for (size_t i = 0; i < utf8.size();) {
    char32_t c;
    if (!DecodeUtf8(utf8, i, c)) {
      error = "is not valid UTF-8 text";
      return false;
    }
    int byte = -1;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      byte = static_cast<int>(c);
    } else {
      for (int k = 0; k < 32; ++k)
        if (kHighControls[k] != 0 && kHighControls[k] == c) byte = 0x80 + k;
    }
    if (byte < 0) {
      char buf[80];
      std::snprintf(buf, sizeof buf, "has the character U+%04X, which Windows code page 1252 lacks",
                    static_cast<unsigned>(c));
      error = buf;
      return false;
    }
    out += static_cast<char>(byte);
  }
  return true;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  for (char ch : text) {
    const auto b = static_cast<uint8_t>(ch);
    char32_t c = b;
    if (b >= 0x80 && b <= 0x9F) c = kHighControls[b - 0x80] ? kHighControls[b - 0x80] : 0xFFFD;
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace brind::cli
