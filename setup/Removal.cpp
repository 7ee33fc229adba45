#include "setup/Removal.h"

#include "setup/SetupFileTable.h"
#include "setup/SetupRules.h"
#include "setup/SetupTexts.h"

namespace brind::setup {

void RemoveInstallDirectory(SetupHost& host, const std::string& directory) {
  if (directory.empty()) return;
  host.SetCurrentDirectory(directory);
  for (const SetupFile& file : SetupFileTable) {
    host.DeleteFile(directory + "\\" + file.installedName);
  }
  host.SetCurrentDirectory(directory + "\\..");
  host.RemoveDirectory(directory);
}

int RunUninstall(SetupHost& host, UserPrompts& prompts, SetupUi& ui, RemovalFlags& flags) {
  flags.removalProblem = false;
  flags.uninstallMode = true;
  RegistryRules registry(host, prompts);

  std::string installDir;
  if (!registry.QueryProductValue("InstallDir", &installDir)) {
    prompts.Show(text::kNotInstalled, text::kCaption, kMbOk | kMbIconWarning,
                 PromptOwner::kMainWindow);
    return 0;
  }
  const std::string windows = host.WindowsDirectory();
  flags.quietRemoval = RunsFromFloppy(host.CommandLine(), host.CurrentDirectory());

  std::string user;
  registry.QueryProductValue("UserLogon", &user);
  const std::string personalLink =
      windows + "\\Profiles\\" + user + "\\Startm~1\\programs\\Brindlewood Utility.lnk";

  registry.RemoveRegistration(windows, flags);
  RemoveInstallDirectory(host, installDir);
  host.DeleteFile(personalLink);
  host.DeleteFile(windows + "\\Startm~1\\programs\\Brindlewood Utility.lnk");

  if (RunsFromFloppy(host.CommandLine(), host.CurrentDirectory())) {
    // From the floppy the directory is gone already: withdraw the clean-up just scheduled.
    registry.DeleteHklmValue(kRunOnceKey, "Brindlewood CleanUp");
    host.DeleteFile(windows + "\\Temp\\CLEANUP.EXE");
  }

  if (ui.Reboot(flags.removalProblem ? text::kRemovalProblem : text::kRemoved)) {
    ui.RestartWindows();
  }
  return 1;
}

}  // namespace brind::setup
