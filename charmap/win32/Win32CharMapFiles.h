// CHARMAP.MAC on a Windows file system: created with the hidden attribute.
#pragma once

#include "charmap/CharMapStore.h"

namespace brind {

class Win32CharMapFiles : public CharMapFiles {
 public:
  std::FILE* OpenRead(const char* path) override;
  bool CreateHidden(const char* path) override;
  std::FILE* OpenWrite(const char* path) override;
};

}  // namespace brind
