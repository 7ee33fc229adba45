// Small rules of the setup flow that depend only on strings.
#pragma once

#include <string>

namespace brind::setup {

// The directory of the running setup program, ending in "\": from "A:\SETUP.EXE" or from
// "\"A:\SETUP.EXE\" " (quoted, with the trailing blank). Other forms give what is left.
std::string SourceDirFromCommandLine(const std::string& commandLine);

// The first "/" decides: followed by "u" or "U" the run removes.
bool IsUninstallCommand(const std::string& commandLine);

// The drive a run or a path is on: the letter before a ":" in second place, else the current
// directory's drive, else 0.
char DriveOf(const std::string& path, const std::string& currentDirectory);

inline bool IsFloppyDrive(char letter) {
  return letter == 'A' || letter == 'a' || letter == 'B' || letter == 'b';
}

// A removal runs from a floppy when the program's drive (from a quoted command line) or else the
// current directory's drive is A or B.
bool RunsFromFloppy(const std::string& commandLine, const std::string& currentDirectory);

// The argument of a clean-up entry: the text after its last blank.
std::string CleanupArgument(const std::string& entry);

// A directory's text as Windows compares it: without case and without a trailing backslash (a
// drive's root keeps its own).
std::string DirectoryKey(const std::string& path);

class SetupFiles;
// Whether two texts name the same directory: equal as Windows compares them, or with equal short
// forms (a long name and its 8.3 alias).
bool SameDirectory(SetupFiles& files, const std::string& a, const std::string& b);

}  // namespace brind::setup
