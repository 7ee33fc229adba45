// A volume filled with a tree of folders and files: the catalog built in key order (leaves,
// index levels, map nodes as needed), every fork in one contiguous run of blocks right after the
// catalog, the bitmap, counts and drNxtCNID to match. It completes an empty volume that the
// format stages have written up to the catalog's header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "disk/SectorIo.h"
#include "hfs/HfsFormat.h"
#include "hfs/Mdb.h"

namespace brind {

inline constexpr uint32_t kNoParent = 0xFFFFFFFF;  // an entry of the root folder

struct TreeEntry {
  uint32_t parent = kNoParent;  // index of the folder entry it is in, or kNoParent
  std::string name;             // 1 to 31 Macintosh characters, no ':'
  bool folder = false;
  uint32_t created = 0, modified = 0;  // HFS dates
  // FInfo and FXInfo of a file, DInfo and DXInfo of a folder, as stored on the disk.
  std::array<uint8_t, 32> finder{};
  uint64_t dataLength = 0, resourceLength = 0;  // files
};

// The entries of a tree, each folder before what it holds. Entry i gets the ID 16 + i.
using VolumeTree = std::vector<TreeEntry>;

// Where each part of a filled volume goes.
struct TreePlan {
  uint32_t catalogNodes = 0;  // of the catalog file
  uint32_t catalogBlocks = 0;
  uint32_t usedBlocks = 0;                     // blocks 0 .. usedBlocks - 1 are in use
  uint64_t neededBlocks = 0;                   // may exceed the volume's blocks
  std::vector<uint32_t> dataStart, rsrcStart;  // first block of each entry's forks
  bool fits = false;
};

// Lays out tree on a volume of totalSectors named volumeName (Macintosh characters, terminated).
// Empty with fits false when the tree needs more blocks than the volume has; error then says
// what else is wrong (a name the catalog cannot hold, two equal names in one folder).
TreePlan PlanTree(const VolumeTree& tree, uint32_t totalSectors, const char* volumeName,
                  std::string& error);

// Plans one tree on volumes of several sizes, its catalog sorted once.
class TreePlanner {
 public:
  TreePlanner(const VolumeTree& tree, const char* volumeName);
  ~TreePlanner();
  // False, with the reason, when no volume can hold the tree's names.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  TreePlan For(uint32_t totalSectors) const;

 private:
  struct Catalog;
  const VolumeTree& tree_;
  std::unique_ptr<Catalog> catalog_;
  std::string error_;
};

// Supplies the bytes of the forks while the volume is written.
class ForkReader {
 public:
  virtual ~ForkReader() = default;
  // Fills buffer with length bytes of entry's data or resource fork from offset. False, with
  // the reason in error, stops the fill.
  virtual bool Read(size_t entry, bool resource, uint64_t offset, uint8_t* buffer, size_t length,
                    std::string& error) = 0;
};

// Fills the volume whose format has run up to its catalog header: the root directory first, so
// that a fill that stops half-way leaves an empty volume; then the forks, the catalog nodes, the
// bitmap and the MDB (the caller copies it to the alternate MDB). 0 on success; otherwise 1 or
// the status of the failed transfer, with the reason in error.
uint16_t WriteVolumeTree(SectorIo& io, uint8_t drive, uint32_t totalSectors, const char* volumeName,
                         const VolumeTree& tree, ForkReader& reader, std::string& error);

}  // namespace brind
