#include "setup/CopyProgress.h"

#include "setup/Removal.h"
#include "setup/SetupFileTable.h"
#include "setup/SetupTexts.h"

namespace brind::setup {

namespace {
constexpr int kBlockPitch = 11;  // 10 pixels of block, 1 of gap
constexpr int kMinimumStep = 10;
}  // namespace

std::vector<Block> BlockBar::Walk(int from, int to, int* last) {
  std::vector<Block> blocks;
  int s = from;
  for (int x = from; x <= to; ++x) {
    if (x - s >= kBlockPitch) {
      blocks.push_back({s, x - 1});
      s = x;
      *last = x;
    }
  }
  return blocks;
}

BlockBar::Step BlockBar::Advance(std::uint64_t working, std::uint64_t total) {
  Step step;
  const double fraction = static_cast<double>(working) / (static_cast<double>(total) + 1.0);
  current_ = left_ + static_cast<int>(fraction * (right_ - left_));
  if (current_ >= right_) {
    current_ = drawn_ = right_;
    return step;
  }
  if (current_ - drawn_ < kMinimumStep) return step;
  step.draw = true;
  step.eraseFrom = drawn_;
  step.eraseTo = current_;
  step.blocks = Walk(drawn_, current_, &drawn_);
  return step;
}

std::vector<Block> BlockBar::Repaint() const {
  int ignored = left_;
  return Walk(left_, current_, &ignored);
}

CopyProgress::CopyProgress(SetupHost& host, UserPrompts& prompts, CopyView& view,
                           const CopyJob& job, RemovalFlags& flags, TouchedFiles& touched,
                           int barLeft, int barRight)
    : host_(host),
      prompts_(prompts),
      view_(view),
      job_(job),
      flags_(flags),
      touched_(touched),
      bar_(barLeft, barRight) {}

void CopyProgress::Open() {
  committed_ = 0;
  row_ = 0;
  touched_.clear();
  view_.SetTimer();
  timerRunning_ = true;
}

void CopyProgress::StopTimer(const char* caption) {
  if (!view_.KillTimer()) {
    prompts_.Show(text::kKillTimer, caption, kMbOk, PromptOwner::kActiveDialog);
    return;
  }
  timerRunning_ = false;
}

void CopyProgress::RestartTimer() {
  if (timerRunning_) return;
  view_.SetTimer();
  timerRunning_ = true;
}

int CopyProgress::Ask(const char* text) {
  return prompts_.Show(text, text::kCaption, kMbRetryCancel | kMbIconInformation,
                       PromptOwner::kActiveDialog);
}

CopyProgress::Result CopyProgress::NextRow() {
  ++row_;
  if (row_ > kLastCopiedRow) {
    view_.KillTimer();
    timerRunning_ = false;
    return Result::kDone;
  }
  return Result::kRunning;
}

CopyProgress::Result CopyProgress::Tick() {
  if (row_ > kLastCopiedRow) return Result::kDone;
  StopTimer("WM_TIMER");
  std::uint64_t working = committed_;
  const SetupFile& file = SetupFileTable[row_];

  if (const unsigned error = host_.StatFile(JoinPath(job_.sourceDir, file.diskName))) {
    if (row_ >= kFirstOptionalRow && error == 2) {
      committed_ += file.size;  // the bar catches up at the next drawing
      const Result r = NextRow();
      if (r == Result::kRunning) RestartTimer();
      return r;
    }
    const char* words = error == 2    ? text::kMissingFile
                        : error == 21 ? text::kNotReady
                                      : text::kDiskErrors;
    if (Ask(words) == kIdRetry) {
      RestartTimer();
      return Result::kRunning;
    }
    view_.KillTimer();
    timerRunning_ = false;
    return Result::kFailed;
  }

  const std::string destination = JoinPath(job_.installDirectory, file.installedName);
  view_.ShowFile(DisplayText(job_.installDirectory, row_));
  // From the first delete on, the file under this name is this run's.
  touched_.push_back(file.installedName);
  for (;;) {
    host_.DeleteFile(destination);  // a partial file of an earlier attempt goes first
    if (host_.InstallFile(file.diskName, file.installedName, job_.sourceDir,
                          job_.installDirectory) == 0) {
      break;
    }
    if (Ask(text::kCannotCopy) != kIdRetry) return Result::kFailed;
  }

  working += file.size;
  const BlockBar::Step step = bar_.Advance(working, job_.totalBytes);
  if (step.draw) {
    view_.Erase(step.eraseFrom, step.eraseTo);
    for (const Block& b : step.blocks) {
      if (!view_.DrawBlock(b)) {
        prompts_.Show(text::kNoBar, text::kNoBarCaption, kMbOk | kMbIconError,
                      PromptOwner::kActiveDialog);
      }
    }
  }
  RestartTimer();
  committed_ = working;
  return NextRow();
}

CopyProgress::Result CopyProgress::Cancel() {
  if (timerRunning_) StopTimer("WM_COMMAND");
  if (view_.ConfirmResume()) {
    timerRunning_ = false;
    RestartTimer();
    return Result::kRunning;
  }
  flags_.quietRemoval = true;
  return Result::kFailed;
}

}  // namespace brind::setup
