#include "cli/MacBinary.h"

#include <cstring>

#include "common/Bytes.h"

namespace brind::cli {

namespace {
uint64_t Padded(uint64_t n) { return (n + 127) / 128 * 128; }
}  // namespace

uint16_t MacBinaryCrc(const uint8_t* bytes, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>(crc ^ (bytes[i] << 8));
    for (int b = 0; b < 8; ++b)
      crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

bool ParseMacBinary(const uint8_t* h, uint64_t fileSize, MacBinaryInfo& info) {
  info = {};
  if (fileSize < kMacBinaryHeaderSize || h[0] != 0 || h[74] != 0 || h[82] != 0) return false;
  if (h[1] < 1 || h[1] > 63) return false;
  if (MacBinaryCrc(h, 124) != GetU16BE(h + 124)) return false;
  info.name.assign(reinterpret_cast<const char*>(h + 2), h[1]);
  info.dataLength = GetU32BE(h + 83);
  info.resourceLength = GetU32BE(h + 87);
  info.dataOffset = kMacBinaryHeaderSize + Padded(GetU16BE(h + 120));
  info.resourceOffset = info.dataOffset + Padded(info.dataLength);
  if (info.dataOffset + info.dataLength > fileSize ||
      info.resourceOffset + info.resourceLength > fileSize)
    return false;
  info.created = GetU32BE(h + 91);
  info.modified = GetU32BE(h + 95);
  uint8_t* f = info.finderInfo.data();
  std::memcpy(f, h + 65, 8);       // fdType, fdCreator
  f[8] = h[73];                    // fdFlags, high byte
  f[9] = h[101];                   // and low byte
  std::memcpy(f + 10, h + 75, 6);  // fdLocation, fdFldr
  if (std::memcmp(h + 102, "mBIN", 4) == 0) {
    f[16 + 8] = h[106];  // fdScript
    f[16 + 9] = h[107];  // fdXFlags
  }
  return true;
}

}  // namespace brind::cli
