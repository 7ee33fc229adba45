// The timer-driven sequence: steps, status line, track errors, the stop, completion and the bar.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/formatter/FormatRig.h"
#include "tests/support/MessageTexts.h"

namespace brind {
namespace {

using test::DeviceCall;
using test::FormatRig;
using test::kGeneralFailure;
using test::kMacDisk;
using test::kNoDiskRetry;
using test::kSetParamsFailed;
using test::kStageFailures;
using test::Op;

std::vector<uint32_t> TracksFormatted(const FormatRig& rig) {
  std::vector<uint32_t> tracks;
  for (const DeviceCall& c : rig.device.calls)
    if (c.op == Op::kFormatTrack) tracks.push_back(c.cylinder * 2u + c.head);
  return tracks;
}

TEST(FormatSequence, FullFormatOfABlankDisk) {
  FormatRig rig;
  ASSERT_TRUE(rig.Open());
  rig.Start(/*quick=*/false);
  EXPECT_TRUE(rig.prompts.shown.empty()) << "a blank disk needs no question for a full format";
  rig.Pump();

  // 160 track steps and 7 stages, each in its own timer message, then the completing one.
  EXPECT_EQ(rig.timerMessages, 167 + 1);
  std::vector<uint32_t> order(160);
  for (uint32_t t = 0; t < 160; ++t) order[t] = t;
  EXPECT_EQ(TracksFormatted(rig), order);
  ASSERT_EQ(rig.stages.runs.size(), 7u);
  for (uint32_t k = 0; k < 7; ++k) EXPECT_EQ(rig.stages.runs[k].index, k);
  EXPECT_EQ(rig.stages.runs[1].label, "Untitled");

  EXPECT_EQ(rig.view.statusHistory, (std::vector<std::string>{"Initializing...", "Formatting...",
                                                              "Creating File System...", ""}));
  EXPECT_TRUE(rig.view.Idle());
  EXPECT_EQ(rig.state.formatActive, 0);
  EXPECT_TRUE(rig.Unlocked());
  EXPECT_TRUE(rig.device.paramsSet) << "step 0 sets the medium's parameters";
  EXPECT_TRUE(rig.prompts.shown.empty());

  // The disk now holds an HFS volume with the label, and its copy of the master directory block.
  const uint8_t* mdb = rig.device.SectorData(2);
  EXPECT_EQ(mdb[0], 0x42);
  EXPECT_EQ(mdb[1], 0x44);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mdb) + 37, mdb[36]), "Untitled");
  EXPECT_EQ(std::memcmp(mdb, rig.device.SectorData(2878), 512), 0);
}

TEST(FormatSequence, QuickFormatOfAMacintoshDisk) {
  FormatRig rig;
  rig.PutMacDisk("Old");
  ASSERT_TRUE(rig.Open());
  EXPECT_EQ(rig.view.label, "Old");
  rig.prompts.answers = {kIdYes};
  rig.Start(/*quick=*/true, "New");
  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.prompts.shown[0].text, kMacDisk);
  EXPECT_EQ(rig.prompts.shown[0].flags, unsigned{kMbYesNo | kMbIconQuestion});
  rig.Pump();

  EXPECT_EQ(rig.timerMessages, 7 + 1);
  EXPECT_TRUE(TracksFormatted(rig).empty());
  EXPECT_EQ(rig.stages.runs.size(), 7u);
  EXPECT_EQ(rig.view.statusHistory,
            (std::vector<std::string>{"Initializing...", "Creating File System...", ""}));
  EXPECT_TRUE(rig.view.Idle());
  EXPECT_TRUE(rig.Unlocked());
  EXPECT_FALSE(rig.device.paramsSet) << "a quick format leaves the medium's parameters alone";
}

