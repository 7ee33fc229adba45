#include "hfs/VolumeChecker.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

#include "common/Bytes.h"
#include "common/PrintableText.h"
#include "hfs/Mdb.h"
#include "hfs/NameOrder.h"

namespace brind {

namespace {

constexpr uint16_t kHfsSignature = 0x4244;      // "BD"
constexpr uint16_t kHfsPlusSignature = 0x482B;  // "H+"
constexpr uint16_t kHfsxSignature = 0x4858;     // "HX"
constexpr size_t kEmbedSigWord = 0x7C;          // drVCSize's place in a wrapper: drEmbedSigWord
constexpr size_t kNodeSize = 512;
constexpr size_t kDescriptorSize = 14;
constexpr size_t kMaxReported = 20;  // findings of one kind before they are only counted
constexpr unsigned kMaxDepth = 8;

constexpr uint32_t kExtentsFileId = 3;
constexpr uint32_t kCatalogFileId = 4;
constexpr uint32_t kBadBlocksFileId = 5;
constexpr uint32_t kRootParentId = 1;
constexpr uint32_t kRootId = 2;
constexpr uint32_t kFirstUserId = 16;

enum NodeType : int8_t { kIndex = 0, kHeader = 1, kMap = 2, kLeaf = -1 };
enum CatalogType : uint8_t { kFolder = 1, kFile = 2, kFolderThread = 3, kFileThread = 4 };

std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  return buf;
}

std::string EscapedName(std::string_view mac) { return PrintableBytes(mac); }

struct Extent {
  uint32_t start, count;
};

struct Key {
  const uint8_t* p = nullptr;  // the key's length byte
  size_t length = 0;           // bytes after the length byte
};

// A B-tree file loaded whole (each node is read once), with what the walk learnt of it.
struct Tree {
  Tree(const char* n, uint32_t id) : name(n), fileId(id) {}
  const char* name;
  uint32_t fileId;
  std::vector<uint8_t> bytes;
  uint32_t nodes = 0;  // nodes the file holds
  uint16_t depth = 0;
  uint32_t root = 0, leafRecords = 0, firstLeaf = 0, lastLeaf = 0, headerNodes = 0, freeNodes = 0;
  uint16_t maxKeyLength = 0;
  std::vector<uint8_t> inMap;   // per node: marked in use in the map
  std::vector<uint8_t> inTree;  // per node: reached (header, map, index or leaf node)
  struct Leaf {
    uint32_t node;
    uint16_t index;
    Key key;
    const uint8_t* data;
    size_t size;
  };
  std::vector<Leaf> leaves;  // every leaf record in key order

  const uint8_t* Node(uint32_t n) const { return bytes.data() + size_t{n} * kNodeSize; }
};

struct FileInfo {
  uint32_t parent;
  Key key;
  std::string where;
  bool hasThread = false;
};
struct FolderInfo {
  uint32_t parent;
  Key key;
  std::string where;
  uint16_t valence;
  uint32_t children = 0;
  int threads = 0;
  bool reachable = false;
};

class Checker {
 public:
  Checker(ByteSource& source, const CheckOptions& options) : src_(source), options_(options) {}

  CheckResult Run();

 private:
  void Add(Severity s, std::string where, std::string what) {
    result_.findings.push_back({s, std::move(where), std::move(what)});
  }
  void Error(std::string where, std::string what) {
    Add(Severity::kError, std::move(where), std::move(what));
  }
  void Warn(std::string where, std::string what) {
    Add(Severity::kWarning, std::move(where), std::move(what));
  }
  // Counts findings of one kind; true while they are still reported one by one.
  bool Report(const char* kind, Severity severity = Severity::kError) {
    auto& [count, s] = limits_[kind];
    s = severity;
    return ++count <= kMaxReported;
  }
  void ReportOverflow();

  std::string Name(const uint8_t* p, size_t n) const {
    std::string_view mac(reinterpret_cast<const char*>(p), n);
    return options_.nameText ? options_.nameText(mac) : EscapedName(mac);
  }
  std::string KeyText(const Tree& t, Key k) const;
  int CompareKeys(const Tree& t, Key a, Key b) const;

  bool ReadMdb();
  void CheckAlternateMdb();
  bool ExtentInside(uint32_t start, uint32_t count) const {
    return start <= blocks_ && count <= blocks_ - start;
  }
  uint64_t BlockOffset(uint32_t block) const {
    return uint64_t{firstSector_} * 512 + uint64_t{block} * blockSize_;
  }
  std::vector<Extent> ForkExtents(uint32_t fileId, uint8_t forkType, const uint8_t* record,
                                  uint32_t physical, const std::string& what);
  void Claim(uint32_t fileId, uint8_t forkType, const std::vector<Extent>& extents);
  bool LoadTree(Tree& t, const std::vector<Extent>& extents, uint32_t physical);
  void CheckHeader(Tree& t);
  void Walk(Tree& t);
  void VisitNode(Tree& t, uint32_t n, unsigned height, Key parentKey, bool hasParentKey);
  bool ParseRecord(const Tree& t, uint32_t n, uint16_t i, const uint8_t* rec, size_t size, Key& key,
                   const uint8_t*& data, size_t& dataSize);
  void CheckMap(Tree& t);
  void GatherOverflow();
  void CheckCatalog();
  void CheckBitmap();
  void ListTree();

  CountingSource src_;
  const CheckOptions& options_;
  CheckResult result_;
  std::map<std::string, std::pair<size_t, Severity>> limits_;

  MdbImage mdb_;  // disk order
  uint32_t blockSize_ = 0, blocks_ = 0, firstSector_ = 0;
  uint64_t volumeEnd_ = 0;
  bool truncated_ = false;

  Tree extents_{"extents", kExtentsFileId};
  Tree catalog_{"catalog", kCatalogFileId};
  // Extents overflow records by (file, fork): fork block number -> record
  std::map<std::pair<uint32_t, uint8_t>, std::vector<std::pair<uint32_t, const uint8_t*>>>
      overflow_;
  std::set<std::pair<uint32_t, uint8_t>> overflowUsed_;
  std::vector<uint32_t> owner_;  // per allocation block: file ID + 1 (0 = unclaimed)
  std::vector<uint8_t> ownerFork_;

