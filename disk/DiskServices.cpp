#include "disk/DiskServices.h"

#include <cstring>

namespace brind {

namespace {

// When an IOCTL never reaches the device the register block still holds 440Dh, so its low byte
// is what the caller sees as the error code.
constexpr uint16_t kIoctlNotSent = 0x0D;

// Permissions of the lock call: bit 1 makes new file mappings fail, bit 2 locks for formatting.
constexpr uint16_t kLockPermNoMappings = 2;
constexpr uint16_t kLockPermFormat = 4;

// What a drive check answers for a failed call that gave no code of its own.
constexpr uint16_t kCheckFailed = 31;

}  // namespace

void FillDriveGeometry(DriveGeometry& geometry, uint8_t drive) {
  geometry.cylinders = 80;
  geometry.sectorsPerTrack = 18;
  geometry.heads = 2;
  geometry.totalSectors = kTotalSectors;
  geometry.bytesPerSector = kSectorSize;
  geometry.driveNumber = drive;
}

bool DiskServices::EnsureOpen(OpenPolicy policy) {
  if (state_ == HandleState::kOpen) return true;
  if (state_ == HandleState::kFailed && policy != OpenPolicy::kRetryFailed) return false;
  const uint32_t error = device_.Open();
  if (error != 0) {
    state_ = HandleState::kFailed;
    openError_ = error;
    return false;
  }
  state_ = HandleState::kOpen;
  openError_ = 0;
  return true;
}

void DiskServices::CloseDevice() {
  if (state_ == HandleState::kOpen) device_.Close();
  state_ = HandleState::kNotOpen;
}

void DiskServices::ShowOpenFailure() {
  if (openError_ == kErrorNotSupported) {
    prompts_.Show("Device does not support Device IOCTL", "Unable to open BrindFs VxD",
                  kMbOk | kMbIconError, PromptOwner::kFocusWindow);
  } else {
    prompts_.Show("Brindlewood driver for Windows 95 is not installed", "Brindlewood Format",
                  kMbOk | kMbIconError, PromptOwner::kFocusWindow);
  }
}

template <typename Call>
int DiskServices::DosIoctl(Call&& call, uint16_t* code) {
  if (state_ != HandleState::kOpen) {
    // The odd caption of the not-supported case is the program's own and is kept as it is.
    if (openError_ == kErrorNotSupported) {
      prompts_.Show("Device does not support Device IOCTL", "Brindlewood Fromat",
                    kMbOk | kMbIconError, PromptOwner::kFocusWindow);
    } else {
      prompts_.Show("Brindlewood for Windows 95 is not installed", "Brindlewood Format",
                    kMbOk | kMbIconError, PromptOwner::kFocusWindow);
    }
    if (code) *code = kIoctlNotSent;
    return 0;
  }
  const DeviceResult r = call();
  if (code) *code = r.ok ? 0 : r.code;
  return r.ok ? 1 : 0;
}

DiskStatus DiskServices::ReadSector(uint8_t* buffer, uint32_t sector, uint8_t drive) {
  if (!EnsureOpen(OpenPolicy::kOpenIfNotOpen)) {
    ShowOpenFailure();
    return kDiskNotOpen;
  }
  const DeviceResult r = device_.ReadSector(drive, sector, buffer);
  if (r.ok) return kDiskOk;
  // A failure must never read as success or as "not opened".
  return (r.code == kDiskOk || r.code == kDiskNotOpen) ? kDiskGeneralFailure : r.code;
}

DiskStatus DiskServices::WriteSector(const uint8_t* buffer, uint32_t sector, uint8_t drive) {
  if (!EnsureOpen(OpenPolicy::kOpenIfNotOpen)) {
    ShowOpenFailure();
    return kDiskNotOpen;
  }
  const DeviceResult r = device_.WriteSector(drive, sector, buffer);
  if (r.ok) return kDiskOk;
  return (r.code == kDiskOk || r.code == kDiskNotOpen) ? kDiskGeneralFailure : r.code;
}

DiskStatus DiskServices::ZeroSectors(uint32_t first, uint32_t count, uint8_t drive) {
  if (!EnsureOpen(OpenPolicy::kOpenIfNotOpen)) {
    ShowOpenFailure();
    return kDiskNotOpen;
  }
  const DeviceResult r = device_.ZeroSectors(drive, first, count);
  if (r.ok) return kDiskOk;
  return (r.code == kDiskOk || r.code == kDiskNotOpen) ? kDiskGeneralFailure : r.code;
}

DiskStatus DiskServices::WriteSectors(const uint8_t* buffer, uint32_t first, uint32_t count,
                                      uint8_t drive) {
  if (!EnsureOpen(OpenPolicy::kOpenIfNotOpen)) {
    ShowOpenFailure();
    return kDiskNotOpen;
  }
  const DeviceResult r = device_.WriteSectors(drive, first, count, buffer);
  if (r.ok) return kDiskOk;
  return (r.code == kDiskOk || r.code == kDiskNotOpen) ? kDiskGeneralFailure : r.code;
}

DiskStatus DiskServices::FormatTrack(uint16_t head, uint16_t cylinder, uint8_t drive) {
  EnsureOpen(OpenPolicy::kOpenIfNotOpen);
  uint16_t code = 0;
  if (DosIoctl([&] { return device_.FormatTrack(drive, head, cylinder); }, &code)) return kDiskOk;
  return code == 0 ? kDiskGeneralFailure : code;
}

DiskStatus DiskServices::FormatTrackNumber(uint8_t drive, uint16_t track) {
  const auto head = static_cast<uint16_t>(track & 1);
  const auto cylinder = static_cast<uint16_t>(track >> 1);
  return FormatTrack(head, cylinder, drive);
}

uint16_t DiskServices::CheckDrive(uint8_t drive, uint8_t checkOnly) {
  EnsureOpen(OpenPolicy::kOpenIfNotOpen);
  params_.bytes[DeviceParams::kSpecialFunctions] = 5;
  uint16_t code = 0;
  if (!DosIoctl([&] { return device_.GetDeviceParams(drive, params_); }, &code)) {
    // The system cannot say what the drive is: the file-system driver decides. A failure without
    // a code leaves the block as an earlier drive's query filled it, so it says nothing.
    if (code != 0) return driver_.QueryDrive(drive);
    return kCheckFailed;
  }
  if (params_.deviceType() != DeviceParams::kType144) return 1;
  if (checkOnly == 1) return 0;

  params_.bytes[DeviceParams::kSpecialFunctions] = 5;
  params_.bytes[DeviceParams::kDeviceType] = DeviceParams::kType144;
  params_.set16(DeviceParams::kCylinders, 80);
  params_.set16(DeviceParams::kBytesPerSector, 512);
  params_.bytes[DeviceParams::kSectorsPerCluster] = 1;
  params_.set16(DeviceParams::kTotalSectors, static_cast<uint16_t>(kTotalSectors));
  params_.set16(DeviceParams::kSectorsPerTrack, 18);
  if (DosIoctl([&] { return device_.SetDeviceParams(drive, params_); }, &code)) return 0;
  return code != 0 ? code : kCheckFailed;
}

void DiskServices::SearchRoot(const char* drivePath) {
  // Built by hand: the Win32 programs carry no printf.
  char pattern[16] = {};
  size_t len = 0;
  for (; drivePath && drivePath[len] && len < sizeof pattern - 5; ++len)
    pattern[len] = drivePath[len];
  std::memcpy(pattern + len, "\\*.*", 5);
  device_.SearchRoot(pattern);
}

int DiskServices::LockVolumeForFormat(uint8_t drive, const char* drivePath) {
  EnsureOpen(OpenPolicy::kRetryFailed);

  // The probe only finds how many levels can be taken; they are all given back at once.
  struct Probe {
    uint8_t level;
    uint16_t permissions;
  };
  constexpr Probe kProbes[] = {{1, kLockPermNoMappings}, {2, 0}, {3, 0}};
  int taken = 0;
  for (const Probe& p : kProbes) {
    if (!DosIoctl([&] { return device_.LockLogicalVolume(drive, p.level, p.permissions); },
                  nullptr))
      break;
    ++taken;
  }
  for (int i = 0; i < taken; ++i)
    DosIoctl([&] { return device_.UnlockLogicalVolume(drive); }, nullptr);

  if (!DosIoctl([&] { return device_.LockLogicalVolume(drive, 0, 0); }, nullptr)) {
    CloseDevice();
    return 0;
  }
  if (DosIoctl([&] { return device_.LockLogicalVolume(drive, 0, kLockPermFormat); }, nullptr))
    return 1;

  SearchRoot(drivePath);
  DosIoctl([&] { return device_.UnlockLogicalVolume(drive); }, nullptr);
  CloseDevice();
  return 0;
}

int DiskServices::UnlockVolume(uint8_t drive, const char* drivePath) {
  EnsureOpen(OpenPolicy::kRetryFailed);
  const int first = DosIoctl([&] { return device_.UnlockLogicalVolume(drive); }, nullptr);
  SearchRoot(drivePath);
  const int second = DosIoctl([&] { return device_.UnlockLogicalVolume(drive); }, nullptr);
  CloseDevice();
  return (first && second) ? 1 : 0;
}

uint32_t DiskServices::GetVolumeLabel(const char* rootPath, char* label) {
  return device_.QueryVolumeLabel(rootPath, label, kLabelBufferSize);
}

}  // namespace brind
