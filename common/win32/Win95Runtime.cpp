// Linked into every program Windows 95 runs, in place of the MinGW start-up code: the entry
// point, static constructors, and the C++ library's allocation and error paths. The programs are
// built without exceptions, so the library's throwing versions must not be pulled in: they bring
// the unwinder, the demangler of the terminate handler and MSVCRT-only functions with them.
// Running out of memory or breaking a container's precondition ends the program with a message.
// The C functions the code calls (memcpy, fopen, ...) come from CRTDLL.DLL, which initialises
// itself when it is loaded.
#include <windows.h>

#include <cstddef>
#include <new>

namespace {

[[noreturn]] void Fail(const char* what) {
  FatalAppExitA(0, what);
  ExitProcess(3);
}

void* Allocate(std::size_t size) {
  void* p = HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
  if (!p) Fail("Out of memory.");
  return p;
}

// What follows the program's name on the command line, as WinMain expects it: the name is quoted
// or ends at the first blank or control character, and the blanks after it are skipped.
char* CommandTail() {
  char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p) ++p;
  } else {
    while (static_cast<unsigned char>(*p) > ' ') ++p;
  }
  while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
  return p;
}

// Destructors of static objects, registered as their constructors run; run when WinMain returns.
using ExitFunction = void (*)();
ExitFunction exitFunctions[64];
int exitCount = 0;

}  // namespace

extern "C" int __cdecl atexit(ExitFunction function) {
  if (exitCount == 64) return -1;
  exitFunctions[exitCount++] = function;
  return 0;
}

// The linker's list of static constructors: a -1 (or a count), the functions, then a 0.
using Constructor = void (*)();
extern "C" Constructor __CTOR_LIST__[];

extern "C" __attribute__((force_align_arg_pointer)) void BrindEntry() {
  int n = 1;
  while (__CTOR_LIST__[n]) ++n;
  while (--n > 0) __CTOR_LIST__[n]();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  const int code = WinMain(GetModuleHandleA(nullptr), nullptr, CommandTail(), show);
  while (exitCount > 0) exitFunctions[--exitCount]();
  ExitProcess(static_cast<UINT>(code));
}

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
}
void operator delete(void* p) noexcept {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace std {
void __throw_bad_alloc() { Fail("Out of memory."); }
void __throw_bad_array_new_length() { Fail("Out of memory."); }
void __throw_length_error(const char*) { Fail("Internal error: length."); }
void __throw_logic_error(const char*) { Fail("Internal error: logic."); }
void __throw_out_of_range(const char*) { Fail("Internal error: range."); }
void __throw_out_of_range_fmt(const char*, ...) { Fail("Internal error: range."); }
void __throw_invalid_argument(const char*) { Fail("Internal error: argument."); }
void __throw_bad_function_call() { Fail("Internal error: call."); }
}  // namespace std
