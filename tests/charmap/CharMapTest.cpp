#include <gtest/gtest.h>

#include <set>

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

TEST(DefaultCharMap, SampleRows) {
  struct Case {
    int mac, win;
  };
  for (const Case c :
       {Case{0x80, 0xC4}, Case{0x81, 0xC5}, Case{0xA0, 0x01}, Case{0xB6, 0xF0}, Case{0xCA, 0xA0},
        Case{0xDA, 0x93}, Case{0xF9, 0xD0}, Case{0xFA, 0xBC}, Case{0xFB, 0xBE}, Case{0xFF, 0xA6}}) {
    EXPECT_EQ(DefaultCharMap[c.mac - 0x80], c.win) << std::hex << c.mac;
  }
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
