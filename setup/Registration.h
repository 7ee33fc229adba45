// The registry side of setup: the product key and the Windows entries of an installation, the
// small read/delete helpers, and their removal with the clean-up entry.
#pragma once

#include <string>

#include "common/UserPrompts.h"
#include "setup/SetupHost.h"

namespace brind::setup {

inline constexpr char kProductKey[] = "SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion";
inline constexpr char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr char kVersion[] = "1.00";
// The RunOnce value of a pending clean-up: "<windows>\TEMP\CLEANUP.EXE <short directory>".
inline constexpr char kCleanupValue[] = "Brindlewood Cleanup";

// Flags shared by installation and removal.
struct RemovalFlags {
  bool uninstallMode = false;
  bool reinstallIntoRecordedDir = false;
  bool removalProblem = false;
  bool quietRemoval = false;
};

struct Registration {
  std::string name;
  std::string company;
  std::string shortInstallDir;
  std::string installDirectory;
  std::string driveRoot;
  std::string version = kVersion;
};

class RegistryRules {
 public:
  RegistryRules(SetupHost& host, UserPrompts& prompts) : host_(host), prompts_(prompts) {}

  bool QueryHklmValue(const std::string& key, const std::string& name, std::size_t size,
                      std::string* out);
  bool QueryProductValue(const std::string& name, std::string* out) {
    return QueryHklmValue(kProductKey, name, 512, out);
  }
  void DeleteHklmValue(const std::string& key, const std::string& name);

  // Writes the product key and the Windows entries of an installation, in order; a failed step
  // warns and the next one runs. Always true.
  bool WriteRegistration(const Registration& r);

  // Deletes the entries of an installation and, when removing (or reinstalling over the
  // recorded directory), schedules the clean-up program. Always true.
  bool RemoveRegistration(const std::string& windowsDirectory, RemovalFlags& flags);

  // "<windows>\TEMP\CLEANUP.EXE"
  static std::string CleanupCopy(const std::string& windowsDirectory);

 private:
  void Warn(const char* text);
  SetupHost& host_;
  UserPrompts& prompts_;
};

}  // namespace brind::setup
