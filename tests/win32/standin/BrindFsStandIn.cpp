// A stand-in for the file-system driver, for tests under Wine in Windows 95 mode. Wine opens
// \\.\BRINDFS by loading "brindfs.vxd" from beside the program and hands DeviceIoControl calls
// with codes below 0x10000 to this DLL's export "DeviceIoControl".
//
// What it does, as the real driver would from the caller's side:
//   request 4 (QueryDrive): writes the 16-bit answer at offset 20 of the request record; the
//     answer is BRINDFS_QUERY_ANSWER (decimal, default 0 = the drive may be formatted).
//   request 20 (SetCharMap): takes the 128-byte table whose address is the argument; returns
//     BRINDFS_SETCHARMAP_RESULT (default 0 = taken).
// Every request is appended to the file named by BRINDFS_LOG, one line each:
//   "QueryDrive <drive>"  or  "SetCharMap <256 hex digits>"  or  "Request <n> <argument>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

unsigned long EnvNumber(const char* name, unsigned long fallback) {
  char value[32];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) return fallback;
  return std::strtoul(value, nullptr, 10);
}

void Log(const char* line) {
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("BRINDFS_LOG", path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  if (FILE* f = std::fopen(path, "ab")) {
    std::fputs(line, f);
    std::fputs("\n", f);
    std::fclose(f);
  }
}

DWORD Get32(const unsigned char* p) {
  return DWORD{p[0]} | (DWORD{p[1]} << 8) | (DWORD{p[2]} << 16) | (DWORD{p[3]} << 24);
}

}  // namespace

extern "C" BOOL WINAPI StandInDeviceIoControl(DWORD code, void* in, DWORD inSize, void* out,
                                              DWORD outSize, DWORD* returned, OVERLAPPED*) {
  (void)in;
  (void)inSize;
  if (code != 1 || out == nullptr || outSize < 8) return FALSE;
  auto* record = static_cast<unsigned char*>(out);
  const DWORD argument = Get32(record);
  const DWORD request = Get32(record + 4);
  char line[300];
  if (request == 4) {
    std::snprintf(line, sizeof line, "QueryDrive %lu", static_cast<unsigned long>(argument));
    Log(line);
    if (outSize >= 22) {
      const unsigned long answer = EnvNumber("BRINDFS_QUERY_ANSWER", 0);
      record[20] = static_cast<unsigned char>(answer);
      record[21] = static_cast<unsigned char>(answer >> 8);
    }
    if (returned) *returned = outSize;
    return TRUE;
  }
  if (request == 20) {
    const auto* table = reinterpret_cast<const unsigned char*>(static_cast<UINT_PTR>(argument));
    int at = std::snprintf(line, sizeof line, "SetCharMap ");
    for (int i = 0; i < 128; ++i)
      at += std::snprintf(line + at, sizeof line - at, "%02X", table[i]);
    Log(line);
    if (returned) *returned = outSize;
    return static_cast<BOOL>(EnvNumber("BRINDFS_SETCHARMAP_RESULT", 0));
  }
  std::snprintf(line, sizeof line, "Request %lu %lu", static_cast<unsigned long>(request),
                static_cast<unsigned long>(argument));
  Log(line);
  return FALSE;
}
