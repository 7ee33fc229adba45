// The menu commands of Brindlewood Utility's main window, over the few things the window does.
#pragma once

#include "common/UserPrompts.h"
#include "disk/DriverPort.h"
#include "formatter/CommandLine.h"
#include "formatter/ProductRegistry.h"

namespace brind {

// What the main window provides to its commands (the Win32 window in the program, a recorder in
// tests).
class UtilityShell {
 public:
  virtual ~UtilityShell() = default;
  // Runs ENTERNEWBOX modally; false when the dialog could not be created at all.
  virtual bool RunFormatDialog() = 0;
  virtual void RunOptionsSheet(const char* installDir) = 0;
  virtual void RunAboutBox() = 0;
  virtual void OpenHelpContents(const char* helpPath) = 0;
  virtual void RepaintMainWindow() = 0;
  // Ends the message loop with code 0.
  virtual void Quit() = 0;
};

class MainCommands {
 public:
  MainCommands(DriverPort& driver, UserPrompts& prompts, RegistryAccess& registry,
               UtilityShell& shell)
      : driver_(driver), prompts_(prompts), registry_(registry), shell_(shell) {}

  // Applies the command line at window creation: sets commandLineMode, stores a drive argument
  // in drivePath (5 bytes) and returns the command to post to the window, or 0.
  unsigned Start(const StartRequest& request, char* drivePath);

  // Runs a menu command; false when the id is not one of the window's commands.
  bool Run(unsigned id);

  bool commandLineMode() const { return commandLineMode_; }

 private:
  void Format();
  void Options();
  void Help();

  DriverPort& driver_;
  UserPrompts& prompts_;
  RegistryAccess& registry_;
  UtilityShell& shell_;
  bool commandLineMode_ = false;
};

}  // namespace brind
