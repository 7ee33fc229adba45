// The file-system driver for tests: answers QueryDrive as told and keeps every table it is sent.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "disk/DriverPort.h"

namespace brind::test {

class FakeDriverPort : public DriverPort {
 public:
  uint32_t openError = 0;
  uint16_t queryAnswer = 0;
  uint32_t setCharMapResult = 0;  // 0: the table is taken
  std::vector<uint8_t> queriedDrives;
  std::vector<std::array<uint8_t, 128>> tables;
  int opens = 0;
  int closes = 0;
  bool open = false;

  uint32_t Open() override {
    // As the real port: a handle already open is closed first.
    if (open) Close();
    ++opens;
    if (openError) return openError;
    open = true;
    return 0;
  }
  void Close() override {
    ++closes;
    open = false;
  }
  bool IsOpen() const override { return open; }
  uint16_t QueryDrive(uint8_t drive) override {
    queriedDrives.push_back(drive);
    return queryAnswer;
  }
  uint32_t SetCharMap(const uint8_t* table128) override {
    std::array<uint8_t, 128> t;
    std::memcpy(t.data(), table128, t.size());
    tables.push_back(t);
    return setCharMapResult;
  }
};

}  // namespace brind::test
