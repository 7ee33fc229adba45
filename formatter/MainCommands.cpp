#include "formatter/MainCommands.h"

#include <cstring>

#include "disk/DiskStatus.h"
#include "formatter/ResourceIds.h"

namespace brind {

namespace {
constexpr char kUtilityCaption[] = "Brindlewood Utility";
}  // namespace

unsigned MainCommands::Start(const StartRequest& request, char* drivePath) {
  commandLineMode_ = false;
  switch (request.action) {
    case StartAction::kOptions:
      commandLineMode_ = true;
      return IDM_OPTIONS;
    case StartAction::kFormat:
      commandLineMode_ = true;
      std::memcpy(drivePath, request.drivePath, 3);
      return IDM_FORMAT;
    case StartAction::kNormal:
      break;
  }
  return 0;
}

bool MainCommands::Run(unsigned id) {
  switch (id) {
    case IDM_FORMAT:
      Format();
      return true;
    case IDM_EXIT:
      shell_.Quit();
      return true;
    case IDM_OPTIONS:
      Options();
      return true;
    case IDM_HELP_CONTENTS:
    case IDM_HELP_SEARCH:
      Help();
      return true;
    case IDM_ABOUT:
      shell_.RunAboutBox();
      return true;
    default:
      return false;
  }
}

void MainCommands::Format() {
  // Each Format command works on a fresh handle of the driver's control device.
  if (driver_.IsOpen()) driver_.Close();
  const uint32_t error = driver_.Open();
  if (error != 0) {
    prompts_.Show(error == kErrorNotSupported
                      ? "Device does not support Device IOCTL"
                      : "Brindlewood driver for Windows 95 is not installed",
                  "Brindlewood Format", kMbOk | kMbIconError, PromptOwner::kMainWindow);
    if (commandLineMode_) shell_.Quit();
    return;
  }
  if (!shell_.RunFormatDialog()) {
    driver_.Close();
    return;
  }
  shell_.RepaintMainWindow();
  if (commandLineMode_) shell_.Quit();
}

bool MainCommands::ReadInstallDir(char (&installDir)[kRegistryValueBytes]) {
  return ReadRegistryValue(registry_, prompts_, kUtilityCaption, kValueInstallDir, installDir);
}

void MainCommands::Options() {
  char installDir[kRegistryValueBytes];
  if (ReadInstallDir(installDir)) {
    shell_.RunOptionsSheet();
  } else {
    prompts_.Show("Brindlewood for Windows 95 is not installed. Please install from setup disk",
                  nullptr, kMbOk | kMbIconError, PromptOwner::kMainWindow);
  }
  if (commandLineMode_) shell_.Quit();
}

void MainCommands::Help() {
  char installDir[kRegistryValueBytes];
  if (!ReadInstallDir(installDir)) {
    prompts_.Show("Brindlewood Driver for Windows 95 is not installed", "Brindlewood Format",
                  kMbOk | kMbIconError, PromptOwner::kMainWindow);
    return;
  }
  // installDir is terminated within its capacity, so the path always fits.
  static constexpr char kHelpFile[] = "\\Brindlewood.hlp";
  char helpPath[kRegistryValueBytes + sizeof kHelpFile];
  const size_t length = std::strlen(installDir);
  std::memcpy(helpPath, installDir, length);
  std::memcpy(helpPath + length, kHelpFile, sizeof kHelpFile);
  shell_.OpenHelpContents(helpPath);
}

}  // namespace brind
