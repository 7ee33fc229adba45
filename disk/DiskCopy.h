// The DiskCopy 4.2 image: an 84-byte header (image name, data and tag sizes, their checksums,
// the disk's format) and then the sectors, with no tag bytes in the images written here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brind {

inline constexpr size_t kDiskCopyHeaderSize = 84;
inline constexpr size_t kDiskCopyMaxName = 63;
inline constexpr uint16_t kDiskCopyPrivate = 0x0100;

struct DiskCopyHeader {
  std::string name;  // Macintosh characters, at most 63
  uint32_t dataSize = 0;
  uint32_t tagSize = 0;
  uint32_t dataChecksum = 0;
  uint32_t tagChecksum = 0;
  uint8_t diskFormat = 0;
  uint8_t formatByte = 0;
  uint16_t privateWord = kDiskCopyPrivate;
};

// The header of a new image of the floppy size of `sectors` (none for other sizes).
bool MakeDiskCopyHeader(uint32_t sectors, DiskCopyHeader& header);

std::array<uint8_t, kDiskCopyHeaderSize> EncodeDiskCopyHeader(const DiskCopyHeader& header);

// Reads a header; false when the bytes are not one this program can use: a name longer than
// 63, a data size that is not one of the DiskCopy floppy sizes, an odd tag size, or a private
// word other than 0x0100.
bool DecodeDiskCopyHeader(const uint8_t* bytes, DiskCopyHeader& header);

// A DiskCopy 4.2 image file this program can use: a header it accepts and a file of exactly
// header, data and tags. The one rule for every reader of image files.
bool IsUsableDiskCopyFile(const uint8_t* headerBytes, uint64_t fileSize, DiskCopyHeader& header);

// What is wrong with a DiskCopy 4.2 header for a file of fileSize bytes, one phrase each (none
// when the file is a usable image): the name's length, the data and tag sizes against the
// DiskCopy disk sizes and the file's size, the private word, the disk format.
std::vector<std::string> DiskCopyHeaderProblems(const uint8_t* headerBytes, uint64_t fileSize);

// The checksum over the data, big-endian 16-bit words: add each, then rotate right by one bit.
// `state` carries it across pieces of even length.
uint32_t DiskCopyChecksum(const uint8_t* data, size_t size, uint32_t state = 0);
// The tag checksum leaves out the first sector's 12 tag bytes.
uint32_t DiskCopyTagChecksum(const uint8_t* tags, size_t size);

// Both checksums of an image's bytes after its header: the data, then the tags.
struct DiskCopySums {
  uint32_t data = 0;
  uint32_t tag = 0;
};
DiskCopySums SumDiskCopyImage(const uint8_t* dataAndTags, const DiskCopyHeader& header);

}  // namespace brind
