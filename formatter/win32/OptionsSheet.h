// The call site of the Options property sheet (the character mapping).
#pragma once

#include <windows.h>

namespace brind {

// Opens the Options sheet owned by owner. Returns when the sheet has closed.
void OpenOptionsSheet(HWND owner);

}  // namespace brind
