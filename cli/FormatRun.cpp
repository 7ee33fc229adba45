#include "cli/FormatRun.h"

#include <cstring>

#include "hfs/Mdb.h"

namespace brind::cli {

namespace {

constexpr const char* kNoDisk =
    "There is no disk in this drive or the drive door is open. Insert a disk in the drive and "
    "make sure the drive door is closed, and then start again.";
constexpr const char* kWriteProtected =
    "Brindlewood cannot format this disk because it is write protected. If you are sure you want "
    "to continue, please remove the write-protect tab, reinsert the disk, and then start again.";
constexpr const char* kDiskHasErrors =
    "Brindlewood could not format the disk because the disk has errors. Insert another disk and "
    "then start again.";
constexpr const char* kOtherTrackError =
    "Brindlewood could not format the disk because the disk has error. Insert another disk and "
    "than start again.";
constexpr const char* kInvalidDrive =
    "Brindlewood cannot format this drive, because the drive is invalid.";
constexpr const char* kGeneralFailure = "General failure on disk. The disk cannot be formatted.";
constexpr const char* kLockedByOther =
    "Brindlewood cannot format the disk because the disk is locked by another process or is "
    "damaged. Quit any disk utilities or other programs that are using this drive, and make sure "
    "that no window is displaying the contents of the drive. Then try formatting again";
constexpr const char* kSetParamsFailed = "Brindlewood failed to Set the device parameters.";

bool Cancelled(const volatile std::sig_atomic_t* cancel) { return cancel && *cancel; }

}  // namespace

DiskStatus ProbeSector(DiskServices& disk, uint8_t drive, uint32_t sector, uint8_t* buffer) {
  const DiskStatus read = disk.ReadSector(buffer, sector, drive);
  if (read != kDiskOk) return read;
  return disk.WriteSector(buffer, sector, drive);
}

const char* ProbeFailureMessage(DiskStatus status) {
  switch (status) {
    case kDiskNotReady:
    case kDiskSectorNotFound:
      return kNoDisk;
    case kDiskWriteProtected:
      return kWriteProtected;
    default:
      return nullptr;
  }
}

DiskLook LookAtDisk(DiskServices& disk, uint8_t drive) {
  DiskLook look;
  for (uint32_t sector : {0u, kMdbSector}) {
    const DiskStatus s = ProbeSector(disk, drive, sector, look.sector);
    if (ProbeFailureMessage(s)) {
      look.status = s;
      return look;
    }
    if (s != kDiskOk) {
      // An unreadable sector counts as blank: neither signature can be trusted.
      look.sector[0] = look.sector[1] = look.sector[510] = look.sector[511] = 0;
    }
    if (sector == 0 && look.sector[510] == 0x55 && look.sector[511] == 0xAA) {
      look.kind = DiskKind::kDos;
      return look;
    }
  }
  look.kind =
      (look.sector[0] == 0x42 && look.sector[1] == 0x44) ? DiskKind::kMacintosh : DiskKind::kBlank;
  return look;
}

std::string TrackErrorMessage(DiskServices& disk, uint8_t drive, DiskStatus status) {
  switch (status) {
    case kDiskAccessDenied: {
      // The track format was refused: a read and a write of sector 2 tell why.
      uint8_t buffer[512];
      const DiskStatus probe = ProbeSector(disk, drive, kMdbSector, buffer);
      if (const char* m = ProbeFailureMessage(probe)) return m;
      return kDiskHasErrors;
    }
    case kDiskInvalidDrive:
      return kInvalidDrive;
    case kDiskTrackWriteProtected:
      return kWriteProtected;
    case kDiskNoDisk:
      return kNoDisk;
    case kDiskGeneralFailure:
      return kGeneralFailure;
    case kDiskSharingViolation:
      return kLockedByOther;
    default:
      return kOtherTrackError;
  }
}

SequenceResult RunFormatSequence(DiskServices& disk, uint8_t drive, bool full,
                                 const char* volumeLabel, const uint8_t* oldMdb,
                                 ProgressSink& progress, const volatile std::sig_atomic_t* cancel) {
  SequenceResult result;
  bool fileSystemStarted = false;
  auto stop = [&](SequenceResult r) {
    if (!full && fileSystemStarted && oldMdb) {
      // What was there before, no longer recognisable; the write's result changes nothing.
      uint8_t sector[512];
      std::memcpy(sector, oldMdb, sizeof sector);
      sector[0] = sector[1] = sector[510] = sector[511] = 0;
      disk.WriteSector(sector, kMdbSector, drive);
    }
    return r;
  };

  if (full) {
    progress.StatusLine("Formatting...");
    if (disk.CheckDrive(drive, 0) != 0) return stop({false, false, kSetParamsFailed});
    for (uint32_t track = 0; track < kTracks; ++track) {
      if (Cancelled(cancel)) return stop({false, true, "Format cancelled."});
      const DiskStatus s = disk.FormatTrackNumber(drive, static_cast<uint16_t>(track));
      if (s != kDiskOk) return stop({false, false, TrackErrorMessage(disk, drive, s)});
      progress.TrackDone(track, kTracks);
    }
  }
  for (const FormatStage& stage : kFormatStages) {
    if (Cancelled(cancel)) return stop({false, true, "Format cancelled."});
    if (stage.step == kFirstStageStep) progress.StatusLine("Creating File System...");
    progress.StageStarting(stage);
    const uint16_t s = stage.run(disk, {drive, kTotalSectors, volumeLabel});
    if (stage.step == kFirstStageStep) fileSystemStarted = true;
    if (s != 0) return stop({false, false, stage.failureMessage});
  }
  result.ok = true;
  return result;
}

}  // namespace brind::cli
