#include "hfs/TreeBuilder.h"

#include <algorithm>
#include <cstring>

#include "common/Bytes.h"
#include "hfs/NameOrder.h"
#include "hfs/VolumeSteps.h"

namespace brind {

namespace {

constexpr uint16_t kFailed = 1;

constexpr uint32_t kRootParentId = cnid::kRootParent;
constexpr uint32_t kRootId = cnid::kRootFolder;
constexpr uint32_t kFirstId = cnid::kFirstUser;
constexpr size_t kThreadKeyBytes = 1 + kThreadKeyLength;
constexpr size_t kDescriptor = kNodeDescriptorSize;
// An index record: a key of the full catalog key length (HFS's index keys are not shortened),
// then the child's node number.
constexpr size_t kIndexRecordSize = 1 + kCatalogKeyLength + 4;
constexpr size_t kIndexPerNode = (kNodeSize - kDescriptor - 2) / (kIndexRecordSize + 2);

enum class Kind : uint8_t { kRootFolder, kRootThread, kFolder, kFile, kFolderThread };

// One catalog record, by what it describes; its bytes are made when the plan is known.
struct Record {
  uint32_t parentId;
  const uint8_t* name;
  size_t nameLength;
  Kind kind;
  size_t entry;  // the tree entry, for folders, files and folder threads

