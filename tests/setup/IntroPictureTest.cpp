// The intro picture's palette and the centring of dialogs.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "setup/IntroPicture.h"

namespace brind::setup {
namespace {

std::vector<std::uint8_t> InfoHeader(unsigned bits, unsigned used, unsigned tableColours) {
  std::vector<std::uint8_t> h(40 + tableColours * 4, 0);
  h[0] = 40;
  h[14] = static_cast<std::uint8_t>(bits);
  h[32] = static_cast<std::uint8_t>(used & 0xFF);
  h[33] = static_cast<std::uint8_t>(used >> 8);
  for (unsigned i = 0; i < tableColours; ++i) {
    h[40 + i * 4 + 0] = static_cast<std::uint8_t>(i);        // blue
    h[40 + i * 4 + 1] = static_cast<std::uint8_t>(i + 1);    // green
    h[40 + i * 4 + 2] = static_cast<std::uint8_t>(255 - i);  // red
  }
  return h;
}

TEST(IntroPalette, ColourCountFromUsedColoursOrBits) {
  struct Case {
    unsigned bits, used, count;
  } cases[] = {{8, 0, 256}, {4, 0, 16}, {1, 0, 2}, {24, 0, 0}, {8, 17, 17}, {16, 3, 3}};
  for (const Case& c : cases) {
    const auto h = InfoHeader(c.bits, c.used, 0);
    EXPECT_EQ(IntroColourCount(h.data(), h.size()), c.count) << c.bits << "/" << c.used;
  }
  std::vector<std::uint8_t> core(12 + 16 * 3, 0);
  core[0] = 12;
  core[10] = 4;
  EXPECT_EQ(IntroColourCount(core.data(), core.size()), 16u);
  EXPECT_EQ(IntroPalette(core.data(), core.size()).size(), 16u);
  EXPECT_EQ(IntroPixelOffset(core.data(), core.size()), 12u + 48u);
}

TEST(IntroPalette, EntriesComeFromTheColourTableInRgbOrder) {
  const auto h = InfoHeader(8, 0, 256);
  const auto palette = IntroPalette(h.data(), h.size());
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_EQ(palette[5].red, 250);
  EXPECT_EQ(palette[5].green, 6);
  EXPECT_EQ(palette[5].blue, 5);
  EXPECT_EQ(IntroPixelOffset(h.data(), h.size()), 40u + 1024u);
  // A table cut short gives no palette rather than colours read past the data.
  EXPECT_TRUE(IntroPalette(h.data(), h.size() - 1).empty());
  EXPECT_TRUE(IntroPalette(h.data(), 3).empty());
}

TEST(IntroPalette, TheCommittedPictureIsSixFortyByFourEightyWithItsOwnPalette) {
  std::FILE* f = std::fopen(BRIND_INTRO_BMP, "rb");
  ASSERT_NE(f, nullptr) << BRIND_INTRO_BMP;
  std::vector<std::uint8_t> file(400000);
  file.resize(std::fread(file.data(), 1, file.size(), f));
  std::fclose(f);
  ASSERT_GT(file.size(), 14u + 40u);
  const std::uint8_t* dib = file.data() + 14;
  const std::size_t size = file.size() - 14;
  auto get32 = [&](std::size_t at) {
    return dib[at] | (dib[at + 1] << 8) | (dib[at + 2] << 16) | (dib[at + 3] << 24);
  };
  EXPECT_EQ(get32(4), 640);
  EXPECT_EQ(get32(8), 480);
  EXPECT_EQ(dib[14], 8);
  const auto palette = IntroPalette(dib, size);
  EXPECT_EQ(palette.size(), 256u);
  // Run-length encoded (BI_RLE8) to keep Setup.exe small; the stated size is what follows the
  // table, and the codes make 480 lines of 640 pixels.
  EXPECT_EQ(get32(16), 1);
  const std::size_t offset = IntroPixelOffset(dib, size);
  ASSERT_EQ(size - offset, static_cast<std::size_t>(get32(20)));
  EXPECT_LT(size - offset, 100000u);
  unsigned lines = 0, x = 0;
  bool ended = false, wellFormed = true;
  for (std::size_t i = offset; i + 1 < size && !ended && wellFormed; i += 2) {
    const unsigned a = dib[i], b = dib[i + 1];
    if (a != 0) {
      x += a;
    } else if (b < 2) {
      wellFormed = x == 640;
      ++lines;
      x = 0;
      ended = b == 1;
    } else if (b == 2) {
      wellFormed = false;  // the encoder never skips pixels
    } else {
      x += b;
      i += b + (b & 1);
    }
  }
  EXPECT_TRUE(ended && wellFormed) << "line " << lines << " has " << x << " pixels";
  EXPECT_EQ(lines, 480u);
}

TEST(CentredOrigin, HalfOfWhatIsLeftRoundedUp) {
  struct Case {
    Rect d, m;
    int x, y;
  } cases[] = {
      {{0, 0, 400, 300}, {0, 0, 800, 600}, 200, 150},
      {{100, 50, 501, 350}, {0, 0, 800, 600}, 200, 150},  // (800 + 100 - 501 + 1) / 2
      {{0, 0, 401, 301}, {0, 0, 800, 600}, 200, 150},
      {{0, 0, 900, 700}, {0, 0, 800, 600}, -49, -49},  // larger than the window
  };
  for (const Case& c : cases) {
    int x = 0, y = 0;
    CentredOrigin(c.d, c.m, &x, &y);
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(y, c.y);
  }
}

}  // namespace
}  // namespace brind::setup
