// brindlewood-charmap's work, apart from its command line: a map file shown as a table, checked
// line by line as the programs read it, written whole or not at all, and names converted.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "charmap/CharMap.h"

namespace brind::cli {

// The 128 entries as a table: Macintosh code, Windows code, both characters in UTF-8.
std::string FormatMapTable(const CharMap& map);

// A map file is small: 128 lines of about 30 bytes. More than this is not a map file, and is
// not read into memory (/dev/zero, a disk image given by mistake).
inline constexpr size_t kMapFileReadLimit = 64 * 1024;

// Reads a map file as the programs do, into a table that starts zero-filled (a program's table
// before it loads anything). Only a regular file (a link is followed) of at most
// kMapFileReadLimit bytes is read; a FIFO or a device is refused without waiting on it or
// reading from it. False, with the reason, naming the file as `name` (the path when empty).
bool ReadMapFile(const std::string& path, CharMap& map, std::string& bytes, std::string& error,
                 const std::string& name = "");

// ReadMapFile, and then the file must be read as it is written: not empty, and none of the
// problems CheckMapFile knows. The reason names the first problem.
bool ReadCheckedMapFile(const std::string& path, CharMap& map, std::string& error,
                        const std::string& name = "");

struct Finding {
  unsigned line = 0;    // line of the file, 0 for the file as a whole
  bool problem = true;  // false: a remark that changes nothing of what is read
  std::string text;
};
// What a reader makes of the file that its writer would not have meant: lines skipped, shifted
// or reduced modulo 256, lines past the 128th, entries left unread, and tables the editor would
// never make (a Windows character targeted twice, a 0).
std::vector<Finding> CheckMapFile(std::string_view bytes);

// The system calls a write makes, replaceable so that a test can fail any of them.
struct MapFileCalls {
  int (*makeTemp)(char*) = ::mkstemp;
  int (*changeOwner)(int, uid_t, gid_t) = ::fchown;
  int (*changeMode)(int, mode_t) = ::fchmod;
  int (*sync)(int) = ::fsync;
  int (*renameFile)(const char*, const char*) = std::rename;
};

// Writes the table through a temporary file beside the file and renames it over the file, so it
// holds the old map or the whole new one, never a part. Only a regular file is written: a
// symbolic link is followed and its target replaced (the link stays); a directory, device, FIFO
// or socket, a dangling link, and (without replace) any existing path are refused with nothing
// changed. A replaced file keeps its mode and owner; termination signals wait until the
// temporary file is renamed or removed.
bool WriteMapFileAtomically(const std::string& path, const CharMap& map, bool replace,
                            std::string& error, const MapFileCalls& calls = {});

// "a directory", "a FIFO", ... for a file mode that is not a regular file's.
const char* FileKindName(mode_t mode);

// Bytes given as hex digits: "80 41 A5", "8041a5" or "0x80,0x41".
bool ParseHexBytes(std::string_view text, std::string& out, std::string& error);
std::string HexBytes(std::string_view bytes);

}  // namespace brind::cli
