#include "formatter/CommandLine.h"

#include <cstddef>

namespace brind {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The argument begins after the program name. An unquoted name ends at the first blank, so an
// unquoted path with a blank leaves the rest of the path in the argument; a quoted name (the
// usual form when the path has blanks, as our own file name does) ends at its closing quote.
const char* ArgumentOf(const char* line) {
  if (line[0] == '"') {
    const char* p = line + 1;
    while (*p && *p != '"') ++p;
    if (*p == '"') {
      ++p;
      if (*p == ' ') ++p;
      return p;
    }
    // No closing quote: fall back to the first blank.
  }
  const char* p = line;
  while (*p && *p != ' ') ++p;
  return *p == ' ' ? p + 1 : p;
}

bool ContainsUpperCased(const char* text, const char* upperNeedle) {
  for (const char* start = text; *start; ++start) {
    const char* t = start;
    const char* n = upperNeedle;
    while (*n && *t && Upper(*t) == *n) {
      ++t;
      ++n;
    }
    if (*n == '\0') return true;
  }
  return false;
}

}  // namespace

StartRequest ParseStartRequest(const char* commandLine) {
  StartRequest request;
  if (commandLine == nullptr) return request;
  const char* arg = ArgumentOf(commandLine);
  if (ContainsUpperCased(arg, "CHARMAP.MAC")) {
    request.action = StartAction::kOptions;
    return request;
  }
  if (arg[0] != '\0' && arg[1] == ':' && arg[2] == '\0') {
    request.action = StartAction::kFormat;
    request.drivePath[0] = Upper(arg[0]);
    request.drivePath[1] = ':';
    request.drivePath[2] = '\0';
  }
  return request;
}

}  // namespace brind
