#include "hfs/VolumeSteps.h"

#include <array>
#include <cstring>

#include "common/Bytes.h"
#include "hfs/Mdb.h"

namespace brind {

namespace {

using Sector = std::array<uint8_t, kSectorSize>;

constexpr uint16_t kFailed = 1;

// Node descriptor and B-tree record layout.
constexpr size_t kNodeDescriptorSize = 14;
constexpr int8_t kHeaderNode = 1;
constexpr int8_t kLeafNode = -1;
constexpr size_t kHeaderRecord = 14;     // 106 bytes
constexpr size_t kUserDataRecord = 120;  // 128 bytes
constexpr size_t kMapRecord = 248;       // 256 bytes
constexpr size_t kHeaderFreeSpace = 504;

// Catalog constants.
constexpr uint32_t kRootParentId = 1;
constexpr uint32_t kRootDirId = 2;
constexpr uint8_t kDirectoryRecord = 1;
constexpr uint8_t kDirThreadRecord = 3;
constexpr size_t kDirRecordSize = 70;
constexpr size_t kThreadKeySize = 8;
constexpr size_t kThreadRecordSize = 46;
constexpr uint16_t kExtentsKeyLength = 7;
constexpr uint16_t kCatalogKeyLength = 37;

struct HeaderValues {
  uint16_t depth;
  uint32_t root, records, firstLeaf, lastLeaf;
  uint16_t keyLength;
  uint32_t nodes, freeNodes;
  uint8_t map;  // first byte of the node map
};

// The volume's geometry as the MDB on the disk records it, checked so that a stray sector 2 can
// never send a step outside its buffers.
struct Volume {
  MdbImage mdb;
  uint32_t sectorsPerBlock = 0;
  uint32_t firstBlockSector = 0;
};

bool ReadMdb(SectorIo& io, uint8_t drive, Volume& v) {
  if (io.ReadSector(v.mdb.bytes.data(), kMdbSector, drive) != kDiskOk) return false;
  SwapMdb(v.mdb);
  const uint32_t blockSize = v.mdb.Get32(mdb::drAlBlkSiz);
  if (blockSize == 0 || blockSize % kSectorSize != 0) return false;
  v.sectorsPerBlock = blockSize / kSectorSize;
  v.firstBlockSector = v.mdb.Get16(mdb::drAlBlSt);
  return true;
}

uint32_t BlockSector(const Volume& v, uint32_t block) {
  return v.firstBlockSector + block * v.sectorsPerBlock;
}

// Marks blocks [first, first + count) in use; false if they lie outside the volume or the one
// bitmap sector.
bool MarkBlocks(const Volume& v, Sector& bitmap, uint32_t first, uint32_t count) {
  const uint32_t end = first + count;
  if (end < first || end > v.mdb.Get16(mdb::drNmAlBlks) || end > kSectorSize * 8) return false;
  for (uint32_t b = first; b < first + count; ++b)
    bitmap[b / 8] = static_cast<uint8_t>(bitmap[b / 8] | (0x80 >> (b % 8)));
  return true;
}

void PutNodeDescriptor(uint8_t* node, int8_t type, uint8_t height, uint16_t records) {
  PutU32BE(node + 0, 0);  // ndFLink
  PutU32BE(node + 4, 0);  // ndBLink
  node[8] = static_cast<uint8_t>(type);
  node[9] = height;
  PutU16BE(node + 10, records);
  PutU16BE(node + 12, 0);  // ndResv2
}

// Record offsets count backwards from the end of the node, the free-space offset last.
void PutRecordOffsets(uint8_t* node, std::initializer_list<uint16_t> offsets) {
  size_t at = kSectorSize - 2;
  for (uint16_t offset : offsets) {
    PutU16BE(node + at, offset);
    at -= 2;
  }
}

Sector BuildHeaderNode(const HeaderValues& h) {
  Sector node{};
  uint8_t* p = node.data();
  PutNodeDescriptor(p, kHeaderNode, 0, 3);
  uint8_t* r = p + kHeaderRecord;
  PutU16BE(r + 0, h.depth);       // bthDepth
  PutU32BE(r + 2, h.root);        // bthRoot
  PutU32BE(r + 6, h.records);     // bthNRecs
  PutU32BE(r + 10, h.firstLeaf);  // bthFNode
  PutU32BE(r + 14, h.lastLeaf);   // bthLNode
  PutU16BE(r + 18, kSectorSize);  // bthNodeSize
  PutU16BE(r + 20, h.keyLength);  // bthKeyLen
  PutU32BE(r + 22, h.nodes);      // bthNNodes
  PutU32BE(r + 26, h.freeNodes);  // bthFree; bthResv stays zero
  p[kMapRecord] = h.map;
  PutRecordOffsets(p, {kHeaderRecord, kUserDataRecord, kMapRecord, kHeaderFreeSpace});
  return node;
}

// Writes zero sectors to nodes 2 .. nodes - 1 of a B-tree file; node 1 is left alone.
bool ZeroNodes(SectorIo& io, uint8_t drive, uint32_t firstSector, uint32_t nodes) {
  const Sector zero{};
  for (uint32_t k = 2; k < nodes; ++k)
    if (io.WriteSector(zero.data(), firstSector + k, drive) != kDiskOk) return false;
  return true;
}

}  // namespace

uint16_t WriteBootRecord(SectorIo& io, uint8_t drive) {
  const Sector zero{};
  for (uint32_t sector : {0u, 1u})
    if (io.WriteSector(zero.data(), sector, drive) != kDiskOk) return kFailed;
  return 0;
}

uint16_t WriteVolumeBitmap(SectorIo& io, uint8_t drive) {
  MdbImage image;
  if (io.ReadSector(image.bytes.data(), kMdbSector, drive) != kDiskOk) return kFailed;
  SwapMdb(image);
  const uint32_t bitmapSectors = (uint32_t{image.Get16(mdb::drNmAlBlks)} + 4095) / 4096;
  const uint32_t first = image.Get16(mdb::drVBMSt);
  const Sector zero{};
  for (uint32_t i = 0; i < bitmapSectors; ++i) {
    const DiskStatus s = io.WriteSector(zero.data(), first + i, drive);
    if (s != kDiskOk) return s;
  }
  return 0;
}

uint16_t WriteExtentRecord(SectorIo& io, uint8_t drive) {
  Volume v;
  Sector bitmap;
  if (!ReadMdb(io, drive, v)) return kFailed;
  if (io.ReadSector(bitmap.data(), kBitmapSector, drive) != kDiskOk) return kFailed;

  const uint32_t clump = v.mdb.Get32(mdb::drXTClpSiz);
  const uint32_t blocks = clump / v.mdb.Get32(mdb::drAlBlkSiz);
  const uint32_t nodes = clump / kSectorSize;
  if (!MarkBlocks(v, bitmap, 0, blocks)) return kFailed;

  v.mdb.Set16(mdb::drXTExtRec + 0, 0);
  v.mdb.Set16(mdb::drXTExtRec + 2, static_cast<uint16_t>(blocks));
  v.mdb.Set16(mdb::drFreeBks, static_cast<uint16_t>(v.mdb.Get16(mdb::drFreeBks) - blocks));
  v.mdb.Set32(mdb::drXTFlSize, clump);

  const Sector header = BuildHeaderNode({0, 0, 0, 0, 0, kExtentsKeyLength, nodes, nodes - 1, 0x80});
  const uint32_t first = BlockSector(v, 0);
  if (io.WriteSector(header.data(), first, drive) != kDiskOk) return kFailed;
  const DiskStatus bitmapStatus = io.WriteSector(bitmap.data(), kBitmapSector, drive);
  if (bitmapStatus != kDiskOk) return bitmapStatus;
  if (!ZeroNodes(io, drive, first, nodes)) return kFailed;

  SwapMdb(v.mdb);
  return io.WriteSector(v.mdb.bytes.data(), kMdbSector, drive);
}

uint16_t WriteCatalogRecord(SectorIo& io, uint8_t drive) {
  Volume v;
  Sector bitmap;
  if (!ReadMdb(io, drive, v)) return kFailed;
  if (io.ReadSector(bitmap.data(), kBitmapSector, drive) != kDiskOk) return kFailed;

  const uint32_t clump = v.mdb.Get32(mdb::drCTClpSiz);
  const uint32_t blocks = clump / v.mdb.Get32(mdb::drAlBlkSiz);
  const uint32_t nodes = clump / kSectorSize;
  // The catalog begins right after the extents overflow file.
  const uint32_t start = v.mdb.Get16(mdb::drXTExtRec + 2);
  if (!MarkBlocks(v, bitmap, start, blocks)) return kFailed;

  v.mdb.Set16(mdb::drFreeBks, static_cast<uint16_t>(v.mdb.Get16(mdb::drFreeBks) - blocks));
  v.mdb.Set32(mdb::drCTFlSize, clump);
  v.mdb.Set16(mdb::drCTExtRec + 0, static_cast<uint16_t>(start));
  v.mdb.Set16(mdb::drCTExtRec + 2, static_cast<uint16_t>(blocks));

  const Sector header = BuildHeaderNode({1, 1, 2, 1, 1, kCatalogKeyLength, nodes, nodes - 2, 0xC0});
  const uint32_t first = BlockSector(v, start);
  if (io.WriteSector(header.data(), first, drive) != kDiskOk) return kFailed;
  if (io.WriteSector(bitmap.data(), kBitmapSector, drive) != kDiskOk) return kFailed;
  if (!ZeroNodes(io, drive, first, nodes)) return kFailed;

  SwapMdb(v.mdb);
  if (io.WriteSector(v.mdb.bytes.data(), kMdbSector, drive) != kDiskOk) return kFailed;
  return 0;
}

LeafLayout CatalogLeafLayout(size_t nameLength) {
  if (nameLength > kMaxVolumeName) nameLength = kMaxVolumeName;
  // Odd key length: the key with its length byte fills an even number of bytes.
  const auto keyLength = static_cast<uint8_t>((nameLength + 6) | 1);
  const auto thread = static_cast<uint16_t>(kNodeDescriptorSize + 1 + keyLength + kDirRecordSize);
  const auto freeSpace = static_cast<uint16_t>(thread + kThreadKeySize + kThreadRecordSize);
  return {keyLength, thread, freeSpace};
}

uint16_t WriteRootDirectory(SectorIo& io, uint8_t drive, const char* volumeName) {
  Volume v;
  if (!ReadMdb(io, drive, v)) return kFailed;

  const size_t nameLength = VolumeNameLength(volumeName);
  const LeafLayout layout = CatalogLeafLayout(nameLength);
  Sector node{};
  uint8_t* p = node.data();
  PutNodeDescriptor(p, kLeafNode, 1, 2);

  // Record 0: the root directory, keyed by its parent and its name.
  uint8_t* key = p + kNodeDescriptorSize;
  key[0] = layout.keyLength;  // ckrKeyLen; ckrResrv1 stays 0
  PutU32BE(key + 2, kRootParentId);
  key[6] = static_cast<uint8_t>(nameLength);  // ckrCName
  if (nameLength) std::memcpy(key + 7, volumeName, nameLength);
  uint8_t* dir = key + 1 + layout.keyLength;
  dir[0] = kDirectoryRecord;              // cdrType; cdrResrv2, dirFlags, dirVal stay 0
  PutU32BE(dir + 6, kRootDirId);          // dirDirID
  PutU32BE(dir + 10, FormatTimestamp());  // dirCrDat
  PutU32BE(dir + 14, FormatTimestamp());  // dirMdDat

  // Record 1: the root's thread, keyed by the root's own id and an empty name.
  uint8_t* threadKey = p + layout.threadOffset;
  threadKey[0] = kThreadKeySize - 1;
  PutU32BE(threadKey + 2, kRootDirId);
  uint8_t* thread = threadKey + kThreadKeySize;
  thread[0] = kDirThreadRecord;
  PutU32BE(thread + 10, kRootParentId);           // thdParID
  thread[14] = static_cast<uint8_t>(nameLength);  // thdCName
  if (nameLength) std::memcpy(thread + 15, volumeName, nameLength);

  PutRecordOffsets(
      p, {static_cast<uint16_t>(kNodeDescriptorSize), layout.threadOffset, layout.freeOffset});

  const uint32_t catalogStart = v.mdb.Get16(mdb::drCTExtRec + 0);
  if (io.WriteSector(p, BlockSector(v, catalogStart) + 1, drive) != kDiskOk) return kFailed;
  return 0;
}

uint16_t WriteDuplicateVib(SectorIo& io, uint8_t drive, uint32_t totalSectors) {
  Sector mdbSector;
  if (io.ReadSector(mdbSector.data(), kMdbSector, drive) != kDiskOk) return kFailed;
  if (io.WriteSector(mdbSector.data(), totalSectors - 2, drive) != kDiskOk) return kFailed;
  return 0;
}

}  // namespace brind
