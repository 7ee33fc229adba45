// Volume names between the Macintosh and the Windows character sets, through a character map.
//
// A name is a byte string of `length` bytes in a caller's buffer, followed by a zero byte. Bytes
// below 0x80 are the same in both sets and never change. A Macintosh character without a Windows
// counterpart keeps its own code on the Windows side; if that Windows character already stands for
// another Macintosh character it is written with "_" in front, and the pair converts back to it.
#pragma once

#include <cstddef>

#include "charmap/CharMap.h"

namespace brind {

struct CharMapStore;

// Room a caller provides for a Macintosh name of `length` bytes converted to Windows: every
// character may be escaped, plus the terminator.
constexpr size_t WindowsNameCapacity(size_t length) { return 2 * length + 1; }

// Converts in place and returns the new length. `capacity` is the size of the whole buffer,
// terminator included. The result never grows past capacity - 1 bytes: it is the longest run of
// whole converted characters that fits (an escaped pair is never cut in half).
// With a buffer of WindowsNameCapacity(length) bytes nothing is ever cut.
size_t MacToWindowsNameWith(const CharMap& map, char* name, size_t length, size_t capacity);

// Converts in place and returns the new length; the result is never longer than the input.
size_t WindowsToMacNameWith(const CharMap& map, char* name, size_t length);

// The program forms: each first refreshes the store's table with LoadCharMap (its result is not
// checked: a table that can't be loaded is used as it is), then converts as above.
size_t MacToWindowsName(CharMapStore& store, char* name, size_t length, size_t capacity);
size_t WindowsToMacName(CharMapStore& store, char* name, size_t length);

}  // namespace brind