  size_t KeyBytes() const {
    return nameLength == 0 ? kThreadKeyBytes : 1 + size_t{CatalogKeyLength(nameLength)};
  }
  size_t Size() const {
    switch (kind) {
      case Kind::kRootThread:
      case Kind::kFolderThread:
        return KeyBytes() + kThreadRecordSize;
      case Kind::kFile:
        return KeyBytes() + kFileRecordSize;
      default:
        return KeyBytes() + kFolderRecordSize;
    }
  }
};

int CompareRecords(const Record& a, const Record& b) {
  if (a.parentId != b.parentId) return a.parentId < b.parentId ? -1 : 1;
  return CompareMacNames(a.name, a.nameLength, b.name, b.nameLength);
}

// The catalog's records in key order, and the first record of each leaf.
struct Catalog {
  std::vector<Record> records;
  std::string volumeName;
  std::vector<size_t> leafStarts;    // index into records of each leaf's first record
  std::vector<uint32_t> levelNodes;  // nodes of each index level, lowest first
  uint32_t nodesInUse(uint32_t mapNodes) const {
    uint32_t n = 1 + mapNodes + static_cast<uint32_t>(leafStarts.size());
    for (uint32_t k : levelNodes) n += k;
    return n;
  }
};

uint32_t IdOf(size_t entry) { return kFirstId + static_cast<uint32_t>(entry); }
uint32_t ParentIdOf(const VolumeTree& tree, size_t entry) {
  return tree[entry].parent == kNoParent ? kRootId : IdOf(tree[entry].parent);
}

bool BuildCatalog(const VolumeTree& tree, const char* volumeName, Catalog& c, std::string& error) {
  const size_t volumeNameLength = VolumeNameLength(volumeName);
  c.records.clear();
  c.volumeName.assign(volumeName, volumeNameLength);
  c.records.reserve(tree.size() * 2 + 2);
  static const uint8_t kEmpty = 0;
  c.records.push_back({kRootParentId, reinterpret_cast<const uint8_t*>(volumeName),
                       volumeNameLength, Kind::kRootFolder, 0});
  c.records.push_back({kRootId, &kEmpty, 0, Kind::kRootThread, 0});
  for (size_t i = 0; i < tree.size(); ++i) {
    const TreeEntry& e = tree[i];
    if (e.parent != kNoParent && (e.parent >= i || !tree[e.parent].folder)) {
      error = "an entry whose folder does not come before it";
      return false;
    }
    if (e.name.empty() || e.name.size() > kMaxFileName || e.name.find(':') != std::string::npos) {
      error = "a name of " + std::to_string(e.name.size()) +
              " characters or with ':' (a catalog name has 1 to 31, no ':')";
      return false;
    }
    const auto* name = reinterpret_cast<const uint8_t*>(e.name.data());
    c.records.push_back(
        {ParentIdOf(tree, i), name, e.name.size(), e.folder ? Kind::kFolder : Kind::kFile, i});
    if (e.folder) c.records.push_back({IdOf(i), &kEmpty, 0, Kind::kFolderThread, i});
  }
  std::stable_sort(c.records.begin(), c.records.end(),
                   [](const Record& a, const Record& b) { return CompareRecords(a, b) < 0; });
  for (size_t k = 1; k < c.records.size(); ++k) {
    if (CompareRecords(c.records[k - 1], c.records[k]) == 0) {
      error = "two names in one folder that the volume holds equal: \"" +
              tree[c.records[k].entry].name + "\"";
      return false;
    }
  }
  // Leaves packed full, in key order.
  c.leafStarts.clear();
  size_t used = kSectorSize;  // forces a first leaf
  for (size_t k = 0; k < c.records.size(); ++k) {
    const size_t size = c.records[k].Size() + 2;
    if (used + size > kSectorSize - 2) {
      c.leafStarts.push_back(k);
      used = kDescriptor;
    }
    used += size;
  }
  c.levelNodes.clear();
  for (size_t n = c.leafStarts.size(); n > 1;) {
    n = (n + kIndexPerNode - 1) / kIndexPerNode;
    c.levelNodes.push_back(static_cast<uint32_t>(n));
  }
  return true;
}

uint64_t BlocksOf(uint64_t bytes, uint32_t blockSize) {
  return (bytes + blockSize - 1) / blockSize;
}

// Nodes of the catalog file: the empty volume's, or as many of its clumps as the tree needs.
void SizeCatalog(const Catalog& c, const VolumeLayout& l, uint32_t& nodes, uint32_t& mapNodes) {
  const uint32_t clump = l.treeNodes;
  nodes = clump;
  for (;;) {
    mapNodes = MapNodeCount(nodes);
    const uint32_t used = c.nodesInUse(mapNodes);
    if (used <= nodes) return;
    nodes = (used + clump - 1) / clump * clump;
  }
}

TreePlan Plan(const VolumeTree& tree, const Catalog& c, const VolumeLayout& l) {
  TreePlan p;
  const uint32_t blockSize = l.sectorsPerBlock * kSectorSize;
  uint32_t mapNodes = 0;
  SizeCatalog(c, l, p.catalogNodes, mapNodes);
  p.catalogBlocks = p.catalogNodes / l.sectorsPerBlock;
  p.dataStart.assign(tree.size(), 0);
  p.rsrcStart.assign(tree.size(), 0);
  uint64_t next = uint64_t{l.treeBlocks} + p.catalogBlocks;
  for (const Record& r : c.records) {
    if (r.kind != Kind::kFile) continue;
    const TreeEntry& e = tree[r.entry];
    const uint64_t data = BlocksOf(e.dataLength, blockSize);
    const uint64_t rsrc = BlocksOf(e.resourceLength, blockSize);
    if (data && next <= 0xFFFF) p.dataStart[r.entry] = static_cast<uint32_t>(next);
    next += data;
    if (rsrc && next <= 0xFFFF) p.rsrcStart[r.entry] = static_cast<uint32_t>(next);
    next += rsrc;
  }
  p.neededBlocks = next;
  p.fits = next <= l.blocks;
  p.usedBlocks = p.fits ? static_cast<uint32_t>(next) : 0;
  return p;
}

using Node = std::array<uint8_t, kSectorSize>;

void PutDescriptor(uint8_t* node, uint32_t fLink, uint32_t bLink, int8_t type, uint8_t height,
                   uint16_t records) {
  PutU32BE(node + nd::ndFLink, fLink);
  PutU32BE(node + nd::ndBLink, bLink);
  node[nd::ndType] = static_cast<uint8_t>(type);
  node[nd::ndNHeight] = height;
  PutU16BE(node + nd::ndNRecs, records);
}

void PutOffset(uint8_t* node, size_t index, size_t offset) {
  PutU16BE(node + RecordOffsetAt(index), static_cast<uint16_t>(offset));
}

void PutExtent(uint8_t* p, uint32_t start, uint64_t blocks) {
  if (!blocks) return;
  PutU16BE(p, static_cast<uint16_t>(start));
  PutU16BE(p + 2, static_cast<uint16_t>(blocks));
}

struct Counts {
  std::vector<uint16_t> valence;  // per tree entry; the root's last
  uint16_t rootValence = 0, rootFiles = 0, rootFolders = 0;
  uint32_t files = 0, folders = 0;
};

Counts CountTree(const VolumeTree& tree) {
  Counts n;
  n.valence.assign(tree.size(), 0);
  for (const TreeEntry& e : tree) {
    (e.folder ? n.folders : n.files)++;
    if (e.parent == kNoParent) {
      ++n.rootValence;
      (e.folder ? n.rootFolders : n.rootFiles)++;
    } else {
      ++n.valence[e.parent];
    }
  }
  return n;
}

// Writes record r at p: its key, then its data; returns the bytes written.
size_t PutRecord(uint8_t* p, const Record& r, const Catalog& c, const VolumeTree& tree,
                 const TreePlan& plan, const Counts& counts, uint32_t date, uint32_t blockSize) {
  const size_t keyBytes = r.KeyBytes();
  p[ckr::ckrKeyLen] = static_cast<uint8_t>(keyBytes - 1);
  PutU32BE(p + ckr::ckrParID, r.parentId);
  p[ckr::ckrCName] = static_cast<uint8_t>(r.nameLength);
  if (r.nameLength) std::memcpy(p + ckr::ckrCName + 1, r.name, r.nameLength);
  uint8_t* d = p + keyBytes;
  switch (r.kind) {
    case Kind::kRootFolder:
      d[cdrType] = kFolderRecord;
      PutU16BE(d + dir::dirVal, counts.rootValence);
      PutU32BE(d + dir::dirDirID, kRootId);
      PutU32BE(d + dir::dirCrDat, date);
      PutU32BE(d + dir::dirMdDat, date);
      break;
    case Kind::kFolder: {
      const TreeEntry& e = tree[r.entry];
      d[cdrType] = kFolderRecord;
      PutU16BE(d + dir::dirVal, counts.valence[r.entry]);
      PutU32BE(d + dir::dirDirID, IdOf(r.entry));
      PutU32BE(d + dir::dirCrDat, e.created);
      PutU32BE(d + dir::dirMdDat, e.modified);
      std::memcpy(d + dir::dirUsrInfo, e.finder.data(), kFinderInfoSize);
      std::memcpy(d + dir::dirFndrInfo, e.finder.data() + kFinderInfoSize, kFinderInfoSize);
      break;
    }
    case Kind::kRootThread:
    case Kind::kFolderThread: {
      const bool root = r.kind == Kind::kRootThread;
      d[cdrType] = kFolderThreadRecord;
      PutU32BE(d + thd::thdParID, root ? kRootParentId : ParentIdOf(tree, r.entry));
      const std::string& name = root ? c.volumeName : tree[r.entry].name;
      d[thd::thdCName] = static_cast<uint8_t>(name.size());
      if (!name.empty()) std::memcpy(d + thd::thdCName + 1, name.data(), name.size());
      break;
    }
    case Kind::kFile: {
      const TreeEntry& e = tree[r.entry];
      const uint64_t data = BlocksOf(e.dataLength, blockSize);
      const uint64_t rsrc = BlocksOf(e.resourceLength, blockSize);
      d[cdrType] = kFileRecord;
      std::memcpy(d + fil::filUsrWds, e.finder.data(), kFinderInfoSize);
      PutU32BE(d + fil::filFlNum, IdOf(r.entry));
      if (data) PutU16BE(d + fil::filStBlk, static_cast<uint16_t>(plan.dataStart[r.entry]));
      PutU32BE(d + fil::filLgLen, static_cast<uint32_t>(e.dataLength));
      PutU32BE(d + fil::filPyLen, static_cast<uint32_t>(data * blockSize));
      if (rsrc) PutU16BE(d + fil::filRStBlk, static_cast<uint16_t>(plan.rsrcStart[r.entry]));
      PutU32BE(d + fil::filRLgLen, static_cast<uint32_t>(e.resourceLength));
      PutU32BE(d + fil::filRPyLen, static_cast<uint32_t>(rsrc * blockSize));
      PutU32BE(d + fil::filCrDat, e.created);
      PutU32BE(d + fil::filMdDat, e.modified);
      std::memcpy(d + fil::filFndrInfo, e.finder.data() + kFinderInfoSize, kFinderInfoSize);
      PutExtent(d + fil::filExtRec, plan.dataStart[r.entry], data);
      PutExtent(d + fil::filRExtRec, plan.rsrcStart[r.entry], rsrc);
      break;
    }
  }
  return r.Size();
}

// The index key of a record: the catalog key at its full length.
void PutIndexKey(uint8_t* p, const Record& r) {
  p[ckr::ckrKeyLen] = kCatalogKeyLength;
  PutU32BE(p + ckr::ckrParID, r.parentId);
  p[ckr::ckrCName] = static_cast<uint8_t>(r.nameLength);
  if (r.nameLength) std::memcpy(p + ckr::ckrCName + 1, r.name, r.nameLength);
}

void MarkNodes(std::vector<Node>& nodes, uint32_t used, uint32_t mapNodes) {
  for (uint32_t n = 0; n < used; ++n) {
    uint8_t* bits;
    uint32_t bit;
    if (n < kHeaderMapBits) {
      bits = nodes[0].data() + kMapRecordOffset;
      bit = n;
    } else {
      const uint32_t k = 1 + (n - kHeaderMapBits) / kMapNodeBits;
      if (k > mapNodes) return;
      bits = nodes[k].data() + kDescriptor;
      bit = (n - kHeaderMapBits) % kMapNodeBits;
    }
    bits[bit / 8] = static_cast<uint8_t>(bits[bit / 8] | (0x80 >> (bit % 8)));
  }
}

// Every node in use of the catalog file, from node 0.
std::vector<Node> BuildCatalogNodes(const VolumeTree& tree, const Catalog& c, const TreePlan& plan,
                                    uint32_t date, uint32_t blockSize) {
  const uint32_t mapNodes = MapNodeCount(plan.catalogNodes);
  const uint32_t used = c.nodesInUse(mapNodes);
  std::vector<Node> nodes(used, Node{});
  const Counts counts = CountTree(tree);

  // Leaves, chained in key order.
  const uint32_t firstLeaf = 1 + mapNodes;
  const auto leaves = static_cast<uint32_t>(c.leafStarts.size());
  for (uint32_t k = 0; k < leaves; ++k) {
    uint8_t* p = nodes[firstLeaf + k].data();
    const size_t from = c.leafStarts[k];
    const size_t to = k + 1 < leaves ? c.leafStarts[k + 1] : c.records.size();
    PutDescriptor(p, k + 1 < leaves ? firstLeaf + k + 1 : 0, k ? firstLeaf + k - 1 : 0, kLeafNode,
                  1, static_cast<uint16_t>(to - from));
    size_t at = kDescriptor;
    for (size_t r = from; r < to; ++r) {
      PutOffset(p, r - from, at);
      at += PutRecord(p + at, c.records[r], c, tree, plan, counts, date, blockSize);
    }
    PutOffset(p, to - from, at);
  }

  // Index levels, each node holding the first keys of up to kIndexPerNode children.
  std::vector<std::pair<uint32_t, size_t>> children;  // node, its first record
  for (uint32_t k = 0; k < leaves; ++k) children.push_back({firstLeaf + k, c.leafStarts[k]});
  uint32_t next = firstLeaf + leaves;
  uint8_t height = 1;
  while (children.size() > 1) {
    ++height;
    std::vector<std::pair<uint32_t, size_t>> level;
    const size_t count = (children.size() + kIndexPerNode - 1) / kIndexPerNode;
    for (size_t k = 0; k < count; ++k) {
      const uint32_t number = next + static_cast<uint32_t>(k);
      uint8_t* p = nodes[number].data();
      const size_t from = k * kIndexPerNode;
      const size_t to = std::min(children.size(), from + kIndexPerNode);
      PutDescriptor(p, k + 1 < count ? number + 1 : 0, k ? number - 1 : 0, kIndexNode, height,
                    static_cast<uint16_t>(to - from));
      size_t at = kDescriptor;
      for (size_t i = from; i < to; ++i) {
        PutOffset(p, i - from, at);
        PutIndexKey(p + at, c.records[children[i].second]);
        PutU32BE(p + at + 1 + kCatalogKeyLength, children[i].first);
        at += kIndexRecordSize;
      }
      PutOffset(p, to - from, at);
      level.push_back({number, children[from].second});
    }
    next += static_cast<uint32_t>(count);
    children = std::move(level);
  }

  // The header node and the map nodes.
  uint8_t* h = nodes[0].data();
  PutDescriptor(h, mapNodes ? 1 : 0, 0, kHeaderNode, 0, kHeaderNodeRecords);
  uint8_t* r = h + kHeaderRecordOffset;
  PutU16BE(r + bth::bthDepth, height);
  PutU32BE(r + bth::bthRoot, children.front().first);
  PutU32BE(r + bth::bthNRecs, static_cast<uint32_t>(c.records.size()));
  PutU32BE(r + bth::bthFNode, firstLeaf);
  PutU32BE(r + bth::bthLNode, firstLeaf + leaves - 1);
  PutU16BE(r + bth::bthNodeSize, kNodeSize);
  PutU16BE(r + bth::bthKeyLen, kCatalogKeyLength);
  PutU32BE(r + bth::bthNNodes, plan.catalogNodes);
  PutU32BE(r + bth::bthFree, plan.catalogNodes - used);
  const size_t headerOffsets[] = {kHeaderRecordOffset, kUserDataRecordOffset, kMapRecordOffset,
                                  kHeaderFreeOffset};
  for (size_t k = 0; k < 4; ++k) PutOffset(h, k, headerOffsets[k]);
  for (uint32_t k = 1; k <= mapNodes; ++k) {
    uint8_t* p = nodes[k].data();
    PutDescriptor(p, k < mapNodes ? k + 1 : 0, k - 1, kMapNode, 0, kMapNodeRecords);
    PutOffset(p, 0, kDescriptor);
    PutOffset(p, 1, kMapNodeFreeOffset);
  }
  MarkNodes(nodes, used, mapNodes);
  return nodes;
}

}  // namespace

TreePlan PlanTree(const VolumeTree& tree, uint32_t totalSectors, const char* volumeName,
                  std::string& error) {
  Catalog c;
  if (!BuildCatalog(tree, volumeName, c, error)) return {};
  return Plan(tree, c, LayoutOfVolume(totalSectors));
}

struct TreePlanner::Catalog : brind::Catalog {};

TreePlanner::TreePlanner(const VolumeTree& tree, const char* volumeName)
    : tree_(tree), catalog_(std::make_unique<Catalog>()) {
  if (!BuildCatalog(tree, volumeName, *catalog_, error_) && error_.empty()) error_ = "bad tree";
}

TreePlanner::~TreePlanner() = default;

TreePlan TreePlanner::For(uint32_t totalSectors) const {
  if (!ok()) return {};
  return Plan(tree_, *catalog_, LayoutOfVolume(totalSectors));
}

uint16_t WriteVolumeTree(SectorIo& io, uint8_t drive, uint32_t totalSectors, const char* volumeName,
                         const VolumeTree& tree, ForkReader& reader, std::string& error) {
  const VolumeLayout l = LayoutOfVolume(totalSectors);
  Catalog c;
  if (!BuildCatalog(tree, volumeName, c, error)) return kFailed;
  const TreePlan plan = Plan(tree, c, l);
  if (!plan.fits) {
    error = "the files do not fit on the volume";
    return kFailed;
  }
  MdbImage m;
  if (io.ReadSector(m.bytes.data(), kMdbSector, drive) != kDiskOk) {
    error = "cannot read the master directory block";
    return kFailed;
  }
  SwapMdb(m);
  const uint32_t blockSize = l.sectorsPerBlock * kSectorSize;
  // Only the volume the format stages made is filled.
  if (m.Get16(mdb::drNmAlBlks) != l.blocks || m.Get32(mdb::drAlBlkSiz) != blockSize ||
      m.Get16(mdb::drAlBlSt) != l.firstBlockSector ||
      m.Get16(mdb::drXTExtRec + 2) != l.treeBlocks || m.Get16(mdb::drCTExtRec) != l.treeBlocks) {
    error = "the master directory block is not the new volume's";
    return kFailed;
  }
  // An empty volume, whole, before the first fork: what a fill that stops leaves behind.
  uint16_t status = WriteRootDirectory(io, drive, volumeName);
  if (status == 0) status = WriteDuplicateVib(io, drive, totalSectors);
  if (status != 0) {
    error = "cannot write the root directory";
    return status;
  }
  auto sectorOf = [&](uint64_t block) {
    return static_cast<uint32_t>(l.firstBlockSector + block * l.sectorsPerBlock);
  };
  auto failedWrite = [&](DiskStatus s) {
    error = "cannot write to the disk";
    return static_cast<uint16_t>(s ? s : kFailed);
  };

  // The forks, a run of whole blocks at a time; the last block's tail is zeros.
  const size_t chunk = std::max<size_t>(blockSize, (size_t{1} << 20) / blockSize * blockSize);
  std::vector<uint8_t> buffer(chunk);
  for (const Record& r : c.records) {
    if (r.kind != Kind::kFile) continue;
    const TreeEntry& e = tree[r.entry];
    for (const bool resource : {false, true}) {
      const uint64_t length = resource ? e.resourceLength : e.dataLength;
      uint32_t sector = sectorOf(resource ? plan.rsrcStart[r.entry] : plan.dataStart[r.entry]);
      for (uint64_t at = 0; at < length;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk, length - at));
        if (!reader.Read(r.entry, resource, at, buffer.data(), n, error)) return kFailed;
        const size_t padded = (n + blockSize - 1) / blockSize * blockSize;
        std::memset(buffer.data() + n, 0, padded - n);
        const auto sectors = static_cast<uint32_t>(padded / kSectorSize);
        const DiskStatus s = io.WriteSectors(buffer.data(), sector, sectors, drive);
        if (s != kDiskOk) return failedWrite(s);
        sector += sectors;
        at += n;
      }
    }
  }

  // Node 1 of the extents file is free: no stale bytes in it.
  DiskStatus s = io.ZeroSectors(sectorOf(0) + 1, 1, drive);
  if (s != kDiskOk) return failedWrite(s);

  // The catalog: its nodes in use, then the nodes beyond the empty volume's catalog cleared
  // (the format cleared its own free nodes).
  const uint32_t date = m.Get32(mdb::drCrDate);
  const std::vector<Node> nodes = BuildCatalogNodes(tree, c, plan, date, blockSize);
  const uint32_t catalogSector = sectorOf(l.treeBlocks);
  std::vector<uint8_t> run(nodes.size() * kSectorSize);
  for (size_t k = 0; k < nodes.size(); ++k)
    std::memcpy(run.data() + k * kSectorSize, nodes[k].data(), kSectorSize);
  s = io.WriteSectors(run.data(), catalogSector, static_cast<uint32_t>(nodes.size()), drive);
  if (s != kDiskOk) return failedWrite(s);
  const auto from = std::max<uint32_t>(static_cast<uint32_t>(nodes.size()), l.treeNodes);
  if (from < plan.catalogNodes) {
    s = io.ZeroSectors(catalogSector + from, plan.catalogNodes - from, drive);
    if (s != kDiskOk) return failedWrite(s);
  }

  // The bitmap: every block in use is in the run from block 0.
  const uint32_t bitmapSectors = (l.blocks + kSectorSize * 8 - 1) / (kSectorSize * 8);
  std::vector<uint8_t> bitmap(size_t{bitmapSectors} * kSectorSize, 0);
  std::memset(bitmap.data(), 0xFF, plan.usedBlocks / 8);
  if (plan.usedBlocks % 8)
    bitmap[plan.usedBlocks / 8] = static_cast<uint8_t>(0xFF00 >> (plan.usedBlocks % 8));
  s = io.WriteSectors(bitmap.data(), m.Get16(mdb::drVBMSt), bitmapSectors, drive);
  if (s != kDiskOk) return failedWrite(s);

  const Counts counts = CountTree(tree);
  m.Set16(mdb::drNmFls, counts.rootFiles);
  m.Set16(mdb::drNmRtDirs, counts.rootFolders);
  m.Set32(mdb::drFilCnt, counts.files);
  m.Set32(mdb::drDirCnt, counts.folders);
  m.Set32(mdb::drNxtCNID, kFirstId + static_cast<uint32_t>(tree.size()));
  m.Set16(mdb::drFreeBks, static_cast<uint16_t>(l.blocks - plan.usedBlocks));
  m.Set16(mdb::drAllocPtr, static_cast<uint16_t>(plan.usedBlocks < l.blocks ? plan.usedBlocks : 0));
  m.Set32(mdb::drCTFlSize, plan.catalogNodes * kSectorSize);
  m.Set16(mdb::drCTExtRec + 2, static_cast<uint16_t>(plan.catalogBlocks));
  SwapMdb(m);
  s = io.WriteSector(m.bytes.data(), kMdbSector, drive);
  if (s != kDiskOk) return failedWrite(s);
  return 0;
}

}  // namespace brind
