// The floppy disk sizes: the volumes that have tracks to format, and the ones a DiskCopy 4.2
// image can hold (with the disk-format and format bytes of its header).
#pragma once

#include <cstdint>

namespace brind {

struct FloppyMedium {
  uint32_t sectors;
  const char* name;
  bool diskCopy;       // a DiskCopy 4.2 image can hold it
  uint8_t diskFormat;  // 0 400K GCR, 1 800K GCR, 2 720K MFM, 3 1440K MFM
  uint8_t formatByte;  // 0x12 one-sided Macintosh disk, 0x22 two-sided
};

inline constexpr FloppyMedium kFloppyMedia[] = {
    {800, "400K", true, 0, 0x12},   {1440, "720K", true, 2, 0x22}, {1600, "800K", true, 1, 0x22},
    {2880, "1440K", true, 3, 0x22}, {5760, "2880K", false, 0, 0},
};

// Every floppy is formatted as 160 tracks (80 cylinders, two sides) of equal size.
inline constexpr uint32_t kFloppyTracks = 160;

inline const FloppyMedium* FindFloppyMedium(uint32_t sectors) {
  for (const FloppyMedium& m : kFloppyMedia)
    if (m.sectors == sectors) return &m;
  return nullptr;
}

}  // namespace brind
