#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "formatter/ProductRegistry.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/utility/FakeRegistry.h"

namespace brind {
namespace {

using test::FakeRegistry;
using test::ScriptedPrompts;

constexpr char kUntouched[] = "untouched";

struct ValueCase {
  const char* what;
  std::string stored;
  bool storeTerminator;
  uint32_t capacity;
  bool found;
};

TEST(ReadProductValue, FoundOnlyWhenTheValueFitsWithItsTerminator) {
  const ValueCase cases[] = {
      {"short value", "Ann Smith", true, kOwnerCapacity, true},
      {"empty value", "", true, kOwnerCapacity, true},
      {"49 characters fill 50 bytes", std::string(49, 'o'), true, kOwnerCapacity, true},
      {"50 characters need 51 bytes", std::string(50, 'o'), true, kOwnerCapacity, false},
      {"stored without terminator, 49", std::string(49, 'o'), false, kOwnerCapacity, true},
      {"stored without terminator, 50", std::string(50, 'o'), false, kOwnerCapacity, false},
      {"install dir of 511", std::string(511, 'd'), true, kInstallDirCapacity, true},
      {"install dir of 512", std::string(512, 'd'), true, kInstallDirCapacity, false},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRegistry registry;
    registry.values["Registered Owner"] = c.stored;
    registry.storeTerminator = c.storeTerminator;
    ScriptedPrompts prompts;
    char buffer[kInstallDirCapacity + 8];
    std::memset(buffer, '*', sizeof buffer);
    std::memcpy(buffer, kUntouched, sizeof kUntouched);

    EXPECT_EQ(ReadProductValue(registry, prompts, "Registered Owner", buffer, c.capacity), c.found);
    if (c.found) {
      EXPECT_EQ(std::string(buffer), c.stored);
    } else {
      EXPECT_STREQ(buffer, kUntouched);
    }
    // Nothing past the capacity is ever written.
    EXPECT_EQ(buffer[c.capacity], c.capacity < sizeof kUntouched ? kUntouched[c.capacity] : '*');
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(registry.openKeys, 0);
    EXPECT_EQ(registry.connected, 0);
  }
}

struct FailureCase {
  const char* what;
  bool connectFails;
  bool keyMissing;
  bool valueMissing;
  bool message;
};

TEST(ReadProductValue, MissingPiecesCountAsNotFound) {
  const FailureCase cases[] = {
      {"registry unreachable", true, false, false, true},
      {"product key missing", false, true, false, false},
      {"value missing", false, false, true, false},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRegistry registry;
    registry.connectFails = c.connectFails;
    registry.keyMissing = c.keyMissing;
    if (!c.valueMissing) registry.values["InstallDir"] = "C:\\BRIND";
    ScriptedPrompts prompts;
    char buffer[kInstallDirCapacity];
    std::memcpy(buffer, kUntouched, sizeof kUntouched);

    EXPECT_FALSE(ReadProductValue(registry, prompts, "InstallDir", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, kUntouched);
    EXPECT_EQ(registry.openKeys, 0);
    EXPECT_EQ(registry.connected, 0);
    if (c.message) {
      ASSERT_EQ(prompts.shown.size(), 1u);
      EXPECT_EQ(prompts.shown[0].text, "Could not open the System Registry");
      EXPECT_EQ(prompts.shown[0].caption, "Brindlewood Utility");
      EXPECT_EQ(prompts.shown[0].icon(), kMbIconInformation);
      EXPECT_EQ(prompts.shown[0].buttons(), kMbOk);
      EXPECT_EQ(prompts.shown[0].owner, PromptOwner::kFocusWindow);
    } else {
      EXPECT_TRUE(prompts.shown.empty());
    }
  }
}

TEST(ReadProductValue, AsksForTheNamedValue) {
  FakeRegistry registry;
  registry.values["Registered Company"] = "Oak Ltd";
  registry.values["Registered Owner"] = "Ann";
  ScriptedPrompts prompts;
  char buffer[kOwnerCapacity];
  ASSERT_TRUE(ReadProductValue(registry, prompts, "Registered Company", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "Oak Ltd");
  EXPECT_EQ(registry.lastQueried, "Registered Company");
}

}  // namespace
}  // namespace brind
