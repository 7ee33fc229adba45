// Message boxes on Win32: MessageBoxA with the owner each caller names.
#pragma once

#include <windows.h>

#include "common/UserPrompts.h"

namespace brind {

class Win32Prompts : public UserPrompts {
 public:
  HWND mainWindow = nullptr;
  HWND activeDialog = nullptr;  // set by a dialog while it is up
  int Show(const char* text, const char* caption, unsigned flags, PromptOwner owner) override {
    HWND hwnd = nullptr;
    switch (owner) {
      case PromptOwner::kFocusWindow:
        hwnd = GetFocus();
        break;
      case PromptOwner::kActiveDialog:
        hwnd = activeDialog ? activeDialog : GetFocus();
        break;
      case PromptOwner::kMainWindow:
        hwnd = mainWindow;
        break;
      case PromptOwner::kNone:
        break;
    }
    return MessageBoxA(hwnd, text, caption, flags);
  }
};

}  // namespace brind
