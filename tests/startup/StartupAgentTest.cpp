#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "charmap/CharMapFile.h"
#include "startup/StartupAgent.h"
#include "tests/support/FakeCharMapFiles.h"
#include "tests/support/FakeDriverPort.h"
#include "tests/support/FakeProductRegistry.h"
#include "tests/support/MessageTexts.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind {
namespace {

using test::FakeCharMapFiles;
using test::FakeDriverPort;
using test::FakeProductRegistry;
using test::kNoDeviceIoctl;
using test::kNoSystemRegistry;
using test::ScriptedPrompts;

const std::string kNotInstalledAtStart =
    "Brindlewood for Windows 95 is not properly installed.\n Try reinstalling from the Setup "
    "diskette.";

TEST(RunStartupChecks, DriverAndRegistration) {
  struct Case {
    const char* what;
    uint32_t openError;
    bool unreachable;
    const char* owner;    // nullptr: absent
    const char* company;  // nullptr: absent
    bool result;
    std::vector<std::string> texts;
    std::vector<std::string> captions;
  };
  const std::string registry = kNoSystemRegistry;
  const std::string tooLong(512, 'o');  // with its NUL, one byte more than the 512 queried
  const Case cases[] = {
      {"all present", 0, false, "Ann", "Acme", true, {}, {}},
      {"driver does not take requests",
       50,
       false,
       "Ann",
       "Acme",
       false,
       {kNoDeviceIoctl},
       {"Unable to open Brindlewood driver "}},
      {"driver missing",
       2,
       false,
       "Ann",
       "Acme",
       false,
       {"Brindlewood driver for Windows 95 is not installed. Try reinstalling Brindlewood from "
        "the setup diskette"},
       {"Brindlewood"}},
      {"no owner",
       0,
       false,
       nullptr,
       "Acme",
       false,
       {kNotInstalledAtStart},
       {"Brindlewood For Windows 95"}},
      {"no company",
       0,
       false,
       "Ann",
       nullptr,
       false,
       {kNotInstalledAtStart},
       {"Brindlewood For Windows 95"}},
      {"registry unreachable: told for each value",
       0,
       true,
       "Ann",
       "Acme",
       false,
       {registry, registry, kNotInstalledAtStart},
       {"Brindlewood For Windows 95", "Brindlewood For Windows 95", "Brindlewood For Windows 95"}},
      {"an owner too long for the registry buffer counts as missing",
       0,
       false,
       tooLong.c_str(),
       "Acme",
       false,
       {kNotInstalledAtStart},
       {"Brindlewood For Windows 95"}},
  };
  for (const Case& c : cases) {
    FakeDriverPort driver;
    driver.openError = c.openError;
    FakeProductRegistry reg;
    reg.unreachable = c.unreachable;
    if (c.owner) reg.values["Registered Owner"] = c.owner;
    if (c.company) reg.values["Registered Company"] = c.company;
    ScriptedPrompts prompts;
    EXPECT_EQ(RunStartupChecks(driver, reg, prompts), c.result) << c.what;
    EXPECT_EQ(prompts.Texts(), c.texts) << c.what;
    for (size_t i = 0; i < prompts.shown.size() && i < c.captions.size(); ++i) {
      EXPECT_EQ(prompts.shown[i].caption, c.captions[i]) << c.what;
      EXPECT_EQ(prompts.shown[i].owner, PromptOwner::kFocusWindow) << c.what;
      const bool driverBox = c.openError != 0;
      EXPECT_EQ(prompts.shown[i].icon(), driverBox ? kMbIconError : kMbIconInformation) << c.what;
    }
    if (c.openError) {
      EXPECT_TRUE(reg.reads.empty()) << "the driver is checked first";
    } else {
      EXPECT_TRUE(driver.open) << "the device stays open for the program's life";
      EXPECT_EQ(driver.closes, 0);
    }
  }
  // One character fewer fits the query with its NUL and is accepted.
  FakeDriverPort driver;
  FakeProductRegistry reg;
  reg.values["Registered Owner"] = std::string(511, 'o');
  reg.values["Registered Company"] = "Acme";
  ScriptedPrompts prompts;
  EXPECT_TRUE(RunStartupChecks(driver, reg, prompts));
}

struct AgentMapTest : ::testing::Test {
  CharMap map{};
  FakeProductRegistry registry;
  FakeCharMapFiles files;
  FakeDriverPort driver;
  ScriptedPrompts prompts;
  std::string fileText;
  CharMap fileTable{};

