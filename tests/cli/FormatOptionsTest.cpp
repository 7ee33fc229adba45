#include <gtest/gtest.h>

#include "cli/FormatOptions.h"

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

}  // namespace
}  // namespace brind::cli
