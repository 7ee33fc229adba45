// Any bytes as CHARMAP.MAC: the reader never writes outside the table, and the table it fills
// is the one a stream read gives.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "charmap/CharMapFile.h"

namespace {

struct Watch : brind::CharMapReadObserver {
  void OnLine(const brind::CharMapLine& line) override {
    if (line.length > brind::kCharMapLineChars || line.text[line.length] != 0) std::abort();
    if (line.hasDigits && line.value != (line.lastNumber % 256) && line.lastNumber < 99999) {
      std::abort();
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The table alone on the heap: a write past either end is an ASan report.
  auto map = std::make_unique<brind::CharMap>();
  brind::ReadCharMapBytes(*map, data, size);

  auto watched = std::make_unique<brind::CharMap>();
  Watch watch;
  brind::ReadCharMapBytes(*watched, data, size, &watch);
  if (std::memcmp(map->data(), watched->data(), 128) != 0) std::abort();

  if (std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb"); f && size > 0) {
    auto streamed = std::make_unique<brind::CharMap>();
    brind::ReadCharMapFile(*streamed, f);
    std::fclose(f);
    if (std::memcmp(map->data(), streamed->data(), 128) != 0) std::abort();
  }
  return 0;
}
