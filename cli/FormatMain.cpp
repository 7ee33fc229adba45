// brindlewood-format: formats a floppy drive, or a raw or DiskCopy 4.2 image of any HFS size, as
// an HFS volume with the same volume builder as the Windows program: empty, or filled with the
// tree of a folder (-d).
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <tuple>

#include "charmap/CharMapFile.h"
#include "cli/CharmapTool.h"
#include "cli/Cp1252.h"
#include "cli/FolderFill.h"
#include "cli/FormatOptions.h"
#include "cli/FormatRun.h"
#include "cli/Label.h"
#include "common/PrintableText.h"
#include "disk/DiskServices.h"
#include "disk/FloppyMedia.h"
#include "disk/posix/ContentProbe.h"
#include "disk/posix/DiskCopyImage.h"
#include "disk/posix/PosixDevice.h"
#include "hfs/Mdb.h"

namespace {

using namespace brind;
using namespace brind::cli;

constexpr const char* kProgram = "brindlewood-format";

constexpr const char* kFooter =
    R"(Formats a floppy disk, or an image of a disk, as an empty Macintosh HFS volume,
or (with -d DIR) as one that holds the files and folders of DIR.

TARGET is an image file, a floppy drive such as /dev/fd0, or a USB floppy
drive (/dev/sdX). An image that does not exist is created with the size given
by --size (default 1440K), allocated in full; an existing image keeps its size,
and --size must then match it. SIZE is in bytes or with K, M or G: 400K, 720K,
800K, 1440K, 2880K, 20M, 2G, ... from 400K to 2G. The volume's layout
(allocation blocks, bitmap, B-tree files) follows from the size. A drive keeps
the size of its medium: it must be a 3.5-inch 1.44 MB drive and must not be
mounted, and --size is refused. A USB drive must say so itself (a USB stick,
card reader or hard disk is refused, and so is a floppy disk of another
capacity). A symbolic link is followed to the image or drive it names; no
image is created through a link to a path that does not exist. A directory,
FIFO or character device is refused, and so are empty values of TARGET,
--size and --date.

--image-format dc42 writes the volume inside a DiskCopy 4.2 image (the default
for a new file named *.dc42, *.image or *.diskcopy42; only 400K, 720K, 800K and
1440K disks). An existing DiskCopy image is recognised by its header, kept as
it is, and gets the volume name and new checksums.

Before writing anything the tool looks at the disk and says what it holds: a
DOS disk, a Macintosh disk (and its name), any other file system or partition
table that libblkid knows (and its label), data of an unknown kind, or a blank
disk. Only a disk that holds nothing is blank: its first 64 KB and last 8 KB
are all zeros or all the filler a track format leaves, or (in a drive) cannot
be read because the disk was never formatted. Overwriting anything but a blank
disk takes a yes to the question, or -y; with no terminal to ask on and
without -y the tool refuses and writes nothing. A quick format needs a
Macintosh disk: on any other disk it becomes a full format. A full format sets
the medium and formats the 160 tracks, then writes the file system; a quick
format only writes the file system. Only floppy sizes have tracks: for any
other size --full is refused and a disk that is not a Macintosh disk gets a
new volume without a track pass (a new image, which holds only zeros, gets no
track pass either unless --full asks for one).

Ctrl-C, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE and every
other signal that would end the tool (not SIGKILL) stop the format between two
steps: a stop before the format's first write leaves the disk as it was, a
stop in the track pass leaves formatted tracks and no volume, a stop while the
file system is written leaves a disk that is no longer a Macintosh disk, and a
stop after the last write leaves the complete volume and says so. A pipe
closed on the tool's output does not stop it. A missing or write-protected
disk is reported, and on a terminal the tool then offers to retry; a
read-only image file is reported as such.

The label has 1 to 27 characters, given in UTF-8; each must exist in
Windows code page 1252, and it is stored in Macintosh characters through the
default character map, or through the map file given with --charmap (a
CHARMAP.MAC, read as the Windows programs read it). Control characters and ':'
are refused. The map file must be a regular file that "brindlewood-charmap
check" finds read as it is written; anything else is refused with the reason.
Names read from the disk are printed with control characters as \xNN.

Every volume gets the same fixed date (1995-12-14 16:19:40), so the same size,
label and options give the same bytes; --date sets another one (ISO 8601, such
as 2024-05-31T14:30:00, kept as the wall-clock time written; with a zone, Z or
+02:00, the local time of that instant) or "now", and
without --date SOURCE_DATE_EPOCH does (seconds since 1970, as UTC).

-d DIR fills the new volume with the files and folders of DIR: each file's data
fork from the file, its resource fork and Finder information (type, creator,
flags) from an AppleDouble file "._NAME" beside it; with --macbinary a file
with a valid MacBinary II or III header (CRC checked) gives its forks, Finder
information, dates and name instead (any other file is copied as it is). Each
file and folder takes its modification time (local time), or the one date of
--date or SOURCE_DATE_EPOCH, so that the same tree gives the same bytes. Names
go from UTF-8 to the Macintosh character set, ":" becoming "/". Symbolic links,
devices, FIFOs and sockets in DIR are skipped with a note; nothing outside DIR
is read. Refused before anything is written, each with its path: a name of
more than 31 Macintosh characters, with a character the Macintosh set lacks or
a control character, two names of a folder that the volume holds equal (it
ignores case), a damaged AppleDouble file, and a tree that does not fit (with
the size it needs). --size auto makes a new image of the smallest floppy size
that holds the tree, or else of the fewest whole megabytes.

Progress is shown on a terminal, one line per phase otherwise, none with -q.
Exit status: 0 when the disk was formatted; 128 + the signal's number when
stopped by a signal (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP, ...), also when the
stop came after the last write; 1 otherwise, with the reason. A refusal writes
nothing.)";

