// One of the volume's two B-tree files, loaded whole (each node read once), and the walk that
// gathers its leaf records in key order. The walk checks what it must trust to go on: the
// header record, every node's descriptor, record offsets, keys, sibling links and heights.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hfs/ByteSource.h"
#include "hfs/Findings.h"
#include "hfs/HfsFormat.h"
#include "hfs/MasterDirectory.h"

namespace brind {

struct Key {
  const uint8_t* p = nullptr;  // the key's length byte
  size_t length = 0;           // bytes after the length byte
};

struct LeafRecord {
  uint32_t node;
  uint16_t index;  // record number in its node
  Key key;
  const uint8_t* data;  // after the key, on an even offset
  size_t size;
};

// The header record as stored.
struct BTreeHeader {
  uint16_t depth = 0;
  uint32_t root = 0, leafRecords = 0, firstLeaf = 0, lastLeaf = 0, nodes = 0, freeNodes = 0;
  uint16_t nodeSize = 0, maxKeyLength = 0;
};

class BTreeFile {
 public:
  BTreeFile(const char* name, uint32_t fileId) : name_(name), fileId_(fileId) {}

  // Reads the nodes from the file's extents (inside the volume), at most `physical` bytes and
  // never more than the volume holds. An extent that repeats blocks already loaded ends the
  // file there. False, with the reason reported, when no node can be read.
  bool Load(ByteSource& source, const MasterDirectory& mdb, const std::vector<Extent>& extents,
            uint32_t physical, Findings& findings);

  // Reads the header record, then walks the tree from its root.
  void Walk(Findings& findings);

  const char* Name() const { return name_; }
  uint32_t FileId() const { return fileId_; }
  bool IsCatalog() const { return fileId_ == cnid::kCatalogFile; }
  uint32_t Nodes() const { return nodes_; }
  uint64_t Bytes() const { return bytes_.size(); }
  const uint8_t* Node(uint32_t n) const { return bytes_.data() + size_t{n} * kNodeSize; }
  const BTreeHeader& Header() const { return header_; }
  // Nodes the walk reached: the header, its map nodes, every index and leaf node.
  bool Reached(uint32_t n) const { return reached_[n] != 0; }
  // Map nodes that continue the header node's map, in chain order.
  const std::vector<uint32_t>& MapNodes() const { return mapNodes_; }
  const std::vector<LeafRecord>& Leaves() const { return leaves_; }  // in key order
  uint32_t LastLeaf() const { return lastNode_[1]; }

  // Keys as text for findings, and their order (below, at or above zero).
  std::string KeyText(Key k, const Findings& findings) const;
  int CompareKeys(Key a, Key b) const;

 private:
  void ReadHeader(Findings& findings);
  void FollowMapNodes(Findings& findings);
  void VisitNode(uint32_t n, unsigned height, Key parentKey, bool hasParentKey, Findings& findings);
  bool ParseRecord(uint32_t n, uint16_t i, const uint8_t* rec, size_t size, Key& key,
                   const uint8_t*& data, size_t& dataSize, Findings& findings) const;
  std::string Where(uint32_t n) const { return Format("%s node %u", name_, n); }

  const char* name_;
  uint32_t fileId_;
  std::vector<uint8_t> bytes_;
  uint32_t nodes_ = 0;
  BTreeHeader header_;
  std::vector<uint8_t> reached_;
  std::vector<uint32_t> mapNodes_;
  std::vector<LeafRecord> leaves_;
  // Walk state per level: the last node and the last key seen.
  uint32_t lastNode_[kMaxTreeDepth + 1] = {};
  Key lastKey_[kMaxTreeDepth + 1] = {};
  bool hasLastKey_[kMaxTreeDepth + 1] = {};
};

}  // namespace brind
