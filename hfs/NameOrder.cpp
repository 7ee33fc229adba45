#include "hfs/NameOrder.h"

#include <array>
#include <cstring>

namespace brind {

namespace {

// Every character from the space up, lowest first; the characters of one entry sort alike. The
// control characters before it sort by code. Letters sort with their lower case and then their
// accented forms; the characters the original set lacked (0xD9 and most of 0xDA..0xFF) come last
// in code order, upper-case accented letters among them, as the file system has always had it.
constexpr const char* kOrder[] = {
    "\x20\xCA", "\x21",     "\x22",     "\xD2",     "\xD3",     "\xC7",     "\xC8",     "\x23",
    "\x24",     "\x25",     "\x26",     "\x27",     "\xD4",     "\xD5",     "\x28",     "\x29",
    "\x2A",     "\x2B",     "\x2C",     "\x2D",     "\x2E",     "\x2F",     "\x30",     "\x31",
    "\x32",     "\x33",     "\x34",     "\x35",     "\x36",     "\x37",     "\x38",     "\x39",
    "\x3A",     "\x3B",     "\x3C",     "\x3D",     "\x3E",     "\x3F",     "\x40",     "\x41\x61",
    "\x88\xCB", "\x80\x8A", "\x8B\xCC", "\x81\x8C", "\xAE\xBE", "\x60",     "\x87",     "\x89",
    "\xBB",     "\x42\x62", "\x43\x63", "\x82\x8D", "\x44\x64", "\x45\x65", "\x83\x8E", "\x8F",
    "\x90",     "\x91",     "\x46\x66", "\x47\x67", "\x48\x68", "\x49\x69", "\x92",     "\x93",
    "\x94",     "\x95",     "\x4A\x6A", "\x4B\x6B", "\x4C\x6C", "\x4D\x6D", "\x4E\x6E", "\x84\x96",
    "\x4F\x6F", "\x85\x9A", "\x9B\xCD", "\xAF\xBF", "\xCE\xCF", "\x97",     "\x98",     "\x99",
    "\xBC",     "\x50\x70", "\x51\x71", "\x52\x72", "\x53\x73", "\xA7",     "\x54\x74", "\x55\x75",
    "\x86\x9F", "\x9C",     "\x9D",     "\x9E",     "\x56\x76", "\x57\x77", "\x58\x78", "\x59\x79",
    "\xD8",     "\x5A\x7A", "\x5B",     "\x5C",     "\x5D",     "\x5E",     "\x5F",     "\x7B",
    "\x7C",     "\x7D",     "\x7E",     "\x7F",     "\xA0",     "\xA1",     "\xA2",     "\xA3",
    "\xA4",     "\xA5",     "\xA6",     "\xA8",     "\xA9",     "\xAA",     "\xAB",     "\xAC",
    "\xAD",     "\xB0",     "\xB1",     "\xB2",     "\xB3",     "\xB4",     "\xB5",     "\xB6",
    "\xB7",     "\xB8",     "\xB9",     "\xBA",     "\xBD",     "\xC0",     "\xC1",     "\xC2",
    "\xC3",     "\xC4",     "\xC5",     "\xC6",     "\xC9",     "\xD0",     "\xD1",     "\xD6",
    "\xD7",     "\xD9",     "\xDA",     "\xDB",     "\xDC",     "\xDD",     "\xDE",     "\xDF",
    "\xE0",     "\xE1",     "\xE2",     "\xE3",     "\xE4",     "\xE5",     "\xE6",     "\xE7",
    "\xE8",     "\xE9",     "\xEA",     "\xEB",     "\xEC",     "\xED",     "\xEE",     "\xEF",
    "\xF0",     "\xF1",     "\xF2",     "\xF3",     "\xF4",     "\xF5",     "\xF6",     "\xF7",
    "\xF8",     "\xF9",     "\xFA",     "\xFB",     "\xFC",     "\xFD",     "\xFE",     "\xFF",
};

std::array<uint8_t, 256> BuildWeights() {
  std::array<uint8_t, 256> w{};
  unsigned next = 0;
  for (unsigned c = 0; c < 0x20; ++c) w[c] = static_cast<uint8_t>(next++);
  for (const char* group : kOrder) {
    for (const char* p = group; *p != 0; ++p)
      w[static_cast<uint8_t>(*p)] = static_cast<uint8_t>(next);
    ++next;
  }
  return w;
}

const std::array<uint8_t, 256> kWeights = BuildWeights();

}  // namespace

uint8_t MacSortWeight(uint8_t c) { return kWeights[c]; }

int CompareMacNames(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength) {
  const size_t n = aLength < bLength ? aLength : bLength;
  for (size_t i = 0; i < n; ++i) {
    const int d = int{kWeights[a[i]]} - int{kWeights[b[i]]};
    if (d != 0) return d;
  }
  return aLength < bLength ? -1 : aLength > bLength ? 1 : 0;
}

}  // namespace brind
