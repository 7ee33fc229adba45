// A program's character map together with where it comes from (the installation directory in the
// registry, CHARMAP.MAC in it) and where it goes (the file-system driver).
#pragma once

#include <cstddef>
#include <cstdio>

#include "charmap/CharMap.h"
#include "charmap/ProductRegistry.h"
#include "common/UserPrompts.h"
#include "disk/DriverPort.h"

namespace brind {

// The files the map is kept in. Streams are binary: the line ends are written explicitly.
class CharMapFiles {
 public:
  virtual ~CharMapFiles() = default;
  virtual std::FILE* OpenRead(const char* path) = 0;
  // Creates the file empty and hidden (replacing any old one) and closes it at once.
  virtual bool CreateHidden(const char* path) = 0;
  // Opens an existing or new file for writing from the start, emptied; a hidden file stays hidden.
  virtual std::FILE* OpenWrite(const char* path) = 0;
};

// "<InstallDir>\CHARMAP.MAC" for every installation directory the registry reading accepts.
inline constexpr size_t kCharMapPathBytes = kRegistryValueBytes + sizeof "\\CHARMAP.MAC" - 1;

// The program's one character map: every entry 0 until CHARMAP.MAC is read into it. In Brindlewood
// Utility the format dialog converts volume names with it and the Options sheet edits it.
extern CharMap ProgramCharMap;

struct CharMapStore {
  CharMap& map;
  ProductRegistry& registry;
  CharMapFiles& files;
  UserPrompts& prompts;
  // Caption of "Could not open the System Registry".
  const char* registryCaption = "Brindlewood Utility";
};

// Reads InstallDir and builds the path of CHARMAP.MAC. False when either is impossible.
bool FindCharMapFile(CharMapStore& store, char (&path)[kCharMapPathBytes]);

// Refreshes the table from CHARMAP.MAC, starting from a cleared table: an entry the file does not
// set is 0 (not mapped), whatever an earlier editing left there. A missing file is created hidden
// with the defaults. Fails silently, the table unchanged, only when InstallDir can't be read.
bool LoadCharMap(CharMapStore& store);

// The texts a program shows when the driver can't be reached or refuses the table.
struct DriverMessages {
  const char* notSupported;  // the device exists but takes no control requests (error 50)
  unsigned notSupportedFlags;
  const char* cannotOpen;
  unsigned cannotOpenFlags;
  const char* refused;
  unsigned refusedFlags;
  PromptOwner owner;
};
extern const DriverMessages kUtilityDriverMessages;

enum class SendResult { kSent, kNotSupported, kCannotOpen, kRefused };

// Opens the driver, hands it the table and closes it again, telling the user what went wrong.
SendResult SendCharMapToDriver(const CharMap& map, DriverPort& driver, UserPrompts& prompts,
                               const DriverMessages& messages = kUtilityDriverMessages);

}  // namespace brind
