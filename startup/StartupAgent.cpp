#include "startup/StartupAgent.h"

#include <cstring>

#include "charmap/CharMapFile.h"
#include "common/Bytes.h"

namespace brind {

const DriverMessages kAgentDriverMessages = {
    "Device Does not supports deviceIO", kMbOk,
    "Unable to open Brindlewood driver", kMbOk,
    "Error : Passing Table To Fsd",      kMbOk | kMbIconError,
    PromptOwner::kActiveDialog,
};

bool RunStartupChecks(DriverPort& driver, ProductRegistry& registry, UserPrompts& prompts) {
  if (const uint32_t error = driver.Open()) {
    if (error == 50) {
      prompts.Show("Device does not support Device IOCTL", "Unable to open Brindlewood driver ",
                   kMbOk | kMbIconError, PromptOwner::kFocusWindow);
    } else {
      prompts.Show(
          "Brindlewood driver for Windows 95 is not installed. Try reinstalling Brindlewood from "
          "the setup diskette",
          "Brindlewood", kMbOk | kMbIconError, PromptOwner::kFocusWindow);
    }
    return false;
  }
  char value[kRegistryValueBytes];
  const bool owner = ReadRegistryValue(registry, prompts, kAgentCaption, kValueOwner, value);
  const bool company =
      ReadRegistryValue(registry, prompts, kAgentCaption, "Registered company", value);
  if (!owner || !company) {
    prompts.Show(
        "Brindlewood for Windows 95 is not properly installed.\n Try reinstalling from the Setup "
        "diskette.",
        kAgentCaption, kMbOk | kMbIconInformation, PromptOwner::kFocusWindow);
    return false;
  }
  return true;
}

AgentMapResult SendAgentCharMap(CharMap& map, ProductRegistry& registry, CharMapFiles& files,
                                DriverPort& driver, UserPrompts& prompts) {
  char dir[kRegistryValueBytes];
  if (!ReadRegistryValue(registry, prompts, kAgentCaption, kValueInstallDir, dir)) {
    return AgentMapResult::kNoInstallDir;
  }
  // The agent keeps its path in 256 bytes; an installation directory too long for it is refused
  // like a missing one: cutting it would open another file.
  char path[kAgentCharMapPathBytes];
  if (!CharMapPath(dir, path, sizeof path)) return AgentMapResult::kNoInstallDir;
  std::FILE* file = files.OpenRead(path);
  if (!file) return AgentMapResult::kNoFile;
  ReadCharMapFile(map, file);
  AgentMapResult result = AgentMapResult::kSent;
  switch (SendCharMapToDriver(map, driver, prompts, kAgentDriverMessages)) {
    case SendResult::kSent:
      break;
    case SendResult::kNotSupported:
      result = AgentMapResult::kDriverNotSupported;
      break;
    case SendResult::kCannotOpen:
      result = AgentMapResult::kDriverMissing;
      break;
    case SendResult::kRefused:
      result = AgentMapResult::kRefused;
      break;
  }
  std::fclose(file);
  return result;
}

namespace {

size_t CutLine(const char* value, char (&out)[kSplashLineChars + 1]) {
  size_t n = 0;
  while (n < kSplashLineChars && value[n]) {
    out[n] = value[n];
    ++n;
  }
  out[n] = 0;
  return n;
}

}  // namespace

SplashLines ReadSplashLines(ProductRegistry& registry, UserPrompts& prompts) {
  SplashLines lines;
  char value[kRegistryValueBytes];
  const bool owner = ReadRegistryValue(registry, prompts, kAgentCaption, kValueOwner, value);
  if (owner) lines.ownerLength = CutLine(value, lines.owner);
  const bool company = ReadRegistryValue(registry, prompts, kAgentCaption, kValueCompany, value);
  if (company) lines.companyLength = CutLine(value, lines.company);
  lines.complete = owner && company;
  return lines;
}

void TellNotProperlyInstalled(UserPrompts& prompts) {
  prompts.Show("Brindlewood is not properly installed. Reinstall from the setup diskette",
               kAgentCaption, kMbOk | kMbIconInformation, PromptOwner::kActiveDialog);
}

DibLayout ParseDib(const uint8_t* data, size_t size) {
  DibLayout dib;
  if (size < 40) return dib;
  const uint32_t headerSize = GetU32LE(data);
  if (headerSize < 40 || headerSize > size) return dib;
  dib.width = static_cast<int32_t>(GetU32LE(data + 4));
  dib.height = static_cast<int32_t>(GetU32LE(data + 8));
  dib.bitsPerPixel = GetU16LE(data + 14);
  dib.compression = GetU32LE(data + 16);
  const uint32_t sizeImage = GetU32LE(data + 20);
  const uint32_t colorsUsed = GetU32LE(data + 32);
  if (headerSize == 40 && colorsUsed != 0) {
    dib.colors = colorsUsed;
  } else {
    switch (dib.bitsPerPixel) {
      case 1:
        dib.colors = 2;
        break;
      case 4:
        dib.colors = 16;
        break;
      case 8:
        dib.colors = 256;
        break;
      default:
        dib.colors = 0;
        break;
    }
  }
  if (dib.width <= 0 || dib.height == 0 || dib.width > 0x8000 || dib.height > 0x8000 ||
      dib.height < -0x8000 || dib.colors > 256) {
    return dib;
  }
  dib.colorTableOffset = headerSize;
  dib.bitsOffset = headerSize + 4 * size_t{dib.colors};
  if (dib.bitsOffset > size) return dib;
  // The bits must all be there: the row size for plain bits, the stated size for compressed.
  const size_t rows = static_cast<size_t>(dib.height < 0 ? -dib.height : dib.height);
  const size_t stride = ((size_t(dib.width) * dib.bitsPerPixel + 31) / 32) * 4;
  const size_t bits = dib.compression == 0 ? stride * rows : sizeImage;
  if (bits == 0 || bits > size - dib.bitsOffset) return dib;
  dib.valid = true;
  return dib;
}

void PaletteEntry(const uint8_t* data, const DibLayout& dib, uint32_t i, uint8_t (&rgbf)[4]) {
  const uint8_t* quad = data + dib.colorTableOffset + 4 * size_t{i};
  rgbf[0] = quad[2];
  rgbf[1] = quad[1];
  rgbf[2] = quad[0];
  rgbf[3] = 0;
}

Point SplashOrigin(int fullScreenWidth, int fullScreenHeight, int width, int height) {
  return {(fullScreenWidth - width) / 2, (fullScreenHeight - height) / 2};
}

}  // namespace brind
