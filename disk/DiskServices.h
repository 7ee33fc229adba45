// Sector, track, lock and drive-check services of one floppy drive, over a device binding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/UserPrompts.h"
#include "disk/DeviceBinding.h"
#include "disk/DiskStatus.h"
#include "disk/DriverPort.h"
#include "disk/SectorIo.h"

namespace brind {

enum class HandleState { kNotOpen, kOpen, kFailed };

class DiskServices : public SectorIo {
 public:
  DiskServices(DiskDeviceBinding& device, DriverPort& driver, UserPrompts& prompts)
      : device_(device), driver_(driver), prompts_(prompts) {}

  DiskStatus ReadSector(uint8_t* buffer, uint32_t sector, uint8_t drive) override;
  DiskStatus WriteSector(const uint8_t* buffer, uint32_t sector, uint8_t drive) override;
  DiskStatus ZeroSectors(uint32_t first, uint32_t count, uint8_t drive) override;
  DiskStatus WriteSectors(const uint8_t* buffer, uint32_t first, uint32_t count,
                          uint8_t drive) override;
  DiskStatus FormatTrack(uint16_t head, uint16_t cylinder, uint8_t drive);
  DiskStatus FormatTrackNumber(uint8_t drive, uint16_t track);
  // 0: a 1.44 MB drive (parameters set unless checkOnly is 1); 1: another type; else an error
  // code of setting the parameters, or the driver's answer when the system cannot say.
  uint16_t CheckDrive(uint8_t drive, uint8_t checkOnly);
  // drivePath is the format state's drive string ("A:" or "A:\"); the root search uses it.
  int LockVolumeForFormat(uint8_t drive, const char* drivePath);
  int UnlockVolume(uint8_t drive, const char* drivePath);
  // 1, or the system's last-error code. label must hold kLabelBufferSize bytes.
  static constexpr size_t kLabelBufferSize = 512;
  uint32_t GetVolumeLabel(const char* rootPath, char* label);

  HandleState handleState() const { return state_; }
  uint32_t lastOpenError() const { return openError_; }

 private:
  enum class OpenPolicy { kOpenIfNotOpen, kRetryFailed };
  bool EnsureOpen(OpenPolicy policy);
  void CloseDevice();
  void ShowOpenFailure();
  // The single path of the block-device IOCTLs: 1 on success, 0 on failure (code in *code).
  template <typename Call>
  int DosIoctl(Call&& call, uint16_t* code);
  void SearchRoot(const char* drivePath);

  DiskDeviceBinding& device_;
  DriverPort& driver_;
  UserPrompts& prompts_;
  HandleState state_ = HandleState::kNotOpen;
  uint32_t openError_ = 0;
  DeviceParams params_;  // one program-wide block, kept between the query and the set
};

}  // namespace brind
