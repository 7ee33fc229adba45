// brindlewood-check: checks a classic HFS volume (an image, a device, or every HFS partition of
// a disk with an Apple partition map) and changes nothing. Exit status as fsck's.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "cli/FileSource.h"
#include "cli/MacRoman.h"
#include "disk/DiskCopy.h"
#include "hfs/ByteSource.h"
#include "hfs/VolumeChecker.h"

namespace {

using namespace brind;

constexpr const char* kProgram = "brindlewood-check";

constexpr int kUsage = 16;
constexpr int kOperational = 8;

constexpr const char* kFooter =
    R"(Checks a classic Macintosh HFS volume, read-only: the master directory block
and its alternate, the volume bitmap against every fork's extents, both
B-trees node by node (links, heights, key order, index keys, maps, counts) and
the catalog (threads, parents, valences, names, the volume's counts).

TARGET is an image file or a block device holding one volume, a DiskCopy 4.2
image (its data and tag checksums are checked too, then the disk inside it), or
a disk with an Apple partition map, whose Apple_HFS partitions are each checked. An HFS Plus
volume (or an HFS wrapper around one) is named and not checked.

Each finding says where it is and what was expected; a summary line ends each
volume. Exit status: 0 no errors, 1 warnings only, 4 errors, 8 operational
error (unreadable, not HFS, HFS Plus), 16 usage.)";

using cli::FileSource;

std::string NameText(std::string_view mac) { return cli::MacToUtf8(mac); }

struct Options {
  bool quiet = false, verbose = false;
  std::string target;
};

int CheckOne(ByteSource& source, const std::string& label, const Options& opt) {
  CheckOptions check;
  check.listTree = opt.verbose;
  check.nameText = NameText;
  const CheckResult r = CheckVolume(source, check);
  if (r.kind != VolumeKind::kHfs) {
    std::string why = VolumeKindName(r.kind);
    if (r.kind == VolumeKind::kHfsPlus || r.kind == VolumeKind::kHfsWrapper)
      why += "; only classic HFS is checked";
    if (!r.findings.empty())
      why += " (" + r.findings.front().where + ": " + r.findings.front().what + ")";
    std::printf("%s: %s\n", label.c_str(), why.c_str());
    return r.ExitStatus();
  }
  const std::string name = cli::MacToUtf8(r.summary.volumeName);
  if (!opt.quiet) {
    std::printf("%s: HFS volume \"%s\", %u blocks of %u bytes\n", label.c_str(), name.c_str(),
                r.summary.totalBlocks, r.summary.blockSize);
    for (const Finding& f : r.findings)
      std::printf("%s %s: %s\n", f.severity == Severity::kError ? "ERROR  " : "WARNING",
                  f.where.c_str(), f.what.c_str());
    for (const std::string& line : r.tree) std::printf("  %s\n", line.c_str());
  }
  const size_t errors = r.Count(Severity::kError), warnings = r.Count(Severity::kWarning);
  std::printf(
      "%s: \"%s\": %u files, %u folders, %u blocks used, %u free; %zu error(s), %zu warning(s)\n",
      label.c_str(), name.c_str(), r.summary.files, r.summary.folders, r.summary.usedBlocks,
      r.summary.freeBlocks, errors, warnings);
  if (opt.verbose)
    std::printf("%s: read %llu bytes in %llu reads; the metadata is %llu bytes\n", label.c_str(),
                static_cast<unsigned long long>(r.summary.bytesRead),
                static_cast<unsigned long long>(r.summary.reads),
                static_cast<unsigned long long>(r.summary.metadataBytes));
  return r.ExitStatus();
}

// A DiskCopy 4.2 image: a header this program accepts and exactly the bytes it announces.
bool ReadDiskCopy(ByteSource& file, DiskCopyHeader& header) {
  uint8_t bytes[kDiskCopyHeaderSize];
  return file.Read(0, bytes, sizeof bytes) && IsUsableDiskCopyFile(bytes, file.Size(), header);
}

// The image's checksums against its bytes, then the volume inside it.
int CheckDiskCopy(ByteSource& file, const DiskCopyHeader& h, const Options& opt) {
  std::vector<uint8_t> bytes(size_t{h.dataSize} + h.tagSize);
  if (!file.Read(kDiskCopyHeaderSize, bytes.data(), bytes.size())) {
    std::printf("%s: the DiskCopy image cannot be read\n", opt.target.c_str());
    return kOperational;
  }
  const DiskCopySums sums = SumDiskCopyImage(bytes.data(), h);
  const std::string label = opt.target + " (DiskCopy 4.2 \"" + cli::MacToUtf8(h.name) + "\")";
  int status = 0;
  for (const auto& [what, stored, actual] : {std::tuple{"data", h.dataChecksum, sums.data},
                                             std::tuple{"tag", h.tagChecksum, sums.tag}}) {
    if (stored == actual) continue;
    std::printf("ERROR   %s: the header's %s checksum is %08X, the image's %s sums to %08X\n",
                label.c_str(), what, stored, what, actual);
    status = 4;
  }
  SliceSource disk(file, kDiskCopyHeaderSize, h.dataSize);
  return status | CheckOne(disk, label, opt);
}

int Run(const Options& opt) {
  const int fd = open(opt.target.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, opt.target.c_str(), std::strerror(errno));
    return kOperational;
  }
  struct stat st {};
  const off_t end = lseek(fd, 0, SEEK_END);
  if (fstat(fd, &st) != 0 || end < 0 || S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "%s: %s: not an image file or a block device\n", kProgram,
                 opt.target.c_str());
    close(fd);
    return kOperational;
  }
  FileSource file(fd, static_cast<uint64_t>(end));
  int status = 0;
  std::vector<Partition> partitions;
  if (ReadApplePartitionMap(file, partitions)) {
    int checked = 0;
    for (const Partition& p : partitions) {
      if (p.type != "Apple_HFS") continue;
      ++checked;
      SliceSource slice(file, p.offset, p.size);
      const std::string label = opt.target + " partition " + std::to_string(p.entry) + " \"" +
                                cli::MacToUtf8(p.name) + "\"";
      if (slice.Size() < p.size)
        std::printf("%s: the partition map says %llu bytes, the disk holds %llu of them\n",
                    label.c_str(), static_cast<unsigned long long>(p.size),
                    static_cast<unsigned long long>(slice.Size()));
      status |= CheckOne(slice, label, opt);
    }
    if (checked == 0) {
      std::printf("%s: an Apple partition map with no Apple_HFS partition\n", opt.target.c_str());
      status = kOperational;
    }
  } else if (DiskCopyHeader header; ReadDiskCopy(file, header)) {
    status = CheckDiskCopy(file, header, opt);
  } else {
    status = CheckOne(file, opt.target, opt);
  }
  close(fd);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  CLI::App app{"Checks a classic HFS volume without changing it.", kProgram};
  app.footer(kFooter);
  app.add_flag("-q,--quiet", opt.quiet, "print only the summary line");
  app.add_flag("-v,--verbose", opt.verbose, "also list the folders and files, and what was read");
  app.add_option("TARGET", opt.target, "image file, block device or partitioned disk")->required();
  app.set_version_flag("--version", std::string(kProgram) + " " + BRIND_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsage;
  }
  if (opt.quiet && opt.verbose) {
    std::fprintf(stderr, "%s: -q and -v exclude each other\n", kProgram);
    return kUsage;
  }
  return Run(opt);
}
