// Any bytes as the start of a 1.44 MB disk, extracted into a scratch folder: whatever the
// catalog names, nothing is written beside that folder, and only folders and plain files are
// written inside it.
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Extract.h"
#include "hfs/ByteSource.h"
#include "hfs/VolumeReader.h"

namespace {

// Removes what fd holds, checking that it is only folders and plain files.
void Empty(int fd) {
  DIR* d = fdopendir(dup(fd));
  if (d == nullptr) __builtin_trap();
  std::vector<std::string> names;
  for (dirent* e; (e = readdir(d)) != nullptr;)
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.push_back(e->d_name);
  closedir(d);
  for (const std::string& name : names) {
    struct stat st {};
    if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) __builtin_trap();
    if (S_ISDIR(st.st_mode)) {
      const int sub = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
      if (sub < 0) __builtin_trap();
      Empty(sub);
      close(sub);
      if (unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0) __builtin_trap();
    } else if (S_ISREG(st.st_mode)) {
      if (unlinkat(fd, name.c_str(), 0) != 0) __builtin_trap();
    } else {
      __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kDisk = 2880 * 512;
  static char scratch[] = "/tmp/brind-extract-fuzz-XXXXXX";
  static const bool made = [] {
    if (mkdtemp(scratch) == nullptr) __builtin_trap();
    std::atexit([] { rmdir(scratch); });
    return true;
  }();
  (void)made;
  static const int scratchFd = open(scratch, O_RDONLY | O_DIRECTORY);
  // The first byte: bit 0 picks MacBinary files, bit 1 a disk cut short.
  if (size < 1) return 0;
  const size_t diskSize = data[0] & 2 ? std::min<size_t>(size - 1, kDisk) : kDisk;
  static std::vector<uint8_t> disk;
  disk.assign(diskSize, 0);
  std::memcpy(disk.data(), data + 1, std::min(size - 1, diskSize));
  if (diskSize == kDisk) std::memcpy(&disk[kDisk - 1024], &disk[1024], 512);
  brind::MemorySource source(disk.data(), disk.size());
  brind::Findings findings;
  brind::VolumeReader reader(source, findings);
  if (!reader.Open()) return 0;
  reader.LoadExtentsTree();
  if (!reader.LoadCatalog()) return 0;
  if (mkdirat(scratchFd, "out", 0700) != 0) __builtin_trap();
  const int out = openat(scratchFd, "out", O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (out < 0) __builtin_trap();
  brind::cli::ExtractOptions options;
  options.macbinary = data[0] & 1;
  brind::cli::ExtractTree(reader, out, options, findings);
  Empty(out);
  close(out);
  if (unlinkat(scratchFd, "out", AT_REMOVEDIR) != 0) __builtin_trap();
  // The scratch folder is empty again: nothing was written beside "out".
  DIR* d = fdopendir(dup(scratchFd));
  if (d == nullptr) __builtin_trap();
  rewinddir(d);
  for (dirent* e; (e = readdir(d)) != nullptr;)
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) __builtin_trap();
  closedir(d);
  return 0;
}
