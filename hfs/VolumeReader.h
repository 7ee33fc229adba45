// A reader of a classic HFS volume, for the checker and the extractor alike. It trusts nothing
// it reads: every offset and length is bounded by the volume and the target, and what is wrong
// is reported to a Findings sink rather than acted on.
//
//   VolumeReader reader(source, findings);
//   if (!reader.Open()) ...                  // the MDB: reader.Mdb().kind says what it was
//   reader.LoadExtentsTree();                // the extents overflow file, walked and indexed
//   reader.LoadCatalog();                    // the catalog, walked and decoded
//   for (const CatalogEntry& e : reader.GetCatalog().entries) ...   // folders and files
//   reader.ReadFork(file, kDataFork, offset, buffer, n);            // a fork's bytes
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hfs/BTree.h"
#include "hfs/ByteSource.h"
#include "hfs/Catalog.h"
#include "hfs/Findings.h"
#include "hfs/MasterDirectory.h"

namespace brind {

class VolumeReader {
 public:
  VolumeReader(ByteSource& source, Findings& findings) : source_(source), findings_(findings) {}

  // Reads the MDB. False when the source holds no HFS volume whose geometry can be used.
  bool Open();
  const MasterDirectory& Mdb() const { return mdb_; }

  // The extents of the two B-tree files, as the MDB records them (and, for the catalog, the
  // extents file's overflow records): each inside the volume.
  std::vector<Extent> ExtentsFileExtents();
  std::vector<Extent> CatalogFileExtents();

  // Loads and walks the extents overflow file, then indexes its records by file and fork.
  // False when the file cannot be loaded (forks then have only their first extents).
  bool LoadExtentsTree();
  // Loads and walks the catalog, then decodes its records. Call after LoadExtentsTree.
  bool LoadCatalog();
  const BTreeFile& ExtentsTree() const { return extents_; }
  const BTreeFile& CatalogTree() const { return catalog_; }
  bool ExtentsLoaded() const { return extentsLoaded_; }
  bool CatalogLoaded() const { return catalogLoaded_; }
  const Catalog& GetCatalog() const { return catalogRecords_; }

  // A fork's extents in fork order: its first extent record, then its overflow records, each
  // inside the volume; what does not add up (a gap between records, extents that cover more or
  // less than the physical length) is reported, with `where` naming the fork.
  std::vector<Extent> ForkExtents(uint32_t fileId, uint8_t forkType, const ForkInfo& fork,
                                  const std::string& where);
  // Reads n bytes at offset of a file's fork. False when they lie past its logical length,
  // outside its extents, or cannot be read; nothing is reported.
  bool ReadFork(const CatalogEntry& file, uint8_t forkType, uint64_t offset, uint8_t* out,
                size_t n);

  // Overflow records of (file, fork) that no ForkExtents call asked for, in key order.
  std::vector<std::pair<uint32_t, uint8_t>> UnusedOverflow() const;
  // The extents of the bad-block file's records.
  std::vector<Extent> BadBlocks() const;

 private:
  struct OverflowRecord {
    uint16_t forkBlock;  // the fork's block number the record starts at
    std::array<Extent, kExtentsPerRecord> extents;
  };
  std::vector<Extent> Resolve(uint32_t fileId, uint8_t forkType, const ForkInfo& fork,
                              const std::string& where, Findings& findings, bool markUsed);

  ByteSource& source_;
  Findings& findings_;
  MasterDirectory mdb_;
  BTreeFile extents_{"extents", cnid::kExtentsFile};
  BTreeFile catalog_{"catalog", cnid::kCatalogFile};
  bool extentsLoaded_ = false, catalogLoaded_ = false;
  std::map<std::pair<uint32_t, uint8_t>, std::vector<OverflowRecord>> overflow_;
  std::set<std::pair<uint32_t, uint8_t>> overflowUsed_;
  Catalog catalogRecords_;
};

}  // namespace brind