  void SetUp() override {
    registry.values["InstallDir"] = "C:\\BRIND";
    for (int k = 0; k < 128; ++k) {
      fileTable[k] = uint8_t(255 - k);
      fileText += "The Mac " + std::to_string(128 + k) + " is mapped To " +
                  std::to_string(fileTable[k]) + "\r\n";
    }
  }
};

TEST_F(AgentMapTest, SendsTheFilesTable) {
  files.Put("C:\\BRIND\\CHARMAP.MAC", fileText);
  EXPECT_EQ(SendAgentCharMap(map, registry, files, driver, prompts), AgentMapResult::kSent);
  ASSERT_EQ(driver.tables.size(), 1u);
  EXPECT_EQ(driver.tables[0], fileTable);
  EXPECT_EQ(map, fileTable);
  EXPECT_EQ(driver.closes, 1);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(AgentMapTest, SilentStops) {
  // No InstallDir, an InstallDir too long for the 256-byte path, no file: nothing is sent,
  // nothing is shown, and no file is created.
  struct Case {
    const char* what;
    std::string installDir;
    bool file;
    AgentMapResult result;
  };
  const Case cases[] = {
      {"no InstallDir", "", false, AgentMapResult::kNoInstallDir},
      {"InstallDir too long", std::string(244, 'd'), true, AgentMapResult::kNoInstallDir},
      {"no CHARMAP.MAC", "C:\\BRIND", false, AgentMapResult::kNoFile},
  };
  for (const Case& c : cases) {
    FakeProductRegistry reg;
    if (!c.installDir.empty()) reg.values["InstallDir"] = c.installDir;
    FakeCharMapFiles f;
    if (c.file) f.Put(c.installDir + "\\CHARMAP.MAC", fileText);
    FakeDriverPort d;
    ScriptedPrompts p;
    CharMap m{};
    EXPECT_EQ(SendAgentCharMap(m, reg, f, d, p), c.result) << c.what;
    EXPECT_EQ(d.opens, 0) << c.what;
    EXPECT_TRUE(p.shown.empty()) << c.what;
    EXPECT_EQ(m, CharMap{}) << c.what;
    for (const std::string& call : f.calls) EXPECT_EQ(call.rfind("OpenRead ", 0), 0u) << c.what;
  }
}

TEST_F(AgentMapTest, DriverFailuresAreToldAndTheSplashGoesOn) {
  struct Case {
    uint32_t openError, setResult;
    AgentMapResult result;
    const char* text;
    unsigned flags;
  };
  const Case cases[] = {
      {50, 0, AgentMapResult::kDriverNotSupported, "Device Does not supports deviceIO", kMbOk},
      {2, 0, AgentMapResult::kDriverMissing, "Unable to open Brindlewood driver", kMbOk},
      {0, 7, AgentMapResult::kRefused, "Error : Passing Table To Fsd", kMbOk | kMbIconError},
  };
  files.Put("C:\\BRIND\\CHARMAP.MAC", fileText);
  for (const Case& c : cases) {
    FakeDriverPort d;
    d.openError = c.openError;
    d.setCharMapResult = c.setResult;
    ScriptedPrompts p;
    CharMap m{};
    EXPECT_EQ(SendAgentCharMap(m, registry, files, d, p), c.result) << c.text;
    EXPECT_EQ(m, fileTable) << "the file is read before the driver is opened";
    ASSERT_EQ(p.shown.size(), 1u);
    EXPECT_EQ(p.shown[0].text, c.text);
    EXPECT_EQ(p.shown[0].caption, "<default>");
    EXPECT_EQ(p.shown[0].flags, c.flags);
    EXPECT_EQ(p.shown[0].owner, PromptOwner::kActiveDialog) << "owned by the splash";
    EXPECT_FALSE(d.open);
  }
}

TEST(ReadSplashLines, CutToThirtyCharacters) {
  struct Case {
    const char* what;
    const char* owner;
    const char* company;
    std::string drawnOwner, drawnCompany;
    bool complete;
  };
  const Case cases[] = {
      {"short values as they are", "Ann", "Acme", "Ann", "Acme", true},
      {"40 characters: the first 30", "Ada Lovelace-Byron of the Engine Society", "Acme",
       "Ada Lovelace-Byron of the Engi", "Acme", true},
      {"exactly 30", "123456789012345678901234567890", "", "123456789012345678901234567890", "",
       true},
      {"no company: owner still drawn", "Ann", nullptr, "Ann", "", false},
      {"no owner", nullptr, "Acme", "", "Acme", false},
  };
  for (const Case& c : cases) {
    FakeProductRegistry reg;
    if (c.owner) reg.values["Registered Owner"] = c.owner;
    if (c.company) reg.values["Registered Company"] = c.company;
    ScriptedPrompts prompts;
    const SplashLines lines = ReadSplashLines(reg, prompts);
    EXPECT_EQ(std::string(lines.owner, lines.ownerLength), c.drawnOwner) << c.what;
    EXPECT_EQ(std::string(lines.owner), c.drawnOwner) << c.what;
    EXPECT_EQ(std::string(lines.company, lines.companyLength), c.drawnCompany) << c.what;
    EXPECT_EQ(lines.complete, c.complete) << c.what;
    EXPECT_TRUE(prompts.shown.empty()) << c.what;
  }
  ScriptedPrompts prompts;
  TellNotProperlyInstalled(prompts);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            "Brindlewood is not properly installed. Reinstall from the setup diskette");
  EXPECT_EQ(prompts.shown[0].caption, "Brindlewood For Windows 95");
  EXPECT_EQ(prompts.shown[0].icon(), kMbIconInformation);
}

std::vector<uint8_t> Header(uint32_t size, int32_t w, int32_t h, uint16_t bpp, uint32_t comp,
                            uint32_t sizeImage, uint32_t used, size_t total) {
  std::vector<uint8_t> b(total, 0);
  PutU32LE(&b[0], size);
  PutU32LE(&b[4], uint32_t(w));
  PutU32LE(&b[8], uint32_t(h));
  PutU16LE(&b[12], 1);
  PutU16LE(&b[14], bpp);
  PutU32LE(&b[16], comp);
  PutU32LE(&b[20], sizeImage);
  PutU32LE(&b[32], used);
  return b;
}

TEST(ParseDib, ColourCountAndBounds) {
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
    bool valid;
    uint32_t colors;
    size_t bitsOffset;
  };
  const Case cases[] = {
      {"8 bits, colours used 200", Header(40, 4, 2, 8, 0, 0, 200, 40 + 800 + 8), true, 200, 840},
      {"8 bits, colours used 0: 256", Header(40, 4, 2, 8, 0, 0, 0, 40 + 1024 + 8), true, 256, 1064},
      {"4 bits: 16", Header(40, 8, 1, 4, 0, 0, 0, 40 + 64 + 4), true, 16, 104},
      {"1 bit: 2", Header(40, 32, 1, 1, 0, 0, 0, 40 + 8 + 4), true, 2, 48},
      {"24 bits: no colour table, no palette", Header(40, 1, 1, 24, 0, 0, 0, 44), true, 0, 40},
      {"a longer header ignores colours used", Header(108, 1, 1, 8, 0, 0, 5, 108 + 1024 + 4), true,
       256, 1132},
      {"RLE bits as long as stated", Header(40, 552, 292, 8, 1, 10, 1, 40 + 4 + 10), true, 1, 44},
      {"RLE bits shorter than stated", Header(40, 552, 292, 8, 1, 11, 1, 40 + 4 + 10), false, 1,
       44},
      {"rows missing", Header(40, 4, 3, 8, 0, 0, 1, 40 + 4 + 8), false, 1, 44},
      {"colour table cut short", Header(40, 4, 1, 8, 0, 0, 0, 40 + 100), false, 256, 1064},
      {"more than 256 colours", Header(40, 4, 1, 8, 0, 0, 257, 40 + 1028 + 4), false, 257, 0},
      {"block shorter than a header", std::vector<uint8_t>(39, 0), false, 0, 0},
  };
  for (const Case& c : cases) {
    const DibLayout d = ParseDib(c.block.data(), c.block.size());
    EXPECT_EQ(d.valid, c.valid) << c.what;
    EXPECT_EQ(d.colors, c.colors) << c.what;
    if (c.valid) {
      EXPECT_EQ(d.bitsOffset, c.bitsOffset) << c.what;
    }
  }

