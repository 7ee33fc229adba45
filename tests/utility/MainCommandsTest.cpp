#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formatter/MainCommands.h"
#include "formatter/ResourceIds.h"
#include "tests/support/FakeDriverPort.h"
#include "tests/support/FakeProductRegistry.h"
#include "tests/support/MessageTexts.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind {
namespace {

using test::FakeDriverPort;
using test::FakeProductRegistry;
using test::kDriverNotInstalled;
using test::kNoDeviceIoctl;
using test::kNoSystemRegistry;
using test::ScriptedPrompts;

// Records what the window was asked to do, in order.
class RecordingShell : public UtilityShell {
 public:
  explicit RecordingShell(FakeDriverPort& driver) : driver_(driver) {}
  std::vector<std::string> calls;
  bool dialogCreates = true;
  bool driverOpenDuringDialog = false;

  bool RunFormatDialog() override {
    calls.push_back("format dialog");
    driverOpenDuringDialog = driver_.IsOpen();
    return dialogCreates;
  }
  void RunOptionsSheet() override { calls.push_back("options"); }
  void RunAboutBox() override { calls.push_back("about"); }
  void OpenHelpContents(const char* helpPath) override {
    calls.push_back(std::string("help ") + helpPath);
  }
  void RepaintMainWindow() override { calls.push_back("repaint"); }
  void Quit() override { calls.push_back("quit"); }

 private:
  FakeDriverPort& driver_;
};

using Calls = std::vector<std::string>;

struct Rig {
  FakeDriverPort driver;
  ScriptedPrompts prompts;
  FakeProductRegistry registry;
  RecordingShell shell{driver};
  MainCommands commands{driver, prompts, registry, shell};
  char drivePath[5] = {};

