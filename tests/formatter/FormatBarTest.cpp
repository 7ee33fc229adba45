// The progress bar on a control whose bar area is 334 pixels wide (client 336 x 19: one pixel
// off each side, two off top and bottom), where a full format's step is exactly 2 pixels and a
// quick format's block is 2 pixels too, so every position below is worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/formatter/FormatRig.h"

namespace brind {
namespace {

using test::FakeFormatView;
using test::FormatRig;

using Rect = std::array<int32_t, 4>;

std::vector<Rect> Rects(const FakeFormatView& view, FormatView::BarDrawing how) {
  std::vector<Rect> out;
  for (const auto& d : view.draws)
    if (d.how == how) out.push_back({d.left, d.top, d.right, d.bottom});
  return out;
}

struct BarTest : ::testing::Test {
  FormatRig rig;
  void SetUp() override {
    rig.view.client = {0, 0, 336, 19};
    rig.Open();
  }
};

TEST_F(BarTest, FullFormatGrowsInBlocksOfSixteenAndStopsShortOfTheEnd) {
  rig.Start(false);
  EXPECT_EQ(rig.state.barRect.left, 1);
  EXPECT_EQ(rig.state.barRect.top, 2);
  EXPECT_EQ(rig.state.barRect.right, 335);
  EXPECT_EQ(rig.state.barRect.bottom, 17);
  rig.Pump();
  // Every 8 steps 16 pixels more: after steps 8, 16, ..., 160; then the completion draws the
  // rest up to step 166 (1 + 2 * 166 = 333).
  std::vector<Rect> expected;
  for (int32_t left = 1; left <= 305; left += 16) expected.push_back({left, 2, left + 15, 17});
  expected.push_back({321, 2, 332, 17});
  EXPECT_EQ(Rects(rig.view, FormatView::BarDrawing::kDraw), expected);
  EXPECT_EQ(rig.view.LitColumns(), 0) << "the finished bar is wiped";
}

TEST_F(BarTest, QuickFormatJumpsASeventhPerStageAndFillsTheBarAtTheEnd) {
  rig.PutMacDisk("Old");
  rig.prompts.answers = {kIdYes};
  std::vector<int32_t> targets;
  std::vector<size_t> blocks;
  rig.afterTimer = [&] {
    if (!rig.state.formatActive) return;
    targets.push_back(rig.state.barTarget);
    blocks.push_back(rig.view.draws.size());
  };
  rig.Start(true);
  rig.Pump();
  // A seventh of 334 is 47.71 pixels; the first stage does not move the bar.
  EXPECT_EQ(targets, (std::vector<int32_t>{1, 48, 96, 144, 191, 239, 287}));
  // Blocks of 16 from the left end, as many whole blocks as fit in (stages * 167 / 7) units.
  std::vector<size_t> perStage;
  for (size_t i = 0; i < blocks.size(); ++i)
    perStage.push_back(blocks[i] - (i ? blocks[i - 1] : 0));
  EXPECT_EQ(perStage, (std::vector<size_t>{0, 2, 5, 8, 11, 14, 17}));
  // The final drawing: 20 blocks, the last stretched to the bar's right end.
  const std::vector<Rect> all = Rects(rig.view, FormatView::BarDrawing::kDraw);
  ASSERT_EQ(all.size(), 57u + 20u);
  EXPECT_EQ(all[57], (Rect{1, 2, 16, 17}));
  EXPECT_EQ(all.back(), (Rect{305, 2, 334, 17}));
}

TEST_F(BarTest, RepaintRestoresAFullFormatsBlocksButNotAQuickOnes) {
  std::vector<Rect> painted;
  rig.afterTimer = [&] {
    if (rig.state.step == 41) {
      rig.view.lit.assign(rig.view.lit.size(), false);  // the window was covered
      rig.ctl.OnPaint();
      painted = Rects(rig.view, FormatView::BarDrawing::kPaint);
    }
  };
  rig.Start(false);
  rig.Pump();
  EXPECT_EQ(
      painted,
      (std::vector<Rect>{
          {1, 2, 16, 17}, {17, 2, 32, 17}, {33, 2, 48, 17}, {49, 2, 64, 17}, {65, 2, 80, 17}}));

  FormatRig quick;
  quick.PutMacDisk("Old");
  quick.Open();
  quick.prompts.answers = {kIdYes};
  size_t paintedQuick = 99;
  quick.afterTimer = [&] {
    if (quick.state.step == 164) {
      quick.ctl.OnPaint();
      paintedQuick = Rects(quick.view, FormatView::BarDrawing::kPaint).size();
    }
  };
  quick.Start(true);
  quick.Pump();
  EXPECT_EQ(paintedQuick, 0u);
}

// A width that divides nothing evenly: the bar still only grows, stays inside its area and, for
// a quick format, ends at its right edge.
TEST(BarOddWidth, GrowsInsideItsArea) {
  for (bool quick : {false, true}) {
    SCOPED_TRACE(quick);
    FormatRig rig;
    rig.view.client = {0, 0, 313, 23};
    rig.PutMacDisk("Old");
    rig.Open();
    rig.prompts.answers = {kIdYes};
    // What the dialog shows: a column once lit stays lit while the format runs.
    std::vector<bool> lit;
    int darkened = 0;
    rig.afterTimer = [&] {
      if (!rig.state.formatActive) return;
      for (size_t x = 0; x < lit.size() && x < rig.view.lit.size(); ++x)
        darkened += lit[x] && !rig.view.lit[x];
      lit = rig.view.lit;
    };
    rig.Start(quick);
    rig.Pump();
    EXPECT_EQ(darkened, 0) << "drawn columns went dark while the format ran";
    EXPECT_GT(std::count(lit.begin(), lit.end(), true), 250);
    const std::vector<Rect> all = Rects(rig.view, FormatView::BarDrawing::kDraw);
    ASSERT_FALSE(all.empty());
    for (size_t i = 0; !quick && i + 1 < all.size(); ++i)
      EXPECT_GE(all[i][2] - all[i][0] + 1, 16) << "blocks of at least 16 pixels";
    for (const Rect& r : all) {
      EXPECT_GE(r[0], 1);
      EXPECT_LE(r[2], 311);
      EXPECT_EQ(r[1], 2);
      EXPECT_EQ(r[3], 21);
    }
    if (quick)
      EXPECT_EQ(all.back()[2], 311);
    else
      EXPECT_LT(all.back()[2], 311);
  }
}

}  // namespace
}  // namespace brind
