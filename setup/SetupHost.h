// The handful of system calls setup makes, so that its rules run against a fake in tests and
// against the registry, the file system and the shell for real on Win32.
#pragma once

#include <string>

namespace brind::setup {

enum class RegRoot { kLocalMachine, kClassesRoot };

// An open registry key as the host hands it out; 0 is "no key".
using RegKey = unsigned;

enum class KeyContent { kMissing, kEmpty, kNotEmpty };

enum class PathKind { kMissing, kFile, kDirectory };

class SetupRegistry {
 public:
  virtual ~SetupRegistry() = default;
  // Opens the root itself (the local HKEY_LOCAL_MACHINE, or HKEY_CLASSES_ROOT with full access).
  virtual bool OpenRoot(RegRoot root, RegKey* out) = 0;
  // Creates the key with its class string (non-volatile, full access) or opens it when present.
  virtual bool CreateKey(RegKey parent, const std::string& path, const std::string& keyClass,
                         RegKey* out) = 0;
  virtual bool OpenKey(RegKey parent, const std::string& path, RegKey* out) = 0;
  virtual void CloseKey(RegKey key) = 0;
  virtual bool SetStringValue(RegKey key, const std::string& name, const std::string& data) = 0;
  // Fails like the system does when the data and its terminator do not fit bufferSize bytes.
  virtual bool QueryString(RegKey key, const std::string& name, std::size_t bufferSize,
                           std::string* out) = 0;
  virtual bool DeleteValue(RegKey key, const std::string& name) = 0;
  virtual bool DeleteKey(RegKey parent, const std::string& path) = 0;
  virtual KeyContent Content(RegKey parent, const std::string& path) = 0;
};

class SetupFiles {
 public:
  virtual ~SetupFiles() = default;
  // 0 when the file's status could be read, else the system error (2 = not found, 21 = not ready).
  virtual unsigned StatFile(const std::string& path) = 0;
  virtual PathKind Kind(const std::string& path) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  virtual bool CopyFile(const std::string& from, const std::string& to) = 0;  // overwrites
  virtual bool SetHiddenArchive(const std::string& path) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;
  virtual bool RemoveDirectory(const std::string& path) = 0;
  virtual bool SetCurrentDirectory(const std::string& path) = 0;
  virtual std::string CurrentDirectory() = 0;
  virtual std::string WindowsDirectory() = 0;
  // The system's short (8.3) form of an existing path.
  virtual bool ShortPath(const std::string& path, std::string* out) = 0;
  // The system's full path of a typed one: a relative or drive-relative path is resolved against
  // the current directory of its drive. The text itself when the system cannot say.
  virtual std::string FullPath(const std::string& path) = 0;
  // Installs (and expands) one file from the setup disk; 0 on success.
  virtual unsigned InstallFile(const std::string& diskName, const std::string& installedName,
                               const std::string& sourceDir, const std::string& destDir) = 0;
};

class SetupSystem {
 public:
  virtual ~SetupSystem() = default;
  virtual std::string CommandLine() = 0;
  // The logged-on user as Windows reports it; false when it reports none.
  virtual bool UserName(std::string* out) = 0;
  virtual void* LoadLibrary(const std::string& path) = 0;
  virtual void FreeLibrary(void* library) = 0;
  // Starts the program and waits for its end; false (after a beep) when it cannot be started.
  virtual bool RunAndWait(const std::string& path) = 0;
  // 0 on success, else the COM result.
  virtual long CreateStartMenuShortcut(const std::string& target, const std::string& link,
                                       const std::string& description) = 0;
};

// Everything setup asks of the machine.
class SetupHost : public SetupRegistry, public SetupFiles, public SetupSystem {};

}  // namespace brind::setup
