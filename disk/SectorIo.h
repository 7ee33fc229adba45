// What the HFS volume builder needs of a disk: one 512-byte sector at a time.
#pragma once

#include <cstdint>

#include "disk/DiskStatus.h"

namespace brind {

class SectorIo {
 public:
  virtual ~SectorIo() = default;
  virtual DiskStatus ReadSector(uint8_t* buffer, uint32_t sector, uint8_t drive) = 0;
  virtual DiskStatus WriteSector(const uint8_t* buffer, uint32_t sector, uint8_t drive) = 0;
  // Makes count sectors from first read as zeros: by default one zero sector written after
  // another, stopping at the first failure; a disk that can clear a range at once does so.
  virtual DiskStatus ZeroSectors(uint32_t first, uint32_t count, uint8_t drive) {
    const uint8_t zero[kSectorSize] = {};
    for (uint32_t k = 0; k < count; ++k) {
      const DiskStatus s = WriteSector(zero, first + k, drive);
      if (s != kDiskOk) return s;
    }
    return kDiskOk;
  }
  // Writes count sectors from buffer, the first at sector first: by default one sector after
  // another, stopping at the first failure; a disk that can take a run at once does so.
  virtual DiskStatus WriteSectors(const uint8_t* buffer, uint32_t first, uint32_t count,
                                  uint8_t drive) {
    for (uint32_t k = 0; k < count; ++k) {
      const DiskStatus s = WriteSector(buffer + size_t{k} * kSectorSize, first + k, drive);
      if (s != kDiskOk) return s;
    }
    return kDiskOk;
  }
};

}  // namespace brind
