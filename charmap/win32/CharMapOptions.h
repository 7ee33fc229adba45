// The Options property sheet of Brindlewood Utility: the Character Mapping page and its Edit
// Character Mapping dialog.
#pragma once

#include <windows.h>

namespace brind {

// Runs the sheet modally, owned by owner; the dialogs come from instance's resources. Returns
// when the sheet has closed.
void RunCharMapOptions(HINSTANCE instance, HWND owner);

}  // namespace brind
