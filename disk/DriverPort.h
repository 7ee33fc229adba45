// The file-system driver's control device and the two requests the programs send it.
#pragma once

#include <array>
#include <cstdint>

#include "common/Bytes.h"

namespace brind {

inline constexpr uint32_t kRequestQueryDrive = 4;
inline constexpr uint32_t kRequestSetCharMap = 20;
inline constexpr uint32_t kQueryDriveOutputSize = 28;
inline constexpr uint32_t kSetCharMapOutputSize = 8;

// The record passed to the driver: argument at 0, request number at 4, QueryDrive's answer at 20.
// The caller sets only offsets 0 and 4.
struct DriverRequest {
  std::array<uint8_t, 28> bytes{};
  void setArgument(uint32_t v) { PutU32LE(&bytes[0], v); }
  void setRequest(uint32_t v) { PutU32LE(&bytes[4], v); }
  uint32_t argument() const { return GetU32LE(&bytes[0]); }
  uint32_t request() const { return GetU32LE(&bytes[4]); }
  uint16_t answer() const { return GetU16LE(&bytes[20]); }
  void setAnswer(uint16_t v) { PutU16LE(&bytes[20], v); }
};

// QueryDrive's answer for a drive that must not be offered.
inline constexpr uint16_t kQueryDriveRefused = 1;

// The QueryDrive record for a drive. Its answer starts as a refusal: a call that fails without
// writing the record must not read as "may be formatted".
inline DriverRequest QueryDriveRequest(uint8_t drive) {
  DriverRequest request;
  request.setArgument(drive);
  request.setRequest(kRequestQueryDrive);
  request.setAnswer(kQueryDriveRefused);
  return request;
}

class DriverPort {
 public:
  virtual ~DriverPort() = default;
  // Opens the control device: 0, or the system's error code (50 = not supported).
  virtual uint32_t Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The driver's 16-bit answer for the drive: 0 = it may be formatted.
  virtual uint16_t QueryDrive(uint8_t drive) = 0;
  // The call's return value: 0 means the driver took the table.
  virtual uint32_t SetCharMap(const uint8_t* table128) = 0;
};

}  // namespace brind
