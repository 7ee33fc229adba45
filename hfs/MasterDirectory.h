// The master directory block as a reader needs it: what kind of volume the source holds and,
// for classic HFS, the geometry every later read is bounded by.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/Bytes.h"
#include "hfs/ByteSource.h"
#include "hfs/Findings.h"
#include "hfs/HfsFormat.h"

namespace brind {

enum class VolumeKind {
  kHfs,
  kHfsPlus,     // an HFS Plus volume: named, not checked
  kHfsWrapper,  // an HFS volume that only wraps an HFS Plus one
  kNotHfs,      // no HFS signature
  kUnreadable,  // the master directory block cannot be read
};
const char* VolumeKindName(VolumeKind kind);

struct Extent {
  uint32_t start = 0, count = 0;  // allocation blocks
};

struct MasterDirectory {
  VolumeKind kind = VolumeKind::kUnreadable;
  std::array<uint8_t, kHfsSectorSize> bytes{};  // sector 2 as on the disk
  std::string name;                             // Macintosh characters
  uint32_t blockSize = 0, blocks = 0;
  uint32_t firstSector = 0;  // drAlBlSt: where block 0 starts
  uint32_t bitmapStart = 0, bitmapSectors = 0;
  uint64_t sourceSize = 0;  // what the target holds
  bool truncated = false;   // the target ends before the volume and its alternate MDB
  // The HFS side of a hybrid ISO 9660 disc: its blocks hold the ISO's structures and files
  // too, and it need not end with an alternate MDB.
  bool hybridIso = false;

  uint16_t U16(size_t offset) const { return GetU16BE(bytes.data() + offset); }
  uint32_t U32(size_t offset) const { return GetU32BE(bytes.data() + offset); }
  uint64_t BlockOffset(uint32_t block) const {
    return uint64_t{firstSector} * kHfsSectorSize + uint64_t{block} * blockSize;
  }
  uint64_t VolumeEnd() const { return BlockOffset(blocks); }
  bool Inside(Extent e) const { return e.start <= blocks && e.count <= blocks - e.start; }
};

inline constexpr const char* kMdbWhere = "MDB (sector 2)";

// Reads sector 2 and says what it holds. True only for an HFS volume whose geometry (block
// size, block count, bitmap place) can bound every later read; what is wrong is reported.
bool ReadMasterDirectory(ByteSource& source, Findings& findings, MasterDirectory& mdb);

// The three extents of an extent record as stored (count 0 included).
std::array<Extent, kExtentsPerRecord> DecodeExtentRecord(const uint8_t* record);

}  // namespace brind
