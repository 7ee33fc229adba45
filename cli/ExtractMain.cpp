// brindlewood-extract: copies the tree of a classic HFS volume (an image, a DiskCopy image, a
// partition of a disk, a drive) into a new Linux folder. Exit status as brindlewood-check's.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/CommandLineParse.h"
#include "cli/Extract.h"
#include "cli/FileSource.h"
#include "disk/DiskCopy.h"
#include "hfs/ByteSource.h"
#include "hfs/PartitionMap.h"
#include "hfs/VolumeReader.h"

namespace {

using namespace brind;
using cli::LinuxName;

constexpr const char* kProgram = "brindlewood-extract";

constexpr int kUsage = 16;
constexpr int kNotDone = 8;
constexpr int kErrors = 4;
constexpr int kWarnings = 1;

constexpr const char* kFooter =
    R"(Copies the folders and files of a classic Macintosh HFS volume into DIR, a
new folder (or an empty one): each file's data fork as a file, its resource fork
and Finder information (type, creator, flags) in an AppleDouble file "._NAME"
beside it; with --macbinary, each file as one MacBinary III file "NAME.bin".
Files and folders keep their modification times: HFS keeps local wall-clock
time, taken here in this machine's time zone (TZ). Names are converted from the
Macintosh character set to UTF-8, "/" in a Macintosh name becomes ":", and
control characters, ":", "." and ".." are written as \xNN (and a "\" that
would read as such an escape).

TARGET is an image file or a block device holding one volume, a DiskCopy 4.2
image, or a disk with an Apple partition map (the first Apple_HFS partition, or
--partition N). The volume is read, never written; nothing is written outside
DIR and nothing in it is replaced. A damaged volume gives what can be read; each
file or folder that could not be read or written is named.

Exit status: 0 all extracted, 1 warnings only, 4 errors (something not
extracted, or extracted in part), 8 nothing extracted (unreadable, not HFS, HFS
Plus, DIR not usable), 16 usage.)";

struct Options {
  bool quiet = false, verbose = false, macbinary = false;
  int partition = 0;  // 0: the first Apple_HFS partition
  std::string target, dir;
};

// Shows a name from the disk: as it is written in DIR, quoted.
std::string Shown(std::string_view mac) { return "\"" + LinuxName(mac) + "\""; }
std::string NameText(std::string_view mac) { return LinuxName(mac); }

// DIR, created, or an empty folder that is there already; never through a link. -1 when it
// cannot be used, said why.
int OpenDir(const std::string& dir) {
  std::string path = dir;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const bool created = mkdir(path.c_str(), 0777) == 0;
  if (!created && errno != EEXIST) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, dir.c_str(), std::strerror(errno));
    return -1;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    std::fprintf(
        stderr,
        "%s: %s: is there already and is not a folder (a link is not followed); nothing written\n",
        kProgram, dir.c_str());
    return -1;
  }
  if (!created) {
    DIR* d = fdopendir(dup(fd));
    bool empty = d != nullptr;
    for (dirent* ent; d != nullptr && (ent = readdir(d)) != nullptr;)
      if (std::strcmp(ent->d_name, ".") != 0 && std::strcmp(ent->d_name, "..") != 0) empty = false;
    if (d != nullptr) closedir(d);
    if (!empty) {
      std::fprintf(stderr, "%s: %s: is a folder that is not empty; nothing written\n", kProgram,
                   dir.c_str());
      close(fd);
      return -1;
    }
  }
  return fd;
}

int Extract(ByteSource& source, const std::string& label, const Options& opt) {
  Findings findings(NameText);
  VolumeReader reader(source, findings);
  auto say = [&](const std::string& why) {
    std::printf("%s: %s; nothing extracted\n", label.c_str(), why.c_str());
    return kNotDone;
  };
  if (!reader.Open()) {
    std::vector<Finding> list = findings.Take();
    std::string why = VolumeKindName(reader.Mdb().kind);
    if (!list.empty()) why += " (" + list.front().where + ": " + list.front().what + ")";
    return say(why);
  }
  reader.LoadExtentsTree();
  if (!reader.LoadCatalog()) {
    std::string why = "the catalog cannot be read";
    for (const Finding& f : findings.Take()) why += "\n  " + f.where + ": " + f.what;
    return say(why);
  }
  const CatalogEntry* root = reader.GetCatalog().Find(cnid::kRootFolder);
  if (root == nullptr || !root->folder) {
    std::string why = "there is no root folder (ID 2)";
    if (!opt.quiet)
      for (const Finding& f : findings.Take()) why += "\n  " + f.where + ": " + f.what;
    return say(why);
  }
  const int dirFd = OpenDir(opt.dir);
  if (dirFd < 0) return kNotDone;
  cli::ExtractOptions options;
  options.macbinary = opt.macbinary;
  options.list = opt.verbose;
  const cli::ExtractResult r = cli::ExtractTree(reader, dirFd, options, findings);
  close(dirFd);
  const size_t errors = findings.Total(Severity::kError);
  const size_t warnings = findings.Total(Severity::kWarning);
  const std::vector<Finding> list = findings.Take();
  const std::string name = Shown(reader.Mdb().name);
  if (!opt.quiet) {
    std::printf("%s: HFS volume %s, %u blocks of %u bytes\n", label.c_str(), name.c_str(),
                reader.Mdb().blocks, reader.Mdb().blockSize);
    for (const Finding& f : list)
      if (f.severity != Severity::kNote)
        std::printf("%s %s: %s\n", f.severity == Severity::kError ? "ERROR  " : "WARNING",
                    f.where.c_str(), f.what.c_str());
    for (const std::string& line : r.listing) std::printf("  %s\n", line.c_str());
  }
  std::printf(
      "%s: %s: %u files and %u folders (%llu bytes of forks) extracted into %s; %u not "
      "extracted; %zu error(s), %zu warning(s)\n",
      label.c_str(), name.c_str(), r.files, r.folders, static_cast<unsigned long long>(r.bytes),
      opt.dir.c_str(), r.notWritten, errors, warnings);
  return errors ? kErrors : warnings ? kWarnings : 0;
}

