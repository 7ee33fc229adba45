#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "charmap/CharMapFile.h"

namespace brind {
namespace {

// The table with guards on both sides, so a write past either end is seen.
struct Guarded {
  uint8_t before[16];
  CharMap map;
  uint8_t after[16];
  Guarded() {
    std::memset(before, 0xA5, sizeof before);
    std::memset(after, 0xA5, sizeof after);
    map.fill(0x77);  // "as it was before reading"
  }
  bool GuardsIntact() const {
    for (int i = 0; i < 16; ++i) {
      if (before[i] != 0xA5 || after[i] != 0xA5) return false;
    }
    return true;
  }
};

std::string Lines(int count, const char* eol = "\r\n") {
  std::string s;
  for (int k = 0; k < count; ++k) {
    s += "The Mac " + std::to_string(128 + k) + " is mapped To " + std::to_string(k + 2) + eol;
  }
  return s;
}

// Expected table when line k (counting from 0) of the text sets entry k to k + 2.
CharMap Stepped(int lines) {
  CharMap m;
  m.fill(0x77);
  for (int k = 0; k < lines && k < 128; ++k) m[k] = uint8_t(k + 2);
  return m;
}

struct ReadCase {
  const char* what;
  std::string text;
  std::vector<std::pair<int, int>> entries;  // entry, expected value; others stay 0x77
};

TEST(ReadCharMapFile, LinesAndNumbers) {
  const std::string sixty = "The Mac 128 is mapped To 12 and then a long tail of 60 chars";
  ASSERT_EQ(sixty.size(), 60u);
  const std::string fortyFour(44, 'x');
  const ReadCase cases[] = {
      {"value reduced modulo 256", "The Mac 200 is mapped To 300\r\n", {{0, 44}}},
      {"the last number on a line wins", "x 7 y 9\r\n", {{0, 9}}},
      {"a line whose only number is the code", "The Mac 128 is mapped To\r\n", {{0, 128}}},
      {"a line without digits leaves its entry", "no digits\r\n\r\nx 5\r\n", {{2, 5}}},
      {"LF alone ends a line too", "1\n2\n3", {{0, 1}, {1, 2}, {2, 3}}},
      {"a lone CR is a character, not a line end", "1\r2\r\n3\r\n", {{0, 2}, {1, 3}}},
      {"a CR at the very end is a character", "9\r", {{0, 9}}},
      {"signs and words are skipped", "-12+3.4e5\r\n", {{0, 5}}},
      {"a 60-character line counts twice: the rest shifts",
       sixty + "\r\nx 99\r\n",
       {{0, 12}, {1, 60}, {2, 99}}},
      {"a line of exactly 44 characters is one line", fortyFour + "\r\n7\r\n", {{1, 7}}},
      {"a digit run cut at 44 characters becomes two numbers",
       std::string(42, ' ') + "1234\r\n",
       {{0, 12}, {1, 34}}},
      {"more than 4 digits: the whole run, modulo 256", "To 65580\r\n", {{0, 44}}},
      {"a very long run never overflows", "To " + std::string(20, '9') + "\r\n", {{0, 255}}},
      {"zero is stored as it is", "To 256\r\n", {{0, 0}}},
      {"a NUL byte is an ordinary character",
       std::string("4\0"
                   "2\r\n",
                   4),
       {{0, 2}}},
  };
  for (const ReadCase& c : cases) {
    Guarded g;
    ReadCharMapBytes(g.map, c.text.data(), c.text.size());
    CharMap expected;
    expected.fill(0x77);
    for (auto [entry, value] : c.entries) expected[entry] = uint8_t(value);
    EXPECT_EQ(g.map, expected) << c.what;
    EXPECT_TRUE(g.GuardsIntact()) << c.what;
  }
}

TEST(ReadCharMapFile, FileLengths) {
  struct Case {
    const char* what;
    std::string text;
    int lines;
  };
  const Case cases[] = {
      {"127 lines leave the last entry as it was", Lines(127), 127},
      {"128 lines", Lines(128), 128},
      {"more than 128 lines: the rest is ignored", Lines(300), 128},
      {"LF-only file reads the same", Lines(128, "\n"), 128},
      {"last line without its line end", Lines(128).substr(0, Lines(128).size() - 2), 128},
      {"empty file", "", 0},
  };
  for (const Case& c : cases) {
    Guarded g;
    ReadCharMapBytes(g.map, c.text.data(), c.text.size());
    EXPECT_EQ(g.map, Stepped(c.lines)) << c.what;
    EXPECT_TRUE(g.GuardsIntact()) << c.what;
  }
}

TEST(ReadCharMapFile, StreamAndMemoryAgree) {
  const std::string text = Lines(40) + std::string(70, '8') + "\r\n" + Lines(100, "\n");
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  CharMap fromFile{}, fromMemory{};
  ReadCharMapFile(fromFile, f);
  std::fclose(f);
  ReadCharMapBytes(fromMemory, text.data(), text.size());
  EXPECT_EQ(fromFile, fromMemory);
  EXPECT_EQ(fromFile[40], uint8_t(88888888 % 256));  // first 44 eights, kept whole mod 256
}

std::string Written(const CharMap& map) {
  std::FILE* f = std::tmpfile();
  EXPECT_NE(f, nullptr);
  EXPECT_TRUE(WriteCharMapFile(map, f));
  std::string bytes(static_cast<size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
  return bytes;
}

TEST(WriteCharMapFile, DefaultFile) {
  const std::string bytes = Written(DefaultCharMap);
  EXPECT_EQ(bytes.rfind("The Mac 128 is mapped To 196\r\nThe Mac 129 is mapped To 197\r\n", 0), 0u);
  EXPECT_NE(bytes.find("\r\nThe Mac 160 is mapped To 1\r\nThe Mac 161 is mapped To 176\r\n"),
            std::string::npos);
  const std::string last = "\r\nThe Mac 255 is mapped To 166\r\n";
  EXPECT_EQ(bytes.substr(bytes.size() - last.size()), last);
  size_t crlf = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(bytes[i - 1], '\r') << "every line ends in CR LF";
      ++crlf;
    }
  }
  EXPECT_EQ(crlf, 128u);
  // 100 mapped entries have 3-digit values, 28 unmapped ones write "1".
  EXPECT_EQ(bytes.size(), 128u * std::strlen("The Mac 128 is mapped To \r\n") + 100 * 3 + 28);
}

TEST(WriteCharMapFile, RoundTripIsExactAndStable) {
  CharMap odd{};
  for (int i = 0; i < 128; ++i) odd[i] = uint8_t(i * 37 + 5);  // 1-, 2- and 3-digit values, 0
  odd[3] = 0;
  for (const CharMap& map : {DefaultCharMap, odd}) {
    const std::string first = Written(map);
    CharMap back;
    back.fill(0x77);
    ReadCharMapBytes(back, first.data(), first.size());
    EXPECT_EQ(back, map);
    EXPECT_EQ(Written(back), first) << "byte for byte the same each time";
  }
}

struct Recorder : CharMapReadObserver {
  std::vector<CharMapLine> lines;
  void OnLine(const CharMapLine& line) override { lines.push_back(line); }
};

TEST(CharMapReader, TellsTheCheckerWhatHappened) {
  const std::string text =
      "The Mac 128 is mapped To 196\r\n"
      "nothing\r\n" +
      std::string(50, 'a') + "7\r\n" + "The Mac 131 is mapped To 123456\r\n" + Lines(130);
  Recorder r;
  CharMap map{};
  ReadCharMapBytes(map, text.data(), text.size(), &r);
  ASSERT_EQ(r.lines.size(), 4u + 1 + 130);
  EXPECT_EQ(r.lines[0].firstNumber, 128u);
  EXPECT_EQ(r.lines[0].value, 196);
  EXPECT_EQ(r.lines[0].fileLine, 1u);
  EXPECT_FALSE(r.lines[1].hasDigits);
  EXPECT_EQ(r.lines[2].length, 44u);
  EXPECT_FALSE(r.lines[2].continued);
  EXPECT_TRUE(r.lines[3].continued);
  EXPECT_EQ(r.lines[3].fileLine, 3u);
  EXPECT_EQ(std::string(r.lines[3].text), "aaaaaa7");
  EXPECT_EQ(r.lines[4].fileLine, 4u);
  EXPECT_TRUE(r.lines[4].longRun);
  EXPECT_EQ(r.lines[4].lastNumber, 99999u) << "saturated for the report";
  EXPECT_EQ(r.lines[4].value, 123456 % 256);
  EXPECT_EQ(r.lines.back().entry, 134);
  EXPECT_EQ(map[127], 124);  // line 123 of the run of 130 fell on entry 127
}

TEST(CharMapPath, FitsOrRefuses) {
  char path[24];
  EXPECT_TRUE(CharMapPath("C:\\BRIND", path, sizeof path));
  EXPECT_STREQ(path, "C:\\BRIND\\CHARMAP.MAC");
  EXPECT_TRUE(CharMapPath("C:\\BRIND\\", path, sizeof path)) << "no separator removed";
  EXPECT_STREQ(path, "C:\\BRIND\\\\CHARMAP.MAC");
  EXPECT_TRUE(CharMapPath("C:\\ABCDEFGH", path, sizeof path));  // 11 + 12 + 1 = 24
  EXPECT_FALSE(CharMapPath("C:\\ABCDEFGHI", path, sizeof path));
  EXPECT_STREQ(path, "");
}

}  // namespace
}  // namespace brind
