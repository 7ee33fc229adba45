#include "cli/FormatOptions.h"

#include <cctype>
#include <cstdio>

#include "hfs/Mdb.h"

namespace brind::cli {

namespace {

// Days from 1904-01-01 to y-m-d of the proleptic Gregorian calendar.
int64_t DaysSince1904(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 24107;  // 1970-01-01 is day 24107 after 1904-01-01
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Reads exactly `digits` decimal digits at text[at].
bool Number(const std::string& text, size_t& at, int digits, int& value) {
  value = 0;
  for (int i = 0; i < digits; ++i, ++at) {
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) return false;
    value = value * 10 + (text[at] - '0');
  }
  return true;
}

// A zone suffix: none (zoned false), Z, or +HH:MM / -HHMM / +HH, as seconds east of UTC.
bool ZoneSuffix(const std::string& text, size_t at, bool& zoned, int& east) {
  zoned = at < text.size();
  east = 0;
  if (!zoned) return true;
  if (text[at] == 'Z') return at + 1 == text.size();
  if (text[at] != '+' && text[at] != '-') return false;
  const int sign = text[at] == '-' ? -1 : 1;
  int h = 0, m = 0;
  ++at;
  if (!Number(text, at, 2, h)) return false;
  if (at < text.size() && text[at] == ':') ++at;
  if (at < text.size() && !Number(text, at, 2, m)) return false;
  east = sign * (h * 3600 + m * 60);
  return at == text.size() && h <= 23 && m <= 59;
}

// The local wall-clock time of an instant, as HFS dates are kept.
bool LocalFields(std::time_t t, int& y, int& mo, int& d, int& h, int& mi, int& s) {
  std::tm local{};
  if (!localtime_r(&t, &local)) return false;
  y = local.tm_year + 1900, mo = local.tm_mon + 1, d = local.tm_mday;
  h = local.tm_hour, mi = local.tm_min, s = local.tm_sec;
  return true;
}

}  // namespace

bool ParseVolumeSize(const std::string& text, uint32_t& sectors, std::string& why) {
  size_t at = 0;
  uint64_t n = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && n < (1ull << 40))
    n = n * 10 + static_cast<uint64_t>(text[at++] - '0');
  const std::string unit = text.substr(at);
  uint64_t scale = 0;
  if (unit.empty())
    scale = 1;
  else if (unit == "K" || unit == "k")
    scale = 1024;
  else if (unit == "M" || unit == "m")
    scale = 1024 * 1024;
  else if (unit == "G" || unit == "g")
    scale = 1024 * 1024 * 1024;
  if (at == 0 || scale == 0) {
    why = "is not a size (bytes, or a number with K, M or G)";
    return false;
  }
  const uint64_t bytes = n * scale;
  if (bytes % 512 != 0) {
    why = "is not a whole number of 512-byte sectors";
    return false;
  }
  if (bytes < uint64_t{kMinVolumeSectors} * 512 || bytes > uint64_t{kMaxVolumeSectors} * 512) {
    why = "is outside the sizes of an HFS volume, 400K to 2G";
    return false;
  }
  sectors = static_cast<uint32_t>(bytes / 512);
  return true;
}

std::string GroupedNumber(uint64_t n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
    digits.insert(static_cast<size_t>(i), ",");
  return digits;
}

bool ParseHfsDate(const std::string& text, std::time_t now, uint32_t& date, std::string& why) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (text == "now") {
    if (!LocalFields(now, y, mo, d, h, mi, s)) {
      why = "cannot read the clock";
      return false;
    }
  } else {
    size_t at = 0;
    bool ok = Number(text, at, 4, y) && at < text.size() && text[at++] == '-' &&
              Number(text, at, 2, mo) && at < text.size() && text[at++] == '-' &&
              Number(text, at, 2, d);
    if (ok && at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
      ++at;
      ok = Number(text, at, 2, h) && at < text.size() && text[at++] == ':' &&
           Number(text, at, 2, mi);
      if (ok && at < text.size() && text[at] == ':') {
        ++at;
        ok = Number(text, at, 2, s);
      }
    }
    bool zoned = false;
    int east = 0;
    ok = ok && ZoneSuffix(text, at, zoned, east);
    static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (!ok || mo < 1 || mo > 12 || d < 1 || d > kMonthDays[mo - 1] ||
        (mo == 2 && d == 29 && !IsLeap(y)) || h > 23 || mi > 59 || s > 59) {
      why = "is not a date of the form 2024-05-31 or 2024-05-31T14:30:00 (or \"now\")";
      return false;
    }
    // A time with a zone is an instant: the volume gets this machine's wall-clock time of it.
    const std::time_t instant = static_cast<std::time_t>((DaysSince1904(y, mo, d) - 24107) * 86400 +
                                                         h * 3600 + mi * 60 + s - east);
    if (zoned && !LocalFields(instant, y, mo, d, h, mi, s)) {
      why = "cannot be converted to the local time";
      return false;
    }
  }
  const int64_t seconds = DaysSince1904(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
  if (seconds < 0 || seconds > 0xFFFFFFFFll) {
    why = "is outside the dates of an HFS volume (1904 to 2040-02-06T06:28:15)";
    return false;
  }
  date = static_cast<uint32_t>(seconds);
  return true;
}

}  // namespace brind::cli
