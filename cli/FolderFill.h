// A folder of the Linux file system as the tree of a new volume: read once to plan the volume
// (names, sizes, Finder information), read again while the volume is written, never outside the
// folder. Symbolic links, devices, FIFOs and sockets in it are skipped with a note; nothing is
// opened but folders and regular files, and never through a link.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "formatter/FormatController.h"
#include "formatter/FormatParts.h"
#include "hfs/TreeBuilder.h"

namespace brind::cli {

struct FolderOptions {
  bool macBinary = false;  // decode files with a valid MacBinary II or III header
  bool oneDate = false;    // every file and folder gets `date` instead of its own time
  uint32_t date = 0;
  // The target, when it is a file: never read into the volume that overwrites it.
  dev_t targetDev = 0;
  ino_t targetIno = 0;
};

// Where each entry of the tree comes from.
struct EntrySource {
  std::string name;             // as in the Linux folder
  std::string sidecar;          // "._NAME" holding its resource fork, or ""
  uint64_t dataOffset = 0;      // in the file itself (past a MacBinary header)
  uint64_t resourceOffset = 0;  // in the sidecar, or in the file for MacBinary
  bool resourceInFile = false;
  dev_t dev = 0;
  ino_t ino = 0, sidecarIno = 0;
  uint64_t size = 0, sidecarSize = 0;  // as first read
};

struct FolderTree {
  VolumeTree tree;
  std::vector<EntrySource> sources;  // one per tree entry
  // Names the volume cannot take, each "PATH: why", in the order of the folder's walk.
  std::vector<std::string> problems;
  std::vector<std::string> notes;  // what was skipped, and why
  uint64_t bytes = 0;              // of all forks
  dev_t dev = 0;                   // of the folder itself
  ino_t ino = 0;
};

// Walks dir. False with error when dir itself cannot be read as a folder.
bool ReadFolderTree(const std::string& dir, const FolderOptions& options, FolderTree& out,
                    std::string& error);

// A path inside the folder as it may be printed: control characters and bytes that are not
// UTF-8 are shown as \xHH.
std::string PrintablePath(const std::string& path);

// An HFS date (wall-clock seconds since 1904) of a Unix time, in local time or UTC.
uint32_t HfsDateOfUnixTime(int64_t seconds, bool local);

// The smallest volume that holds the planner's tree: a floppy size (only those of a DiskCopy
// image if diskCopy), then whole megabytes up to 2 GB; 0 when none does.
uint32_t SmallestVolume(const TreePlanner& planner, bool diskCopy);

// The forks, read again from the folder while the volume is written. A file that changed since
// the walk stops the fill. A nonzero *cancel stops it between two reads.
class FolderReader : public ForkReader {
 public:
  FolderReader(std::string dir, const FolderTree& tree,
               const volatile std::sig_atomic_t* cancel = nullptr);
  ~FolderReader() override;
  FolderReader(const FolderReader&) = delete;
  FolderReader& operator=(const FolderReader&) = delete;
  bool Read(size_t entry, bool resource, uint64_t offset, uint8_t* buffer, size_t length,
            std::string& error) override;

 private:
  bool OpenFolder(uint32_t folder, std::string& error);  // kNoParent: dir itself
  std::string PathOf(size_t entry, bool sidecar) const;

  std::string dir_;
  const FolderTree& tree_;
  const volatile std::sig_atomic_t* cancel_;
  int folderFd_ = -1;
  uint32_t folder_ = 0;
  int fileFd_ = -1;
  size_t fileEntry_ = 0;
  bool fileSidecar_ = false;
};

// The format's stages with the root directory's stage filling the volume with a tree.
class FillingStages : public StageRunner {
 public:
  FillingStages(uint32_t totalSectors, uint32_t date, const VolumeTree& tree, ForkReader& reader)
      : base_(totalSectors, date), totalSectors_(totalSectors), tree_(tree), reader_(reader) {}
  uint16_t RunStage(uint32_t index, SectorIo& io, uint8_t drive, const char* volumeLabel) override;
  const char* FailureMessage(uint32_t index) override;

 private:
  HfsStageRunner base_;
  uint32_t totalSectors_;
  const VolumeTree& tree_;
  ForkReader& reader_;
  std::string message_;
};

}  // namespace brind::cli
