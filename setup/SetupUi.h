// The dialogs of setup, each one call returning the user's answer.
#pragma once

#include <functional>
#include <string>

#include "setup/CopyProgress.h"

namespace brind::setup {

class SetupUi {
 public:
  virtual ~SetupUi() = default;
  // PERSONAL: false when the user left (after INSTALLFAIL in its asking mode).
  virtual bool Personal(std::string* name, std::string* company) = 0;
  // INSTALL with the proposed directory: false when the user left.
  virtual bool Location(std::string* directory) = 0;
  // INSTALLFAIL after a failure; cleanUp runs as the notice opens.
  virtual void FailureNotice(const std::function<void()>& cleanUp) = 0;
  // PROGRESS: true when every row is done.
  virtual bool Copy(const CopyJob& job, RemovalFlags& flags, TouchedFiles& touched) = 0;
  // REBOOT with its text 1017: true for "Restart".
  virtual bool Reboot(const char* text) = 0;
  virtual void RestartWindows() = 0;
  // The intro picture alone for a while, without handling messages.
  virtual void Pause(unsigned milliseconds) = 0;
};

}  // namespace brind::setup
