// The copy, one row per tick: skips, disk questions, retries, the exit choice and the bar.
#include <gtest/gtest.h>

#include "FakeSetupHost.h"
#include "setup/CopyProgress.h"
#include "setup/SetupFileTable.h"
#include "setup/SetupTexts.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind::setup {
namespace {

using test::FakeSetupHost;

TEST(BlockBar, BlocksAreTenWideOnAnElevenPixelPitch) {
  BlockBar bar(1, 201);
  // 0.5 of the width: edge at 1 + 100; blocks start at 1, 12, 23, ... and end before the gap.
  BlockBar::Step step = bar.Advance(50, 99);
  ASSERT_TRUE(step.draw);
  EXPECT_EQ(step.eraseFrom, 1);
  EXPECT_EQ(step.eraseTo, 101);
  ASSERT_EQ(step.blocks.size(), 9u);  // 9 * 11 = 99 pixels; the 10th block is unfinished
  for (std::size_t i = 0; i < step.blocks.size(); ++i) {
    EXPECT_EQ(step.blocks[i].left, 1 + 11 * static_cast<int>(i));
    EXPECT_EQ(step.blocks[i].right - step.blocks[i].left, 10);
  }
  EXPECT_EQ(bar.drawnEdge(), 100);
  EXPECT_EQ(bar.currentEdge(), 101);
}

TEST(BlockBar, SmallStepsWaitAndTheEndIsNeverDrawnByProgress) {
  BlockBar bar(0, 200);
  EXPECT_FALSE(bar.Advance(9, 199).draw);  // 9 pixels: less than 10 beyond the drawn edge
  EXPECT_EQ(bar.currentEdge(), 9);
  BlockBar::Step step = bar.Advance(10, 199);
  EXPECT_TRUE(step.draw);  // 10 pixels beyond: drawn, but no block is complete yet
  EXPECT_TRUE(step.blocks.empty());
  EXPECT_EQ(bar.drawnEdge(), 0);
  // Everything copied: the fraction divides by total + 1 and stays short of the right edge.
  bar.Advance(199, 199);
  EXPECT_LT(bar.currentEdge(), 200);
  // Past the end (sizes above the total) both edges snap to the right and nothing is drawn.
  EXPECT_FALSE(bar.Advance(400, 199).draw);
  EXPECT_EQ(bar.drawnEdge(), 200);
  EXPECT_EQ(bar.Repaint().size(), 18u);  // 200 / 11 complete blocks from the left
}

struct RecordingView : CopyView {
  int sets = 0, kills = 0;
  bool killFails = false, drawFails = false;
  std::vector<bool> resumeAnswers;
  std::vector<std::string> shown;
  std::vector<Block> drawn;
  bool KillTimer() override { return ++kills, !killFails; }
  void SetTimer() override { ++sets; }
  void ShowFile(const std::string& t) override { shown.push_back(t); }
  void Erase(int, int) override {}
  bool DrawBlock(const Block& b) override { return drawn.push_back(b), !drawFails; }
  bool ConfirmResume() override {
    bool a = resumeAnswers.empty() ? false : resumeAnswers.front();
    if (!resumeAnswers.empty()) resumeAnswers.erase(resumeAnswers.begin());
    return a;
  }
};

struct CopyFixture : ::testing::Test {
  FakeSetupHost host;
  brind::test::ScriptedPrompts prompts;
  RecordingView view;
  RemovalFlags flags;
  TouchedFiles touched{"left from before"};
  CopyJob job{"A:\\", "C:\\Brindlewood", "C:\\WINDOWS", 0};

