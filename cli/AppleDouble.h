// AppleDouble files ("._NAME" beside NAME): the resource fork and Finder information that a
// Macintosh keeps for a file on a disk that has no place for them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace brind::cli {

inline constexpr uint32_t kAppleDoubleMagic = 0x00051607;

struct AppleDoubleInfo {
  bool hasFinderInfo = false;
  std::array<uint8_t, 32> finderInfo{};  // FInfo and FXInfo (DInfo and DXInfo of a folder)
  uint64_t resourceOffset = 0, resourceLength = 0;
};

enum class AppleDoubleKind { kNone, kValid, kDamaged };

// Reads the header and entry table from head, the first headLength bytes of a file of fileSize
// bytes. kNone: not an AppleDouble file; kDamaged: one that cannot be trusted, why says how.
AppleDoubleKind ParseAppleDouble(const uint8_t* head, size_t headLength, uint64_t fileSize,
                                 AppleDoubleInfo& info, std::string& why);

}  // namespace brind::cli