// A track answering "access denied" is re-tested with a probe of sector 2; a disk missing asks
// Retry/Cancel, and Retry formats the same track again without the bar going back.
TEST(FormatSequence, RetryAfterNoDiskFormatsTheSameTrackAgain) {
  for (uint16_t probeCode : {kDiskNotReady, kDiskSectorNotFound}) {
    SCOPED_TRACE(probeCode);
    FormatRig rig;
    rig.Open();
    int denied = 0, probeFailures = 0;
    rig.device.fault = [&](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
      if (c.op == Op::kFormatTrack && c.cylinder == 18 && c.head == 1 && denied++ == 0)
        return DeviceResult::Failure(kDiskAccessDenied);
      if (c.op == Op::kRead && c.sector == 2 && denied == 1 && probeFailures++ == 0)
        return DeviceResult::Failure(probeCode);
      return std::nullopt;
    };
    std::vector<int32_t> drawnTo;
    rig.afterTimer = [&] { drawnTo.push_back(rig.state.barDrawnTo); };
    rig.prompts.answers = {kIdRetry};
    rig.Start(false);
    rig.Pump();

    ASSERT_EQ(rig.prompts.shown.size(), 1u);
    EXPECT_EQ(rig.prompts.shown[0].text, kNoDiskRetry);
    EXPECT_EQ(rig.prompts.shown[0].caption, "Drive Error");
    EXPECT_EQ(rig.prompts.shown[0].flags, unsigned{kMbRetryCancel | kMbIconInformation});
    std::vector<uint32_t> tracks = TracksFormatted(rig);
    ASSERT_EQ(tracks.size(), 161u);
    EXPECT_EQ(tracks[37], 37u);
    EXPECT_EQ(tracks[38], 37u);
    EXPECT_EQ(tracks[39], 38u);
    EXPECT_TRUE(std::is_sorted(drawnTo.begin(), drawnTo.end() - 1)) << "the bar moved back";
    EXPECT_EQ(rig.stages.runs.size(), 7u);
    EXPECT_TRUE(rig.view.Idle());
    EXPECT_TRUE(rig.Unlocked());
  }
}

// Every status a track format can answer, with the message, icon and buttons it brings, and the
// dialog back to idle with nothing more formatted when the answer ends the format.
TEST(FormatSequence, TrackErrorMessages) {
  constexpr char kTrackProtectedRetry[] =
      "Brindlewood cannot format this disk because it is write protected. If you are sure you "
      "want to continue, please remove the write-protect tab, reinsert the disk, and then click "
      "retry.";
  constexpr char kDiskErrors[] =
      "Brindlewood could not format the disk because the disk has errors. Insert another disk "
      "and then start again.";
  struct Case {
    uint16_t status;
    Op probeOp;  // for status 5: the probe call that fails (kOpen: none fails)
    uint16_t probeCode;
    const char* text;
    unsigned flags;
  };
  const Case cases[] = {
      {5, Op::kRead, 2, kNoDiskRetry, kMbRetryCancel | kMbIconInformation},
      {5, Op::kRead, 8, kNoDiskRetry, kMbRetryCancel | kMbIconInformation},
      {5, Op::kWrite, 3, kTrackProtectedRetry, kMbRetryCancel | kMbIconInformation},
      {5, Op::kOpen, 0, kDiskErrors, kMbOk | kMbIconWarning},
      {5, Op::kRead, 0x1B, kDiskErrors, kMbOk | kMbIconWarning},
      {15, Op::kOpen, 0, "Brindlewood cannot format this drive, because the drive is invalid.",
       kMbOk | kMbIconWarning},
      {19, Op::kOpen, 0,
       "Brindlewood cannot format this disk because it is write protected. If you are sure you "
       "want to continue, please remove the write-protect tab, reinsert the disk, and then start "
       "again.",
       kMbOk | kMbIconWarning},
      {20, Op::kOpen, 0,
       "There is no disk in this drive or the drive door is open. Insert a disk in the drive and "
       "make sure the drive door is closed, and then start again.",
       kMbOk | kMbIconWarning},
      {31, Op::kOpen, 0, kGeneralFailure, kMbOk | kMbIconWarning},
      {32, Op::kOpen, 0,
       "Brindlewood cannot format the disk because the disk is locked by another process or is "
       "damaged. Quit any disk utilities or other programs that are using this drive, and make "
       "sure that no window is displaying the contents of the drive. Then try formatting again",
       kMbOk | kMbIconInformation},
      {21, Op::kOpen, 0,
       "Brindlewood could not format the disk because the disk has error. Insert another disk and "
       "than start again.",
       kMbOk | kMbIconWarning},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "status " << c.status << " probe code " << c.probeCode);
    FormatRig rig;
    rig.Open();
    size_t failedAt = 0;
    rig.device.fault = [&](const DeviceCall& call, size_t i) -> std::optional<DeviceResult> {
      if (call.op == Op::kFormatTrack && call.cylinder == 3 && !failedAt) {
        failedAt = i;
        return DeviceResult::Failure(c.status);
      }
      if (failedAt && call.op == c.probeOp && call.sector == 2)
        return DeviceResult::Failure(c.probeCode);
      return std::nullopt;
    };
    rig.prompts.answers = {kIdCancel};
    rig.Start(false);
    rig.Pump();

    ASSERT_EQ(rig.prompts.shown.size(), 1u);
    EXPECT_EQ(rig.prompts.shown[0].text, c.text);
    EXPECT_EQ(rig.prompts.shown[0].caption, "Drive Error");
    EXPECT_EQ(rig.prompts.shown[0].flags, c.flags);
    EXPECT_EQ(TracksFormatted(rig).size(), 7u) << "tracks 0-5 and the failed 6, nothing after";
    for (const DeviceCall& w : rig.ChangesFrom(failedAt + 1))
      EXPECT_TRUE(w.op == Op::kWrite && w.sector == 2) << "only the probe writes sector 2 back";
    EXPECT_TRUE(rig.stages.runs.empty());
    EXPECT_TRUE(rig.view.Idle());
    EXPECT_TRUE(rig.Unlocked());
    EXPECT_EQ(rig.state.formatActive, 0);
    EXPECT_FALSE(rig.view.endResult) << "a stopped format leaves the dialog open";
  }
}

