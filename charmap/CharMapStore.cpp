#include "charmap/CharMapStore.h"

#include "charmap/CharMapFile.h"

namespace brind {

CharMap ProgramCharMap{};

const DriverMessages kUtilityDriverMessages = {
    "Device does not supports deviceIO",
    kMbOk | kMbIconError,
    "Unable to open Brindlewood file system driver",
    kMbOk | kMbIconError,
    "Error in passing character map table to file system driver",
    kMbOk | kMbIconError,
    PromptOwner::kActiveDialog,
};

bool FindCharMapFile(CharMapStore& store, char (&path)[kCharMapPathBytes]) {
  char dir[kRegistryValueBytes];
  path[0] = 0;
  if (!ReadRegistryValue(store.registry, store.prompts, store.registryCaption, kValueInstallDir,
                         dir)) {
    return false;
  }
  return CharMapPath(dir, path, sizeof path);
}

bool LoadCharMap(CharMapStore& store) {
  char path[kCharMapPathBytes];
  if (!FindCharMapFile(store, path)) return false;
  if (std::FILE* f = store.files.OpenRead(path)) {
    store.map.fill(0);
    ReadCharMapFile(store.map, f);
    std::fclose(f);
    return true;
  }
  store.files.CreateHidden(path);
  ResetCharMap(store.map);
  if (std::FILE* f = store.files.OpenWrite(path)) {
    WriteCharMapFile(store.map, f);
    std::fclose(f);
  }
  return true;
}

SendResult SendCharMapToDriver(const CharMap& map, DriverPort& driver, UserPrompts& prompts,
                               const DriverMessages& messages) {
  if (const uint32_t error = driver.Open()) {
    if (error == 50) {
      prompts.Show(messages.notSupported, nullptr, messages.notSupportedFlags, messages.owner);
      return SendResult::kNotSupported;
    }
    prompts.Show(messages.cannotOpen, nullptr, messages.cannotOpenFlags, messages.owner);
    return SendResult::kCannotOpen;
  }
  const uint32_t result = driver.SetCharMap(map.data());
  driver.Close();
  if (result != 0) {
    prompts.Show(messages.refused, nullptr, messages.refusedFlags, messages.owner);
    return SendResult::kRefused;
  }
  return SendResult::kSent;
}

}  // namespace brind
