#include "cli/AppleDouble.h"

#include <algorithm>

#include "common/Bytes.h"

namespace brind::cli {

namespace {
constexpr size_t kHeaderSize = 26;  // magic, version, 16 filler bytes, entry count
constexpr size_t kEntrySize = 12;   // id, offset, length
constexpr uint32_t kResourceFork = 2;
constexpr uint32_t kFinderInfo = 9;
}  // namespace

AppleDoubleKind ParseAppleDouble(const uint8_t* head, size_t headLength, uint64_t fileSize,
                                 AppleDoubleInfo& info, std::string& why) {
  info = {};
  if (headLength < 8 || GetU32BE(head) != kAppleDoubleMagic) return AppleDoubleKind::kNone;
  const uint32_t version = GetU32BE(head + 4);
  if (version != 0x00010000 && version != 0x00020000) {
    why = "has an unknown AppleDouble version";
    return AppleDoubleKind::kDamaged;
  }
  if (headLength < kHeaderSize) {
    why = "ends inside its AppleDouble header";
    return AppleDoubleKind::kDamaged;
  }
  const size_t entries = GetU16BE(head + 24);
  if (kHeaderSize + entries * kEntrySize > headLength) {
    why = "has an AppleDouble entry table past its end";
    return AppleDoubleKind::kDamaged;
  }
  bool haveResource = false;
  for (size_t k = 0; k < entries; ++k) {
    const uint8_t* e = head + kHeaderSize + k * kEntrySize;
    const uint32_t id = GetU32BE(e);
    const uint64_t offset = GetU32BE(e + 4), length = GetU32BE(e + 8);
    if (offset + length > fileSize) {
      why = "has AppleDouble entry " + std::to_string(id) + " past its end";
      return AppleDoubleKind::kDamaged;
    }
    if (id == kResourceFork) {
      if (haveResource) {
        why = "has two resource forks";
        return AppleDoubleKind::kDamaged;
      }
      haveResource = true;
      info.resourceOffset = offset;
      info.resourceLength = length;
    } else if (id == kFinderInfo) {
      if (info.hasFinderInfo) {
        why = "has two Finder information entries";
        return AppleDoubleKind::kDamaged;
      }
      // Later systems append extended attributes to the 32 bytes; only those are Finder's.
      if (offset + std::min<uint64_t>(length, 32) > headLength) {
        why = "has its Finder information past its first " + std::to_string(headLength) + " bytes";
        return AppleDoubleKind::kDamaged;
      }
      info.hasFinderInfo = true;
      std::copy_n(head + offset, std::min<uint64_t>(length, 32), info.finderInfo.begin());
    }
  }
  return AppleDoubleKind::kValid;
}

}  // namespace brind::cli
