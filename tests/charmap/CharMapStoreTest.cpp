#include <gtest/gtest.h>

#include "charmap/CharMapFile.h"
#include "charmap/CharMapStore.h"
#include "charmap/NameConversion.h"
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
using test::kMapCannotOpen;
using test::kMapNoDeviceIo;
using test::kMapRefused;
using test::kNoSystemRegistry;
using test::ScriptedPrompts;

constexpr const char* kPath = "C:\\BRIND\\CHARMAP.MAC";

struct StoreTest : ::testing::Test {
  CharMap map{};
  FakeProductRegistry registry;
  FakeCharMapFiles files;
  ScriptedPrompts prompts;
  CharMapStore store{map, registry, files, prompts};

  void SetUp() override { registry.values["InstallDir"] = "C:\\BRIND"; }
};

// Reading starts from a cleared table: what an earlier (cancelled) editing left in an entry the
// file does not set must not come back and be written by the next OK.
TEST_F(StoreTest, LoadReadsTheFileInTheInstallationDirectoryIntoAClearedTable) {
  files.Put(kPath, "The Mac 128 is mapped To 65\r\nx\r\nThe Mac 130 is mapped To 300\r\n");
  map.fill(9);
  EXPECT_TRUE(LoadCharMap(store));
  CharMap expected{};
  expected[0] = 65;
  expected[2] = 44;
  EXPECT_EQ(map, expected);
  EXPECT_EQ(files.calls, std::vector<std::string>{std::string("OpenRead ") + kPath});
  EXPECT_TRUE(prompts.shown.empty());
}

// One table per program, and it starts unmapped: until CHARMAP.MAC is read, a Windows 0xA6 typed
// in a label passes through instead of becoming the default's Macintosh 0xFF.
TEST(ProgramCharMap, StartsWithEveryEntryZero) {
  EXPECT_EQ(ProgramCharMap, CharMap{});
  char label[] = "\xA6";
  EXPECT_EQ(WindowsToMacNameWith(ProgramCharMap, label, 1), 1u);
  EXPECT_EQ(static_cast<uint8_t>(label[0]), 0xA6);
}