TEST(FormatSequence, CancelDuringTheTracksWritesNothingMore) {
  FormatRig rig;
  rig.Open();
  size_t cancelledAt = 0;
  rig.cancelBeforeTimer = [&] {
    if (rig.state.step != 50) return false;
    cancelledAt = rig.device.calls.size();
    return true;
  };
  rig.Start(false);
  rig.Pump();
  ASSERT_NE(cancelledAt, 0u);
  EXPECT_EQ(TracksFormatted(rig).size(), 50u);
  EXPECT_TRUE(rig.ChangesFrom(cancelledAt).empty());
  EXPECT_TRUE(rig.view.Idle());
  EXPECT_TRUE(rig.Unlocked());
  EXPECT_EQ(rig.view.LitColumns(), 0) << "the bar disappears";
  EXPECT_EQ(rig.view.resultsShown, 0);
}

// A format stopped once the file system is begun leaves sector 2 without its signature, so the
// half-made volume is not taken for a Macintosh disk: a quick format writes back the old master
// directory block, a full one a blank sector. Stopped after its last stage, the volume is whole.
TEST(FormatSequence, FormatStoppedWhileWritingTheFileSystemInvalidatesSectorTwo) {
  for (bool quick : {true, false}) {
    for (uint32_t stopBefore : {161u, 164u, 166u, 167u}) {
      SCOPED_TRACE(testing::Message() << (quick ? "quick" : "full") << " " << stopBefore);
      FormatRig rig;
      rig.PutMacDisk("Old");
      std::vector<uint8_t> expected(512, 0);
      if (quick) expected.assign(rig.device.SectorData(2), rig.device.SectorData(2) + 512);
      expected[0] = expected[1] = expected[510] = expected[511] = 0;
      rig.Open();
      rig.prompts.answers = {kIdYes};
      rig.cancelBeforeTimer = [&] { return rig.state.step == stopBefore; };
      rig.Start(quick);
      rig.Pump();
      EXPECT_EQ(rig.stages.runs.size(), stopBefore - 160);
      const std::vector<uint8_t> sector2(rig.device.SectorData(2), rig.device.SectorData(2) + 512);
      if (stopBefore == 167) {
        EXPECT_EQ(rig.ChangesFrom(rig.stages.runs.back().endCall).size(), 0u);
        EXPECT_EQ(sector2[0], 0x42) << "a whole volume keeps its signature";
      } else {
        ASSERT_EQ(rig.ChangesFrom(rig.stages.runs.back().endCall).size(), 1u);
        EXPECT_EQ(rig.device.WrittenSectors().back(), 2u);
        EXPECT_EQ(sector2, expected);
      }
      EXPECT_EQ(rig.state.fileSystemStarted, 0);
      EXPECT_EQ(rig.view.resultsShown, 0);
      EXPECT_TRUE(rig.view.Idle());
      EXPECT_TRUE(rig.Unlocked());
    }
  }
}