bool IsSymbolicLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool HasDiskCopyName(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == "dc42" || ext == "image" || ext == "diskcopy42";
}

// The signal that asked to stop. Every signal that would end the process stops the format
// between two steps instead. The handlers do not restart interrupted calls, so a wait for an
// answer or a blocking open ends; the transfers retry what a signal interrupted.
volatile std::sig_atomic_t cancelRequested = 0;
constexpr int kStopSignals[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,
                                SIGPIPE, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGIO,   SIGPWR};

void OnStopSignal(int sig, siginfo_t* info, void*) {
  // A pipe that closed under our own output (`| head`) is no reason to leave a half-made
  // volume: the write fails, and the format goes on. SIGPIPE sent by someone else is a stop.
  if (sig == SIGPIPE && info && info->si_code == SI_USER && info->si_pid == getpid()) return;
  cancelRequested = sig;
}

void InstallHandlers() {
  struct sigaction sa {};
  sa.sa_sigaction = OnStopSignal;
  sa.sa_flags = SA_SIGINFO;
  sigemptyset(&sa.sa_mask);
  for (int sig : kStopSignals) sigaction(sig, &sa, nullptr);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaction(sig, &sa, nullptr);
}

std::string SignalName(int sig) {
  const char* abbrev = sigabbrev_np(sig);
  return abbrev ? std::string("SIG") + abbrev : "signal " + std::to_string(sig);
}

void Error(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str()); }

// There is no file-system driver to ask about a drive the system cannot describe: such a
// drive is not formatted.
class NoDriver : public DriverPort {
 public:
  uint32_t Open() override { return 2; }
  void Close() override {}
  bool IsOpen() const override { return false; }
  uint16_t QueryDrive(uint8_t) override { return 1; }
  uint32_t SetCharMap(const uint8_t*) override { return 1; }
};

