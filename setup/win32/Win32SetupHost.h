// Setup's system calls on Win32: ADVAPI32 registry, KERNEL32 files, VERSION install, shell link.
#pragma once

#include <windows.h>

#include <vector>

#include "setup/SetupHost.h"

namespace brind::setup {

class Win32SetupHost : public SetupHost {
 public:
  bool OpenRoot(RegRoot root, RegKey* out) override;
  bool CreateKey(RegKey parent, const std::string& path, const std::string& keyClass,
                 RegKey* out) override;
  bool OpenKey(RegKey parent, const std::string& path, RegKey* out) override;
  void CloseKey(RegKey key) override;
  bool SetStringValue(RegKey key, const std::string& name, const std::string& data) override;
  bool QueryString(RegKey key, const std::string& name, std::size_t bufferSize,
                   std::string* out) override;
  bool DeleteValue(RegKey key, const std::string& name) override;
  bool DeleteKey(RegKey parent, const std::string& path) override;
  KeyContent Content(RegKey parent, const std::string& path) override;

  unsigned StatFile(const std::string& path) override;
  PathKind Kind(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool SetHiddenArchive(const std::string& path) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  bool SetCurrentDirectory(const std::string& path) override;
  std::string CurrentDirectory() override;
  std::string WindowsDirectory() override;
  bool ShortPath(const std::string& path, std::string* out) override;
  std::string FullPath(const std::string& path) override;
  unsigned InstallFile(const std::string& diskName, const std::string& installedName,
                       const std::string& sourceDir, const std::string& destDir) override;

  std::string CommandLine() override;
  bool UserName(std::string* out) override;
  void* LoadLibrary(const std::string& path) override;
  void FreeLibrary(void* library) override;
  bool RunAndWait(const std::string& path) override;
  long CreateStartMenuShortcut(const std::string& target, const std::string& link,
                               const std::string& description) override;

 private:
  RegKey Keep(HKEY key);
  HKEY Get(RegKey key) const;
  std::vector<HKEY> keys_;  // slot i holds RegKey i + 1; nullptr when closed
};

}  // namespace brind::setup
