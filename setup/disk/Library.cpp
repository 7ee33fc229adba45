// The registration program's support libraries: they load and unload, nothing more. No C runtime
// and no imports: DllMain itself is the entry point.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