  void SetUp() override { host.AddDirs("C:\\Brindlewood"); }
  void PutDisk(int lastRow) {
    for (int row = 0; row <= lastRow; ++row)
      host.AddFile(std::string("A:\\") + SetupFileTable[row].diskName);
  }
  CopyProgress::Result RunToEnd(CopyProgress& copy, int maxTicks = 100) {
    CopyProgress::Result r = CopyProgress::Result::kRunning;
    for (int i = 0; i < maxTicks && r == CopyProgress::Result::kRunning; ++i) r = copy.Tick();
    return r;
  }
};

TEST_F(CopyFixture, WholeDiskInstallsEveryCopiedRowInOrder) {
  PutDisk(kLastCopiedRow);
  job.totalBytes = TotalBytes(true);
  CopyProgress copy(host, prompts, view, job, flags, touched, 1, 301);
  copy.Open();
  EXPECT_TRUE(touched.empty());
  EXPECT_EQ(RunToEnd(copy), CopyProgress::Result::kDone);
  ASSERT_EQ(host.LogOf("InstallFile").size(), 12u);
  EXPECT_EQ(host.LogOf("InstallFile")[4], "InstallFile Brindl~1.ex_ -> Brindlew.exe");
  EXPECT_TRUE(host.HasFile("C:\\Brindlewood\\Setup.exe"));
  EXPECT_EQ(touched.size(), 12u);
  EXPECT_EQ(touched[4], "Brindlew.exe");
  EXPECT_EQ(view.shown[4], "C:\\Brindlewood\\Brindlewood Utility.exe");
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(copy.committedBytes(), TotalBytes(true));
  EXPECT_GT(view.drawn.size(), 20u);
}

TEST_F(CopyFixture, MissingOptionalRowsAreSkippedButStillCounted) {
  PutDisk(kLastRequiredRow);
  job.totalBytes = TotalBytes(false);
  CopyProgress copy(host, prompts, view, job, flags, touched, 0, 300);
  copy.Open();
  EXPECT_EQ(RunToEnd(copy), CopyProgress::Result::kDone);
  EXPECT_EQ(host.LogOf("InstallFile").size(), 6u);
  EXPECT_EQ(copy.committedBytes(), TotalBytes(true));
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(CopyFixture, DiskErrorsAskRetryOrCancelByError) {
  struct Case {
    unsigned error;
    const char* text;
  } cases[] = {{2, text::kMissingFile}, {21, text::kNotReady}, {5, text::kDiskErrors}};
  for (const Case& c : cases) {
    for (int row : {0, 5, 8}) {
      FakeSetupHost h;
      h.AddDirs("C:\\Brindlewood");
      for (int r = 0; r <= kLastCopiedRow; ++r)
        h.AddFile(std::string("A:\\") + SetupFileTable[r].diskName);
      h.statErrors[test::Lower(std::string("A:\\") + SetupFileTable[row].diskName)] = c.error;
      if (c.error == 2 && row >= kFirstOptionalRow) continue;  // skipped silently, tested above
      brind::test::ScriptedPrompts p;
      p.answers = {kIdRetry, kIdCancel};
      RecordingView v;
      CopyProgress copy(h, p, v, job, flags, touched, 0, 300);
      copy.Open();
      EXPECT_EQ(RunToEnd(copy), CopyProgress::Result::kFailed) << c.error << " row " << row;
      ASSERT_EQ(p.shown.size(), 2u);
      EXPECT_EQ(p.shown[0].text, c.text);
      EXPECT_EQ(p.shown[0].caption, "Brindlewood Setup");
      EXPECT_EQ(p.shown[0].flags, unsigned{kMbRetryCancel | kMbIconInformation});
      EXPECT_EQ(copy.row(), row) << "Retry tries the same row again";
      EXPECT_EQ(h.LogOf("InstallFile").size(), static_cast<std::size_t>(row));
    }
  }
}

TEST_F(CopyFixture, RetryAfterAFailedInstallDeletesThePartialFileFirst) {
  PutDisk(kLastRequiredRow);
  host.failing.insert("InstallFile Startup.ex_");
  prompts.answers = {kIdRetry, kIdCancel};
  CopyProgress copy(host, prompts, view, job, flags, touched, 0, 300);
  copy.Open();
  copy.Tick();
  EXPECT_EQ(copy.Tick(), CopyProgress::Result::kFailed);  // Retry, then Cancel
  ASSERT_GE(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, text::kCannotCopy);
  std::vector<std::string> tail(host.log.end() - 4, host.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"DeleteFile C:\\Brindlewood\\Startup.exe",
                                            "InstallFile Startup.ex_ -> Startup.exe",
                                            "DeleteFile C:\\Brindlewood\\Startup.exe",
                                            "InstallFile Startup.ex_ -> Startup.exe"}));
  EXPECT_EQ(touched.back(), "Startup.exe") << "a failed install may have left a partial file";
}

TEST_F(CopyFixture, ResumeContinuesWithTheSameRow) {
  PutDisk(kLastCopiedRow);
  view.resumeAnswers = {true};
  CopyProgress copy(host, prompts, view, job, flags, touched, 0, 300);
  copy.Open();
  copy.Tick();
  copy.Tick();
  EXPECT_EQ(copy.Cancel(), CopyProgress::Result::kRunning);
  EXPECT_EQ(copy.row(), 2);
  EXPECT_EQ(RunToEnd(copy), CopyProgress::Result::kDone);
  EXPECT_EQ(host.LogOf("InstallFile").size(), 12u) << "nothing installed twice";
}

TEST_F(CopyFixture, TimerThatWillNotStopIsReportedAndTheCopyGoesOn) {
  PutDisk(kLastRequiredRow);
  view.killFails = true;
  view.drawFails = true;
  job.totalBytes = TotalBytes(false);
  CopyProgress copy(host, prompts, view, job, flags, touched, 0, 300);
  copy.Open();
  EXPECT_EQ(copy.Tick(), CopyProgress::Result::kRunning);
  ASSERT_FALSE(prompts.shown.empty());
  EXPECT_EQ(prompts.shown[0].text, "Could not kill timer");
  EXPECT_EQ(prompts.shown[0].caption, "WM_TIMER");
  EXPECT_EQ(prompts.shown.back().text, "Unable to update progress bar");
  EXPECT_EQ(prompts.shown.back().caption, "GDI Error4");
  EXPECT_EQ(view.sets, 1) << "a timer marked running is not started again";
}

// "E&xit Setup" ends the copy as failed and quiet; the failure notice that follows cleans up, so
// the copy itself deletes nothing.
TEST_F(CopyFixture, ExitEndsTheCopyAndLeavesTheCleanUpToTheNotice) {
  PutDisk(kLastCopiedRow);
  CopyProgress copy(host, prompts, view, job, flags, touched, 0, 300);
  copy.Open();
  copy.Tick();
  const std::size_t logged = host.log.size();
  EXPECT_EQ(copy.Cancel(), CopyProgress::Result::kFailed);
  EXPECT_EQ(host.log.size(), logged);
  EXPECT_TRUE(flags.quietRemoval);
  EXPECT_EQ(touched.size(), 1u);
}

}  // namespace
}  // namespace brind::setup
