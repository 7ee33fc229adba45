// The installation and removal sequences against the fake machine, with scripted dialogs.
#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include "FakeSetupHost.h"
#include "setup/Installer.h"
#include "setup/Removal.h"
#include "setup/SetupFileTable.h"
#include "setup/SetupTexts.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind::setup {
namespace {

using test::FakeSetupHost;
constexpr char kProduct[] = "HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion";
constexpr char kRunOnce[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

struct NullView : CopyView {
  bool KillTimer() override { return true; }
  void SetTimer() override {}
  void ShowFile(const std::string&) override {}
  void Erase(int, int) override {}
  bool DrawBlock(const Block&) override { return true; }
  bool ConfirmResume() override { return false; }
};

struct ScriptedUi : SetupUi {
  FakeSetupHost& host;
  UserPrompts& prompts;
  std::deque<std::optional<std::pair<std::string, std::string>>> personal;
  std::deque<std::optional<std::string>> locations;
  std::vector<std::string> proposed;  // what INSTALL showed each time
  std::vector<std::string> rebootTexts;
  bool restart = false;
  int restarts = 0, notices = 0, pauses = 0;
  bool cancelCopyAfterOneTick = false;

  ScriptedUi(FakeSetupHost& h, UserPrompts& p) : host(h), prompts(p) {}
  bool Personal(std::string* name, std::string* company) override {
    if (personal.empty()) return ADD_FAILURE() << "PERSONAL shown unscripted", false;
    auto a = personal.front();
    personal.pop_front();
    if (!a) return false;
    *name = a->first;
    *company = a->second;
    return true;
  }
  bool Location(std::string* dir) override {
    proposed.push_back(*dir);
    if (locations.empty()) return ADD_FAILURE() << "INSTALL shown unscripted", false;
    auto a = locations.front();
    locations.pop_front();
    if (!a) return false;
    *dir = *a;
    return true;
  }
  void FailureNotice(const std::function<void()>& cleanUp) override {
    ++notices;
    cleanUp();
  }
  bool Copy(const CopyJob& job, RemovalFlags& flags, TouchedFiles& touched) override {
    NullView view;
    CopyProgress copy(host, prompts, view, job, flags, touched, 0, 300);
    copy.Open();
    CopyProgress::Result r = CopyProgress::Result::kRunning;
    if (cancelCopyAfterOneTick) {
      copy.Tick();
      return copy.Cancel() != CopyProgress::Result::kFailed;
    }
    for (int i = 0; i < 50 && r == CopyProgress::Result::kRunning; ++i) r = copy.Tick();
    return r == CopyProgress::Result::kDone;
  }
  bool Reboot(const char* text) override {
    rebootTexts.push_back(text);
    return restart;
  }
  void RestartWindows() override { ++restarts; }
  void Pause(unsigned) override { ++pauses; }
};

struct Machine : ::testing::Test {
  FakeSetupHost host;
  brind::test::ScriptedPrompts prompts;
  ScriptedUi ui{host, prompts};

  void SetUp() override {
    host.SetValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version", "Windows 95");
    host.SetValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "RegisteredOwner",
                  "Ada Byron of the Analytical Engine Works");
    host.AddDirs("C:\\WINDOWS\\STARTM~1\\PROGRAMS");
    for (int row = 0; row <= kLastCopiedRow; ++row) {
      host.AddFile(std::string("A:\\") + SetupFileTable[row].diskName,
                   SetupFileTable[row].installedName);
    }
    host.AddFile("A:\\Setup.exe", "setup program");
    host.shortNames["c:\\brindlewood"] = "C:\\BRINDL~1";
  }
  int Run() { return RunSetup(host, prompts, ui); }
  void Script(std::initializer_list<std::optional<std::string>> dirs) {
    ui.personal.push_back(std::pair<std::string, std::string>{"Ada", "AE"});
    ui.locations = dirs;
  }
};

TEST_F(Machine, CompleteInstallation) {
  Script({"C:\\Brindlewood"});
  host.failing.insert("LoadLibrary C:\\Brindlewood\\HAZEL32.DLL");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ui.pauses, 1);
  EXPECT_EQ(ui.proposed, std::vector<std::string>{"C:\\Brindlewood"});
  EXPECT_TRUE(prompts.shown.empty()) << prompts.shown[0].text;
  EXPECT_EQ(*host.Value(kProduct, "InstallDirShort"), "C:\\BRINDL~1");
  EXPECT_EQ(*host.Value(kProduct, "SourceDrive"), "C:\\");
  for (const char* name :
       {"BrindFs.vxd", "Startup.exe", "Charmap.mac", "Cleanup.exe", "Brindlewood Utility.exe",
        "Brindlewood.hlp", "Enlist.exe", "Setup.exe", "Corvid32.dll"}) {
    EXPECT_TRUE(host.HasFile(std::string("C:\\Brindlewood\\") + name)) << name;
  }
  EXPECT_FALSE(host.HasFile("C:\\Brindlewood\\Brindlew.exe"));
  EXPECT_EQ(host.files[test::Lower("C:\\Brindlewood\\Setup.exe")].data, "setup program");
  EXPECT_TRUE(host.files[test::Lower("C:\\Brindlewood\\Charmap.mac")].hiddenArchive);
  EXPECT_FALSE(host.files[test::Lower("C:\\Brindlewood\\BrindFs.vxd")].hiddenArchive);
  // The personal Start menu does not exist here: the shortcut lands in the common one.
  EXPECT_EQ(
      host.files[test::Lower("C:\\WINDOWS\\STARTM~1\\PROGRAMS\\Brindlewood Utility.lnk")].data,
      "C:\\Brindlewood\\Brindlewood Utility.exe|Brindlewood Utility");
  EXPECT_TRUE(host.LogOf("RunAndWait").empty()) << "ENLIST runs only when both libraries load";
  EXPECT_EQ(ui.rebootTexts, std::vector<std::string>{text::kInstalled});
  EXPECT_EQ(ui.restarts, 0);
}

