// The order of names in an HFS catalog: byte by byte through the Macintosh character set's
// sorting table, which folds case (and a few accented pairs), a name that is a prefix of
// another sorting first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brind {

// The sort weight of one Macintosh character; equal weights compare equal.
uint8_t MacSortWeight(uint8_t c);

// Below zero, zero or above zero as a sorts before, equal to or after b.
int CompareMacNames(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength);

}  // namespace brind
