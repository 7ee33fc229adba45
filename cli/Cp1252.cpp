#include "cli/Cp1252.h"

#include <cstdint>
#include <cstdio>

namespace brind::cli {

namespace {

// Code points of the bytes 0x80..0x9F; 0 where the code page defines no character.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one character at text[i], advancing i; false on a malformed sequence.
bool DecodeUtf8(std::string_view text, size_t& i, char32_t& c) {
  const auto lead = static_cast<uint8_t>(text[i]);
  size_t extra;
  char32_t min;
  if (lead < 0x80) {
    c = lead;
    ++i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, min = 0x80, c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, min = 0x800, c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, min = 0x10000, c = lead & 0x07;
  } else {
    return false;
  }
  if (i + extra >= text.size()) return false;
  for (size_t k = 1; k <= extra; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past Unicode are not characters.
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  i += extra + 1;
  return true;
}

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
      char buf[64];
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
