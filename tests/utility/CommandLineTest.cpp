#include <gtest/gtest.h>

#include <string>

#include "formatter/CommandLine.h"

namespace brind {
namespace {

struct Case {
  const char* line;
  StartAction action;
  const char* drivePath;
};

const Case kCases[] = {
    // A drive letter and a colon, upper-cased.
    {"C:\\BRIND\\UTILITY.EXE a:", StartAction::kFormat, "A:"},
    {"C:\\BRIND\\UTILITY.EXE B:", StartAction::kFormat, "B:"},
    {"UTILITY.EXE 1:", StartAction::kFormat, "1:"},  // the dialog's own checks refuse it later
    // Not exactly a letter and a colon.
    {"C:\\BRIND\\UTILITY.EXE a:\\", StartAction::kNormal, ""},
    {"UTILITY.EXE a", StartAction::kNormal, ""},
    {"UTILITY.EXE :", StartAction::kNormal, ""},
    {"UTILITY.EXE  a:", StartAction::kNormal, ""},  // the argument is " A:"
    {"UTILITY.EXE", StartAction::kNormal, ""},
    {"UTILITY.EXE ", StartAction::kNormal, ""},
    {"", StartAction::kNormal, ""},
    // CHARMAP.MAC anywhere in the argument, in any case, and before the drive test.
    // ... after a false start too, but only whole.
    {"UTILITY.EXE CCHARMAP.CHARMAP.MAC", StartAction::kOptions, ""},
    {"UTILITY.EXE a:\\charmap.ma", StartAction::kNormal, ""},
    {"UTILITY.EXE a:\\charmap.mab", StartAction::kNormal, ""},
    {"C:\\BRIND\\UTILITY.EXE C:\\BRIND\\charmap.mac", StartAction::kOptions, ""},
    {"UTILITY.EXE x:\\Some Dir\\ChArMaP.MaC.bak", StartAction::kOptions, ""},
    {"UTILITY.EXE a:charmap.mac", StartAction::kOptions, ""},
    {"UTILITY.EXE CHARMAP.MA", StartAction::kNormal, ""},
    {"UTILITY.EXE CCHARMAP.MAC", StartAction::kOptions, ""},
    // The program's own path, unquoted with a blank: the rest of the path joins the argument.
    {"C:\\Program Files\\Brindlewood\\UTILITY.EXE a:", StartAction::kNormal, ""},
    {"C:\\Program Files\\Brindlewood\\UTILITY.EXE c:\\x\\charmap.mac", StartAction::kOptions, ""},
    // Quoted, the path ends at its closing quote, blanks and all.
    {"\"C:\\Program Files\\Brindlewood\\Brindlewood Utility.exe\" a:", StartAction::kFormat, "A:"},
    {"\"C:\\B\\Brindlewood Utility.exe\" \"C:\\Program Files\\CHARMAP.MAC\"", StartAction::kOptions,
     ""},
    {"\"C:\\B\\Brindlewood Utility.exe\"", StartAction::kNormal, ""},
    {"\"C:\\B\\Brindlewood Utility.exe\" a:\\", StartAction::kNormal, ""},
    // A quote that never closes: the first blank ends the name.
    {"\"C:\\UTILITY.EXE a:", StartAction::kFormat, "A:"},
    // The program name itself is not searched for CHARMAP.MAC.
    {"\"C:\\CHARMAP.MAC\\Brindlewood Utility.exe\"", StartAction::kNormal, ""},
};

TEST(StartRequest, ArgumentDecidesWhatOpens) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.line);
    const StartRequest r = ParseStartRequest(c.line);
    EXPECT_EQ(r.action, c.action);
    EXPECT_EQ(std::string(r.drivePath), c.drivePath);
  }
}

TEST(StartRequest, NoCommandLineIsANormalStart) {
  EXPECT_EQ(ParseStartRequest(nullptr).action, StartAction::kNormal);
}

// The whole argument is searched, however long it is.
TEST(StartRequest, ALongArgumentIsSearchedToItsEnd) {
  const std::string line = "UTILITY.EXE " + std::string(100000, 'x');
  EXPECT_EQ(ParseStartRequest(line.c_str()).action, StartAction::kNormal);
  EXPECT_EQ(ParseStartRequest((line + "charmap.mac").c_str()).action, StartAction::kOptions);
}

}  // namespace
}  // namespace brind
