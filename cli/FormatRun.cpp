#include "cli/FormatRun.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "charmap/CharMap.h"
#include "cli/Label.h"
#include "common/PrintableText.h"
#include "formatter/FormatParts.h"
#include "hfs/FormatStages.h"
#include "hfs/Mdb.h"

namespace brind::cli {

void StdioConsole::Out(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void StdioConsole::ErrLine(const std::string& line) {
  std::fprintf(stderr, "%s: %s\n", program_, line.c_str());
}

bool StdioConsole::ReadLine(std::string& line) {
  while (cancel_) {
    if (*cancel_) return false;
    pollfd in{STDIN_FILENO, POLLIN, 0};
    const int n = poll(&in, 1, 100);
    if (n > 0 || (n < 0 && errno != EINTR)) break;
  }
  char buffer[256];
  if (!std::fgets(buffer, sizeof buffer, stdin)) return false;
  line = buffer;
  return true;
}

namespace {
bool AllBytes(const uint8_t* sector, uint8_t value) {
  for (size_t i = 0; i < kSectorSize; ++i)
    if (sector[i] != value) return false;
  return true;
}

}  // namespace

bool HoldsNothing(DiskDeviceBinding& device, uint32_t totalSectors) {
  constexpr uint32_t kTrackSectors = 18;
  uint8_t sector[kSectorSize];
  // A drive takes seconds over each sector it cannot read: after one, the rest of its track is
  // taken as unreadable too, and the look goes on with the next track.
  auto look = [&](uint32_t from, uint32_t to) {
    for (uint32_t s = from; s < to; ++s) {
      const DeviceResult r = device.ReadSector(0, s, sector);
      if (!r.ok && r.code == kDiskNotReady) return false;  // no disk to call blank
      if (!r.ok) {
        s = (s / kTrackSectors + 1) * kTrackSectors - 1;  // unreadable: never formatted
      } else if (!AllBytes(sector, 0) && !AllBytes(sector, kTrackFiller)) {
        return false;
      }
    }
    return true;
  };
  const uint32_t first = totalSectors < kLookFirstSectors ? totalSectors : kLookFirstSectors;
  const uint32_t last =
      totalSectors - first < kLookLastSectors ? totalSectors - first : kLookLastSectors;
  return look(0, first) && look(totalSectors - last, totalSectors);
}

namespace {

constexpr char kNotMacNote[] =
    "Not a Macintosh disk: a quick format is not possible, doing a full format.\n";
constexpr char kNotMacNoTracksNote[] = "Not a Macintosh disk: writing a new volume.\n";

// The bar is laid out in the dialog's pixels: 40 cells of 16 pixels, the smallest block it draws.
constexpr int32_t kCells = 40;
constexpr int32_t kCellPixels = 16;

// An image is a file: the dialog's words for a protected disk would send the user looking for a
// write-protect tab.
bool SpeaksOfWriteProtection(const char* text) { return std::strstr(text, "write protected"); }

std::string DosLabel(const uint8_t* boot) {
  if (boot[38] != 0x29) return "";  // no extended boot record, no label in it
  std::string label(reinterpret_cast<const char*>(boot + 43), 11);
  while (!label.empty() && label.back() == ' ') label.pop_back();
  return label == "NO NAME" ? "" : PrintableBytes(label);
}

// What the terminal shows of the dialog: a line per phase, or one progress line redrawn in place.
class TerminalView : public FormatView {
 public:
  TerminalView(const RunOptions& options, Console& console, const DeviceHooks& hooks,
               std::function<void()> onInitializing)
      : options_(options), console_(console), hooks_(hooks), onInitializing_(onInitializing) {
    checked_[kIdQuick] = options.quick;
    checked_[kIdFull] = !options.quick;
    checked_[kIdSummary] = true;  // the summary is the tool's last line
  }

  bool timerSet = false;
  int pendingStops = 0;
  bool completed = false;
  int flushError = 0;

  void EndLine() {
    if (lineOpen_) console_.Out("\n");
    lineOpen_ = false;
  }

  // Redraws the progress line after a step.
  void Render(const FormatState& s) {
    if (options_.quiet || !options_.drawOnTerminal || !s.formatActive || status_.empty()) return;
    int32_t lastLit = -1;
    for (int32_t x = 0; x < static_cast<int32_t>(lit_.size()); ++x)
      if (lit_[x]) lastLit = x;
    const int32_t width = s.barRect.right - s.barRect.left;
    int32_t cells = 0;
    if (lastLit >= s.barRect.left && width > 0)
      cells = ((lastLit - s.barRect.left + 1) * kCells + width / 2) / width;
    std::string bar(static_cast<size_t>(kCells), '.');
    for (int32_t i = 0; i < cells && i < kCells; ++i) bar[static_cast<size_t>(i)] = '#';

    char detail[64];
    if (s.step <= kFirstStageStep && !s.quickFormat) {
      std::snprintf(detail, sizeof detail, "track %u of %u", s.step, kFirstStageStep);
    } else {
      const uint32_t done = s.step - kFirstStageStep;
      const FormatStage* stage = FindFormatStage(s.step > kLastStageStep ? kLastStageStep : s.step);
      std::snprintf(detail, sizeof detail, "%u of %zu: %s", done, kStageCount,
                    done < kStageCount && stage ? stage->operation : "done");
    }
    char line[160];
    std::snprintf(line, sizeof line, "\r%-23s [%s] %-30s", status_.c_str(), bar.c_str(), detail);
    console_.Out(line);
    lineOpen_ = true;
  }

  void SetStatusText(const char* text) override {
    if (std::strcmp(text, "Initializing...") == 0) {
      onInitializing_();  // the disk has been looked at: say what it was
      return;
    }
    EndLine();
    status_ = text;
    // Without tracks the track steps write nothing: no phase to show for them.
    if (!options_.hasTracks && status_ == "Formatting...") status_.clear();
    if (status_.empty() || options_.quiet) return;
    if (!options_.drawOnTerminal) console_.Out(status_ + "\n");
  }
  void EnableControl(int, bool) override {}
  void SetCloseButtonText(const char*) override {}
  void FocusControl(int) override {}
  bool IsChecked(int id) override { return checked_[id]; }
  void SetChecked(int id, bool on) override { checked_[id] = on; }
  void LimitLabelText(unsigned) override {}
  void GetLabelText(char* text, size_t size) override {
    std::snprintf(text, size, "%s", options_.label.c_str());
  }
  void SetLabelText(const char*) override {}
  void FillDriveListWithSystemDrives() override {}
  int DriveListCount() override { return 0; }
  void GetDriveListEntry(int, char* text, size_t size) override {
    if (size) text[0] = '\0';
  }
  void DeleteDriveListEntry(int) override {}
  void InsertDriveListEntry(int, const char*) override {}
  void GetSelectedDriveText(char* text, size_t size) override { GetDriveBoxText(text, size); }
  void GetDriveBoxText(char* text, size_t size) override { std::snprintf(text, size, "A:"); }
  void SetDriveBoxText(const char*) override {}

  BarRect ProgressClientRect() override {
    const BarRect client{0, 0, kCells * kCellPixels + 2, 5};
    lit_.assign(static_cast<size_t>(client.right), false);
    return client;
  }
  void InvalidateProgress(const BarRect* strip, bool) override {
    const int32_t from = strip ? strip->left : 0;
    const int32_t to = strip ? strip->right : static_cast<int32_t>(lit_.size());
    for (int32_t x = from; x < to && x < static_cast<int32_t>(lit_.size()); ++x)
      if (x >= 0) lit_[static_cast<size_t>(x)] = false;
  }
  void UpdateProgress() override {}
  void BeginBarDrawing(BarDrawing) override {}
  void DrawBarRectangle(int32_t left, int32_t, int32_t right, int32_t) override {
    for (int32_t x = left; x < right && x < static_cast<int32_t>(lit_.size()); ++x)
      if (x >= 0) lit_[static_cast<size_t>(x)] = true;
  }
  void EndBarDrawing() override {}

  bool SetStepTimer() override {
    timerSet = true;
    return true;
  }
  bool KillStepTimer() override {
    const bool was = timerSet;
    timerSet = false;
    return was;
  }
  void PostStop() override { ++pendingStops; }
  void RunResultsDialog() override {
    // The volume is still locked here: the place to make the written sectors durable.
    completed = true;
    if (hooks_.flush) flushError = hooks_.flush();
  }
  void EndDialog(int) override {}

 private:
  const RunOptions& options_;
  Console& console_;
  const DeviceHooks& hooks_;
  std::function<void()> onInitializing_;
  std::map<int, bool> checked_;
  std::vector<bool> lit_;
  std::string status_;
  bool lineOpen_ = false;
};

// The dialog's message boxes on a terminal. Errors go to standard error; a question that would
// overwrite a disk that holds data takes -y or a yes typed on the terminal; a disk that holds
// nothing becomes a full format without asking; Retry is offered only where someone can answer.
class TerminalPrompts : public UserPrompts {
 public:
  TerminalPrompts(const RunOptions& options, Console& console, const DeviceHooks& hooks,
                  const FormatState& state, DiskDeviceBinding& device)
      : options_(options), console_(console), hooks_(hooks), state_(state), device_(device) {}

  void Attach(TerminalView* view) { view_ = view; }

  // Says once what the disk in the drive holds, as the last look of the checks found it.
  void Describe() {
    if (described_) return;
    described_ = true;
    const uint8_t* sector = state_.sectorBuffer;
    if (sector[510] == 0x55 && sector[511] == 0xAA) {
      const std::string label = DosLabel(sector);
      found_ = "a DOS disk" + (label.empty() ? std::string() : " labelled \"" + label + "\"");
      hasData_ = true;
    } else if (sector[0] == 0x42 && sector[1] == 0x44) {
      size_t length = sector[mdb::drVN];
      if (length > kMaxVolumeName) length = kMaxVolumeName;
      found_ = "a Macintosh disk named \"" +
               DisplayMacName(sector + mdb::drVN + 1, length, options_.charMap) + "\"";
      hasData_ = true;
    } else if (options_.created) {
      found_ = "a new image";
    } else {
      // The dialog sees no signature: only a disk that holds nothing is blank.
      found_ = hooks_.identify ? hooks_.identify() : std::string();
      if (found_.empty() && !HoldsNothing(device_, options_.totalSectors))
        found_ = "data of an unknown kind";
      hasData_ = foreign_ = !found_.empty();
      if (!foreign_) found_ = "a blank disk";
    }
    if (!options_.quiet) console_.Out(options_.target + ": " + found_ + "\n");
  }

  // Data the dialog does not know (it sees a blank disk) needs the same yes as a DOS disk
  // before the first step. False: not to be overwritten.
  bool ConfirmForeign() {
    Describe();
    if (!foreign_ || confirmed_) return true;
    return Confirm("The disk holds " + found_ + ". Do you wish to continue with the format?");
  }

  int Show(const char* text, const char*, unsigned flags, PromptOwner) override {
    if (view_) view_->EndLine();
    if (options_.image && SpeaksOfWriteProtection(text)) {
      // Nothing to retry: the file stays read-only until someone changes it.
      if (!readOnlySaid_)
        console_.ErrLine(options_.target +
                         " is read-only (the file's permissions or its file system forbid "
                         "writing). Nothing was written.");
      readOnlySaid_ = true;
      return (flags & kMbButtonMask) == kMbRetryCancel ? kIdCancel : kIdOk;
    }
    switch (flags & kMbButtonMask) {
      case kMbYesNo:
        Describe();
        return Confirm(text) ? kIdYes : kIdNo;
      case kMbOkCancel: {
        // The quick format that cannot be: on a disk with data it overwrites like a full one.
        // The terminal asks what will be done rather than the dialog's "Click OK".
        Describe();
        const std::string question =
            "Not a Macintosh disk, so a quick format is not possible. " +
            std::string(options_.hasTracks ? "Format its tracks and write a new volume over "
                                           : "Write a new volume over ") +
            found_ + "?";
        const bool asked = hasData_ && !options_.yes;
        if (hasData_ && !Confirm(question)) return kIdCancel;
        if (!options_.quiet && !options_.created && !asked)
          console_.Out(options_.hasTracks ? kNotMacNote : kNotMacNoTracksNote);
        return kIdOk;
      }
      case kMbRetryCancel:
        if (options_.askOnTerminal) {
          console_.Out(std::string(text) + " [r/C] ");
          std::string answer;
          if (console_.ReadLine(answer) && (answer[0] == 'r' || answer[0] == 'R')) return kIdRetry;
          return kIdCancel;
        }
        console_.ErrLine(text);
        return kIdCancel;
      default:
        Error(text);
        return kIdOk;
    }
  }

 private:
  // The disk services' own boxes stand for a device that will not open; the device knows the
  // reason better than the Windows text does, and says it once.
  void Error(const char* text) {
    const std::string deviceError = hooks_.openError ? hooks_.openError() : std::string();
    const std::string why = deviceError.empty() ? text : deviceError;
    if (why != lastError_) console_.ErrLine(why);
    lastError_ = why;
  }

  bool Confirm(const std::string& question) {
    if (options_.yes) return confirmed_ = true;
    if (!options_.askOnTerminal) {
      console_.ErrLine("not overwriting " + found_ +
                       " without -y (no terminal to ask on). Nothing was written.");
      return false;
    }
    console_.Out(question + " [y/N] ");
    std::string answer;
    if (console_.ReadLine(answer) && (answer[0] == 'y' || answer[0] == 'Y'))
      return confirmed_ = true;
    console_.ErrLine("Nothing was written.");
    return false;
  }

  const RunOptions& options_;
  Console& console_;
  const DeviceHooks& hooks_;
  const FormatState& state_;
  DiskDeviceBinding& device_;
  TerminalView* view_ = nullptr;
  bool readOnlySaid_ = false;
  bool described_ = false;
  bool hasData_ = false;
  bool foreign_ = false;    // found_ is what libblkid found
  bool confirmed_ = false;  // the user said yes to overwriting it
  std::string found_;
  std::string lastError_;
};

}  // namespace

RunResult RunFormat(DiskDeviceBinding& device, DriverPort& driver, const RunOptions& options,
                    Console& console, const DeviceHooks& hooks,
                    const volatile std::sig_atomic_t* cancel) {
  FormatState state;
  TerminalPrompts prompts(options, console, hooks, state, device);
  bool declined = false;
  TerminalView view(options, console, hooks,
                    [&prompts, &declined] { declined = !prompts.ConfirmForeign(); });
  prompts.Attach(&view);
  DiskServices disk(device, driver, prompts);
  HfsStageRunner emptyVolume(options.totalSectors, options.date);
  MapNameConverter names(options.charMap ? options.charMap : DefaultCharMap.data());
  FormatController dialog(state, view, disk, prompts,
                          options.stages ? *options.stages : emptyVolume, names);

  dialog.OnStart();
  int steps = 0;
  bool cancelled = false, stopIgnored = false;
  // The dialog's message loop: posted stops first, then one timer message at a time.
  for (;;) {
    if (view.pendingStops > 0) {
      --view.pendingStops;
      dialog.OnCancel();
      continue;
    }
    if (!view.timerSet) break;
    if (declined && steps == 0) {
      dialog.OnCancel();  // nothing written yet: a refusal
      continue;
    }
    // Once the last sector is written only the completion is left: a stop then would throw a
    // finished volume away.
    if (cancel && *cancel && state.step > kLastStageStep) {
      stopIgnored = true;
    } else if (cancel && *cancel) {
      cancelled = true;
      dialog.OnCancel();
      continue;
    }
    ++steps;
    dialog.OnTimer();
    view.Render(state);
  }
  view.EndLine();

  RunResult result;
  result.full = state.quickFormat == 0;
  std::memcpy(result.volumeLabel, state.volumeLabel, sizeof result.volumeLabel);
  result.flushError = view.flushError;
  result.stopIgnored = stopIgnored || (view.completed && cancel && *cancel);
  if (view.completed)
    result.outcome = Outcome::kFormatted;
  else if (cancelled)
    result.outcome = Outcome::kCancelled;
  else if (steps == 0)
    result.outcome = Outcome::kRefused;
  else
    result.outcome = Outcome::kFailed;
  return result;
}

}  // namespace brind::cli
