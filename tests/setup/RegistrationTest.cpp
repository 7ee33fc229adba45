// The registry rows of an installation and their removal.
#include <gtest/gtest.h>

#include "FakeSetupHost.h"
#include "setup/Registration.h"
#include "setup/SetupTexts.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind::setup {
namespace {

using test::FakeSetupHost;

constexpr char kProduct[] = "HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion";

Registration Sample() {
  Registration r;
  r.name = "Ada Byron";
  r.company = "Analytical";
  r.shortInstallDir = "C:\\BRINDL~1";
  r.installDirectory = "C:\\Brindlewood";
  r.driveRoot = "C:\\";
  return r;
}

TEST(WriteRegistration, EveryRowInOrderWithItsClassAndData) {
  FakeSetupHost host;
  host.userName = "ada";
  brind::test::ScriptedPrompts prompts;
  EXPECT_TRUE(RegistryRules(host, prompts).WriteRegistration(Sample()));
  const std::vector<std::string> want = {
      "CreateKey HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion [Description]",
      "SetStringValue HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion [InstallDir] = "
      "C:\\Brindlewood",
      "SetStringValue HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion [InstallDirShort] = "
      "C:\\BRINDL~1",
      "SetStringValue HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion [Registered Owner] = "
      "Ada "
      "Byron",
      "SetStringValue HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion [Registered Company] = "
      "Analytical",
      "SetStringValue HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion [VersionNumber] = 1.00",
      "SetStringValue HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion [SourceDrive] = C:\\",
      "SetStringValue HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion [UserLogon] = ada",
      "CreateKey HKLM\\System\\CurrentControlSet\\Services\\VxD\\Brindlewood [VxD]",
      "SetStringValue HKLM\\System\\CurrentControlSet\\Services\\VxD\\Brindlewood [StaticVxD] = "
      "C:\\BRINDL~1\\BrindFs.vxd",
      "CreateKey HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brindlewood "
      "[Uninstall]",
      "SetStringValue HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brindlewood "
      "[DisplayName] = Brindlewood for Windows 95",
      "SetStringValue HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brindlewood "
      "[UninstallString] = C:\\BRINDL~1\\setup /u",
      "CreateKey HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run [Run]",
      "SetStringValue HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run [Brindlewood "
      "Startup] = "
      "C:\\BRINDL~1\\Startup.exe",
      "CreateKey HKLM\\SOFTWARE\\Microsoft\\Windows\\Help [Help]",
      "SetStringValue HKLM\\SOFTWARE\\Microsoft\\Windows\\Help [Brindlewood.hlp] = C:\\BRINDL~1",
      "CreateKey HKCR\\.mac [Description]",
      "SetStringValue HKCR\\.mac [] = Mac_auto_file",
      "CreateKey HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brindl~1.exe [App "
      "Paths]",
      "SetStringValue HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brindl~1.exe "
      "[] = "
      "C:\\BRINDL~1\\Brindl~1.exe",
      "CreateKey HKCR\\Mac_auto_file\\Shell\\Open\\Command [Description]",
      "SetStringValue HKCR\\Mac_auto_file\\Shell\\Open\\Command [] = C:\\BRINDL~1\\Brindl~1.exe %1",
  };
  EXPECT_EQ(host.log, want);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_FALSE(host.Value("HKCR\\Mac_auto_file", "")) << "the class key itself gets no value";
}

TEST(WriteRegistration, OverwritesAnEarlierInstallation) {
  FakeSetupHost host;
  host.SetValue(kProduct, "InstallDir", "D:\\Old");
  host.SetValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Brindlewood Startup",
                "D:\\OLD\\Startup.exe");
  brind::test::ScriptedPrompts prompts;
  RegistryRules(host, prompts).WriteRegistration(Sample());
  EXPECT_EQ(*host.Value(kProduct, "InstallDir"), "C:\\Brindlewood");
  EXPECT_EQ(
      *host.Value("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Brindlewood Startup"),
      "C:\\BRINDL~1\\Startup.exe");
}

