#include "setup/Installer.h"

#include "setup/Removal.h"
#include "setup/SetupFileTable.h"
#include "setup/SetupRules.h"
#include "setup/SetupTexts.h"

namespace brind::setup {

namespace {
constexpr std::size_t kFieldLimit = 30;
constexpr std::size_t kDirectoryLimit = 259;
constexpr char kEnlistOnDisk[] = "Enlist.ex_";
}  // namespace

void Installer::Warn(const char* text) {
  prompts_.Show(text, text::kCaption, kMbOk | kMbIconWarning, PromptOwner::kMainWindow);
}

bool Installer::Ask(const char* text) {
  return prompts_.Show(text, text::kCaption, kMbYesNo | kMbIconQuestion,
                       PromptOwner::kMainWindow) == kIdYes;
}

bool Installer::CheckLocation() {
  const std::string& dir = state_.installDirectory;
  const char drive = DriveOf(dir, host_.CurrentDirectory());
  if (IsFloppyDrive(drive)) {
    Warn(text::kFloppy);
    return false;
  }
  state_.driveRoot = drive ? std::string{drive, ':', '\\'} : std::string();
  // Every registry entry points through this path, so it comes from the system at any depth.
  std::string shortDir;
  if (host_.ShortPath(dir, &shortDir) && !shortDir.empty()) {
    if ((shortDir.size() < 2 || shortDir[1] != ':') && drive) {
      shortDir = std::string{drive, ':'} + shortDir;
    }
    state_.shortInstallDir = shortDir;
  } else {
    state_.shortInstallDir = dir;
  }
  return true;
}

void Installer::NoticeCleanUp() {
  const std::string& dir = state_.installDirectory;
  if (state_.flags.reinstallIntoRecordedDir) {
    // The recorded installation was partly overwritten: it goes whole, with its registration.
    // The registration goes first, while the directory still holds the clean-up program it
    // schedules; a clean-up is withdrawn again when nothing is left for it.
    if (!state_.touched.empty()) {
      registry_.RemoveRegistration(state_.windowsDirectory, state_.flags);
      RemoveInstallDirectory(host_, dir);
      if (host_.Kind(dir) == PathKind::kMissing) {
        registry_.DeleteHklmValue(kRunOnceKey, kCleanupValue);
        host_.DeleteFile(RegistryRules::CleanupCopy(state_.windowsDirectory));
      }
    }
    return;
  }
  // Anywhere else only what this run put there goes; a directory that was there before stays.
  RemoveFiles(host_, dir, state_.touched);
  if (state_.createdDirectory) RemoveEmptyDirectory(host_, dir);
}

// Asks for the directory until one is accepted (true) or the user leaves (false, exit code set).
bool Installer::ChooseDirectory(int* exitCode) {
  std::string recorded;
  const bool hasRecorded = registry_.QueryProductValue("InstallDir", &recorded);
  std::string proposed = hasRecorded ? recorded : std::string(text::kDefaultDirectory);
  for (;;) {
    std::string dir = proposed;
    state_.windowsDirectory = host_.WindowsDirectory();
    if (!ui_.Location(&dir)) {
      *exitCode = kLeftAtLocation;
      return false;
    }
    if (dir.size() > kDirectoryLimit) dir.resize(kDirectoryLimit);
    proposed = dir;
    if (dir.size() == 2 || dir.size() == 3) {
      Warn(text::kEnterDirectory);
      proposed[1] = ':';
      if (dir.size() == 3) proposed[2] = '\\';
      continue;
    }
    // Every check and every registry row works on the absolute path: "C:Brindlewood" or
    // "Brindlewood" would otherwise be taken relative to whatever is current later.
    dir = host_.FullPath(dir);
    if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    state_.installDirectory = dir;
    if (SameDirectory(host_, dir, state_.windowsDirectory)) {
      Warn(text::kWindowsDirectory);
      continue;
    }
    if (!CheckLocation()) continue;
    state_.flags.reinstallIntoRecordedDir = hasRecorded && SameDirectory(host_, recorded, dir);
    state_.createdDirectory = false;

    switch (host_.Kind(dir)) {
      case PathKind::kMissing:
        if (!host_.CreateDirectory(dir)) {
          Warn(text::kCannotCreate);
          ui_.FailureNotice([this] { NoticeCleanUp(); });
          *exitCode = kCannotCreateDirectory;
          return false;
        }
        state_.createdDirectory = true;
        CheckLocation();
        return true;
      case PathKind::kFile:
        Warn(text::kNotDirectory);
        continue;
      case PathKind::kDirectory:
        if (host_.Kind(JoinPath(dir, "ZOVAZEV.XXX")) == PathKind::kFile) {
          // A removal left its clean-up pending for this directory: withdraw it.
          if (host_.DeleteFile(RegistryRules::CleanupCopy(state_.windowsDirectory))) {
            registry_.DeleteHklmValue(kRunOnceKey, kCleanupValue);
          }
          return true;
        }
        if (!state_.flags.reinstallIntoRecordedDir && !Ask(text::kDirectoryExists)) continue;
        CheckLocation();
        return true;
    }
  }
}

void Installer::FinishFiles() {
  const std::string& dir = state_.installDirectory;
  for (const char* name : {"CHARMAP.MAC", "CLEANUP.EXE", "STARTUP.EXE"}) {
    host_.SetHiddenArchive(dir + "\\" + name);
  }
  host_.CopyFile(state_.sourceDir + "Setup.exe", dir + "\\Setup.exe");
  host_.CopyFile(dir + "\\Brindlew.exe", dir + "\\Brindlewood Utility.exe");
  host_.DeleteFile(dir + "\\Brindlew.exe");
  host_.CopyFile(dir + "\\Brindlew.hlp", dir + "\\Brindlewood.hlp");
  host_.DeleteFile(dir + "\\Brindlew.hlp");
}

void Installer::CancelPendingCleanup() {
  std::string entry;
  // The entry names the directory in whatever form the removal read it; this run may have been
  // typed in another case, with a trailing backslash or by its long name.
  if (registry_.QueryHklmValue(kRunOnceKey, kCleanupValue, 512, &entry) &&
      SameDirectory(host_, CleanupArgument(entry), state_.shortInstallDir)) {
    host_.DeleteFile(RegistryRules::CleanupCopy(state_.windowsDirectory));
    registry_.DeleteHklmValue(kRunOnceKey, kCleanupValue);
  }
}

void Installer::PlaceShortcut() {
  const std::string& windows = state_.windowsDirectory;
  const std::string common = windows + "\\STARTM~1\\PROGRAMS\\Brindlewood Utility.lnk";
  std::string user;
  const bool known = host_.UserName(&user) && user.size() < 512;
  const std::string link =
      known ? windows + "\\PROFILES\\" + user + "\\STARTM~1\\PROGRAMS\\Brindlewood Utility.lnk"
            : common;
  host_.DeleteFile(link);
  const std::string target = state_.installDirectory + "\\Brindlewood Utility.exe";
  if (host_.CreateStartMenuShortcut(target, link, "Brindlewood Utility") == 0) return;
  if (host_.CreateStartMenuShortcut(target, common, "Brindlewood Utility") == 0) return;
  // The programs are installed and work without the shortcut: say so and keep them.
  Warn(text::kNoShortcut);
}

void Installer::RunRegistrationProgram() {
  if (host_.StatFile(JoinPath(state_.sourceDir, kEnlistOnDisk)) != 0) return;
  const std::string& dir = state_.installDirectory;
  const std::string previous = host_.CurrentDirectory();
  host_.SetCurrentDirectory(dir);
  void* tarnlk = host_.LoadLibrary(dir + "\\TARNLK32.DLL");
  void* hazel = host_.LoadLibrary(dir + "\\HAZEL32.DLL");
  if (tarnlk && hazel) host_.RunAndWait(dir + "\\ENLIST.EXE");
  if (hazel) host_.FreeLibrary(hazel);
  if (tarnlk) host_.FreeLibrary(tarnlk);
  host_.SetCurrentDirectory(previous);
}

int Installer::RunInstall() {
  state_ = InstallState{};
  state_.sourceDir = SourceDirFromCommandLine(host_.CommandLine());

  auto prefill = [&](const char* value, std::string* out) {
    if (!registry_.QueryHklmValue(kWindowsKey, value, 512, out)) out->clear();
    if (out->size() > kFieldLimit) out->resize(kFieldLimit);
  };
  prefill("RegisteredOwner", &state_.name);
  prefill("RegisteredOrganization", &state_.company);

  ui_.Pause(5000);

  for (;;) {
    if (!ui_.Personal(&state_.name, &state_.company)) return kLeftAtPersonal;
    if (state_.name.size() > kFieldLimit) state_.name.resize(kFieldLimit);
    if (state_.company.size() > kFieldLimit) state_.company.resize(kFieldLimit);
    if (!state_.name.empty()) break;
    Warn(text::kTypeName);
  }

  int exitCode = kInstallDone;
  if (!ChooseDirectory(&exitCode)) return exitCode;

  CopyJob job;
  job.sourceDir = state_.sourceDir;
  job.installDirectory = state_.installDirectory;
  job.windowsDirectory = state_.windowsDirectory;
  job.totalBytes = TotalBytes(host_.StatFile(JoinPath(state_.sourceDir, kEnlistOnDisk)) == 0);
  if (!ui_.Copy(job, state_.flags, state_.touched)) {
    ui_.FailureNotice([this] { NoticeCleanUp(); });
    return kInstallDone;
  }

  FinishFiles();
  CancelPendingCleanup();
  Registration r;
  r.name = state_.name;
  r.company = state_.company;
  r.shortInstallDir = state_.shortInstallDir;
  r.installDirectory = state_.installDirectory;
  r.driveRoot = state_.driveRoot;
  registry_.WriteRegistration(r);
  PlaceShortcut();
  RunRegistrationProgram();

  if (ui_.Reboot(text::kInstalled)) ui_.RestartWindows();
  return kInstallDone;
}

int RunSetup(SetupHost& host, UserPrompts& prompts, SetupUi& ui) {
  RegistryRules registry(host, prompts);
  std::string version;
  if (!registry.QueryHklmValue(kWindowsKey, "Version", 256, &version) || version != "Windows 95") {
    prompts.Show(text::kNotWindows95, text::kCaption, kMbOk | kMbIconError,
                 PromptOwner::kMainWindow);
    return 0;
  }
  if (IsUninstallCommand(host.CommandLine())) {
    RemovalFlags flags;
    return RunUninstall(host, prompts, ui, flags);
  }
  Installer installer(host, prompts, ui);
  return installer.RunInstall();
}

}  // namespace brind::setup
