#include "setup/IntroPicture.h"

namespace brind::setup {

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kCoreHeader = 12;

}  // namespace

unsigned IntroColourCount(const std::uint8_t* h, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t headerSize = Get32(h);
  unsigned bits = 0;
  if (headerSize == kInfoHeader && size >= kInfoHeader) {
    if (const std::uint32_t used = Get32(h + 32)) return used;
    bits = Get16(h + 14);
  } else if (headerSize == kCoreHeader && size >= kCoreHeader) {
    bits = Get16(h + 10);
  }
  switch (bits) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

std::vector<PaletteColour> IntroPalette(const std::uint8_t* h, std::size_t size) {
  std::vector<PaletteColour> colours;
  const unsigned count = IntroColourCount(h, size);
  if (count == 0 || count > 256) return colours;
  const std::uint32_t headerSize = Get32(h);
  const std::size_t step = headerSize == kCoreHeader ? 3 : 4;
  if (size < headerSize + count * step) return colours;
  for (unsigned i = 0; i < count; ++i) {
    const std::uint8_t* c = h + headerSize + i * step;  // blue, green, red
    colours.push_back({c[2], c[1], c[0]});
  }
  return colours;
}

std::size_t IntroPixelOffset(const std::uint8_t* h, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t headerSize = Get32(h);
  return headerSize + IntroColourCount(h, size) * (headerSize == kCoreHeader ? 3 : 4);
}

}  // namespace brind::setup
