// brindlewood-charmap: the character map file CHARMAP.MAC from Linux.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "charmap/CharMap.h"
#include "charmap/NameConversion.h"
#include "cli/CharmapTool.h"
#include "cli/Cp1252.h"
#include "cli/MacRoman.h"
#include "common/PrintableText.h"

namespace {

using namespace brind;
using namespace brind::cli;

constexpr const char* kProgram = "brindlewood-charmap";

constexpr const char* kFooter = R"(
CHARMAP.MAC says which Windows character stands for each of the 128 extended
Macintosh characters (0x80-0xFF): 128 lines "The Mac <code> is mapped To
<value>" in decimal, ending in CR LF; the value 1 means not mapped. A Macintosh
character that is not mapped keeps its own code in Windows names, written
behind "_" when that Windows character stands for another Macintosh one.

Files are read as the Windows programs read them: at most 44 characters make a
line (the rest of a longer one is the next line), the last number on a line
is its value modulo 256, a line without digits changes nothing, lines past the
128th are ignored. "check" tells where a file is read otherwise than it looks.

Names are given and printed in UTF-8: Macintosh names in the Macintosh
character set, Windows names in code page 1252. With --hex-in a name is given
as hex bytes ("80 41 A5"), with --hex it is printed so.

Files are read only when they are regular files of at most 64 KB (a symbolic
link is followed); an empty file name is refused. "default" writes only a regular file, whole or not at all (a
temporary file renamed over the old, with the old file's mode and owner); a
symbolic link is followed and the file it points to is replaced, the link
kept. A directory, device, FIFO, socket or dangling link is refused, as are a
file whose permissions forbid writing it and an existing file without --force,
and nothing is changed.

Names are printed with every control character as \xNN (and "\" as \x5C);
--hex prints the bytes themselves.

Exit status: 0 on success (for "check": nothing found), 1 when "check" finds
something, 2 on an error.)";

void Error(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str()); }

bool LoadMap(const std::string& path, CharMap& map) {
  if (path.empty()) {
    map = DefaultCharMap;
    return true;
  }
  std::string bytes, error;
  if (!ReadMapFile(path, map, bytes, error)) {
    Error(error);
    return false;
  }
  return true;
}

struct NameOptions {
  std::string name, map;
  bool hexIn = false, hexOut = false;
};

int ConvertName(const NameOptions& o, bool toWindows) {
  CharMap map;
  if (!LoadMap(o.map, map)) return 2;
  std::string bytes, error;
  const bool ok = o.hexIn     ? ParseHexBytes(o.name, bytes, error)
                  : toWindows ? Utf8ToMac(o.name, bytes, error)
                              : Utf8ToCp1252(o.name, bytes, error);
  if (!ok) {
    Error("the name \"" + o.name + "\" " + error);
    return 2;
  }
  if (bytes.find('\0') != std::string::npos) {
    Error("a name cannot hold the byte 00");
    return 2;
  }
  const size_t length = bytes.size();
  std::string buffer(WindowsNameCapacity(length), '\0');
  bytes.copy(buffer.data(), length);
  const size_t n = toWindows ? MacToWindowsNameWith(map, buffer.data(), length, buffer.size())
                             : WindowsToMacNameWith(map, buffer.data(), length);
  buffer.resize(n);
  // A name can hold control bytes: printed as \xNN (--hex gives the bytes themselves).
  const std::string shown = o.hexOut    ? HexBytes(buffer)
                            : toWindows ? PrintableUtf8(Cp1252ToUtf8(buffer))
                                        : PrintableUtf8(MacToUtf8(buffer));
  std::printf("%s\n", shown.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Show, write, check and apply Brindlewood character map files (CHARMAP.MAC).",
               kProgram};
  app.footer(kFooter);
  app.set_version_flag("--version", std::string(kProgram) + " " + BRIND_VERSION);
  app.require_subcommand(1);

  // An empty name is no file: refused rather than taken as "no file given".
  const auto named = [](const std::string& file) {
    return file.empty() ? std::string("an empty name names no file") : std::string();
  };

  std::string showFile;
  auto* show =
      app.add_subcommand("show", "Print a map file as a table (the defaults without FILE)");
  show->add_option("FILE", showFile, "Map file")->check(named);

  std::string defaultFile;
  bool force = false;
  auto* def = app.add_subcommand(
      "default", "Write the default map to FILE (a regular file; a link's target is replaced)");
  def->add_option("FILE", defaultFile, "File to write, such as CHARMAP.MAC")
      ->required()
      ->check(named);
  def->add_flag("-f,--force", force, "Replace FILE if it exists");

  std::string checkFile;
  auto* check = app.add_subcommand("check",
                                   "Report lines that a reader would skip, shift or "
                                   "reduce modulo 256, and entries it would not set");
  check->add_option("FILE", checkFile, "Map file")->required()->check(named);

  NameOptions toWin, toMac;
  auto* win = app.add_subcommand("to-windows", "Convert a Macintosh name to its Windows form");
  auto* mac = app.add_subcommand("to-mac", "Convert a Windows name to its Macintosh form");
  for (auto [cmd, o] : {std::pair{win, &toWin}, std::pair{mac, &toMac}}) {
    cmd->add_option("NAME", o->name, "The name (UTF-8, or hex bytes with --hex-in)")->required();
    cmd->add_option("-m,--map", o->map, "Map file (default: the built-in default map)")
        ->check(named);
    cmd->add_flag("--hex-in", o->hexIn, "NAME is given as hex bytes");
    cmd->add_flag("--hex", o->hexOut, "Print the result as hex bytes");
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }

  if (show->parsed()) {
    CharMap map;
    if (!LoadMap(showFile, map)) return 2;
    std::fputs(FormatMapTable(map).c_str(), stdout);
    return 0;
  }
  if (def->parsed()) {
    std::string error;
    if (!WriteMapFileAtomically(defaultFile, DefaultCharMap, force, error)) {
      Error(error + ". Nothing was written.");
      return 2;
    }
    return 0;
  }
  if (check->parsed()) {
    CharMap map;
    std::string bytes, error;
    if (!ReadMapFile(checkFile, map, bytes, error)) {
      Error(error);
      return 2;
    }
    int problems = 0;
    for (const Finding& f : CheckMapFile(bytes)) {
      if (f.problem) ++problems;
      if (f.line) {
        std::printf("%s:%u: line %u %s\n", checkFile.c_str(), f.line, f.line, f.text.c_str());
      } else {
        std::printf("%s: %s\n", checkFile.c_str(), f.text.c_str());
      }
    }
    if (!problems)
      std::printf("%s: read as written: 128 entries, one per line\n", checkFile.c_str());
    return problems ? 1 : 0;
  }
  if (win->parsed()) return ConvertName(toWin, true);
  return ConvertName(toMac, false);
}
