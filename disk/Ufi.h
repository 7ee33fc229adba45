// USB floppy drives (UFI): the commands the tool sends them, what their answers and sense data
// mean, and the drive check and track format built on them. The commands go through a
// transport (SG_IO on Linux, a scripted drive in the tests), so everything here is portable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "disk/DiskStatus.h"

namespace brind::ufi {

// A command descriptor block. UFI drives take 12 bytes; the length is the command's own
// length for drives that speak plain SCSI (the USB layer pads it for UFI drives).
struct Cdb {
  std::array<uint8_t, 12> bytes{};
  uint8_t length = 0;
};

Cdb TestUnitReady();
Cdb Inquiry(uint8_t allocation);
Cdb ReadFormatCapacities(uint16_t allocation);
Cdb ReadCapacity();
Cdb ModeSense(uint8_t page, uint16_t allocation);  // the 10-byte form, the only one UFI has
Cdb FormatUnitTrack(uint8_t cylinder);             // one track; the side is in the parameters
inline constexpr size_t kFormatParameterSize = 12;
// The defect-list header (one track of the given side) and the 1.44 MB format descriptor.
std::array<uint8_t, kFormatParameterSize> FormatParameters(uint8_t head);

// Sense keys and additional sense codes this tool tells apart.
inline constexpr uint8_t kKeyNotReady = 0x02;
inline constexpr uint8_t kKeyMediumError = 0x03;
inline constexpr uint8_t kKeyIllegalRequest = 0x05;
inline constexpr uint8_t kKeyUnitAttention = 0x06;
inline constexpr uint8_t kKeyDataProtect = 0x07;
inline constexpr uint8_t kAscInvalidOpcode = 0x20;
inline constexpr uint8_t kAscWriteProtected = 0x27;
inline constexpr uint8_t kAscMediumChanged = 0x28;
inline constexpr uint8_t kAscIncompatibleMedium = 0x30;
inline constexpr uint8_t kAscFormatCorrupted = 0x31;
inline constexpr uint8_t kAscNoMedium = 0x3A;

struct Sense {
  bool valid = false;
  uint8_t key = 0, asc = 0, ascq = 0;
};
// Fixed (70h/71h) or descriptor (72h/73h) sense data.
Sense DecodeSense(const uint8_t* data, size_t length);

enum class Operation { kRead, kWrite, kFormatTrack };
// The disk services' code for a failed command (the codes the Windows device gives).
DiskStatus StatusOfSense(const Sense& sense, Operation op);

struct InquiryData {
  bool valid = false;
  uint8_t deviceType = 0x1F;  // 0: direct-access block device
  bool removable = false;
  std::string vendor, product;  // trimmed
};
InquiryData DecodeInquiry(const uint8_t* data, size_t length);

struct Capacity {
  uint32_t blocks = 0;
  uint32_t blockLength = 0;
  bool operator==(const Capacity&) const = default;
};
enum class Medium { kFormatted, kUnformatted, kNone };
struct FormatCapacities {
  bool valid = false;
  Medium medium = Medium::kNone;
  Capacity current;  // of the medium, or the most the drive formats when there is none
  std::vector<Capacity> formattable;
};
FormatCapacities DecodeFormatCapacities(const uint8_t* data, size_t length);
Capacity DecodeReadCapacity(const uint8_t* data, size_t length);  // blocks = last block + 1
bool DecodeWriteProtected(const uint8_t* modeSense10, size_t length);

inline constexpr Capacity k144{2880, 512};
// "720 KB", "1.2 MB", ... for a floppy capacity; "" for anything else.
std::string FloppyCapacityName(const Capacity& c);

// One command over the drive's transport.
struct CommandResult {
  bool delivered = false;  // false: the system could not send it at all
  bool good = false;       // the drive completed it with GOOD status
  Sense sense;             // of a CHECK CONDITION
  size_t received = 0;     // bytes the drive returned
};
class Transport {
 public:
  virtual ~Transport() = default;
  // data is read from the drive when dataIn, written to it otherwise (length 0: no data).
  virtual CommandResult Execute(const Cdb& cdb, uint8_t* data, size_t length, bool dataIn) = 0;
};

enum class DriveKind {
  kFloppy144,    // a floppy drive that takes (or holds) a 1.44 MB disk
  kOtherFloppy,  // a floppy drive holding a disk of another capacity
  kNotFloppy,    // a USB stick, a card reader, a hard disk, ...
  kNoAnswer,     // the device does not take SCSI commands
};
struct DriveReport {
  DriveKind kind = DriveKind::kNoAnswer;
  bool mediumPresent = false;
  bool unformatted = false;
  bool writeProtected = false;
  std::string what;  // the device in words, for a refusal ("a removable disk of 16 MB", ...)
};
// Asks the drive what it is and what it holds: INQUIRY, READ FORMAT CAPACITIES (READ CAPACITY
// when it does not know that command) and MODE SENSE.
DriveReport IdentifyDrive(Transport& transport);

// Low-level formats one track of the 1.44 MB medium with FORMAT UNIT.
DiskStatus FormatTrack(Transport& transport, uint16_t head, uint16_t cylinder);

}  // namespace brind::ufi
