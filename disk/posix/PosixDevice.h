// The Linux disk device: an image file (raw, or the sectors inside a DiskCopy image), or a
// floppy drive through the kernel's floppy ioctls. Every condition reaches the disk services with
// the code the Windows device gives for it (2 no disk, 3 write-protected, 8 sector not found, 19/20
// for track formats, ...).
#pragma once

#include <cstdint>
#include <string>

#include "disk/DeviceBinding.h"

namespace brind {

inline constexpr uint64_t kImageSize = 1474560;

enum class TargetKind {
  kMissing,      // nothing at the path
  kImage,        // a regular file
  kFloppy,       // a block device that answers the floppy ioctls, or a USB floppy drive
  kBlockDevice,  // a block device that is not a floppy drive
  kOther,        // a directory, character device, ...
};

// What is at a path, found without changing anything there.
struct TargetInfo {
  TargetKind kind = TargetKind::kMissing;
  uint64_t size = 0;      // images
  bool mounted = false;   // the device (or a loop device over the image) is mounted
  std::string mountedOn;  // where, when it is
  std::string driveType;  // floppy drives: the kernel's name of the drive type ("H1440", ...)
  bool is144Drive = false;
  bool usb = false;   // a USB floppy drive (a SCSI disk that answers as one)
  std::string what;   // a USB device that is refused, in words ("a removable disk of 16 MB")
  std::string error;  // set when the path could not be examined
};
TargetInfo InspectTarget(const std::string& path);

// A path that does not exist but would be a device node: its folder is /dev itself (or another
// folder of the file system that holds the device nodes), not a file system mounted below it
// such as /dev/shm.
bool NamesDeviceNode(const std::string& path);

// Creates a new image of `bytes` zero bytes (kImageSize unless given); one of a floppy size is
// allocated in full so that a full file system is found now rather than in the middle of a
// format, a larger one is sparse. False (with the reason) if that fails or the path exists.
bool CreateImage(const std::string& path, std::string& error);
bool CreateImage(const std::string& path, uint64_t bytes, std::string& error);

// Where the sectors of an image file lie: from dataOffset on, `sectors` of them, in a file of
// exactly fileBytes. A raw 1.44 MB image unless said otherwise. Without tracks, a track format
// of the image writes nothing (a volume larger than a floppy, or a file just made).
struct ImageLayout {
  uint64_t dataOffset = 0;
  uint32_t sectors = 2880;
  uint64_t fileBytes = kImageSize;
  bool tracks = true;
};

class PosixDevice : public DiskDeviceBinding {
 public:
  explicit PosixDevice(std::string path, ImageLayout layout = {});
  ~PosixDevice() override;
  PosixDevice(const PosixDevice&) = delete;
  PosixDevice& operator=(const PosixDevice&) = delete;

  uint32_t Open() override;
  void Close() override;
  DeviceResult ReadSector(uint8_t drive, uint32_t sector, uint8_t* buffer) override;
  DeviceResult WriteSector(uint8_t drive, uint32_t sector, const uint8_t* buffer) override;
  DeviceResult ZeroSectors(uint8_t drive, uint32_t first, uint32_t count) override;
  DeviceResult WriteSectors(uint8_t drive, uint32_t first, uint32_t count,
                            const uint8_t* buffer) override;
  DeviceResult FormatTrack(uint8_t drive, uint16_t head, uint16_t cylinder) override;
  DeviceResult GetDeviceParams(uint8_t drive, DeviceParams& params) override;
  DeviceResult SetDeviceParams(uint8_t drive, const DeviceParams& params) override;
  DeviceResult LockLogicalVolume(uint8_t drive, uint8_t level, uint16_t permissions) override;
  DeviceResult UnlockLogicalVolume(uint8_t drive) override;
  void SearchRoot(const char* pattern) override;
  uint32_t QueryVolumeLabel(const char* rootPath, char* label, size_t labelSize) override;

  // Why the last Open failed, in words.
  const std::string& openError() const { return openError_; }
  // Pushes what was written to the medium; the errno of a failure, 0 on success.
  int Flush();
  bool isBlockDevice() const { return block_; }
  // The open descriptor (-1 when closed), for looking at what the disk holds through it.
  int descriptor() const { return fd_; }
  uint64_t reads() const { return reads_; }
  // Sectors written, those of formatted tracks included.
  uint64_t writes() const { return writes_; }
  uint64_t bytesWritten() const { return bytesWritten_; }
  // Sectors of an image made to read as zeros without writing them (holes punched in the file).
  uint64_t sectorsCleared() const { return sectorsCleared_; }
  uint32_t tracksFormatted() const { return tracksFormatted_; }

 private:
  DeviceResult Transfer(uint32_t sector, uint8_t* in, const uint8_t* out);
  // Opens the block device; without allowNoDisk an empty drive is a failure (errno set).
  bool OpenBlock(bool allowNoDisk);
  // A drive opened without a disk, or with a protected one, is reopened for direct, synchronous
  // transfers as soon as it can be (after a Retry, when a writable disk is in).
  void ReopenIfNoDisk();
  void EndFormatting();
  void CountTrack(uint32_t sectors);
  uint16_t TransferErrorCode(int err, bool write);

  std::string path_;
  int fd_ = -1;
  bool block_ = false;
  bool readOnly_ = false;
  bool noDisk_ = false;      // opened with O_NONBLOCK: buffered, and the drive was empty
  bool ufi_ = false;         // a USB floppy drive, formatted over SG_IO
  bool formatting_ = false;  // between the kernel's begin and end of a track format run
  int lockDepth_ = 0;
  uint8_t* aligned_ = nullptr;  // direct transfers of a block device need an aligned buffer
  std::string openError_;
  uint64_t reads_ = 0;
  uint64_t writes_ = 0;
  uint64_t bytesWritten_ = 0;
  uint64_t sectorsCleared_ = 0;
  uint32_t tracksFormatted_ = 0;
  ImageLayout layout_;
};

}  // namespace brind
