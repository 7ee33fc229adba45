// VWIN32's disk services as Windows 95 offers them: a register block handed to DeviceIoControl.
// The set-up of the registers and the decoding of the results live here, apart from the system
// call, so that they run natively against a recording call in tests.
#pragma once

#include <cstdint>

#include "disk/DeviceBinding.h"

namespace brind {

// The register block of VWIN32: seven 32-bit registers, used for input and output.
struct DiocRegisters {
  uint32_t reg_EBX, reg_EDX, reg_ECX, reg_EAX, reg_EDI, reg_ESI, reg_Flags;
};
static_assert(sizeof(DiocRegisters) == 28, "VWIN32 expects a 28-byte register block");

inline constexpr uint32_t kDiocDosIoctl = 1;
inline constexpr uint32_t kDiocDosInt25 = 2;
inline constexpr uint32_t kDiocDosInt26 = 3;

// The system call underneath: DeviceIoControl on VWIN32's handle with the block as input and
// output (false when the system refused it), and a buffer's 32-bit address.
class DiocCall {
 public:
  virtual ~DiocCall() = default;
  virtual bool Call(uint32_t code, DiocRegisters& regs) = 0;
  virtual uint32_t Address(const void* buffer) = 0;
};

class Vwin32Services {
 public:
  explicit Vwin32Services(DiocCall& call) : call_(call) {}

  DeviceResult ReadSector(uint8_t drive, uint32_t sector, uint8_t* buffer);
  DeviceResult WriteSector(uint8_t drive, uint32_t sector, const uint8_t* buffer);
  DeviceResult FormatTrack(uint8_t drive, uint16_t head, uint16_t cylinder);
  DeviceResult GetDeviceParams(uint8_t drive, DeviceParams& params);
  DeviceResult SetDeviceParams(uint8_t drive, const DeviceParams& params);
  DeviceResult LockLogicalVolume(uint8_t drive, uint8_t level, uint16_t permissions);
  DeviceResult UnlockLogicalVolume(uint8_t drive);

 private:
  // IOCTL 440Dh with the minor code; EBX holds the drive (1 = A:) and the lock level above it.
  DeviceResult Ioctl(uint32_t ebx, uint32_t minor, uint32_t edx);
  // One absolute sector read (INT 25h) or write (INT 26h).
  DeviceResult Transfer(uint32_t code, uint8_t drive, uint32_t sector, const uint8_t* buffer);

  DiocCall& call_;
  DiocRegisters regs_{};  // the one block for all disk calls
};

}  // namespace brind
