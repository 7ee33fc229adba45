#include "disk/posix/DiskCopyImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "disk/DiskStatus.h"

namespace brind {

namespace {

bool ReadAll(int fd, uint8_t* buffer, size_t size, uint64_t offset) {
  while (size > 0) {
    const ssize_t n = pread(fd, buffer, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buffer += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

bool SumsOf(int fd, const DiskCopyHeader& h, DiskCopySums& sums) {
  std::vector<uint8_t> buffer(h.dataSize + h.tagSize);
  if (!ReadAll(fd, buffer.data(), buffer.size(), kDiskCopyHeaderSize)) return false;
  sums = SumDiskCopyImage(buffer.data(), h);
  return true;
}

}  // namespace

bool ReadDiskCopyImage(const std::string& path, DiskCopyHeader& header) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  uint8_t bytes[kDiskCopyHeaderSize];
  struct stat st {};
  const bool ok = fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof bytes) &&
                  ReadAll(fd, bytes, sizeof bytes, 0) &&
                  IsUsableDiskCopyFile(bytes, static_cast<uint64_t>(st.st_size), header);
  close(fd);
  return ok;
}

ImageLayout DiskCopyLayout(const DiskCopyHeader& header) {
  return {kDiskCopyHeaderSize, header.dataSize / kSectorSize,
          kDiskCopyHeaderSize + uint64_t{header.dataSize} + header.tagSize};
}

bool CreateDiskCopyImage(const std::string& path, uint32_t sectors, std::string& error) {
  DiskCopyHeader header;
  if (!MakeDiskCopyHeader(sectors, header)) {
    error = "a DiskCopy 4.2 image holds only a 400K, 720K, 800K or 1440K disk";
    return false;
  }
  if (!CreateImage(path, DiskCopyLayout(header).fileBytes, error)) return false;
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  const auto bytes = EncodeDiskCopyHeader(header);  // zero sectors sum to zero
  const bool ok =
      fd >= 0 && pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
  if (!ok) error = std::strerror(errno);
  if (fd >= 0) close(fd);
  if (!ok) unlink(path.c_str());
  return ok;
}

bool ComputeDiskCopySums(const std::string& path, const DiskCopyHeader& header, DiskCopySums& sums,
                         std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool ok = fd >= 0 && SumsOf(fd, header, sums);
  if (!ok) error = fd < 0 ? std::strerror(errno) : "the image is shorter than its header says";
  if (fd >= 0) close(fd);
  return ok;
}

int SealDiskCopyImage(const std::string& path, const std::string& name, std::string& error) {
  DiskCopyHeader header;
  if (!ReadDiskCopyImage(path, header)) {
    error = "no longer a DiskCopy 4.2 image";
    return EINVAL;
  }
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return errno;
  }
  DiskCopySums sums;
  int err = 0;
  if (!SumsOf(fd, header, sums)) {
    err = EIO;
  } else {
    header.name = name.substr(0, kDiskCopyMaxName);
    header.dataChecksum = sums.data;
    header.tagChecksum = sums.tag;
    const auto bytes = EncodeDiskCopyHeader(header);
    if (pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()) ||
        fsync(fd) != 0)
      err = errno ? errno : EIO;
  }
  if (err) error = std::strerror(err);
  close(fd);
  return err;
}

}  // namespace brind
