#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/FormatRun.h"
#include "tests/support/FakeDevice.h"
#include "tests/support/FakeDriverPort.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind::cli {
namespace {

using test::FakeDevice;
using test::Op;

struct Recorder : ProgressSink {
  std::vector<std::string> events;
  void StatusLine(const char* text) override { events.push_back(text); }
  void TrackDone(uint32_t track, uint32_t) override {
    events.push_back("track " + std::to_string(track));
  }
  void StageStarting(const FormatStage& stage) override { events.push_back(stage.operation); }
};

struct Drive {
  FakeDevice device;
  test::FakeDriverPort driver;
  test::ScriptedPrompts prompts;
  DiskServices disk{device, driver, prompts};
  Recorder progress;

  SequenceResult Run(bool full, const uint8_t* oldMdb = nullptr,
                     const volatile std::sig_atomic_t* cancel = nullptr) {
    return RunFormatSequence(disk, 0, full, "Untitled", oldMdb, progress, cancel);
  }
};

TEST(LookAtDisk, TellsDosMacintoshAndBlankApart) {
  struct Case {
    const char* what;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> bytes;  // sector, offset/value pairs
    DiskKind kind;
  };
  const Case cases[] = {
      {"DOS", {{0, {0xEB, 0x3C}}}, DiskKind::kDos},
      {"Macintosh", {{2, {0x42, 0x44}}}, DiskKind::kMacintosh},
      {"blank", {}, DiskKind::kBlank},
      {"DOS signature wins", {{0, {}}, {2, {0x42, 0x44}}}, DiskKind::kDos},
      {"half an HFS signature", {{2, {0x42, 0x00}}}, DiskKind::kBlank},
  };
  for (const Case& c : cases) {
    Drive d;
    bool dos = false;
    for (const auto& [sector, head] : c.bytes) {
      for (size_t i = 0; i < head.size(); ++i) d.device.SectorData(sector)[i] = head[i];
      if (sector == 0) dos = true;
    }
    if (dos) {
      d.device.SectorData(0)[510] = 0x55;
      d.device.SectorData(0)[511] = 0xAA;
    }
    const auto before = d.device.disk;
    const DiskLook look = LookAtDisk(d.disk, 0);
    EXPECT_EQ(look.status, 0) << c.what;
    EXPECT_EQ(look.kind, c.kind) << c.what;
    // The probes write back exactly what they read.
    EXPECT_EQ(d.device.disk, before) << c.what;
  }
}

TEST(LookAtDisk, ProbeFailuresStopOrCountAsBlank) {
  struct Case {
    const char* what;
    Op op;
    uint32_t sector;
    uint16_t code;
    DiskStatus status;  // 0: the look goes on
    DiskKind kind;
  };
  const Case cases[] = {
      {"no disk", Op::kRead, 0, 2, 2, DiskKind::kBlank},
      {"sector not found", Op::kRead, 2, 8, 8, DiskKind::kBlank},
      {"write-protected", Op::kWrite, 0, 3, 3, DiskKind::kBlank},
      {"unreadable boot sector", Op::kRead, 0, 31, 0, DiskKind::kMacintosh},
      {"unreadable MDB", Op::kRead, 2, 31, 0, DiskKind::kBlank},
  };
  for (const Case& c : cases) {
    Drive d;
    d.device.SectorData(2)[0] = 0x42;
    d.device.SectorData(2)[1] = 0x44;
    d.device.FailOp(c.op, c.code, c.sector);
    const auto before = d.device.disk;
    const DiskLook look = LookAtDisk(d.disk, 0);
    EXPECT_EQ(look.status, c.status) << c.what;
    if (c.status == 0) {
      EXPECT_EQ(look.kind, c.kind) << c.what;
    } else {
      EXPECT_NE(ProbeFailureMessage(look.status), nullptr) << c.what;
    }
    EXPECT_EQ(d.device.disk, before) << c.what;
  }
  EXPECT_STREQ(ProbeFailureMessage(3),
               "Brindlewood cannot format this disk because it is write protected. If you are "
               "sure you want to continue, please remove the write-protect tab, reinsert the disk, "
               "and then start again.");
}

TEST(FormatSequence, FullFormatsEveryTrackInOrderThenTheSevenStages) {
  Drive d;
  const SequenceResult r = d.Run(true);
  ASSERT_TRUE(r.ok) << r.message;
  std::vector<std::pair<uint16_t, uint16_t>> tracks;
  for (const auto& c : d.device.calls)
    if (c.op == Op::kFormatTrack) tracks.push_back({c.cylinder, c.head});
  ASSERT_EQ(tracks.size(), 160u);
  for (uint16_t n = 0; n < 160; ++n) {
    EXPECT_EQ(tracks[n].first, n / 2);
    EXPECT_EQ(tracks[n].second, n % 2);
  }
  EXPECT_TRUE(d.device.paramsSet);
  ASSERT_EQ(d.progress.events.size(), 1u + 160 + 1 + 7);
  EXPECT_EQ(d.progress.events[0], "Formatting...");
  EXPECT_EQ(d.progress.events[161], "Creating File System...");
  EXPECT_EQ(d.progress.events.back(), "WriteDuplicateVib");
  // Formatted tracks hold the filler; the file system is written over them.
  EXPECT_EQ(d.device.SectorData(1000)[0], 0xF6);
  EXPECT_EQ(d.device.SectorData(2)[0], 0x42);
}

TEST(FormatSequence, QuickRunsOnlyTheStages) {
  Drive d;
  ASSERT_TRUE(d.Run(false).ok);
  EXPECT_EQ(d.device.Count(Op::kFormatTrack), 0u);
  EXPECT_FALSE(d.device.paramsSet);
  EXPECT_EQ(d.progress.events.front(), "Creating File System...");
}

TEST(FormatSequence, TrackErrorsInWords) {
  struct Case {
    uint16_t code;
    std::vector<std::pair<Op, uint16_t>> probe;  // how sector 2 answers the re-test
    const char* starts;
  };
  const Case cases[] = {
      {5, {{Op::kRead, 2}}, "There is no disk in this drive"},
      {5, {{Op::kRead, 8}}, "There is no disk in this drive"},
      {5, {{Op::kWrite, 3}}, "Brindlewood cannot format this disk because it is write protected."},
      {5, {}, "Brindlewood could not format the disk because the disk has errors."},
      {5, {{Op::kRead, 31}}, "Brindlewood could not format the disk because the disk has errors."},
      {15, {}, "Brindlewood cannot format this drive, because the drive is invalid."},
      {19, {}, "Brindlewood cannot format this disk because it is write protected."},
      {20, {}, "There is no disk in this drive or the drive door is open."},
      {31, {}, "General failure on disk. The disk cannot be formatted."},
      {32, {}, "Brindlewood cannot format the disk because the disk is locked by another process"},
      {99,
       {},
       "Brindlewood could not format the disk because the disk has error. Insert another "
       "disk and than start again."},
  };
  for (const Case& c : cases) {
    Drive d;
    d.device.fault = [&](const test::DeviceCall& call, size_t) -> std::optional<DeviceResult> {
      if (call.op == Op::kFormatTrack && call.cylinder == 18 && call.head == 1)
        return DeviceResult::Failure(c.code);
      for (const auto& [op, code] : c.probe)
        if (call.op == op && call.sector == 2) return DeviceResult::Failure(code);
      return std::nullopt;
    };
    const SequenceResult r = d.Run(true);
    EXPECT_FALSE(r.ok) << c.code;
    EXPECT_EQ(r.message.rfind(c.starts, 0), 0u) << c.code << ": " << r.message;
    // The format stops at the failed track: nothing after it, no file system.
    EXPECT_EQ(d.device.Count(Op::kFormatTrack), 38u) << c.code;
    EXPECT_NE(d.device.SectorData(2)[0], 0x42) << c.code;
  }
}

TEST(FormatSequence, ParametersThatCannotBeSetStopBeforeAnyTrack) {
  Drive d;
  d.device.FailOp(Op::kSetParams, 31);
  const SequenceResult r = d.Run(true);
  EXPECT_EQ(r.message, "Brindlewood failed to Set the device parameters.");
  EXPECT_EQ(d.device.Count(Op::kFormatTrack), 0u);
  EXPECT_EQ(d.device.Count(Op::kWrite), 0u);
}

// A failed stage: its message; a quick format that had begun its file system leaves the old MDB
// unrecognisable, a full format (or a stage before 160 was run) leaves sector 2 alone.
TEST(FormatSequence, FailedStagesAndTheStopOfAQuickFormat) {
  struct Case {
    bool full;
    uint32_t failingSector;
    Op op;
    const char* message;
    bool invalidated;
  };
  const Case cases[] = {
      {false, 0, Op::kWrite, "Unable to write the Boot Record", true},
      {false, 3, Op::kWrite, "Unable to write the Volume Bitmap", true},
      {false, 27, Op::kWrite, "Unable to write the Root directory", true},
      {false, 2878, Op::kWrite, "Unable to write the Duplicate VIB", true},
      {true, 2878, Op::kWrite, "Unable to write the Duplicate VIB", false},
      {true, 26, Op::kWrite, "Unable to write the Catalog Record", false},
  };
  for (const Case& c : cases) {
    Drive d;
    uint8_t oldMdb[512];
    for (int i = 0; i < 512; ++i) oldMdb[i] = static_cast<uint8_t>(i + 1);
    d.device.FailOp(c.op, 3, c.failingSector);
    const SequenceResult r = d.Run(c.full, oldMdb);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, c.message);
    const uint8_t* mdb = d.device.SectorData(2);
    if (c.invalidated) {
      EXPECT_EQ(mdb[0] | mdb[1] | mdb[510] | mdb[511], 0) << c.message;
      EXPECT_EQ(std::vector<uint8_t>(mdb + 2, mdb + 510),
                std::vector<uint8_t>(oldMdb + 2, oldMdb + 510))
          << c.message;
    } else {
      EXPECT_NE(std::vector<uint8_t>(mdb + 2, mdb + 510),
                std::vector<uint8_t>(oldMdb + 2, oldMdb + 510))
          << c.message;
    }
  }
}

TEST(FormatSequence, CancelBetweenStepsWritesNothingMore) {
  Drive d;
  volatile std::sig_atomic_t cancel = 1;
  const SequenceResult r = d.Run(false, nullptr, &cancel);
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(d.device.Count(Op::kWrite), 0u);

  Drive full;
  const SequenceResult f = full.Run(true, nullptr, &cancel);
  EXPECT_TRUE(f.cancelled);
  EXPECT_EQ(full.device.Count(Op::kFormatTrack), 0u);
}

}  // namespace
}  // namespace brind::cli
