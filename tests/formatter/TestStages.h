// The stages and name conversion the format tests run with.
// TEMPORARY stand-ins until the volume builder and the character map are on main.
#pragma once

#include <cstring>

#include "formatter/FormatController.h"

namespace brind::test {

class TestStages : public StageRunner {
 public:
  uint16_t RunStage(uint32_t index, SectorIo& io, uint8_t drive, const char* label) override {
    uint8_t sector[512] = {};
    if (index == 0) {
      if (uint16_t s = io.WriteSector(sector, 0, drive)) return s;
      return io.WriteSector(sector, 1, drive);
    }
    if (index == 1) {
      sector[0] = 0x42;
      sector[1] = 0x44;
      sector[36] = static_cast<uint8_t>(std::strlen(label));
      std::memcpy(sector + 37, label, std::strlen(label));
      return io.WriteSector(sector, 2, drive);
    }
    if (uint16_t s = io.ReadSector(sector, 2, drive)) return s;
    return io.WriteSector(sector, index == 6 ? 2878 : index + 1, drive);
  }
  const char* FailureMessage(uint32_t index) override {
    static const char* const kTexts[] = {
        "Unable to write the Boot Record",    "Unable to write the VIB",
        "Unable to write the Volume Bitmap",  "Unable to write the Extent Record",
        "Unable to write the Catalog Record", "Unable to write the Root directory",
        "Unable to write the Duplicate VIB"};
    return kTexts[index];
  }
};

class TestNames : public NameConverter {
 public:
  size_t MacToWindows(char*, size_t length, size_t) override { return length; }
  size_t WindowsToMac(char*, size_t length) override { return length; }
};

}  // namespace brind::test
