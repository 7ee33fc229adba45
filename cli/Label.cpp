#include "cli/Label.h"

#include <cstring>

#include "charmap/CharMap.h"
#include "charmap/NameConversion.h"
#include "cli/Cp1252.h"
#include "common/PrintableText.h"

namespace brind::cli {

namespace {
CharMap MapOrDefault(const uint8_t* map128) {
  if (!map128) return DefaultCharMap;
  CharMap map;
  std::memcpy(map.data(), map128, map.size());
  return map;
}
}  // namespace

bool MakeVolumeLabel(std::string_view utf8, char (&label)[kLabelBufferSize], std::string& error,
                     const uint8_t* map128) {
  std::memset(label, 0, sizeof label);
  std::string ansi;
  if (!Utf8ToCp1252(utf8, ansi, error)) return false;
  if (ansi.empty()) {
    error = "is empty; a volume label has 1 to 27 characters";
    return false;
  }
  if (ansi.size() > kLabelBufferSize - 1) {
    error = "is " + std::to_string(ansi.size()) + " characters long; a volume label has at most 27";
    return false;
  }
  for (char c : ansi) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x20 || b == 0x7F) {
      error = "has a control character";
      return false;
    }
    if (c == ':') {
      error = "has a colon, which HFS keeps for separating the parts of a path";
      return false;
    }
  }
  std::memcpy(label, ansi.data(), ansi.size());
  const size_t length = WindowsToMacNameWith(MapOrDefault(map128), label, ansi.size());
  label[length < kLabelBufferSize ? length : kLabelBufferSize - 1] = '\0';
  return true;
}

std::string DisplayMacName(const uint8_t* name, size_t length, const uint8_t* map128) {
  std::string windows(reinterpret_cast<const char*>(name), length);
  // Escaped characters can double the length.
  std::string buffer(2 * length + 1, '\0');
  std::memcpy(buffer.data(), name, length);
  const size_t n = MacToWindowsNameWith(MapOrDefault(map128), buffer.data(), length, buffer.size());
  windows.assign(buffer.data(), n);
  return PrintableUtf8(Cp1252ToUtf8(windows));
}

}  // namespace brind::cli
