// Runs the disk services over VWIN32 and the driver port against an image mapped as A:; the
// shell script around it prepared the image and checks what landed in it and in the driver log.
#include <cstdio>
#include <cstring>

#include "common/UserPrompts.h"
#include "disk/DiskServices.h"
#include "disk/win32/Vwin32Device.h"
#include "disk/win32/Win32DriverPort.h"

namespace {

int failures = 0;
int passes = 0;
void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  ++(ok ? passes : failures);
}

struct NoPrompts : brind::UserPrompts {
  int Show(const char* text, const char* caption, unsigned, brind::PromptOwner) override {
    std::printf("unexpected message: %s / %s\n", text, caption ? caption : "");
    ++failures;
    return brind::kIdOk;
  }
};

uint8_t Pattern(uint32_t sector, int i) { return static_cast<uint8_t>(sector * 7 + i * 3 + 1); }

}  // namespace

int main() {
  brind::Vwin32Device device;
  brind::Win32DriverPort driver;
  NoPrompts prompts;
  brind::DiskServices disk{device, driver, prompts};

  uint8_t buffer[512];
  for (uint32_t sector : {0u, 1440u}) {
    std::memset(buffer, 0, sizeof buffer);
    const bool read = disk.ReadSector(buffer, sector, 0) == 0;
    bool same = read;
    for (int i = 0; i < 512 && same; ++i) same = buffer[i] == Pattern(sector, i);
    Check(same,
          sector == 0 ? "sector 0 reads the image's bytes" : "sector 1440 reads the image's bytes");
  }
  for (uint32_t sector : {2u, 1000u, 2879u}) {
    for (int i = 0; i < 512; ++i) buffer[i] = Pattern(sector + 1, i);
    Check(disk.WriteSector(buffer, sector, 0) == 0, "a sector is written");
  }
  Check(disk.CheckDrive(0, 0) == 0, "A: is a 1.44 MB drive");
  Check(disk.LockVolumeForFormat(0, "A:") == 1, "the volume locks for formatting");
  Check(disk.UnlockVolume(0, "A:") == 1, "the volume unlocks");

  Check(driver.Open() == 0, "the driver's control device opens");
  Check(driver.QueryDrive(0) == 0x0201, "QueryDrive returns the driver's answer word");
  uint8_t table[128];
  for (int i = 0; i < 128; ++i) table[i] = static_cast<uint8_t>(i ^ 0x5A);
  Check(driver.SetCharMap(table) == 0, "SetCharMap is taken");
  driver.Close();

  std::printf("%d passed, %d failed\n", passes, failures);
  return failures ? 1 : 0;
}
