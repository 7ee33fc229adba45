#include "setup/win32/Win32SetupHost.h"

#include <objbase.h>
#include <shlobj.h>
#include <winver.h>

namespace brind::setup {

RegKey Win32SetupHost::Keep(HKEY key) {
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == nullptr) {
      keys_[i] = key;
      return static_cast<RegKey>(i + 1);
    }
  }
  keys_.push_back(key);
  return static_cast<RegKey>(keys_.size());
}

HKEY Win32SetupHost::Get(RegKey key) const {
  return key == 0 || key > keys_.size() ? nullptr : keys_[key - 1];
}

bool Win32SetupHost::OpenRoot(RegRoot root, RegKey* out) {
  HKEY key = nullptr;
  const LONG rc = root == RegRoot::kLocalMachine
                      ? RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &key)
                      : RegOpenKeyExA(HKEY_CLASSES_ROOT, nullptr, 0, KEY_ALL_ACCESS, &key);
  *out = rc == ERROR_SUCCESS ? Keep(key) : 0;
  return rc == ERROR_SUCCESS;
}

bool Win32SetupHost::CreateKey(RegKey parent, const std::string& path, const std::string& keyClass,
                               RegKey* out) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LONG rc =
      RegCreateKeyExA(Get(parent), path.c_str(), 0, const_cast<char*>(keyClass.c_str()),
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition);
  *out = rc == ERROR_SUCCESS ? Keep(key) : 0;
  return rc == ERROR_SUCCESS;
}

bool Win32SetupHost::OpenKey(RegKey parent, const std::string& path, RegKey* out) {
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExA(Get(parent), path.c_str(), 0, KEY_ALL_ACCESS, &key);
  *out = rc == ERROR_SUCCESS ? Keep(key) : 0;
  return rc == ERROR_SUCCESS;
}

void Win32SetupHost::CloseKey(RegKey key) {
  if (HKEY k = Get(key)) {
    RegCloseKey(k);
    keys_[key - 1] = nullptr;
  }
}

bool Win32SetupHost::SetStringValue(RegKey key, const std::string& name, const std::string& data) {
  return RegSetValueExA(Get(key), name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool Win32SetupHost::QueryString(RegKey key, const std::string& name, std::size_t bufferSize,
                                 std::string* out) {
  std::vector<char> buffer(bufferSize + 1, '\0');
  DWORD size = static_cast<DWORD>(bufferSize);
  DWORD type = 0;
  if (RegQueryValueExA(Get(key), name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
    return false;
  }
  buffer[bufferSize] = '\0';  // the value may lack its terminator
  *out = buffer.data();
  return true;
}

bool Win32SetupHost::DeleteValue(RegKey key, const std::string& name) {
  return RegDeleteValueA(Get(key), name.c_str()) == ERROR_SUCCESS;
}

bool Win32SetupHost::DeleteKey(RegKey parent, const std::string& path) {
  return RegDeleteKeyA(Get(parent), path.c_str()) == ERROR_SUCCESS;
}

KeyContent Win32SetupHost::Content(RegKey parent, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(Get(parent), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return KeyContent::kMissing;
  }
  DWORD subkeys = 0, values = 0;
  const LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return KeyContent::kNotEmpty;  // unknown: keep it
  return subkeys == 0 && values == 0 ? KeyContent::kEmpty : KeyContent::kNotEmpty;
}

unsigned Win32SetupHost::StatFile(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
  const DWORD error = GetLastError();
  return error == 0 ? 2 : error;
}

PathKind Win32SetupHost::Kind(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  if (path.empty() || a == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kDirectory : PathKind::kFile;
}

bool Win32SetupHost::DeleteFile(const std::string& path) { return ::DeleteFileA(path.c_str()); }

bool Win32SetupHost::CopyFile(const std::string& from, const std::string& to) {
  return ::CopyFileA(from.c_str(), to.c_str(), FALSE);
}

bool Win32SetupHost::SetHiddenArchive(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
}

bool Win32SetupHost::CreateDirectory(const std::string& path) {
  return !path.empty() && ::CreateDirectoryA(path.c_str(), nullptr);
}

bool Win32SetupHost::RemoveDirectory(const std::string& path) {
  return ::RemoveDirectoryA(path.c_str());
}

bool Win32SetupHost::SetCurrentDirectory(const std::string& path) {
  return ::SetCurrentDirectoryA(path.c_str());
}

std::string Win32SetupHost::CurrentDirectory() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

std::string Win32SetupHost::WindowsDirectory() {
  char buffer[MAX_PATH + 1] = {};
  const UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

bool Win32SetupHost::ShortPath(const std::string& path, std::string* out) {
  if (path.empty()) return false;
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return false;
  *out = std::string(buffer, n);
  return true;
}

std::string Win32SetupHost::FullPath(const std::string& path) {
  if (path.empty()) return path;
  char buffer[MAX_PATH + 1] = {};
  char* name = nullptr;
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, &name);
  if (n == 0 || n >= sizeof buffer) return path;
  return std::string(buffer, n);
}

unsigned Win32SetupHost::InstallFile(const std::string& diskName, const std::string& installedName,
                                     const std::string& sourceDir, const std::string& destDir) {
  char temp[512] = {};
  UINT tempSize = sizeof temp;
  std::string src = diskName, dst = installedName, srcDir = sourceDir, dstDir = destDir;
  char noCurrent[1] = {};
  return VerInstallFileA(VIFF_FORCEINSTALL, src.data(), dst.data(), srcDir.data(), dstDir.data(),
                         noCurrent, temp, &tempSize);
}

std::string Win32SetupHost::CommandLine() { return GetCommandLineA(); }

bool Win32SetupHost::UserName(std::string* out) {
  char buffer[512] = {};
  DWORD size = sizeof buffer;
  if (!GetUserNameA(buffer, &size)) return false;
  *out = buffer;
  return true;
}

void* Win32SetupHost::LoadLibrary(const std::string& path) {
  return reinterpret_cast<void*>(::LoadLibraryA(path.c_str()));
}

void Win32SetupHost::FreeLibrary(void* library) {
  ::FreeLibrary(reinterpret_cast<HMODULE>(library));
}

bool Win32SetupHost::RunAndWait(const std::string& path) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &si, &pi)) {
    MessageBeep(0xFFFFFFFF);
    return false;
  }
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return true;
}

long Win32SetupHost::CreateStartMenuShortcut(const std::string& target, const std::string& link,
                                             const std::string& description) {
  CoInitialize(nullptr);  // stays initialised for the rest of the run
  IShellLinkA* shellLink = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shellLink));
  if (FAILED(hr)) return hr;
  shellLink->SetPath(target.c_str());
  shellLink->SetDescription(description.c_str());
  IPersistFile* file = nullptr;
  hr = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) {
    WCHAR wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    wide[MAX_PATH - 1] = 0;
    hr = file->Save(wide, TRUE);
    file->Release();
  }
  shellLink->Release();
  return hr;
}

}  // namespace brind::setup
