// The copy of the setup disk, one file per timer tick, with its block progress bar.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/UserPrompts.h"
#include "setup/Registration.h"
#include "setup/SetupHost.h"

namespace brind::setup {

// One drawn block: [left, right) over the bar's height.
struct Block {
  int left;
  int right;
};

// The bar inside its frame control: blocks 10 pixels wide, 1 pixel apart, from the left edge.
class BlockBar {
 public:
  BlockBar(int left, int right) : left_(left), right_(right), drawn_(left), current_(left) {}
  // Moves the progress to working / (total + 1) of the width. Returns the strip to erase and the
  // blocks to draw now (none when the edge moved less than 10 pixels or reached the end).
  struct Step {
    bool draw = false;
    int eraseFrom = 0;
    int eraseTo = 0;
    std::vector<Block> blocks;
  };
  Step Advance(std::uint64_t working, std::uint64_t total);
  // Every complete block from the left edge to the progress, for a repaint.
  std::vector<Block> Repaint() const;
  int drawnEdge() const { return drawn_; }
  int currentEdge() const { return current_; }

 private:
  static std::vector<Block> Walk(int from, int to, int* last);
  int left_, right_, drawn_, current_;
};

// What the PROGRESS dialog does for the copy.
class CopyView {
 public:
  virtual ~CopyView() = default;
  virtual bool KillTimer() = 0;
  virtual void SetTimer() = 0;
  virtual void ShowFile(const std::string& text) = 0;
  virtual void Erase(int from, int to) = 0;
  virtual bool DrawBlock(const Block& block) = 0;
  // CONFIRMEXIT: true = "&Resume Setup", false = "E&xit Setup".
  virtual bool ConfirmResume() = 0;
};

// The installed names this run deleted or wrote in the installation directory.
using TouchedFiles = std::vector<std::string>;

struct CopyJob {
  std::string sourceDir;
  std::string installDirectory;
  std::string windowsDirectory;
  std::uint32_t totalBytes = 0;
};

class CopyProgress {
 public:
  enum class Result { kRunning, kDone, kFailed };

  CopyProgress(SetupHost& host, UserPrompts& prompts, CopyView& view, const CopyJob& job,
               RemovalFlags& flags, TouchedFiles& touched, int barLeft, int barRight);

  // Opening: resets the state and starts the timer.
  void Open();
  Result Tick();
  // Cancel: CONFIRMEXIT; E&xit ends the copy as failed (the failure notice cleans up).
  Result Cancel();
  std::vector<Block> Repaint() const { return bar_.Repaint(); }

  int row() const { return row_; }
  std::uint64_t committedBytes() const { return committed_; }
  const BlockBar& bar() const { return bar_; }

 private:
  void StopTimer(const char* caption);
  void RestartTimer();
  Result NextRow();
  int Ask(const char* text);

  SetupHost& host_;
  UserPrompts& prompts_;
  CopyView& view_;
  CopyJob job_;
  RemovalFlags& flags_;
  TouchedFiles& touched_;
  BlockBar bar_;
  int row_ = 0;
  std::uint64_t committed_ = 0;
  bool timerRunning_ = false;
};

}  // namespace brind::setup
