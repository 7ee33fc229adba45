// What is already on a target, as libblkid (the library behind blkid and the mkfs tools) finds
// it: a file system, a partition table or other known data, so that nothing the format dialog
// does not recognise itself is overwritten without a word.
#pragma once

#include <cstdint>
#include <string>

namespace brind {

struct ContentFound {
  std::string type;   // libblkid's TYPE or PTTYPE ("ext2", "iso9660", "dos", ...); empty: nothing
  std::string label;  // the volume label, if it has one
  bool partitionTable = false;
  bool ambiguous = false;  // more than one signature
};

// Probes `size` bytes from `offset` on the descriptor the caller holds (an image, the sectors
// inside a DiskCopy image, a drive), read-only, in this process. Nothing found, or a target
// that cannot be read (a drive without a disk), gives an empty type.
ContentFound ProbeContent(int fd, uint64_t offset, uint64_t size);

// "an ext2 file system labelled "docs"", "a DOS partition table", ...
std::string DescribeContent(const ContentFound& found);

}  // namespace brind
