// Arithmetic of the setup window: the intro picture's colour count and palette entries, and where
// a dialog goes to be centred on the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brind::setup {

struct PaletteColour {
  std::uint8_t red, green, blue;
};

// Colours of a device-independent bitmap given the start of its header: the used-colours field of
// a 40-byte header when not 0, otherwise by bits per pixel (1, 4, 8; anything else has none).
// A 12-byte header keeps its bit count at offset 10.
unsigned IntroColourCount(const std::uint8_t* header, std::size_t size);

// The palette entries from the colour table that follows the header (4 bytes per colour after a
// 40-byte header, 3 after a 12-byte one); empty when the picture has no colour table or the data
// is too short to hold it.
std::vector<PaletteColour> IntroPalette(const std::uint8_t* header, std::size_t size);

// Offset of the pixels: after the header and the colour table.
std::size_t IntroPixelOffset(const std::uint8_t* header, std::size_t size);

struct Rect {
  int left, top, right, bottom;
};

// Top-left corner of dialog d centred on the client rectangle m of the main window.
inline void CentredOrigin(const Rect& d, const Rect& m, int* x, int* y) {
  *x = (m.right + d.left - d.right + 1) / 2;
  *y = (m.bottom + d.top - d.bottom + 1) / 2;
}

}  // namespace brind::setup
