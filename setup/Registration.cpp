#include "setup/Registration.h"

#include "setup/SetupFileTable.h"
#include "setup/SetupTexts.h"

namespace brind::setup {

namespace {

struct Value {
  const char* name;
  std::string data;
};

// The keys an installation writes and its removal deletes.
constexpr char kMakerKey[] = "SOFTWARE\\Oakhurst";
constexpr char kProductParentKey[] = "SOFTWARE\\Oakhurst\\Brindlewood";
constexpr char kVxdKey[] = "System\\CurrentControlSet\\Services\\VxD\\Brindlewood";
constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brindlewood";
constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kHelpKey[] = "SOFTWARE\\Microsoft\\Windows\\Help";
constexpr char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brindl~1.exe";
constexpr char kExtensionKey[] = ".mac";
constexpr char kOpenCommandKey[] = "Mac_auto_file\\Shell\\Open\\Command";
constexpr char kStartupValue[] = "Brindlewood Startup";
constexpr char kHelpValue[] = "Brindlewood.hlp";

}  // namespace

void RegistryRules::Warn(const char* text) {
  prompts_.Show(text, text::kCaption, kMbOk | kMbIconWarning, PromptOwner::kMainWindow);
}

bool RegistryRules::QueryHklmValue(const std::string& key, const std::string& name,
                                   std::size_t size, std::string* out) {
  RegKey root = 0;
  if (!host_.OpenRoot(RegRoot::kLocalMachine, &root)) {
    prompts_.Show(text::kNoSystemRegistry, text::kCaption, kMbOk | kMbIconWarning,
                  PromptOwner::kMainWindow);
  }
  RegKey k = 0;
  bool read = false;
  if (host_.OpenKey(root, key, &k)) {
    read = host_.QueryString(k, name, size, out);
    host_.CloseKey(k);
  }
  if (root) host_.CloseKey(root);
  return read;
}

void RegistryRules::DeleteHklmValue(const std::string& key, const std::string& name) {
  RegKey root = 0;
  if (!host_.OpenRoot(RegRoot::kLocalMachine, &root)) {
    prompts_.Show(text::kNoSystemRegistry, text::kCaption, kMbOk | kMbIconWarning,
                  PromptOwner::kMainWindow);
  }
  RegKey k = 0;
  if (host_.OpenKey(root, key, &k)) {
    host_.DeleteValue(k, name);
    host_.CloseKey(k);
  }
  if (root) host_.CloseKey(root);
}

bool RegistryRules::WriteRegistration(const Registration& r) {
  const std::string& s = r.shortInstallDir;
  std::string logon;
  if (!host_.UserName(&logon)) logon.clear();
  if (logon.size() > 256) logon.resize(256);

  // One key with its values; failures warn and the next step runs on whatever handle there is.
  auto writeKey = [&](RegRoot rootKind, const char* path, const char* keyClass,
                      std::initializer_list<Value> values, bool checkKey) {
    RegKey root = 0;
    if (!host_.OpenRoot(rootKind, &root) && checkKey) Warn(text::kNoRegistry);
    RegKey key = 0;
    if (!host_.CreateKey(root, path, keyClass, &key) && checkKey) Warn(text::kNoKey);
    for (const Value& v : values) {
      if (!host_.SetStringValue(key, v.name, v.data)) Warn(text::kNoValue);
    }
    if (key) host_.CloseKey(key);
    if (root) host_.CloseKey(root);
  };

  writeKey(RegRoot::kLocalMachine, kProductKey, "Description",
           {{"InstallDir", r.installDirectory},
            {"InstallDirShort", s},
            {"Registered Owner", r.name},
            {"Registered Company", r.company},
            {"VersionNumber", r.version},
            {"SourceDrive", r.driveRoot},
            {"UserLogon", logon}},
           true);
  writeKey(RegRoot::kLocalMachine, kVxdKey, "VxD", {{"StaticVxD", s + "\\BrindFs.vxd"}}, true);
  writeKey(RegRoot::kLocalMachine, kUninstallKey, "Uninstall",
           {{"DisplayName", "Brindlewood for Windows 95"}, {"UninstallString", s + "\\setup /u"}},
           true);
  writeKey(RegRoot::kLocalMachine, kRunKey, "Run", {{kStartupValue, s + "\\Startup.exe"}}, true);
  writeKey(RegRoot::kLocalMachine, kHelpKey, "Help", {{kHelpValue, s}}, true);
  writeKey(RegRoot::kClassesRoot, kExtensionKey, "Description", {{"", "Mac_auto_file"}}, true);
  writeKey(RegRoot::kLocalMachine, kAppPathsKey, "App Paths", {{"", s + "\\Brindl~1.exe"}}, false);
  writeKey(RegRoot::kClassesRoot, kOpenCommandKey, "Description", {{"", s + "\\Brindl~1.exe %1"}},
           true);
  return true;
}

std::string RegistryRules::CleanupCopy(const std::string& windowsDirectory) {
  return windowsDirectory + "\\TEMP\\CLEANUP.EXE";
}

bool RegistryRules::RemoveRegistration(const std::string& windowsDirectory, RemovalFlags& flags) {
  std::string shortDir;
  QueryProductValue("InstallDirShort", &shortDir);

  auto failed = [&](bool ok) {
    if (!ok) flags.removalProblem = true;
  };

  RegKey root = 0;
  failed(host_.OpenRoot(RegRoot::kLocalMachine, &root));
  failed(host_.DeleteKey(root, kProductKey));
  failed(host_.DeleteKey(root, kProductParentKey));
  // The maker key may hold other products of the same maker: it goes only when empty.
  switch (host_.Content(root, kMakerKey)) {
    case KeyContent::kEmpty:
      failed(host_.DeleteKey(root, kMakerKey));
      break;
    case KeyContent::kMissing:
      failed(false);
      break;
    case KeyContent::kNotEmpty:
      break;
  }
  failed(host_.DeleteKey(root, kVxdKey));
  failed(host_.DeleteKey(root, kUninstallKey));
  failed(host_.DeleteKey(root, kAppPathsKey));
  RegKey help = 0;
  failed(host_.OpenKey(root, kHelpKey, &help));
  failed(host_.DeleteValue(help, kHelpValue));
  if (help) host_.CloseKey(help);
  if (root) host_.CloseKey(root);

  root = 0;
  failed(host_.OpenRoot(RegRoot::kLocalMachine, &root));
  RegKey run = 0;
  failed(host_.OpenKey(root, kRunKey, &run));
  failed(host_.DeleteValue(run, kStartupValue));
  if (run) host_.CloseKey(run);

  if (flags.uninstallMode || flags.reinstallIntoRecordedDir) {
    RegKey runOnce = 0;
    failed(host_.CreateKey(root, kRunOnceKey, "RunOnce", &runOnce));
    const std::string copy = CleanupCopy(windowsDirectory);
    host_.DeleteFile(copy);
    failed(host_.CopyFile(shortDir + "\\CLEANUP.EXE", copy));
    host_.DeleteFile(shortDir + "\\CLEANUP.EXE");
    failed(host_.SetStringValue(runOnce, kCleanupValue, copy + " " + shortDir));
    if (runOnce) host_.CloseKey(runOnce);
  }
  if (root) host_.CloseKey(root);

  RegKey classes = 0;
  failed(host_.OpenRoot(RegRoot::kClassesRoot, &classes));
  for (const char* key : {kExtensionKey, kOpenCommandKey, "Mac_auto_file\\Shell\\Open",
                          "Mac_auto_file\\Shell", "Mac_auto_file"}) {
    failed(host_.DeleteKey(classes, key));
  }
  if (classes) host_.CloseKey(classes);

  if (flags.quietRemoval) flags.removalProblem = false;
  return true;
}

}  // namespace brind::setup
