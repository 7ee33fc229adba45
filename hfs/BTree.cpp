#include "hfs/BTree.h"

#include <algorithm>

#include "common/Bytes.h"
#include "hfs/NameOrder.h"

namespace brind {

bool BTreeFile::Load(ByteSource& source, const MasterDirectory& mdb,
                     const std::vector<Extent>& extents, uint32_t physical, Findings& findings) {
  // Each block is loaded once: extents that repeat blocks cannot make the file larger than the
  // volume, whatever its physical length says.
  std::vector<uint8_t> taken(mdb.blocks, 0);
  std::vector<Extent> load;
  uint64_t total = 0;
  for (const Extent& e : extents) {
    const std::string where =
        Format("%s file, blocks %u-%u", name_, e.start, e.start + e.count - 1);
    if (mdb.BlockOffset(e.start) + uint64_t{e.count} * mdb.blockSize > mdb.sourceSize) {
      findings.Error("B-tree file", where, "lie beyond the end of the target");
      return false;
    }
    if (std::any_of(taken.begin() + e.start, taken.begin() + e.start + e.count,
                    [](uint8_t t) { return t != 0; })) {
      findings.Error("B-tree file", where,
                     "repeat blocks the file already holds; the file ends here");
      break;
    }
    std::fill(taken.begin() + e.start, taken.begin() + e.start + e.count, 1);
    load.push_back(e);
    total += uint64_t{e.count} * mdb.blockSize;
  }
  total = std::min<uint64_t>(total, physical);
  total -= total % kNodeSize;
  if (total == 0) {
    findings.Error("B-tree file", name_, "the B-tree file holds no node");
    return false;
  }
  bytes_.assign(static_cast<size_t>(total), 0);
  uint64_t at = 0;
  for (const Extent& e : load) {
    if (at >= total) break;
    const uint64_t n = std::min<uint64_t>(uint64_t{e.count} * mdb.blockSize, total - at);
    if (!source.Read(mdb.BlockOffset(e.start), bytes_.data() + at, static_cast<size_t>(n))) {
      findings.Error("B-tree file",
                     Format("%s file, blocks %u-%u", name_, e.start, e.start + e.count - 1),
                     "cannot be read");
      bytes_.clear();
      return false;
    }
    at += n;
  }
  nodes_ = static_cast<uint32_t>(total / kNodeSize);
  reached_.assign(nodes_, 0);
  return true;
}

std::string BTreeFile::KeyText(Key k, const Findings& findings) const {
  if (!IsCatalog()) {
    if (k.length < kExtentsKeyLength) return "(short key)";
    return Format("(file %u, %s fork, block %u)", GetU32BE(k.p + xkr::xkrFNum),
                  k.p[xkr::xkrFkType] == kResourceFork ? "resource" : "data",
                  GetU16BE(k.p + xkr::xkrFABN));
  }
  if (k.length < kMinCatalogKeyLength) return "(short key)";
  const size_t n = std::min<size_t>(k.p[ckr::ckrCName], k.length - kMinCatalogKeyLength);
  return Format("(parent %u, \"%s\")", GetU32BE(k.p + ckr::ckrParID),
                findings.Name(k.p + ckr::ckrCName + 1, n).c_str());
}

int BTreeFile::CompareKeys(Key a, Key b) const {
  auto cmp32 = [](uint32_t x, uint32_t y) { return x < y ? -1 : x > y ? 1 : 0; };
  if (!IsCatalog()) {
    if (int d = cmp32(GetU32BE(a.p + xkr::xkrFNum), GetU32BE(b.p + xkr::xkrFNum))) return d;
    if (int d = cmp32(a.p[xkr::xkrFkType], b.p[xkr::xkrFkType])) return d;
    return cmp32(GetU16BE(a.p + xkr::xkrFABN), GetU16BE(b.p + xkr::xkrFABN));
  }
  if (int d = cmp32(GetU32BE(a.p + ckr::ckrParID), GetU32BE(b.p + ckr::ckrParID))) return d;
  const size_t an = std::min<size_t>(a.p[ckr::ckrCName], a.length - kMinCatalogKeyLength),
               bn = std::min<size_t>(b.p[ckr::ckrCName], b.length - kMinCatalogKeyLength);
  return CompareMacNames(a.p + ckr::ckrCName + 1, an, b.p + ckr::ckrCName + 1, bn);
}

void BTreeFile::Walk(Findings& findings) {
  ReadHeader(findings);
  FollowMapNodes(findings);
  const std::string where = Format("%s header node 0", name_);
  const BTreeHeader& h = header_;
  if (h.depth == 0) {
    if (h.root != 0 || h.leafRecords != 0 || h.firstLeaf != 0 || h.lastLeaf != 0)
      findings.Error("B-tree header", where,
                     "an empty tree (bthDepth 0) must have no root, leaves or records");
  } else if (h.depth <= kMaxTreeDepth) {
    if (h.root == 0 || h.root >= nodes_) {
      findings.Error("B-tree header", where,
                     Format("bthRoot is %u, outside 1..%u", h.root, nodes_ - 1));
    } else {
      const uint8_t height = Node(h.root)[nd::ndNHeight];
      if (height != h.depth)
        findings.Error("B-tree node", Where(h.root),
                       Format("the root's height is %u, bthDepth %u", height, h.depth));
      VisitNode(h.root, h.depth, {}, false, findings);
      for (unsigned level = 1; level <= h.depth; ++level) {
        const uint32_t last = lastNode_[level];
        if (last != 0 && GetU32BE(Node(last) + nd::ndFLink) != 0)
          findings.Error("B-tree link", Where(last),
                         Format("forward link is %u, expected 0 (last node of level %u)",
                                GetU32BE(Node(last) + nd::ndFLink), level));
      }
      const uint32_t first = leaves_.empty() ? 0 : leaves_.front().node;
      if (h.firstLeaf != first)
        findings.Error("B-tree header", where,
                       Format("bthFNode is %u, the first leaf is node %u", h.firstLeaf, first));
      if (h.lastLeaf != lastNode_[1])
        findings.Error(
            "B-tree header", where,
            Format("bthLNode is %u, the last leaf is node %u", h.lastLeaf, lastNode_[1]));
    }
  }
  if (h.leafRecords != leaves_.size())
    findings.Error(
        "B-tree header", where,
        Format("bthNRecs is %u, the leaves hold %zu records", h.leafRecords, leaves_.size()));
}

void BTreeFile::ReadHeader(Findings& findings) {
  const uint8_t* node = Node(0);
  const std::string where = Format("%s header node 0", name_);
  const auto type = static_cast<int8_t>(node[nd::ndType]);
  if (type != kHeaderNode)
    findings.Error("B-tree header", where, Format("node type is %d, expected 1 (header)", type));
  const uint16_t records = GetU16BE(node + nd::ndNRecs);
  if (records != kHeaderNodeRecords)
    findings.Error("B-tree header", where,
                   Format("holds %u records, expected 3 (header, user data, map)", records));
  // The three records and the free space after them, in order and inside the node.
  uint16_t last = 0;
  for (size_t i = 0; i <= kHeaderNodeRecords; ++i) {
    const uint16_t offset = GetU16BE(node + RecordOffsetAt(i));
    const size_t least = i == 0 ? kNodeDescriptorSize : size_t{last} + 1;
    if (offset < least || offset > RecordOffsetAt(kHeaderNodeRecords)) {
      findings.Error("B-tree header", where,
                     Format("record offset %zu is %u, expected %zu to %zu", i, offset, least,
                            RecordOffsetAt(kHeaderNodeRecords)));
      break;
    }
    last = offset;
  }
  const uint8_t* r = node + kHeaderRecordOffset;
  header_.depth = GetU16BE(r + bth::bthDepth);
  header_.root = GetU32BE(r + bth::bthRoot);
  header_.leafRecords = GetU32BE(r + bth::bthNRecs);
  header_.firstLeaf = GetU32BE(r + bth::bthFNode);
  header_.lastLeaf = GetU32BE(r + bth::bthLNode);
  header_.nodeSize = GetU16BE(r + bth::bthNodeSize);
  header_.maxKeyLength = GetU16BE(r + bth::bthKeyLen);
  header_.nodes = GetU32BE(r + bth::bthNNodes);
  header_.freeNodes = GetU32BE(r + bth::bthFree);
  const uint16_t expectedKey = IsCatalog() ? kCatalogKeyLength : kExtentsKeyLength;
  if (header_.nodeSize != kNodeSize)
    findings.Error("B-tree header", where,
                   Format("bthNodeSize is %u, expected 512", header_.nodeSize));
  if (header_.maxKeyLength != expectedKey)
    findings.Error("B-tree header", where,
                   Format("bthKeyLen is %u, expected %u", header_.maxKeyLength, expectedKey));
  if (header_.nodes != nodes_)
    findings.Error("B-tree header", where,
                   Format("bthNNodes is %u, but the file holds %u nodes", header_.nodes, nodes_));
  if (header_.depth > kMaxTreeDepth)
    findings.Error("B-tree header", where,
                   Format("bthDepth is %u, at most %u is possible", header_.depth, kMaxTreeDepth));
}

void BTreeFile::FollowMapNodes(Findings& findings) {
  reached_[0] = 1;
  // Map nodes continue the header node's map, along the forward links.
  for (uint32_t n = GetU32BE(Node(0) + nd::ndFLink); n != 0; n = GetU32BE(Node(n) + nd::ndFLink)) {
    if (n >= nodes_ || reached_[n]) {
      findings.Error("B-tree map", Format("%s map", name_),
                     Format("the map node chain reaches node %u again or outside the file", n));
      break;
    }
    if (static_cast<int8_t>(Node(n)[nd::ndType]) != kMapNode) {
      findings.Error("B-tree map", Where(n), "is linked as a map node but is not one");
      break;
    }
    const uint16_t records = GetU16BE(Node(n) + nd::ndNRecs);
    if (records != kMapNodeRecords)
      findings.Error("B-tree map", Where(n),
                     Format("a map node holds %u records, expected 1", records));
    reached_[n] = 1;
    mapNodes_.push_back(n);
  }
}

bool BTreeFile::ParseRecord(uint32_t n, uint16_t i, const uint8_t* rec, size_t size, Key& key,
                            const uint8_t*& data, size_t& dataSize, Findings& findings) const {
  const std::string where = Format("%s node %u record %u", name_, n, i);
  key.p = rec;
  key.length = size == 0 ? 0 : rec[0];
  const size_t least = IsCatalog() ? kMinCatalogKeyLength : kExtentsKeyLength;
  if (size == 0 || key.length < least || key.length > header_.maxKeyLength ||
      1 + key.length > size) {
    findings.Error("key length", where,
                   Format("key length %zu does not fit (%zu to %u bytes, record of %zu)",
                          key.length, least, header_.maxKeyLength, size));
    return false;
  }
  if (IsCatalog()) {
    const uint8_t nameLength = rec[ckr::ckrCName];
    if (nameLength > kMaxFileName) {
      findings.Error("name length", where,
                     Format("a name of %u bytes, names have 1 to 31", nameLength));
      return false;
    }
    if (size_t{kMinCatalogKeyLength} + nameLength > key.length) {
      findings.Error(
          "key length", where,
          Format("key length %zu is too short for its name of %u bytes", key.length, nameLength));
      return false;
    }
  }
  const size_t at = RecordDataOffset(key.length);
  if (at > size) {
    findings.Error("key length", where, "the record holds no data after its key");
    return false;
  }
  data = rec + at;
  dataSize = size - at;
  return true;
}

void BTreeFile::VisitNode(uint32_t n, unsigned height, Key parentKey, bool hasParentKey,
                          Findings& findings) {
  const std::string where = Where(n);
  if (n == 0 || n >= nodes_) {
    findings.Error("B-tree node", Format("%s index", name_),
                   Format("points to node %u, outside 1..%u", n, nodes_ - 1));
    return;
  }
  if (reached_[n]) {
    findings.Error("B-tree node", where, "is reached twice in the tree");
    return;
  }
  reached_[n] = 1;
  const uint8_t* node = Node(n);
  const uint32_t bLink = GetU32BE(node + nd::ndBLink);
  const auto type = static_cast<int8_t>(node[nd::ndType]);
  const uint8_t nodeHeight = node[nd::ndNHeight];
  const uint16_t records = GetU16BE(node + nd::ndNRecs);
  const int8_t expectedType = height == 1 ? kLeafNode : kIndexNode;
  if (type != expectedType) {
    findings.Error("B-tree node", where,
                   Format("node type is %d, expected %d (%s)", type, expectedType,
                          height == 1 ? "leaf" : "index"));
    return;
  }
  if (nodeHeight != height)
    findings.Error("B-tree node", where, Format("height is %u, expected %u", nodeHeight, height));
  // Sibling links: each level is one list, in key order.
  const uint32_t prev = lastNode_[height];
  if (bLink != prev)
    findings.Error("B-tree link", where, Format("backward link is %u, expected %u", bLink, prev));
  if (prev != 0 && GetU32BE(Node(prev) + nd::ndFLink) != n)
    findings.Error(
        "B-tree link", Where(prev),
        Format("forward link is %u, expected %u", GetU32BE(Node(prev) + nd::ndFLink), n));
  lastNode_[height] = n;
  // Record offsets: from the end of the node backwards, one more than the records (free space).
  if (records == 0 || 2u * (records + 1) > kNodeSize - kNodeDescriptorSize) {
    findings.Error("B-tree node", where, Format("holds %u records", records));
    return;
  }
  std::vector<uint16_t> offsets(records + 1);
  for (size_t i = 0; i <= records; ++i) offsets[i] = GetU16BE(node + RecordOffsetAt(i));
  const size_t tableStart = RecordOffsetAt(records);
  if (offsets[0] != kNodeDescriptorSize) {
    findings.Error("B-tree node", where, Format("record 0 starts at %u, expected 14", offsets[0]));
    return;
  }
  for (size_t i = 1; i <= records; ++i) {
    if (offsets[i] <= offsets[i - 1] || offsets[i] > tableStart) {
      findings.Error(
          "B-tree node", where,
          Format("record offset %zu is %u, expected above %u and at most %zu (the free space ends "
                 "at the offset table)",
                 i, offsets[i], offsets[i - 1], tableStart));
      return;
    }
  }
  for (uint16_t i = 0; i < records; ++i) {
    Key key;
    const uint8_t* data;
    size_t size;
    if (!ParseRecord(n, i, node + offsets[i], offsets[i + 1] - offsets[i], key, data, size,
                     findings))
      continue;
    const std::string rwhere = Format("%s node %u record %u", name_, n, i);
    if (i == 0 && hasParentKey && CompareKeys(key, parentKey) != 0)
      findings.Error("index key", rwhere,
                     Format("first key %s differs from the index key %s that points here",
                            KeyText(key, findings).c_str(), KeyText(parentKey, findings).c_str()));
    if (hasLastKey_[height]) {
      const int c = CompareKeys(lastKey_[height], key);
      if (c == 0 && height == 1 && IsCatalog()) {
        findings.Error(
            "same name", rwhere,
            Format("folder %u holds two entries with the name \"%s\"",
                   GetU32BE(key.p + ckr::ckrParID),
                   findings.Name(key.p + ckr::ckrCName + 1, key.p[ckr::ckrCName]).c_str()));
      } else if (c >= 0) {
        findings.Error(
            "order", rwhere,
            Format("keys out of order: %s does not sort after %s", KeyText(key, findings).c_str(),
                   KeyText(lastKey_[height], findings).c_str()));
      }
    }
    lastKey_[height] = key;
    hasLastKey_[height] = true;
    if (height == 1) {
      leaves_.push_back({n, i, key, data, size});
    } else {
      if (size < 4) {
        findings.Error("B-tree node", rwhere, "an index record without a node pointer");
        continue;
      }
      VisitNode(GetU32BE(data), height - 1, key, true, findings);
    }
  }
}

}  // namespace brind
