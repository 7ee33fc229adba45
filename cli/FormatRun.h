// The format of one disk as the Linux tool runs it: the same format dialog and step-by-step
// sequence as the Windows program (FormatController), with the terminal as its window. The
// dialog's questions are asked on the terminal or answered from -y; its progress bar is drawn
// as a line of text; its timer is a loop that delivers one step at a time.
#pragma once

#include <csignal>
#include <functional>
#include <string>

#include "common/UserPrompts.h"
#include "disk/DiskServices.h"
#include "formatter/FormatController.h"
#include "hfs/Mdb.h"

namespace brind::cli {

// Where the tool talks: standard output, standard error, standard input.
class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(const std::string& text) = 0;      // as is, no newline added
  virtual void ErrLine(const std::string& line) = 0;  // one line, after the program's name
  virtual bool ReadLine(std::string& line) = 0;       // false at the end of input
};

// The C streams, flushed after every piece of output. A nonzero *cancel ends a wait for an
// answer as the end of input does (the wait polls, so a signal is seen within a tenth of a
// second even where a handler would restart the read).
class StdioConsole : public Console {
 public:
  explicit StdioConsole(const char* program, const volatile std::sig_atomic_t* cancel = nullptr)
      : program_(program), cancel_(cancel) {}
  void Out(const std::string& text) override;
  void ErrLine(const std::string& line) override;
  bool ReadLine(std::string& line) override;

 private:
  const char* program_;
  const volatile std::sig_atomic_t* cancel_;
};

struct RunOptions {
  std::string target;  // the name the user gave, for the lines printed
  std::string label;   // in Windows characters (code page 1252), as the dialog's field holds it
  bool quick = true;
  bool yes = false;             // overwrite a disk that holds data without asking
  bool quiet = false;           // errors only
  bool askOnTerminal = false;   // standard input is a terminal
  bool drawOnTerminal = false;  // standard output is a terminal: one progress line, redrawn
  bool created = false;         // the image was made for this run
  bool image = false;           // the target is a file: a write-protected disk is a read-only file
  // The 128 entries to convert names with; nullptr: the default map.
  const uint8_t* charMap = nullptr;
  uint32_t totalSectors = kTotalSectors;  // of the volume
  uint32_t date = FormatTimestamp();      // of the volume and its root directory
  bool hasTracks = true;                  // a floppy size: a full format formats its tracks
  StageRunner* stages = nullptr;          // the volume's stages; nullptr: an empty volume
};

enum class Outcome {
  kFormatted,
  kRefused,    // stopped by the checks or a question: nothing of the format was written
  kFailed,     // a step failed; the reason was printed
  kCancelled,  // interrupted between two steps
};

struct RunResult {
  Outcome outcome = Outcome::kFailed;
  bool full = false;          // the kind of format that ran (a quick one may become full)
  char volumeLabel[28] = {};  // as written, in Macintosh characters
  int flushError = 0;         // of making the written sectors durable, errno
  bool stopIgnored = false;   // a stop came when every sector was written: the volume is complete
};

// Hooks into the device the disk services run over.
struct DeviceHooks {
  std::function<std::string()> openError;  // why the device would not open, or ""
  std::function<int()> flush;              // makes the written sectors durable: 0 or errno
  // What libblkid finds on the open device, in words ("an ext2 file system"), or "". Asked only
  // of a disk the dialog takes for blank.
  std::function<std::string()> identify;
};

// The sectors looked at before a disk is called blank: where every file system, partition table
// and archive keeps its first bytes, and the last sectors (backup headers, end labels).
inline constexpr uint32_t kLookFirstSectors = 128;
inline constexpr uint32_t kLookLastSectors = 16;
inline constexpr uint8_t kTrackFiller = 0xF6;  // what a track format leaves in every sector

// Whether a disk holds nothing: every sector looked at is all zeros or all track filler, or
// cannot be read (a medium never formatted; after an unreadable sector the rest of its track of
// 18 is not read). A drive that says it has no disk is not blank.
bool HoldsNothing(DiskDeviceBinding& device, uint32_t totalSectors);

// Formats drive 0 ("A:") of the device. A nonzero *cancel stops the format between two steps.
RunResult RunFormat(DiskDeviceBinding& device, DriverPort& driver, const RunOptions& options,
                    Console& console, const DeviceHooks& hooks,
                    const volatile std::sig_atomic_t* cancel);

}  // namespace brind::cli
