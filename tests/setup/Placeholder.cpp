// A stand-in for a program that another part of the tree builds, for setup's Wine scenarios only:
// it shows nothing and ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
