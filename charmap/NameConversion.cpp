#include "charmap/NameConversion.h"

#include <cstring>

#include "charmap/CharMapStore.h"

namespace brind {

namespace {

constexpr unsigned char kEscape = '_';

// An entry of 0 (a table never loaded, or a file line that says 0 or 256) is no Windows
// character: writing it would end the name early, so it counts as not mapped.
bool IsMapped(uint8_t value) { return value != CHARMAP_UNMAPPED && value != 0; }

}  // namespace

size_t MacToWindowsNameWith(const CharMap& map, char* name, size_t length, size_t capacity) {
  if (capacity == 0) return 0;
  auto* p = reinterpret_cast<unsigned char*>(name);
  if (length > capacity - 1) length = capacity - 1;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char b = p[i];
    if (b < 0x80) continue;
    const uint8_t value = map[b - 0x80];
    if (IsMapped(value)) {
      p[i] = value;
      continue;
    }
    if (!IsWindowsCharTaken(map, b)) continue;
    if (length + 1 > capacity - 1) {
      // No room for the whole name: keep what fits. The tail is dropped from the end, and if even
      // the pair itself does not fit, the name ends before this character.
      if (i + 2 > capacity - 1) {
        length = i;
        break;
      }
      length = capacity - 2;
    }
    std::memmove(p + i + 1, p + i, length - i);
    p[i] = kEscape;
    ++length;
    ++i;  // step over the character behind its escape
  }
  p[length] = 0;
  return length;
}

size_t WindowsToMacNameWith(const CharMap& map, char* name, size_t length) {
  auto* p = reinterpret_cast<unsigned char*>(name);
  size_t i = 0;
  while (i < length) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    const uint8_t mac = FindMacCharFor(map, c);
    if (mac == 0) {
      ++i;
      continue;
    }
    if (i > 0 && !IsMapped(map[c - 0x80]) && p[i - 1] == kEscape) {
      // An escaped character: drop the "_" and keep the character as the Macintosh one of the
      // same code. The walk goes on with the byte after it, which now sits at i.
      std::memmove(p + i - 1, p + i, length - i);
      --length;
      continue;
    }
    p[i] = mac;
    ++i;
  }
  p[length] = 0;
  return length;
}

size_t MacToWindowsName(CharMapStore& store, char* name, size_t length, size_t capacity) {
  LoadCharMap(store);
  return MacToWindowsNameWith(store.map, name, length, capacity);
}

size_t WindowsToMacName(CharMapStore& store, char* name, size_t length) {
  LoadCharMap(store);
  return WindowsToMacNameWith(store.map, name, length);
}

}  // namespace brind
