// Results of the disk services: 0 = success, 0xFFFF = the disk device could not be opened,
// anything else = the error code of the failed transfer or IOCTL.
#pragma once

#include <cstdint>

namespace brind {

using DiskStatus = uint16_t;

inline constexpr uint32_t kSectorSize = 512;
inline constexpr uint32_t kTotalSectors = 2880;  // the one supported medium

inline constexpr DiskStatus kDiskOk = 0;
inline constexpr DiskStatus kDiskNotReady = 2;        // read/write: no disk, door open
inline constexpr DiskStatus kDiskWriteProtected = 3;  // write
inline constexpr DiskStatus kDiskAccessDenied =
    5;  // track format: re-test with a read and a write of sector 2
inline constexpr DiskStatus kDiskSectorNotFound = 8;  // read/write: reported like not ready
inline constexpr DiskStatus kDiskInvalidDrive = 15;   // track format
inline constexpr DiskStatus kDiskTrackWriteProtected = 19;
inline constexpr DiskStatus kDiskNoDisk = 20;
inline constexpr DiskStatus kDiskGeneralFailure = 31;
inline constexpr DiskStatus kDiskSharingViolation = 32;
inline constexpr DiskStatus kDiskNotOpen =
    0xFFFF;  // the device could not be opened; the message was shown

// System error codes the services tell apart when the device will not open.
inline constexpr uint32_t kErrorNotSupported = 50;

// The fixed geometry of the supported medium.
struct DriveGeometry {
  uint8_t cylinders;
  uint8_t sectorsPerTrack;
  uint8_t heads;
  uint32_t totalSectors;
  uint16_t bytesPerSector;
  uint8_t driveNumber;
};

void FillDriveGeometry(DriveGeometry& geometry, uint8_t drive);

}  // namespace brind
