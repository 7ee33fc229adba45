// Any bytes as the start of a 1.44 MB disk (the rest zero, the alternate MDB a copy of sector 2,
// so that mutations of the metadata reach past the first checks): the checker and the partition
// map reader stay inside their buffers and always come to an end, and so does the reader's
// reading of every file's forks. run.sh caps each allocation, so that no extent, length or count
// on the disk can make the checker hold more than the disk.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hfs/ByteSource.h"
#include "hfs/VolumeChecker.h"
#include "hfs/VolumeReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kDisk = 2880 * 512;
  // The first byte picks the disk's size, so truncated volumes are tried too.
  if (size < 1) return 0;
  const size_t diskSize = data[0] < 0x20 ? std::min<size_t>(size - 1, kDisk) : kDisk;
  static std::vector<uint8_t> disk;  // kept from run to run: no 1.44 MB allocation each time
  disk.assign(diskSize, 0);
  std::memcpy(disk.data(), data + 1, std::min(size - 1, diskSize));
  if (diskSize == kDisk) std::memcpy(&disk[kDisk - 1024], &disk[1024], 512);
  brind::MemorySource source(disk.data(), disk.size());
  brind::CheckOptions options;
  options.listTree = true;
  const brind::CheckResult r = brind::CheckVolume(source, options);
  if (r.ExitStatus() != 0 && r.ExitStatus() != 1 && r.ExitStatus() != 4 && r.ExitStatus() != 8)
    __builtin_trap();
  brind::Findings findings;
  brind::VolumeReader reader(source, findings);
  if (reader.Open() && (reader.LoadExtentsTree(), reader.LoadCatalog())) {
    uint8_t buffer[4096];
    for (const brind::CatalogEntry& e : reader.GetCatalog().entries)
      for (uint8_t fork : {brind::kDataFork, brind::kResourceFork}) {
        const uint32_t length = fork ? e.resource.logicalLength : e.data.logicalLength;
        const size_t n = std::min<size_t>(length, sizeof buffer);
        reader.ReadFork(e, fork, length - n, buffer, n);  // the sanitizers watch the bounds
        if (reader.ReadFork(e, fork, length, buffer, 1)) __builtin_trap();  // past the end
      }
  }
  std::vector<brind::Partition> partitions;
  if (brind::ReadApplePartitionMap(source, partitions))
    for (size_t i = 0; i < partitions.size() && i < 4; ++i) {
      brind::SliceSource slice(source, partitions[i].offset, partitions[i].size);
      if (slice.Size() > source.Size()) __builtin_trap();
      brind::CheckVolume(slice);
    }
  return 0;
}
