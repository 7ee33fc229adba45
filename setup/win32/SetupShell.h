// The Win32 shell of setup: its full-screen window with the intro picture, and its dialogs.
#pragma once

#include <windows.h>

#include "common/win32/Win32Prompts.h"
#include "setup/SetupHost.h"
#include "setup/SetupUi.h"

namespace brind::setup {

// The main window (class "WinstallWClass"), created and shown; nullptr on failure.
HWND CreateSetupWindow(HINSTANCE instance);
HWND SetupWindow();

// Realises the intro palette in a window; returns how many entries changed.
UINT RealizeIntroPalette(HWND hwnd);
// Palette messages that PERSONAL and INSTALL answer like the main window.
bool HandlePaletteMessage(HWND hwnd, UINT msg, WPARAM wParam, LRESULT* result);
// Moves a dialog to the centre of the main window's client area.
void CentreOnSetupWindow(HWND dialog);
// A heading font; the caller deletes it.
HFONT CreateHeadingFont(const char* face, int height);
void RestartWindows();

class Win32SetupUi : public SetupUi {
 public:
  Win32SetupUi(HINSTANCE instance, SetupHost& host, Win32Prompts& prompts)
      : instance_(instance), host_(host), prompts_(prompts) {}
  bool Personal(std::string* name, std::string* company) override;
  bool Location(std::string* directory) override;
  void FailureNotice(const std::function<void()>& cleanUp) override;
  bool Copy(const CopyJob& job, RemovalFlags& flags, TouchedFiles& touched) override;
  bool Reboot(const char* text) override;
  void RestartWindows() override { brind::setup::RestartWindows(); }
  void Pause(unsigned milliseconds) override;

 private:
  HINSTANCE instance_;
  SetupHost& host_;
  Win32Prompts& prompts_;
};

}  // namespace brind::setup
