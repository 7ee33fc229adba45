// The format of one disk as the Linux tools run it: the look at the disk before anything is
// written, and the sequence itself (160 track formats for a full format, then the seven
// file-system stages). The sequence is one function over the disk services so that a shared
// step-by-step sequence can take its place without touching the command line around it.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

#include "disk/DiskServices.h"
#include "hfs/FormatStages.h"

namespace brind::cli {

inline constexpr uint32_t kTracks = 160;

enum class DiskKind { kDos, kMacintosh, kBlank };

// What the sector probes found. status is 0, or the code (2, 3 or 8) that stops the format.
struct DiskLook {
  DiskStatus status = 0;
  DiskKind kind = DiskKind::kBlank;
  uint8_t sector[512] = {};  // sector 0 (DOS) or sector 2 (anything else), as read
};

// Reads a sector and writes the same bytes back, so a write-protected disk shows before
// anything changes: the read's status if it failed, else the write's.
DiskStatus ProbeSector(DiskServices& disk, uint8_t drive, uint32_t sector, uint8_t* buffer);

// Sector 0 with the DOS signature is a DOS disk; otherwise sector 2 with the HFS signature is a
// Macintosh disk; anything else (an unreadable sector included) is blank.
DiskLook LookAtDisk(DiskServices& disk, uint8_t drive);

// The words for a probe's status that stops the format (2, 3, 8), or nullptr.
const char* ProbeFailureMessage(DiskStatus status);

// Hears what the sequence does, between steps.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void StatusLine(const char* text) = 0;  // "Formatting...", "Creating File System..."
  virtual void TrackDone(uint32_t track, uint32_t tracks) = 0;
  virtual void StageStarting(const FormatStage& stage) = 0;
};

struct SequenceResult {
  bool ok = false;
  bool cancelled = false;
  std::string message;  // why it failed, in the program's words
};

// Runs the format: for a full format sets the medium and formats the tracks in order, then the
// seven stages. A nonzero *cancel between two steps stops it. A quick format stopped after its
// file system was begun leaves sector 2 as oldMdb with its signature and last two bytes cleared,
// so that the half-made volume is not taken for a Macintosh disk.
SequenceResult RunFormatSequence(DiskServices& disk, uint8_t drive, bool full,
                                 const char* volumeLabel, const uint8_t* oldMdb,
                                 ProgressSink& progress, const volatile std::sig_atomic_t* cancel);

// The words for a failed track format, after the checks the status calls for.
std::string TrackErrorMessage(DiskServices& disk, uint8_t drive, DiskStatus status);

}  // namespace brind::cli
