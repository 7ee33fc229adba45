// brindlewood-check: checks a classic HFS volume (an image, a device, or every HFS partition of
// a disk with an Apple partition map) and changes nothing. Exit status as fsck's.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "cli/CommandLineParse.h"
#include "cli/FileSource.h"
#include "cli/MacRoman.h"
#include "common/PrintableText.h"
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
image (its header and its data and tag checksums are checked too, then the disk
inside it), or a disk with an Apple partition map, whose Apple_HFS partitions
are each checked. An HFS Plus volume (or an HFS wrapper around one) is named
and not checked.

A hybrid ISO 9660/HFS disc is checked for what HFS requires of it; the blocks
its ISO 9660 side uses and its missing alternate MDB are legal there.

Each finding says where it is and what was expected; a summary line ends each
volume, counting every finding above it. Names from the disk are printed with
control characters as \xNN. An ERROR puts data at risk (blocks
that two files claim or that the bitmap leaves free, broken B-trees, records
that contradict each other). A WARNING wastes space or departs from habit but
loses nothing (blocks marked in use that no file claims, a volume not
unmounted cleanly). Nothing is ever corrected: the checker only reads. With
-v, NOTE lines tell what is legal but unusual (free B-tree nodes that still
hold old bytes) and change no exit status.

Exit status: 0 no errors or warnings, 1 warnings only (nothing was changed or
corrected), 4 errors, 8 operational error (unreadable, not HFS, HFS Plus, out
of memory), 16 usage.)";

using cli::FileSource;

// A name from the disk as the user reads it, with no control byte reaching the terminal.
std::string NameText(std::string_view mac) { return PrintableUtf8(cli::MacToUtf8(mac)); }

struct Options {
  bool quiet = false, verbose = false;
  std::string target;
};

void PrintFindings(const std::vector<Finding>& findings, const Options& opt) {
  if (opt.quiet) return;
  for (const Finding& f : findings) {
    if (f.severity == Severity::kNote && !opt.verbose) continue;
    const char* tag = f.severity == Severity::kError     ? "ERROR  "
                      : f.severity == Severity::kWarning ? "WARNING"
                                                         : "NOTE   ";
    std::printf("%s %s: %s\n", tag, f.where.c_str(), f.what.c_str());
  }
}

