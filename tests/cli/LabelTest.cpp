#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cli/Cp1252.h"
#include "cli/Label.h"

namespace brind::cli {
namespace {

TEST(Cp1252, CharactersTheCodePageHas) {
  struct Case {
    const char* utf8;
    std::string ansi;
  };
  const Case cases[] = {
      {"", ""},
      {"Untitled 1", "Untitled 1"},
      {"\xC2\xA0\xC3\xA9\xC3\xBF", "\xA0\xE9\xFF"},              // no-break space, é, ÿ
      {"\xE2\x82\xAC", "\x80"},                                  // €
      {"\xE2\x80\x9A\xC6\x92", "\x82\x83"},                      // ‚ ƒ
      {"\xC5\xA0\xC5\x92\xC5\xBD", "\x8A\x8C\x8E"},              // Š Œ Ž
      {"\xE2\x80\x98\xE2\x80\x94\xE2\x84\xA2", "\x91\x97\x99"},  // ‘ — ™
      {"\xC5\xBE\xC5\xB8", "\x9E\x9F"},                          // ž Ÿ
  };
  for (const Case& c : cases) {
    std::string out, error;
    EXPECT_TRUE(Utf8ToCp1252(c.utf8, out, error)) << c.utf8 << ": " << error;
    EXPECT_EQ(out, c.ansi) << c.utf8;
    EXPECT_EQ(Cp1252ToUtf8(c.ansi), c.utf8);
  }
}

TEST(Cp1252, EveryDefinedByteSurvivesTheRoundTrip) {
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string utf8 = Cp1252ToUtf8(one);
    std::string back, error;
    const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    EXPECT_EQ(Utf8ToCp1252(utf8, back, error), !undefined) << b;
    if (!undefined) {
      EXPECT_EQ(back, one) << b;
    }
  }
}

TEST(Cp1252, TextItCannotTake) {
  struct Case {
    const char* what;
    std::string utf8;
    const char* errorHas;
  };
  const Case cases[] = {
      {"Latin A with macron", "A\xC4\x80", "U+0100"},
      {"CJK", "\xE4\xB8\xAD", "U+4E2D"},
      {"emoji", "\xF0\x9F\x92\xBE", "U+1F4BE"},
      {"C1 control", "\xC2\x81", "U+0081"},
      {"overlong slash", "\xC0\xAF", "UTF-8"},
      {"lone continuation", "a\x80", "UTF-8"},
      {"cut sequence", "\xE2\x82", "UTF-8"},
      {"cut at the end", "abc\xC3", "UTF-8"},
      {"surrogate", "\xED\xA0\x80", "UTF-8"},
      {"beyond Unicode", "\xF4\x90\x80\x80", "UTF-8"},
      {"raw Latin-1 byte", "caf\xE9", "UTF-8"},
  };
  for (const Case& c : cases) {
    std::string out, error;
    EXPECT_FALSE(Utf8ToCp1252(c.utf8, out, error)) << c.what;
    EXPECT_NE(error.find(c.errorHas), std::string::npos) << c.what << ": " << error;
  }
}

TEST(VolumeLabel, LengthAndCharactersAllowed) {
  struct Case {
    std::string utf8;
    bool ok;
  };
  const Case cases[] = {
      {"", false},
      {"x", true},
      {std::string(27, 'x'), true},
      {std::string(28, 'x'), false},
      {std::string(26, 'x') + "\xC3\xA9", true},  // 27 characters in 28 bytes of UTF-8
      {std::string(27, 'x') + "\xC3\xA9", false},
      {"a:b", false},
      {"tab\there", false},
      {"del\x7F", false},
  };
  for (const Case& c : cases) {
    char label[kLabelBufferSize];
    std::memset(label, 0x55, sizeof label);
    std::string error;
    EXPECT_EQ(MakeVolumeLabel(c.utf8, label, error), c.ok) << c.utf8 << ": " << error;
    if (c.ok) {
      EXPECT_EQ(label[27], '\0') << c.utf8;
    } else {
      EXPECT_FALSE(error.empty()) << c.utf8;
    }
  }
  char label[kLabelBufferSize];
  std::string error;
  ASSERT_TRUE(MakeVolumeLabel("Untitled", label, error));
  EXPECT_STREQ(label, "Untitled");
}

// Through the default map: é is 0x8E among the Macintosh characters, and back again.
TEST(VolumeLabel, ExtendedCharactersBecomeMacintoshCharacters) {
  char label[kLabelBufferSize];
  std::string error;
  ASSERT_TRUE(MakeVolumeLabel("Caf\xC3\xA9", label, error)) << error;
  EXPECT_STREQ(label, "Caf\x8E");
  EXPECT_EQ(DisplayMacName(reinterpret_cast<const uint8_t*>(label), 4), "Caf\xC3\xA9");
  // A name read from a disk may hold an escape sequence: it never reaches the terminal raw.
  const uint8_t forged[] = {'A', 0x1B, '[', '2', 'J', 0x8E, 0x7F};
  EXPECT_EQ(DisplayMacName(forged, sizeof forged), "A\\x1B[2J\xC3\xA9\\x7F");
}

}  // namespace
}  // namespace brind::cli