// A timer message still queued when a format was cancelled or failed belongs to no format: it
// neither draws, nor asks, nor shows the results, nor touches the drive.
TEST(FormatSequence, AStrayTimerMessageAfterTheFormatEndedDoesNothing) {
  for (int failStage : {-1, 2}) {
    SCOPED_TRACE(failStage < 0 ? "after a Cancel" : "after a failed stage");
    FormatRig rig;
    rig.Open();
    rig.stages.failIndex = failStage;
    rig.prompts.answers = {kIdOk, kIdOk};
    if (failStage < 0) rig.cancelBeforeTimer = [&] { return rig.state.step == 50; };
    int straysBeforeStop = 0;
    const auto stray = [&] {
      const size_t calls = rig.device.calls.size(), shown = rig.prompts.shown.size();
      const size_t draws = rig.view.draws.size(), statuses = rig.view.statusHistory.size();
      rig.ctl.OnTimer();
      EXPECT_EQ(rig.device.calls.size(), calls);
      EXPECT_EQ(rig.prompts.shown.size(), shown);
      EXPECT_EQ(rig.view.draws.size(), draws);
      EXPECT_EQ(rig.view.statusHistory.size(), statuses);
      EXPECT_EQ(rig.view.resultsShown, 0);
      EXPECT_FALSE(rig.view.timerSet);
    };
    // The failure posts its stop; a timer message may come before the stop does.
    rig.afterTimer = [&] {
      if (rig.view.pendingStops > 0) {
        ++straysBeforeStop;
        stray();
      }
    };
    rig.Start(false);
    rig.Pump();
    EXPECT_EQ(straysBeforeStop, failStage < 0 ? 0 : 1);
    stray();
    EXPECT_TRUE(rig.view.Idle());
    EXPECT_TRUE(rig.Unlocked());
  }
}

// Before step 160 a quick format has written nothing of its own, and must not invalidate what is
// there, even right after another format ran to its end in the same dialog.
TEST(FormatSequence, QuickFormatStoppedBeforeItsFirstStageWritesNothing) {
  struct Case {
    const char* what;
    bool answerNo;  // No to the Macintosh question; otherwise Cancel before the first step
  };
  for (const Case c : {Case{"No to the question", true}, Case{"Cancel at once", false}}) {
    SCOPED_TRACE(c.what);
    FormatRig rig;
    rig.PutMacDisk("Old");
    rig.Open();
    rig.prompts.answers = {kIdYes};
    rig.Start(true, "First");
    rig.Pump();
    ASSERT_EQ(rig.stages.runs.size(), 7u);
    const std::vector<uint8_t> before = rig.device.disk;

    rig.prompts.answers = {c.answerNo ? kIdNo : kIdYes};
    rig.cancelBeforeTimer = [] { return true; };
    const size_t from = rig.device.calls.size();
    rig.Start(true, "Second");
    rig.Pump();
    EXPECT_EQ(rig.stages.runs.size(), 7u);
    EXPECT_EQ(rig.device.disk, before);
    // Start's probes write back what they read; nothing else is written.
    for (const DeviceCall& w : rig.ChangesFrom(from)) {
      EXPECT_EQ(w.op, Op::kWrite);
      EXPECT_TRUE(w.sector == 0 || w.sector == 2);
    }
    EXPECT_LE(rig.ChangesFrom(from).size(), 2u);
    EXPECT_TRUE(rig.view.Idle());
    EXPECT_TRUE(rig.Unlocked());
  }
}

