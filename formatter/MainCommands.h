// The menu commands of Brindlewood Utility's main window, over the few things the window does.
#pragma once

#include "charmap/ProductRegistry.h"
#include "common/UserPrompts.h"
#include "disk/DriverPort.h"
#include "formatter/CommandLine.h"

namespace brind {

// What the main window provides to its commands (the Win32 window in the program, a recorder in
// tests).
class UtilityShell {
 public:
  virtual ~UtilityShell() = default;
  // Runs ENTERNEWBOX modally; false when the dialog could not be created at all.
  virtual bool RunFormatDialog() = 0;
  // The sheet finds CHARMAP.MAC through the same registry reading as the commands.
  virtual void RunOptionsSheet() = 0;
  virtual void RunAboutBox() = 0;
  virtual void OpenHelpContents(const char* helpPath) = 0;
  virtual void RepaintMainWindow() = 0;
  // Ends the message loop with code 0.
  virtual void Quit() = 0;
};

class MainCommands {
 public:
  MainCommands(DriverPort& driver, UserPrompts& prompts, ProductRegistry& registry,
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
  bool ReadInstallDir(char (&installDir)[kRegistryValueBytes]);

  DriverPort& driver_;
  UserPrompts& prompts_;
  ProductRegistry& registry_;
  UtilityShell& shell_;
  bool commandLineMode_ = false;
};

}  // namespace brind
