// The raw primitives of one platform's disk device. The disk services (handle states, drive
// check, lock probing, unlock sequence, messages) are written once over this interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/Bytes.h"

namespace brind {

// Outcome of one device call: ok, or the platform's error code for the condition (the codes of
// DiskStatus.h). A read or write that fails always carries a nonzero code other than 0xFFFF.
struct DeviceResult {
  bool ok;
  uint16_t code;
  static DeviceResult Success() { return {true, 0}; }
  static DeviceResult Failure(uint16_t c) { return {false, c}; }
};

// The MS-DOS device-parameter block of IOCTL 440Dh minor codes 60h/40h. Only the fields the
// services use are named; every other byte is kept as the query returned it.
struct DeviceParams {
  static constexpr size_t kSize = 0x100;
  static constexpr size_t kSpecialFunctions = 0;   // 8-bit
  static constexpr size_t kDeviceType = 1;         // 8-bit
  static constexpr size_t kCylinders = 4;          // 16-bit
  static constexpr size_t kBytesPerSector = 7;     // 16-bit
  static constexpr size_t kSectorsPerCluster = 9;  // 8-bit
  static constexpr size_t kTotalSectors = 15;      // 16-bit
  static constexpr size_t kSectorsPerTrack = 20;   // 16-bit
  static constexpr uint8_t kType144 = 7;           // 3.5-inch 1.44 MB drive

  std::array<uint8_t, kSize> bytes{};

  uint8_t specialFunctions() const { return bytes[kSpecialFunctions]; }
  uint8_t deviceType() const { return bytes[kDeviceType]; }
  uint16_t cylinders() const { return GetU16LE(&bytes[kCylinders]); }
  uint16_t bytesPerSector() const { return GetU16LE(&bytes[kBytesPerSector]); }
  uint8_t sectorsPerCluster() const { return bytes[kSectorsPerCluster]; }
  uint16_t totalSectors() const { return GetU16LE(&bytes[kTotalSectors]); }
  uint16_t sectorsPerTrack() const { return GetU16LE(&bytes[kSectorsPerTrack]); }
  void set16(size_t offset, uint16_t v) { PutU16LE(&bytes[offset], v); }
};

class DiskDeviceBinding {
 public:
  virtual ~DiskDeviceBinding() = default;

  // Opens the device: 0, or the system's error code (50 = not supported).
  virtual uint32_t Open() = 0;
  virtual void Close() = 0;

  // Absolute sector transfer of one 512-byte sector (drive 0 = A:).
  virtual DeviceResult ReadSector(uint8_t drive, uint32_t sector, uint8_t* buffer) = 0;
  virtual DeviceResult WriteSector(uint8_t drive, uint32_t sector, const uint8_t* buffer) = 0;
  // Zeroes count sectors from first; by default with one sector write after another.
  virtual DeviceResult ZeroSectors(uint8_t drive, uint32_t first, uint32_t count) {
    const uint8_t zero[512] = {};
    for (uint32_t k = 0; k < count; ++k) {
      const DeviceResult r = WriteSector(drive, first + k, zero);
      if (!r.ok) return r;
    }
    return DeviceResult::Success();
  }
  // Writes count sectors from buffer; by default one sector write after another.
  virtual DeviceResult WriteSectors(uint8_t drive, uint32_t first, uint32_t count,
                                    const uint8_t* buffer) {
    for (uint32_t k = 0; k < count; ++k) {
      const DeviceResult r = WriteSector(drive, first + k, buffer + size_t{k} * 512);
      if (!r.ok) return r;
    }
    return DeviceResult::Success();
  }

  // Block-device IOCTLs.
  virtual DeviceResult FormatTrack(uint8_t drive, uint16_t head, uint16_t cylinder) = 0;
  virtual DeviceResult GetDeviceParams(uint8_t drive, DeviceParams& params) = 0;
  virtual DeviceResult SetDeviceParams(uint8_t drive, const DeviceParams& params) = 0;
  virtual DeviceResult LockLogicalVolume(uint8_t drive, uint8_t level, uint16_t permissions) = 0;
  virtual DeviceResult UnlockLogicalVolume(uint8_t drive) = 0;

  // Finds the first entry matching pattern and closes the search at once; nothing found is fine.
  virtual void SearchRoot(const char* pattern) = 0;

  // Asks the system for the label of a mounted volume (rootPath "A:\"): 1 when the system gave
  // the volume information, otherwise its last-error code. label holds labelSize bytes.
  virtual uint32_t QueryVolumeLabel(const char* rootPath, char* label, size_t labelSize) = 0;
};

}  // namespace brind
