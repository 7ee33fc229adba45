#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "charmap/NameConversion.h"

namespace brind {
namespace {

using Bytes = std::string;

Bytes ToWindows(const CharMap& map, const Bytes& mac) {
  std::string buf(WindowsNameCapacity(mac.size()), '\xEE');
  std::memcpy(buf.data(), mac.data(), mac.size());
  buf[mac.size()] = 0;
  const size_t n = MacToWindowsNameWith(map, buf.data(), mac.size(), buf.size());
  EXPECT_EQ(buf[n], 0) << "terminator behind the result";
  return buf.substr(0, n);
}

Bytes ToMac(const CharMap& map, const Bytes& win) {
  std::string buf = win + '\0' + "\xEE\xEE";
  const size_t n = WindowsToMacNameWith(map, buf.data(), win.size());
  EXPECT_LE(n, win.size());
  EXPECT_EQ(buf[n], 0) << "terminator behind the result";
  EXPECT_EQ(buf.substr(win.size() + 1), "\xEE\xEE") << "nothing written past the terminator";
  return buf.substr(0, n);
}

struct Case {
  const char* what;
  Bytes from, to;
};

TEST(MacToWindowsName, DefaultMap) {
  const Case cases[] = {
      {"plain ASCII", "Untitled 1", "Untitled 1"},
      {"mapped, ASCII, escaped", "\x80\x41\xA5", "\xC4\x41\x5F\xA5"},
      {"dagger is escaped: Windows A0 stands for Macintosh CA", "\xA0", "_\xA0"},
      {"underscore before a mapped character", "_\xCA", "_\xA0"},
      {"unmapped, Windows code free: unchanged", "\xB2\xFE", "\xB2\xFE"},
      {"several escapes shift the rest", "\xA0x\xA5y\xA0", "_\xA0x_\xA5y_\xA0"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ToWindows(DefaultCharMap, c.from), c.to) << c.what;
}

TEST(WindowsToMacName, DefaultMap) {
  const Case cases[] = {
      {"plain ASCII", "Untitled 1", "Untitled 1"},
      {"escaped pair back to one byte", "\xC4\x41\x5F\xA5", "\x80\x41\xA5"},
      {"plain A0 is Macintosh CA", "\xA0", "\xCA"},
      {"_ A0 is the escaped dagger", "_\xA0", "\xA0"},
      {"escape at the very start stays when nothing special follows", "_abc", "_abc"},
      {"underscore before a character whose same-code Macintosh one is mapped", "_\xE9", "_\x8E"},
      {"untargeted Windows character passes", "\x81", "\x81"},
      {"the byte after an escaped pair is still converted", "_\xA0\xA0", "\xA0\xCA"},
      {"double underscore: only the last one escapes", "__\xA0", "_\xA0"},
      {"escape, then an ordinary pair", "_\xA5_\xE9", "\xA5_\x8E"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToMac(DefaultCharMap, c.from), c.to) << c.what;
}

// A table with unique targets that differs from the default: a rotation of it.
CharMap Rotated() {
  CharMap m{};
  for (int i = 0; i < 128; ++i) m[i] = DefaultCharMap[(i + 37) % 128];
  return m;
}

TEST(NameConversion, RoundTripWithoutEscapesIsExact) {
  for (const CharMap& map : {DefaultCharMap, Rotated()}) {
    // Every name of two bytes without "_" in front of an extended character.
    for (int a = 1; a < 256; ++a) {
      for (int b = 1; b < 256; ++b) {
        if (a == '_' && b >= 0x80) continue;
        const Bytes mac{char(a), char(b)};
        ASSERT_EQ(ToMac(map, ToWindows(map, mac)), mac) << std::hex << a << " " << b;
      }
    }
    // Longer random names.
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
      Bytes mac;
      const int n = 1 + rng() % 27;
      for (int i = 0; i < n; ++i) {
        int c = 1 + rng() % 255;
        if (c == '_') c = 'x';
        mac.push_back(char(c));
      }
      ASSERT_EQ(ToMac(map, ToWindows(map, mac)), mac);
    }
  }
}

TEST(NameConversion, UnloadedTableNeverPutsZeroIntoAName) {
  const CharMap zero{};
  CharMap partlyZero = DefaultCharMap;
  partlyZero[0] = 0;  // a file line "The Mac 128 is mapped To 256"
  EXPECT_EQ(ToWindows(zero, "a\x80\xA0z"), "a\x80\xA0z");
  EXPECT_EQ(ToMac(zero, "a\x80\xA0z"), "a\x80\xA0z");
  // Macintosh 0x80 keeps its own code; Windows 0x80 is nobody's target, so no escape.
  EXPECT_EQ(ToWindows(partlyZero, "\x80\x81"), "\x80\xC5");
}

TEST(MacToWindowsName, BoundedByCapacity) {
  // Full result of this name is "_\xA0" "a" "_\xA5" "\xC4" = 6 bytes.
  const Bytes mac =
      "\xA0"
      "a\xA5\x80";
  const Bytes full = ToWindows(DefaultCharMap, mac);
  ASSERT_EQ(full,
            "_\xA0"
            "a_\xA5\xC4");
  struct Bound {
    size_t capacity;
    Bytes expected;
  };
  const Bound bounds[] = {
      {5,
       "_\xA0"
       "a"},  // the second pair would end at byte 5: cut before it
      {6,
       "_\xA0"
       "a_\xA5"},  // the tail is dropped; the pair stays whole
      {7, full},   // exactly enough
      {9, full},   // the doubled size
  };
  for (const Bound& b : bounds) {
    std::string buf(b.capacity + 8, '\xEE');
    std::memcpy(buf.data(), mac.data(), std::min(mac.size() + 1, buf.size()));
    const size_t n = MacToWindowsNameWith(DefaultCharMap, buf.data(), mac.size(), b.capacity);
    EXPECT_EQ(buf.substr(0, n), b.expected) << "capacity " << b.capacity;
    EXPECT_LT(n, b.capacity);
    EXPECT_EQ(buf[n], 0);
    EXPECT_EQ(buf.substr(b.capacity), std::string(8, '\xEE')) << "capacity " << b.capacity;
  }
  char none = 'x';
  EXPECT_EQ(MacToWindowsNameWith(DefaultCharMap, &none, 1, 0), 0u);
  EXPECT_EQ(none, 'x');
}

}  // namespace
}  // namespace brind