TEST_F(Machine, NameAndCompanyPrefilledCutToThirty) {
  ui.personal = {std::nullopt};
  std::string seen;
  struct Peek : ScriptedUi {
    using ScriptedUi::ScriptedUi;
    std::string seenName;
    bool Personal(std::string* n, std::string* c) override {
      seenName = *n;
      return ScriptedUi::Personal(n, c);
    }
  } peek(host, prompts);
  peek.personal = {std::nullopt};
  EXPECT_EQ(RunSetup(host, prompts, peek), kLeftAtPersonal);
  EXPECT_EQ(peek.seenName, "Ada Byron of the Analytical En");
}

TEST_F(Machine, RegistrationProgramRunsInTheInstallationDirectory) {
  Script({"C:\\Brindlewood"});
  host.currentDirectory = "A:\\";
  ui.restart = true;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(host.LogOf("RunAndWait"),
            std::vector<std::string>{"RunAndWait C:\\Brindlewood\\ENLIST.EXE in C:\\Brindlewood"});
  EXPECT_EQ(host.currentDirectory, "A:\\");
  EXPECT_EQ(ui.restarts, 1);
}

TEST_F(Machine, LeavingTheDialogs) {
  ui.personal = {std::nullopt};
  EXPECT_EQ(Run(), kLeftAtPersonal);
  Script({std::nullopt});
  EXPECT_EQ(Run(), kLeftAtLocation);
  EXPECT_TRUE(ui.rebootTexts.empty());
}

TEST_F(Machine, EmptyNameAsksAgain) {
  ui.personal = {std::pair<std::string, std::string>{"", "AE"}, std::nullopt};
  EXPECT_EQ(Run(), kLeftAtPersonal);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Please type your name"});
}

TEST_F(Machine, NotWindows95) {
  for (const char* version : std::initializer_list<const char*>{"Windows 98", "", nullptr}) {
    FakeSetupHost h;
    if (version)
      h.SetValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version", version);
    brind::test::ScriptedPrompts p;
    ScriptedUi u(h, p);
    EXPECT_EQ(RunSetup(h, p, u), 0);
    ASSERT_EQ(p.shown.size(), 1u);
    EXPECT_EQ(p.shown[0].text, "This software works only under Windows 95");
    EXPECT_EQ(p.shown[0].icon(), unsigned{kMbIconError});
  }
}

