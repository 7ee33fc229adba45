// The one way the portable core asks or tells the user something: a message box.
#pragma once

namespace brind {

// Buttons, icons and answers carry the Win32 values, so the Win32 shell passes them through and
// a test can assert them exactly.
enum PromptFlags : unsigned {
  kMbOk = 0x0000,
  kMbOkCancel = 0x0001,
  kMbAbortRetryIgnore = 0x0002,
  kMbYesNoCancel = 0x0003,
  kMbYesNo = 0x0004,
  kMbRetryCancel = 0x0005,
  kMbIconError = 0x0010,  // MB_ICONHAND / MB_ICONSTOP
  kMbIconQuestion = 0x0020,
  kMbIconWarning = 0x0030,      // MB_ICONEXCLAMATION
  kMbIconInformation = 0x0040,  // MB_ICONASTERISK
  kMbDefButton2 = 0x0100,
  kMbButtonMask = 0x000F,
  kMbIconMask = 0x00F0,
};

enum PromptAnswer : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdAbort = 3,
  kIdRetry = 4,
  kIdIgnore = 5,
  kIdYes = 6,
  kIdNo = 7,
};

// Who owns the box. The Win32 shell maps these to window handles; elsewhere they mean nothing.
enum class PromptOwner { kFocusWindow, kActiveDialog, kMainWindow, kNone };

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // caption may be nullptr: the platform's default caption ("Error" on Win32).
  virtual int Show(const char* text, const char* caption, unsigned flags,
                   PromptOwner owner = PromptOwner::kActiveDialog) = 0;
};

// A notice that needs no answer: OK, the information icon, owned by the focus window.
inline void ShowInfoMessage(UserPrompts& prompts, const char* text, const char* caption) {
  prompts.Show(text, caption, kMbOk | kMbIconInformation, PromptOwner::kFocusWindow);
}

}  // namespace brind
