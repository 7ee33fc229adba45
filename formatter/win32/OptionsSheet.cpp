#include "formatter/win32/OptionsSheet.h"

namespace brind {

// The character-mapping sheet is not part of this program yet: the command does nothing more
// than find the installation. Replace this body with the sheet's entry point when it lands.
void OpenOptionsSheet(HWND, const char*) {}

}  // namespace brind
