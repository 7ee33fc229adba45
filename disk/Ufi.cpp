#include "disk/Ufi.h"

#include "common/Bytes.h"

namespace brind::ufi {

namespace {

Cdb Make(uint8_t opcode, uint8_t length) {
  Cdb c;
  c.bytes[0] = opcode;
  c.length = length;
  return c;
}

std::string Trimmed(const uint8_t* p, size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

uint32_t GetU24BE(const uint8_t* p) { return (uint32_t{p[0]} << 16) | (p[1] << 8) | p[2]; }

std::string Megabytes(const Capacity& c) {
  const uint64_t bytes = uint64_t{c.blocks} * c.blockLength;
  if (bytes >= 1024 * 1024) return std::to_string((bytes + 512 * 1024) / (1024 * 1024)) + " MB";
  return std::to_string((bytes + 512) / 1024) + " KB";
}

bool IsFloppyCapacity(const Capacity& c) { return !FloppyCapacityName(c).empty(); }

}  // namespace

Cdb TestUnitReady() { return Make(0x00, 6); }

Cdb Inquiry(uint8_t allocation) {
  Cdb c = Make(0x12, 6);
  c.bytes[4] = allocation;
  return c;
}

Cdb ReadFormatCapacities(uint16_t allocation) {
  Cdb c = Make(0x23, 10);
  PutU16BE(&c.bytes[7], allocation);
  return c;
}

Cdb ReadCapacity() { return Make(0x25, 10); }

Cdb ModeSense(uint8_t page, uint16_t allocation) {
  Cdb c = Make(0x5A, 10);
  c.bytes[2] = page & 0x3F;  // current values
  PutU16BE(&c.bytes[7], allocation);
  return c;
}

Cdb FormatUnitTrack(uint8_t cylinder) {
  Cdb c = Make(0x04, 12);
  c.bytes[1] = 0x17;  // format data follows, defect list format 7
  c.bytes[2] = cylinder;
  PutU16BE(&c.bytes[7], kFormatParameterSize);
  return c;
}

std::array<uint8_t, kFormatParameterSize> FormatParameters(uint8_t head) {
  std::array<uint8_t, kFormatParameterSize> p{};
  // Format options valid, disable certification, single track, the side.
  p[1] = static_cast<uint8_t>(0xB0 | (head & 1));
  p[3] = 8;  // one format descriptor
  PutU32BE(&p[4], k144.blocks);
  p[9] = static_cast<uint8_t>(k144.blockLength >> 16);
  p[10] = static_cast<uint8_t>(k144.blockLength >> 8);
  p[11] = static_cast<uint8_t>(k144.blockLength);
  return p;
}

Sense DecodeSense(const uint8_t* data, size_t length) {
  Sense s;
  if (length < 2) return s;
  const uint8_t code = data[0] & 0x7F;
  if ((code == 0x70 || code == 0x71) && length >= 3) {
    s.valid = true;
    s.key = data[2] & 0x0F;
    if (length >= 13) s.asc = data[12];
    if (length >= 14) s.ascq = data[13];
  } else if ((code == 0x72 || code == 0x73) && length >= 4) {
    s.valid = true;
    s.key = data[1] & 0x0F;
    s.asc = data[2];
    s.ascq = data[3];
  }
  return s;
}

DiskStatus StatusOfSense(const Sense& sense, Operation op) {
  const bool noMedium = (sense.key == kKeyNotReady && sense.asc == kAscNoMedium) ||
                        (sense.key == kKeyUnitAttention && sense.asc == kAscMediumChanged);
  const bool protectedMedium = sense.key == kKeyDataProtect && sense.asc == kAscWriteProtected;
  const bool unformatted = sense.asc == kAscIncompatibleMedium || sense.asc == kAscFormatCorrupted;
  if (op == Operation::kFormatTrack) {
    // Only "denied": the dialog reads and writes sector 2 to tell a missing disk, a protected
    // one and a bad one apart, and offers Retry for the first two.
    if (noMedium || protectedMedium || sense.key == kKeyMediumError) return kDiskAccessDenied;
    if (sense.key == kKeyIllegalRequest) return kDiskInvalidDrive;  // no FORMAT UNIT here
    if (sense.key == kKeyNotReady) return kDiskAccessDenied;
    return kDiskGeneralFailure;
  }
  if (noMedium || (sense.key == kKeyNotReady && !unformatted)) return kDiskNotReady;
  if (protectedMedium) return op == Operation::kWrite ? kDiskWriteProtected : kDiskGeneralFailure;
  if (unformatted) return kDiskSectorNotFound;
  return kDiskGeneralFailure;
}

InquiryData DecodeInquiry(const uint8_t* data, size_t length) {
  InquiryData d;
  if (length < 2) return d;
  d.valid = true;
  d.deviceType = data[0] & 0x1F;
  d.removable = (data[1] & 0x80) != 0;
  if (length >= 16) d.vendor = Trimmed(data + 8, 8);
  if (length >= 32) d.product = Trimmed(data + 16, 16);
  return d;
}

FormatCapacities DecodeFormatCapacities(const uint8_t* data, size_t length) {
  FormatCapacities f;
  if (length < 12) return f;
  const size_t listed = data[3] / 8;
  if (listed == 0) return f;
  f.valid = true;
  f.current = {GetU32BE(data + 4), GetU24BE(data + 9)};
  switch (data[8] & 3) {
    case 1:
      f.medium = Medium::kUnformatted;
      break;
    case 2:
      f.medium = Medium::kFormatted;
      break;
    default:
      f.medium = Medium::kNone;
      break;
  }
  for (size_t i = 1; i < listed && 4 + 8 * (i + 1) <= length; ++i) {
    const uint8_t* d = data + 4 + 8 * i;
    f.formattable.push_back({GetU32BE(d), GetU24BE(d + 5)});
  }
  return f;
}

Capacity DecodeReadCapacity(const uint8_t* data, size_t length) {
  if (length < 8) return {};
  return {GetU32BE(data) + 1, GetU32BE(data + 4)};
}

bool DecodeWriteProtected(const uint8_t* modeSense10, size_t length) {
  return length >= 4 && (modeSense10[3] & 0x80) != 0;
}

std::string FloppyCapacityName(const Capacity& c) {
  struct Known {
    Capacity capacity;
    const char* name;
  };
  static constexpr Known kKnown[] = {
      {{2880, 512}, "1.44 MB"},  {{1440, 512}, "720 KB"}, {{2400, 512}, "1.2 MB"},
      {{1232, 1024}, "1.25 MB"}, {{1280, 512}, "640 KB"}, {{5760, 512}, "2.88 MB"},
      {{240640, 512}, "120 MB"},
  };
  for (const Known& k : kKnown)
    if (k.capacity == c) return k.name;
  return "";
}

DriveReport IdentifyDrive(Transport& transport) {
  DriveReport report;
  uint8_t buffer[252] = {};
  CommandResult r = transport.Execute(Inquiry(36), buffer, 36, true);
  if (!r.delivered || !r.good) return report;
  const InquiryData inquiry = DecodeInquiry(buffer, r.received);
  report.kind = DriveKind::kNotFloppy;
  if (!inquiry.valid || inquiry.deviceType != 0) {
    report.what = "a device of SCSI type " + std::to_string(inquiry.deviceType);
    return report;
  }
  if (!inquiry.removable) {
    report.what = "a fixed disk";
    return report;
  }

  Capacity medium;
  bool floppyDrive = false;
  r = transport.Execute(ReadFormatCapacities(sizeof buffer), buffer, sizeof buffer, true);
  const FormatCapacities caps =
      r.good ? DecodeFormatCapacities(buffer, r.received) : FormatCapacities{};
  if (caps.valid) {
    // With no disk in it, a floppy drive gives the most it formats; with one, the disk's
    // capacity, and the list of what the drive can format the disk to.
    floppyDrive = IsFloppyCapacity(caps.current);
    for (const Capacity& c : caps.formattable) floppyDrive = floppyDrive || c == k144;
    report.mediumPresent = caps.medium != Medium::kNone;
    report.unformatted = caps.medium == Medium::kUnformatted;
    if (report.mediumPresent) medium = caps.current;
    if (report.unformatted) {
      bool can144 = caps.current == k144;
      for (const Capacity& c : caps.formattable) can144 = can144 || c == k144;
      if (can144) medium = k144;
    }
  } else {
    // Not every drive knows READ FORMAT CAPACITIES: the medium's own size must then tell.
    r = transport.Execute(ReadCapacity(), buffer, 8, true);
    if (r.good) {
      medium = DecodeReadCapacity(buffer, r.received);
      report.mediumPresent = true;
      floppyDrive = IsFloppyCapacity(medium);
    } else if (StatusOfSense(r.sense, Operation::kRead) == kDiskNotReady) {
      report.what = "a removable drive without a disk that does not report what it formats";
      return report;
    }
  }
  if (!floppyDrive) {
    report.what = medium.blocks ? "a removable disk of " + Megabytes(medium)
                                : "a removable drive that formats no floppy disks";
    return report;
  }
  if (report.mediumPresent && !(medium == k144)) {
    report.kind = DriveKind::kOtherFloppy;
    const std::string name = FloppyCapacityName(medium);
    report.what = "a floppy drive holding a " + (name.empty() ? Megabytes(medium) : name) +
                  " disk" + (report.unformatted ? " (unformatted)" : "");
    return report;
  }
  report.kind = DriveKind::kFloppy144;
  report.what = "a USB floppy drive";
  if (report.mediumPresent) {
    r = transport.Execute(ModeSense(0x3F, 192), buffer, 192, true);
    report.writeProtected = r.good && DecodeWriteProtected(buffer, r.received);
  }
  return report;
}

DiskStatus FormatTrack(Transport& transport, uint16_t head, uint16_t cylinder) {
  if (head > 1 || cylinder >= 80) return kDiskGeneralFailure;
  auto parameters = FormatParameters(static_cast<uint8_t>(head));
  const CommandResult r = transport.Execute(FormatUnitTrack(static_cast<uint8_t>(cylinder)),
                                            parameters.data(), parameters.size(), false);
  if (!r.delivered) return kDiskGeneralFailure;
  if (r.good) return kDiskOk;
  return StatusOfSense(r.sense, Operation::kFormatTrack);
}

}  // namespace brind::ufi