// A DiskCopy 4.2 image: a header this program accepts and exactly the bytes it announces.
bool ReadDiskCopy(ByteSource& file, DiskCopyHeader& header) {
  uint8_t bytes[kDiskCopyHeaderSize];
  return file.Read(0, bytes, sizeof bytes) && IsUsableDiskCopyFile(bytes, file.Size(), header);
}

// The image's checksums against its bytes: a mismatch says the files may hold wrong bytes.
bool DiskCopySumsMatch(ByteSource& file, const DiskCopyHeader& h, const std::string& label) {
  std::vector<uint8_t> bytes(size_t{h.dataSize} + h.tagSize);
  if (!file.Read(kDiskCopyHeaderSize, bytes.data(), bytes.size())) return false;
  const DiskCopySums sums = SumDiskCopyImage(bytes.data(), h);
  if (sums.data == h.dataChecksum && sums.tag == h.tagChecksum) return true;
  std::printf(
      "ERROR   %s: the header's checksums are %08X and %08X, the image's data and tags "
      "sum to %08X and %08X\n",
      label.c_str(), h.dataChecksum, h.tagChecksum, sums.data, sums.tag);
  return false;
}

int Run(const Options& opt) {
  // Non-blocking, so a FIFO given as TARGET is refused rather than waited on.
  const int fd = open(opt.target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, opt.target.c_str(), std::strerror(errno));
    return kNotDone;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
    std::fprintf(stderr, "%s: %s: not an image file or a block device; nothing extracted\n",
                 kProgram, opt.target.c_str());
    close(fd);
    return kNotDone;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const off_t end = lseek(fd, 0, SEEK_END);
  cli::FileSource file(fd, end < 0 ? 0 : static_cast<uint64_t>(end));
  int status = kNotDone;
  std::vector<Partition> partitions;
  if (ReadApplePartitionMap(file, partitions)) {
    const Partition* chosen = nullptr;
    std::vector<uint32_t> hfs;
    for (const Partition& p : partitions) {
      if (p.type == "Apple_HFS") hfs.push_back(p.entry);
      if (opt.partition ? p.entry == static_cast<uint32_t>(opt.partition)
                        : chosen == nullptr && p.type == "Apple_HFS")
        chosen = &p;
    }
    if (chosen == nullptr) {
      if (opt.partition)
        std::printf("%s: the partition map has no entry %d (it has %zu); nothing extracted\n",
                    opt.target.c_str(), opt.partition, partitions.size());
      else
        std::printf("%s: an Apple partition map with no Apple_HFS partition; nothing extracted\n",
                    opt.target.c_str());
    } else if (chosen->type != "Apple_HFS") {
      std::printf("%s: partition %u is %s, not Apple_HFS; nothing extracted\n", opt.target.c_str(),
                  chosen->entry, LinuxName(chosen->type).c_str());
    } else {
      const std::string label = opt.target + " partition " + std::to_string(chosen->entry) + " \"" +
                                LinuxName(chosen->name) + "\"";
      if (hfs.size() > 1 && !opt.partition && !opt.quiet)
        std::printf(
            "%s: %zu Apple_HFS partitions; the first is extracted (--partition N for "
            "another)\n",
            opt.target.c_str(), hfs.size());
      SliceSource slice(file, chosen->offset, chosen->size);
      status = Extract(slice, label, opt);
    }
  } else if (opt.partition) {
    std::printf("%s: no Apple partition map, so no partition %d; nothing extracted\n",
                opt.target.c_str(), opt.partition);
  } else if (DiskCopyHeader h; ReadDiskCopy(file, h)) {
    const std::string label = opt.target + " (DiskCopy 4.2 \"" + LinuxName(h.name) + "\")";
    status = DiskCopySumsMatch(file, h, label) ? 0 : kErrors;
    SliceSource disk(file, kDiskCopyHeaderSize, h.dataSize);
    const int extracted = Extract(disk, label, opt);
    status = extracted == kNotDone ? kNotDone : status | extracted;
  } else {
    status = Extract(file, opt.target, opt);
  }
  close(fd);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  CLI::App app{"Copies the folders and files of a classic HFS volume into a new folder.", kProgram};
  app.footer(kFooter);
  app.add_option("--partition", opt.partition,
                 "the Apple partition map entry to extract (default: the first Apple_HFS)")
      ->check(CLI::Range(1, 1 << 30));
  app.add_flag("--macbinary", opt.macbinary,
               "write each file as one MacBinary III file NAME.bin, not NAME and ._NAME");
  app.add_flag("-q,--quiet", opt.quiet, "print only the summary line");
  app.add_flag("-v,--verbose", opt.verbose, "also list each folder and file written");
  app.add_option("TARGET", opt.target, "image file, block device or partitioned disk")->required();
  app.add_option("DIR", opt.dir, "the folder to create (or an empty one) for the volume's tree")
      ->required();
  app.set_version_flag("--version", std::string(kProgram) + " " + BRIND_VERSION);
  if (const auto status = brind::cli::ParseOrExit(app, argc, argv, kUsage)) return *status;
  if (opt.quiet && opt.verbose) {
    std::fprintf(stderr, "%s: -q and -v exclude each other\n", kProgram);
    return kUsage;
  }
  if (opt.dir.empty()) {
    std::fprintf(stderr, "%s: DIR is empty\n", kProgram);
    return kUsage;
  }
  return Run(opt);
}
