// Copies the tree of an HFS volume into a Linux folder: data forks as files, resource forks and
// Finder information as AppleDouble "._NAME" files beside them (or each file as one MacBinary
// III file), modification times kept. The volume is untrusted: every file is created relative
// to its folder's descriptor, exclusively and without following links, under a name that can
// only ever name an entry of that folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hfs/Findings.h"
#include "hfs/VolumeReader.h"

namespace brind::cli {

struct ExtractOptions {
  bool macbinary = false;  // one MacBinary III file NAME.bin per file instead of NAME + ._NAME
  bool list = false;       // one line per folder and file written, in `listing`
};

struct ExtractResult {
  uint32_t files = 0, folders = 0;  // written (a file whose forks were cut short included)
  uint32_t notWritten = 0;          // entries of the catalog not written at all
  uint64_t bytes = 0;               // fork bytes written
  std::vector<std::string> listing;
};

// The name a Macintosh name takes in a Linux folder: Macintosh characters as UTF-8, "/" as ":",
// and whatever could not be a single safe entry name escaped as \xNN: control characters and
// NUL, ":" itself, "." and "..", an empty name, and a "\" that would read as such an escape.
std::string LinuxName(std::string_view mac);

// Extracts the loaded catalog of reader into the folder dirFd (which it sets to the root's
// modification time). What cannot be read or written is reported to findings as an error for
// that entry; the rest goes on.
ExtractResult ExtractTree(VolumeReader& reader, int dirFd, const ExtractOptions& options,
                          Findings& findings);

}  // namespace brind::cli
