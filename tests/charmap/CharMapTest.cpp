#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "charmap/CharMap.h"

namespace brind {
namespace {

TEST(DefaultCharMap, HasTheShippedShape) {
  int mapped = 0;
  std::set<int> targets;
  for (uint8_t v : DefaultCharMap) {
    if (v == CHARMAP_UNMAPPED) continue;
    ++mapped;
    EXPECT_TRUE(targets.insert(v).second)
        << "Windows 0x" << std::hex << int{v} << " targeted twice";
  }
  EXPECT_EQ(mapped, 100);

  std::set<int> untargeted;
  for (int w = 0x80; w <= 0xFF; ++w) {
    if (!IsDefaultTarget(static_cast<uint8_t>(w))) untargeted.insert(w);
  }
  std::set<int> expected = {0x95, 0x9F, 0xB2, 0xB3, 0xB9, 0xBD, 0xD7, 0xDD, 0xDE, 0xFD, 0xFE};
  for (int w = 0x80; w <= 0x90; ++w) expected.insert(w);
  EXPECT_EQ(untargeted, expected);
}

// Every entry, Macintosh 0x80 to 0xFF, as shipped (01 = not mapped): two values swapped, or one
// changed, fail here whatever the counts say.
TEST(DefaultCharMap, EveryEntryAsShipped) {
  const char* const kRows[] = {
      "C4 C5 C7 C9 D1 D6 DC E1 E0 E2 E4 E3 E5 E7 E9 E8",  // 0x80
      "EA EB ED EC EE EF F1 F3 F2 F4 F6 F5 FA F9 FB FC",  // 0x90
      "01 B0 A2 A3 A7 01 B6 DF AE A9 01 B4 A8 01 C6 D8",  // 0xA0
      "01 B1 01 01 A5 B5 F0 01 01 01 01 AA BA 01 E6 F8",  // 0xB0
      "BF A1 AC 01 01 01 01 AB BB 01 A0 C0 C3 D5 01 01",  // 0xC0
      "AD 01 01 01 91 92 F7 01 FF 01 93 A4 94 01 01 96",  // 0xD0
      "97 B7 98 99 9A C2 CA C1 CB C8 CD CE CF CC D3 D4",  // 0xE0
      "9B D2 DA DB D9 9C 9D 9E AF D0 BC BE B8 01 01 A6",  // 0xF0
  };
  std::string expected;
  for (const char* row : kRows) expected += std::string(row) + " ";
  std::string actual;
  char hex[4];
  for (uint8_t v : DefaultCharMap) {
    std::snprintf(hex, sizeof hex, "%02X ", v);
    actual += hex;
  }
  EXPECT_EQ(actual, expected);
}

TEST(CharMapQueries, FindMacCharFor) {
  EXPECT_EQ(FindMacCharFor(DefaultCharMap, 0xC4), 0x80);
  EXPECT_EQ(FindMacCharFor(DefaultCharMap, 0x80), 0);
  EXPECT_EQ(FindMacCharFor(DefaultCharMap, 0xA6), 0xFF);  // the last entry is searched too
  EXPECT_EQ(FindMacCharFor(DefaultCharMap, 0xA0), 0xCA);

  // The reader does not keep targets unique; the lowest entry answers.
  CharMap twice{};
  twice[5] = 0xE0;
  twice[90] = 0xE0;
  EXPECT_EQ(FindMacCharFor(twice, 0xE0), 0x85);
}

TEST(CharMapQueries, TakenFollowsTheTableNotTheDefault) {
  CharMap map{};
  ResetCharMap(map);
  EXPECT_EQ(map, DefaultCharMap);
  EXPECT_TRUE(IsWindowsCharTaken(map, 0xA6));
  map[127] = 0xFD;  // Macintosh 0xFF now stands for Windows 0xFD
  EXPECT_FALSE(IsWindowsCharTaken(map, 0xA6));
  EXPECT_TRUE(IsDefaultTarget(0xA6));
  EXPECT_TRUE(IsWindowsCharTaken(map, 0xFD));
  EXPECT_FALSE(IsDefaultTarget(0xFD));

  const CharMap empty{};
  for (int w = 0x80; w <= 0xFF; ++w) EXPECT_FALSE(IsWindowsCharTaken(empty, uint8_t(w)));
}

}  // namespace
}  // namespace brind
