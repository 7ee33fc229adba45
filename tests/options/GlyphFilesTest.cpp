#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "charmap/CharGrid.h"
#include "common/Bytes.h"

namespace brind {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
  }
  return bytes;
}

// Every character the Macintosh grid draws from a bitmap has its picture in the tree: a
// monochrome BMP of the table's size, black ink on white, with ink in the rows the grid shows.
TEST(GlyphFiles, OnePictureOfTheTableSizeForEveryBitmapCharacter) {
  int pictures = 0;
  for (int i = 0; i < kGridCells; ++i) {
    if (MacGlyphTable[i] != kGlyphFromBitmap) continue;
    const GlyphBitmap* glyph = FindGlyphBitmap(static_cast<uint8_t>(0x80 + i));
    ASSERT_NE(glyph, nullptr);
    char name[32];
    std::snprintf(name, sizeof name, "/mac_%02x.bmp", 0x80 + i);
    SCOPED_TRACE(name);
    const std::vector<uint8_t> bmp = ReadAll(std::string(BRIND_GLYPH_DIR) + name);
    ASSERT_GE(bmp.size(), 62u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(GetU32LE(&bmp[2]), bmp.size());
    const int width = static_cast<int>(GetU32LE(&bmp[18]));
    const int height = static_cast<int>(GetU32LE(&bmp[22]));
    EXPECT_EQ(width, glyph->width);
    EXPECT_EQ(height, glyph->height);
    EXPECT_EQ(GetU16LE(&bmp[28]), 1) << "one bit per pixel";
    EXPECT_EQ(GetU32LE(&bmp[30]), 0u) << "uncompressed";
    // Palette: 0 black (ink), 1 white.
    EXPECT_EQ(GetU32LE(&bmp[54]), 0u);
    EXPECT_EQ(GetU32LE(&bmp[58]) & 0xFFFFFF, 0xFFFFFFu);
    const size_t stride = ((width + 31) / 32) * 4;
    const size_t offset = GetU32LE(&bmp[10]);
    ASSERT_EQ(offset + stride * height, bmp.size());
    int inkShown = 0, inkHidden = 0;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = &bmp[offset + stride * (height - 1 - y)];  // bottom-up
      for (int x = 0; x < width; ++x) {
        if ((row[x / 8] & (0x80 >> (x % 8))) == 0) ++(y < kGlyphAreaHeight ? inkShown : inkHidden);
      }
    }
    EXPECT_GT(inkShown, 3);
    EXPECT_EQ(inkHidden, 0) << "ink below the rows the grid shows";
    ++pictures;
  }
  EXPECT_EQ(pictures, 25);
}

}  // namespace
}  // namespace brind
