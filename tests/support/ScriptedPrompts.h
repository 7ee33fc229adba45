// Message boxes for tests: each one shown is recorded; answers come from a script in order, and
// a box nobody scripted an answer for fails the test.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/UserPrompts.h"

namespace brind::test {

struct ShownPrompt {
  std::string text;
  std::string caption;  // "<default>" when none was given
  unsigned flags;
  PromptOwner owner;
  unsigned buttons() const { return flags & kMbButtonMask; }
  unsigned icon() const { return flags & kMbIconMask; }
};

class ScriptedPrompts : public UserPrompts {
 public:
  std::vector<ShownPrompt> shown;
  std::deque<int> answers;
  // Boxes with a single OK button are answered OK without a script.
  bool autoAnswerOk = true;
  // Answers a box when the script is empty (and it is not an OK-only box): for runs whose
  // questions depend on where a fault strikes.
  std::function<int(const ShownPrompt&)> respond;

  int Show(const char* text, const char* caption, unsigned flags, PromptOwner owner) override {
    shown.push_back({text ? text : "", caption ? caption : "<default>", flags, owner});
    if (!answers.empty()) {
      const int a = answers.front();
      answers.pop_front();
      return a;
    }
    if (autoAnswerOk && (flags & kMbButtonMask) == kMbOk) return kIdOk;
    if (respond) return respond(shown.back());
    ADD_FAILURE() << "unscripted message box: \"" << shown.back().text << "\" / "
                  << shown.back().caption;
    return kIdCancel;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& s : shown) out.push_back(s.text);
    return out;
  }
};

}  // namespace brind::test
