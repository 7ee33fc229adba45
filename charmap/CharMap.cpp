#include "charmap/CharMap.h"

namespace brind {

bool IsWindowsCharTaken(const CharMap& map, uint8_t w) { return FindMacCharFor(map, w) != 0; }

bool IsDefaultTarget(uint8_t w) { return IsWindowsCharTaken(DefaultCharMap, w); }

uint8_t FindMacCharFor(const CharMap& map, uint8_t w) {
  for (int i = 0; i < kCharMapEntries; ++i) {
    if (map[i] == w) return static_cast<uint8_t>(0x80 + i);
  }
  return 0;
}

void ResetCharMap(CharMap& map) { map = DefaultCharMap; }

}  // namespace brind
