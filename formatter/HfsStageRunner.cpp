#include "formatter/FormatParts.h"
#include "hfs/FormatStages.h"

namespace brind {

uint16_t HfsStageRunner::RunStage(uint32_t index, SectorIo& io, uint8_t drive,
                                  const char* volumeLabel) {
  if (index >= kStageCount) return 1;
  const StageArgs args{drive, totalSectors_, volumeLabel, date_};
  return kFormatStages[index].run(io, args);
}

const char* HfsStageRunner::FailureMessage(uint32_t index) {
  return index < kStageCount ? kFormatStages[index].failureMessage : "";
}

}  // namespace brind
