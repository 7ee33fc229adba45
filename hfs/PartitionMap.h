// The Apple partition map at the start of a disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hfs/ByteSource.h"

namespace brind {

struct Partition {
  uint32_t entry = 0;  // 1-based map entry
  std::string name, type;
  uint64_t offset = 0, size = 0;
};

// False when the source has no partition map; entries that are not partition map entries end
// the list.
bool ReadApplePartitionMap(ByteSource& source, std::vector<Partition>& partitions);

// What is wrong with where each partition lies on a disk of diskSize bytes, per partition: an
// extent that runs past the end of the disk, one that overlaps another partition's.
std::vector<std::vector<std::string>> PartitionProblems(const std::vector<Partition>& partitions,
                                                        uint64_t diskSize);

}  // namespace brind
