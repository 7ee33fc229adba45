#include "disk/DiskCopy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/Bytes.h"
#include "disk/DiskStatus.h"
#include "disk/FloppyMedia.h"

namespace brind {

namespace {
constexpr size_t kDataSize = 0x40;
constexpr size_t kTagSize = 0x44;
constexpr size_t kDataChecksum = 0x48;
constexpr size_t kTagChecksum = 0x4C;
constexpr size_t kDiskFormat = 0x50;
constexpr size_t kFormatByte = 0x51;
constexpr size_t kPrivate = 0x52;
}  // namespace

bool MakeDiskCopyHeader(uint32_t sectors, DiskCopyHeader& header) {
  const FloppyMedium* m = FindFloppyMedium(sectors);
  if (!m || !m->diskCopy) return false;
  header = DiskCopyHeader{};
  header.dataSize = sectors * kSectorSize;
  header.diskFormat = m->diskFormat;
  header.formatByte = m->formatByte;
  return true;
}

std::array<uint8_t, kDiskCopyHeaderSize> EncodeDiskCopyHeader(const DiskCopyHeader& h) {
  std::array<uint8_t, kDiskCopyHeaderSize> b{};
  const size_t n = h.name.size() < kDiskCopyMaxName ? h.name.size() : kDiskCopyMaxName;
  b[0] = static_cast<uint8_t>(n);
  std::memcpy(&b[1], h.name.data(), n);
  PutU32BE(&b[kDataSize], h.dataSize);
  PutU32BE(&b[kTagSize], h.tagSize);
  PutU32BE(&b[kDataChecksum], h.dataChecksum);
  PutU32BE(&b[kTagChecksum], h.tagChecksum);
  b[kDiskFormat] = h.diskFormat;
  b[kFormatByte] = h.formatByte;
  PutU16BE(&b[kPrivate], h.privateWord);
  return b;
}

bool DecodeDiskCopyHeader(const uint8_t* b, DiskCopyHeader& h) {
  // Every field is filled in, so that a header that is not usable can be explained.
  h.name.assign(reinterpret_cast<const char*>(b + 1), std::min<size_t>(b[0], kDiskCopyMaxName));
  h.dataSize = GetU32BE(b + kDataSize);
  h.tagSize = GetU32BE(b + kTagSize);
  h.dataChecksum = GetU32BE(b + kDataChecksum);
  h.tagChecksum = GetU32BE(b + kTagChecksum);
  h.diskFormat = b[kDiskFormat];
  h.formatByte = b[kFormatByte];
  h.privateWord = GetU16BE(b + kPrivate);
  const FloppyMedium* m =
      h.dataSize % kSectorSize ? nullptr : FindFloppyMedium(h.dataSize / kSectorSize);
  return b[0] <= kDiskCopyMaxName && m && m->diskCopy && h.tagSize % 2 == 0 &&
         h.tagSize <= h.dataSize && h.privateWord == kDiskCopyPrivate;
}

bool IsUsableDiskCopyFile(const uint8_t* headerBytes, uint64_t fileSize, DiskCopyHeader& header) {
  return fileSize >= kDiskCopyHeaderSize && DecodeDiskCopyHeader(headerBytes, header) &&
         fileSize == kDiskCopyHeaderSize + uint64_t{header.dataSize} + header.tagSize;
}

std::vector<std::string> DiskCopyHeaderProblems(const uint8_t* b, uint64_t fileSize) {
  std::vector<std::string> out;
  char line[160];
  auto say = [&](auto... args) {
    std::snprintf(line, sizeof line, args...);
    out.push_back(line);
  };
  const uint32_t data = GetU32BE(b + kDataSize), tags = GetU32BE(b + kTagSize);
  if (b[0] > kDiskCopyMaxName) say("its name is %u bytes long, at most 63", b[0]);
  const FloppyMedium* m = data % kSectorSize ? nullptr : FindFloppyMedium(data / kSectorSize);
  if (!m || !m->diskCopy)
    say("its data size is %u bytes, not that of a 400K, 720K, 800K or 1440K disk", data);
  if (tags % 2 != 0 || tags > data)
    say("its tag size is %u bytes, not even or over the data", tags);
  const uint64_t after = fileSize > kDiskCopyHeaderSize ? fileSize - kDiskCopyHeaderSize : 0;
  if (after != uint64_t{data} + tags)
    say("it announces %u bytes of data and %u of tags, the file holds %llu after the header", data,
        tags, static_cast<unsigned long long>(after));
  const uint16_t privateWord = GetU16BE(b + kPrivate);
  if (privateWord != kDiskCopyPrivate)
    say("its private word is 0x%04X, expected 0x0100", privateWord);
  if (b[kDiskFormat] > 3)
    say("its disk format is %u, expected 0 to 3 (400K, 800K, 720K, 1440K)", b[kDiskFormat]);
  return out;
}

uint32_t DiskCopyChecksum(const uint8_t* data, size_t size, uint32_t sum) {
  for (size_t i = 0; i + 1 < size; i += 2) {
    sum += GetU16BE(data + i);
    sum = (sum >> 1) | (sum << 31);
  }
  return sum;
}

uint32_t DiskCopyTagChecksum(const uint8_t* tags, size_t size) {
  constexpr size_t kUnsummed = 12;
  return size > kUnsummed ? DiskCopyChecksum(tags + kUnsummed, size - kUnsummed) : 0;
}

DiskCopySums SumDiskCopyImage(const uint8_t* dataAndTags, const DiskCopyHeader& h) {
  return {DiskCopyChecksum(dataAndTags, h.dataSize),
          DiskCopyTagChecksum(dataAndTags + h.dataSize, h.tagSize)};
}

}  // namespace brind
