#include "cli/MacRoman.h"

#include <cstdint>
#include <cstdio>

namespace brind::cli {

namespace {

// The characters of the codes 0x80..0xFF. 0xDB is the currency sign of the system's time (later
// systems put the euro there); 0xF0 is the maker's logo, a private-use character.
constexpr char32_t kHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D0
    0x00FF, 0x0178, 0x2044, 0x00A4, 0x2039, 0x203A, 0xFB01, 0xFB02,  // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // F8
};

void Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One character at text[i]; advances i. False on a malformed, overlong or surrogate sequence.
bool Decode(std::string_view text, size_t& i, char32_t& c) {
  const auto lead = static_cast<uint8_t>(text[i]);
  size_t extra = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    c = lead;
    ++i;
    return true;
  }
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, min = 0x80, c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, min = 0x800, c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, min = 0x10000, c = lead & 0x07;
  } else {
    return false;
  }
  if (text.size() - i <= extra) return false;
  for (size_t k = 1; k <= extra; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  i += extra + 1;
  return true;
}

}  // namespace

std::string MacCharToUtf8(unsigned char code) {
  std::string out;
  Append(out, code < 0x80 ? char32_t{code} : kHigh[code - 0x80]);
  return out;
}

std::string MacToUtf8(std::string_view mac) {
  std::string out;
  for (char c : mac) out += MacCharToUtf8(static_cast<unsigned char>(c));
  return out;
}

bool Utf8ToMac(std::string_view utf8, std::string& out, std::string& error) {
  out.clear();
  for (size_t i = 0; i < utf8.size();) {
    const size_t at = i;
    char32_t c;
    if (!Decode(utf8, i, c)) {
      error = "is not valid UTF-8 (at byte " + std::to_string(at + 1) + ")";
      return false;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    int code = -1;
    for (int k = 0; k < 128 && code < 0; ++k) {
      if (kHigh[k] == c) code = 0x80 + k;
    }
    if (code < 0) {
      char name[16];
      std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
      error = std::string("has the character ") + name + ", which the Macintosh set lacks";
      return false;
    }
    out += static_cast<char>(code);
  }
  return true;
}

}  // namespace brind::cli