  // Walk state per level: the last node and the last key seen.
  uint32_t lastNode_[kMaxDepth + 1] = {};
  Key lastKey_[kMaxDepth + 1] = {};
  bool hasLastKey_[kMaxDepth + 1] = {};

  std::unordered_map<uint32_t, FolderInfo> folders_;
  std::unordered_map<uint32_t, FileInfo> files_;
  std::vector<std::pair<uint32_t, const Tree::Leaf*>> order_;  // folders and files in key order
};

std::string Checker::KeyText(const Tree& t, Key k) const {
  if (t.fileId == kExtentsFileId) {
    if (k.length < 7) return "(short key)";
    return Format("(file %u, %s fork, block %u)", GetU32BE(k.p + 2),
                  k.p[1] == 0xFF ? "resource" : "data", GetU16BE(k.p + 6));
  }
  if (k.length < 6) return "(short key)";
  const size_t n = std::min<size_t>(k.p[6], k.length - 6);
  return Format("(parent %u, \"%s\")", GetU32BE(k.p + 2), Name(k.p + 7, n).c_str());
}

int Checker::CompareKeys(const Tree& t, Key a, Key b) const {
  auto cmp32 = [](uint32_t x, uint32_t y) { return x < y ? -1 : x > y ? 1 : 0; };
  if (t.fileId == kExtentsFileId) {
    // File, then fork, then the fork's block number.
    if (int d = cmp32(GetU32BE(a.p + 2), GetU32BE(b.p + 2))) return d;
    if (int d = cmp32(a.p[1], b.p[1])) return d;
    return cmp32(GetU16BE(a.p + 6), GetU16BE(b.p + 6));
  }
  if (int d = cmp32(GetU32BE(a.p + 2), GetU32BE(b.p + 2))) return d;
  const size_t an = std::min<size_t>(a.p[6], a.length - 6),
               bn = std::min<size_t>(b.p[6], b.length - 6);
  return CompareMacNames(a.p + 7, an, b.p + 7, bn);
}

const char* const kMdbWhere = "MDB (sector 2)";

bool Checker::ReadMdb() {
  const uint64_t size = src_.Size();
  result_.summary.volumeBytes = size;
  if (!src_.Read(kMdbSector * 512, mdb_.bytes.data(), 512)) {
    result_.kind = VolumeKind::kUnreadable;
    Error(kMdbWhere, Format("cannot be read (the target holds %llu bytes)",
                            static_cast<unsigned long long>(size)));
    return false;
  }
  const uint8_t* m = mdb_.bytes.data();
  const uint16_t sig = GetU16BE(m + mdb::drSigWord);
  if (sig == kHfsPlusSignature || sig == kHfsxSignature) {
    result_.kind = VolumeKind::kHfsPlus;
    return false;
  }
  if (sig != kHfsSignature) {
    result_.kind = VolumeKind::kNotHfs;
    Error(kMdbWhere, Format("signature is 0x%04X, expected 0x4244 (\"BD\")", sig));
    return false;
  }
  if (GetU16BE(m + kEmbedSigWord) == kHfsPlusSignature) {
    result_.kind = VolumeKind::kHfsWrapper;
    return false;
  }
  result_.kind = VolumeKind::kHfs;
  blockSize_ = GetU32BE(m + mdb::drAlBlkSiz);
  blocks_ = GetU16BE(m + mdb::drNmAlBlks);
  firstSector_ = GetU16BE(m + mdb::drAlBlSt);
  const uint32_t bitmapStart = GetU16BE(m + mdb::drVBMSt);
  bool sound = true;
  if (blockSize_ == 0 || blockSize_ % 512 != 0) {
    Error(kMdbWhere, Format("drAlBlkSiz is %u, expected a nonzero multiple of 512", blockSize_));
    sound = false;
  }
  if (blocks_ == 0) {
    Error(kMdbWhere, "drNmAlBlks is 0");
    sound = false;
  }
  const uint32_t bitmapSectors = (blocks_ + 4095) / 4096;
  if (bitmapStart < 3 || bitmapStart + bitmapSectors > firstSector_) {
    Error(kMdbWhere,
          Format("the bitmap (drVBMSt %u, %u sectors) must lie between sector 3 and the first "
                 "allocation block (drAlBlSt %u)",
                 bitmapStart, bitmapSectors, firstSector_));
    sound = false;
  }
  if ((GetU16BE(m + mdb::drAtrb) & 0x0100) == 0)
    Warn(kMdbWhere, "the volume was not unmounted cleanly (drAtrb bit 8 is clear)");
  const uint8_t nameLength = m[mdb::drVN];
  if (nameLength == 0 || nameLength > kMaxVolumeName)
    Error(kMdbWhere, Format("the volume name is %u bytes long, expected 1 to 27", nameLength));
  result_.summary.volumeName.assign(reinterpret_cast<const char*>(m + mdb::drVN + 1),
                                    std::min<size_t>(nameLength, kMaxVolumeName));
  result_.summary.blockSize = blockSize_;
  result_.summary.totalBlocks = blocks_;
  if (!sound) return false;
  volumeEnd_ = BlockOffset(blocks_);
  // The alternate MDB follows the allocation blocks, in the volume's last sector but one.
  if (volumeEnd_ + 1024 > size) {
    truncated_ = true;
    Error("volume",
          Format("the image is truncated: the volume's %u blocks of %u bytes and its alternate MDB "
                 "need %llu bytes, the target holds %llu",
                 blocks_, blockSize_, static_cast<unsigned long long>(volumeEnd_ + 1024),
                 static_cast<unsigned long long>(size)));
  }
  return true;
}

void Checker::CheckAlternateMdb() {
  if (truncated_) return;
  const uint64_t sector = src_.Size() / 512 - 2;
  const std::string where =
      Format("alternate MDB (sector %llu)", static_cast<unsigned long long>(sector));
  uint8_t alt[512];
  if (!src_.Read(sector * 512, alt, sizeof alt)) {
    Error(where, "cannot be read");
    return;
  }
  if (GetU16BE(alt) != kHfsSignature) {
    Error(where, Format("signature is 0x%04X, expected 0x4244 (\"BD\")", GetU16BE(alt)));
    return;
  }
  // The layout never changes after a format; the counts are only copied now and then.
  struct Field {
    const char* name;
    size_t offset, size;
  };
  const Field fields[] = {{"drCrDate", mdb::drCrDate, 4},     {"drVBMSt", mdb::drVBMSt, 2},
                          {"drNmAlBlks", mdb::drNmAlBlks, 2}, {"drAlBlkSiz", mdb::drAlBlkSiz, 4},
                          {"drAlBlSt", mdb::drAlBlSt, 2},     {"drXTFlSize", mdb::drXTFlSize, 4},
                          {"drXTExtRec", mdb::drXTExtRec, 12}};
  for (const Field& f : fields)
    if (std::memcmp(alt + f.offset, mdb_.bytes.data() + f.offset, f.size) != 0)
      Error(where, Format("%s differs from the MDB's", f.name));
}

std::vector<Extent> Checker::ForkExtents(uint32_t fileId, uint8_t forkType, const uint8_t* record,
                                         uint32_t physical, const std::string& what) {
  std::vector<Extent> out;
  uint64_t covered = 0;
  auto take = [&](const uint8_t* rec, const std::string& where) {
    for (int i = 0; i < 3; ++i) {
      const uint32_t start = GetU16BE(rec + 4 * i), count = GetU16BE(rec + 4 * i + 2);
      if (count == 0) continue;
      if (!ExtentInside(start, count)) {
        if (Report("extent outside"))
          Error(where,
                Format("extent %u+%u lies outside the volume's %u blocks", start, count, blocks_));
        continue;
      }
      out.push_back({start, count});
      covered += count;
    }
  };
  take(record, what);
  auto it = overflow_.find({fileId, forkType});
  if (it != overflow_.end()) {
    overflowUsed_.insert(it->first);
    for (const auto& [forkBlock, rec] : it->second) {
      if (forkBlock != covered && Report("overflow start"))
        Error(what, Format("an extents overflow record starts at fork block %u, expected %llu",
                           forkBlock, static_cast<unsigned long long>(covered)));
      take(rec, what + " (extents overflow)");
    }
  }
  if (covered * blockSize_ != physical && Report("physical length"))
    Error(what, Format("the extents hold %llu bytes, the physical length says %u",
                       static_cast<unsigned long long>(covered * blockSize_), physical));
  return out;
}

void Checker::Claim(uint32_t fileId, uint8_t forkType, const std::vector<Extent>& extents) {
  for (const Extent& e : extents) {
    uint32_t firstClash = 0, clashes = 0, other = 0;
    for (uint32_t b = e.start; b < e.start + e.count; ++b) {
      if (owner_[b] != 0) {
        if (clashes++ == 0) {
          firstClash = b;
          other = owner_[b] - 1;
        }
        continue;
      }
      owner_[b] = fileId + 1;
      ownerFork_[b] = forkType;
    }
    if (clashes != 0 && Report("claimed twice"))
      Error(Format("block %u", firstClash),
            Format("claimed twice: by file %u (%s fork) and by file %u (%s fork); %u block(s) of "
                   "extent %u+%u",
                   other, ownerFork_[firstClash] == 0xFF ? "resource" : "data", fileId,
                   forkType == 0xFF ? "resource" : "data", clashes, e.start, e.count));
  }
}

bool Checker::LoadTree(Tree& t, const std::vector<Extent>& extents, uint32_t physical) {
  // Nothing is allocated for bytes the target does not hold.
  uint64_t total = 0;
  for (const Extent& e : extents) {
    const uint64_t end = BlockOffset(e.start) + uint64_t{e.count} * blockSize_;
    if (end > src_.Size()) {
      Error(Format("%s file, blocks %u-%u", t.name, e.start, e.start + e.count - 1),
            "lie beyond the end of the target");
      return false;
    }
    total += uint64_t{e.count} * blockSize_;
  }
  total = std::min<uint64_t>(total, physical);
  total -= total % kNodeSize;
  if (total == 0) {
    Error(t.name, "the B-tree file holds no node");
    return false;
  }
  if (total > SIZE_MAX / 2) {
    Error(t.name, "the B-tree file is too large to be held in memory here");
    return false;
  }
  t.bytes.assign(static_cast<size_t>(total), 0);
  uint64_t at = 0;
  for (const Extent& e : extents) {
    if (at >= total) break;
    const uint64_t n = std::min<uint64_t>(uint64_t{e.count} * blockSize_, total - at);
    if (!src_.Read(BlockOffset(e.start), t.bytes.data() + at, static_cast<size_t>(n))) {
      Error(Format("%s file, blocks %u-%u", t.name, e.start, e.start + e.count - 1),
            "cannot be read (beyond the end of the target)");
      return false;
    }
    at += n;
  }
  result_.summary.metadataBytes += total;
  t.nodes = static_cast<uint32_t>(total / kNodeSize);
  t.inMap.assign(t.nodes, 0);
  t.inTree.assign(t.nodes, 0);
  return true;
}

void Checker::CheckHeader(Tree& t) {
  const uint8_t* h = t.Node(0);
  const std::string where = Format("%s header node 0", t.name);
  if (static_cast<int8_t>(h[8]) != kHeader)
    Error(where, Format("node type is %d, expected 1 (header)", static_cast<int8_t>(h[8])));
  const uint8_t* r = h + kDescriptorSize;
  t.depth = GetU16BE(r);
  t.root = GetU32BE(r + 2);
  t.leafRecords = GetU32BE(r + 6);
  t.firstLeaf = GetU32BE(r + 10);
  t.lastLeaf = GetU32BE(r + 14);
  const uint16_t nodeSize = GetU16BE(r + 18);
  t.maxKeyLength = GetU16BE(r + 20);
  const uint32_t nodes = GetU32BE(r + 22);
  t.freeNodes = GetU32BE(r + 26);
  const uint16_t expectedKey = t.fileId == kExtentsFileId ? 7 : 37;
  if (nodeSize != kNodeSize) Error(where, Format("bthNodeSize is %u, expected 512", nodeSize));
  if (t.maxKeyLength != expectedKey)
    Error(where, Format("bthKeyLen is %u, expected %u", t.maxKeyLength, expectedKey));
  if (nodes != t.nodes)
    Error(where, Format("bthNNodes is %u, but the file holds %u nodes", nodes, t.nodes));
  if (t.depth > kMaxDepth)
    Error(where, Format("bthDepth is %u, at most %u is possible", t.depth, kMaxDepth));
}

bool Checker::ParseRecord(const Tree& t, uint32_t n, uint16_t i, const uint8_t* rec, size_t size,
                          Key& key, const uint8_t*& data, size_t& dataSize) {
  const std::string where = Format("%s node %u record %u", t.name, n, i);
  key.p = rec;
  key.length = size == 0 ? 0 : rec[0];
  const size_t least = t.fileId == kExtentsFileId ? 7 : 6;
  if (size == 0 || key.length < least || key.length > t.maxKeyLength || 1 + key.length > size) {
    if (Report("key length"))
      Error(where, Format("key length %zu does not fit (%zu to %u bytes, record of %zu)",
                          key.length, least, t.maxKeyLength, size));
    return false;
  }
  if (t.fileId == kCatalogFileId) {
    const uint8_t nameLength = rec[6];
    if (nameLength > 31) {
      if (Report("name length"))
        Error(where, Format("a name of %u bytes, names have 1 to 31", nameLength));
      return false;
    }
    if (6u + nameLength > key.length) {
      if (Report("key length"))
        Error(where, Format("key length %zu is too short for its name of %u bytes", key.length,
                            nameLength));
      return false;
    }
  }
  const size_t at = (1 + key.length + 1) & ~size_t{1};  // the data starts on an even offset
  if (at > size) {
    if (Report("key length")) Error(where, "the record holds no data after its key");
    return false;
  }
  data = rec + at;
  dataSize = size - at;
  return true;
}

void Checker::VisitNode(Tree& t, uint32_t n, unsigned height, Key parentKey, bool hasParentKey) {
  const std::string where = Format("%s node %u", t.name, n);
  if (n == 0 || n >= t.nodes) {
    Error(Format("%s index", t.name), Format("points to node %u, outside 1..%u", n, t.nodes - 1));
    return;
  }
  if (t.inTree[n]) {
    Error(where, "is reached twice in the tree");
    return;
  }
  t.inTree[n] = 1;
  const uint8_t* node = t.Node(n);
  const uint32_t bLink = GetU32BE(node + 4);
  const int8_t type = static_cast<int8_t>(node[8]);
  const uint8_t nodeHeight = node[9];
  const uint16_t records = GetU16BE(node + 10);
  const int8_t expectedType = height == 1 ? kLeaf : kIndex;
  if (type != expectedType) {
    Error(where, Format("node type is %d, expected %d (%s)", type, expectedType,
                        height == 1 ? "leaf" : "index"));
    return;
  }
  if (nodeHeight != height) Error(where, Format("height is %u, expected %u", nodeHeight, height));
  // Sibling links: each level is one list, in key order.
  const uint32_t prev = lastNode_[height];
  if (bLink != prev) Error(where, Format("backward link is %u, expected %u", bLink, prev));
  if (prev != 0 && GetU32BE(t.Node(prev)) != n)
    Error(Format("%s node %u", t.name, prev),
          Format("forward link is %u, expected %u", GetU32BE(t.Node(prev)), n));
  lastNode_[height] = n;
  // Record offsets: from the end of the node backwards, one more than the records (free space).
  if (records == 0 || 2u * (records + 1) > kNodeSize - kDescriptorSize) {
    Error(where, Format("holds %u records", records));
    return;
  }
  std::vector<uint16_t> offsets(records + 1);
  for (size_t i = 0; i <= records; ++i) offsets[i] = GetU16BE(node + kNodeSize - 2 * (i + 1));
  const size_t tableStart = kNodeSize - 2 * (records + 1);
  if (offsets[0] != kDescriptorSize) {
    Error(where, Format("record 0 starts at %u, expected 14", offsets[0]));
    return;
  }
  for (size_t i = 1; i <= records; ++i) {
    if (offsets[i] <= offsets[i - 1] || offsets[i] > tableStart) {
      Error(
          where,
          Format(
              "record offset %zu is %u, expected above %u and at most %zu (the free space ends at "
              "the offset table)",
              i, offsets[i], offsets[i - 1], tableStart));
      return;
    }
  }
  for (uint16_t i = 0; i < records; ++i) {
    Key key;
    const uint8_t* data;
    size_t size;
    if (!ParseRecord(t, n, i, node + offsets[i], offsets[i + 1] - offsets[i], key, data, size))
      continue;
    const std::string rwhere = Format("%s node %u record %u", t.name, n, i);
    if (i == 0 && hasParentKey && CompareKeys(t, key, parentKey) != 0)
      Error(rwhere, Format("first key %s differs from the index key %s that points here",
                           KeyText(t, key).c_str(), KeyText(t, parentKey).c_str()));
    if (hasLastKey_[height]) {
      const int c = CompareKeys(t, lastKey_[height], key);
      if (c == 0 && height == 1 && t.fileId == kCatalogFileId) {
        if (Report("same name"))
          Error(rwhere, Format("folder %u holds two entries with the name \"%s\"",
                               GetU32BE(key.p + 2), Name(key.p + 7, key.p[6]).c_str()));
      } else if (c >= 0 && Report("order")) {
        Error(rwhere, Format("keys out of order: %s does not sort after %s",
                             KeyText(t, key).c_str(), KeyText(t, lastKey_[height]).c_str()));
      }
    }
    lastKey_[height] = key;
    hasLastKey_[height] = true;
    if (height == 1) {
      t.leaves.push_back({n, i, key, data, size});
    } else {
      if (size < 4) {
        Error(rwhere, "an index record without a node pointer");
        continue;
      }
      VisitNode(t, GetU32BE(data), height - 1, key, true);
    }
  }
}

void Checker::Walk(Tree& t) {
  std::fill(std::begin(lastNode_), std::end(lastNode_), 0);
  std::fill(std::begin(hasLastKey_), std::end(hasLastKey_), false);
  const std::string where = Format("%s header node 0", t.name);
  t.inTree[0] = 1;
  // Map nodes continue the header node's map, along the forward links.
  for (uint32_t n = GetU32BE(t.Node(0)), hops = 0; n != 0; n = GetU32BE(t.Node(n)), ++hops) {
    if (n >= t.nodes || t.inTree[n] || hops > t.nodes) {
      Error(Format("%s map", t.name),
            Format("the map node chain reaches node %u again or outside the file", n));
      break;
    }
    if (static_cast<int8_t>(t.Node(n)[8]) != kMap) {
      Error(Format("%s node %u", t.name, n), "is linked as a map node but is not one");
      break;
    }
    t.inTree[n] = 1;
    ++t.headerNodes;
  }
  if (t.depth == 0) {
    if (t.root != 0 || t.leafRecords != 0 || t.firstLeaf != 0 || t.lastLeaf != 0)
      Error(where, "an empty tree (bthDepth 0) must have no root, leaves or records");
  } else if (t.depth <= kMaxDepth) {
    if (t.root == 0 || t.root >= t.nodes) {
      Error(where, Format("bthRoot is %u, outside 1..%u", t.root, t.nodes - 1));
    } else {
      const uint8_t h = t.Node(t.root)[9];
      if (h != t.depth)
        Error(Format("%s node %u", t.name, t.root),
              Format("the root's height is %u, bthDepth %u", h, t.depth));
      VisitNode(t, t.root, t.depth, {}, false);
      for (unsigned level = 1; level <= t.depth; ++level) {
        const uint32_t last = lastNode_[level];
        if (last != 0 && GetU32BE(t.Node(last)) != 0)
          Error(Format("%s node %u", t.name, last),
                Format("forward link is %u, expected 0 (last node of level %u)",
                       GetU32BE(t.Node(last)), level));
      }
      const uint32_t first = t.leaves.empty() ? 0 : t.leaves.front().node;
      if (t.firstLeaf != first)
        Error(where, Format("bthFNode is %u, the first leaf is node %u", t.firstLeaf, first));
      if (t.lastLeaf != lastNode_[1])
        Error(where, Format("bthLNode is %u, the last leaf is node %u", t.lastLeaf, lastNode_[1]));
    }
  }
  if (t.leafRecords != t.leaves.size())
    Error(where,
          Format("bthNRecs is %u, the leaves hold %zu records", t.leafRecords, t.leaves.size()));
  CheckMap(t);
}

void Checker::CheckMap(Tree& t) {
  // The header node's third record, then one record in every map node.
  std::vector<std::pair<const uint8_t*, size_t>> maps;
  const uint8_t* h = t.Node(0);
  if (GetU16BE(h + 10) >= 3) {
    const uint16_t from = GetU16BE(h + kNodeSize - 6), to = GetU16BE(h + kNodeSize - 8);
    if (from < to && to <= kNodeSize - 8) maps.push_back({h + from, size_t{to} - from});
  }
  if (maps.empty()) {
    Error(Format("%s header node 0", t.name), "has no map record");
    return;
  }
  for (uint32_t n = GetU32BE(h); n != 0 && n < t.nodes && t.inTree[n] && maps.size() <= t.nodes;
       n = GetU32BE(t.Node(n))) {
    const uint8_t* node = t.Node(n);
    const uint16_t from = GetU16BE(node + kNodeSize - 2), to = GetU16BE(node + kNodeSize - 4);
    if (from == kDescriptorSize && from < to && to <= kNodeSize - 4)
      maps.push_back({node + from, size_t{to} - from});
    if (GetU32BE(node) == n) break;
  }
  uint32_t bit = 0, marked = 0, strayBits = 0;
  for (const auto& [p, size] : maps)
    for (size_t i = 0; i < size * 8; ++i, ++bit) {
      const bool set = (p[i / 8] >> (7 - i % 8)) & 1;
      if (bit < t.nodes) {
        t.inMap[bit] = set;
        marked += set;
      } else if (set) {
        ++strayBits;
      }
    }
  if (bit < t.nodes)
    Error(Format("%s map", t.name), Format("covers %u nodes, the file holds %u", bit, t.nodes));
  if (strayBits != 0)
    Warn(Format("%s map", t.name),
         Format("%u bit(s) set past the file's %u nodes", strayBits, t.nodes));
  uint32_t usedUnmarked = 0, markedUnused = 0;
  for (uint32_t n = 0; n < std::min(bit, t.nodes); ++n) {
    if (t.inTree[n] && !t.inMap[n] && ++usedUnmarked && Report("node unmarked"))
      Error(Format("%s node %u", t.name, n), "is in the tree but free in the map");
    if (!t.inTree[n] && t.inMap[n] && ++markedUnused && Report("node leaked"))
      Error(Format("%s node %u", t.name, n),
            "is marked in use in the map but no tree path reaches it");
    if (!t.inTree[n] && !t.inMap[n]) {
      const uint8_t* node = t.Node(n);
      if (std::any_of(node, node + kNodeSize, [](uint8_t b) { return b != 0; }) &&
          Report("stale node", Severity::kWarning))
        Warn(Format("%s node %u", t.name, n), "is free but holds stale bytes");
    }
  }
  const uint32_t free = t.nodes - marked;
  if (t.freeNodes != free)
    Error(Format("%s header node 0", t.name),
          Format("bthFree is %u, the map leaves %u nodes free", t.freeNodes, free));
}

void Checker::GatherOverflow() {
  for (const Tree::Leaf& l : extents_.leaves) {
    const std::string where = Format("extents node %u record %u", l.node, l.index);
    if (l.key.length != 7) {
      Error(where, Format("key length %zu, expected 7", l.key.length));
      continue;
    }
    if (l.size < 12) {
      Error(where, "an extents record shorter than 12 bytes");
      continue;
    }
    const uint8_t fork = l.key.p[1];
    if (fork != 0 && fork != 0xFF)
      Error(where, Format("fork type 0x%02X, expected 0x00 or 0xFF", fork));
    overflow_[{GetU32BE(l.key.p + 2), fork}].push_back({GetU16BE(l.key.p + 6), l.data});
  }
}

void Checker::CheckCatalog() {
  uint32_t maxId = kFirstUserId - 1;
  std::vector<std::pair<uint32_t, const Tree::Leaf*>> threads;
  for (const Tree::Leaf& l : catalog_.leaves) {
    const std::string where = Format("catalog node %u record %u", l.node, l.index);
    const uint32_t parent = GetU32BE(l.key.p + 2);
    const uint8_t nameLength = l.key.p[6];
    const uint8_t type = l.size >= 2 ? l.data[0] : 0;
    const size_t need = type == kFolder                                  ? 70
                        : type == kFile                                  ? 102
                        : (type == kFolderThread || type == kFileThread) ? 46
                                                                         : 0;
    if (need == 0) {
      Error(where, Format("record type %u, expected 1 to 4", type));
      continue;
    }
    if (l.size < need) {
      Error(where, Format("a record of type %u holds %zu bytes, expected %zu", type, l.size, need));
      continue;
    }
    if (type == kFolderThread || type == kFileThread) {
      if (nameLength != 0) Error(where, "a thread's key carries a name");
      threads.push_back({parent, &l});
      continue;
    }
    if (nameLength == 0 && Report("name length"))
      Error(where, "an empty name; names have 1 to 31 bytes");
    if (type == kFolder) {
      const uint32_t id = GetU32BE(l.data + 6);
      maxId = std::max(maxId, id);
      if (folders_.count(id) || files_.count(id)) {
        Error(where, Format("folder ID %u is used twice", id));
        continue;
      }
      folders_[id] = {parent, l.key, where, GetU16BE(l.data + 4), 0, 0, false};
      order_.push_back({id, &l});
    } else {
      const uint32_t id = GetU32BE(l.data + 20);
      maxId = std::max(maxId, id);
      if (folders_.count(id) || files_.count(id)) {
        Error(where, Format("file ID %u is used twice", id));
        continue;
      }
      files_[id] = {parent, l.key, where, false};
      order_.push_back({id, &l});
    }
  }
  // Threads: each folder has exactly one, naming it; a file thread names its file.
  for (const auto& [id, l] : threads) {
    const std::string where = Format("catalog node %u record %u", l->node, l->index);
    maxId = std::max(maxId, id);
    const uint32_t parent = GetU32BE(l->data + 10);
    const uint8_t* name = l->data + 14;
    const uint8_t nameLength = std::min<uint8_t>(name[0], 31);
    const bool folderThread = l->data[0] == kFolderThread;
    Key target{};
    uint32_t targetParent = 0;
    if (folderThread) {
      auto it = folders_.find(id);
      if (it == folders_.end()) {
        Error(where, Format("a folder thread for ID %u, which is no folder", id));
        continue;
      }
      ++it->second.threads;
      target = it->second.key;
      targetParent = it->second.parent;
    } else {
      auto it = files_.find(id);
      if (it == files_.end()) {
        Error(where, Format("a file thread for ID %u, which is no file", id));
        continue;
      }
      it->second.hasThread = true;
      target = it->second.key;
      targetParent = it->second.parent;
    }
    if (parent != targetParent ||
        CompareMacNames(name + 1, nameLength, target.p + 7, target.p[6]) != 0 ||
        name[0] != target.p[6])
      Error(where, Format("the thread of %u names parent %u \"%s\", the record is in %u as \"%s\"",
                          id, parent, Name(name + 1, nameLength).c_str(), targetParent,
                          Name(target.p + 7, target.p[6]).c_str()));
  }
  // Parents, valences, the root.
  auto root = folders_.find(kRootId);
  if (root == folders_.end()) {
    Error("catalog", "there is no root folder (ID 2)");
  } else {
    if (root->second.parent != kRootParentId)
      Error(root->second.where,
            Format("the root folder's parent is %u, expected 1", root->second.parent));
    const std::string& vn = result_.summary.volumeName;
    const Key k = root->second.key;
    if (k.p[6] != vn.size() || std::memcmp(k.p + 7, vn.data(), vn.size()) != 0)
      Warn(root->second.where,
           Format("the root folder is named \"%s\", the volume \"%s\"",
                  Name(k.p + 7, k.p[6]).c_str(),
                  Name(reinterpret_cast<const uint8_t*>(vn.data()), vn.size()).c_str()));
  }
  uint32_t rootFiles = 0, rootFolders = 0;
  for (const auto& [id, l] : order_) {
    const uint32_t parent = GetU32BE(l->key.p + 2);
    if (id == kRootId) continue;
    auto it = folders_.find(parent);
    if (it == folders_.end()) {
      if (Report("no parent"))
        Error(Format("catalog node %u record %u", l->node, l->index),
              Format("parent folder %u does not exist", parent));
      continue;
    }
    ++it->second.children;
    if (parent == kRootId) (l->data[0] == kFolder ? rootFolders : rootFiles) += 1;
  }
  for (auto& [id, f] : folders_) {
    if (f.threads == 0 && Report("no thread"))
      Error(f.where, Format("folder %u has no thread", id));
    if (f.threads > 1) Error(f.where, Format("folder %u has %d threads", id, f.threads));
    if (f.children != f.valence && Report("valence"))
      Error(f.where,
            Format("folder %u has valence %u, but holds %u entries", id, f.valence, f.children));
  }
  // Folders that no path from the root reaches (a loop of parents).
  if (root != folders_.end()) {
    root->second.reachable = true;
    bool grew = true;
    while (grew) {
      grew = false;
      for (auto& [id, f] : folders_) {
        if (f.reachable) continue;
        auto p = folders_.find(f.parent);
        if (p != folders_.end() && p->second.reachable) grew = f.reachable = true;
      }
    }
    for (auto& [id, f] : folders_)
      if (!f.reachable && folders_.count(f.parent) && Report("loop"))
        Error(f.where,
              Format("folder %u is not reached from the root (its parents form a loop)", id));
  }
  // Forks and their blocks.
  for (const auto& [id, l] : order_) {
    if (l->data[0] != kFile) continue;
    const uint8_t* d = l->data;
    const uint32_t logical = GetU32BE(d + 26), physical = GetU32BE(d + 30);
    const uint32_t rLogical = GetU32BE(d + 36), rPhysical = GetU32BE(d + 40);
    const std::string where = Format("file %u (catalog node %u record %u)", id, l->node, l->index);
    if (logical > physical)
      Error(where,
            Format("data fork: logical length %u exceeds physical length %u", logical, physical));
    if (rLogical > rPhysical)
      Error(where, Format("resource fork: logical length %u exceeds physical length %u", rLogical,
                          rPhysical));
    Claim(id, 0x00, ForkExtents(id, 0x00, d + 74, physical, where + ", data fork"));
    Claim(id, 0xFF, ForkExtents(id, 0xFF, d + 86, rPhysical, where + ", resource fork"));
  }
  for (const auto& [key, records] : overflow_)
    if (!overflowUsed_.count(key) && key.first != kBadBlocksFileId)
      Error("extents file", Format("overflow extents of file %u, which does not exist", key.first));
  if (overflow_.count({kBadBlocksFileId, 0}))
    for (const auto& [forkBlock, rec] : overflow_.at({kBadBlocksFileId, 0})) {
      std::vector<Extent> bad;
      for (int i = 0; i < 3; ++i)
        if (GetU16BE(rec + 4 * i + 2) != 0 &&
            ExtentInside(GetU16BE(rec + 4 * i), GetU16BE(rec + 4 * i + 2)))
          bad.push_back({GetU16BE(rec + 4 * i), GetU16BE(rec + 4 * i + 2)});
      Claim(kBadBlocksFileId, 0, bad);
    }
  // The MDB's counts against what the catalog holds.
  uint32_t files = static_cast<uint32_t>(files_.size());
  uint32_t folders = static_cast<uint32_t>(folders_.size()) - (root != folders_.end() ? 1 : 0);
  result_.summary.files = files;
  result_.summary.folders = folders;
  const uint8_t* m = mdb_.bytes.data();
  auto expect = [&](const char* field, uint32_t stored, uint32_t actual, const char* what) {
    if (stored != actual)
      Error(kMdbWhere,
            Format("%s is %u, but the catalog holds %u %s", field, stored, actual, what));
  };
  expect("drNmFls", GetU16BE(m + mdb::drNmFls), rootFiles, "files in the root folder");
  expect("drNmRtDirs", GetU16BE(m + mdb::drNmRtDirs), rootFolders, "folders in the root folder");
  expect("drFilCnt", GetU32BE(m + mdb::drFilCnt), files, "files");
  expect("drDirCnt", GetU32BE(m + mdb::drDirCnt), folders, "folders besides the root");
  const uint32_t next = GetU32BE(m + mdb::drNxtCNID);
  if (next <= maxId)
    Error(kMdbWhere,
          Format("drNxtCNID is %u, expected above %u, the highest ID in use", next, maxId));
}

void Checker::CheckBitmap() {
  const uint32_t bitmapStart = GetU16BE(mdb_.bytes.data() + mdb::drVBMSt);
  const size_t bytes = (size_t{blocks_} + 7) / 8;
  std::vector<uint8_t> bitmap((bytes + 511) / 512 * 512);
  if (!src_.Read(uint64_t{bitmapStart} * 512, bitmap.data(), bitmap.size())) {
    Error(Format("bitmap (sector %u)", bitmapStart), "cannot be read");
    return;
  }
  result_.summary.metadataBytes += bitmap.size();
  uint32_t marked = 0;
  // Runs of blocks, each reported once: marked but unclaimed, and claimed but unmarked.
  auto runs = [&](bool wantMarked, const char* kind, const char* what) {
    uint32_t b = 0, total = 0;
    while (b < blocks_) {
      auto bad = [&](uint32_t x) {
        const bool set = (bitmap[x / 8] >> (7 - x % 8)) & 1;
        return wantMarked ? (set && owner_[x] == 0) : (!set && owner_[x] != 0);
      };
      if (!bad(b)) {
        ++b;
        continue;
      }
      uint32_t e = b;
      while (e + 1 < blocks_ && bad(e + 1)) ++e;
      total += e - b + 1;
      if (Report(kind))
        Error(e == b ? Format("block %u", b) : Format("blocks %u-%u", b, e),
              wantMarked ? Format("%s", what)
                         : Format("%s (file %u, %s fork)", what, owner_[b] - 1,
                                  ownerFork_[b] == 0xFF ? "resource" : "data"));
      b = e + 1;
    }
    return total;
  };
  for (uint32_t b = 0; b < blocks_; ++b) marked += (bitmap[b / 8] >> (7 - b % 8)) & 1;
  runs(true, "marked unclaimed", "marked in the bitmap but claimed by no file");
  runs(false, "claimed unmarked", "claimed but not marked in the bitmap");
  uint32_t stray = 0;
  for (size_t b = blocks_; b < bytes * 8; ++b) stray += (bitmap[b / 8] >> (7 - b % 8)) & 1;
  if (stray) Warn("bitmap", Format("%u bit(s) set past the volume's %u blocks", stray, blocks_));
  result_.summary.usedBlocks = marked;
  result_.summary.freeBlocks = blocks_ - marked;
  const uint16_t freeBlocks = GetU16BE(mdb_.bytes.data() + mdb::drFreeBks);
  if (freeBlocks != blocks_ - marked)
    Error(kMdbWhere, Format("drFreeBks is %u, but the bitmap leaves %u blocks free", freeBlocks,
                            blocks_ - marked));
}

void Checker::ListTree() {
  std::unordered_map<uint32_t, std::vector<std::pair<uint32_t, const Tree::Leaf*>>> children;
  const Tree::Leaf* rootLeaf = nullptr;
  for (const auto& entry : order_) {
    if (entry.first == kRootId && entry.second->data[0] == kFolder)
      rootLeaf = entry.second;
    else
      children[GetU32BE(entry.second->key.p + 2)].push_back(entry);
  }
  if (rootLeaf == nullptr) return;
  std::set<uint32_t> seen;
  struct Frame {
    uint32_t id;
    const Tree::Leaf* leaf;
    unsigned depth;
  };
  std::vector<Frame> stack{{kRootId, rootLeaf, 0}};
  while (!stack.empty()) {
    const Frame f = stack.back();
    stack.pop_back();
    const uint8_t* d = f.leaf->data;
    const std::string name = Name(f.leaf->key.p + 7, f.leaf->key.p[6]);
    const std::string indent(2 * f.depth, ' ');
    if (d[0] == kFolder) {
      result_.tree.push_back(Format("%s%s/  (folder %u, %u entries)", indent.c_str(), name.c_str(),
                                    f.id, GetU16BE(d + 4)));
      if (!seen.insert(f.id).second) continue;
      auto it = children.find(f.id);
      if (it == children.end()) continue;
      for (auto c = it->second.rbegin(); c != it->second.rend(); ++c)
        stack.push_back({c->first, c->second, f.depth + 1});
    } else {
      result_.tree.push_back(Format("%s%s  (file %u, data %u, resource %u bytes)", indent.c_str(),
                                    name.c_str(), f.id, GetU32BE(d + 26), GetU32BE(d + 36)));
    }
  }
}

void Checker::ReportOverflow() {
  for (const auto& [kind, entry] : limits_)
    if (entry.first > kMaxReported)
      Add(entry.second, "checker",
          Format("%zu more finding(s) of this kind: %s", entry.first - kMaxReported, kind.c_str()));
}

CheckResult Checker::Run() {
  if (ReadMdb()) {
    result_.summary.metadataBytes = 1024;  // both MDBs
    CheckAlternateMdb();
    owner_.assign(blocks_, 0);
    ownerFork_.assign(blocks_, 0);
    const uint8_t* m = mdb_.bytes.data();
    const std::vector<Extent> xt = ForkExtents(kExtentsFileId, 0, m + mdb::drXTExtRec,
                                               GetU32BE(m + mdb::drXTFlSize), "MDB: extents file");
    if (LoadTree(extents_, xt, GetU32BE(m + mdb::drXTFlSize))) {
      CheckHeader(extents_);
      Walk(extents_);
      GatherOverflow();
    }
    Claim(kExtentsFileId, 0, xt);
    const std::vector<Extent> ct = ForkExtents(kCatalogFileId, 0, m + mdb::drCTExtRec,
                                               GetU32BE(m + mdb::drCTFlSize), "MDB: catalog file");
    Claim(kCatalogFileId, 0, ct);
    if (LoadTree(catalog_, ct, GetU32BE(m + mdb::drCTFlSize))) {
      CheckHeader(catalog_);
      Walk(catalog_);
      CheckCatalog();
    }
    CheckBitmap();
    if (options_.listTree) ListTree();
    ReportOverflow();
  }
  result_.summary.bytesRead = src_.bytesRead;
  result_.summary.reads = src_.reads;
  return std::move(result_);
}

}  // namespace

