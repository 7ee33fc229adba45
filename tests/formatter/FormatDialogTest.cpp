// The format dialog before the sequence: drive list, label of the disk in the drive, and the
// checks and questions of Start.
#include <gtest/gtest.h>

#include "tests/formatter/FormatRig.h"
#include "tests/support/MessageTexts.h"

namespace brind {
namespace {

using test::DeviceCall;
using test::FormatRig;
using test::kDosDisk;
using test::kLocked;
using test::kMacDisk;
using test::kNoDiskRetry;
using test::kNotSupported;
using test::kProtectedRetry;
using test::kQuickNotMac;
using test::Op;

constexpr char kInvalidDrive[] = "Enter a valid drive letter for format";

size_t Tracks(const FormatRig& rig) { return rig.device.Count(Op::kFormatTrack); }

TEST(FormatDialog, DriveListHoldsTheDrivesTheDiskServicesAccept) {
  FormatRig rig;
  rig.view.systemDrives = {"[-a-]", "[-b-]", "[-c-]", "[-d-]", "[-e-]"};
  rig.device.driveTypes = {{1, 2}, {4, 7}};  // B: a 720 KB drive
  rig.driver.queryAnswer = 1;                // the driver refuses what the system cannot say
  rig.device.fault = [](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
    if (c.op == Op::kGetParams && c.drive == 2) return DeviceResult::Failure(0x15);
    return std::nullopt;
  };
  rig.Open();
  EXPECT_EQ(rig.view.driveList, (std::vector<std::string>{"A:", "D:", "E:"}));
  EXPECT_EQ(rig.view.driveBoxText, "A:");
  EXPECT_EQ(rig.driver.queriedDrives, (std::vector<uint8_t>{2}));
  EXPECT_EQ(rig.driver.opens, 1) << "the dialog opens the driver's device again";
  EXPECT_TRUE(rig.view.checked[kIdQuick]);
  EXPECT_FALSE(rig.view.checked[kIdFull]);
  EXPECT_TRUE(rig.view.checked[kIdSummary]);
  EXPECT_EQ(rig.view.labelLimit, 27u);
}

TEST(FormatDialog, NoAcceptableDriveWarnsAndReadsNothing) {
  FormatRig rig;
  rig.device.deviceType = 2;
  EXPECT_FALSE(rig.Open());
  EXPECT_TRUE(rig.view.driveList.empty());
  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.prompts.shown[0].text, kInvalidDrive);
  EXPECT_EQ(rig.prompts.shown[0].caption, "Invalid Drive");
  EXPECT_EQ(rig.prompts.shown[0].flags, unsigned{kMbOk | kMbIconWarning});
  EXPECT_EQ(rig.device.Count(Op::kRead), 0u);
  EXPECT_EQ(rig.view.focus, 0);
}

TEST(FormatDialog, CommandLineDriveIsKept) {
  FormatRig rig;
  rig.view.systemDrives = {"[-a-]", "[-b-]"};
  std::snprintf(rig.state.drivePath, sizeof rig.state.drivePath, "B:");
  EXPECT_TRUE(rig.ctl.OnInitDialog(true));
  EXPECT_EQ(rig.view.driveBoxText, "B:");
  EXPECT_EQ(rig.state.driveNumber, 1);
  EXPECT_EQ(rig.view.focus, kIdStart);
}

// What the label field shows for each kind of disk, and whether the dialog reports that it
// looked at the disk (the focus then goes to Start).
TEST(FormatDialog, LabelOfTheDiskInTheDrive) {
  enum Disk { kBlank, kDos, kDosNoLabel, kMac, kNoSector0, kNoSector2, kNoLock };
  struct Case {
    const char* what;
    Disk disk;
    const char* label;
    bool lookedAtDisk;
  };
  const Case cases[] = {
      {"DOS: the first 11 characters", kDos, "MYDISKLABEL", true},
      {"DOS without a label", kDosNoLabel, "", true},
      {"Macintosh", kMac, "Mac Disk", true},
      {"neither: the field is left alone", kBlank, "previous", true},
      {"sector 0 unreadable", kNoSector0, "", false},
      {"sector 2 unreadable", kNoSector2, "", false},
      {"volume locked by another", kNoLock, "previous", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormatRig rig;
    rig.view.label = "previous";
    switch (c.disk) {
      case kDos:
        rig.PutDosDisk();
        rig.device.volumeLabel = "MYDISKLABEL123";
        break;
      case kDosNoLabel:
        rig.PutDosDisk();
        rig.device.volumeInfoError = 2;
        break;
      case kMac:
        rig.PutMacDisk("Mac Disk");
        break;
      case kNoSector0:
        rig.device.FailOp(Op::kRead, kDiskNotReady, 0);
        break;
      case kNoSector2:
        rig.device.FailOp(Op::kRead, kDiskSectorNotFound, 2);
        break;
      case kNoLock:
        rig.device.fault = [](const DeviceCall& call, size_t) -> std::optional<DeviceResult> {
          if (call.op == Op::kLock && call.level == 0) return DeviceResult::Failure(0x20);
          return std::nullopt;
        };
        break;
      case kBlank:
        break;
    }
    EXPECT_EQ(rig.Open(), c.lookedAtDisk);
    EXPECT_EQ(rig.view.label, c.label);
    EXPECT_EQ(rig.view.focus, c.lookedAtDisk ? kIdStart : 0);
    EXPECT_TRUE(rig.Unlocked()) << "reading the label leaves no lock behind";
    EXPECT_TRUE(rig.prompts.shown.empty());
    EXPECT_EQ(rig.device.Count(Op::kWrite), 0u);
    if (c.disk == kDos) {
      ASSERT_EQ(rig.device.Count(Op::kVolumeInfo), 1u);
      EXPECT_EQ(rig.device.calls.back().text, "A:\\");
    }
  }
}

// Names pass through the character map both ways: shown in Windows characters, written in
// Macintosh ones. The length byte comes from the disk and may be anything up to 255, and every
// character may double when it is escaped.
TEST(FormatDialog, LabelsThroughTheCharacterMap) {
  FormatRig rig;
  rig.PutMacDisk(std::vector<uint8_t>{0x80, 0x41, 0xA5});
  rig.Open();
  EXPECT_EQ(rig.view.label, "\xC4\x41\x5F\xA5");

  FormatRig longest;
  longest.PutMacDisk(std::vector<uint8_t>(255, 0xA0));
  longest.Open();
  std::string doubled;
  for (int i = 0; i < 255; ++i) doubled += "\x5F\xA0";
  EXPECT_EQ(longest.view.label, doubled);

  // Start keeps 27 characters of the field and turns escaped pairs back into one character.
  longest.prompts.answers = {kIdYes};
  longest.cancelBeforeTimer = [] { return true; };
  longest.Start(true, doubled.c_str());
  longest.Pump();
  EXPECT_EQ(std::string(longest.state.volumeLabel), std::string(13, '\xA0') + "_");

  FormatRig typed;
  typed.Open();
  typed.cancelBeforeTimer = [] { return true; };
  typed.Start(false, "Caf\xE9 \xA0");  // e acute and a no-break space
  typed.Pump();
  EXPECT_EQ(std::string(typed.state.volumeLabel), "Caf\x8E \xCA");
}

TEST(FormatDialog, SelectionChangeReadsTheOtherDrive) {
  FormatRig rig;
  rig.view.systemDrives = {"[-a-]", "[-b-]"};
  rig.Open();
  rig.view.focus = 0;
  rig.PutDosDisk();
  rig.device.volumeLabel = "SECOND";
  rig.view.selected = 1;
  rig.ctl.OnDriveSelectionChange();
  EXPECT_EQ(rig.state.driveNumber, 1);
  EXPECT_EQ(rig.view.label, "SECOND");
  EXPECT_EQ(rig.view.focus, 0) << "the focus stays where it is";
}

// Start's questions for each kind of disk and format, and what runs afterwards.
TEST(FormatDialog, StartAsksByTheKindOfDisk) {
  enum Disk { kBlank, kDos, kMac };
  enum Runs { kStopped, kFull, kQuick };
  struct Case {
    Disk disk;
    bool quick;
    int answer;
    const char* question;
    Runs runs;
  };
  const Case cases[] = {
      {kBlank, false, 0, nullptr, kFull},
      {kBlank, true, kIdOk, kQuickNotMac, kFull},
      {kBlank, true, kIdCancel, kQuickNotMac, kStopped},
      {kDos, false, kIdYes, kDosDisk, kFull},
      {kDos, false, kIdNo, kDosDisk, kStopped},
      {kDos, true, kIdOk, kQuickNotMac, kFull},
      {kDos, true, kIdCancel, kQuickNotMac, kStopped},
      {kMac, true, kIdYes, kMacDisk, kQuick},
      {kMac, true, kIdNo, kMacDisk, kStopped},
      {kMac, false, kIdYes, kMacDisk, kFull},
      {kMac, false, kIdNo, kMacDisk, kStopped},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "disk " << c.disk << (c.quick ? " quick" : " full") << " answer " << c.answer);
    FormatRig rig;
    if (c.disk == kDos) rig.PutDosDisk();
    if (c.disk == kMac) rig.PutMacDisk("Old");
    rig.Open();
    if (c.answer) rig.prompts.answers = {c.answer};
    rig.Start(c.quick);
    if (c.question) {
      ASSERT_EQ(rig.prompts.shown.size(), 1u);
      EXPECT_EQ(rig.prompts.shown[0].text, c.question);
      EXPECT_EQ(rig.prompts.shown[0].caption, "Brindlewood Format");
      EXPECT_EQ(rig.prompts.shown[0].buttons(),
                unsigned{c.question == kQuickNotMac ? kMbOkCancel : kMbYesNo});
      EXPECT_EQ(rig.prompts.shown[0].icon(),
                unsigned{c.question == kQuickNotMac ? kMbIconInformation : kMbIconQuestion});
    } else {
      EXPECT_TRUE(rig.prompts.shown.empty());
    }
    if (c.quick && c.runs == kFull) {
      EXPECT_TRUE(rig.view.checked[kIdFull]) << "a quick format turned full shows it";
      EXPECT_FALSE(rig.view.checked[kIdQuick]);
      EXPECT_FALSE(rig.view.Enabled(kIdFull));
    }
    rig.Pump();
    EXPECT_EQ(Tracks(rig), c.runs == kFull ? 160u : 0u);
    EXPECT_EQ(rig.stages.runs.size(), c.runs == kStopped ? 0u : 7u);
    if (c.runs == kStopped) {
      EXPECT_EQ(rig.device.Count(Op::kWrite), c.disk == kDos ? 1u : 2u) << "only the probes";
      EXPECT_EQ(rig.view.statusHistory, (std::vector<std::string>{""}));
    }
    EXPECT_TRUE(rig.view.Idle());
    EXPECT_TRUE(rig.Unlocked());
    EXPECT_FALSE(rig.view.endResult);
  }
}

// A probe that cannot read or write asks Retry/Cancel; Retry probes the same sector again.
TEST(FormatDialog, StartProbesAskRetryOrCancel) {
  struct Case {
    Op op;
    uint32_t sector;
    uint16_t code;
    const char* question;  // nullptr: the disk counts as blank
  };
  const Case cases[] = {
      {Op::kRead, 0, kDiskNotReady, kNoDiskRetry},
      {Op::kRead, 0, kDiskSectorNotFound, kNoDiskRetry},
      {Op::kWrite, 0, kDiskWriteProtected, kProtectedRetry},
      {Op::kRead, 2, kDiskNotReady, kNoDiskRetry},
      {Op::kWrite, 2, kDiskWriteProtected, kProtectedRetry},
      {Op::kRead, 0, 0x1B, nullptr},
  };
  for (const Case& c : cases) {
    for (int answer : {kIdRetry, kIdCancel}) {
      SCOPED_TRACE(testing::Message()
                   << "sector " << c.sector << " code " << c.code << " answer " << answer);
      FormatRig rig;
      if (c.sector == 0) rig.PutDosDisk();  // seen only when sector 0 reads; else blank
      rig.Open();
      int failures = 0;
      rig.device.fault = [&](const DeviceCall& call, size_t) -> std::optional<DeviceResult> {
        if (call.op == c.op && call.sector == c.sector && failures++ == 0)
          return DeviceResult::Failure(c.code);
        return std::nullopt;
      };
      rig.prompts.answers = {answer, kIdYes};  // then Yes to the DOS question
      rig.prompts.respond = [](const test::ShownPrompt&) { return kIdYes; };
      rig.Start(false);
      rig.Pump();
      if (!c.question) {
        // Unreadable: its DOS signature is forgotten, so sector 2 is looked at and nothing asked.
        EXPECT_TRUE(rig.prompts.shown.empty());
        EXPECT_EQ(Tracks(rig), 160u);
        break;
      }
      ASSERT_FALSE(rig.prompts.shown.empty());
      EXPECT_EQ(rig.prompts.shown[0].text, c.question);
      EXPECT_EQ(rig.prompts.shown[0].caption, "Drive Error");
      EXPECT_EQ(rig.prompts.shown[0].flags, unsigned{kMbRetryCancel | kMbIconInformation});
      EXPECT_EQ(Tracks(rig), answer == kIdRetry ? 160u : 0u);
      EXPECT_TRUE(rig.view.Idle());
      EXPECT_TRUE(rig.Unlocked());
    }
  }
}

TEST(FormatDialog, StartRefusals) {
  struct Case {
    const char* what;
    const char* drive;
    std::function<void(FormatRig&)> setUp;
    const char* text;
    const char* caption;
    unsigned flags;
    bool started;  // the dialog took the active look before it stopped
  };
  const Case cases[] = {
      {"not a drive text", "AB:", [](FormatRig&) {}, kInvalidDrive, "Invalid Drive",
       kMbOk | kMbIconWarning, false},
      {"no colon", "A", [](FormatRig&) {}, kInvalidDrive, "Invalid Drive", kMbOk | kMbIconWarning,
       false},
      {"720 KB drive", "A:", [](FormatRig& r) { r.device.deviceType = 2; }, kNotSupported,
       "Brindlewood Format", kMbOk | kMbIconError, true},
      {"a digit as the drive", "1:",
       [](FormatRig& r) {
         r.driver.queryAnswer = 1;
         r.device.fault = [](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
           if (c.op == Op::kGetParams && c.drive > 25) return DeviceResult::Failure(0x0F);
           return std::nullopt;
         };
       },
       kNotSupported, "Brindlewood Format", kMbOk | kMbIconError, true},
      {"volume locked", "A:",
       [](FormatRig& r) {
         r.device.fault = [](const DeviceCall& c, size_t) -> std::optional<DeviceResult> {
           if (c.op == Op::kLock && c.level == 0 && c.permissions == 4)
             return DeviceResult::Failure(0x20);
           return std::nullopt;
         };
       },
       kLocked, "Brindlewood Format", kMbOk | kMbIconInformation, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormatRig rig;
    rig.Open();
    c.setUp(rig);
    rig.view.checked[kIdQuick] = false;
    rig.view.driveBoxText = c.drive;
    rig.ctl.OnStart();
    ASSERT_EQ(rig.prompts.shown.size(), 1u);
    EXPECT_EQ(rig.prompts.shown[0].text, c.text);
    EXPECT_EQ(rig.prompts.shown[0].caption, c.caption);
    EXPECT_EQ(rig.prompts.shown[0].flags, c.flags);
    EXPECT_EQ(rig.view.InputsEnabled(), !c.started);
    EXPECT_EQ(rig.view.pendingStops, c.started ? 1 : 0);
    rig.Pump();
    EXPECT_TRUE(rig.view.InputsEnabled());
    EXPECT_EQ(rig.view.closeText, c.started ? "Close" : "&Close");
    EXPECT_EQ(rig.device.Count(Op::kFormatTrack) + rig.device.Count(Op::kWrite), 0u);
    EXPECT_TRUE(rig.Unlocked());
    EXPECT_FALSE(rig.view.endResult);
  }
}

TEST(FormatDialog, LowerCaseDriveAndLongLabel) {
  FormatRig rig;
  rig.view.systemDrives = {"[-a-]", "[-b-]"};
  rig.Open();
  rig.view.driveBoxText = "b:";
  rig.view.label = "A label that is longer than twenty-seven";
  rig.view.checked[kIdQuick] = false;
  rig.ctl.OnStart();
  rig.Pump();
  EXPECT_EQ(rig.state.driveNumber, 1);
  for (const DeviceCall& c : rig.device.calls)
    if (c.op == Op::kFormatTrack || c.op == Op::kWrite) {
      ASSERT_EQ(c.drive, 1);
    }
  EXPECT_EQ(std::string(rig.state.volumeLabel), "A label that is longer than");
  ASSERT_EQ(rig.stages.runs.size(), 7u);
  EXPECT_EQ(rig.stages.runs[1].label, "A label that is longer than");
}

TEST(FormatDialog, CloseEndsTheDialogOnlyWhenIdle) {
  FormatRig rig;
  rig.Open();
  rig.view.checked[kIdQuick] = false;
  rig.view.driveBoxText = "A:";
  rig.ctl.OnStart();
  ASSERT_TRUE(rig.view.timerSet);
  EXPECT_EQ(rig.view.closeText, "Cancel");
  rig.ctl.OnTimer();
  const size_t calls = rig.device.calls.size();
  rig.ctl.OnStart();  // Enter while running: no second start
  EXPECT_EQ(rig.device.calls.size(), calls);
  EXPECT_TRUE(rig.prompts.shown.empty());
  rig.ctl.OnCancel();
  EXPECT_FALSE(rig.view.endResult) << "Cancel stops the format and keeps the dialog";
  EXPECT_TRUE(rig.view.Idle());
  rig.ctl.OnCancel();
  ASSERT_TRUE(rig.view.endResult);
  EXPECT_EQ(*rig.view.endResult, 0);
}

}  // namespace
}  // namespace brind
