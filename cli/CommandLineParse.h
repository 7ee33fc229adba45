// The command-line parse the read-only tools share: help and version end the program, a usage
// error is reported by CLI11 and ends it with the tool's usage status.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>

namespace brind::cli {

// Parses argv into app; an exit status when the program ends here, nothing when it goes on.
inline std::optional<int> ParseOrExit(CLI::App& app, int argc, char** argv, int usageStatus) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return usageStatus;
  }
  return std::nullopt;
}

}  // namespace brind::cli