// Each refused directory: the warning, and what INSTALL shows next.
TEST_F(Machine, DirectoryChecks) {
  host.AddFile("C:\\notadir");
  host.AddDirs("C:\\Existing");
  struct Case {
    std::string typed;
    std::string currentDirectory;
    std::string warning;
    std::string shownAgain;
  } cases[] = {
      {"C:\\WINDOWS", "C:\\", text::kWindowsDirectory, "C:\\WINDOWS"},
      {"C:", "C:\\", text::kEnterDirectory, "C:"},
      {"Cx", "C:\\", text::kEnterDirectory, "C:"},
      {"D:\\", "C:\\", text::kEnterDirectory, "D:\\"},
      {"Dxy", "C:\\", text::kEnterDirectory, "D:\\"},
      {"a:\\tools", "C:\\", text::kFloppy, "a:\\tools"},
      {"B:\\tools", "C:\\", text::kFloppy, "B:\\tools"},
      {"\\Brindlewood", "B:\\", text::kFloppy, "\\Brindlewood"},
      {"C:\\notadir", "C:\\", text::kNotDirectory, "C:\\notadir"},
      {"C:\\Existing", "C:\\", text::kDirectoryExists, "C:\\Existing"},
  };
  for (const Case& c : cases) {
    prompts.shown.clear();
    ui.proposed.clear();
    host.currentDirectory = c.currentDirectory;
    prompts.answers = {kIdOk};
    if (c.warning == text::kDirectoryExists) prompts.answers = {kIdNo};
    Script({c.typed, std::nullopt});
    EXPECT_EQ(Run(), kLeftAtLocation) << c.typed;
    ASSERT_EQ(prompts.shown.size(), 1u) << c.typed;
    EXPECT_EQ(prompts.shown[0].text, c.warning);
    ASSERT_EQ(ui.proposed.size(), 2u);
    EXPECT_EQ(ui.proposed[1], c.shownAgain);
  }
}

// Directories compare as Windows compares them: without case, without a trailing backslash, and
// a long name equal to its short form.
TEST_F(Machine, WindowsDirectoryInAnyFormIsRefused) {
  host.shortNames["c:\\windows"] = "C:\\WINDOWS";
  host.windowsDirectory = "C:\\Windows";
  for (const char* typed : {"c:\\windows", "C:\\WINDOWS\\", "\\Windows"}) {
    prompts.shown.clear();
    prompts.answers = {kIdOk};
    Script({typed, std::nullopt});
    EXPECT_EQ(Run(), kLeftAtLocation);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{text::kWindowsDirectory}) << typed;
  }
}

// Drive-relative and relative directories are made absolute before anything uses them.
TEST_F(Machine, RelativeDirectoriesAreMadeAbsolute) {
  for (const char* typed : {"C:Brindlewood", "Brindlewood", "\\Brindlewood\\"}) {
    FakeSetupHost h = host;
    brind::test::ScriptedPrompts p;
    ScriptedUi u(h, p);
    u.personal.push_back(std::pair<std::string, std::string>{"Ada", "AE"});
    u.locations = {std::string(typed)};
    EXPECT_EQ(RunSetup(h, p, u), 0) << typed;
    ASSERT_TRUE(h.Value(kProduct, "InstallDir")) << typed;
    EXPECT_EQ(*h.Value(kProduct, "InstallDir"), "C:\\Brindlewood");
    EXPECT_EQ(*h.Value(kProduct, "InstallDirShort"), "C:\\BRINDL~1");
    EXPECT_TRUE(h.HasFile("C:\\Brindlewood\\Brindlewood Utility.exe"));
  }
}

TEST_F(Machine, ShortDirectoryComesFromTheSystemAtAnyDepth) {
  struct Case {
    std::string typed;
    std::string currentDirectory;
    std::string systemShort;
    std::string shortDir;
    std::string driveRoot;
  } cases[] = {
      {"C:\\Brindlewood", "C:\\", "C:\\BRINDL~1", "C:\\BRINDL~1", "C:\\"},
      {"C:\\Program Files\\Oakhurst\\Brindlewood", "C:\\", "C:\\PROGRA~1\\OAKHURST\\BRINDL~1",
       "C:\\PROGRA~1\\OAKHURST\\BRINDL~1", "C:\\"},
      {"D:\\TOOLS", "C:\\", "D:\\TOOLS", "D:\\TOOLS", "D:\\"},
      // Typed without a drive: the system's answer has none either; the current drive is added.
      {"\\Long Name Dir", "E:\\WORK", "\\LONGNA~1", "E:\\LONGNA~1", "E:\\"},
  };
  for (const Case& c : cases) {
    FakeSetupHost h;
    h.currentDirectory = c.currentDirectory;
    h.shortNames[test::Lower(c.typed)] = c.systemShort;
    h.AddDirs(std::string{c.shortDir[0], ':', '\\'});
    h.AddDirs(c.typed[0] == '\\' ? c.currentDirectory.substr(0, 2) + c.typed : c.typed);
    h.dirs.insert(test::Lower(c.typed));
    brind::test::ScriptedPrompts p;
    p.answers = {kIdYes};
    ScriptedUi u(h, p);
    Installer installer(h, p, u);
    installer.state().installDirectory = c.typed;
    EXPECT_TRUE(installer.CheckLocation());
    EXPECT_EQ(installer.state().shortInstallDir, c.shortDir) << c.typed;
    EXPECT_EQ(installer.state().driveRoot, c.driveRoot) << c.typed;
  }
}

