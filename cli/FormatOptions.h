// The volume size and date options of brindlewood-format, parsed without touching anything.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace brind::cli {

// A size in bytes, or with K (1024), M or G: a whole number of 512-byte sectors from 400K to
// 2G. False with the reason otherwise.
bool ParseVolumeSize(const std::string& text, uint32_t& sectors, std::string& why);

// "1,448,960": the way sizes are shown.
std::string GroupedNumber(uint64_t n);

// An HFS date (seconds since 1904-01-01 00:00 on the Macintosh's clock) from ISO 8601:
// YYYY-MM-DD, optionally with THH:MM or THH:MM:SS and a zone suffix (Z, +HH:MM). HFS keeps the
// wall-clock time: a time without a zone is stored as written, one with a zone as the local
// time of that instant. "now" is the local time at `now`. False with the reason outside 1904-01-01
// .. 2040-02-06T06:28:15.
bool ParseHfsDate(const std::string& text, std::time_t now, uint32_t& date, std::string& why);

}  // namespace brind::cli