  std::vector<uint8_t> b = Header(40, 1, 1, 8, 0, 0, 2, 40 + 8 + 4);
  const uint8_t quads[] = {0x10, 0x20, 0x30, 0xFF, 0x01, 0x02, 0x03, 0x04};
  std::copy(std::begin(quads), std::end(quads), b.begin() + 40);
  const DibLayout d = ParseDib(b.data(), b.size());
  uint8_t e[4];
  PaletteEntry(b.data(), d, 0, e);
  EXPECT_EQ(std::vector<uint8_t>(e, e + 4), (std::vector<uint8_t>{0x30, 0x20, 0x10, 0}));
  PaletteEntry(b.data(), d, 1, e);
  EXPECT_EQ(std::vector<uint8_t>(e, e + 4), (std::vector<uint8_t>{0x03, 0x02, 0x01, 0}));
}

// Decodes BI_RLE8 bits into rows of pixels; false on any malformed code.
bool DecodeRle8(const uint8_t* p, size_t n, int width, std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> row;
  size_t i = 0;
  while (i + 1 < n) {
    const uint8_t a = p[i], b = p[i + 1];
    i += 2;
    if (a) {
      row.insert(row.end(), a, b);
    } else if (b == 0 || b == 1) {
      if (int(row.size()) != width) return false;
      rows.push_back(row);
      row.clear();
      if (b == 1) return i == n;
    } else if (b == 2) {
      return false;
    } else {
      if (i + b > n) return false;
      row.insert(row.end(), p + i, p + i + b);
      i += b + (b & 1);
    }
  }
  return false;
}

