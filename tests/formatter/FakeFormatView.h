// The format dialog for tests: keeps what each control shows, one row of the progress bar's
// pixels, the timer and the posted stops, and records every drawing.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "formatter/FormatView.h"

namespace brind::test {

class FakeFormatView : public FormatView {
 public:
  // The dialog's look.
  std::vector<std::string> statusHistory;  // every text the status line was given, in order
  std::string status;
  std::map<int, bool> disabled;
  std::string closeText = "&Close";
  std::map<int, bool> checked;
  std::string label;
  unsigned labelLimit = 0;
  int focus = 0;

  // The drive box: what the system lists, what the box holds, the selection, the edit field.
  std::vector<std::string> systemDrives = {"[-a-]"};
  std::vector<std::string> driveList;
  int selected = 0;
  std::string driveBoxText;

  // The progress control.
  BarRect client{0, 0, 210, 19};
  std::vector<bool> lit;  // one row of columns: true where the bar is drawn
  struct Draw {
    BarDrawing how;
    int32_t left, top, right, bottom;
  };
  std::vector<Draw> draws;
  int wholeInvalidations = 0;

  // Timer, posted stops, modal results, end of the dialog.
  bool timerSet = false;
  int pendingStops = 0;
  int resultsShown = 0;
  std::function<void()> onResults;
  std::optional<int> endResult;

  bool Enabled(int id) const {
    auto it = disabled.find(id);
    return it == disabled.end() || !it->second;
  }
  bool InputsEnabled() const {
    for (int id : kInputControls)
      if (!Enabled(id)) return false;
    return true;
  }
  // The idle look: six controls enabled, "Close" on button 2, no status, no timer.
  bool Idle() const {
    return InputsEnabled() && closeText == "Close" && status.empty() && !timerSet;
  }
  int LitColumns() const {
    int n = 0;
    for (bool b : lit) n += b;
    return n;
  }
  int RightmostLit() const {
    for (int x = static_cast<int>(lit.size()) - 1; x >= 0; --x)
      if (lit[x]) return x;
    return -1;
  }

  void SetStatusText(const char* text) override {
    status = text;
    statusHistory.push_back(text);
  }
  void EnableControl(int id, bool enable) override { disabled[id] = !enable; }
  void SetCloseButtonText(const char* text) override { closeText = text; }
  void FocusControl(int id) override { focus = id; }
  bool IsChecked(int id) override { return checked[id]; }
  void SetChecked(int id, bool on) override { checked[id] = on; }
  void LimitLabelText(unsigned maxChars) override { labelLimit = maxChars; }
  void GetLabelText(char* text, size_t size) override { Copy(label, text, size); }
  void SetLabelText(const char* text) override { label = text; }

  void FillDriveListWithSystemDrives() override {
    driveList.insert(driveList.end(), systemDrives.begin(), systemDrives.end());
  }
  int DriveListCount() override { return static_cast<int>(driveList.size()); }
  void GetDriveListEntry(int index, char* text, size_t size) override {
    ASSERT_LT(index, DriveListCount());
    Copy(driveList[index], text, size);
  }
  void DeleteDriveListEntry(int index) override {
    ASSERT_LT(index, DriveListCount());
    driveList.erase(driveList.begin() + index);
  }
  void InsertDriveListEntry(int index, const char* text) override {
    ASSERT_LE(index, DriveListCount());
    driveList.insert(driveList.begin() + index, text);
  }
  void GetSelectedDriveText(char* text, size_t size) override {
    Copy(selected < DriveListCount() ? driveList[selected] : "", text, size);
  }
  void GetDriveBoxText(char* text, size_t size) override { Copy(driveBoxText, text, size); }
  void SetDriveBoxText(const char* text) override { driveBoxText = text; }

  BarRect ProgressClientRect() override {
    lit.assign(client.right, false);
    return client;
  }
  void InvalidateProgress(const BarRect* strip, bool erase) override {
    EXPECT_TRUE(erase);
    if (!strip) {
      ++wholeInvalidations;
      lit.assign(lit.size(), false);
      return;
    }
    for (int32_t x = strip->left; x < strip->right && x < static_cast<int32_t>(lit.size()); ++x)
      if (x >= 0) lit[x] = false;
  }
  void UpdateProgress() override {}
  void BeginBarDrawing(BarDrawing how) override {
    EXPECT_FALSE(drawing_) << "drawings nest";
    drawing_ = true;
    how_ = how;
  }
  void DrawBarRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override {
    EXPECT_TRUE(drawing_) << "rectangle outside a drawing";
    draws.push_back({how_, left, top, right, bottom});
    // A rectangle covers its left edge up to, not including, its right edge.
    for (int32_t x = left; x < right; ++x) {
      ASSERT_GE(x, 0);
      ASSERT_LT(x, static_cast<int32_t>(lit.size())) << "bar drawn outside its control";
      lit[x] = true;
    }
  }
  void EndBarDrawing() override {
    EXPECT_TRUE(drawing_);
    drawing_ = false;
  }

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
    ++resultsShown;
    if (onResults) onResults();
  }
  void EndDialog(int result) override { endResult = result; }

 private:
  static void Copy(const std::string& from, char* to, size_t size) {
    std::snprintf(to, size, "%s", from.c_str());
  }
  bool drawing_ = false;
  BarDrawing how_ = BarDrawing::kDraw;
};

}  // namespace brind::test
