#include "hfs/VolumeSteps.h"

#include <array>
#include <cstring>
#include <vector>

#include "common/Bytes.h"
#include "hfs/Mdb.h"

namespace brind {

namespace {

using Sector = std::array<uint8_t, kSectorSize>;

constexpr uint16_t kFailed = 1;

// The thread key is its length byte and 7 bytes.
constexpr size_t kThreadKeySize = 1 + kThreadKeyLength;

struct HeaderValues {
  uint16_t depth;
  uint32_t root, records, firstLeaf, lastLeaf;
  uint16_t keyLength;
  uint32_t nodes, freeNodes;
  uint32_t usedNodes;  // nodes 0 .. usedNodes - 1 are marked in the map
  uint32_t mapNodes;   // nodes 1 .. mapNodes continue the map
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

// The bitmap sectors that hold the bits of a run of blocks, read from the disk, marked, and
// written back in order.
class BitmapRun {
 public:
  // Reads the sectors of blocks [first, first + count); false if the run lies outside the
  // volume or its bitmap, or a read fails.
  bool Load(SectorIo& io, uint8_t drive, const Volume& v, uint32_t first, uint32_t count) {
    const uint32_t end = first + count;
    const uint32_t blocks = v.mdb.Get16(mdb::drNmAlBlks);
    const uint32_t bitmapSectors = (blocks + kBitsPerSector - 1) / kBitsPerSector;
    if (count == 0 || end < first || end > blocks) return false;
    const uint32_t bitmapStart = v.mdb.Get16(mdb::drVBMSt);
    if (bitmapStart + bitmapSectors > v.firstBlockSector) return false;
    firstSector_ = bitmapStart + first / kBitsPerSector;
    firstBit_ = first / kBitsPerSector * kBitsPerSector;
    sectors_.resize((end - 1) / kBitsPerSector - first / kBitsPerSector + 1);
    for (size_t i = 0; i < sectors_.size(); ++i)
      if (io.ReadSector(sectors_[i].data(), firstSector_ + static_cast<uint32_t>(i), drive) !=
          kDiskOk)
        return false;
    for (uint32_t b = first; b < end; ++b) {
      const uint32_t bit = b - firstBit_;
      uint8_t& byte = sectors_[bit / kBitsPerSector][bit % kBitsPerSector / 8];
      byte = static_cast<uint8_t>(byte | (0x80 >> (b % 8)));
    }
    return true;
  }
  // The status of the first failed write, or 0.
  DiskStatus Store(SectorIo& io, uint8_t drive) const {
    for (size_t i = 0; i < sectors_.size(); ++i) {
      const DiskStatus s =
          io.WriteSector(sectors_[i].data(), firstSector_ + static_cast<uint32_t>(i), drive);
      if (s != kDiskOk) return s;
    }
    return kDiskOk;
  }