TEST_F(StoreTest, LoadCreatesAMissingFileHiddenWithTheDefaults) {
  EXPECT_TRUE(LoadCharMap(store));
  EXPECT_EQ(map, DefaultCharMap);
  EXPECT_EQ(files.calls, (std::vector<std::string>{std::string("OpenRead ") + kPath,
                                                   std::string("CreateHidden ") + kPath,
                                                   std::string("OpenWrite ") + kPath}));
  EXPECT_TRUE(files.hidden.count(kPath));
  CharMap back{};
  const std::string written = files.Contents(kPath);
  ReadCharMapBytes(back, written.data(), written.size());
  EXPECT_EQ(back, DefaultCharMap);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(StoreTest, LoadFailures) {
  struct Case {
    const char* what;
    bool unreachable;
    const char* installDir;  // nullptr: no value
    bool failWrite;
    bool result;
    bool tableDefault;  // else unchanged
    int prompts;
  };
  // Every directory the registry reading takes has its path: one reader, one limit.
  const std::string longest(kRegistryValueBytes - 1, 'd');
  const std::string tooLong(kRegistryValueBytes, 'd');
  const Case cases[] = {
      {"no InstallDir: silent failure", false, nullptr, false, false, false, 0},
      {"registry unreachable: told, then failure", true, "C:\\BRIND", false, false, false, 1},
      {"InstallDir too long for the registry: refused", false, tooLong.c_str(), false, false, false,
       0},
      {"longest InstallDir that fits", false, longest.c_str(), false, true, true, 0},
      {"file can't be written after creation: defaults in memory only", false, "C:\\BRIND", true,
       true, true, 0},
  };
  for (const Case& c : cases) {
    CharMap m;
    m.fill(9);
    FakeProductRegistry reg;
    reg.unreachable = c.unreachable;
    if (c.installDir) reg.values["InstallDir"] = c.installDir;
    FakeCharMapFiles f;
    f.failOpenWrite = c.failWrite;
    ScriptedPrompts p;
    CharMapStore s{m, reg, f, p};
    EXPECT_EQ(LoadCharMap(s), c.result) << c.what;
    CharMap nines;
    nines.fill(9);
    EXPECT_EQ(m, c.tableDefault ? DefaultCharMap : nines) << c.what;
    ASSERT_EQ(p.shown.size(), size_t(c.prompts)) << c.what;
    if (!c.result) {
      EXPECT_TRUE(f.calls.empty()) << c.what;
    }
    if (c.prompts) {
      EXPECT_EQ(p.shown[0].text, kNoSystemRegistry);
      EXPECT_EQ(p.shown[0].caption, "Brindlewood Utility");
      EXPECT_EQ(p.shown[0].icon(), kMbIconInformation);
      EXPECT_EQ(p.shown[0].owner, PromptOwner::kFocusWindow);
    }
    if (c.failWrite) {
      EXPECT_EQ(f.Contents(kPath), "") << "created, nothing written";
    }
  }
}

TEST(SendCharMapToDriver, OutcomesAndMessages) {
  struct Case {
    uint32_t openError;
    uint32_t setResult;
    SendResult result;
    const char* message;  // nullptr: none
    size_t tablesSent;
  };
  const Case cases[] = {
      {0, 0, SendResult::kSent, nullptr, 1},
      {50, 0, SendResult::kNotSupported, kMapNoDeviceIo, 0},
      {2, 0, SendResult::kCannotOpen, kMapCannotOpen, 0},
      {5, 0, SendResult::kCannotOpen, kMapCannotOpen, 0},
      {0, 1, SendResult::kRefused, kMapRefused, 1},
  };
  for (const Case& c : cases) {
    FakeDriverPort driver;
    driver.openError = c.openError;
    driver.setCharMapResult = c.setResult;
    ScriptedPrompts prompts;
    EXPECT_EQ(SendCharMapToDriver(DefaultCharMap, driver, prompts), c.result) << c.openError;
    ASSERT_EQ(driver.tables.size(), c.tablesSent);
    if (c.tablesSent) {
      EXPECT_EQ(driver.tables[0], DefaultCharMap);
      EXPECT_FALSE(driver.open) << "closed in either case";
    }
    ASSERT_EQ(prompts.shown.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(prompts.shown[0].text, c.message);
      EXPECT_EQ(prompts.shown[0].caption, "<default>") << "no caption of its own";
      EXPECT_EQ(prompts.shown[0].flags, unsigned(kMbOk | kMbIconError));
      EXPECT_EQ(prompts.shown[0].owner, PromptOwner::kActiveDialog);
    }
  }
}

TEST_F(StoreTest, NameConversionsUseTheFileAsItIsNow) {
  // The file maps Macintosh 0x80 to Windows 0xE0 instead of 0xC4.
  std::string text;
  for (int k = 0; k < 128; ++k) {
    text += "The Mac " + std::to_string(128 + k) + " is mapped To " +
            std::to_string(k == 0 ? 0xE0 : DefaultCharMap[k]) + "\r\n";
  }
  // Macintosh 0x88 was Windows 0xE0 by default; make it unmapped so 0xE0 stays unique.
  text.replace(text.find("The Mac 136 is mapped To 224"), 28, "The Mac 136 is mapped To 1");
  files.Put(kPath, text);
  char name[16] = "a\x80\x88\xA0";
  const size_t n = MacToWindowsName(store, name, 4, sizeof name);
  EXPECT_EQ(std::string(name, n), "a\xE0\x88_\xA0");
  EXPECT_EQ(WindowsToMacName(store, name, n), 4u);
  EXPECT_EQ(std::string(name), "a\x80\x88\xA0");

  // Without InstallDir the table is used as it is.
  registry.values.clear();
  map.fill(CHARMAP_UNMAPPED);
  char plain[8] = "\x80";
  EXPECT_EQ(MacToWindowsName(store, plain, 1, sizeof plain), 1u);
  EXPECT_EQ(std::string(plain), "\x80");
}

}  // namespace
}  // namespace brind
