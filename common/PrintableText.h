// Text read from a disk or a library (volume, file, partition and image names, labels) made safe
// for a terminal: a control byte in a name could clear the screen, move the cursor or forge a
// line of our own output. One rule for every tool: a byte that is not shown as itself is
// written as \xNN, and so is the backslash, so that an escape in the output is never ambiguous.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brind {

namespace printable_detail {

inline void AppendEscaped(std::string& out, uint8_t b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[b >> 4];
  out += kHex[b & 0x0F];
}

inline bool IsPrintableAscii(uint8_t b) { return b >= 0x20 && b < 0x7F && b != '\\'; }

// Length of the well-formed UTF-8 sequence at s[i] of a character shown as itself, or 0: the C1
// controls (U+0080 to U+009F) and the invisible marks that reorder or hide text (bidirectional
// overrides, zero-width characters, line separators) are not.
inline size_t PrintableSequence(std::string_view s, size_t i) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  size_t n;
  uint32_t c;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2, c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3, c = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4, c = b0 & 0x07;
  } else {
    return 0;
  }
  if (s.size() - i < n) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<uint8_t>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  const bool overlong = (n == 3 && c < 0x800) || (n == 4 && c < 0x10000);
  const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
  const bool invisible = (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
                         (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF;
  if (overlong || surrogate || invisible || c > 0x10FFFF || c < 0xA0) return 0;
  return n;
}

}  // namespace printable_detail

// Bytes of no known character set: printable ASCII as itself, every other byte as \xNN.
inline std::string PrintableBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    if (printable_detail::IsPrintableAscii(b)) {
      out += ch;
    } else {
      printable_detail::AppendEscaped(out, b);
    }
  }
  return out;
}

// UTF-8 text (a name already converted to UTF-8): printable ASCII and whole, well-formed
// characters from U+00A0 on as themselves; controls (C0, DEL, C1) and every byte of a broken
// sequence as \xNN.
inline std::string PrintableUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (printable_detail::IsPrintableAscii(b)) {
      out += text[i++];
    } else if (const size_t n = b >= 0x80 ? printable_detail::PrintableSequence(text, i) : 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      printable_detail::AppendEscaped(out, b);
      ++i;
    }
  }
  return out;
}

}  // namespace brind