TEST_F(Machine, RecordedDirectoryAsksNothingAndIsProposed) {
  host.SetValue(kProduct, "InstallDir", "C:\\Brindlewood");
  host.AddDirs("C:\\Brindlewood");
  ui.personal.push_back(std::pair<std::string, std::string>{"Ada", "AE"});
  ui.locations = {"C:\\Brindlewood"};
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ui.proposed, std::vector<std::string>{"C:\\Brindlewood"});
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(Machine, LeftoverMarkerWithdrawsAPendingCleanup) {
  host.AddDirs("C:\\Brindlewood");
  host.AddFile("C:\\Brindlewood\\ZOVAZEV.XXX");
  host.AddFile("C:\\WINDOWS\\TEMP\\CLEANUP.EXE");
  host.SetValue(kRunOnce, "Brindlewood Cleanup", "C:\\WINDOWS\\TEMP\\CLEANUP.EXE D:\\ELSE");
  Script({"C:\\Brindlewood"});
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(prompts.shown.empty()) << "no question about the existing directory";
  EXPECT_FALSE(host.Value(kRunOnce, "Brindlewood Cleanup"));
}

// A removal left its clean-up for the next start of Windows; reinstalling into the same directory,
// in whatever form it is typed or recorded, withdraws it (else it would delete the new files).
TEST_F(Machine, PendingCleanupOfThisDirectoryIsCancelledOthersKept) {
  struct Case {
    const char* argument;
    const char* typed;
    bool kept;
  } cases[] = {{"C:\\BRINDL~1", "C:\\Brindlewood", false},
               {"C:\\BRINDL~1", "c:\\brindlewood\\", false},
               {"c:\\brindl~1\\", "C:\\Brindlewood", false},
               {"C:\\Brindlewood", "C:\\Brindlewood", false},
               {"C:\\OTHER", "C:\\Brindlewood", true}};
  for (const Case& c : cases) {
    host.SetValue(kRunOnce, "Brindlewood Cleanup",
                  std::string("C:\\WINDOWS\\TEMP\\CLEANUP.EXE ") + c.argument);
    host.AddFile("C:\\WINDOWS\\TEMP\\CLEANUP.EXE");
    host.dirs.erase(test::Lower("C:\\Brindlewood"));
    Script({c.typed});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(host.Value(kRunOnce, "Brindlewood Cleanup") != nullptr, c.kept)
        << c.argument << " typed " << c.typed;
    EXPECT_EQ(host.HasFile("C:\\WINDOWS\\TEMP\\CLEANUP.EXE"), c.kept);
  }
}

TEST_F(Machine, DirectoryThatCannotBeCreatedEndsWithFive) {
  for (const char* typed : {"", "C:\\No\\Such\\Parent"}) {
    FakeSetupHost h;
    h.SetValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version", "Windows 95");
    brind::test::ScriptedPrompts p;
    ScriptedUi u(h, p);
    u.personal.push_back(std::pair<std::string, std::string>{"Ada", ""});
    u.locations = {std::string(typed)};
    EXPECT_EQ(RunSetup(h, p, u), kCannotCreateDirectory);
    EXPECT_EQ(p.Texts(), std::vector<std::string>{text::kCannotCreate});
    EXPECT_EQ(u.notices, 1);
  }
}

