#include "setup/Removal.h"

#include "setup/SetupFileTable.h"
#include "setup/SetupRules.h"
#include "setup/SetupTexts.h"

namespace brind::setup {

void RemoveFiles(SetupHost& host, const std::string& directory, const TouchedFiles& names) {
  if (directory.empty() || names.empty()) return;
  host.SetCurrentDirectory(directory);
  for (const std::string& name : names) host.DeleteFile(directory + "\\" + name);
}

void RemoveEmptyDirectory(SetupHost& host, const std::string& directory) {
  if (directory.empty()) return;
  host.SetCurrentDirectory(directory + "\\..");
  host.RemoveDirectory(directory);
}

void RemoveInstallDirectory(SetupHost& host, const std::string& directory) {
  TouchedFiles all;
  for (const SetupFile& file : SetupFileTable) all.push_back(file.installedName);
  RemoveFiles(host, directory, all);
  RemoveEmptyDirectory(host, directory);
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
  // Decided once: removing the directory moves the current directory off the floppy.
  const bool fromFloppy = RunsFromFloppy(host.CommandLine(), host.CurrentDirectory());
  flags.quietRemoval = fromFloppy;

  std::string user;
  registry.QueryProductValue("UserLogon", &user);
  const std::string personalLink =
      windows + "\\Profiles\\" + user + "\\Startm~1\\programs\\Brindlewood Utility.lnk";

  registry.RemoveRegistration(windows, flags);
  RemoveInstallDirectory(host, installDir);
  host.DeleteFile(personalLink);
  host.DeleteFile(windows + "\\Startm~1\\programs\\Brindlewood Utility.lnk");

  if (fromFloppy) {
    // From the floppy the directory is gone already: withdraw the clean-up just scheduled.
    registry.DeleteHklmValue(kRunOnceKey, kCleanupValue);
    host.DeleteFile(RegistryRules::CleanupCopy(windows));
  }

  if (ui.Reboot(flags.removalProblem ? text::kRemovalProblem : text::kRemoved)) {
    ui.RestartWindows();
  }
  return 1;
}

}  // namespace brind::setup
