// One format dialog over an in-memory drive, scripted message boxes and a recording view, with a
// message pump that delivers posted stops and timer messages the way a dialog's loop does.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "disk/DiskServices.h"
#include "formatter/FormatController.h"
#include "tests/formatter/FakeFormatView.h"
#include "tests/formatter/TestStages.h"
#include "tests/support/FakeDevice.h"
#include "tests/support/FakeDriverPort.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind::test {

// The stages as the format runs them, with where each one's disk calls begin and end, and a
// stage that can be made to fail without touching the disk.
class RecordingStages : public StageRunner {
 public:
  RecordingStages(StageRunner& inner, FakeDevice& device) : inner_(inner), device_(device) {}
  struct Run {
    uint32_t index;
    size_t firstCall, endCall;  // device calls [first, end)
    std::string label;
  };
  std::vector<Run> runs;
  int failIndex = -1;  // this stage answers 1

  uint16_t RunStage(uint32_t index, SectorIo& io, uint8_t drive, const char* label) override {
    Run r{index, device_.calls.size(), 0, label};
    const uint16_t status =
        static_cast<int>(index) == failIndex ? 1 : inner_.RunStage(index, io, drive, label);
    r.endCall = device_.calls.size();
    runs.push_back(r);
    return status;
  }
  const char* FailureMessage(uint32_t index) override { return inner_.FailureMessage(index); }

 private:
  StageRunner& inner_;
  FakeDevice& device_;
};

struct FormatRig {
  FakeDevice device;
  FakeDriverPort driver;
  ScriptedPrompts prompts;
  DiskServices disk{device, driver, prompts};
  FakeFormatView view;
  FormatState state;
  TestStages realStages;
  RecordingStages stages{realStages, device};
  TestNames names;
  FormatController ctl{state, view, disk, prompts, stages, names, &driver};

  // Before every timer message; returning true presses Cancel instead of delivering it.
  std::function<bool()> cancelBeforeTimer;
  std::function<void()> afterTimer;
  int timerMessages = 0;

  void PutMacDisk(const std::vector<uint8_t>& name) {
    uint8_t* mdb = device.SectorData(2);
    for (int i = 0; i < 512; ++i) mdb[i] = static_cast<uint8_t>(0x30 + i % 61);  // old contents
    mdb[0] = 0x42;
    mdb[1] = 0x44;
    mdb[36] = static_cast<uint8_t>(name.size());
    std::memcpy(mdb + 37, name.data(), name.size());
  }
  void PutMacDisk(const char* name) {
    PutMacDisk(std::vector<uint8_t>(name, name + std::strlen(name)));
  }
  void PutDosDisk() {
    device.SectorData(0)[510] = 0x55;
    device.SectorData(0)[511] = 0xAA;
  }

  // Opens the dialog on A: and presses Start with the given options.
  bool Open() { return ctl.OnInitDialog(false); }
  void Start(bool quick, const char* label = "Untitled", bool summary = false) {
    view.driveBoxText = "A:";
    view.label = label;
    view.checked[kIdQuick] = quick;
    view.checked[kIdFull] = !quick;
    view.checked[kIdSummary] = summary;
    ctl.OnStart();
  }
  // Delivers posted stops and timer messages until the dialog has nothing left to do.
  void Pump() {
    for (int guard = 0; guard < 100000; ++guard) {
      if (view.pendingStops > 0) {
        --view.pendingStops;
        ctl.OnCancel();
        continue;
      }
      if (!view.timerSet) return;
      if (cancelBeforeTimer && cancelBeforeTimer()) {
        ctl.OnCancel();
        continue;
      }
      ++timerMessages;
      ctl.OnTimer();
      if (afterTimer) afterTimer();
    }
    FAIL() << "the sequence never ends";
  }

  bool Unlocked() const { return device.lockDepth == 0 && !device.open; }
  // Track formats and sector writes recorded from call index `from` on.
  std::vector<DeviceCall> ChangesFrom(size_t from) const {
    std::vector<DeviceCall> out;
    for (size_t i = from; i < device.calls.size(); ++i)
      if (device.calls[i].op == Op::kWrite || device.calls[i].op == Op::kFormatTrack)
        out.push_back(device.calls[i]);
    return out;
  }
};

}  // namespace brind::test
