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
};

}  // namespace brind
