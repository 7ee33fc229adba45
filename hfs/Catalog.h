// The catalog's leaf records decoded into plain structs: folders and files (with their forks'
// lengths and first extents, Finder information and dates) and the threads that name them.
// Decoding reports records it cannot use (unknown kind, too short, an ID used twice) and leaves
// them out; what the records say of each other is the checker's to judge.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "hfs/BTree.h"
#include "hfs/Findings.h"
#include "hfs/HfsFormat.h"
#include "hfs/MasterDirectory.h"

namespace brind {

struct ForkInfo {
  uint32_t logicalLength = 0, physicalLength = 0;
  std::array<Extent, kExtentsPerRecord> firstExtents{};  // the rest are in the extents file
};

struct CatalogEntry {
  bool folder = false;
  uint32_t id = 0, parent = 0;
  std::string name;  // Macintosh characters, as stored
  uint8_t flags = 0;
  uint32_t created = 0, modified = 0, backedUp = 0;  // seconds since 1904, local time
  // FInfo and FXInfo of a file, DInfo and DXInfo of a folder, as stored.
  std::array<uint8_t, kFinderInfoSize> finderInfo{}, extendedFinderInfo{};
  uint16_t valence = 0;  // a folder's entries as its record says
  ForkInfo data, resource;
  uint32_t node = 0;  // where the record is: catalog node and record number
  uint16_t record = 0;
};

struct CatalogThread {
  bool folder = false;
  uint32_t id = 0;            // the key's parent field: the folder or file it names
  uint32_t parent = 0;        // thdParID
  std::string name;           // thdCName, at most 31 bytes
  uint8_t keyNameLength = 0;  // a thread's key carries no name
  uint32_t node = 0;
  uint16_t record = 0;
};

struct Catalog {
  std::vector<CatalogEntry> entries;          // folders and files, in key order (parent, then name)
  std::vector<CatalogThread> threads;         // in key order
  std::unordered_map<uint32_t, size_t> byId;  // index into entries

  const CatalogEntry* Find(uint32_t id) const {
    auto it = byId.find(id);
    return it == byId.end() ? nullptr : &entries[it->second];
  }
};

std::string RecordWhere(uint32_t node, uint16_t record);  // "catalog node N record R"

// Decodes every leaf record of a walked catalog tree.
void DecodeCatalog(const BTreeFile& tree, Findings& findings, Catalog& catalog);

}  // namespace brind