TEST_F(Machine, FailedShortcutWarnsAndKeepsTheInstallation) {
  host.dirs.erase(test::Lower("C:\\WINDOWS\\STARTM~1\\PROGRAMS"));
  Script({"C:\\Brindlewood"});
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(
      host.LogOf("CreateStartMenuShortcut"),
      (std::vector<std::string>{
          "CreateStartMenuShortcut C:\\WINDOWS\\PROFILES\\alice\\STARTM~1\\PROGRAMS\\Brindlewood "
          "Utility.lnk",
          "CreateStartMenuShortcut C:\\WINDOWS\\STARTM~1\\PROGRAMS\\Brindlewood Utility.lnk"}));
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{text::kNoShortcut});
  EXPECT_EQ(ui.notices, 0);
  EXPECT_TRUE(host.HasFile("C:\\Brindlewood\\Brindlewood Utility.exe"));
  EXPECT_TRUE(host.HasFile("C:\\Brindlewood\\BrindFs.vxd"));
  EXPECT_EQ(*host.Value(kProduct, "InstallDir"), "C:\\Brindlewood");
  EXPECT_EQ(ui.rebootTexts.size(), 1u);
}

TEST_F(Machine, FailedCopyCleansUpThroughTheNotice) {
  host.files.erase(test::Lower("A:\\Charmap.ma_"));
  prompts.answers = {kIdCancel};
  Script({"C:\\Brindlewood"});
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ui.notices, 1);
  EXPECT_FALSE(host.HasDir("C:\\Brindlewood"));
  EXPECT_FALSE(host.HasKey(kProduct));
  EXPECT_TRUE(ui.rebootTexts.empty());
}

// A run that fails before copying anything into a directory that was there before deletes
// nothing in it: a file of the user's that has a name of the table stays.
TEST_F(Machine, AFailedRunDeletesOnlyWhatItPutThere) {
  host.AddDirs("C:\\Tools");
  host.AddFile("C:\\Tools\\Setup.exe", "the user's own");
  host.statErrors[test::Lower(std::string("A:\\") + SetupFileTable[0].diskName)] = 5;
  prompts.answers = {kIdYes, kIdCancel};  // into the existing directory; Cancel the disk error
  Script({"C:\\Tools"});
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ui.notices, 1);
  EXPECT_TRUE(host.HasFile("C:\\Tools\\Setup.exe"));
  EXPECT_TRUE(host.HasDir("C:\\Tools"));
  EXPECT_TRUE(host.LogOf("DeleteFile C:\\Tools").empty());
}

// E&xit over the recorded installation: one clean-up, whose entry names a program that exists
// and the directory it is for, or none when the directory is gone already.
TEST_F(Machine, ExitOverTheRecordedInstallationCleansUpOnce) {
  Script({"C:\\Brindlewood"});
  ASSERT_EQ(Run(), 0);
  for (bool inUse : {false, true}) {
    SCOPED_TRACE(inUse ? "a file in use" : "all deleted");
    host.log.clear();
    if (inUse) host.failing.insert("DeleteFile C:\\Brindlewood\\Startup.exe");
    ui.cancelCopyAfterOneTick = true;
    Script({"C:\\Brindlewood"});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ui.notices, inUse ? 2 : 1);
    EXPECT_EQ(host.LogOf("RemoveDirectory").size(), 1u);
    EXPECT_EQ(host.LogOf("CopyFile C:\\BRINDL~1\\CLEANUP.EXE").size(), 1u);
    EXPECT_EQ(host.LogOf("CopyFile").size(), 1u) << "no copy from the root of a drive";
    EXPECT_FALSE(host.HasKey(kProduct));
    const std::string* entry = host.Value(kRunOnce, "Brindlewood Cleanup");
    EXPECT_EQ(entry != nullptr, inUse);
    EXPECT_EQ(host.HasFile("C:\\WINDOWS\\TEMP\\CLEANUP.EXE"), inUse);
    if (entry) {
      EXPECT_EQ(*entry, "C:\\WINDOWS\\TEMP\\CLEANUP.EXE C:\\BRINDL~1");
    }
    // Reinstalled before Windows restarts: the next start would run it otherwise.
    host.SetValue(kProduct, "InstallDir", "C:\\Brindlewood");
    host.SetValue(kProduct, "InstallDirShort", "C:\\BRINDL~1");
    host.AddDirs("C:\\Brindlewood");
    host.AddFile("C:\\Brindlewood\\CLEANUP.EXE");
    host.AddFile("C:\\Brindlewood\\Startup.exe");
  }
}

