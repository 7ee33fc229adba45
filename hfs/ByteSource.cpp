#include "hfs/ByteSource.h"

#include <cstring>

namespace brind {

namespace {
bool Inside(uint64_t size, uint64_t offset, size_t n) {
  return offset <= size && n <= size - offset;
}
}  // namespace

SliceSource::SliceSource(ByteSource& base, uint64_t offset, uint64_t size)
    : base_(base), offset_(offset), size_(0) {
  const uint64_t total = base.Size();
  if (offset < total) size_ = size < total - offset ? size : total - offset;
}

bool SliceSource::Read(uint64_t offset, uint8_t* out, size_t n) {
  return Inside(size_, offset, n) && base_.Read(offset_ + offset, out, n);
}

bool MemorySource::Read(uint64_t offset, uint8_t* out, size_t n) {
  if (!Inside(size_, offset, n)) return false;
  if (n != 0) std::memcpy(out, data_ + offset, n);
  return true;
}

bool CountingSource::Read(uint64_t offset, uint8_t* out, size_t n) {
  ++reads;
  bytesRead += n;
  return base_.Read(offset, out, n);
}

}  // namespace brind