  void CommandLine(StartAction action) {
    StartRequest r;
    r.action = action;
    if (action == StartAction::kFormat) {
      r.drivePath[0] = 'A';
      r.drivePath[1] = ':';
    }
    commands.Start(r, drivePath);
  }
};

TEST(MainCommandsStart, TheArgumentPostsItsCommand) {
  struct Case {
    StartAction action;
    unsigned command;
    bool commandLineMode;
    const char* drivePath;
  };
  const Case cases[] = {
      {StartAction::kNormal, 0, false, ""},
      {StartAction::kFormat, IDM_FORMAT, true, "B:"},
      {StartAction::kOptions, IDM_OPTIONS, true, ""},
  };
  for (const Case& c : cases) {
    Rig rig;
    StartRequest r;
    r.action = c.action;
    if (c.action == StartAction::kFormat) {
      r.drivePath[0] = 'B';
      r.drivePath[1] = ':';
    }
    EXPECT_EQ(rig.commands.Start(r, rig.drivePath), c.command);
    EXPECT_EQ(rig.commands.commandLineMode(), c.commandLineMode);
    EXPECT_STREQ(rig.drivePath, c.drivePath);
  }
}

TEST(MainCommandsFormat, OpensTheDriverThenRunsTheDialog) {
  Rig rig;
  ASSERT_TRUE(rig.commands.Run(IDM_FORMAT));
  EXPECT_EQ(rig.shell.calls, (Calls{"format dialog", "repaint"}));
  EXPECT_TRUE(rig.shell.driverOpenDuringDialog);
  // The handle stays open after the dialog; the next Format replaces it.
  EXPECT_TRUE(rig.driver.open);
  EXPECT_TRUE(rig.prompts.shown.empty());
}

TEST(MainCommandsFormat, EachFormatClosesThePreviousHandleFirst) {
  Rig rig;
  rig.commands.Run(IDM_FORMAT);
  rig.commands.Run(IDM_FORMAT);
  EXPECT_EQ(rig.driver.opens, 2);
  EXPECT_EQ(rig.driver.closes, 1);
  EXPECT_TRUE(rig.driver.open);
}

TEST(MainCommandsFormat, CommandLineFormatQuitsWhenTheDialogCloses) {
  Rig rig;
  rig.CommandLine(StartAction::kFormat);
  rig.commands.Run(IDM_FORMAT);
  EXPECT_EQ(rig.shell.calls, (Calls{"format dialog", "repaint", "quit"}));
}

TEST(MainCommandsFormat, DriverThatWillNotOpen) {
  struct Case {
    uint32_t error;
    bool commandLine;
    const char* text;
    Calls calls;
  };
  const Case cases[] = {
      {2, false, kDriverNotInstalled, {}}, {2, true, kDriverNotInstalled, {"quit"}},
      {50, false, kNoDeviceIoctl, {}},     {50, true, kNoDeviceIoctl, {"quit"}},
      {5, false, kDriverNotInstalled, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Rig rig;
    if (c.commandLine) rig.CommandLine(StartAction::kFormat);
    rig.driver.openError = c.error;
    rig.commands.Run(IDM_FORMAT);
    ASSERT_EQ(rig.prompts.shown.size(), 1u);
    EXPECT_EQ(rig.prompts.shown[0].text, c.text);
    EXPECT_EQ(rig.prompts.shown[0].caption, "Brindlewood Format");
    EXPECT_EQ(rig.prompts.shown[0].icon(), kMbIconError);
    EXPECT_EQ(rig.prompts.shown[0].buttons(), kMbOk);
    EXPECT_EQ(rig.prompts.shown[0].owner, PromptOwner::kMainWindow);
    EXPECT_EQ(rig.shell.calls, c.calls);  // never the dialog
  }
}

TEST(MainCommandsFormat, DialogThatCannotBeCreatedClosesTheHandle) {
  for (bool commandLine : {false, true}) {
    Rig rig;
    if (commandLine) rig.CommandLine(StartAction::kFormat);
    rig.shell.dialogCreates = false;
    rig.commands.Run(IDM_FORMAT);
    EXPECT_FALSE(rig.driver.open);
    EXPECT_EQ(rig.shell.calls, (Calls{"format dialog"}));
  }
}

TEST(MainCommandsOptions, NeedsTheInstallation) {
  struct Case {
    const char* what;
    bool installed;
    bool registryUnreachable;
    bool commandLine;
    std::vector<std::string> texts;
    Calls calls;
  };
  const char* kNotInstalled =
      "Brindlewood for Windows 95 is not installed. Please install from setup disk";
  const Case cases[] = {
      {"installed", true, false, false, {}, {"options"}},
      {"installed, command line", true, false, true, {}, {"options", "quit"}},
      {"not installed", false, false, false, {kNotInstalled}, {}},
      {"not installed, command line", false, false, true, {kNotInstalled}, {"quit"}},
      {"no registry", true, true, false, {kNoSystemRegistry, kNotInstalled}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    if (c.commandLine) rig.CommandLine(StartAction::kOptions);
    if (c.installed) rig.registry.values["InstallDir"] = "C:\\BRIND";
    rig.registry.unreachable = c.registryUnreachable;
    EXPECT_TRUE(rig.commands.Run(IDM_OPTIONS));
    EXPECT_EQ(rig.prompts.Texts(), c.texts);
    EXPECT_EQ(rig.shell.calls, c.calls);
    if (!c.texts.empty()) {
      const auto& box = rig.prompts.shown.back();
      EXPECT_EQ(box.caption, "<default>");
      EXPECT_EQ(box.icon(), kMbIconError);
      EXPECT_EQ(box.owner, PromptOwner::kMainWindow);
    }
    EXPECT_EQ(rig.registry.reads, std::vector<std::string>{"InstallDir"});
  }
}

TEST(MainCommandsHelp, ContentsAndSearchOpenTheHelpFileOfTheInstallation) {
  for (unsigned id : {IDM_HELP_CONTENTS, IDM_HELP_SEARCH}) {
    for (bool commandLine : {false, true}) {
      Rig rig;
      if (commandLine) rig.CommandLine(StartAction::kFormat);
      rig.registry.values["InstallDir"] = "C:\\Program Files\\Brindlewood";
      EXPECT_TRUE(rig.commands.Run(id));
      EXPECT_EQ(rig.shell.calls,
                (Calls{"help C:\\Program Files\\Brindlewood\\Brindlewood.hlp"}));  // no quit
      EXPECT_TRUE(rig.prompts.shown.empty());
    }
  }
}

TEST(MainCommandsHelp, LongestInstallDirKeepsTheWholeHelpPath) {
  Rig rig;
  const std::string dir(511, 'd');
  rig.registry.values["InstallDir"] = dir;
  rig.commands.Run(IDM_HELP_CONTENTS);
  EXPECT_EQ(rig.shell.calls, (Calls{"help " + dir + "\\Brindlewood.hlp"}));
}

TEST(MainCommandsHelp, WithoutTheInstallationSaysSo) {
  Rig rig;
  rig.commands.Run(IDM_HELP_SEARCH);
  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.prompts.shown[0].text, "Brindlewood Driver for Windows 95 is not installed");
  EXPECT_EQ(rig.prompts.shown[0].caption, "Brindlewood Format");
  EXPECT_EQ(rig.prompts.shown[0].icon(), kMbIconError);
  EXPECT_TRUE(rig.shell.calls.empty());
}

TEST(MainCommands, AboutExitAndOthers) {
  struct Case {
    unsigned id;
    bool handled;
    Calls calls;
  };
  const Case cases[] = {
      {IDM_ABOUT, true, {"about"}},
      {IDM_EXIT, true, {"quit"}},
      {0, false, {}},
      {1, false, {}},
      {141, false, {}},
  };
  for (const Case& c : cases) {
    for (bool commandLine : {false, true}) {
      Rig rig;
      if (commandLine) rig.CommandLine(StartAction::kFormat);  // About never quits
      EXPECT_EQ(rig.commands.Run(c.id), c.handled);
      EXPECT_EQ(rig.shell.calls, c.calls);
    }
  }
}

}  // namespace
}  // namespace brind
