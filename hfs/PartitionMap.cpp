#include "hfs/PartitionMap.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/Bytes.h"

namespace brind {

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

std::vector<std::vector<std::string>> PartitionProblems(const std::vector<Partition>& partitions,
                                                        uint64_t diskSize) {
  std::vector<std::vector<std::string>> problems(partitions.size());
  for (size_t i = 0; i < partitions.size(); ++i) {
    const Partition& p = partitions[i];
    if (p.offset > diskSize || p.size > diskSize - p.offset)
      problems[i].push_back("the partition map says it runs to byte " +
                            std::to_string(p.offset + p.size) + ", past the end of the disk at " +
                            std::to_string(diskSize));
    for (size_t j = 0; j < partitions.size(); ++j) {
      const Partition& q = partitions[j];
      if (j == i || p.size == 0 || q.size == 0) continue;
      if (p.offset < q.offset + q.size && q.offset < p.offset + p.size)
        problems[i].push_back("it overlaps partition " + std::to_string(q.entry) + " (bytes " +
                              std::to_string(q.offset) + " to " +
                              std::to_string(q.offset + q.size) + ")");
    }
  }
  return problems;
}

}  // namespace brind