TEST(SplashPicture, IsTheSizeTheProgramExpects) {
  std::FILE* f = std::fopen(BRIND_SPLASH_BMP, "rb");
  ASSERT_NE(f, nullptr) << BRIND_SPLASH_BMP;
  std::vector<uint8_t> file;
  for (int c; (c = std::fgetc(f)) != EOF;) file.push_back(uint8_t(c));
  std::fclose(f);
  ASSERT_GT(file.size(), 14u);
  // The resource is the file without its 14-byte file header.
  const uint8_t* dib = file.data() + 14;
  const DibLayout d = ParseDib(dib, file.size() - 14);
  ASSERT_TRUE(d.valid);
  EXPECT_EQ(d.width, 552);
  EXPECT_EQ(d.height, 292);
  EXPECT_EQ(d.bitsPerPixel, 8);
  EXPECT_GT(d.colors, 0u);
  EXPECT_EQ(GetU32LE(file.data() + 10), 14 + d.bitsOffset) << "file's own offset agrees";
  std::vector<std::vector<uint8_t>> rows;
  if (d.compression == 1) {
    ASSERT_TRUE(DecodeRle8(dib + d.bitsOffset, file.size() - 14 - d.bitsOffset, 552, rows));
  }
  EXPECT_EQ(rows.size(), 292u);
  for (const auto& row : rows) {
    for (uint8_t px : row) ASSERT_LT(px, d.colors) << "every pixel has a colour";
  }
}

TEST(SplashPlacement, CentredByIntegerHalves) {
  struct Case {
    int sw, sh, w, h, x, y;
  };
  for (const Case c : {Case{800, 581, 552, 292, 124, 144}, Case{801, 582, 552, 292, 124, 145},
                       Case{640, 461, 552, 292, 44, 84}, Case{500, 200, 552, 292, -26, -46},
                       // Odd sizes: the halves of the differences, not differences of halves.
                       Case{800, 581, 551, 291, 124, 145}, Case{500, 200, 553, 293, -26, -46}}) {
    const Point p = SplashOrigin(c.sw, c.sh, c.w, c.h);
    EXPECT_EQ(p.x, c.x) << c.sw;
    EXPECT_EQ(p.y, c.y) << c.sh;
  }
}

TEST(SplashClock, FiveSecondsFromTheFirstPaint) {
  SplashClock clock;
  EXPECT_FALSE(clock.Painting()) << "a paint before initialisation starts nothing";
  EXPECT_FALSE(clock.Initialised(true)) << "a picture waits for its first paint";
  EXPECT_TRUE(clock.Painting()) << "the first paint starts the timer";
  EXPECT_FALSE(clock.Painting()) << "later paints do not restart it";
  EXPECT_TRUE(clock.shown());
  clock.TimerFired();
  EXPECT_FALSE(clock.shown());
  EXPECT_FALSE(clock.Painting());

  // Without a picture no paint comes: the timer starts at once, and a stray paint does not
  // start it twice.
  SplashClock blank;
  EXPECT_TRUE(blank.Initialised(false));
  EXPECT_FALSE(blank.Painting());
}

}  // namespace
}  // namespace brind