TEST(FormatSequence, SummaryKeepsTheVolumeLockedUntilItCloses) {
  for (bool summary : {false, true}) {
    SCOPED_TRACE(summary);
    FormatRig rig;
    rig.Open();
    bool lockedDuringResults = false, idleDuringResults = false;
    rig.view.onResults = [&] {
      lockedDuringResults = rig.device.lockDepth > 0;
      idleDuringResults = rig.view.InputsEnabled() && rig.view.closeText == "Close";
    };
    size_t unlocksBeforeEnd = 0;
    rig.afterTimer = [&] {
      if (rig.state.formatActive) unlocksBeforeEnd = rig.device.Count(Op::kUnlock);
    };
    rig.prompts.answers = {kIdOk};  // a blank disk: OK to the quick question makes it full
    rig.Start(true, "Untitled", summary);
    rig.Pump();
    EXPECT_EQ(rig.view.resultsShown, summary ? 1 : 0);
    if (summary) {
      EXPECT_TRUE(lockedDuringResults);
      EXPECT_TRUE(idleDuringResults) << "the dialog is idle again behind the summary";
    }
    EXPECT_EQ(rig.device.Count(Op::kUnlock), unlocksBeforeEnd + 2) << "one UnlockVolume";
    EXPECT_TRUE(rig.Unlocked());
  }
}

TEST(FormatSequence, StageFailuresStopWithTheirMessages) {
  for (bool quick : {false, true}) {
    for (int k = 0; k < 7; ++k) {
      SCOPED_TRACE(testing::Message() << (quick ? "quick" : "full") << " stage " << k);
      FormatRig rig;
      rig.PutMacDisk("Old");
      rig.Open();
      rig.stages.failIndex = k;
      rig.prompts.answers = {kIdYes};
      rig.Start(quick);
      rig.Pump();
      ASSERT_EQ(rig.prompts.shown.size(), 2u);
      EXPECT_EQ(rig.prompts.shown[1].text, kStageFailures[k]);
      EXPECT_EQ(rig.prompts.shown[1].caption, "Brindlewood Format");
      EXPECT_EQ(rig.prompts.shown[1].flags, unsigned{kMbOk | kMbIconError});
      EXPECT_EQ(rig.stages.runs.size(), static_cast<size_t>(k) + 1) << "no stage after it";
      const size_t afterFailure = rig.stages.runs.back().endCall;
      const std::vector<DeviceCall> later = rig.ChangesFrom(afterFailure);
      ASSERT_EQ(later.size(), 1u);
      EXPECT_EQ(later[0].sector, 2u);
      EXPECT_NE(rig.device.SectorData(2)[0], 0x42) << "still reads as a Macintosh disk";
      EXPECT_TRUE(rig.view.Idle());
      EXPECT_TRUE(rig.Unlocked());
      EXPECT_EQ(rig.view.resultsShown, 0);
    }
  }
}

TEST(FormatSequence, SettingTheParametersFails) {
  FormatRig rig;
  rig.Open();
  rig.device.FailOp(Op::kSetParams, 0x1F);
  rig.Start(false);
  rig.Pump();
  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.prompts.shown[0].text, kSetParamsFailed);
  EXPECT_EQ(rig.prompts.shown[0].caption, "Brindlewood Utility");
  EXPECT_EQ(rig.prompts.shown[0].flags, unsigned{kMbOk | kMbIconInformation});
  EXPECT_EQ(rig.prompts.shown[0].owner, PromptOwner::kFocusWindow);
  EXPECT_TRUE(TracksFormatted(rig).empty());
  EXPECT_TRUE(rig.view.Idle());
  EXPECT_TRUE(rig.Unlocked());
}

}  // namespace
}  // namespace brind
