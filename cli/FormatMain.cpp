// brindlewood-format: formats a 1.44 MB floppy image or floppy drive as an empty HFS volume with
// the same volume builder as the Windows program.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "charmap/CharMapFile.h"
#include "cli/Cp1252.h"
#include "cli/FormatRun.h"
#include "cli/Label.h"
#include "disk/DiskServices.h"
#include "disk/posix/ContentProbe.h"
#include "disk/posix/PosixDevice.h"
#include "hfs/Mdb.h"

namespace {

using namespace brind;
using namespace brind::cli;

constexpr const char* kProgram = "brindlewood-format";

constexpr const char* kFooter =
    R"(Formats a 3.5-inch 1.44 MB floppy disk, or an image of one, as an empty
Macintosh HFS volume (2880 sectors, 1,448,960 bytes free).

TARGET is an image file, a floppy drive such as /dev/fd0, or a USB floppy
drive (/dev/sdX). An image that does not exist is created with 1,474,560 bytes,
allocated in full; an existing file of any other size is refused. A drive must
be a 3.5-inch 1.44 MB drive and must not be mounted; a USB drive must say so
itself (a USB stick, card reader or hard disk is refused, and so is a floppy
disk of another capacity).

Before writing anything the tool looks at the disk and says what it holds: a
DOS disk, a Macintosh disk (and its name), any other file system or partition
table that libblkid knows (and its label), or a blank disk. Overwriting
anything but a blank disk takes a yes to the question, or -y; with no terminal
to ask on and without -y the tool refuses. A quick format needs a Macintosh
disk: on any other disk it becomes a full format. A full format sets the medium
and formats the 160 tracks, then writes the file system; a quick format only
writes the file system. Ctrl-C or SIGTERM stops the format between two steps;
a quick format stopped that way leaves a disk that is no longer a Macintosh
disk. A missing or write-protected disk is reported; on a terminal the tool
then offers to retry.

The label has 1 to 27 characters, given in UTF-8; each must exist in
Windows code page 1252, and it is stored in Macintosh characters through the
default character map, or through the map file given with --charmap (a
CHARMAP.MAC, read as the Windows programs read it). Control characters and ':'
are refused.

Progress is shown on a terminal, one line per phase otherwise, none with -q.
Exit status: 0 when the disk was formatted; 130 when stopped by Ctrl-C, 143 by
SIGTERM; 1 otherwise, with the reason. A refusal writes nothing.)";

// The signal that asked to stop. The handlers restart interrupted calls, so a transfer or
// track format finishes and the format stops between two steps.
volatile std::sig_atomic_t cancelRequested = 0;
void OnInterrupt(int sig) { cancelRequested = sig; }

void InstallHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
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
  std::string target;
};

int Cancelled() {
  Error("Format cancelled.");
  return 128 + cancelRequested;
}

int Run(const Options& opt) {
  InstallHandlers();
  // As Brindlewood Utility holds it: an empty table, then the file.
  CharMap charMap{};
  const uint8_t* names = nullptr;
  if (!opt.charMapFile.empty()) {
    std::FILE* f = std::fopen(opt.charMapFile.c_str(), "rb");
    if (!f) {
      Error("cannot open the character map " + opt.charMapFile + ": " + std::strerror(errno) +
            ". Nothing was written.");
      return 1;
    }
    ReadCharMapFile(charMap, f);
    std::fclose(f);
    names = charMap.data();
  }

  char volumeLabel[kLabelBufferSize];
  std::string why;
  if (!MakeVolumeLabel(opt.label, volumeLabel, why, names)) {
    Error("the label \"" + opt.label + "\" " + why + ". Nothing was written.");
    return 1;
  }

  const TargetInfo info = InspectTarget(opt.target);
  const std::string& t = opt.target;
  if (!info.error.empty()) {
    Error("cannot examine " + t + ": " + info.error);
    return 1;
  }
  switch (info.kind) {
    case TargetKind::kMissing:
      break;
    case TargetKind::kOther:
      Error(t + " is neither an image file nor a floppy drive. Nothing was written.");
      return 1;
    case TargetKind::kBlockDevice:
      Error(t + " is not a floppy drive" + (info.what.empty() ? "" : " (" + info.what + ")") +
            ". Nothing was written.");
      return 1;
    case TargetKind::kImage:
      if (info.size != kImageSize) {
        Error(t + " has " + std::to_string(info.size) +
              " bytes; an image of a 1.44 MB floppy disk has exactly 1474560. Nothing was "
              "written.");
        return 1;
      }
      break;
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
  if (info.mounted) {
    Error(t + " is mounted on " + info.mountedOn + "; unmount it first. Nothing was written.");
    return 1;
  }

  bool created = false;
  if (info.kind == TargetKind::kMissing) {
    // A device name that names nothing is a missing drive, not a new image.
    if (NamesDeviceNode(t)) {
      Error(t + ": no such device. Nothing was written.");
      return 1;
    }
    if (!CreateImage(t, why)) {
      Error("cannot create the image " + t + ": " + why);
      return 1;
    }
    created = true;
  }
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

  PosixDevice device(t);
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
  run.charMap = names;
  if (!created) {
    const ContentFound found = ProbeContent(t);
    if (!found.type.empty()) run.foreign = DescribeContent(found);
  }
  DeviceHooks hooks;
  hooks.openError = [&device] { return device.openError(); };
  hooks.flush = [&device] { return device.Flush(); };

  const RunResult result = RunFormat(device, driver, run, console, hooks, &cancelRequested);
  if (opt.stats)
    std::printf("sector reads: %llu, sector writes: %llu\n",
                static_cast<unsigned long long>(device.reads()),
                static_cast<unsigned long long>(device.writes()));
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
  if (!opt.quiet)
    std::printf("%s: formatted (%s) as \"%s\", 1,448,960 bytes free\n", t.c_str(),
                result.full ? "full" : "quick",
                DisplayMacName(reinterpret_cast<const uint8_t*>(result.volumeLabel),
                               VolumeNameLength(result.volumeLabel), names)
                    .c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Format a 1.44 MB floppy disk or image as an empty Macintosh HFS volume.", kProgram};
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
                 "default map");
  app.add_flag("-y,--yes", opt.yes, "Overwrite a disk that holds data without asking");
  app.add_flag("-q,--quiet", opt.quiet, "Print nothing but errors");
  app.add_flag("--stats", opt.stats, "Print the number of sector reads and writes at the end");
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
  return Run(opt);
}
