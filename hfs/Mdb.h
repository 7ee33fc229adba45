// The master directory block (the program's "VIB"): built in host order, stored big-endian.
#pragma once

#include <array>
#include <cstdint>

#include "common/Bytes.h"
#include "disk/DiskStatus.h"
#include "disk/SectorIo.h"
#include "hfs/HfsFormat.h"

namespace brind {

// The one HFS date every format stamps on the volume and its root directory
// (14 December 1995 16:19:40, seconds since 1 January 1904).
uint32_t FormatTimestamp();

// The smallest and largest volumes: a 400 KB disk, and 2 GB, where 65,535 allocation blocks of
// 32 KB reach the limit of HFS's 32-bit byte counts.
inline constexpr uint32_t kMinVolumeSectors = 800;
inline constexpr uint32_t kMaxVolumeSectors = 4194304;

// Where everything of an empty volume of totalSectors lies. The same arithmetic gives the
// 1.44 MB volume (one bitmap sector, 2874 blocks of 512 bytes, B-tree files of 22 nodes) and
// every other size.
struct VolumeLayout {
  uint32_t sectorsPerBlock;  // allocation block size / 512
  uint32_t blocks;           // drNmAlBlks
  uint32_t bitmapSectors;
  uint32_t firstBlockSector;  // drAlBlSt
  uint32_t treeBytes;         // each of the extents and catalog files (their clump size)
  uint32_t treeBlocks;
  uint32_t treeNodes;   // 512-byte nodes of each B-tree file
  uint32_t mapNodes;    // map nodes each B-tree needs beyond its header's map
  uint32_t freeBlocks;  // after the format
  // The sectors the volume's structures occupy: boot blocks, MDB, bitmap, both B-tree files,
  // alternate MDB. Nothing else needs writing.
  uint64_t metadataBytes;
};
VolumeLayout LayoutOfVolume(uint32_t totalSectors);

// Map nodes a B-tree of `nodes` nodes needs beyond its header node's map.
uint32_t MapNodeCount(uint32_t nodes);

// The 512-byte MDB image. In host order every number is stored low byte first, whatever the
// machine, so that the same image and the same swap give the same disk bytes everywhere.
struct MdbImage {
  std::array<uint8_t, kSectorSize> bytes{};

  uint16_t Get16(size_t offset) const { return GetU16LE(&bytes[offset]); }
  uint32_t Get32(size_t offset) const { return GetU32LE(&bytes[offset]); }
  void Set16(size_t offset, uint16_t v) { PutU16LE(&bytes[offset], v); }
  void Set32(size_t offset, uint32_t v) { PutU32LE(&bytes[offset], v); }
};

// Converts the image in place between host order and disk order; the same call goes both ways.
void SwapMdb(MdbImage& image);

// Step 161: builds the MDB of an empty volume of totalSectors and writes it to sector 2. The
// name is a terminated string of Macintosh characters; only its first 27 bytes are used. date
// becomes the creation and modification dates (the root directory takes them from here).
// Returns the write's status. Reads nothing.
DiskStatus WriteVib(SectorIo& io, uint8_t drive, uint32_t totalSectors, const char* volumeName,
                    uint32_t date = FormatTimestamp());

// Length of a volume name as stored: at most 27, never reading past the 28-byte label buffer.
size_t VolumeNameLength(const char* volumeName);

}  // namespace brind
