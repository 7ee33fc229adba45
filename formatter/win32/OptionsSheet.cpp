#include "formatter/win32/OptionsSheet.h"

#include "charmap/win32/CharMapOptions.h"
#include "formatter/win32/UtilityApp.h"

namespace brind {

// The sheet finds CHARMAP.MAC through the registry itself, as each of its pages opens.
void OpenOptionsSheet(HWND owner) { RunCharMapOptions(App().hInstance, owner); }

}  // namespace brind
