#include "hfs/PartitionMap.h"

#include <algorithm>
#include <cstring>

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

}  // namespace brind
