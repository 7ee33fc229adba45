// A read-only check of a classic HFS volume: the master directory blocks, both B-trees node by
// node, what the catalog says about folders, files and threads, and the allocation of every
// fork against the bitmap. It reads each metadata structure once and changes nothing. The
// reading itself is hfs/VolumeReader.h's; this grades what it finds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hfs/ByteSource.h"
#include "hfs/Findings.h"
#include "hfs/MasterDirectory.h"
#include "hfs/PartitionMap.h"

namespace brind {

struct CheckSummary {
  std::string volumeName;           // Macintosh characters
  uint32_t files = 0, folders = 0;  // folders without the root
  uint32_t blockSize = 0, totalBlocks = 0, usedBlocks = 0, freeBlocks = 0;
  uint64_t volumeBytes = 0;
  bool hybridIso = false;  // the HFS side of a hybrid ISO 9660 disc
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

}  // namespace brind