// Checks the volume in source; `container` holds what was found around it (the DiskCopy
// header and checksums, the partition map), counted with the volume's own findings.
int CheckOne(ByteSource& source, const std::string& label, const Options& opt,
             std::vector<Finding> container = {}) {
  CheckOptions check;
  check.listTree = opt.verbose;
  check.nameText = NameText;
  CheckResult r = CheckVolume(source, check);
  r.findings.insert(r.findings.begin(), container.begin(), container.end());
  if (r.kind != VolumeKind::kHfs) {
    std::string why = VolumeKindName(r.kind);
    if (r.kind == VolumeKind::kHfsPlus || r.kind == VolumeKind::kHfsWrapper)
      why += "; only classic HFS is checked";
    if (r.findings.size() > container.size())
      why += " (" + r.findings[container.size()].where + ": " + r.findings[container.size()].what +
             ")";
    PrintFindings(container, opt);
    std::printf("%s: %s\n", label.c_str(), why.c_str());
    return r.ExitStatus() | (container.empty() ? 0 : 4);
  }
  const std::string name = NameText(r.summary.volumeName);
  if (!opt.quiet) {
    std::printf("%s: HFS volume \"%s\", %u blocks of %u bytes%s\n", label.c_str(), name.c_str(),
                r.summary.totalBlocks, r.summary.blockSize,
                r.summary.hybridIso ? " (the HFS side of a hybrid ISO 9660 disc)" : "");
    PrintFindings(r.findings, opt);
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

std::string Hex8(uint32_t v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

// The image's header and checksums against its bytes, then the volume inside it.
int CheckDiskCopy(ByteSource& file, const DiskCopyHeader& h, const Options& opt) {
  std::vector<uint8_t> bytes(size_t{h.dataSize} + h.tagSize);
  uint8_t header[kDiskCopyHeaderSize];
  if (!file.Read(0, header, sizeof header) ||
      !file.Read(kDiskCopyHeaderSize, bytes.data(), bytes.size())) {
    std::printf("%s: the DiskCopy image cannot be read\n", opt.target.c_str());
    return kOperational;
  }
  std::vector<Finding> found;
  for (const std::string& problem : DiskCopyHeaderProblems(header, file.Size()))
    found.push_back({Severity::kError, "DiskCopy header", problem});
  const DiskCopySums sums = SumDiskCopyImage(bytes.data(), h);
  for (const auto& [what, stored, actual] :
       {std::tuple{"data", h.dataChecksum, sums.data}, std::tuple{"tag", h.tagChecksum, sums.tag}})
    if (stored != actual)
      found.push_back({Severity::kError, "DiskCopy header",
                       std::string("the ") + what + " checksum is " + Hex8(stored) +
                           ", the image's " + what + " sums to " + Hex8(actual)});
  const std::string label = opt.target + " (DiskCopy 4.2 \"" + NameText(h.name) + "\")";
  SliceSource disk(file, kDiskCopyHeaderSize, h.dataSize);
  return CheckOne(disk, label, opt, std::move(found));
}

// A file with no HFS volume at its start but a DiskCopy header this program cannot use (a
// truncated or padded image, a damaged header): says what is wrong with the header, then checks
// the volume behind it, if there is one. False when the file does not look like DiskCopy.
bool ExplainDiskCopy(ByteSource& file, const Options& opt, int& status) {
  uint8_t header[kDiskCopyHeaderSize], sig[2];
  const uint64_t mdbAt = uint64_t{kMdbSector} * kHfsSectorSize;
  if (!file.Read(0, header, sizeof header)) return false;
  if (file.Read(mdbAt, sig, 2) && GetU16BE(sig) == kHfsSigWord) return false;
  DiskCopyHeader h;
  DecodeDiskCopyHeader(header, h);  // the fields, whether or not they are usable
  const bool volumeBehind =
      file.Read(kDiskCopyHeaderSize + mdbAt, sig, 2) && GetU16BE(sig) == kHfsSigWord;
  if (!volumeBehind && h.privateWord != kDiskCopyPrivate) return false;
  std::vector<Finding> found;
  for (const std::string& problem : DiskCopyHeaderProblems(header, file.Size()))
    found.push_back({Severity::kError, "DiskCopy header", problem});
  if (found.empty()) return false;
  const std::string label = opt.target + " (a DiskCopy 4.2 image whose header is wrong)";
  SliceSource disk(file, kDiskCopyHeaderSize,
                   std::min<uint64_t>(h.dataSize, file.Size() - kDiskCopyHeaderSize));
  status = CheckOne(disk, label, opt, std::move(found));
  return true;
}

int Run(const Options& opt) {
  // Not blocking: opening a FIFO must not wait for a writer before it can be refused.
  const int fd = open(opt.target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, opt.target.c_str(), std::strerror(errno));
    return kOperational;
  }
  struct stat st {};
  const bool usable = fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) &&
                      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
  const off_t end = usable ? lseek(fd, 0, SEEK_END) : -1;
  if (end < 0) {
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
    const auto problems = PartitionProblems(partitions, file.Size());
    for (size_t i = 0; i < partitions.size(); ++i) {
      const Partition& p = partitions[i];
      if (p.type != "Apple_HFS") continue;
      ++checked;
      SliceSource slice(file, p.offset, p.size);
      const std::string label =
          opt.target + " partition " + std::to_string(p.entry) + " \"" + NameText(p.name) + "\"";
      std::vector<Finding> found;
      for (const std::string& problem : problems[i])
        found.push_back(
            {Severity::kError, "partition map entry " + std::to_string(p.entry), problem});
      status |= CheckOne(slice, label, opt, std::move(found));
    }
    if (checked == 0) {
      std::printf("%s: an Apple partition map with no Apple_HFS partition\n", opt.target.c_str());
      status = kOperational;
    }
  } else if (DiskCopyHeader header; ReadDiskCopy(file, header)) {
    status = CheckDiskCopy(file, header, opt);
  } else if (ExplainDiskCopy(file, opt, status)) {
    // said what is wrong with the header
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
  if (const auto status = brind::cli::ParseOrExit(app, argc, argv, kUsage)) return *status;
  if (opt.quiet && opt.verbose) {
    std::fprintf(stderr, "%s: -q and -v exclude each other\n", kProgram);
    return kUsage;
  }
  try {
    return Run(opt);
  } catch (const std::bad_alloc&) {
    // Every allocation is bounded by the target's size, so this is a machine with too little.
    std::fprintf(stderr, "%s: %s: not enough memory to check it\n", kProgram, opt.target.c_str());
  } catch (const std::length_error&) {
    std::fprintf(stderr, "%s: %s: not enough memory to check it\n", kProgram, opt.target.c_str());
  }
  return kOperational;
}
