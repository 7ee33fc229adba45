// The file table, paths, command lines and display texts.
#include <gtest/gtest.h>

#include "setup/SetupFileTable.h"
#include "setup/SetupRules.h"

namespace brind::setup {
namespace {

TEST(JoinPath, SeparatorOnlyWhereNeeded) {
  struct Case {
    const char* dir;
    const char* name;
    const char* joined;
  } cases[] = {
      {"C:\\Brindlewood", "Startup.exe", "C:\\Brindlewood\\Startup.exe"},
      {"A:\\", "BrindFs.vx_", "A:\\BrindFs.vx_"},
      {"A:", "NAME", "A:NAME"},
      {"", "Setup.exe", "Setup.exe"},
      {"\\\\server\\share", "x", "\\\\server\\share\\x"},
      {"C:\\dir\\\\", "x", "C:\\dir\\\\x"},
  };
  for (const Case& c : cases) EXPECT_EQ(JoinPath(c.dir, c.name), c.joined) << c.dir;
}

TEST(SetupFileTable, RowsCopiedAndSizedAsTheDiskNeeds) {
  // Long-name rows stand for the programs that are copied under 8.3 names.
  EXPECT_STREQ(SetupFileTable[kProgramRow + kLongNameOffset].installedName,
               "Brindlewood Utility.exe");
  EXPECT_STREQ(SetupFileTable[kHelpRow + kLongNameOffset].installedName, "Brindlewood.hlp");
  for (int row = 11; row < kSetupFileCount; ++row) EXPECT_EQ(SetupFileTable[row].size, 0u);
  for (int row = 0; row <= kLastCopiedRow; ++row) {
    const std::string disk = SetupFileTable[row].diskName;
    EXPECT_EQ(disk.back(), '_') << "copied rows lie compressed on the disk: " << disk;
  }
}

TEST(TotalBytes, RegistrationProgramAddsItsRows) {
  EXPECT_EQ(TotalBytes(false), 124616u + 193024 + 3784 + 11264 + 216064 + 265671);
  EXPECT_EQ(TotalBytes(true), TotalBytes(false) + 45000 + 4427 + 214528 + 38400 + 33792);
}

TEST(DisplayText, LongNamesAndTheCutToFortyNine) {
  const std::string fifty = "C:\\" + std::string(47, 'd');
  struct Case {
    std::string dir;
    int row;
    std::string shown;
  } cases[] = {
      {"C:\\Brindlewood", 4, "C:\\Brindlewood\\Brindlewood Utility.exe"},
      {"C:\\Brindlewood", 5, "C:\\Brindlewood\\Brindlewood.hlp"},
      {"C:\\Brindlewood", 0, "C:\\Brindlewood\\BrindFs.vxd"},
      {fifty, 4, fifty.substr(0, 22) + "...\\Brindlewood Utility.exe"},
      {fifty, 2, fifty.substr(0, 34) + "...\\Charmap.mac"},
      // exactly 49 stays whole
      {"C:\\" + std::string(34, 'e'), 0, "C:\\" + std::string(34, 'e') + "\\BrindFs.vxd"},
  };
  for (const Case& c : cases) {
    const std::string got = DisplayText(c.dir, c.row);
    EXPECT_EQ(got, c.shown);
    EXPECT_LE(got.size(), 49u);
  }
}

TEST(CommandLine, SourceDirFromBothForms) {
  EXPECT_EQ(SourceDirFromCommandLine("A:\\SETUP.EXE"), "A:\\");
  EXPECT_EQ(SourceDirFromCommandLine("\"A:\\SETUP.EXE\" "), "A:\\");
  EXPECT_EQ(SourceDirFromCommandLine("C:\\DISKS\\BRIND\\SETUP.EXE"), "C:\\DISKS\\BRIND\\");
  EXPECT_EQ(SourceDirFromCommandLine("\"C:\\Long Dir\\SETUP.EXE\" "), "C:\\Long Dir\\");
  // Forms the rule does not serve must not read outside the line.
  EXPECT_EQ(SourceDirFromCommandLine("s"), "");
  EXPECT_EQ(SourceDirFromCommandLine(""), "");
}

TEST(CommandLine, SlashUDecidesRemoval) {
  struct Case {
    const char* line;
    bool removes;
  } cases[] = {
      {"A:\\SETUP.EXE /u", true},  {"A:\\SETUP.EXE /U", true}, {"A:\\SETUP.EXE /uninstall", true},
      {"A:\\SETUP.EXE -u", false}, {"A:\\SETUP.EXE", false},   {"A:\\SETUP.EXE /x /u", false},
      {"A:\\SETUP.EXE /", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsUninstallCommand(c.line), c.removes) << c.line;
}

TEST(CommandLine, FloppyRunFromQuotedPathOrCurrentDrive) {
  EXPECT_TRUE(RunsFromFloppy("\"A:\\SETUP.EXE\" /u", "C:\\"));
  EXPECT_TRUE(RunsFromFloppy("\"b:\\SETUP.EXE\" /u", "C:\\"));
  EXPECT_FALSE(RunsFromFloppy("\"C:\\BRINDL~1\\SETUP.EXE\" /u", "A:\\"));
  EXPECT_TRUE(RunsFromFloppy("setup /u", "A:\\"));
  EXPECT_FALSE(RunsFromFloppy("C:\\BRINDL~1\\setup /u", "C:\\BRINDL~1"));
  EXPECT_FALSE(RunsFromFloppy("setup /u", ""));
}

TEST(CommandLine, CleanupArgumentIsTheTextAfterTheLastBlank) {
  EXPECT_EQ(CleanupArgument("C:\\WINDOWS\\TEMP\\CLEANUP.EXE C:\\BRINDL~1"), "C:\\BRINDL~1");
  EXPECT_EQ(CleanupArgument("C:\\WIN DOWS\\TEMP\\CLEANUP.EXE C:\\X"), "C:\\X");
  EXPECT_EQ(CleanupArgument("noblank"), "");
}

}  // namespace
}  // namespace brind::setup
