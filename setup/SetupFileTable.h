// The files setup installs and removes, and the path helper that names them.
#pragma once

#include <cstdint>
#include <string>

namespace brind::setup {

struct SetupFile {
  const char* installedName;
  const char* diskName;  // ends in "_" when the file lies compressed on the setup disk
  std::uint32_t size;    // what the row adds to the progress bar
};

inline constexpr int kSetupFileCount = 16;
inline constexpr int kLastCopiedRow = 11;    // rows 0..11 are copied
inline constexpr int kLastRequiredRow = 5;   // rows 0..5 must be on the disk
inline constexpr int kFirstOptionalRow = 6;  // rows 6..11 are skipped when missing
inline constexpr int kProgramRow = 4;        // copied to its long name afterwards
inline constexpr int kHelpRow = 5;
inline constexpr int kLongNameOffset = 9;  // rows 4 and 5 are shown under rows 13 and 14

extern const SetupFile SetupFileTable[kSetupFileCount];

// dir + "\" + name; no separator after an empty directory or one ending in "\" or ":".
std::string JoinPath(const std::string& dir, const std::string& name);

// Sum of rows 0..15 when the registration program is on the disk, else of rows 0..5.
std::uint32_t TotalBytes(bool enlistOnDisk);

// The text PROGRESS shows for a row: the destination under the row's display name, cut to 49
// characters ("<start of dir>...\<name>") when longer.
std::string DisplayText(const std::string& installDirectory, int row);

}  // namespace brind::setup
