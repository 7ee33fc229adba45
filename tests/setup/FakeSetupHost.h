// An in-memory machine for setup's rules: a registry tree, a file system with Windows paths,
// and the shell calls. Every call is logged in order; any call can be made to fail.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "setup/SetupHost.h"

namespace brind::setup::test {

inline std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class FakeSetupHost : public SetupHost {
 public:
  struct Key {
    std::string keyClass;
    std::map<std::string, std::pair<std::string, std::string>> values;  // lower name -> name, data
  };
  struct File {
    std::string data;
    bool hiddenArchive = false;
  };

  // Registry: full paths such as "HKLM\SOFTWARE\...", compared without case.
  std::map<std::string, Key> keys;
  // File system: full paths, compared without case; directories separately.
  std::map<std::string, File> files;
  std::set<std::string> dirs;
  std::map<std::string, std::string> shortNames;  // lower path -> what the system reports
  std::map<std::string, unsigned> statErrors;     // lower path -> error StatFile reports
  std::string windowsDirectory = "C:\\WINDOWS";
  std::string currentDirectory = "C:\\";
  std::string commandLine = "A:\\SETUP.EXE";
  std::string userName = "alice";
  bool userKnown = true;
  std::set<std::string> shortcutsThatFail;  // lower link paths
  std::set<std::string> failing;            // "Op argument" entries that fail
  std::vector<std::string> log;

  FakeSetupHost() {
    keys["hklm"];
    keys["hkcr"];
    dirs.insert("c:\\");
    dirs.insert("a:\\");
    dirs.insert(Lower(windowsDirectory));
    dirs.insert(Lower(windowsDirectory + "\\TEMP"));
  }

  // --- test helpers ---
  void SetValue(const std::string& key, const std::string& name, const std::string& data) {
    MakeKeyPath(key);
    keys[Lower(key)].values[Lower(name)] = {name, data};
  }
  const std::string* Value(const std::string& key, const std::string& name) const {
    auto k = keys.find(Lower(key));
    if (k == keys.end()) return nullptr;
    auto v = k->second.values.find(Lower(name));
    return v == k->second.values.end() ? nullptr : &v->second.second;
  }
  bool HasKey(const std::string& key) const { return keys.count(Lower(key)) != 0; }
  void AddFile(const std::string& path, const std::string& data = "x") {
    files[K(path)].data = data;
  }
  bool HasFile(const std::string& path) const { return files.count(K(path)) != 0; }
  bool HasDir(const std::string& path) const { return dirs.count(K(path)) != 0; }
  // A path as the file system finds it: short aliases lead to the same place as long names.
  std::string K(const std::string& path) const {
    std::string p = Lower(path);
    for (const auto& [longName, shortName] : shortNames) {
      const std::string s = Lower(shortName);
      if (s != longName && p.rfind(s, 0) == 0 && (p.size() == s.size() || p[s.size()] == '\\')) {
        return longName + p.substr(s.size());
      }
    }
    return p;
  }
  std::vector<std::string> LogOf(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& l : log) {
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
  }

  // --- registry ---
  bool OpenRoot(RegRoot root, RegKey* out) override {
    const std::string name = root == RegRoot::kLocalMachine ? "HKLM" : "HKCR";
    if (Fails("OpenRoot " + name)) return *out = 0, false;
    *out = Handle(name);
    return true;
  }
  bool CreateKey(RegKey parent, const std::string& path, const std::string& keyClass,
                 RegKey* out) override {
    *out = 0;
    if (!Valid(parent)) return Note("CreateKey <invalid>\\" + path), false;
    const std::string full = handles[parent] + "\\" + path;
    Note("CreateKey " + full + " [" + keyClass + "]");
    if (Fails("CreateKey " + full)) return false;
    if (!keys.count(Lower(full))) {
      MakeKeyPath(full);
      keys[Lower(full)].keyClass = keyClass;
    }
    *out = Handle(full);
    return true;
  }
  bool OpenKey(RegKey parent, const std::string& path, RegKey* out) override {
    *out = 0;
    if (!Valid(parent)) return false;
    const std::string full = handles[parent] + "\\" + path;
    if (Fails("OpenKey " + full) || !keys.count(Lower(full))) return false;
    *out = Handle(full);
    return true;
  }
  void CloseKey(RegKey key) override { handles.erase(key); }
  bool SetStringValue(RegKey key, const std::string& name, const std::string& data) override {
    if (!Valid(key)) return Note("SetStringValue <invalid> " + name), false;
    const std::string& full = handles[key];
    Note("SetStringValue " + full + " [" + name + "] = " + data);
    if (Fails("SetStringValue " + full + " [" + name + "]") || !keys.count(Lower(full)))
      return false;
    keys[Lower(full)].values[Lower(name)] = {name, data};
    return true;
  }
  bool QueryString(RegKey key, const std::string& name, std::size_t size,
                   std::string* out) override {
    if (!Valid(key)) return false;
    const std::string* v = Value(handles[key], name);
    if (!v || v->size() + 1 > size) return false;
    *out = *v;
    return true;
  }
  bool DeleteValue(RegKey key, const std::string& name) override {
    if (!Valid(key)) return Note("DeleteValue <invalid> [" + name + "]"), false;
    const std::string& full = handles[key];
    Note("DeleteValue " + full + " [" + name + "]");
    auto k = keys.find(Lower(full));
    if (Fails("DeleteValue " + full + " [" + name + "]") || k == keys.end()) return false;
    return k->second.values.erase(Lower(name)) != 0;
  }
  bool DeleteKey(RegKey parent, const std::string& path) override {
    if (!Valid(parent)) return Note("DeleteKey <invalid>\\" + path), false;
    const std::string full = handles[parent] + "\\" + path;
    Note("DeleteKey " + full);
    if (Fails("DeleteKey " + full) || !keys.count(Lower(full))) return false;
    // Like Windows 95: the key goes with everything under it.
    const std::string prefix = Lower(full);
    for (auto it = keys.begin(); it != keys.end();) {
      if (it->first == prefix || it->first.rfind(prefix + "\\", 0) == 0) {
        it = keys.erase(it);
      } else {
        ++it;
      }
    }
    return true;
  }
  KeyContent Content(RegKey parent, const std::string& path) override {
    if (!Valid(parent)) return KeyContent::kMissing;
    const std::string full = Lower(handles[parent] + "\\" + path);
    auto k = keys.find(full);
    if (k == keys.end()) return KeyContent::kMissing;
    if (!k->second.values.empty()) return KeyContent::kNotEmpty;
    for (const auto& [name, key] : keys) {
      if (name.rfind(full + "\\", 0) == 0) return KeyContent::kNotEmpty;
    }
    return KeyContent::kEmpty;
  }

  // --- files ---
  unsigned StatFile(const std::string& path) override {
    auto e = statErrors.find(K(path));
    if (e != statErrors.end()) return e->second;
    return HasFile(path) ? 0 : 2;
  }
  PathKind Kind(const std::string& path) override {
    if (HasDir(path)) return PathKind::kDirectory;
    return HasFile(path) ? PathKind::kFile : PathKind::kMissing;
  }
  bool DeleteFile(const std::string& path) override {
    Note("DeleteFile " + path);
    if (Fails("DeleteFile " + path)) return false;
    return files.erase(K(path)) != 0;
  }
  bool CopyFile(const std::string& from, const std::string& to) override {
    Note("CopyFile " + from + " -> " + to);
    if (Fails("CopyFile " + from) || !HasFile(from) || !HasDir(Parent(to))) return false;
    files[K(to)] = File{files[K(from)].data, false};
    return true;
  }
  bool SetHiddenArchive(const std::string& path) override {
    Note("SetHiddenArchive " + path);
    if (!HasFile(path)) return false;
    files[K(path)].hiddenArchive = true;
    return true;
  }
  bool CreateDirectory(const std::string& path) override {
    Note("CreateDirectory " + path);
    if (Fails("CreateDirectory " + path) || path.empty() || Kind(path) != PathKind::kMissing ||
        !HasDir(Parent(path))) {
      return false;
    }
    dirs.insert(K(path));
    return true;
  }
  bool RemoveDirectory(const std::string& path) override {
    Note("RemoveDirectory " + path);
    const std::string p = K(path) + "\\";
    for (const auto& [name, f] : files) {
      if (name.rfind(p, 0) == 0) return false;
    }
    for (const auto& d : dirs) {
      if (d.rfind(p, 0) == 0 && d != p) return false;
    }
    return dirs.erase(K(path)) != 0;
  }
  bool SetCurrentDirectory(const std::string& path) override {
    Note("SetCurrentDirectory " + path);
    currentDirectory = path;
    return true;
  }
  std::string CurrentDirectory() override { return currentDirectory; }
  std::string WindowsDirectory() override { return windowsDirectory; }
  bool ShortPath(const std::string& path, std::string* out) override {
    if (Kind(path) == PathKind::kMissing) return false;
    auto s = shortNames.find(K(path));
    *out = s == shortNames.end() ? path : s->second;
    return true;
  }
  // As the system resolves typed paths; every drive but the current one is at its root.
  std::string FullPath(const std::string& path) override {
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return path;
    const std::string here = currentDirectory.size() > 3 && currentDirectory.back() == '\\'
                                 ? currentDirectory.substr(0, currentDirectory.size() - 1)
                                 : currentDirectory;
    if (!path.empty() && path[0] == '\\') return here.substr(0, 2) + path;
    if (path.size() >= 2 && path[1] == ':') {
      const std::string rest = path.substr(2);
      if (Lower(path.substr(0, 1)) == Lower(here.substr(0, 1)))
        return here + (here.back() == '\\' ? "" : "\\") + rest;
      return path.substr(0, 2) + "\\" + rest;
    }
    if (path.empty()) return path;
    return here + (here.back() == '\\' ? "" : "\\") + path;
  }
  unsigned InstallFile(const std::string& diskName, const std::string& installedName,
                       const std::string& sourceDir, const std::string& destDir) override {
    Note("InstallFile " + diskName + " -> " + installedName);
    const std::string from = sourceDir + diskName;
    if (Fails("InstallFile " + diskName) || !HasFile(from) || !HasDir(destDir)) return 0x100;
    files[K(destDir + "\\" + installedName)] = File{"expanded " + files[K(from)].data};
    return 0;
  }

  // --- system ---
  std::string CommandLine() override { return commandLine; }
  bool UserName(std::string* out) override {
    if (!userKnown) return false;
    *out = userName;
    return true;
  }
  void* LoadLibrary(const std::string& path) override {
    Note("LoadLibrary " + path);
    return HasFile(path) && !Fails("LoadLibrary " + path) ? this : nullptr;
  }
  void FreeLibrary(void*) override { Note("FreeLibrary"); }
  bool RunAndWait(const std::string& path) override {
    Note("RunAndWait " + path + " in " + currentDirectory);
    return HasFile(path);
  }
  long CreateStartMenuShortcut(const std::string& target, const std::string& link,
                               const std::string& description) override {
    Note("CreateStartMenuShortcut " + link);
    if (shortcutsThatFail.count(K(link)) || !HasDir(Parent(link))) return -2147467259L;
    files[K(link)].data = target + "|" + description;
    return 0;
  }

  static std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return "";
    return slash == 2 ? path.substr(0, 3) : path.substr(0, slash);
  }
  void AddDirs(const std::string& path) {  // every level of a path
    for (std::size_t i = 3; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '\\') dirs.insert(Lower(path.substr(0, i)));
    }
  }

 private:
  std::map<RegKey, std::string> handles;
  RegKey next = 1;
  RegKey Handle(const std::string& path) {
    handles[next] = path;
    return next++;
  }
  bool Valid(RegKey k) const { return k != 0 && handles.count(k) != 0; }
  bool Fails(const std::string& op) const { return failing.count(op) != 0; }
  void Note(const std::string& line) { log.push_back(line); }
  void MakeKeyPath(const std::string& full) {
    for (std::size_t i = 0; i <= full.size(); ++i) {
      if (i == full.size() || full[i] == '\\') keys[Lower(full.substr(0, i))];
    }
  }
};

}  // namespace brind::setup::test
