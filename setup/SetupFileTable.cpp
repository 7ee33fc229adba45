#include "setup/SetupFileTable.h"

namespace brind::setup {

const SetupFile SetupFileTable[kSetupFileCount] = {
    {"BrindFs.vxd", "BrindFs.vx_", 124616},
    {"Startup.exe", "Startup.ex_", 193024},
    {"Charmap.mac", "Charmap.ma_", 3784},
    {"Cleanup.exe", "Cleanup.ex_", 11264},
    {"Brindlew.exe", "Brindl~1.ex_", 216064},
    {"Brindlew.hlp", "Brindl~1.hl_", 265671},
    {"Enlist.exe", "Enlist.ex_", 45000},
    {"Enlist.ini", "Enlist.in_", 4427},
    {"Tarnlk32.dll", "Tarnlk32.dl_", 214528},
    {"Hazel32.dll", "Hazel32.dl_", 38400},
    {"Corvid32.dll", "Corvid32.dl_", 33792},
    {"Setup.exe", "Setup.ex_", 0},
    {"Brindlewood.gid", "Brindlewood.gi_", 0},
    {"Brindlewood Utility.exe", "Brindlewood Utility.exe", 0},
    {"Brindlewood.hlp", "Brindlewood.hlp", 0},
    {"Wrenbox.dat", "Wrenbox.dat", 0},
};

std::string JoinPath(const std::string& dir, const std::string& name) {
  std::string out = dir;
  if (!out.empty() && out.back() != '\\' && out.back() != ':') out += '\\';
  out += name;
  return out;
}

std::uint32_t TotalBytes(bool enlistOnDisk) {
  const int last = enlistOnDisk ? kSetupFileCount - 1 : kLastRequiredRow;
  std::uint32_t total = 0;
  for (int row = 0; row <= last; ++row) total += SetupFileTable[row].size;
  return total;
}

std::string DisplayText(const std::string& installDirectory, int row) {
  const int shown = (row == kProgramRow || row == kHelpRow) ? row + kLongNameOffset : row;
  const std::string name = SetupFileTable[shown].installedName;
  std::string text = JoinPath(installDirectory, name);
  constexpr std::size_t kLimit = 49;
  if (text.size() <= kLimit) return text;
  // Keep the name whole and as much of the directory as fits before "...\"; a name too long
  // for that keeps no directory at all rather than reading before the start of it.
  const std::size_t keep = name.size() < 45 ? 45 - name.size() : 0;
  return installDirectory.substr(0, keep) + "...\\" + name;
}

}  // namespace brind::setup