TEST(WriteRegistration, EachFailedStepWarnsAndTheNextRuns) {
  struct Case {
    const char* fail;
    std::vector<std::string> warnings;
  } cases[] = {
      {"SetStringValue HKLM\\System\\CurrentControlSet\\Services\\VxD\\Brindlewood [StaticVxD]",
       {text::kNoValue}},
      {"CreateKey HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brindlewood",
       {text::kNoKey, text::kNoValue, text::kNoValue}},
      // Opening HKCR fails for both of its keys.
      {"OpenRoot HKCR",
       {text::kNoRegistry, text::kNoKey, text::kNoValue, text::kNoRegistry, text::kNoKey,
        text::kNoValue}},
      // The App Paths key is created without checks; only its value warns.
      {"CreateKey HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brindl~1.exe",
       {text::kNoValue}},
  };
  for (const Case& c : cases) {
    FakeSetupHost host;
    host.failing.insert(c.fail);
    brind::test::ScriptedPrompts prompts;
    EXPECT_TRUE(RegistryRules(host, prompts).WriteRegistration(Sample()));
    EXPECT_EQ(prompts.Texts(), c.warnings) << c.fail;
    for (const auto& s : prompts.shown) {
      EXPECT_EQ(s.caption, "Brindlewood Setup");
      EXPECT_EQ(s.icon(), unsigned{kMbIconWarning});
    }
    // Later rows are still written.
    EXPECT_TRUE(host.Value("HKCR\\Mac_auto_file\\Shell\\Open\\Command", "") ||
                std::string(c.fail) == "OpenRoot HKCR");
  }
}

TEST(QueryHklmValue, BufferSizeAndMissingKeys) {
  FakeSetupHost host;
  brind::test::ScriptedPrompts prompts;
  RegistryRules rules(host, prompts);
  std::string out;
  EXPECT_FALSE(rules.QueryProductValue("InstallDir", &out));
  host.SetValue(kProduct, "InstallDir", std::string(511, 'x'));
  EXPECT_TRUE(rules.QueryProductValue("InstallDir", &out));
  host.SetValue(kProduct, "InstallDir", std::string(512, 'x'));
  EXPECT_FALSE(rules.QueryProductValue("InstallDir", &out)) << "512 bytes hold 511 and the zero";
  host.failing.insert("OpenRoot HKLM");
  EXPECT_FALSE(rules.QueryProductValue("InstallDir", &out));
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Could not open the System Registry"});
}

struct Installed : ::testing::Test {
  FakeSetupHost host;
  brind::test::ScriptedPrompts prompts;
  RemovalFlags flags;
  void SetUp() override {
    RegistryRules(host, prompts).WriteRegistration(Sample());
    host.AddDirs("C:\\BRINDL~1");
    host.AddFile("C:\\BRINDL~1\\CLEANUP.EXE", "cleanup");
    host.log.clear();
  }
  void Remove() { RegistryRules(host, prompts).RemoveRegistration("C:\\WINDOWS", flags); }
};

TEST_F(Installed, RemovalDeletesInOrderAndSchedulesTheCleanup) {
  flags.uninstallMode = true;
  Remove();
  const std::vector<std::string> want = {
      "DeleteKey HKLM\\SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion",
      "DeleteKey HKLM\\SOFTWARE\\Oakhurst\\Brindlewood",
      "DeleteKey HKLM\\SOFTWARE\\Oakhurst",
      "DeleteKey HKLM\\System\\CurrentControlSet\\Services\\VxD\\Brindlewood",
      "DeleteKey HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brindlewood",
      "DeleteKey HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brindl~1.exe",
      "DeleteValue HKLM\\SOFTWARE\\Microsoft\\Windows\\Help [Brindlewood.hlp]",
      "DeleteValue HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run [Brindlewood Startup]",
      "CreateKey HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce [RunOnce]",
      "DeleteFile C:\\WINDOWS\\TEMP\\CLEANUP.EXE",
      "CopyFile C:\\BRINDL~1\\CLEANUP.EXE -> C:\\WINDOWS\\TEMP\\CLEANUP.EXE",
      "DeleteFile C:\\BRINDL~1\\CLEANUP.EXE",
      "SetStringValue HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce [Brindlewood "
      "Cleanup] "
      "= "
      "C:\\WINDOWS\\TEMP\\CLEANUP.EXE C:\\BRINDL~1",
      "DeleteKey HKCR\\.mac",
      "DeleteKey HKCR\\Mac_auto_file\\Shell\\Open\\Command",
      "DeleteKey HKCR\\Mac_auto_file\\Shell\\Open",
      "DeleteKey HKCR\\Mac_auto_file\\Shell",
      "DeleteKey HKCR\\Mac_auto_file",
  };
  EXPECT_EQ(host.log, want);
  EXPECT_FALSE(flags.removalProblem);
  EXPECT_TRUE(host.HasFile("C:\\WINDOWS\\TEMP\\CLEANUP.EXE"));
  EXPECT_FALSE(host.HasKey("HKLM\\SOFTWARE\\Oakhurst"));
}

