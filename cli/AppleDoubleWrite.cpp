#include "cli/AppleDoubleWrite.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "common/Bytes.h"

namespace brind::cli {

namespace {

constexpr uint32_t kAppleDoubleMagic = 0x00051607, kAppleDoubleVersion2 = 0x00020000;
constexpr uint32_t kEntryResourceFork = 2, kEntryDates = 8, kEntryFinderInfo = 9;
constexpr size_t kHeaderSize = 26, kEntrySize = 12, kDatesSize = 16;
// AppleDouble dates count from 2000-01-01 00:00 UTC; this is its Unix time.
constexpr int64_t kUnixTimeOf2000 = 946684800;
constexpr uint32_t kUnknownDate = 0x80000000;

uint32_t AppleDoubleDate(uint32_t hfs) {
  if (hfs == 0) return kUnknownDate;
  const int64_t t = UnixTimeOfHfsDate(hfs) - kUnixTimeOf2000;
  return static_cast<uint32_t>(
      static_cast<int32_t>(std::clamp<int64_t>(t, INT32_MIN + 1, INT32_MAX)));
}

}  // namespace

std::vector<uint8_t> AppleDoubleHeader(const FinderInfo& finder, const MacDates& dates,
                                       bool withResource, uint32_t resourceLength) {
  const uint16_t entries = withResource ? 3 : 2;
  const size_t finderAt = kHeaderSize + entries * kEntrySize;
  const size_t datesAt = finderAt + finder.size(), resourceAt = datesAt + kDatesSize;
  std::vector<uint8_t> h(resourceAt, 0);
  PutU32BE(h.data(), kAppleDoubleMagic);
  PutU32BE(h.data() + 4, kAppleDoubleVersion2);
  PutU16BE(h.data() + 24, entries);
  const uint32_t table[3][3] = {
      {kEntryFinderInfo, static_cast<uint32_t>(finderAt), 32},
      {kEntryDates, static_cast<uint32_t>(datesAt), kDatesSize},
      {kEntryResourceFork, static_cast<uint32_t>(resourceAt), resourceLength}};
  for (size_t k = 0; k < entries; ++k)
    for (size_t f = 0; f < 3; ++f)
      PutU32BE(h.data() + kHeaderSize + k * kEntrySize + f * 4, table[k][f]);
  std::copy(finder.begin(), finder.end(), h.begin() + static_cast<ptrdiff_t>(finderAt));
  // Created, modified, backed up, accessed (the last is not kept by HFS: the modification).
  const uint32_t times[4] = {AppleDoubleDate(dates.created), AppleDoubleDate(dates.modified),
                             AppleDoubleDate(dates.backedUp), AppleDoubleDate(dates.modified)};
  for (size_t k = 0; k < 4; ++k) PutU32BE(h.data() + datesAt + 4 * k, times[k]);
  return h;
}

std::array<uint8_t, kMacBinaryBlock> MacBinaryHeader(const std::string& mac, const FinderInfo& f,
                                                     const MacDates& dates, uint32_t dataLength,
                                                     uint32_t resourceLength) {
  std::array<uint8_t, kMacBinaryBlock> h{};
  const size_t n = std::min<size_t>(mac.size(), 63);
  h[1] = static_cast<uint8_t>(n);
  std::memcpy(&h[2], mac.data(), n);
  std::memcpy(&h[65], f.data(), 8);       // fdType, fdCreator
  h[73] = f[8];                           // fdFlags, high byte
  std::memcpy(&h[75], f.data() + 10, 6);  // fdLocation, fdFldr
  PutU32BE(&h[83], dataLength);
  PutU32BE(&h[87], resourceLength);
  PutU32BE(&h[91], dates.created);
  PutU32BE(&h[95], dates.modified);
  h[101] = f[9];  // fdFlags, low byte
  std::memcpy(&h[102], "mBIN", 4);
  h[106] = f[16 + 8];  // fdScript
  h[107] = f[16 + 9];  // fdXFlags
  h[122] = 130;        // written as MacBinary III
  h[123] = 129;        // readable by MacBinary II readers
  PutU16BE(&h[124], MacBinaryCrc(h.data(), 124));
  return h;
}

int64_t UnixTimeOfHfsDate(uint32_t hfs) {
  // The civil date of the day count from 1904-01-01 (day 24107 before 1970-01-01).
  const int64_t z = hfs / 86400 - 24107 + 719468;
  const int64_t era = z / 146097, doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  std::tm tm{};
  tm.tm_year = static_cast<int>(y - 1900);
  tm.tm_mon = static_cast<int>(m - 1);
  tm.tm_mday = static_cast<int>(d);
  const uint32_t s = hfs % 86400;
  tm.tm_hour = static_cast<int>(s / 3600);
  tm.tm_min = static_cast<int>(s / 60 % 60);
  tm.tm_sec = static_cast<int>(s % 60);
  tm.tm_isdst = -1;  // whatever daylight saving the zone had on that day
  const std::time_t t = std::mktime(&tm);
  // mktime fails only outside time_t; the UTC reading of the wall clock is then as close.
  return t == static_cast<std::time_t>(-1) ? (int64_t{hfs} - 2082844800) : int64_t{t};
}

}  // namespace brind::cli
