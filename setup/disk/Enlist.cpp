// ENLIST.EXE: the product-registration step. It shows nothing: it reads its settings from
// Enlist.ini beside it and leaves its record, Wrenbox.dat, in the current directory.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char ini[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, ini, sizeof ini);
  if (char* slash = std::strrchr(ini, '\\'))
    lstrcpynA(slash + 1, "Enlist.ini", static_cast<int>(ini + sizeof ini - slash - 1));
  char product[64] = {};
  GetPrivateProfileStringA("Enlist", "Product", "Brindlewood", product, sizeof product, ini);
  if (FILE* f = std::fopen("Wrenbox.dat", "wb")) {
    std::fputs(product, f);
    std::fputs("\r\n", f);
    std::fclose(f);
  }
  return 0;
}
