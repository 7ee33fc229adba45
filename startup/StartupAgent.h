// The log-on agent's decisions, apart from its windows: the start-up checks, the character map
// handed to the driver, the splash picture's layout and palette, the owner and company lines and
// the five seconds of the splash.
#pragma once

#include <cstddef>
#include <cstdint>

#include "charmap/CharMap.h"
#include "charmap/CharMapStore.h"
#include "charmap/ProductRegistry.h"
#include "common/UserPrompts.h"
#include "disk/DriverPort.h"

namespace brind {

inline constexpr const char kAgentCaption[] = "Brindlewood For Windows 95";
inline constexpr const char kAgentWindowClass[] = "CmnDlgWClass";
inline constexpr unsigned kSplashTimerId = 1;
inline constexpr unsigned kSplashMilliseconds = 5000;
// The owner and company lines are drawn cut to this many characters.
inline constexpr size_t kSplashLineChars = 30;
// The agent's "<InstallDir>\CHARMAP.MAC" buffer: a longer installation directory is refused.
inline constexpr size_t kAgentCharMapPathBytes = 256;
inline constexpr int kOwnerX = 305, kOwnerY = 135, kCompanyX = 305, kCompanyY = 165;

// The agent's first checks: the driver's device opens (it is left open for the program's life)
// and the owner and company are registered. False, after telling the user, when the agent must
// end at once with exit code 0.
bool RunStartupChecks(DriverPort& driver, ProductRegistry& registry, UserPrompts& prompts);

// What the agent did with the character map.
enum class AgentMapResult {
  kNoInstallDir,
  kNoFile,
  kSent,
  kDriverNotSupported,
  kDriverMissing,
  kRefused
};
extern const DriverMessages kAgentDriverMessages;

// Reads CHARMAP.MAC from the installation directory into map and hands it to the driver through
// a handle of its own. A missing InstallDir or file stops silently: the agent never creates the
// file and has no default table. Driver messages are owned by the splash dialog.
AgentMapResult SendAgentCharMap(CharMap& map, ProductRegistry& registry, CharMapFiles& files,
                                DriverPort& driver, UserPrompts& prompts);

// The owner and company as the splash draws them.
struct SplashLines {
  char owner[kSplashLineChars + 1] = {};
  char company[kSplashLineChars + 1] = {};
  size_t ownerLength = 0;
  size_t companyLength = 0;
  bool complete = false;  // both values were read
};
// Reads both values (each read tells of an unreachable registry) and cuts them to 30 characters.
SplashLines ReadSplashLines(ProductRegistry& registry, UserPrompts& prompts);
// The message when the paint finds either value missing.
void TellNotProperlyInstalled(UserPrompts& prompts);

// The splash picture: a bitmap resource as it lies in memory (BITMAPINFOHEADER, colour table,
// pixel bits). Only the fields used are parsed; a block too short for what it claims is invalid.
struct DibLayout {
  bool valid = false;
  int32_t width = 0, height = 0;
  uint16_t bitsPerPixel = 0;
  uint32_t compression = 0;
  uint32_t colors = 0;  // entries of the colour table, and of the palette
  size_t colorTableOffset = 0;
  size_t bitsOffset = 0;
};
DibLayout ParseDib(const uint8_t* data, size_t size);
// Palette entry i as red, green, blue, flags 0 from the colour table's blue, green, red, reserved.
void PaletteEntry(const uint8_t* data, const DibLayout& dib, uint32_t i, uint8_t (&rgbf)[4]);

struct Point {
  int x, y;
};
// The dialog is centred on the full-screen work area, by integer halves.
Point SplashOrigin(int fullScreenWidth, int fullScreenHeight, int width, int height);

// The five seconds run from the first paint, not from the program's start.
class SplashClock {
 public:
  // A window without a picture (a missing or invalid resource) is never painted: true when the
  // timer must start now, so that the agent ends all the same.
  bool Initialised(bool hasPicture) {
    timerPending_ = hasPicture;
    return !hasPicture;
  }
  // True when this paint must start the timer.
  bool Painting() {
    if (shown_ && timerPending_) {
      timerPending_ = false;
      return true;
    }
    return false;
  }
  void TimerFired() {
    timerPending_ = false;
    shown_ = false;
  }
  bool shown() const { return shown_; }

 private:
  bool timerPending_ = false;
  bool shown_ = true;
};

}  // namespace brind