 private:
  uint32_t firstSector_ = 0;
  uint32_t firstBit_ = 0;
  std::vector<Sector> sectors_;
};

void PutNodeDescriptor(uint8_t* node, int8_t type, uint8_t height, uint16_t records) {
  PutU32BE(node + nd::ndFLink, 0);
  PutU32BE(node + nd::ndBLink, 0);
  node[nd::ndType] = static_cast<uint8_t>(type);
  node[nd::ndNHeight] = height;
  PutU16BE(node + nd::ndNRecs, records);
  PutU16BE(node + nd::ndResv2, 0);
}

// Record offsets count backwards from the end of the node, the free-space offset last.
void PutRecordOffsets(uint8_t* node, std::initializer_list<uint16_t> offsets) {
  size_t i = 0;
  for (uint16_t offset : offsets) PutU16BE(node + RecordOffsetAt(i++), offset);
}

Sector BuildHeaderNode(const HeaderValues& h) {
  Sector node{};
  uint8_t* p = node.data();
  PutNodeDescriptor(p, kHeaderNode, 0, kHeaderNodeRecords);
  uint8_t* r = p + kHeaderRecordOffset;
  PutU16BE(r + bth::bthDepth, h.depth);
  PutU32BE(r + bth::bthRoot, h.root);
  PutU32BE(r + bth::bthNRecs, h.records);
  PutU32BE(r + bth::bthFNode, h.firstLeaf);
  PutU32BE(r + bth::bthLNode, h.lastLeaf);
  PutU16BE(r + bth::bthNodeSize, static_cast<uint16_t>(kNodeSize));
  PutU16BE(r + bth::bthKeyLen, h.keyLength);
  PutU32BE(r + bth::bthNNodes, h.nodes);
  PutU32BE(r + bth::bthFree, h.freeNodes);       // bthResv stays zero
  if (h.mapNodes) PutU32BE(p + nd::ndFLink, 1);  // the first map node
  uint8_t* map = p + kMapRecordOffset;
  for (uint32_t n = 0; n < h.usedNodes; ++n)
    map[n / 8] = static_cast<uint8_t>(map[n / 8] | (0x80 >> (n % 8)));
  PutRecordOffsets(
      p, {kHeaderRecordOffset, kUserDataRecordOffset, kMapRecordOffset, kHeaderFreeOffset});
  return node;
}

// Map node k of mapNodes, chained to its neighbours; its map bits are all clear, as every node
// in use is covered by the header's map.
Sector BuildMapNode(uint32_t k, uint32_t mapNodes) {
  Sector node{};
  uint8_t* p = node.data();
  PutNodeDescriptor(p, kMapNode, 0, kMapNodeRecords);
  PutU32BE(p + nd::ndFLink, k < mapNodes ? k + 1 : 0);
  PutU32BE(p + nd::ndBLink, k - 1);
  PutRecordOffsets(p, {kNodeDescriptorSize, kMapNodeFreeOffset});
  return node;
}

// A B-tree file of the volume, checked against the volume before anything is written.
struct TreeFile {
  uint32_t startBlock, blocks, nodes, mapNodes;
};

bool PlanTree(const Volume& v, uint32_t clump, uint32_t startBlock, TreeFile& t) {
  const uint32_t blockSize = v.mdb.Get32(mdb::drAlBlkSiz);
  t = {startBlock, clump / blockSize, clump / kSectorSize, MapNodeCount(clump / kSectorSize)};
  // Room for the header, the map nodes and one node more; every use of it within the header's
  // map.
  return t.blocks > 0 && t.nodes >= t.mapNodes + 2 && t.mapNodes + 2 <= kHeaderMapBits &&
         t.blocks <= 0xFFFF;
}

// Writes the header node and the map nodes at the start of the tree; false if a write fails.
bool WriteTreeHead(SectorIo& io, uint8_t drive, uint32_t firstSector, const HeaderValues& h) {
  const Sector header = BuildHeaderNode(h);
  if (io.WriteSector(header.data(), firstSector, drive) != kDiskOk) return false;
  for (uint32_t k = 1; k <= h.mapNodes; ++k) {
    const Sector node = BuildMapNode(k, h.mapNodes);
    if (io.WriteSector(node.data(), firstSector + k, drive) != kDiskOk) return false;
  }
  return true;
}

// Zeroes the nodes after the header, the map nodes and the node that follows them (the
// catalog's leaf, written by its own step; in the extents tree left as it was).
bool ZeroNodes(SectorIo& io, uint8_t drive, uint32_t firstSector, const TreeFile& t) {
  const uint32_t from = t.mapNodes + 2;
  if (from >= t.nodes) return true;
  return io.ZeroSectors(firstSector + from, t.nodes - from, drive) == kDiskOk;
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
  BitmapRun bitmap;
  TreeFile t;
  if (!ReadMdb(io, drive, v)) return kFailed;
  const uint32_t clump = v.mdb.Get32(mdb::drXTClpSiz);
  if (!PlanTree(v, clump, 0, t) || !bitmap.Load(io, drive, v, 0, t.blocks)) return kFailed;

  v.mdb.Set16(mdb::drXTExtRec + 0, 0);
  v.mdb.Set16(mdb::drXTExtRec + 2, static_cast<uint16_t>(t.blocks));
  v.mdb.Set16(mdb::drFreeBks, static_cast<uint16_t>(v.mdb.Get16(mdb::drFreeBks) - t.blocks));
  v.mdb.Set32(mdb::drXTFlSize, clump);

  const uint32_t used = 1 + t.mapNodes;
  const uint32_t first = BlockSector(v, 0);
  if (!WriteTreeHead(io, drive, first,
                     {0, 0, 0, 0, 0, kExtentsKeyLength, t.nodes, t.nodes - used, used, t.mapNodes}))
    return kFailed;
  const DiskStatus bitmapStatus = bitmap.Store(io, drive);
  if (bitmapStatus != kDiskOk) return bitmapStatus;
  if (!ZeroNodes(io, drive, first, t)) return kFailed;

  SwapMdb(v.mdb);
  return io.WriteSector(v.mdb.bytes.data(), kMdbSector, drive);
}

uint16_t WriteCatalogRecord(SectorIo& io, uint8_t drive) {
  Volume v;
  BitmapRun bitmap;
  TreeFile t;
  if (!ReadMdb(io, drive, v)) return kFailed;
  const uint32_t clump = v.mdb.Get32(mdb::drCTClpSiz);
  // The catalog begins right after the extents overflow file.
  const uint32_t start = v.mdb.Get16(mdb::drXTExtRec + 2);
  if (!PlanTree(v, clump, start, t) || !bitmap.Load(io, drive, v, start, t.blocks)) return kFailed;

  v.mdb.Set16(mdb::drFreeBks, static_cast<uint16_t>(v.mdb.Get16(mdb::drFreeBks) - t.blocks));
  v.mdb.Set32(mdb::drCTFlSize, clump);
  v.mdb.Set16(mdb::drCTExtRec + 0, static_cast<uint16_t>(start));
  v.mdb.Set16(mdb::drCTExtRec + 2, static_cast<uint16_t>(t.blocks));

  // The leaf with the root directory follows the map nodes.
  const uint32_t leaf = t.mapNodes + 1;
  const uint32_t used = leaf + 1;
  const uint32_t first = BlockSector(v, start);
  if (!WriteTreeHead(
          io, drive, first,
          {1, leaf, 2, leaf, leaf, kCatalogKeyLength, t.nodes, t.nodes - used, used, t.mapNodes}))
    return kFailed;
  if (bitmap.Store(io, drive) != kDiskOk) return kFailed;
  if (!ZeroNodes(io, drive, first, t)) return kFailed;

  SwapMdb(v.mdb);
  if (io.WriteSector(v.mdb.bytes.data(), kMdbSector, drive) != kDiskOk) return kFailed;
  return 0;
}

LeafLayout CatalogLeafLayout(size_t nameLength) {
  if (nameLength > kMaxVolumeName) nameLength = kMaxVolumeName;
  const uint8_t keyLength = CatalogKeyLength(nameLength);
  const auto thread =
      static_cast<uint16_t>(kNodeDescriptorSize + 1 + keyLength + kFolderRecordSize);
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
  key[ckr::ckrKeyLen] = layout.keyLength;  // ckrResrv1 stays 0
  PutU32BE(key + ckr::ckrParID, cnid::kRootParent);
  key[ckr::ckrCName] = static_cast<uint8_t>(nameLength);
  if (nameLength) std::memcpy(key + ckr::ckrCName + 1, volumeName, nameLength);
  uint8_t* folder = key + 1 + layout.keyLength;
  folder[cdrType] = kFolderRecord;  // dirFlags and dirVal stay 0
  PutU32BE(folder + dir::dirDirID, cnid::kRootFolder);
  // The volume's own date.
  PutU32BE(folder + dir::dirCrDat, v.mdb.Get32(mdb::drCrDate));
  PutU32BE(folder + dir::dirMdDat, v.mdb.Get32(mdb::drCrDate));

  // Record 1: the root's thread, keyed by the root's own id and an empty name.
  uint8_t* threadKey = p + layout.threadOffset;
  threadKey[ckr::ckrKeyLen] = kThreadKeyLength;
  PutU32BE(threadKey + ckr::ckrParID, cnid::kRootFolder);
  uint8_t* thread = threadKey + kThreadKeySize;
  thread[cdrType] = kFolderThreadRecord;
  PutU32BE(thread + thd::thdParID, cnid::kRootParent);
  thread[thd::thdCName] = static_cast<uint8_t>(nameLength);
  if (nameLength) std::memcpy(thread + thd::thdCName + 1, volumeName, nameLength);

  PutRecordOffsets(
      p, {static_cast<uint16_t>(kNodeDescriptorSize), layout.threadOffset, layout.freeOffset});

  const uint32_t catalogStart = v.mdb.Get16(mdb::drCTExtRec + 0);
  const uint32_t leaf = MapNodeCount(v.mdb.Get32(mdb::drCTFlSize) / kSectorSize) + 1;
  if (io.WriteSector(p, BlockSector(v, catalogStart) + leaf, drive) != kDiskOk) return kFailed;
  return 0;
}

uint16_t WriteDuplicateVib(SectorIo& io, uint8_t drive, uint32_t totalSectors) {
  Sector mdbSector;
  if (io.ReadSector(mdbSector.data(), kMdbSector, drive) != kDiskOk) return kFailed;
  if (io.WriteSector(mdbSector.data(), totalSectors - 2, drive) != kDiskOk) return kFailed;
  return 0;
}

}  // namespace brind
