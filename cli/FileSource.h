// A target (image file or block device) as a ByteSource, for the tools that read volumes.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "hfs/ByteSource.h"

namespace brind::cli {

// The whole target through pread; the size of a block device comes from seeking to its end.
class FileSource : public ByteSource {
 public:
  explicit FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, uint8_t* out, size_t n) override {
    if (offset > size_ || n > size_ - offset) return false;
    while (n > 0) {
      const ssize_t got = pread(fd_, out, n, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      out += got;
      offset += static_cast<uint64_t>(got);
      n -= static_cast<size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  uint64_t size_;
};

}  // namespace brind::cli
