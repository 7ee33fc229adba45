// Writes an empty HFS volume on A: through VWIN32 with the seven file-system stages, as the
// Windows program does; the script around it compares the image with one written on Linux.
// usage: hfs_format_wine.exe LABEL
#include <cstdio>
#include <cstring>

#include "common/UserPrompts.h"
#include "disk/DiskServices.h"
#include "disk/win32/Vwin32Device.h"
#include "hfs/FormatStages.h"

namespace {

struct PrintedPrompts : brind::UserPrompts {
  int shown = 0;
  int Show(const char* text, const char* caption, unsigned, brind::PromptOwner) override {
    std::printf("message: %s / %s\n", text, caption ? caption : "");
    ++shown;
    return brind::kIdOk;
  }
};

// VWIN32 answers every drive query itself; the driver is never asked.
struct NoDriver : brind::DriverPort {
  uint32_t Open() override { return 2; }
  void Close() override {}
  bool IsOpen() const override { return false; }
  uint16_t QueryDrive(uint8_t) override { return 1; }
  uint32_t SetCharMap(const uint8_t*) override { return 1; }
};

}  // namespace

int main(int argc, char** argv) {
  char label[28] = {};
  if (argc > 1) std::strncpy(label, argv[1], sizeof label - 1);

  brind::Vwin32Device device;
  NoDriver driver;
  PrintedPrompts prompts;
  brind::DiskServices disk{device, driver, prompts};

  if (disk.CheckDrive(0, 1) != 0) {
    std::printf("FAILED: A: is not taken for a 1.44 MB drive\n");
    return 1;
  }
  if (!disk.LockVolumeForFormat(0, "A:")) {
    std::printf("FAILED: A: does not lock for formatting\n");
    return 1;
  }
  int failed = 0;
  for (const brind::FormatStage& stage : brind::kFormatStages) {
    const uint16_t status = stage.run(disk, {0, brind::kTotalSectors, label});
    std::printf("%s: step %u %s\n", status ? "FAILED" : "ok", static_cast<unsigned>(stage.step),
                status ? stage.failureMessage : stage.operation);
    if (status) {
      failed = 1;
      break;
    }
  }
  disk.UnlockVolume(0, "A:");
  return failed || prompts.shown ? 1 : 0;
}
