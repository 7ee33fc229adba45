#include "hfs/Mdb.h"

#include <cstring>

namespace brind {

namespace {

// The 32-bit fields; their two 16-bit halves trade places after the bytes of each unit did.
constexpr size_t kLongFields[] = {mdb::drCrDate,   mdb::drLsMod,   mdb::drAlBlkSiz, mdb::drClpSiz,
                                  mdb::drNxtCNID,  mdb::drVolBkUp, mdb::drWrCnt,    mdb::drXTClpSiz,
                                  mdb::drCTClpSiz, mdb::drFilCnt,  mdb::drDirCnt,   mdb::drXTFlSize,
                                  mdb::drCTFlSize};

void SwapUnits(uint8_t* p, size_t from, size_t to) {
  for (size_t i = from; i + 1 < to; i += 2) {
    const uint8_t t = p[i];
    p[i] = p[i + 1];
    p[i + 1] = t;
  }
}

}  // namespace

uint32_t FormatTimestamp() { return 0xACF5FF1C; }

size_t VolumeNameLength(const char* volumeName) {
  if (!volumeName) return 0;
  size_t n = 0;
  while (n < kMaxVolumeName && volumeName[n] != '\0') ++n;
  return n;
}

void SwapMdb(MdbImage& image) {
  uint8_t* p = image.bytes.data();
  SwapUnits(p, 0x00, 0x24);  // drSigWord .. drFreeBks
  SwapUnits(p, 0x40, 0xA2);  // drVolBkUp .. drCTExtRec
  for (size_t offset : kLongFields) {
    uint8_t half[2];
    std::memcpy(half, p + offset, 2);
    std::memcpy(p + offset, p + offset + 2, 2);
    std::memcpy(p + offset + 2, half, 2);
  }
}

VolumeLayout LayoutOfVolume(uint32_t totalSectors) {
  VolumeLayout l{};
  // Sectors per block: enough that boot blocks, MDB and the spare sectors leave at most 65,536
  // sectors' worth of blocks. The bitmap is sized for every sector of the volume, and the
  // blocks are what remains after it, the boot blocks, both MDBs and the last sector.
  l.sectorsPerBlock = 1 + (totalSectors - 6) / 65536;
  l.bitmapSectors = (totalSectors / l.sectorsPerBlock + kBitsPerSector - 1) / kBitsPerSector;
  l.blocks = (totalSectors - 5 - l.bitmapSectors) / l.sectorsPerBlock;
  l.firstBlockSector = kBitmapSector + l.bitmapSectors;
  // Each B-tree file gets a 128th of the volume, in whole blocks.
  l.treeBlocks = l.blocks / 128;
  l.treeBytes = l.treeBlocks * l.sectorsPerBlock * kSectorSize;
  l.treeNodes = l.treeBytes / kSectorSize;
  l.mapNodes = MapNodeCount(l.treeNodes);
  l.freeBlocks = l.blocks - 2 * l.treeBlocks;
  l.metadataBytes = uint64_t{kSectorSize} * (l.firstBlockSector + 1) + 2ull * l.treeBytes;
  return l;
}

uint32_t MapNodeCount(uint32_t nodes) {
  if (nodes <= kHeaderMapBits) return 0;
  return (nodes - kHeaderMapBits + kMapNodeBits - 1) / kMapNodeBits;
}

DiskStatus WriteVib(SectorIo& io, uint8_t drive, uint32_t totalSectors, const char* volumeName,
                    uint32_t date) {
  const VolumeLayout l = LayoutOfVolume(totalSectors);
  const auto blocks = static_cast<uint16_t>(l.blocks);
  const uint32_t blockSize = l.sectorsPerBlock * kSectorSize;

  MdbImage image;
  image.Set16(mdb::drSigWord, kHfsSigWord);
  image.Set32(mdb::drCrDate, date);
  image.Set32(mdb::drLsMod, date);
  image.Set16(mdb::drAtrb, kAtrbUnmounted);
  image.Set16(mdb::drVBMSt, static_cast<uint16_t>(kBitmapSector));
  image.Set16(mdb::drAllocPtr, static_cast<uint16_t>(2 * l.treeBlocks));  // after both files
  image.Set16(mdb::drNmAlBlks, blocks);
  image.Set32(mdb::drAlBlkSiz, blockSize);
  image.Set32(mdb::drClpSiz, 4 * blockSize);
  image.Set16(mdb::drAlBlSt, static_cast<uint16_t>(l.firstBlockSector));
  image.Set32(mdb::drNxtCNID, cnid::kFirstUser);
  image.Set16(mdb::drFreeBks, blocks);
  const size_t nameLength = VolumeNameLength(volumeName);
  image.bytes[mdb::drVN] = static_cast<uint8_t>(nameLength);
  if (nameLength) std::memcpy(&image.bytes[mdb::drVN + 1], volumeName, nameLength);
  image.Set32(mdb::drXTClpSiz, l.treeBytes);
  image.Set32(mdb::drCTClpSiz, l.treeBytes);

  SwapMdb(image);
  return io.WriteSector(image.bytes.data(), kMdbSector, drive);
}

}  // namespace brind
