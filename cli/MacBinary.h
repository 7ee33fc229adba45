// MacBinary II and III files: a 128-byte header (its CRC checked), the data fork and the
// resource fork, each padded to 128 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace brind::cli {

inline constexpr size_t kMacBinaryHeaderSize = 128;

struct MacBinaryInfo {
  std::string name;                      // Macintosh characters, 1 to 63 of them
  std::array<uint8_t, 32> finderInfo{};  // FInfo and FXInfo as an HFS catalog keeps them
  uint32_t created = 0, modified = 0;    // HFS dates
  uint64_t dataOffset = 0, dataLength = 0, resourceOffset = 0, resourceLength = 0;
};

// The CRC of the header's first 124 bytes (CCITT, polynomial 0x1021, starting from 0).
uint16_t MacBinaryCrc(const uint8_t* bytes, size_t length);

// True when header (128 bytes of a file of fileSize) is a MacBinary II or III header whose CRC
// matches and whose forks lie inside the file.
bool ParseMacBinary(const uint8_t* header, uint64_t fileSize, MacBinaryInfo& info);

}  // namespace brind::cli
