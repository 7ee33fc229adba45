#include "formatter/FormatController.h"

#include <cstring>

#include "hfs/FormatStages.h"

namespace brind {

namespace {

constexpr char kCaptionFormat[] = "Brindlewood Format";
constexpr char kCaptionDriveError[] = "Drive Error";
constexpr char kCaptionInvalidDrive[] = "Invalid Drive";
constexpr char kCaptionUtility[] = "Brindlewood Utility";

constexpr char kMsgInvalidDrive[] = "Enter a valid drive letter for format";
constexpr char kMsgNotSupported[] =
    "Brindlewood cancelled the format because this drive is not supported or the drive is "
    "invalid.";
constexpr char kMsgLocked[] =
    "Brindlewood cannot format the disk because the disk is locked by another process or is "
    "damaged. Quit any disk utilities or other programs that are using this drive, and make sure "
    "that no window is displaying the contents of the drive. Then try formatting again";
constexpr char kMsgNoDiskRetry[] =
    "There is no disk in this drive or the drive door is open. Insert a disk in the drive and "
    "make sure the drive door is closed, and then click retry.";
// The two write-protect questions differ by one word; both are the program's own.
constexpr char kMsgProbeProtectedRetry[] =
    "Brindlewood cannot format this disk because it is write protected. If you are sure you want "
    "to continue, please remove the write-protect tab, reinsert the disk, and click retry.";
constexpr char kMsgTrackProtectedRetry[] =
    "Brindlewood cannot format this disk because it is write protected. If you are sure you want "
    "to continue, please remove the write-protect tab, reinsert the disk, and then click retry.";
constexpr char kMsgQuickNotMac[] =
    "You cannot do a Quick format because the disk is not Macintosh formatted or the capacity "
    "does not match.\n\nClick OK to perform a Full format.";
constexpr char kMsgDosDisk[] =
    "Disk is already in DOS format. Do you wish to continue with the format?";
constexpr char kMsgMacDisk[] =
    "Disk is already in Macintosh format. Do you wish to continue with the format?";
constexpr char kMsgSetParams[] = "Brindlewood failed to Set the device parameters.";
constexpr char kMsgDiskErrors[] =
    "Brindlewood could not format the disk because the disk has errors. Insert another disk and "
    "then start again.";
constexpr char kMsgTrackInvalidDrive[] =
    "Brindlewood cannot format this drive, because the drive is invalid.";
constexpr char kMsgTrackProtected[] =
    "Brindlewood cannot format this disk because it is write protected. If you are sure you want "
    "to continue, please remove the write-protect tab, reinsert the disk, and then start again.";
constexpr char kMsgTrackNoDisk[] =
    "There is no disk in this drive or the drive door is open. Insert a disk in the drive and "
    "make sure the drive door is closed, and then start again.";
constexpr char kMsgGeneralFailure[] = "General failure on disk. The disk cannot be formatted.";
constexpr char kMsgTrackOther[] =
    "Brindlewood could not format the disk because the disk has error. Insert another disk and "
    "than start again.";
constexpr char kMsgUnknown[] = "Unable to Format. Unknown error";

constexpr char kStatusInitializing[] = "Initializing...";
constexpr char kStatusFormatting[] = "Formatting...";
constexpr char kStatusCreating[] = "Creating File System...";

constexpr uint32_t kFirstStage = kFirstStageStep;
constexpr uint32_t kStages = kStageCount;

// The bar grows in blocks of at least this many pixels.
constexpr int32_t kMinBlock = 16;

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

uint8_t DriveNumberOf(const char* drivePath) {
  return static_cast<uint8_t>(UpperAscii(drivePath[0]) - 'A');
}

bool HasDosSignature(const uint8_t* sector) { return sector[510] == 0x55 && sector[511] == 0xAA; }
bool HasHfsSignature(const uint8_t* sector) { return sector[0] == 0x42 && sector[1] == 0x44; }

// Makes a sector read as neither a DOS nor a Macintosh disk.
void ClearSignatures(uint8_t* sector) {
  sector[0] = sector[1] = 0;
  sector[510] = sector[511] = 0;
}

int32_t Truncate(double v) { return static_cast<int32_t>(v); }

}  // namespace

int FormatController::Ask(const char* text, const char* caption, unsigned flags) {
  return prompts_.Show(text, caption, flags, PromptOwner::kActiveDialog);
}

DriveGeometry& FormatController::GeometryOf(uint8_t drive) {
  // A drive text of a digit and a colon gives a number past Z; it must not index the table.
  return drive < 26 ? s_.geometry[drive] : spareGeometry_;
}

bool FormatController::DrivePathValid() {
  return std::strlen(s_.drivePath) == 2 && s_.drivePath[1] == ':';
}

void FormatController::ShowInvalidDrive() {
  Ask(kMsgInvalidDrive, kCaptionInvalidDrive, kMbOk | kMbIconWarning);
}

// ---- the dialog ------------------------------------------------------------------------------

bool FormatController::OnInitDialog(bool commandLineMode) {
  // The Format command opened the driver already; the result is not looked at again.
  if (driver_) driver_->Open();
  s_.formatActive = 0;
  s_.fileSystemStarted = 0;

  view_.LimitLabelText(kLabelMax);
  BuildDriveList();
  view_.SetChecked(kIdFull, false);
  view_.SetChecked(kIdSummary, true);
  view_.SetChecked(kIdQuick, true);

  if (!commandLineMode) {
    s_.drivePath[0] = '\0';
    if (view_.DriveListCount() > 0) view_.GetDriveListEntry(0, s_.drivePath, sizeof s_.drivePath);
  }
  view_.SetDriveBoxText(s_.drivePath);

  if (!DrivePathValid()) {
    ShowInvalidDrive();
    return false;
  }
  if (!ReadCurrentLabel()) return false;
  view_.FocusControl(kIdStart);
  return true;
}

void FormatController::BuildDriveList() {
  view_.FillDriveListWithSystemDrives();
  int index = 0;
  while (index < view_.DriveListCount()) {
    char entry[32] = {};
    view_.GetDriveListEntry(index, entry, sizeof entry);
    const char letter = UpperAscii(entry[2]);  // "[-a-]"
    view_.DeleteDriveListEntry(index);
    // Anything that is not a drive letter cannot name a drive number.
    if (letter >= 'A' && letter <= 'Z' &&
        disk_.CheckDrive(static_cast<uint8_t>(letter - 'A'), 1) == 0) {
      const char text[3] = {letter, ':', '\0'};
      view_.InsertDriveListEntry(index, text);
      ++index;
    }
  }
}

bool FormatController::ReadCurrentLabel() {
  const size_t len = std::strlen(s_.drivePath);
  if (len > 0 && s_.drivePath[len - 1] != '\\' && len + 1 < sizeof s_.drivePath) {
    s_.drivePath[len] = '\\';
    s_.drivePath[len + 1] = '\0';
  }
  const uint8_t drive = DriveNumberOf(s_.drivePath);
  s_.driveNumber = drive;
  if (disk_.CheckDrive(drive, 1) == 0) FillDriveGeometry(GeometryOf(drive), drive);

  if (!disk_.LockVolumeForFormat(drive, s_.drivePath)) {
    disk_.UnlockVolume(drive, s_.drivePath);
    return false;
  }
  DiskStatus status = disk_.ReadSector(s_.sectorBuffer, 0, drive);
  disk_.UnlockVolume(drive, s_.drivePath);
  if (status != kDiskOk) {
    view_.SetLabelText("");
    return false;
  }

  if (HasDosSignature(s_.sectorBuffer)) {
    char label[DiskServices::kLabelBufferSize] = {};
    if (disk_.GetVolumeLabel(s_.drivePath, label) == 1) {
      char shown[12] = {};
      for (size_t i = 0; i < 11 && label[i] != '\0'; ++i) shown[i] = label[i];
      view_.SetLabelText(shown);
    } else {
      view_.SetLabelText("");
    }
    return true;
  }

  if (!disk_.LockVolumeForFormat(drive, s_.drivePath)) {
    disk_.UnlockVolume(drive, s_.drivePath);
    return false;
  }
  status = disk_.ReadSector(s_.sectorBuffer, 2, drive);
  disk_.UnlockVolume(drive, s_.drivePath);
  if (status != kDiskOk) {
    view_.SetLabelText("");
    return false;
  }

  if (HasHfsSignature(s_.sectorBuffer)) {
    // The length byte is not bounded by the disk (an HFS name has at most 27 characters), and
    // every escaped character doubles: room for 255 doubled characters and a terminator.
    char name[2 * 255 + 1] = {};
    const size_t nameLength = s_.sectorBuffer[36];
    std::memcpy(name, s_.sectorBuffer + 37, nameLength);
    names_.MacToWindows(name, std::strlen(name), sizeof name);
    view_.SetLabelText(name);
  }
  return true;
}

void FormatController::OnDriveSelectionChange() {
  view_.GetSelectedDriveText(s_.drivePath, sizeof s_.drivePath);
  if (!DrivePathValid()) {
    ShowInvalidDrive();
    return;
  }
  ReadCurrentLabel();
}

void FormatController::OnStart() {
  // Enter reaches the dialog even while its Start button is disabled; a running format keeps
  // its lock and its state.
  if (s_.formatActive) return;
  view_.GetDriveBoxText(s_.drivePath, sizeof s_.drivePath);
  if (!DrivePathValid()) {
    ShowInvalidDrive();
    return;
  }
  s_.formatActive = 1;
  s_.fileSystemStarted = 0;

  std::memset(s_.volumeLabel, 0, sizeof s_.volumeLabel);
  view_.GetLabelText(s_.volumeLabel, sizeof s_.volumeLabel);
  s_.volumeLabel[kLabelMax] = '\0';
  names_.WindowsToMac(s_.volumeLabel, std::strlen(s_.volumeLabel));

  s_.quickFormat = view_.IsChecked(kIdQuick) ? 1 : 0;
  s_.showSummary = view_.IsChecked(kIdSummary) ? 1 : 0;

  for (int id : kInputControls) view_.EnableControl(id, false);
  view_.SetCloseButtonText("Cancel");

  OnStartFormat();
}

int FormatController::ProbeWithQuestions(uint32_t sector) {
  for (;;) {
    const DiskStatus status = ProbeSector(sector);
    int answer;
    switch (status) {
      case kDiskOk:
        return 0;
      case kDiskNotReady:
      case kDiskSectorNotFound:
        answer = Ask(kMsgNoDiskRetry, kCaptionDriveError, kMbRetryCancel | kMbIconInformation);
        break;
      case kDiskWriteProtected:
        answer =
            Ask(kMsgProbeProtectedRetry, kCaptionDriveError, kMbRetryCancel | kMbIconInformation);
        break;
      default:
        // Unreadable in some other way: nothing on it is worth asking about.
        ClearSignatures(s_.sectorBuffer);
        return 0;
    }
    if (answer != kIdRetry) return -1;
  }
}

void FormatController::OnStartFormat() {
  SetUpBar();

  const uint8_t drive = DriveNumberOf(s_.drivePath);
  s_.driveNumber = drive;
  if (disk_.CheckDrive(drive, 1) != 0) {
    Ask(kMsgNotSupported, kCaptionFormat, kMbOk | kMbIconError);
    view_.PostStop();
    return;
  }
  if (!disk_.LockVolumeForFormat(drive, s_.drivePath)) {
    Ask(kMsgLocked, kCaptionFormat, kMbOk | kMbIconInformation);
    view_.PostStop();
    return;
  }
  FillDriveGeometry(GeometryOf(drive), drive);
  SetUpSteps();
  s_.stepStatus = 1;

  if (ProbeWithQuestions(0) != 0) {
    view_.PostStop();
    return;
  }

  bool switchToFull = false;
  if (HasDosSignature(s_.sectorBuffer)) {
    if (s_.quickFormat) {
      if (Ask(kMsgQuickNotMac, kCaptionFormat, kMbOkCancel | kMbIconInformation) != kIdOk) {
        view_.PostStop();
        return;
      }
      switchToFull = true;
    } else if (Ask(kMsgDosDisk, kCaptionFormat, kMbYesNo | kMbIconQuestion) != kIdYes) {
      view_.PostStop();
      return;
    }
  } else {
    if (ProbeWithQuestions(2) != 0) {
      view_.PostStop();
      return;
    }
    if (HasHfsSignature(s_.sectorBuffer)) {
      if (Ask(kMsgMacDisk, kCaptionFormat, kMbYesNo | kMbIconQuestion) != kIdYes) {
        view_.PostStop();
        return;
      }
    } else if (s_.quickFormat) {
      if (Ask(kMsgQuickNotMac, kCaptionFormat, kMbOkCancel | kMbIconInformation) != kIdOk) {
        view_.PostStop();
        return;
      }
      switchToFull = true;
    }
  }

  if (switchToFull) {
    s_.quickFormat = 0;
    SetUpSteps();
    view_.SetChecked(kIdFull, true);
    view_.SetChecked(kIdQuick, false);
  }

  view_.SetStatusText(kStatusInitializing);
  view_.SetStepTimer();
  s_.timerArmed = 1;
}

void FormatController::OnCancel() {
  if (!s_.formatActive) {
    view_.EndDialog(0);
    return;
  }
  Stop();
}

DiskStatus FormatController::ProbeSector(uint32_t sector) {
  const DiskStatus status = disk_.ReadSector(s_.sectorBuffer, sector, s_.driveNumber);
  if (status != kDiskOk) return status;
  return disk_.WriteSector(s_.sectorBuffer, sector, s_.driveNumber);
}

// ---- the sequence ----------------------------------------------------------------------------

void FormatController::SetUpBar() {
  const BarRect client = view_.ProgressClientRect();
  s_.barRect = {client.left + 1, client.top + 2, client.right - 1, client.bottom - 2};
  s_.barDrawnTo = s_.barTarget = s_.barRect.left;
  s_.step = s_.endStep = 0;
}

void FormatController::SetUpSteps() {
  const double width = s_.barRect.right - s_.barRect.left;
  if (s_.quickFormat) {
    s_.step = s_.endStep = s_.firstStep = kFirstStage;
    s_.barDrawnTo = s_.barTarget = s_.barRect.left;
    s_.stepScale = static_cast<float>(width * 0.14285714285714285);
    s_.stageScale = static_cast<float>(width * 0.005988023952095809);
  } else {
    const DriveGeometry& g = GeometryOf(s_.driveNumber);
    s_.step = 0;
    s_.endStep = uint32_t{g.heads} * g.cylinders;
    s_.firstStep = 0;
    s_.stepScale = static_cast<float>(width / (s_.endStep + kStages));
  }
}

void FormatController::ArmTimer() {
  if (!s_.timerArmed) {
    view_.SetStepTimer();
    s_.timerArmed = 1;
  }
}

void FormatController::OnTimer() {
  // A message left in the queue after a stop or a failure belongs to no format: the sequence is
  // over (or never set up) once its end step is 0.
  if (!s_.formatActive || s_.endStep == 0) return;
  // A message that finds no timer set must not set one again.
  s_.timerArmed = view_.KillStepTimer() ? 0 : 1;
  if (s_.step < s_.endStep) {
    TrackStep();
  } else if (s_.step >= kFirstStage && s_.step < kFirstStage + kStages) {
    StageStep();
  } else {
    Complete();
  }
}

void FormatController::TrackStep() {
  const uint8_t drive = s_.driveNumber;
  if (s_.step == 0) {
    view_.SetStatusText(kStatusFormatting);
    if (disk_.CheckDrive(drive, 0) != 0) {
      ShowInfoMessage(prompts_, kMsgSetParams, kCaptionUtility);
      view_.PostStop();
      return;
    }
  }
  const DiskStatus status = disk_.FormatTrackNumber(drive, static_cast<uint16_t>(s_.step));
  s_.stepStatus = static_cast<int16_t>(status);
  if (status != kDiskOk) {
    TrackError(status);
    return;
  }
  AdvanceBar(s_.step);
  ++s_.step;
  ArmTimer();
}

void FormatController::TrackError(DiskStatus status) {
  const char* text = nullptr;
  unsigned icon = kMbIconWarning;
  switch (status) {
    case kDiskAccessDenied: {
      // The track format only says "denied": a read and a write of sector 2 tell why.
      const DiskStatus probe = ProbeSector(2);
      const char* question = nullptr;
      if (probe == kDiskNotReady || probe == kDiskSectorNotFound)
        question = kMsgNoDiskRetry;
      else if (probe == kDiskWriteProtected)
        question = kMsgTrackProtectedRetry;
      if (question) {
        const int answer = Ask(question, kCaptionDriveError, kMbRetryCancel | kMbIconInformation);
        if (answer == kIdRetry) {
          ArmTimer();  // the same track again at the next message
          return;
        }
        EndAfterTrackError();
        return;
      }
      text = kMsgDiskErrors;
      break;
    }
    case kDiskInvalidDrive:
      text = kMsgTrackInvalidDrive;
      break;
    case kDiskTrackWriteProtected:
      text = kMsgTrackProtected;
      break;
    case kDiskNoDisk:
      text = kMsgTrackNoDisk;
      break;
    case kDiskGeneralFailure:
      text = kMsgGeneralFailure;
      break;
    case kDiskSharingViolation:
      text = kMsgLocked;
      icon = kMbIconInformation;
      break;
    default:
      text = kMsgTrackOther;
      break;
  }
  Ask(text, kCaptionDriveError, kMbOk | icon);
  EndAfterTrackError();
}

void FormatController::EndAfterTrackError() {
  s_.step = s_.endStep = 0;
  s_.stepStatus = 1;
  view_.KillStepTimer();
  s_.timerArmed = 0;
  view_.PostStop();
}

void FormatController::StageStep() {
  const uint32_t index = s_.step - kFirstStage;
  if (index == 0) view_.SetStatusText(kStatusCreating);
  const uint16_t status = stages_.RunStage(index, disk_, s_.driveNumber, s_.volumeLabel);
  // From here until the last stage has run, a stopped format must not leave a half-made volume
  // that reads as a Macintosh disk.
  s_.fileSystemStarted = (status != 0 || index + 1 < kStages) ? 1 : 0;
  s_.stepStatus = static_cast<int16_t>(status);
  if (status != 0) {
    s_.stepStatus = 1;
    view_.KillStepTimer();
    s_.timerArmed = 0;
    Ask(stages_.FailureMessage(index), kCaptionFormat, kMbOk | kMbIconError);
    s_.step = s_.endStep = 0;
    view_.PostStop();
    return;
  }
  AdvanceBar(s_.step);
  ++s_.step;
  ArmTimer();
}

void FormatController::AdvanceBar(uint32_t finished) {
  const BarRect& r = s_.barRect;
  const uint32_t done = finished - s_.firstStep;
  s_.barTarget = r.left + Truncate(static_cast<double>(done) * s_.stepScale);
  if (s_.barTarget - s_.barDrawnTo < kMinBlock) return;

  const BarRect strip{s_.barDrawnTo, r.top, s_.barTarget, r.bottom};
  view_.InvalidateProgress(&strip, true);
  view_.UpdateProgress();
  view_.BeginBarDrawing(FormatView::BarDrawing::kDraw);
  if (!s_.quickFormat) {
    view_.DrawBarRectangle(s_.barDrawnTo, r.top, s_.barTarget - 1, r.bottom);
  } else {
    int32_t prev = r.left;
    const uint32_t blocks = (done * kBarUnits) / kStages;
    for (uint32_t i = 0; i < blocks; ++i) {
      int32_t x = r.left + Truncate(static_cast<double>(i) * s_.stageScale);
      if (x > r.right) x = r.right;
      if (x - prev >= kMinBlock) {
        view_.DrawBarRectangle(prev, r.top, x - 1, r.bottom);
        prev = x;
      }
    }
  }
  view_.EndBarDrawing();
  s_.barDrawnTo = s_.barTarget;
}

void FormatController::DrawFinalBar() {
  const BarRect& r = s_.barRect;
  view_.BeginBarDrawing(FormatView::BarDrawing::kDraw);
  if (!s_.quickFormat) {
    if (s_.barTarget > s_.barDrawnTo)
      view_.DrawBarRectangle(s_.barDrawnTo, r.top, s_.barTarget - 1, r.bottom);
  } else {
    int32_t prev = r.left;
    for (uint32_t i = 0; i < s_.endStep + kStages; ++i) {
      int32_t x = r.left + Truncate(static_cast<double>(i) * s_.stageScale);
      if (r.right - x < kMinBlock) x = r.right;
      if (x - prev >= kMinBlock) {
        view_.DrawBarRectangle(prev, r.top, x - 1, r.bottom);
        prev = x;
      }
    }
  }
  view_.EndBarDrawing();
}

void FormatController::ResetSequence() {
  s_.stepStatus = 1;
  s_.step = s_.endStep = 0;
  s_.barDrawnTo = s_.barTarget = 0;
  view_.InvalidateProgress(nullptr, true);
}

void FormatController::SetIdleLook() {
  view_.SetStatusText("");
  for (int id : kInputControls) view_.EnableControl(id, true);
  view_.SetCloseButtonText("Close");
  s_.formatActive = 0;
}

void FormatController::Complete() {
  if (s_.stepStatus != 0) {
    // Reached without a finished last step; the dialog keeps its active look until Cancel.
    Ask(kMsgUnknown, kCaptionFormat, kMbOk | kMbIconError);
  } else {
    DrawFinalBar();
    ResetSequence();
    SetIdleLook();
    // The volume stays locked while the summary is up.
    if (s_.showSummary) view_.RunResultsDialog();
  }
  ResetSequence();
  view_.KillStepTimer();
  s_.timerArmed = 0;
  disk_.UnlockVolume(s_.driveNumber, s_.drivePath);
}

void FormatController::Stop() {
  if (s_.timerArmed && view_.KillStepTimer()) s_.timerArmed = 0;
  if (s_.fileSystemStarted) {
    // Sector 2 without a signature: the disk no longer reads as a Macintosh disk. A quick format
    // writes back the old master directory block; after a full format every sector was blank.
    // Nothing else can be done if this write fails.
    if (!s_.quickFormat) std::memset(s_.sectorBuffer, 0, sizeof s_.sectorBuffer);
    ClearSignatures(s_.sectorBuffer);
    disk_.WriteSector(s_.sectorBuffer, 2, s_.driveNumber);
    s_.fileSystemStarted = 0;
  }
  disk_.UnlockVolume(s_.driveNumber, s_.drivePath);
  SetIdleLook();
  s_.step = s_.endStep = 0;
  s_.barDrawnTo = s_.barTarget = 0;
  view_.InvalidateProgress(nullptr, true);
}

void FormatController::OnPaint() {
  const BarRect& r = s_.barRect;
  view_.BeginBarDrawing(FormatView::BarDrawing::kPaint);
  if (!s_.quickFormat) {
    int32_t prev = r.left;
    for (uint32_t i = s_.firstStep; i < s_.step; ++i) {
      const int32_t x = r.left + Truncate(static_cast<double>(i - s_.firstStep) * s_.stepScale);
      if (x - prev >= kMinBlock) {
        view_.DrawBarRectangle(prev, r.top, x - 1, r.bottom);
        prev = x;
      }
    }
  }
  view_.EndBarDrawing();
}

}  // namespace brind