TEST_F(Machine, ExitDuringCopyKeepsAnInstallationElsewhere) {
  host.SetValue(kProduct, "InstallDir", "D:\\Old");
  host.SetValue(kProduct, "InstallDirShort", "D:\\Old");
  ui.cancelCopyAfterOneTick = true;
  Script({"C:\\Brindlewood"});
  EXPECT_EQ(Run(), 0);
  EXPECT_FALSE(host.HasDir("C:\\Brindlewood"));
  EXPECT_EQ(*host.Value(kProduct, "InstallDir"), "D:\\Old");
}

struct Removal : Machine {
  void Install() {
    host.commandLine = "A:\\SETUP.EXE";
    Script({"C:\\Brindlewood"});
    ASSERT_EQ(Run(), 0);
    prompts.shown.clear();
    ui.rebootTexts.clear();
    host.AddFile("C:\\Brindlewood\\notes.txt");
  }
};

TEST_F(Removal, FromTheInstallationDirectoryLeavesACleanupEntry) {
  Install();
  host.files.erase(test::Lower("C:\\Brindlewood\\notes.txt"));
  host.commandLine = "C:\\BRINDL~1\\setup /u";
  host.currentDirectory = "C:\\BRINDL~1";
  host.failing.insert("DeleteFile C:\\Brindlewood\\Setup.exe");  // the running program
  EXPECT_EQ(Run(), 1);
  EXPECT_FALSE(host.HasKey(kProduct));
  EXPECT_TRUE(host.HasDir("C:\\Brindlewood"));
  EXPECT_EQ(*host.Value(kRunOnce, "Brindlewood Cleanup"),
            "C:\\WINDOWS\\TEMP\\CLEANUP.EXE C:\\BRINDL~1");
  EXPECT_EQ(ui.rebootTexts, std::vector<std::string>{text::kRemoved});
  EXPECT_FALSE(host.HasFile("C:\\WINDOWS\\STARTM~1\\PROGRAMS\\Brindlewood Utility.lnk"));
}

// Quoted as Windows starts it, or typed unquoted at a prompt on drive A: (the current directory
// tells, though the removal moves it to drive C:).
TEST_F(Removal, FromTheFloppyRemovesTheDirectoryAndWithdrawsTheEntry) {
  for (const char* line : {"\"A:\\SETUP.EXE\" /u", "A:\\SETUP.EXE /u", "setup /u"}) {
    SCOPED_TRACE(line);
    host.currentDirectory = "C:\\";
    Install();
    host.files.erase(test::Lower("C:\\Brindlewood\\notes.txt"));
    host.keys.erase(test::Lower("HKCR\\.mac"));  // a missing key: no problem reported from A:
    host.commandLine = line;
    host.currentDirectory = "A:\\";
    ui.rebootTexts.clear();
    EXPECT_EQ(Run(), 1);
    EXPECT_FALSE(host.HasDir("C:\\Brindlewood"));
    EXPECT_FALSE(host.Value(kRunOnce, "Brindlewood Cleanup"));
    EXPECT_FALSE(host.HasFile("C:\\WINDOWS\\TEMP\\CLEANUP.EXE"));
    EXPECT_EQ(ui.rebootTexts, std::vector<std::string>{text::kRemoved});
  }
}

TEST_F(Removal, ProblemsOutsideAFloppyRunChooseTheProblemText) {
  Install();
  host.keys.erase(test::Lower("HKCR\\.mac"));
  host.commandLine = "C:\\BRINDL~1\\setup /u";
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(ui.rebootTexts, std::vector<std::string>{text::kRemovalProblem});
  EXPECT_TRUE(host.HasFile("C:\\Brindlewood\\notes.txt")) << "the user's files survive";
  EXPECT_TRUE(host.HasDir("C:\\Brindlewood"));
}

TEST_F(Removal, NothingInstalledAndSecondRemoval) {
  host.commandLine = "\"A:\\SETUP.EXE\" /U";
  const auto before = host.keys;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(prompts.Texts(),
            std::vector<std::string>{"Brindlewood for Windows 95 in not installed"});
  EXPECT_EQ(prompts.shown[0].icon(), unsigned{kMbIconWarning});
  EXPECT_EQ(host.keys.size(), before.size());
  Install();
  host.commandLine = "\"A:\\SETUP.EXE\" /uninstall";
  EXPECT_EQ(Run(), 1);
  prompts.shown.clear();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{text::kNotInstalled});
}

}  // namespace
}  // namespace brind::setup
