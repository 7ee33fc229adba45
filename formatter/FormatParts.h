// The real parts behind the controller's two seams: the volume builder's stages and the name
// conversions of the character map.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formatter/FormatController.h"
#include "hfs/Mdb.h"

namespace brind {

struct CharMapStore;

// The file-system stages through the HFS volume builder: the Windows program's 2880-sector
// volume with the fixed date, or a volume of another size and date.
class HfsStageRunner : public StageRunner {
 public:
  HfsStageRunner() = default;
  HfsStageRunner(uint32_t totalSectors, uint32_t date) : totalSectors_(totalSectors), date_(date) {}
  uint16_t RunStage(uint32_t index, SectorIo& io, uint8_t drive, const char* volumeLabel) override;
  const char* FailureMessage(uint32_t index) override;

 private:
  uint32_t totalSectors_ = kTotalSectors;
  uint32_t date_ = FormatTimestamp();
};

// The program's character map, refreshed from CHARMAP.MAC at every conversion (Win32 program).
class ProgramNameConverter : public NameConverter {
 public:
  explicit ProgramNameConverter(CharMapStore& store) : store_(store) {}
  size_t MacToWindows(char* name, size_t length, size_t capacity) override;
  size_t WindowsToMac(char* name, size_t length) override;

 private:
  CharMapStore& store_;
};

// A given map of 128 entries (Macintosh 0x80 + i -> Windows character, 1 = not mapped).
class MapNameConverter : public NameConverter {
 public:
  explicit MapNameConverter(const uint8_t* map128) : map_(map128) {}
  size_t MacToWindows(char* name, size_t length, size_t capacity) override;
  size_t WindowsToMac(char* name, size_t length) override;

 private:
  const uint8_t* map_;
};

}  // namespace brind
