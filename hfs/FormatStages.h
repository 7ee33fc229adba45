// The seven file-system stages of a format, steps 160 to 166, in the order they must run, with
// the message a failed stage is reported with. The format sequence of the Windows program and
// the Linux tool both run the volume from this one table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "disk/SectorIo.h"
#include "hfs/Mdb.h"

namespace brind {

// What every stage may need: the drive, the size of the volume, its name (the format state's
// 28-byte label, in Macintosh characters, as it is when the stage runs) and its date.
struct StageArgs {
  uint8_t drive;
  uint32_t totalSectors;
  const char* volumeLabel;
  uint32_t date = FormatTimestamp();
};

struct FormatStage {
  uint32_t step;
  const char* operation;       // the operation's name, for progress lines
  const char* failureMessage;  // shown when the stage answers nonzero
  uint16_t (*run)(SectorIo& io, const StageArgs& args);
};

inline constexpr uint32_t kFirstStageStep = 160;
inline constexpr size_t kStageCount = 7;
inline constexpr uint32_t kLastStageStep = kFirstStageStep + kStageCount - 1;

extern const FormatStage kFormatStages[kStageCount];

// The stage of a step number, or nullptr outside 160..166.
const FormatStage* FindFormatStage(uint32_t step);

}  // namespace brind
