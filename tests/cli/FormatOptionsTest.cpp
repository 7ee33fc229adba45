#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cli/AppleDouble.h"
#include "cli/FormatOptions.h"
#include "cli/MacBinary.h"
#include "common/Bytes.h"

namespace brind::cli {
namespace {

TEST(VolumeSizeOption, UnitsAndLimits) {
  struct Case {
    const char* text;
    uint32_t sectors;  // 0: refused
  };
  const Case cases[] = {
      {"400K", 800},    {"800k", 1600},  {"1440K", 2880},    {"1474560", 2880},
      {"100M", 204800}, {"2G", 4194304}, {"2048M", 4194304}, {"399K", 0},
      {"2049M", 0},     {"1000", 0},     {"1474561", 0},     {"", 0},
      {"K", 0},         {"12X", 0},      {"-800K", 0},       {"99999999999999999999", 0}};
  for (const Case& c : cases) {
    uint32_t sectors = 0;
    std::string why;
    EXPECT_EQ(ParseVolumeSize(c.text, sectors, why), c.sectors != 0) << c.text;
    EXPECT_EQ(c.sectors ? sectors : 0, c.sectors) << c.text;
    EXPECT_EQ(why.empty(), c.sectors != 0) << c.text;
  }
}

TEST(DateOption, Iso8601AsTheWallClockTime) {
  struct Case {
    const char* text;
    int64_t date;  // -1: refused
  };
  const Case cases[] = {
      {"1995-12-14T16:19:40", 0xACF5FF1C},  // the fixed date of every format
      {"1995-12-14 16:19:40", 0xACF5FF1C},
      // With a zone: the local time of that instant (the test runs in UTC+01:00).
      {"1995-12-14T15:19:40Z", 0xACF5FF1C},
      {"1995-12-14T20:49:40+05:30", 0xACF5FF1C},
      {"1995-12-14T10:19:40-0500", 0xACF5FF1C},
      {"1903-12-31T23:00:00Z", 0},
      {"1903-12-31T22:59:59Z", -1},  // 1903-12-31T23:59:59 here
      {"2040-02-06T06:28:15+01", 0xFFFFFFFF},
      {"1904-01-01", 0},
      {"1904-01-01T00:01", 60},
      {"2040-02-06T06:28:15", 0xFFFFFFFF},
      {"2000-02-29", 3034627200},
      {"1903-12-31T23:59:59", -1},
      {"2040-02-06T06:28:16", -1},
      {"2001-02-29", -1},
      {"2024-13-01", -1},
      {"2024-01-01T24:00", -1},
      {"2024-01-01T12", -1},
      {"2024-1-1", -1},
      {"2024-01-01T12:00+5", -1},
      {"yesterday", -1},
  };
  setenv("TZ", "XXX-1", 1);  // one hour east of UTC, no daylight saving
  tzset();
  for (const Case& c : cases) {
    uint32_t date = 0;
    std::string why;
    EXPECT_EQ(ParseHfsDate(c.text, 0, date, why), c.date >= 0) << c.text;
    EXPECT_EQ(c.date >= 0 ? int64_t{date} : -1, c.date) << c.text;
  }
  // "now" is the local clock: at the Unix epoch in UTC, 24107 days after 1904.
  setenv("TZ", "UTC", 1);
  tzset();
  uint32_t date = 0;
  std::string why;
  ASSERT_TRUE(ParseHfsDate("now", 0, date, why));
  EXPECT_EQ(date, 24107u * 86400);
}

TEST(GroupedNumber, ThousandsSeparated) {
  EXPECT_EQ(GroupedNumber(0), "0");
  EXPECT_EQ(GroupedNumber(999), "999");
  EXPECT_EQ(GroupedNumber(1448960), "1,448,960");
  EXPECT_EQ(GroupedNumber(2113961984), "2,113,961,984");
}

// AppleDouble files beside the files of -d DIR: what is taken from them, and the damaged ones,
// whose offsets must never be read past the file or the bytes read.
TEST(AppleDoubleFiles, EntriesBoundedByTheFile) {
  struct Entry {
    uint32_t id, offset, length;
  };
  struct Case {
    const char* name;
    uint32_t version;
    std::vector<Entry> entries;
    uint16_t count;     // entries the header claims
    size_t head, size;  // bytes read, bytes of the file
    AppleDoubleKind kind;
    uint64_t rsrcOffset, rsrcLength;
    uint8_t lastFinderByte;  // byte 31 of the Finder information taken
  };
  const Case cases[] = {
      {"both entries",
       0x20000,
       {{9, 50, 32}, {2, 82, 10}},
       2,
       92,
       92,
       AppleDoubleKind::kValid,
       82,
       10,
       31},
      {"version 1", 0x10000, {{9, 50, 32}}, 1, 92, 92, AppleDoubleKind::kValid, 0, 0, 31},
      {"Finder information with attributes after it",
       0x20000,
       {{9, 50, 42}},
       1,
       92,
       92,
       AppleDoubleKind::kValid,
       0,
       0,
       31},
      {"Finder information of 16 bytes",
       0x20000,
       {{9, 50, 16}},
       1,
       92,
       92,
       AppleDoubleKind::kValid,
       0,
       0,
       0},
      {"a resource fork past the file",
       0x20000,
       {{2, 82, 11}},
       1,
       92,
       92,
       AppleDoubleKind::kDamaged,
       0,
       0,
       0},
      {"an offset that wraps 32 bits",
       0x20000,
       {{2, 0xFFFFFFF0, 0x20}},
       1,
       92,
       92,
       AppleDoubleKind::kDamaged,
       0,
       0,
       0},
      {"Finder information past the bytes read",
       0x20000,
       {{9, 70, 32}},
       1,
       92,
       200,
       AppleDoubleKind::kDamaged,
       0,
       0,
       0},
      {"more entries than the file holds",
       0x20000,
       {{9, 50, 32}},
       9,
       92,
       92,
       AppleDoubleKind::kDamaged,
       0,
       0,
       0},
      {"two resource forks",
       0x20000,
       {{2, 50, 1}, {2, 60, 1}},
       2,
       92,
       92,
       AppleDoubleKind::kDamaged,
       0,
       0,
       0},
      {"an unknown version", 0x30000, {}, 0, 92, 92, AppleDoubleKind::kDamaged, 0, 0, 0},
      {"a header cut short", 0x20000, {}, 0, 20, 20, AppleDoubleKind::kDamaged, 0, 0, 0},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> file(c.head);
    for (size_t i = 50; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i - 50);
    PutU32BE(file.data(), kAppleDoubleMagic);
    PutU32BE(file.data() + 4, c.version);
    if (file.size() >= 26) PutU16BE(file.data() + 24, c.count);
    for (size_t k = 0; k < c.entries.size(); ++k) {
      PutU32BE(&file[26 + 12 * k], c.entries[k].id);
      PutU32BE(&file[30 + 12 * k], c.entries[k].offset);
      PutU32BE(&file[34 + 12 * k], c.entries[k].length);
    }
    AppleDoubleInfo info;
    std::string why;
    EXPECT_EQ(ParseAppleDouble(file.data(), file.size(), c.size, info, why), c.kind) << c.name;
    EXPECT_EQ(why.empty(), c.kind == AppleDoubleKind::kValid) << c.name;
    if (c.kind != AppleDoubleKind::kValid) continue;
    EXPECT_EQ(info.resourceOffset, c.rsrcOffset) << c.name;
    EXPECT_EQ(info.resourceLength, c.rsrcLength) << c.name;
    EXPECT_EQ(info.finderInfo[31], c.lastFinderByte) << c.name;
  }
  const uint8_t plain[] = "plain text, not AppleDouble";
  AppleDoubleInfo info;
  std::string why;
  EXPECT_EQ(ParseAppleDouble(plain, sizeof plain, sizeof plain, info, why), AppleDoubleKind::kNone);
}

// MacBinary headers: a valid one gives its forks where they lie; one with a wrong CRC, an
// impossible name or forks past the file is no MacBinary file at all.
TEST(MacBinaryFiles, HeaderCheckedAndForksInsideTheFile) {
  struct Case {
    const char* name;
    uint8_t nameLength;
    uint32_t data, rsrc;
    uint16_t secondary;
    uint64_t fileSize;
    int crcDelta;
    bool valid;
    uint64_t dataOffset, rsrcOffset;
  };
  const Case cases[] = {
      {"both forks", 4, 200, 10, 0, 128 + 256 + 128, 0, true, 128, 384},
      {"a secondary header", 4, 1, 1, 200, 128 + 256 + 128 + 1, 0, true, 384, 512},
      {"no padding after the last fork", 4, 200, 10, 0, 128 + 256 + 10, 0, true, 128, 384},
      {"the resource fork one byte short", 4, 200, 10, 0, 128 + 256 + 9, 0, false, 0, 0},
      {"the data fork past the file", 4, 1000, 0, 0, 1000, 0, false, 0, 0},
      {"lengths that wrap 32 bits", 4, 0xFFFFFFFF, 0xFFFFFFFF, 0, 1 << 20, 0, false, 0, 0},
      {"a wrong CRC", 4, 0, 0, 0, 128, 1, false, 0, 0},
      {"no name", 0, 0, 0, 0, 128, 0, false, 0, 0},
      {"a name of 64 characters", 64, 0, 0, 0, 128, 0, false, 0, 0},
      {"shorter than a header", 4, 0, 0, 0, 127, 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    uint8_t h[128] = {};
    h[1] = c.nameLength;
    std::memset(h + 2, 'n', c.nameLength < 63 ? c.nameLength : 63);
    std::memcpy(h + 65, "APPLAPPL", 8);
    h[73] = 0x21, h[101] = 0x40;
    PutU32BE(h + 83, c.data);
    PutU32BE(h + 87, c.rsrc);
    PutU16BE(h + 120, c.secondary);
    h[122] = h[123] = 129;
    PutU16BE(h + 124, static_cast<uint16_t>(MacBinaryCrc(h, 124) + c.crcDelta));
    MacBinaryInfo info;
    EXPECT_EQ(ParseMacBinary(h, c.fileSize, info), c.valid) << c.name;
    if (!c.valid) continue;
    EXPECT_EQ(info.dataOffset, c.dataOffset) << c.name;
    EXPECT_EQ(info.resourceOffset, c.rsrcOffset) << c.name;
    EXPECT_EQ(info.finderInfo[8], 0x21) << c.name;  // fdFlags from its two bytes
    EXPECT_EQ(info.finderInfo[9], 0x40) << c.name;
    EXPECT_EQ(info.name, std::string(c.nameLength, 'n')) << c.name;
  }
}

}  // namespace
}  // namespace brind::cli
