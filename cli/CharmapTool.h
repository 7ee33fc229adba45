// brindlewood-charmap's work, apart from its command line: a map file shown as a table, checked
// line by line as the programs read it, written whole or not at all, and names converted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "charmap/CharMap.h"

namespace brind::cli {

// The 128 entries as a table: Macintosh code, Windows code, both characters in UTF-8.
std::string FormatMapTable(const CharMap& map);

// Reads a map file as the programs do, into a table that starts zero-filled (a program's table
// before it loads anything). False, with the reason, when the file can't be read.
bool ReadMapFile(const std::string& path, CharMap& map, std::string& bytes, std::string& error);

struct Finding {
  unsigned line = 0;    // line of the file, 0 for the file as a whole
  bool problem = true;  // false: a remark that changes nothing of what is read
  std::string text;
};
// What a reader makes of the file that its writer would not have meant: lines skipped, shifted
// or reduced modulo 256, lines past the 128th, entries left unread, and tables the editor would
// never make (a Windows character targeted twice, a 0).
std::vector<Finding> CheckMapFile(std::string_view bytes);

// Writes the table through a temporary file in the same folder and renames it over path, so
// path holds the old file or the whole new one, never a part.
bool WriteMapFileAtomically(const std::string& path, const CharMap& map, std::string& error);

// Bytes given as hex digits: "80 41 A5", "8041a5" or "0x80,0x41".
bool ParseHexBytes(std::string_view text, std::string& out, std::string& error);
std::string HexBytes(std::string_view bytes);

}  // namespace brind::cli