TEST_F(Installed, CleanupIsScheduledOnlyWhenRemovingOrReinstalling) {
  for (auto [uninstall, reinstall, scheduled] :
       {std::tuple{false, false, false}, {true, false, true}, {false, true, true}}) {
    SetUp();
    host.failing.clear();
    host.keys.erase(test::Lower(std::string("HKLM\\") + kRunOnceKey));
    flags = {};
    flags.uninstallMode = uninstall;
    flags.reinstallIntoRecordedDir = reinstall;
    Remove();
    EXPECT_EQ(host.Value(std::string("HKLM\\") + kRunOnceKey, "Brindlewood Cleanup") != nullptr,
              scheduled);
  }
}

TEST_F(Installed, ProblemsAreFlaggedUnlessTheRemovalIsQuiet) {
  struct Case {
    const char* fail;
    bool quiet;
    bool problem;
  } cases[] = {
      {"", false, false},
      {"DeleteKey HKLM\\System\\CurrentControlSet\\Services\\VxD\\Brindlewood", false, true},
      {"DeleteValue HKLM\\SOFTWARE\\Microsoft\\Windows\\Help [Brindlewood.hlp]", false, true},
      {"CopyFile C:\\BRINDL~1\\CLEANUP.EXE", false, true},
      {"DeleteKey HKCR\\Mac_auto_file", false, true},
      {"OpenRoot HKLM", false, true},
      {"DeleteKey HKCR\\Mac_auto_file", true, false},
      {"OpenRoot HKLM", true, false},
  };
  for (const Case& c : cases) {
    SetUp();
    host.failing = {c.fail};
    flags = {};
    flags.uninstallMode = true;
    flags.quietRemoval = c.quiet;
    Remove();
    EXPECT_EQ(flags.removalProblem, c.problem) << c.fail << (c.quiet ? " quiet" : "");
  }
}

TEST_F(Installed, AlreadyGoneCountsAsAProblem) {
  host.keys.erase(test::Lower("HKCR\\.mac"));
  flags.uninstallMode = true;
  Remove();
  EXPECT_TRUE(flags.removalProblem);
}

TEST_F(Installed, MakerKeyStaysWhileItHoldsSomethingElse) {
  host.SetValue("HKLM\\SOFTWARE\\Oakhurst\\Quillmark\\CurrentVersion", "InstallDir", "C:\\Q");
  host.SetValue("HKLM\\SOFTWARE\\Oakhurst", "Shared", "yes");
  flags.uninstallMode = true;
  Remove();
  EXPECT_FALSE(host.HasKey("HKLM\\SOFTWARE\\Oakhurst\\Brindlewood"));
  EXPECT_EQ(*host.Value("HKLM\\SOFTWARE\\Oakhurst\\Quillmark\\CurrentVersion", "InstallDir"),
            "C:\\Q");
  EXPECT_EQ(*host.Value("HKLM\\SOFTWARE\\Oakhurst", "Shared"), "yes");
  EXPECT_FALSE(flags.removalProblem) << "keeping a shared maker key is not a failure";
}

}  // namespace
}  // namespace brind::setup