size_t CheckResult::Count(Severity s) const {
  return static_cast<size_t>(std::count_if(findings.begin(), findings.end(),
                                           [s](const Finding& f) { return f.severity == s; }));
}

int CheckResult::ExitStatus() const {
  if (kind != VolumeKind::kHfs) return 8;
  if (Count(Severity::kError) != 0) return 4;
  return Count(Severity::kWarning) != 0 ? 1 : 0;
}

const char* VolumeKindName(VolumeKind kind) {
  switch (kind) {
    case VolumeKind::kHfs:
      return "an HFS volume";
    case VolumeKind::kHfsPlus:
      return "an HFS Plus volume";
    case VolumeKind::kHfsWrapper:
      return "an HFS Plus volume inside an HFS wrapper";
    case VolumeKind::kNotHfs:
      return "not an HFS volume";
    case VolumeKind::kUnreadable:
      return "unreadable";
  }
  return "unknown";
}

CheckResult CheckVolume(ByteSource& source, const CheckOptions& options) {
  return Checker(source, options).Run();
}

bool ReadApplePartitionMap(ByteSource& source, std::vector<Partition>& partitions) {
  uint8_t block[512];
  if (!source.Read(0, block, sizeof block) || GetU16BE(block) != 0x4552) return false;  // "ER"
  uint32_t unit = GetU16BE(block + 2);
  if (unit != 512 && unit != 1024 && unit != 2048 && unit != 4096) unit = 512;
  // Map entries are 512 bytes; most disks place them every 512 bytes, some at the block size.
  uint32_t stride = 512;
  if (!source.Read(512, block, sizeof block) || GetU16BE(block) != 0x504D) {  // "PM"
    if (unit == 512 || !source.Read(unit, block, sizeof block) || GetU16BE(block) != 0x504D)
      return false;
    stride = unit;
  }
  const uint32_t entries = std::min<uint32_t>(GetU32BE(block + 4), 256);
  for (uint32_t i = 1; i <= entries; ++i) {
    if (!source.Read(uint64_t{i} * stride, block, sizeof block) || GetU16BE(block) != 0x504D) break;
    Partition p;
    p.entry = i;
    p.name.assign(reinterpret_cast<const char*>(block + 16),
                  strnlen(reinterpret_cast<const char*>(block + 16), 32));
    p.type.assign(reinterpret_cast<const char*>(block + 48),
                  strnlen(reinterpret_cast<const char*>(block + 48), 32));
    p.offset = uint64_t{GetU32BE(block + 8)} * unit;
    p.size = uint64_t{GetU32BE(block + 12)} * unit;
    partitions.push_back(p);
  }
  return true;
}

}  // namespace brind
