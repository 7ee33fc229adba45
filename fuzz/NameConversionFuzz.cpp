// A map and a name from the input: both conversions stay inside buffers of exactly the size
// they are given, keep the terminator, and Windows-to-Mac never grows the name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "charmap/NameConversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 129) return 0;
  brind::CharMap map;
  std::memcpy(map.data(), data, 128);
  const size_t capacityHint = data[128];
  const uint8_t* name = data + 129;
  size_t length = size - 129;
  if (length > 512) length = 512;
  // A name ends at its first zero byte.
  length = strnlen(reinterpret_cast<const char*>(name), length);

  {
    // The doubled size: nothing is cut.
    const size_t capacity = brind::WindowsNameCapacity(length);
    std::vector<char> buf(capacity);
    std::memcpy(buf.data(), name, length);
    const size_t n = brind::MacToWindowsNameWith(map, buf.data(), length, capacity);
    if (n >= capacity || buf[n] != 0 || n < length) std::abort();
  }
  {
    // Any smaller buffer that still holds the name: the result is cut, never overrun.
    const size_t capacity = length + 1 + capacityHint % (length + 1);
    std::vector<char> buf(capacity);
    std::memcpy(buf.data(), name, length);
    const size_t n = brind::MacToWindowsNameWith(map, buf.data(), length, capacity);
    if (n >= capacity || buf[n] != 0) std::abort();
  }
  {
    std::vector<char> buf(length + 1);
    std::memcpy(buf.data(), name, length);
    const size_t n = brind::WindowsToMacNameWith(map, buf.data(), length);
    if (n > length || buf[n] != 0) std::abort();
  }
  return 0;
}
