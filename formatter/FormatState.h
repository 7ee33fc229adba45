// The one program-wide record of the format dialog and the format sequence, and the fixed ids of
// the dialog they work on.
#pragma once

#include <cstdint>

#include "disk/DiskStatus.h"
#include "hfs/FormatStages.h"

namespace brind {

// Controls of ENTERNEWBOX.
inline constexpr int kIdStart = 1;        // IDOK, "&Start"
inline constexpr int kIdClose = 2;        // IDCANCEL, "&Close" / "Cancel"
inline constexpr int kIdLabel = 145;      // label field, 27 characters
inline constexpr int kIdDriveBox = 1007;  // drop-down combo box of drives
inline constexpr int kIdProgress = 1009;  // disabled edit, the frame of the progress bar
inline constexpr int kIdQuick = 1013;     // "&Quick (erase)"
inline constexpr int kIdFull = 1014;      // "&Full"
inline constexpr int kIdStatus = 1027;    // status line
inline constexpr int kIdSummary = 1034;   // "&Display summary when finished."

// The six controls that a running format disables.
inline constexpr int kInputControls[6] = {kIdDriveBox, kIdStart, kIdQuick,
                                          kIdFull,     kIdLabel, kIdSummary};

inline constexpr unsigned kStepTimerId = 1;  // interval 0

inline constexpr unsigned kLabelMax = 27;  // characters of a volume label
// The tracks and then the file-system stages.
inline constexpr uint32_t kBarUnits = kFirstStageStep + kStageCount;

// Client-area rectangle of the progress control, in its own pixels.
struct BarRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct FormatState {
  // Letter and colon as taken from the drive box; the label reading appends a backslash.
  char drivePath[5] = {};
  uint8_t driveNumber = 0;
  // Label of the new volume in Macintosh characters: at most 27 and a terminator.
  char volumeLabel[kLabelMax + 1] = {};
  uint16_t quickFormat = 1;
  uint8_t showSummary = 0;
  uint8_t formatActive = 0;       // while set, button 2 means Cancel
  uint8_t fileSystemStarted = 0;  // the file-system stages began and have not all run
  uint8_t sectorBuffer[kSectorSize] = {};
  DriveGeometry geometry[26] = {};

  // The sequence.
  uint32_t step = 0;       // the step the next timer message runs
  uint32_t endStep = 0;    // the first stage's step in both kinds of format; 0 when none runs
  uint32_t firstStep = 0;  // where the bar starts: 0 full, 160 quick
  int16_t stepStatus = 0;  // 0 = last step succeeded; 1 when set up, ended or failed
  uint32_t timerArmed = 0;

  // The bar.
  float stepScale = 0;   // pixels per step
  float stageScale = 0;  // width / kBarUnits (quick format blocks)
  BarRect barRect;
  int32_t barDrawnTo = 0;
  int32_t barTarget = 0;
};

}  // namespace brind
