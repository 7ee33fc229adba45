#include "setup/SetupFileTable.h"

namespace brind::setup {

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
