#include "hfs/FormatStages.h"

#include "hfs/Mdb.h"
#include "hfs/VolumeSteps.h"

namespace brind {

const FormatStage kFormatStages[kStageCount] = {
    {160, "WriteBootRecord", "Unable to write the Boot Record",
     [](SectorIo& io, const StageArgs& a) -> uint16_t { return WriteBootRecord(io, a.drive); }},
    {161, "WriteVib", "Unable to write the VIB",
     [](SectorIo& io, const StageArgs& a) -> uint16_t {
       return WriteVib(io, a.drive, a.totalSectors, a.volumeLabel, a.date);
     }},
    {162, "WriteVolumeBitmap", "Unable to write the Volume Bitmap",
     [](SectorIo& io, const StageArgs& a) -> uint16_t { return WriteVolumeBitmap(io, a.drive); }},
    {163, "WriteExtentRecord", "Unable to write the Extent Record",
     [](SectorIo& io, const StageArgs& a) -> uint16_t { return WriteExtentRecord(io, a.drive); }},
    {164, "WriteCatalogRecord", "Unable to write the Catalog Record",
     [](SectorIo& io, const StageArgs& a) -> uint16_t { return WriteCatalogRecord(io, a.drive); }},
    {165, "WriteRootDirectory", "Unable to write the Root directory",
     [](SectorIo& io, const StageArgs& a) -> uint16_t {
       return WriteRootDirectory(io, a.drive, a.volumeLabel);
     }},
    {166, "WriteDuplicateVib", "Unable to write the Duplicate VIB",
     [](SectorIo& io, const StageArgs& a) -> uint16_t {
       return WriteDuplicateVib(io, a.drive, a.totalSectors);
     }},
};

const FormatStage* FindFormatStage(uint32_t step) {
  if (step < kFirstStageStep || step > kLastStageStep) return nullptr;
  return &kFormatStages[step - kFirstStageStep];
}

}  // namespace brind
