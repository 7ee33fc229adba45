#include <gtest/gtest.h>

#include <functional>

#include "disk/DiskServices.h"
#include "disk/Vwin32Services.h"
#include "tests/support/FakeDevice.h"
#include "tests/support/FakeDriverPort.h"
#include "tests/support/MessageTexts.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind {
namespace {

using test::DeviceCall;
using test::FakeDevice;
using test::FakeDriverPort;
using test::kDriverNotInstalled;
using test::kNoDeviceIoctl;
using test::Op;
using test::ScriptedPrompts;

struct DiskServicesTest : ::testing::Test {
  FakeDevice device;
  FakeDriverPort driver;
  ScriptedPrompts prompts;
  DiskServices disk{device, driver, prompts};
  uint8_t buf[512] = {};

  std::vector<Op> Ops() const {
    std::vector<Op> ops;
    for (const auto& c : device.calls) ops.push_back(c.op);
    return ops;
  }
};

TEST_F(DiskServicesTest, TrackNumbersMapToCylinderAndHead) {
  struct Case {
    uint16_t track, head, cylinder;
  };
  for (const Case c : {Case{0, 0, 0}, Case{1, 1, 0}, Case{2, 0, 1}, Case{37, 1, 18},
                       Case{158, 0, 79}, Case{159, 1, 79}}) {
    device.calls.clear();
    ASSERT_EQ(disk.FormatTrackNumber(0, c.track), 0);
    ASSERT_EQ(device.Count(Op::kFormatTrack), 1u);
    const DeviceCall& call = device.calls.back();
    EXPECT_EQ(call.head, c.head) << "track " << c.track;
    EXPECT_EQ(call.cylinder, c.cylinder) << "track " << c.track;
  }
}

TEST_F(DiskServicesTest, SectorTransfersOpenOnceAndMoveOneSector) {
  device.SectorData(7)[0] = 0xAB;
  ASSERT_EQ(disk.ReadSector(buf, 7, 0), 0);
  EXPECT_EQ(buf[0], 0xAB);
  buf[511] = 0x5A;
  ASSERT_EQ(disk.WriteSector(buf, 2879, 0), 0);
  EXPECT_EQ(device.SectorData(2879)[511], 0x5A);
  EXPECT_EQ(device.Count(Op::kOpen), 1u);
  EXPECT_EQ(disk.handleState(), HandleState::kOpen);
}

// Each condition reaches the caller as the code it tells apart.
TEST_F(DiskServicesTest, StatusCodesOfTheConditions) {
  struct Case {
    const char* what;
    bool noDisk, writeProtected;
    Op op;
    DiskStatus expected;
  };
  const Case cases[] = {
      {"read, no disk", true, false, Op::kRead, kDiskNotReady},
      {"write, no disk", true, false, Op::kWrite, kDiskNotReady},
      {"write, write-protected", false, true, Op::kWrite, kDiskWriteProtected},
      {"read, write-protected", false, true, Op::kRead, kDiskOk},
      {"track, write-protected", false, true, Op::kFormatTrack, kDiskTrackWriteProtected},
      {"track, no disk", true, false, Op::kFormatTrack, kDiskNoDisk},
  };
  for (const Case& c : cases) {
    FakeDevice dev;
    dev.noDisk = c.noDisk;
    dev.writeProtected = c.writeProtected;
    DiskServices d{dev, driver, prompts};
    DiskStatus s = 0xEEEE;
    if (c.op == Op::kRead) s = d.ReadSector(buf, 2, 0);
    if (c.op == Op::kWrite) s = d.WriteSector(buf, 2, 0);
    if (c.op == Op::kFormatTrack) s = d.FormatTrackNumber(0, 5);
    EXPECT_EQ(s, c.expected) << c.what;
  }
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(DiskServicesTest, InjectedCodesPassThroughAndFailuresNeverReadAsSuccess) {
  for (uint16_t code : {2, 3, 8, 5, 15, 19, 20, 31, 32}) {
    device.FailOp(Op::kFormatTrack, code);
    EXPECT_EQ(disk.FormatTrack(0, 0, 0), code);
    device.FailOp(Op::kRead, code);
    EXPECT_EQ(disk.ReadSector(buf, 0, 0), code);
  }
  // A binding that reports failure without a code must not make the transfer look successful
  // or look like the "not opened" status.
  device.FailOp(Op::kWrite, 0);
  EXPECT_NE(disk.WriteSector(buf, 0, 0), 0);
  device.FailOp(Op::kWrite, 0xFFFF);
  const DiskStatus s = disk.WriteSector(buf, 0, 0);
  EXPECT_NE(s, 0);
  EXPECT_NE(s, kDiskNotOpen);
}

TEST_F(DiskServicesTest, FailedOpenShowsItsMessageOnEveryTransferUntilALockOpens) {
  device.openError = 2;
  EXPECT_EQ(disk.ReadSector(buf, 0, 0), kDiskNotOpen);
  EXPECT_EQ(disk.WriteSector(buf, 0, 0), kDiskNotOpen);
  EXPECT_EQ(disk.ReadSector(buf, 0, 0), kDiskNotOpen);
  ASSERT_EQ(prompts.shown.size(), 3u);
  for (const auto& p : prompts.shown) {
    EXPECT_EQ(p.text, kDriverNotInstalled);
    EXPECT_EQ(p.caption, "Brindlewood Format");
    EXPECT_EQ(p.icon(), kMbIconError);
    EXPECT_EQ(p.owner, PromptOwner::kFocusWindow);
  }
  // Transfers never retry the open; only the lock operations do.
  EXPECT_EQ(device.Count(Op::kOpen), 1u);
  EXPECT_EQ(disk.handleState(), HandleState::kFailed);

  device.openError = 0;
  ASSERT_EQ(disk.LockVolumeForFormat(0, "A:"), 1);
  EXPECT_EQ(disk.handleState(), HandleState::kOpen);
  EXPECT_EQ(disk.ReadSector(buf, 0, 0), 0);
  EXPECT_EQ(prompts.shown.size(), 3u);
}

TEST_F(DiskServicesTest, OpenFailureNotSupportedHasItsOwnTextAndCaption) {
  device.openError = kErrorNotSupported;
  EXPECT_EQ(disk.WriteSector(buf, 0, 0), kDiskNotOpen);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, kNoDeviceIoctl);
  EXPECT_EQ(prompts.shown[0].caption, "Unable to open BrindFs VxD");
}

TEST_F(DiskServicesTest, IoctlOnAFailedDeviceShowsTheIoctlMessages) {
  struct Case {
    uint32_t error;
    const char* text;
    const char* caption;
  };
  for (const Case c :
       {Case{kErrorNotSupported, kNoDeviceIoctl, "Brindlewood Fromat"},
        Case{2, "Brindlewood for Windows 95 is not installed", "Brindlewood Format"}}) {
    FakeDevice dev;
    dev.openError = c.error;
    ScriptedPrompts p;
    DiskServices d{dev, driver, p};
    EXPECT_NE(d.FormatTrack(0, 0, 0), 0);
    ASSERT_EQ(p.shown.size(), 1u);
    EXPECT_EQ(p.shown[0].text, c.text);
    EXPECT_EQ(p.shown[0].caption, c.caption);
    EXPECT_EQ(p.shown[0].icon(), kMbIconError);
    EXPECT_EQ(dev.Count(Op::kFormatTrack), 0u);
  }
}

TEST_F(DiskServicesTest, CheckDriveAcceptsOnlyThe144Drive) {
  for (uint8_t type : {0, 1, 2, 5, 8, 9}) {
    for (uint8_t checkOnly : {0, 1}) {
      FakeDevice dev;
      dev.deviceType = type;
      DiskServices d{dev, driver, prompts};
      EXPECT_EQ(d.CheckDrive(0, checkOnly), 1) << int{type};
      EXPECT_EQ(dev.Count(Op::kSetParams), 0u);
    }
  }
}

TEST_F(DiskServicesTest, CheckDriveSetsTheMediumUnlessCheckOnly) {
  device.lastParams.bytes[30] = 0x77;  // a field the services must keep as the query gave it
  device.lastParams.set16(DeviceParams::kCylinders, 40);
  EXPECT_EQ(disk.CheckDrive(0, 1), 0);
  EXPECT_EQ(device.Count(Op::kSetParams), 0u);
  // Only the value 1 means check only.
  EXPECT_EQ(disk.CheckDrive(0, 2), 0);
  ASSERT_EQ(device.Count(Op::kSetParams), 1u);

  const DeviceParams& sent = device.lastParams;
  EXPECT_EQ(sent.specialFunctions(), 5);
  EXPECT_EQ(sent.deviceType(), 7);
  EXPECT_EQ(sent.cylinders(), 80);
  EXPECT_EQ(sent.bytesPerSector(), 512);
  EXPECT_EQ(sent.sectorsPerCluster(), 1);
  EXPECT_EQ(sent.totalSectors(), 2880);
  EXPECT_EQ(sent.sectorsPerTrack(), 18);
  EXPECT_EQ(sent.bytes[30], 0x77);
  // The query itself asks for the medium's parameters.
  for (const auto& c : device.calls)
    if (c.op == Op::kGetParams) {
      EXPECT_EQ(c.params.specialFunctions(), 5);
    }
}

TEST_F(DiskServicesTest, CheckDriveAsksTheDriverWhenTheSystemCannotSay) {
  device.FailOp(Op::kGetParams, 0x0F);
  driver.queryAnswer = 0x1234;
  EXPECT_EQ(disk.CheckDrive(1, 0), 0x1234);
  ASSERT_EQ(driver.queriedDrives.size(), 1u);
  EXPECT_EQ(driver.queriedDrives[0], 1);
  EXPECT_EQ(device.Count(Op::kSetParams), 0u);

  driver.queryAnswer = 0;
  EXPECT_EQ(disk.CheckDrive(1, 0), 0);
  EXPECT_EQ(device.Count(Op::kSetParams), 0u);
}

TEST_F(DiskServicesTest, CheckDriveReportsAFailedCallEvenWithoutACode) {
  device.FailOp(Op::kSetParams, 31);
  EXPECT_EQ(disk.CheckDrive(0, 0), 31);
  device.FailOp(Op::kSetParams, 0);
  EXPECT_EQ(disk.CheckDrive(0, 0), 31);
  // A query failing without a code after a 1.44 MB drive answered: that drive's type is stale.
  device.fault = nullptr;
  ASSERT_EQ(disk.CheckDrive(0, 1), 0);
  device.FailOp(Op::kGetParams, 0);
  EXPECT_EQ(disk.CheckDrive(1, 1), 31);
  EXPECT_TRUE(driver.queriedDrives.empty());
}

TEST(DriverRequestTest, AQueryDriveCallThatWritesNothingOffersNoDrive) {
  const DriverRequest r = QueryDriveRequest(3);
  EXPECT_EQ(r.argument(), 3u);
  EXPECT_EQ(r.request(), kRequestQueryDrive);
  EXPECT_NE(r.answer(), 0) << "an untouched record must not read as \"may be formatted\"";
}

TEST_F(DiskServicesTest, LockProbesReleasesAndTakesTheTwoFormatLocks) {
  device.fault = [](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
    if (c.op == Op::kLock && c.level == 3) return DeviceResult::Failure(5);
    return std::nullopt;
  };
  ASSERT_EQ(disk.LockVolumeForFormat(0, "A:"), 1);
  std::vector<std::tuple<Op, int, int>> seen;
  for (const auto& c : device.calls)
    if (c.op == Op::kLock || c.op == Op::kUnlock) seen.emplace_back(c.op, c.level, c.permissions);
  const std::vector<std::tuple<Op, int, int>> expected = {
      {Op::kLock, 1, 2},   {Op::kLock, 2, 0}, {Op::kLock, 3, 0}, {Op::kUnlock, 0, 0},
      {Op::kUnlock, 0, 0}, {Op::kLock, 0, 0}, {Op::kLock, 0, 4}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(device.lockDepth, 2);
  EXPECT_TRUE(device.open);
}

TEST_F(DiskServicesTest, LockSucceedsWhenTheProbeTookNoLevel) {
  device.fault = [](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
    if (c.op == Op::kLock && c.level == 1) return DeviceResult::Failure(5);
    return std::nullopt;
  };
  EXPECT_EQ(disk.LockVolumeForFormat(0, "A:"), 1);
  EXPECT_EQ(device.Count(Op::kUnlock), 0u);
}

TEST_F(DiskServicesTest, LockFailingAtTheFirstLevelZeroIssuesNoUnlockAndCloses) {
  // Levels 1 and 2 are taken by the probe; 3 and the first level-0 lock fail.
  device.fault = [](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
    if (c.op == Op::kLock && (c.level == 3 || c.level == 0)) return DeviceResult::Failure(5);
    return std::nullopt;
  };
  EXPECT_EQ(disk.LockVolumeForFormat(0, "A:"), 0);
  EXPECT_EQ(device.Count(Op::kUnlock), 2u);  // the two probe levels only
  EXPECT_EQ(device.Count(Op::kSearchRoot), 0u);
  EXPECT_EQ(Ops().back(), Op::kClose);
  EXPECT_EQ(disk.handleState(), HandleState::kNotOpen);
}

TEST_F(DiskServicesTest, LockFailingAtTheFormatLockSearchesUnlocksOnceAndCloses) {
  device.fault = [](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
    if (c.op == Op::kLock && c.permissions == 4) return DeviceResult::Failure(32);
    if (c.op == Op::kLock && c.level != 0) return DeviceResult::Failure(5);
    return std::nullopt;
  };
  EXPECT_EQ(disk.LockVolumeForFormat(0, "A:"), 0);
  const std::vector<Op> ops = Ops();
  const std::vector<Op> tail(ops.end() - 3, ops.end());
  EXPECT_EQ(tail, (std::vector<Op>{Op::kSearchRoot, Op::kUnlock, Op::kClose}));
  EXPECT_EQ(device.calls[device.calls.size() - 3].text, "A:\\*.*");
  EXPECT_EQ(disk.handleState(), HandleState::kNotOpen);
}

TEST_F(DiskServicesTest, UnlockRunsItsWholeSequenceEvenWhenTheFirstUnlockFails) {
  ASSERT_EQ(disk.LockVolumeForFormat(0, "B:"), 1);
  device.calls.clear();
  device.FailCallAt(0, 1);
  EXPECT_EQ(disk.UnlockVolume(0, "B:\\"), 0);
  EXPECT_EQ(Ops(), (std::vector<Op>{Op::kUnlock, Op::kSearchRoot, Op::kUnlock, Op::kClose}));
  EXPECT_EQ(device.calls[1].text, "B:\\\\*.*");
  EXPECT_EQ(disk.handleState(), HandleState::kNotOpen);

  // Both unlocks succeeding report 1, and a closed device is opened for the sequence.
  device.fault = nullptr;
  device.calls.clear();
  EXPECT_EQ(disk.UnlockVolume(0, "B:"), 1);
  EXPECT_EQ(Ops().front(), Op::kOpen);
}

TEST_F(DiskServicesTest, VolumeLabelComesFromTheSystem) {
  char label[DiskServices::kLabelBufferSize];
  device.volumeLabel = "MYDISK";
  EXPECT_EQ(disk.GetVolumeLabel("A:\\", label), 1u);
  EXPECT_STREQ(label, "MYDISK");
  EXPECT_EQ(device.calls.back().text, "A:\\");
  device.volumeInfoError = 21;
  EXPECT_EQ(disk.GetVolumeLabel("A:\\", label), 21u);
}

// VWIN32 natively: a DeviceIoControl that records the register block and answers as told.
struct RecordingDioc : DiocCall {
  std::vector<std::pair<uint32_t, DiocRegisters>> calls;
  bool refuse = false;
  std::function<void(DiocRegisters&)> respond = [](DiocRegisters&) {};
  bool Call(uint32_t code, DiocRegisters& regs) override {
    calls.push_back({code, regs});
    if (refuse) return false;
    respond(regs);
    return true;
  }
  uint32_t Address(const void*) override { return 0x00401234; }
};

TEST(Vwin32Services, SectorTransfersDecodeTheRegistersTheSystemLeaves) {
  struct Case {
    const char* what;
    bool write;
    bool refuse;
    uint32_t eax, flags;  // as the system leaves them
    DeviceResult result;
  } cases[] = {
      {"read", false, false, 0, 0, DeviceResult::Success()},
      {"carry set with a code", false, false, 0x0102, 1, DeviceResult::Failure(2)},
      {"carry set with code 0", false, false, 0, 1, DeviceResult::Failure(31)},
      {"write-protect in the second byte", true, false, 0x0300, 1, DeviceResult::Failure(3)},
      {"a read's second byte is no code", false, false, 0x0300, 1, DeviceResult::Failure(31)},
      {"refused call", true, true, 0, 0, DeviceResult::Failure(31)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingDioc dioc;
    dioc.refuse = c.refuse;
    dioc.respond = [&](DiocRegisters& r) {
      r.reg_EAX = c.eax;
      r.reg_Flags = c.flags;
    };
    Vwin32Services services(dioc);
    uint8_t buffer[512] = {};
    const DeviceResult r =
        c.write ? services.WriteSector(1, 17, buffer) : services.ReadSector(1, 17, buffer);
    EXPECT_EQ(r.ok, c.result.ok);
    EXPECT_EQ(r.code, c.result.code);
    ASSERT_EQ(dioc.calls.size(), 1u);
    const DiocRegisters& in = dioc.calls[0].second;
    EXPECT_EQ(dioc.calls[0].first, c.write ? kDiocDosInt26 : kDiocDosInt25);
    EXPECT_EQ(in.reg_EAX, 1u) << "the drive, 0 = A:";
    EXPECT_EQ(in.reg_EBX, 0x00401234u);
    EXPECT_EQ(in.reg_ECX, 1u);
    EXPECT_EQ(in.reg_EDX, 17u);
    EXPECT_EQ(in.reg_Flags, 0u);
  }
}

TEST(Vwin32Services, IoctlsCarryTheDriveAndTheLockLevelInEbx) {
  RecordingDioc dioc;
  Vwin32Services services(dioc);
  EXPECT_TRUE(services.LockLogicalVolume(0, 2, 4).ok);
  EXPECT_TRUE(services.UnlockLogicalVolume(1).ok);
  DeviceParams params;
  EXPECT_TRUE(services.GetDeviceParams(0, params).ok);
  ASSERT_EQ(dioc.calls.size(), 3u);
  for (const auto& [code, in] : dioc.calls) {
    EXPECT_EQ(code, kDiocDosIoctl);
    EXPECT_EQ(in.reg_EAX, 0x440Du);
  }
  EXPECT_EQ(dioc.calls[0].second.reg_EBX, 0x0201u) << "level 2 above drive 1 (A:)";
  EXPECT_EQ(dioc.calls[0].second.reg_ECX, 0x084Au);
  EXPECT_EQ(dioc.calls[0].second.reg_EDX, 4u);
  EXPECT_EQ(dioc.calls[1].second.reg_EBX, 2u);
  EXPECT_EQ(dioc.calls[1].second.reg_ECX, 0x086Au);
  EXPECT_EQ(dioc.calls[2].second.reg_ECX, 0x0860u);

  // A carry with a code reports it; a refused call leaves 440Dh, whose low byte is the code.
  dioc.respond = [](DiocRegisters& r) {
    r.reg_EAX = 0x0F;
    r.reg_Flags = 1;
  };
  EXPECT_EQ(services.FormatTrack(0, 1, 5).code, 0x0F);
  dioc.refuse = true;
  const DeviceResult refused = services.FormatTrack(0, 1, 5);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.code, 0x0D);
}

TEST(DriveGeometryTest, TheOneSupportedMedium) {
  DriveGeometry g{};
  FillDriveGeometry(g, 1);
  EXPECT_EQ(g.cylinders * g.heads, 160);
  EXPECT_EQ(g.sectorsPerTrack, 18);
  EXPECT_EQ(g.totalSectors, 2880u);
  EXPECT_EQ(g.bytesPerSector, 512);
  EXPECT_EQ(g.driveNumber, 1);
}

}  // namespace
}  // namespace brind
