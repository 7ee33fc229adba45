// The headers of the two files a Macintosh file becomes on a Linux disk: an AppleDouble file
// ("._NAME", beside the data fork) or a MacBinary III file (both forks in one).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/MacBinary.h"

namespace brind::cli {

// A file's Finder information as an HFS catalog keeps it: FInfo then FXInfo (DInfo and DXInfo
// of a folder).
using FinderInfo = std::array<uint8_t, 32>;

struct MacDates {
  uint32_t created = 0, modified = 0, backedUp = 0;  // HFS dates, 0 = never
};

// Version 2 AppleDouble header: entries Finder information (9), file dates (8) and, with
// withResource, the resource fork (2) of resourceLength bytes, which follow the header.
std::vector<uint8_t> AppleDoubleHeader(const FinderInfo& finder, const MacDates& dates,
                                       bool withResource, uint32_t resourceLength);

// The header, and the unit each fork is padded to.
inline constexpr size_t kMacBinaryBlock = kMacBinaryHeaderSize;

// MacBinary III header for a file named mac (1 to 63 Macintosh characters) whose data fork,
// then resource fork, follow, each padded to 128 bytes.
std::array<uint8_t, kMacBinaryBlock> MacBinaryHeader(const std::string& mac,
                                                     const FinderInfo& finder,
                                                     const MacDates& dates, uint32_t dataLength,
                                                     uint32_t resourceLength);

// An HFS date (seconds since 1904-01-01, local wall-clock time) as Unix time, read in the time
// zone of this machine (TZ): the same wall-clock time the Macintosh showed.
int64_t UnixTimeOfHfsDate(uint32_t hfs);

}  // namespace brind::cli
