// The installation from the setup disk, and the program's entry sequence.
#pragma once

#include <string>

#include "common/UserPrompts.h"
#include "setup/Registration.h"
#include "setup/SetupHost.h"
#include "setup/SetupUi.h"

namespace brind::setup {

// Exit codes of an installation.
enum InstallExit : int {
  kInstallDone = 0,  // also: the copy failed or was abandoned
  kLeftAtPersonal = 1,
  kLeftAtLocation = 2,
  kCannotCreateDirectory = 5,
};

struct InstallState {
  std::string sourceDir;
  std::string name;
  std::string company;
  std::string installDirectory;
  std::string windowsDirectory;
  std::string driveRoot;
  std::string shortInstallDir;
  bool createdDirectory = false;  // this run made the installation directory
  TouchedFiles touched;
  RemovalFlags flags;
};

class Installer {
 public:
  Installer(SetupHost& host, UserPrompts& prompts, SetupUi& ui)
      : host_(host), prompts_(prompts), ui_(ui), registry_(host, prompts) {}

  int RunInstall();
  const InstallState& state() const { return state_; }
  InstallState& state() { return state_; }

  // The typed directory's drive (false after the floppy warning), its root and its short form.
  bool CheckLocation();
  // INSTALLFAIL's clean-up as it opens after a failure: the only one a failed run makes.
  void NoticeCleanUp();

 private:
  void Warn(const char* text);
  bool Ask(const char* text);
  bool ChooseDirectory(int* exitCode);
  void FinishFiles();
  void CancelPendingCleanup();
  void PlaceShortcut();
  void RunRegistrationProgram();

  SetupHost& host_;
  UserPrompts& prompts_;
  SetupUi& ui_;
  RegistryRules registry_;
  InstallState state_;
};

// The whole program after its window is up: the Windows 95 check, then removal or installation.
int RunSetup(SetupHost& host, UserPrompts& prompts, SetupUi& ui);

}  // namespace brind::setup
