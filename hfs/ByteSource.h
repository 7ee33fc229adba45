// Where a volume reader gets its bytes: an image file, a device, a partition of either, or (once
// the container is read) the disk inside a DiskCopy image. Every source is a window of bytes
// with a known size; a read outside it fails rather than returning short.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brind {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly n bytes at offset; false when any of them lies outside or cannot be read.
  virtual bool Read(uint64_t offset, uint8_t* out, size_t n) = 0;
};

// A window of another source: a partition, or a disk image behind a header.
class SliceSource : public ByteSource {
 public:
  // The window is cut to what the base holds, so a partition that claims to run past the end of
  // its disk reads as a shorter (truncated) volume.
  SliceSource(ByteSource& base, uint64_t offset, uint64_t size);
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, uint8_t* out, size_t n) override;

 private:
  ByteSource& base_;
  uint64_t offset_;
  uint64_t size_;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, uint8_t* out, size_t n) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// Counts what passes through, for the checker's statistics.
class CountingSource : public ByteSource {
 public:
  explicit CountingSource(ByteSource& base) : base_(base) {}
  uint64_t Size() const override { return base_.Size(); }
  bool Read(uint64_t offset, uint8_t* out, size_t n) override;
  uint64_t bytesRead = 0;
  uint64_t reads = 0;

 private:
  ByteSource& base_;
};

}  // namespace brind
