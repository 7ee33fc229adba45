// The steps that complete an empty HFS volume after the MDB is on sector 2. Each reads what the
// earlier steps left on the disk and writes its results back before it returns: 0 on success,
// otherwise 1 or the status of the failed transfer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "disk/DiskStatus.h"
#include "disk/SectorIo.h"

namespace brind {

// Step 160: zero boot blocks on sectors 0 and 1.
uint16_t WriteBootRecord(SectorIo& io, uint8_t drive);
// Step 162: an empty volume bitmap.
uint16_t WriteVolumeBitmap(SectorIo& io, uint8_t drive);
// Step 163: the extents overflow B-tree (header node, free nodes) and its blocks in the bitmap.
uint16_t WriteExtentRecord(SectorIo& io, uint8_t drive);
// Step 164: the catalog B-tree, right after the extents file.
uint16_t WriteCatalogRecord(SectorIo& io, uint8_t drive);
// Step 165: the catalog's leaf node with the root directory and its thread.
uint16_t WriteRootDirectory(SectorIo& io, uint8_t drive, const char* volumeName);
// Step 166: the alternate MDB, a copy of sector 2 at totalSectors - 2.
uint16_t WriteDuplicateVib(SectorIo& io, uint8_t drive, uint32_t totalSectors);

// Node numbers and record offsets of the catalog leaf, for a name of nameLength bytes.
struct LeafLayout {
  uint8_t keyLength;      // ckrKeyLen of the root directory's record
  uint16_t threadOffset;  // record 1
  uint16_t freeOffset;
};
LeafLayout CatalogLeafLayout(size_t nameLength);

}  // namespace brind
