// An in-memory floppy drive for tests: holds a 1.44 MB disk, records every call in order and can
// make any call fail with any code.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "disk/DeviceBinding.h"
#include "disk/DiskStatus.h"

namespace brind::test {

enum class Op {
  kOpen,
  kClose,
  kRead,
  kWrite,
  kFormatTrack,
  kGetParams,
  kSetParams,
  kLock,
  kUnlock,
  kSearchRoot,
  kVolumeInfo
};

struct DeviceCall {
  Op op;
  uint8_t drive = 0;
  uint32_t sector = 0;       // read, write
  uint16_t head = 0;         // format track
  uint16_t cylinder = 0;     // format track
  uint8_t level = 0;         // lock
  uint16_t permissions = 0;  // lock
  std::string text;          // search pattern, root path
  DeviceParams params;       // set params: the block as sent
};

class FakeDevice : public DiskDeviceBinding {
 public:
  FakeDevice() : disk(kTotalSectors * kSectorSize, 0) {}

  // Settings of the simulated drive.
  uint32_t openError = 0;  // nonzero: Open fails with this system error
  uint8_t deviceType = DeviceParams::kType144;
  std::map<uint8_t, uint8_t> driveTypes;  // per drive number; others have deviceType
  bool writeProtected = false;            // writes fail with 3, track formats with 19
  bool noDisk = false;                    // transfers fail with 2, track formats with 20
  std::string volumeLabel;                // answered by GetVolumeInformation
  uint32_t volumeInfoError = 0;           // nonzero: GetVolumeInformation fails with it

  // Fault injection: return a result to replace the call's own; nullopt lets it run.
  std::function<std::optional<DeviceResult>(const DeviceCall&, size_t index)> fault;
  // Fails the call with the given 0-based index (counted over all recorded calls).
  void FailCallAt(size_t index, uint16_t code) {
    fault = [index, code](const DeviceCall&, size_t i) -> std::optional<DeviceResult> {
      if (i == index) return DeviceResult::Failure(code);
      return std::nullopt;
    };
  }
  // Fails every call of one kind (optionally only for one sector).
  void FailOp(Op op, uint16_t code, std::optional<uint32_t> sector = std::nullopt) {
    fault = [=](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
      if (c.op == op && (!sector || c.sector == *sector)) return DeviceResult::Failure(code);
      return std::nullopt;
    };
  }

  std::vector<DeviceCall> calls;
  std::vector<uint8_t> disk;
  DeviceParams lastParams;  // what the drive holds now
  bool paramsSet = false;
  int lockDepth = 0;
  bool open = false;

  uint8_t* SectorData(uint32_t sector) { return &disk[size_t{sector} * kSectorSize]; }
  size_t Count(Op op) const {
    size_t n = 0;
    for (const auto& c : calls) n += (c.op == op);
    return n;
  }
  std::vector<uint32_t> WrittenSectors() const {
    std::vector<uint32_t> out;
    for (const auto& c : calls)
      if (c.op == Op::kWrite) out.push_back(c.sector);
    return out;
  }

  uint32_t Open() override {
    Record({Op::kOpen});
    if (openError) return openError;
    open = true;
    return 0;
  }
  void Close() override {
    Record({Op::kClose});
    open = false;
  }
  DeviceResult ReadSector(uint8_t drive, uint32_t sector, uint8_t* buffer) override {
    DeviceCall c{Op::kRead, drive};
    c.sector = sector;
    if (auto r = Intercept(c)) return *r;
    if (noDisk) return DeviceResult::Failure(kDiskNotReady);
    if (sector >= kTotalSectors) return DeviceResult::Failure(kDiskSectorNotFound);
    std::memcpy(buffer, SectorData(sector), kSectorSize);
    return DeviceResult::Success();
  }
  DeviceResult WriteSector(uint8_t drive, uint32_t sector, const uint8_t* buffer) override {
    DeviceCall c{Op::kWrite, drive};
    c.sector = sector;
    if (auto r = Intercept(c)) return *r;
    if (noDisk) return DeviceResult::Failure(kDiskNotReady);
    if (writeProtected) return DeviceResult::Failure(kDiskWriteProtected);
    if (sector >= kTotalSectors) return DeviceResult::Failure(kDiskSectorNotFound);
    std::memcpy(SectorData(sector), buffer, kSectorSize);
    return DeviceResult::Success();
  }
  DeviceResult FormatTrack(uint8_t drive, uint16_t head, uint16_t cylinder) override {
    DeviceCall c{Op::kFormatTrack, drive};
    c.head = head;
    c.cylinder = cylinder;
    if (auto r = Intercept(c)) return *r;
    if (noDisk) return DeviceResult::Failure(kDiskNoDisk);
    if (writeProtected) return DeviceResult::Failure(kDiskTrackWriteProtected);
    // A freshly formatted track reads back as the format's filler byte.
    const uint32_t first = (uint32_t{cylinder} * 2 + head) * 18;
    std::memset(SectorData(first), 0xF6, size_t{18} * kSectorSize);
    return DeviceResult::Success();
  }
  DeviceResult GetDeviceParams(uint8_t drive, DeviceParams& params) override {
    DeviceCall c{Op::kGetParams, drive};
    c.params = params;
    if (auto r = Intercept(c)) return *r;
    params = lastParams;
    const auto type = driveTypes.find(drive);
    params.bytes[DeviceParams::kDeviceType] = type != driveTypes.end() ? type->second : deviceType;
    return DeviceResult::Success();
  }
  DeviceResult SetDeviceParams(uint8_t drive, const DeviceParams& params) override {
    DeviceCall c{Op::kSetParams, drive};
    c.params = params;
    if (auto r = Intercept(c)) return *r;
    lastParams = params;
    paramsSet = true;
    return DeviceResult::Success();
  }
  DeviceResult LockLogicalVolume(uint8_t drive, uint8_t level, uint16_t permissions) override {
    DeviceCall c{Op::kLock, drive};
    c.level = level;
    c.permissions = permissions;
    if (auto r = Intercept(c)) return *r;
    ++lockDepth;
    return DeviceResult::Success();
  }
  DeviceResult UnlockLogicalVolume(uint8_t drive) override {
    DeviceCall c{Op::kUnlock, drive};
    if (auto r = Intercept(c)) return *r;
    if (lockDepth > 0) --lockDepth;
    return DeviceResult::Success();
  }
  void SearchRoot(const char* pattern) override {
    DeviceCall c{Op::kSearchRoot};
    c.text = pattern;
    Record(c);
  }
  uint32_t QueryVolumeLabel(const char* rootPath, char* label, size_t labelSize) override {
    DeviceCall c{Op::kVolumeInfo};
    c.text = rootPath;
    Record(c);
    if (volumeInfoError) return volumeInfoError;
    std::snprintf(label, labelSize, "%s", volumeLabel.c_str());
    return 1;
  }

 private:
  void Record(const DeviceCall& c) { calls.push_back(c); }
  std::optional<DeviceResult> Intercept(const DeviceCall& c) {
    const size_t index = calls.size();
    Record(c);
    if (fault) return fault(c, index);
    return std::nullopt;
  }
};

}  // namespace brind::test
