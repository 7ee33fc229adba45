#include "setup/SetupRules.h"

#include "setup/SetupHost.h"

namespace brind::setup {

std::string SourceDirFromCommandLine(const std::string& line) {
  auto cut = [](const std::string& s, std::size_t n) {
    return s.size() > n ? s.substr(0, s.size() - n) : std::string();
  };
  if (line.size() >= 2 && line[1] == ':') return cut(line, 9);  // less "SETUP.EXE"
  if (line.empty()) return {};
  return cut(line.substr(1), 11);  // less "SETUP.EXE\" "
}

bool IsUninstallCommand(const std::string& line) {
  const std::size_t slash = line.find('/');
  if (slash == std::string::npos || slash + 1 >= line.size()) return false;
  return line[slash + 1] == 'u' || line[slash + 1] == 'U';
}

char DriveOf(const std::string& path, const std::string& currentDirectory) {
  if (path.size() >= 2 && path[1] == ':') return path[0];
  if (currentDirectory.size() >= 2 && currentDirectory[1] == ':') return currentDirectory[0];
  return 0;
}

bool RunsFromFloppy(const std::string& line, const std::string& currentDirectory) {
  char drive = 0;
  if (line.size() >= 3 && line[2] == ':') {
    drive = line[1];
  } else if (!currentDirectory.empty()) {
    drive = currentDirectory[0];
  }
  return IsFloppyDrive(drive);
}

std::string CleanupArgument(const std::string& entry) {
  const std::size_t blank = entry.rfind(' ');
  return blank == std::string::npos ? std::string() : entry.substr(blank + 1);
}

std::string DirectoryKey(const std::string& path) {
  std::string key = path;
  while (key.size() > 1 && key.back() == '\\' && !(key.size() == 3 && key[1] == ':')) {
    key.pop_back();
  }
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

bool SameDirectory(SetupFiles& files, const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (DirectoryKey(a) == DirectoryKey(b)) return true;
  std::string shortA, shortB;
  return files.ShortPath(a, &shortA) && files.ShortPath(b, &shortB) &&
         DirectoryKey(shortA) == DirectoryKey(shortB);
}

}  // namespace brind::setup
