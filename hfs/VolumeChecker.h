// A read-only check of a classic HFS volume: the master directory blocks, the allocation of
// every fork against the bitmap, both B-trees node by node, and what the catalog says about
// folders, files and threads. It reads each metadata structure once and changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hfs/ByteSource.h"

namespace brind {

enum class Severity { kWarning, kError };

struct Finding {
  Severity severity;
  std::string where;  // "MDB (sector 2)", "catalog node 7 record 3", "blocks 120-131", ...
  std::string what;   // what is wrong, with what was expected
};

enum class VolumeKind {
  kHfs,
  kHfsPlus,     // an HFS Plus volume: named, not checked
  kHfsWrapper,  // an HFS volume that only wraps an HFS Plus one
  kNotHfs,      // no HFS signature
  kUnreadable,  // the master directory block cannot be read
};

struct CheckSummary {
  std::string volumeName;           // Macintosh characters
  uint32_t files = 0, folders = 0;  // folders without the root
  uint32_t blockSize = 0, totalBlocks = 0, usedBlocks = 0, freeBlocks = 0;
  uint64_t volumeBytes = 0;
  uint64_t bytesRead = 0, reads = 0;
  uint64_t metadataBytes = 0;  // MDBs, bitmap and both B-tree files: the least a check must read
};

struct CheckOptions {
  bool listTree = false;
  // Shows a name given in Macintosh characters; by default bytes outside printable ASCII are
  // written as \xNN.
  std::string (*nameText)(std::string_view mac) = nullptr;
};

struct CheckResult {
  VolumeKind kind = VolumeKind::kUnreadable;
  std::vector<Finding> findings;
  CheckSummary summary;
  std::vector<std::string> tree;  // with listTree: one line per folder and file, indented

  size_t Count(Severity s) const;
  // 0 clean, 1 warnings only, 4 errors, 8 not checked (not HFS, HFS Plus, unreadable).
  int ExitStatus() const;
};

CheckResult CheckVolume(ByteSource& source, const CheckOptions& options = {});

const char* VolumeKindName(VolumeKind kind);

// The partitions of an Apple partition map, when the source begins with one.
struct Partition {
  uint32_t entry = 0;  // 1-based map entry
  std::string name, type;
  uint64_t offset = 0, size = 0;
};
// False when the source has no partition map; entries that are not partition map entries end
// the list.
bool ReadApplePartitionMap(ByteSource& source, std::vector<Partition>& partitions);

}  // namespace brind