struct Options {
  bool quick = false, full = false, yes = false, quiet = false, stats = false;
  std::string label = "Untitled";
  std::string charMapFile;
  std::string size;         // empty: the image's own size, or 1440K for a new one
  std::string imageFormat;  // "raw", "dc42", or empty: by the file's header or name
  std::string date;
  std::string target;
  bool sizeGiven = false, dateGiven = false, dirGiven = false;  // an empty value is not the default
  std::string fromDir;  // -d: the folder whose tree fills the volume
  bool macBinary = false;
};

// How a size is written on the command line: "1440K", "3M", or bytes.
std::string SizeName(uint32_t sectors) {
  if (const FloppyMedium* m = FindFloppyMedium(sectors)) return m->name;
  if (sectors % 2048 == 0) return std::to_string(sectors / 2048) + "M";
  return std::to_string(uint64_t{sectors} * kSectorSize);
}

int Cancelled() {
  Error("Format cancelled (" + SignalName(cancelRequested) + ").");
  return 128 + cancelRequested;
}

int Run(const Options& opt) {
  InstallHandlers();
  // As Brindlewood Utility holds it: an empty table, then the file.
  CharMap charMap{};
  const uint8_t* names = nullptr;
  if (!opt.charMapFile.empty()) {
    // A regular file, read without waiting on a FIFO, and a map read as it is written: a label
    // converted through a misread map would not be the label asked for.
    std::string error;
    if (!ReadCheckedMapFile(opt.charMapFile, charMap, error,
                            "the character map " + opt.charMapFile)) {
      Error(error + ". Nothing was written.");
      return 1;
    }
    names = charMap.data();
  }

  char volumeLabel[kLabelBufferSize];
  std::string why;
  if (!MakeVolumeLabel(opt.label, volumeLabel, why, names)) {
    Error("the label \"" + PrintableUtf8(opt.label) + "\" " + why + ". Nothing was written.");
    return 1;
  }

  for (const auto& [given, value, name] :
       {std::tuple{opt.sizeGiven, opt.size, "--size"},
        std::tuple{opt.dateGiven, opt.date, "--date"}, std::tuple{opt.dirGiven, opt.fromDir, "-d"},
        std::tuple{true, opt.target, "TARGET"}}) {
    if (given && value.empty()) {
      Error(std::string(name) + " is empty. Nothing was written.");
      return 1;
    }
  }
  uint32_t requested = 0;  // sectors asked for with --size
  const bool autoSize = opt.size == "auto";
  if (autoSize && opt.fromDir.empty()) {
    Error("--size auto sizes a volume for the files of -d DIR. Nothing was written.");
    return 1;
  }
  if (!opt.size.empty() && !autoSize && !ParseVolumeSize(opt.size, requested, why)) {
    Error("--size " + opt.size + " " + why + ". Nothing was written.");
    return 1;
  }
  uint32_t date = FormatTimestamp();
  if (!opt.date.empty() && !ParseHfsDate(opt.date, std::time(nullptr), date, why)) {
    Error("--date " + opt.date + " " + why + ". Nothing was written.");
    return 1;
  }
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  const bool oneDate = !opt.date.empty() || (epoch && *epoch);
  if (opt.date.empty() && epoch && *epoch) {
    char* end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(epoch, &end, 10);
    // HFS dates run from 1904 to 2040-02-06T06:28:15.
    constexpr long long kLastHfsSecond = 4294967295LL - 2082844800LL;
    if (*end || errno || seconds < 0 || seconds > kLastHfsSecond) {
      Error(std::string("SOURCE_DATE_EPOCH=") + epoch +
            " is not a number of seconds from 1970 to 2040-02-06T06:28:15. Nothing was written.");
      return 1;
    }
    date = HfsDateOfUnixTime(seconds, false);
  }

  // The tree is read, and every name the volume cannot take listed, before anything else.
  FolderTree folder;
  std::string shownDir = PrintablePath(opt.fromDir);
  while (shownDir.size() > 1 && shownDir.back() == '/') shownDir.pop_back();
  if (!opt.fromDir.empty()) {
    FolderOptions walk{opt.macBinary, oneDate, date, 0, 0};
    struct stat target {};
    if (stat(opt.target.c_str(), &target) == 0 && S_ISREG(target.st_mode))
      walk.targetDev = target.st_dev, walk.targetIno = target.st_ino;
    if (!ReadFolderTree(opt.fromDir, walk, folder, why)) {
      Error("cannot read the folder " + shownDir + ": " + why + ". Nothing was written.");
      return 1;
    }
    if (!opt.quiet)
      for (const std::string& note : folder.notes) Error(shownDir + "/" + note);
    for (const std::string& problem : folder.problems) Error(shownDir + "/" + problem);
    if (!folder.problems.empty()) {
      Error(std::to_string(folder.problems.size()) + " name" +
            (folder.problems.size() == 1 ? "" : "s") + " in " + shownDir +
            " cannot go on a Macintosh volume as they are. Nothing was written.");
      return 1;
    }
  }
  const TreePlanner planner(folder.tree, volumeLabel);

  const TargetInfo info = InspectTarget(opt.target);
  const std::string& t = opt.target;
  if (!info.error.empty()) {
    Error("cannot examine " + t + ": " + info.error);
    return 1;
  }
  const bool device = info.kind == TargetKind::kFloppy || info.kind == TargetKind::kBlockDevice;
  if (device && (requested || autoSize || !opt.imageFormat.empty())) {
    Error(t +
          " is a drive: it keeps the size and form of its medium (no --size or "
          "--image-format). Nothing was written.");
    return 1;
  }
  uint32_t sectors = kTotalSectors;
  bool diskCopy = false;
  ImageLayout layout;
  switch (info.kind) {
    case TargetKind::kMissing:
      diskCopy = opt.imageFormat == "dc42" || (opt.imageFormat.empty() && HasDiskCopyName(t));
      sectors = requested ? requested : kTotalSectors;
      if (autoSize) sectors = SmallestVolume(planner, diskCopy);
      if (!sectors) {
        Error("the files of " + shownDir + " fit on no " +
              (diskCopy ? "DiskCopy 4.2 image (at most 1440K)" : "volume of up to 2G") +
              ". Nothing was written.");
        return 1;
      }
      break;
    case TargetKind::kOther:
      Error(t + " is neither an image file nor a floppy drive. Nothing was written.");
      return 1;
    case TargetKind::kBlockDevice:
      Error(t + " is not a floppy drive" + (info.what.empty() ? "" : " (" + info.what + ")") +
            ". Nothing was written.");
      return 1;
    case TargetKind::kImage: {
      DiskCopyHeader header;
      const bool hasHeader = ReadDiskCopyImage(t, header);
      diskCopy = opt.imageFormat != "raw" && hasHeader;
      if (hasHeader && !diskCopy) {
        Error(t +
              " is a DiskCopy 4.2 image (an 84-byte header before the disk's sectors); as a raw "
              "image its header would be overwritten. Leave out --image-format raw to format the "
              "disk inside it. Nothing was written.");
        return 1;
      }
      if (opt.imageFormat == "dc42" && !diskCopy) {
        Error(t +
              " is not a DiskCopy 4.2 image of a 400K, 720K, 800K or 1440K disk. Nothing was "
              "written.");
        return 1;
      }
      if (diskCopy) {
        layout = DiskCopyLayout(header);
      } else if (info.size % kSectorSize != 0 || info.size < kMinVolumeSectors * kSectorSize ||
                 info.size > uint64_t{kMaxVolumeSectors} * kSectorSize) {
        Error(t + " has " + std::to_string(info.size) +
              " bytes; an image holds whole 512-byte sectors, from 400K (409600 bytes) to 2G. "
              "Nothing was written.");
        return 1;
      } else {
        layout = {0, static_cast<uint32_t>(info.size / kSectorSize), info.size};
      }
      sectors = layout.sectors;
      if (autoSize) {
        Error(t + " keeps its size; --size auto sizes a new image. Nothing was written.");
        return 1;
      }
      if (requested && requested != sectors) {
        Error(t + " holds a volume of " + GroupedNumber(uint64_t{sectors} * kSectorSize) +
              " bytes, not " + GroupedNumber(uint64_t{requested} * kSectorSize) +
              "; an image keeps its size. Nothing was written.");
        return 1;
      }
      break;
    }
    case TargetKind::kFloppy:
      if (!info.is144Drive && info.usb) {
        Error(t + " is " + info.what + "; only 1.44 MB disks are formatted. Nothing was written.");
        return 1;
      }
      if (!info.is144Drive) {
        Error(t + " is a drive of type " + info.driveType +
              ", not a 3.5-inch 1.44 MB drive. Nothing was written.");
        return 1;
      }
      break;
  }
  const bool hasTracks = device || FindFloppyMedium(sectors);
  if (opt.full && !hasTracks) {
    Error("a volume of " + GroupedNumber(uint64_t{sectors} * kSectorSize) +
          " bytes has no tracks to format (only 400K, 720K, 800K, 1440K and 2880K disks do): "
          "--full is refused. Nothing was written.");
    return 1;
  }
  DiskCopyHeader newHeader;
  if (info.kind == TargetKind::kMissing && diskCopy && !MakeDiskCopyHeader(sectors, newHeader)) {
    Error("a DiskCopy 4.2 image holds only a 400K, 720K, 800K or 1440K disk, not " +
          GroupedNumber(uint64_t{sectors} * kSectorSize) + " bytes. Nothing was written.");
    return 1;
  }
  TreePlan plan;
  if (!opt.fromDir.empty()) {
    plan = planner.For(sectors);
    if (!planner.ok()) {
      Error("the files of " + shownDir + " cannot go on the volume: " + planner.error() +
            ". Nothing was written.");
      return 1;
    }
    if (!plan.fits) {
      const VolumeLayout l = LayoutOfVolume(sectors);
      const uint32_t smallest = SmallestVolume(planner, false);
      Error("the files of " + shownDir + " need " +
            GroupedNumber(plan.neededBlocks * l.sectorsPerBlock * kSectorSize) +
            " bytes with the volume's structures; a volume of " +
            GroupedNumber(uint64_t{sectors} * kSectorSize) + " bytes has " +
            GroupedNumber(uint64_t{l.blocks} * l.sectorsPerBlock * kSectorSize) + ". " +
            (smallest ? "The smallest volume that holds them is " + SizeName(smallest) + " (" +
                            GroupedNumber(uint64_t{smallest} * kSectorSize) + " bytes)"
                      : std::string("No volume of up to 2G holds them")) +
            ". Nothing was written.");
      return 1;
    }
  }
  if (info.mounted) {
    Error(t + " is mounted on " + info.mountedOn + "; unmount it first. Nothing was written.");
    return 1;
  }

  bool created = false;
  if (info.kind == TargetKind::kMissing && IsSymbolicLink(t)) {
    Error(t +
          " is a symbolic link to a path that does not exist; no image is created through a "
          "link (give the new image's own path). Nothing was written.");
    return 1;
  }
  if (info.kind == TargetKind::kMissing) {
    // A device name that names nothing is a missing drive, not a new image.
    if (NamesDeviceNode(t)) {
      Error(t + ": no such device. Nothing was written.");
      return 1;
    }
    const bool made = diskCopy ? CreateDiskCopyImage(t, sectors, why)
                               : CreateImage(t, uint64_t{sectors} * kSectorSize, why);
    if (!made) {
      Error("cannot create the image " + t + ": " + why);
      return 1;
    }
    layout = diskCopy ? DiskCopyLayout(newHeader)
                      : ImageLayout{0, sectors, uint64_t{sectors} * kSectorSize};
    created = true;
  }
  // A file just made reads as zeros: its tracks are formatted only when --full asks for it.
  layout.tracks = hasTracks && (!created || opt.full);
  // A refusal after the image was made leaves nothing behind.
  auto refuse = [&](const std::string& text) {
    if (!text.empty()) Error(text);
    if (created) unlink(t.c_str());
    return 1;
  };

  if (cancelRequested) {
    refuse("");
    return Cancelled();
  }

  PosixDevice disk(t, layout);
  FolderReader reader(opt.fromDir, folder, &cancelRequested);
  FillingStages filling(sectors, date, folder.tree, reader);
  NoDriver driver;
  StdioConsole console(kProgram, &cancelRequested);
  RunOptions run;
  run.target = t;
  Utf8ToCp1252(opt.label, run.label, why);  // already checked by MakeVolumeLabel
  run.quick = !opt.full;
  run.yes = opt.yes;
  run.quiet = opt.quiet;
  run.askOnTerminal = isatty(STDIN_FILENO);
  run.drawOnTerminal = isatty(STDOUT_FILENO);
  run.created = created;
  run.image = !device;
  run.charMap = names;
  run.totalSectors = sectors;
  run.date = date;
  run.hasTracks = device || layout.tracks;
  if (!opt.fromDir.empty()) run.stages = &filling;
  DeviceHooks hooks;
  hooks.openError = [&disk] { return disk.openError(); };
  hooks.flush = [&disk] { return disk.Flush(); };
  // libblkid looks through the descriptor the format holds: no second open of the drive.
  hooks.identify = [&disk, &layout, sectors] {
    const ContentFound found =
        ProbeContent(disk.descriptor(), disk.isBlockDevice() ? 0 : layout.dataOffset,
                     uint64_t{sectors} * kSectorSize);
    return found.type.empty() ? std::string() : DescribeContent(found);
  };

  const RunResult result = RunFormat(disk, driver, run, console, hooks, &cancelRequested);
  const VolumeLayout volume = LayoutOfVolume(sectors);
  if (opt.stats)
    std::printf(
        "sector reads: %llu, sector writes: %llu (%u tracks formatted), bytes written: %llu, "
        "sectors cleared: %llu; volume metadata: %llu bytes\n",
        static_cast<unsigned long long>(disk.reads()),
        static_cast<unsigned long long>(disk.writes()), disk.tracksFormatted(),
        static_cast<unsigned long long>(disk.bytesWritten()),
        static_cast<unsigned long long>(disk.sectorsCleared()),
        static_cast<unsigned long long>(volume.metadataBytes));
  // A DiskCopy image whose sectors changed gets checksums that match them again, whatever
  // became of the format. A refusal changed nothing (the probe writes back what it read).
  if (diskCopy && result.outcome != Outcome::kRefused &&
      (disk.writes() || disk.sectorsCleared() || disk.tracksFormatted())) {
    const size_t nameLength = VolumeNameLength(result.volumeLabel);
    const int err = SealDiskCopyImage(t, std::string(result.volumeLabel, nameLength), why);
    if (err) {
      Error("could not update the DiskCopy header of " + t + ": " + why);
      return 1;
    }
  }
  if (cancelRequested && result.outcome != Outcome::kFormatted) {
    if (result.outcome == Outcome::kRefused && created) unlink(t.c_str());
    return Cancelled();
  }
  switch (result.outcome) {
    case Outcome::kRefused:
      return refuse("");  // the reason is printed; a new image goes again
    case Outcome::kCancelled:
      return Cancelled();
    case Outcome::kFailed:
      return 1;
    case Outcome::kFormatted:
      break;
  }
  if (result.flushError) {
    Error("could not write " + t + ": " + std::strerror(result.flushError));
    return 1;
  }
  uint32_t freeBlocks = volume.freeBlocks;
  std::string filled;
  if (!opt.fromDir.empty()) {
    size_t files = 0;
    for (const TreeEntry& e : folder.tree) files += !e.folder;
    freeBlocks = volume.blocks - plan.usedBlocks;
    filled = " with " + std::to_string(files) + (files == 1 ? " file" : " files") + " and " +
             std::to_string(folder.tree.size() - files) +
             (folder.tree.size() - files == 1 ? " folder" : " folders");
  }
  // A new image whose tracks were left as the zeros they are had a quick format's writes.
  if (!opt.quiet)
    std::printf("%s: formatted (%s) as \"%s\"%s, %s bytes free\n", t.c_str(),
                result.full && run.hasTracks ? "full" : "quick",
                DisplayMacName(reinterpret_cast<const uint8_t*>(result.volumeLabel),
                               VolumeNameLength(result.volumeLabel), names)
                    .c_str(),
                filled.c_str(),
                GroupedNumber(uint64_t{freeBlocks} * volume.sectorsPerBlock * kSectorSize).c_str());
  if (cancelRequested) {
    // The stop came when every sector was written: the volume is whole.
    Error(SignalName(cancelRequested) + " came after the last write; the volume is complete.");
    return 128 + cancelRequested;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Format a floppy disk or a disk image as a Macintosh HFS volume, empty or filled from a "
      "folder.",
      kProgram};
  Options opt;
  auto* quick = app.add_flag("--quick", opt.quick,
                             "Only write the file system (the default; needs a Macintosh disk)");
  auto* full = app.add_flag("--full", opt.full,
                            "Set the medium and format all 160 tracks, then write the file system");
  quick->excludes(full);
  app.add_option("-L,--label", opt.label,
                 "Volume label, 1 to 27 characters (default \"Untitled\")");
  app.add_option("--charmap", opt.charMapFile,
                 "Character map file (CHARMAP.MAC) to convert the label with, instead of the "
                 "default map")
      ->check([](const std::string& file) {
        return file.empty() ? std::string("an empty name names no character map file") : "";
      });
  auto* size = app.add_option(
      "--size", opt.size,
      "Size of a new image: 400K, 800K, 1440K (default), 2880K, or any size from 400K "
      "to 2G in bytes, K, M or G; with -d, auto: the smallest that holds the files");
  app.add_option("--image-format", opt.imageFormat,
                 "raw, or dc42 for a DiskCopy 4.2 image (default: by the file's header or name)")
      ->check(CLI::IsMember({"raw", "dc42"}));
  auto* date =
      app.add_option("--date", opt.date,
                     "Date of the volume (and with -d of every file), ISO 8601 "
                     "(2024-05-31T14:30:00, or with a zone: the local time of that instant) or "
                     "\"now\" (default: SOURCE_DATE_EPOCH, else a fixed date for the volume)");
  auto* dir =
      app.add_option("-d", opt.fromDir,
                     "Fill the new volume with the files and folders of DIR (AppleDouble ._NAME "
                     "files give resource forks and Finder information)")
          ->type_name("DIR");
  app.add_flag("--macbinary", opt.macBinary,
               "With -d: decode files that carry a valid MacBinary II or III header");
  app.add_flag("-y,--yes", opt.yes, "Overwrite a disk that holds data without asking");
  app.add_flag("-q,--quiet", opt.quiet, "Print nothing but errors");
  app.add_flag("--stats", opt.stats,
               "Print the sector reads and writes (a formatted track counts as its sectors), the "
               "tracks formatted, bytes written and the volume's metadata size at the end");
  app.add_option("TARGET", opt.target,
                 "Image file, floppy drive (/dev/fd0) or USB floppy drive (/dev/sdX)")
      ->required();
  app.footer(kFooter);
  app.set_version_flag("--version", std::string(kProgram) + " " + BRIND_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 1;
  }
  opt.sizeGiven = size->count() > 0;
  opt.dateGiven = date->count() > 0;
  opt.dirGiven = dir->count() > 0;
  return Run(opt);
}
