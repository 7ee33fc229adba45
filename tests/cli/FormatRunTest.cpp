// brindlewood-format's run of the format dialog on a terminal: what it prints, what it asks and
// how it answers, over an in-memory drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "cli/FormatRun.h"
#include "tests/support/FakeDevice.h"
#include "tests/support/FakeDriverPort.h"

namespace brind::cli {
namespace {

using test::DeviceCall;
using test::FakeDevice;
using test::Op;

struct ScriptedConsole : Console {
  std::string out;
  std::vector<std::string> err;
  std::deque<std::string> input;
  void Out(const std::string& text) override { out += text; }
  void ErrLine(const std::string& line) override { err.push_back(line); }
  bool ReadLine(std::string& line) override {
    if (input.empty()) return false;
    line = input.front();
    input.pop_front();
    return true;
  }
};

struct ToolRun {
  FakeDevice device;
  test::FakeDriverPort driver;
  ScriptedConsole console;
  RunOptions options;
  DeviceHooks hooks;
  volatile std::sig_atomic_t cancel = 0;
  int flushes = 0;

  ToolRun() {
    options.target = "disk.img";
    options.label = "Untitled";
    hooks.flush = [this] {
      ++flushes;
      return 0;
    };
  }
  void MacDisk() {
    device.SectorData(2)[0] = 0x42;
    device.SectorData(2)[1] = 0x44;
    device.SectorData(2)[36] = 3;
    std::memcpy(device.SectorData(2) + 37, "Old", 3);
  }
  void DosDisk() {
    uint8_t* boot = device.SectorData(0);
    boot[38] = 0x29;
    std::memcpy(boot + 43, "DOSLABEL   ", 11);
    boot[510] = 0x55;
    boot[511] = 0xAA;
  }
  RunResult Go() { return RunFormat(device, driver, options, console, hooks, &cancel); }
  size_t Tracks() const { return device.Count(Op::kFormatTrack); }
};

constexpr char kNote[] =
    "Not a Macintosh disk: a quick format is not possible, doing a full format.\n";

// Which disks are formatted without a question, which take -y or a yes, and what is printed.
TEST(FormatRun, QuestionsAndTheirAnswers) {
  enum Disk { kBlank, kNewImage, kDos, kMac, kExt2 };  // kExt2: blank to the dialog
  struct Case {
    const char* what;
    Disk disk;
    bool quick, yes, terminal;
    const char* typed;  // the answer typed on the terminal
    Outcome outcome;
    bool full;
    std::string out;  // standard output
    const char* err;  // the one line on standard error, or ""
  };
  const Case cases[] = {
      {"new image", kNewImage, true, false, false, nullptr, Outcome::kFormatted, true,
       "disk.img: a new image\nFormatting...\nCreating File System...\n", ""},
      {"new image without tracks", kNewImage, true, false, false, nullptr, Outcome::kFormatted,
       true, "disk.img: a new image\nCreating File System...\n", ""},
      {"blank disk, quick", kBlank, true, false, false, nullptr, Outcome::kFormatted, true,
       "disk.img: a blank disk\n" + std::string(kNote) + "Formatting...\nCreating File System...\n",
       ""},
      {"Macintosh disk without -y", kMac, true, false, false, nullptr, Outcome::kRefused, false,
       "disk.img: a Macintosh disk named \"Old\"\n",
       "not overwriting a Macintosh disk named \"Old\" without -y (no terminal to ask on). "
       "Nothing was written."},
      {"Macintosh disk with -y", kMac, true, true, false, nullptr, Outcome::kFormatted, false,
       "disk.img: a Macintosh disk named \"Old\"\nCreating File System...\n", ""},
      {"Macintosh disk, yes typed", kMac, false, false, true, "y\n", Outcome::kFormatted, true,
       "disk.img: a Macintosh disk named \"Old\"\nDisk is already in Macintosh format. Do you "
       "wish to continue with the format? [y/N] Formatting...\nCreating File System...\n",
       ""},
      {"Macintosh disk, no typed", kMac, true, false, true, "n\n", Outcome::kRefused, false,
       "disk.img: a Macintosh disk named \"Old\"\nDisk is already in Macintosh format. Do you "
       "wish to continue with the format? [y/N] ",
       "Nothing was written."},
      {"DOS disk without -y", kDos, true, false, false, nullptr, Outcome::kRefused, false,
       "disk.img: a DOS disk labelled \"DOSLABEL\"\n",
       "not overwriting a DOS disk labelled \"DOSLABEL\" without -y (no terminal to ask on). "
       "Nothing was written."},
      {"DOS disk, quick, -y", kDos, true, true, false, nullptr, Outcome::kFormatted, true,
       "disk.img: a DOS disk labelled \"DOSLABEL\"\n" + std::string(kNote) +
           "Formatting...\nCreating File System...\n",
       ""},
      {"DOS disk, full, -y", kDos, false, true, false, nullptr, Outcome::kFormatted, true,
       "disk.img: a DOS disk labelled \"DOSLABEL\"\nFormatting...\nCreating File System...\n", ""},
      {"ext2, full, without -y", kExt2, false, false, false, nullptr, Outcome::kRefused, false,
       "disk.img: an ext2 file system\n",
       "not overwriting an ext2 file system without -y (no terminal to ask on). Nothing was "
       "written."},
      {"ext2, full, no typed", kExt2, false, false, true, "n\n", Outcome::kRefused, false,
       "disk.img: an ext2 file system\nThe disk holds an ext2 file system. Do you wish to "
       "continue with the format? [y/N] ",
       "Nothing was written."},
      {"ext2, quick, yes typed once", kExt2, true, false, true, "y\n", Outcome::kFormatted, true,
       "disk.img: an ext2 file system\nNot a Macintosh disk, so a quick format is not possible. "
       "Format its tracks and write a new volume over an ext2 file system? [y/N] "
       "Formatting...\nCreating File System...\n",
       ""},
      {"ext2 behind a DOS boot sector", kDos, false, true, false, nullptr, Outcome::kFormatted,
       true, "disk.img: a DOS disk labelled \"DOSLABEL\"\nFormatting...\nCreating File System...\n",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun r;
    if (c.disk == kDos) r.DosDisk();
    if (c.disk == kMac) r.MacDisk();
    r.options.created = c.disk == kNewImage;
    if (c.disk == kExt2 || std::strstr(c.what, "behind"))
      r.hooks.identify = [] { return std::string("an ext2 file system"); };
    r.options.hasTracks = !std::strstr(c.what, "without tracks");
    r.options.quick = c.quick;
    r.options.yes = c.yes;
    r.options.askOnTerminal = c.terminal;
    if (c.typed) r.console.input = {c.typed};
    const auto before = r.device.disk;
    const RunResult result = r.Go();
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(r.console.out, c.out);
    EXPECT_EQ(r.console.err,
              c.err[0] ? std::vector<std::string>{c.err} : std::vector<std::string>{});
    if (c.outcome == Outcome::kFormatted) {
      EXPECT_EQ(result.full, c.full);
      EXPECT_EQ(r.Tracks(), c.full ? 160u : 0u);
      EXPECT_STREQ(result.volumeLabel, "Untitled");
      EXPECT_EQ(r.flushes, 1) << "made durable once, before the unlock";
    } else {
      EXPECT_EQ(r.device.disk, before);
      EXPECT_EQ(r.flushes, 0);
    }
    EXPECT_EQ(r.device.lockDepth, 0);
  }
}

// Blank is a disk that holds nothing; an unreadable track counts as never formatted.
TEST(FormatRun, OnlyADiskThatHoldsNothingIsBlank) {
  struct Case {
    const char* what;
    uint32_t sector;  // where byte 7 is set (0: nowhere)
    uint8_t value;
    uint32_t failBelow;  // reads of sectors below it fail
    uint16_t readError;
    bool blank;
  } const cases[] = {
      {"zeros and a track of filler", 0, 0, 0, 0, true},
      {"one 0xF6 among zeros", 40, 0xF6, 0, 0, false},
      {"a byte in sector 127", 127, 1, 0, 0, false},
      {"a byte in sector 128", 128, 1, 0, 0, true},
      {"a byte in the last sector", 2879, 1, 0, 0, false},
      {"unformatted", 0, 0, 2880, 31, true},
      {"first track unreadable, data on the second", 20, 1, 18, 31, false},
      {"no disk", 0, 0, 2880, kDiskNotReady, false},
  };
  for (const Case& c : cases) {
    FakeDevice d;
    std::memset(d.SectorData(18), 0xF6, 18 * kSectorSize);
    if (c.sector) d.SectorData(c.sector)[7] = c.value;
    d.fault = [&c](const DeviceCall& call, size_t) -> std::optional<DeviceResult> {
      if (call.sector < c.failBelow) return DeviceResult::Failure(c.readError);
      return std::nullopt;
    };
    EXPECT_EQ(HoldsNothing(d, kTotalSectors), c.blank) << c.what;
  }
}

TEST(FormatRun, QuietPrintsOnlyErrors) {
  ToolRun r;
  r.options.quiet = true;
  r.options.yes = true;
  r.DosDisk();
  EXPECT_EQ(r.Go().outcome, Outcome::kFormatted);
  EXPECT_EQ(r.console.out, "");

  ToolRun refused;
  refused.options.quiet = true;
  refused.MacDisk();
  EXPECT_EQ(refused.Go().outcome, Outcome::kRefused);
  EXPECT_EQ(refused.console.out, "");
  ASSERT_EQ(refused.console.err.size(), 1u);
}

// A missing disk: Retry is offered on a terminal, and taken; without one the format stops.
TEST(FormatRun, RetryOnlyWhereSomeoneCanAnswer) {
  constexpr char kNoDisk[] =
      "There is no disk in this drive or the drive door is open. Insert a disk in the drive and "
      "make sure the drive door is closed, and then click retry.";
  for (bool terminal : {true, false}) {
    SCOPED_TRACE(terminal);
    ToolRun r;
    r.options.quick = false;
    r.options.askOnTerminal = terminal;
    r.console.input = {"r\n"};
    int reads = 0;
    r.device.fault = [&](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
      if (c.op == Op::kRead && reads++ == 0) return DeviceResult::Failure(kDiskNotReady);
      return std::nullopt;
    };
    const RunResult result = r.Go();
    if (terminal) {
      EXPECT_EQ(result.outcome, Outcome::kFormatted);
      EXPECT_NE(r.console.out.find(std::string(kNoDisk) + " [r/C] "), std::string::npos);
      EXPECT_TRUE(r.console.err.empty());
    } else {
      EXPECT_EQ(result.outcome, Outcome::kRefused);
      EXPECT_EQ(r.console.err, std::vector<std::string>{kNoDisk});
      EXPECT_EQ(r.Tracks(), 0u);
    }
  }
}

TEST(FormatRun, FailuresAndInterruptions) {
  // A track that cannot be formatted stops with the dialog's words.
  ToolRun track;
  track.options.quick = false;
  track.device.fault = [](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
    if (c.op == Op::kFormatTrack && c.cylinder == 40) return DeviceResult::Failure(31);
    return std::nullopt;
  };
  EXPECT_EQ(track.Go().outcome, Outcome::kFailed);
  EXPECT_EQ(track.console.err,
            std::vector<std::string>{"General failure on disk. The disk cannot be formatted."});
  EXPECT_EQ(track.Tracks(), 81u);

  // Ctrl-C between two tracks: nothing more is formatted.
  ToolRun full;
  full.options.quick = false;
  full.device.fault = [&](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
    if (c.op == Op::kFormatTrack && c.cylinder == 10) full.cancel = 1;
    return std::nullopt;
  };
  EXPECT_EQ(full.Go().outcome, Outcome::kCancelled);
  EXPECT_EQ(full.Tracks(), 21u);
  EXPECT_EQ(full.device.lockDepth, 0);

  // Ctrl-C in a quick format's file system: the disk is no longer a Macintosh disk.
  ToolRun quick;
  quick.MacDisk();
  quick.options.yes = true;
  int writes = 0;
  quick.device.fault = [&](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
    if (c.op == Op::kWrite && ++writes == 6) quick.cancel = 1;
    return std::nullopt;
  };
  EXPECT_EQ(quick.Go().outcome, Outcome::kCancelled);
  EXPECT_NE(quick.device.SectorData(2)[0], 0x42);

  // A device that will not open is explained once, in the device's words.
  ToolRun closed;
  closed.device.openError = 13;
  closed.hooks.openError = [] { return std::string("disk.img: Permission denied"); };
  EXPECT_EQ(closed.Go().outcome, Outcome::kRefused);
  EXPECT_EQ(closed.console.err, std::vector<std::string>{"disk.img: Permission denied"});
}

// On a terminal the progress is one line, redrawn: the bar only grows, and every track counts.
TEST(FormatRun, ProgressLineOnATerminal) {
  ToolRun r;
  r.options.quick = false;
  r.options.drawOnTerminal = true;
  EXPECT_EQ(r.Go().outcome, Outcome::kFormatted);
  std::vector<std::string> lines;
  size_t at = 0;
  while ((at = r.console.out.find('\r', at)) != std::string::npos) {
    const size_t end = r.console.out.find_first_of("\r\n", at + 1);
    lines.push_back(r.console.out.substr(at + 1, end - at - 1));
    ++at;
  }
  ASSERT_EQ(lines.size(), 167u) << "one redraw per step";
  size_t lastBar = 0;
  for (const std::string& line : lines) {
    const size_t bar = std::count(line.begin(), line.end(), '#');
    EXPECT_GE(bar, lastBar) << line;
    lastBar = bar;
  }
  EXPECT_NE(lines[159].find("Formatting..."), std::string::npos);
  EXPECT_NE(lines[159].find("track 160 of 160"), std::string::npos);
  EXPECT_NE(lines[162].find("Creating File System..."), std::string::npos);
  EXPECT_NE(lines[162].find("3 of 7: WriteExtentRecord"), std::string::npos);
  EXPECT_GE(lastBar, 38u);
}

}  // namespace
}  // namespace brind::cli
