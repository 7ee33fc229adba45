#include "disk/posix/PosixDevice.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "disk/DiskStatus.h"
#include "disk/FloppyMedia.h"
#include "disk/posix/UfiDrive.h"

namespace brind {

namespace {

constexpr uint32_t kSectorsPerTrack = 18;
constexpr uint32_t kHeads = 2;
constexpr uint32_t kCylinders = 80;
constexpr uint8_t kFormatFiller = 0xF6;  // what a freshly formatted sector holds
constexpr size_t kAlignment = 4096;
constexpr uint64_t kLargestFloppyBytes = 2 * kImageSize;  // 2.88 MB

// Drive types by the CMOS code the kernel reports, as the Windows device names them.
uint8_t DeviceTypeOfCmos(int cmos) {
  switch (cmos) {
    case 1:
      return 0;  // 5.25-inch 360 KB
    case 2:
      return 1;  // 5.25-inch 1.2 MB
    case 3:
      return 2;  // 3.5-inch 720 KB
    case 4:
      return DeviceParams::kType144;
    case 5:
    case 6:
      return 9;  // 3.5-inch 2.88 MB
    default:
      return 0xFF;
  }
}

// Mount tables escape blanks and the like as \ooo.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const std::string oct = s.substr(i + 1, 3);
      if (oct.size() == 3 && oct.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::strtol(oct.c_str(), nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

// Where the block device rdev is mounted, if it is.
bool FindMount(dev_t rdev, std::string& where) {
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string source, target;
    if (!(fields >> source >> target)) continue;
    struct stat st {};
    if (source.empty() || source[0] != '/') continue;
    if (stat(Unescape(source).c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == rdev) {
      where = Unescape(target);
      return true;
    }
  }
  return false;
}

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// A loop device over the image that is mounted: the image is then in use as a file system.
bool FindLoopMount(const std::string& image, std::string& where) {
  char* real = realpath(image.c_str(), nullptr);
  if (!real) return false;
  const std::string target = real;
  std::free(real);
  bool found = false;
  if (DIR* dir = opendir("/sys/block")) {
    while (dirent* e = readdir(dir)) {
      if (std::strncmp(e->d_name, "loop", 4) != 0) continue;
      const std::string base = std::string("/sys/block/") + e->d_name;
      if (ReadFirstLine(base + "/loop/backing_file") != target) continue;
      unsigned maj = 0, min = 0;
      if (std::sscanf(ReadFirstLine(base + "/dev").c_str(), "%u:%u", &maj, &min) == 2 &&
          FindMount(makedev(maj, min), where)) {
        found = true;
        break;
      }
    }
    closedir(dir);
  }
  return found;
}

std::string Describe(int err) { return std::strerror(err); }

// An ioctl that a signal may interrupt (the floppy driver does not restart its waits).
template <typename... Args>
int IoctlRetried(int fd, unsigned long request, Args... args) {
  int rc;
  do {
    rc = ioctl(fd, request, args...);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

TargetInfo InspectTarget(const std::string& path) {
  TargetInfo info;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) info.error = Describe(errno);
    info.kind = TargetKind::kMissing;
    return info;
  }
  if (S_ISREG(st.st_mode)) {
    info.kind = TargetKind::kImage;
    info.size = static_cast<uint64_t>(st.st_size);
    info.mounted = FindLoopMount(path, info.mountedOn);
    return info;
  }
  if (!S_ISBLK(st.st_mode)) {
    info.kind = TargetKind::kOther;
    return info;
  }
  info.kind = TargetKind::kBlockDevice;
  info.mounted = FindMount(st.st_rdev, info.mountedOn);
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    info.error = Describe(errno);
    return info;
  }
  floppy_drive_name name{};
  if (ioctl(fd, FDGETDRVTYP, name) == 0) {
    info.kind = TargetKind::kFloppy;
    name[sizeof name - 1] = '\0';
    info.driveType = name;
    floppy_drive_params drive{};
    if (ioctl(fd, FDGETDRVPRM, &drive) == 0)
      info.is144Drive = DeviceTypeOfCmos(drive.cmos) == DeviceParams::kType144;
  } else {
    SgioTransport drive(fd);
    const ufi::DriveReport report = ufi::IdentifyDrive(drive);
    info.what = report.what;
    if (report.kind == ufi::DriveKind::kFloppy144 || report.kind == ufi::DriveKind::kOtherFloppy) {
      info.kind = TargetKind::kFloppy;
      info.usb = true;
      info.driveType = "USB";
      info.is144Drive = report.kind == ufi::DriveKind::kFloppy144;
    }
  }
  close(fd);
  return info;
}

bool NamesDeviceNode(const std::string& path) {
  if (path.rfind("/dev/", 0) != 0) return false;
  const std::string folder = path.substr(0, path.find_last_of('/'));
  struct stat dev {
  }, parent{};
  if (stat("/dev", &dev) != 0) return true;
  // A folder that does not exist either is no place for an image.
  if (stat(folder.c_str(), &parent) != 0) return true;
  return parent.st_dev == dev.st_dev;
}

bool CreateImage(const std::string& path, std::string& error) {
  return CreateImage(path, kImageSize, error);
}

bool CreateImage(const std::string& path, uint64_t bytes, std::string& error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = Describe(errno);
    return false;
  }
  // A floppy's image is allocated in full; a larger volume stays sparse (a format writes only
  // its metadata). A file system that cannot allocate ahead still gets a file of the right size.
  int err = EOPNOTSUPP;
  if (bytes <= kLargestFloppyBytes) {
    do {
      err = posix_fallocate(fd, 0, static_cast<off_t>(bytes));
    } while (err == EINTR);
  }
  if (err == EOPNOTSUPP || err == EINVAL)
    err = ftruncate(fd, static_cast<off_t>(bytes)) == 0 ? 0 : errno;
  const bool ok = err == 0;
  if (!ok) error = Describe(err);
  close(fd);
  if (!ok) unlink(path.c_str());
  return ok;
}

PosixDevice::PosixDevice(std::string path, ImageLayout layout)
    : path_(std::move(path)), layout_(layout) {
  void* p = nullptr;
  if (posix_memalign(&p, kAlignment, kSectorSize * kSectorsPerTrack) == 0)
    aligned_ = static_cast<uint8_t*>(p);
}

PosixDevice::~PosixDevice() {
  Close();
  std::free(aligned_);
}

bool PosixDevice::OpenBlock(bool allowNoDisk) {
  readOnly_ = noDisk_ = false;
  // O_EXCL claims the device for this process alone. A plain open lets the driver look at the
  // medium first (and clears a stale disk-change state); a drive without a disk opens only
  // with O_NONBLOCK, and its transfers then report the missing disk by their codes.
  const int flags = O_EXCL | O_CLOEXEC;
  fd_ = open(path_.c_str(), O_RDWR | O_DIRECT | flags);
  if (fd_ < 0 && errno == EINVAL) fd_ = open(path_.c_str(), O_RDWR | O_SYNC | flags);
  if (fd_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd_ = open(path_.c_str(), O_RDONLY | O_DIRECT | flags);
    if (fd_ < 0 && errno == EINVAL) fd_ = open(path_.c_str(), O_RDONLY | O_SYNC | flags);
    readOnly_ = fd_ >= 0;
  }
  if (fd_ < 0 && allowNoDisk && (errno == ENXIO || errno == ENOMEDIUM || errno == EIO)) {
    fd_ = open(path_.c_str(), O_RDWR | O_NONBLOCK | flags);
    noDisk_ = fd_ >= 0;
  }
  return fd_ >= 0;
}

void PosixDevice::ReopenIfNoDisk() {
  // A protected disk may have been swapped too.
  if (!(noDisk_ || (block_ && readOnly_)) || fd_ < 0) return;
  // The exclusive claim allows one descriptor: let go, then take the drive back either way.
  close(fd_);
  fd_ = -1;
  if (!OpenBlock(false)) OpenBlock(true);
}

uint32_t PosixDevice::Open() {
  Close();
  openError_.clear();
  readOnly_ = noDisk_ = ufi_ = false;
  struct stat st {};
  if (stat(path_.c_str(), &st) != 0) {
    const int err = errno;
    openError_ = path_ + ": " + Describe(err);
    return static_cast<uint32_t>(err);
  }
  if (S_ISREG(st.st_mode)) {
    block_ = false;
    if (static_cast<uint64_t>(st.st_size) != layout_.fileBytes) {
      openError_ = path_ + ": the image must be exactly " + std::to_string(layout_.fileBytes) +
                   " bytes, this one has " + std::to_string(st.st_size);
      return EINVAL;
    }
    fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
      fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
      readOnly_ = fd_ >= 0;
    }
  } else if (S_ISBLK(st.st_mode)) {
    block_ = true;
    std::string where;
    if (FindMount(st.st_rdev, where)) {
      openError_ = path_ + " is mounted on " + where;
      return EBUSY;
    }
    if (!OpenBlock(true)) {
      const int err = errno;
      openError_ =
          path_ + ": " + (err == EBUSY ? std::string("in use by another program") : Describe(err));
      return static_cast<uint32_t>(err);
    }
    // A block device without the floppy ioctls may be a USB floppy drive.
    floppy_drive_name name{};
    if (ioctl(fd_, FDGETDRVTYP, name) != 0) {
      SgioTransport drive(fd_);
      const ufi::DriveReport report = ufi::IdentifyDrive(drive);
      ufi_ = report.kind == ufi::DriveKind::kFloppy144;
      readOnly_ = readOnly_ || (ufi_ && report.writeProtected);
    }
    return 0;
  } else {
    openError_ = path_ + " is neither an image file nor a block device";
    return ENODEV;
  }
  if (fd_ < 0) {
    const int err = errno;
    openError_ =
        path_ + ": " + (err == EBUSY ? std::string("in use by another program") : Describe(err));
    return static_cast<uint32_t>(err);
  }
  return 0;
}

void PosixDevice::Close() {
  if (fd_ < 0) return;
  EndFormatting();
  if (lockDepth_ > 0 && !block_) flock(fd_, LOCK_UN);
  lockDepth_ = 0;
  close(fd_);
  fd_ = -1;
}

int PosixDevice::Flush() {
  if (fd_ < 0) return 0;
  EndFormatting();
  // The sectors and what is needed to read them back (holes punched included); the file's
  // times may follow later.
  return fdatasync(fd_) == 0 ? 0 : errno;
}

void PosixDevice::EndFormatting() {
  if (formatting_ && fd_ >= 0) ioctl(fd_, FDFMTEND);
  formatting_ = false;
}

uint16_t PosixDevice::TransferErrorCode(int err, bool write) {
  switch (err) {
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
      return kDiskNotReady;
    case EROFS:
    case EACCES:
    case EPERM:
    case EBADF:
      return write ? kDiskWriteProtected : kDiskGeneralFailure;
    case EINVAL:
      return kDiskSectorNotFound;
    default:
      break;
  }
  if (ufi_) {
    // The block layer only says "I/O error": the drive's sense data says why.
    SgioTransport drive(fd_);
    uint8_t header[8] = {};
    const ufi::CommandResult ready = drive.Execute(ufi::TestUnitReady(), nullptr, 0, true);
    if (ready.delivered && !ready.good) {
      const uint16_t code =
          ufi::StatusOfSense(ready.sense, write ? ufi::Operation::kWrite : ufi::Operation::kRead);
      if (code != kDiskGeneralFailure) return code;
    }
    const ufi::CommandResult mode = drive.Execute(ufi::ModeSense(0x3F, 8), header, 8, true);
    if (write && mode.good && ufi::DecodeWriteProtected(header, mode.received))
      return kDiskWriteProtected;
  } else if (block_) {
    // The floppy driver reports most trouble as an I/O error; the drive's state tells which.
    floppy_drive_struct state{};
    if (ioctl(fd_, FDPOLLDRVSTAT, &state) == 0) {
      if (state.flags & FD_DISK_CHANGED) return kDiskNotReady;
      if (write && !(state.flags & FD_DISK_WRITABLE)) return kDiskWriteProtected;
    }
  }
  return kDiskGeneralFailure;
}

DeviceResult PosixDevice::Transfer(uint32_t sector, uint8_t* in, const uint8_t* out) {
  const bool write = out != nullptr;
  if (fd_ < 0) return DeviceResult::Failure(kDiskNotReady);
  if (sector >= (block_ ? kTotalSectors : layout_.sectors))
    return DeviceResult::Failure(kDiskSectorNotFound);
  EndFormatting();
  ReopenIfNoDisk();
  if (fd_ < 0) return DeviceResult::Failure(kDiskNotReady);
  if (write && readOnly_) return DeviceResult::Failure(kDiskWriteProtected);
  const auto offset = static_cast<off_t>(sector) * kSectorSize +
                      static_cast<off_t>(block_ ? 0 : layout_.dataOffset);
  uint8_t* buffer = block_ && aligned_ ? aligned_ : (write ? const_cast<uint8_t*>(out) : in);
  if (write && buffer != out) std::memcpy(buffer, out, kSectorSize);
  ssize_t n;
  do {
    n = write ? pwrite(fd_, buffer, kSectorSize, offset) : pread(fd_, buffer, kSectorSize, offset);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return DeviceResult::Failure(TransferErrorCode(errno, write));
  // A short transfer ran off the end of the medium.
  if (n != static_cast<ssize_t>(kSectorSize)) return DeviceResult::Failure(kDiskSectorNotFound);
  if (!write && buffer != in) std::memcpy(in, buffer, kSectorSize);
  ++(write ? writes_ : reads_);
  if (write) bytesWritten_ += kSectorSize;
  return DeviceResult::Success();
}

DeviceResult PosixDevice::ReadSector(uint8_t, uint32_t sector, uint8_t* buffer) {
  return Transfer(sector, buffer, nullptr);
}

DeviceResult PosixDevice::WriteSector(uint8_t, uint32_t sector, const uint8_t* buffer) {
  return Transfer(sector, nullptr, buffer);
}

DeviceResult PosixDevice::ZeroSectors(uint8_t drive, uint32_t first, uint32_t count) {
  if (block_ || fd_ < 0 || readOnly_ || first > layout_.sectors || count > layout_.sectors - first)
    return DiskDeviceBinding::ZeroSectors(drive, first, count);
  // An image gets a hole where the sectors were: they read as zeros and nothing is written.
  const auto offset = static_cast<off_t>(layout_.dataOffset + uint64_t{first} * kSectorSize);
  const auto length = static_cast<off_t>(uint64_t{count} * kSectorSize);
  if (count == 0) return DeviceResult::Success();
  EndFormatting();
  if (fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, offset, length) == 0) {
    sectorsCleared_ += count;
    return DeviceResult::Success();
  }
  return DiskDeviceBinding::ZeroSectors(drive, first, count);
}

void PosixDevice::CountTrack(uint32_t sectors) {
  // A track format writes every sector of the track.
  writes_ += sectors;
  bytesWritten_ += uint64_t{sectors} * kSectorSize;
  ++tracksFormatted_;
}

DeviceResult PosixDevice::WriteSectors(uint8_t drive, uint32_t first, uint32_t count,
                                       const uint8_t* buffer) {
  // A drive takes aligned, one-sector transfers; an image takes the run in one call.
  if (block_ || fd_ < 0 || readOnly_ || first > layout_.sectors || count > layout_.sectors - first)
    return DiskDeviceBinding::WriteSectors(drive, first, count, buffer);
  EndFormatting();
  const size_t bytes = size_t{count} * kSectorSize;
  auto offset = static_cast<off_t>(layout_.dataOffset + uint64_t{first} * kSectorSize);
  for (size_t done = 0; done < bytes;) {
    const ssize_t n = pwrite(fd_, buffer + done, bytes - done, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return DeviceResult::Failure(TransferErrorCode(errno, true));
    if (n == 0) return DeviceResult::Failure(kDiskSectorNotFound);
    done += static_cast<size_t>(n);
    offset += n;
  }
  writes_ += count;
  bytesWritten_ += bytes;
  return DeviceResult::Success();
}

DeviceResult PosixDevice::FormatTrack(uint8_t, uint16_t head, uint16_t cylinder) {
  if (fd_ < 0) return DeviceResult::Failure(kDiskNoDisk);
  if (head >= kHeads || cylinder >= kCylinders) return DeviceResult::Failure(kDiskGeneralFailure);
  if (ufi_) {
    ReopenIfNoDisk();
    if (fd_ < 0) return DeviceResult::Failure(kDiskNoDisk);
    // "Denied" makes the dialog look at the disk and offer Retry, as for any UFI failure.
    if (readOnly_) return DeviceResult::Failure(kDiskAccessDenied);
    SgioTransport drive(fd_);
    const DiskStatus status = ufi::FormatTrack(drive, head, cylinder);
    if (status != kDiskOk) return DeviceResult::Failure(status);
    CountTrack(kSectorsPerTrack);
    return DeviceResult::Success();
  }
  if (readOnly_) return DeviceResult::Failure(kDiskTrackWriteProtected);
  if (!block_) {
    // An image has no low-level format: the track's sectors get the filler a real format
    // leaves. A floppy size has 160 equal tracks.
    if (!layout_.tracks || !FindFloppyMedium(layout_.sectors)) return DeviceResult::Success();
    const uint32_t perTrack = layout_.sectors / kFloppyTracks;
    uint8_t track[kSectorsPerTrack * 2 * kSectorSize];
    std::memset(track, kFormatFiller, sizeof track);
    const size_t bytes = size_t{perTrack} * kSectorSize;
    const auto offset =
        static_cast<off_t>(layout_.dataOffset +
                           uint64_t{(uint32_t{cylinder} * kHeads + head) * perTrack} * kSectorSize);
    if (pwrite(fd_, track, bytes, offset) != static_cast<ssize_t>(bytes))
      return DeviceResult::Failure(kDiskGeneralFailure);
    CountTrack(perTrack);
    return DeviceResult::Success();
  }
  if (!formatting_) {
    if (IoctlRetried(fd_, FDFMTBEG) != 0) return DeviceResult::Failure(kDiskGeneralFailure);
    formatting_ = true;
  }
  format_descr track{};
  track.head = head;
  track.track = cylinder;
  if (IoctlRetried(fd_, FDFMTTRK, &track) == 0) {
    CountTrack(kSectorsPerTrack);
    return DeviceResult::Success();
  }
  switch (errno) {
    case EROFS:
      return DeviceResult::Failure(kDiskTrackWriteProtected);
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
      return DeviceResult::Failure(kDiskNoDisk);
    case EBUSY:
      return DeviceResult::Failure(kDiskSharingViolation);
    case ENOTTY:
      return DeviceResult::Failure(kDiskInvalidDrive);
    default:
      break;
  }
  floppy_drive_struct state{};
  if (ioctl(fd_, FDPOLLDRVSTAT, &state) == 0) {
    if (state.flags & FD_DISK_CHANGED) return DeviceResult::Failure(kDiskNoDisk);
    if (!(state.flags & FD_DISK_WRITABLE)) return DeviceResult::Failure(kDiskTrackWriteProtected);
  }
  return DeviceResult::Failure(kDiskGeneralFailure);
}

DeviceResult PosixDevice::GetDeviceParams(uint8_t, DeviceParams& params) {
  if (fd_ < 0) return DeviceResult::Failure(kDiskInvalidDrive);
  uint8_t type = DeviceParams::kType144;
  uint16_t cylinders = kCylinders, perTrack = kSectorsPerTrack;
  uint16_t total = static_cast<uint16_t>(kTotalSectors);
  if (block_ && !ufi_) {
    floppy_drive_params drive{};
    // A block device that does not answer the floppy ioctls is a drive of no floppy type.
    type = ioctl(fd_, FDGETDRVPRM, &drive) == 0 ? DeviceTypeOfCmos(drive.cmos) : 0xFF;
    if (type != 0xFF) cylinders = static_cast<uint16_t>(drive.tracks);
    floppy_struct medium{};
    if (ioctl(fd_, FDGETPRM, &medium) == 0) {
      perTrack = static_cast<uint16_t>(medium.sect);
      total = static_cast<uint16_t>(medium.size);
    }
  }
  params.bytes[DeviceParams::kDeviceType] = type;
  params.set16(DeviceParams::kCylinders, cylinders);
  params.set16(DeviceParams::kBytesPerSector, static_cast<uint16_t>(kSectorSize));
  params.bytes[DeviceParams::kSectorsPerCluster] = 1;
  params.set16(DeviceParams::kTotalSectors, total);
  params.set16(DeviceParams::kSectorsPerTrack, perTrack);
  return DeviceResult::Success();
}

DeviceResult PosixDevice::SetDeviceParams(uint8_t, const DeviceParams& params) {
  if (fd_ < 0) return DeviceResult::Failure(kDiskInvalidDrive);
  // The one medium there is: anything else is refused rather than half set.
  if (params.deviceType() != DeviceParams::kType144 || params.cylinders() != kCylinders ||
      params.bytesPerSector() != kSectorSize || params.totalSectors() != kTotalSectors ||
      params.sectorsPerTrack() != kSectorsPerTrack)
    return DeviceResult::Failure(kDiskGeneralFailure);
  // A USB drive is told the capacity with each track it formats.
  if (!block_ || ufi_) return DeviceResult::Success();
  // The kernel's own description of the 3.5-inch 1.44 MB medium.
  floppy_struct medium{};
  medium.size = kTotalSectors;
  medium.sect = kSectorsPerTrack;
  medium.head = kHeads;
  medium.track = kCylinders;
  medium.stretch = 0;
  medium.gap = 0x1B;
  medium.rate = 0x00;
  medium.spec1 = 0xCF;
  medium.fmt_gap = 0x6C;
  if (ioctl(fd_, FDSETPRM, &medium) == 0) return DeviceResult::Success();
  return DeviceResult::Failure(errno == EBUSY ? kDiskSharingViolation : kDiskGeneralFailure);
}

DeviceResult PosixDevice::LockLogicalVolume(uint8_t, uint8_t, uint16_t) {
  if (fd_ < 0) return DeviceResult::Failure(kDiskInvalidDrive);
  if (block_) {
    // The exclusive open holds the drive; a mount made since is still a refusal.
    struct stat st {};
    std::string where;
    if (fstat(fd_, &st) == 0 && FindMount(st.st_rdev, where))
      return DeviceResult::Failure(kDiskSharingViolation);
  } else if (lockDepth_ == 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    return DeviceResult::Failure(kDiskSharingViolation);
  }
  ++lockDepth_;
  return DeviceResult::Success();
}

DeviceResult PosixDevice::UnlockLogicalVolume(uint8_t) {
  if (fd_ < 0) return DeviceResult::Failure(kDiskInvalidDrive);
  if (lockDepth_ == 0) return DeviceResult::Failure(kDiskGeneralFailure);
  if (--lockDepth_ == 0 && !block_) flock(fd_, LOCK_UN);
  return DeviceResult::Success();
}

void PosixDevice::SearchRoot(const char*) {}

uint32_t PosixDevice::QueryVolumeLabel(const char*, char* label, size_t labelSize) {
  // No mounted volume to ask: the caller reads the boot sector itself.
  if (labelSize) label[0] = '\0';
  return ENOSYS;
}

}  // namespace brind
