// What Brindlewood Utility was asked to do by its command line.
#pragma once

namespace brind {

enum class StartAction { kNormal, kOptions, kFormat };

struct StartRequest {
  StartAction action = StartAction::kNormal;
  char drivePath[5] = {};  // "A:" for kFormat, empty otherwise
};

// Reads the argument of the full command line (GetCommandLine's text): what follows the program
// name, upper-cased. An argument containing CHARMAP.MAC opens the Options sheet; a letter and a
// colon, exactly, opens the format dialog for that drive; anything else is a normal start.
StartRequest ParseStartRequest(const char* commandLine);

}  // namespace brind
