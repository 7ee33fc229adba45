#include <cstring>

#include "charmap/CharMap.h"
#include "charmap/NameConversion.h"
#include "formatter/FormatParts.h"

namespace brind {

size_t ProgramNameConverter::MacToWindows(char* name, size_t length, size_t capacity) {
  return MacToWindowsName(store_, name, length, capacity);
}

size_t ProgramNameConverter::WindowsToMac(char* name, size_t length) {
  return WindowsToMacName(store_, name, length);
}

namespace {
CharMap Copy(const uint8_t* map128) {
  CharMap map;
  std::memcpy(map.data(), map128, map.size());
  return map;
}
}  // namespace

size_t MapNameConverter::MacToWindows(char* name, size_t length, size_t capacity) {
  return MacToWindowsNameWith(Copy(map_), name, length, capacity);
}

size_t MapNameConverter::WindowsToMac(char* name, size_t length) {
  return WindowsToMacNameWith(Copy(map_), name, length);
}

}  // namespace brind
