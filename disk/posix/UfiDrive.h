// A USB floppy drive on Linux: the kernel shows it as a SCSI disk (/dev/sdX), and the tool
// talks to the drive itself through SG_IO for what the block device cannot say or do.
#pragma once

#include <scsi/sg.h>

#include <functional>

#include "disk/Ufi.h"

namespace brind {

class SgioTransport : public ufi::Transport {
 public:
  // Hands the filled request to the kernel and returns what the ioctl returned; the kernel
  // answers in the header's status fields, the sense buffer and resid.
  using Submit = std::function<int(sg_io_hdr_t&)>;

  explicit SgioTransport(int fd);
  explicit SgioTransport(Submit submit) : submit_(std::move(submit)) {}
  ufi::CommandResult Execute(const ufi::Cdb& cdb, uint8_t* data, size_t length,
                             bool dataIn) override;

 private:
  Submit submit_;
};

}  // namespace brind
