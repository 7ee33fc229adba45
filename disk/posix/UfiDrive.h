// A USB floppy drive on Linux: the kernel shows it as a SCSI disk (/dev/sdX), and the tool
// talks to the drive itself through SG_IO for what the block device cannot say or do.
#pragma once

#include "disk/Ufi.h"

namespace brind {

class SgioTransport : public ufi::Transport {
 public:
  explicit SgioTransport(int fd) : fd_(fd) {}
  ufi::CommandResult Execute(const ufi::Cdb& cdb, uint8_t* data, size_t length,
                             bool dataIn) override;

 private:
  int fd_;
};

}  // namespace brind
