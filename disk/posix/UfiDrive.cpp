#include "disk/posix/UfiDrive.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace brind {

namespace {
constexpr unsigned kTimeoutMs = 20000;  // a track format of a real drive takes about a second
// The driver byte's own failures (busy, soft, media, error, invalid, time-out, hard). Its
// DRIVER_SENSE bit (0x08) only says that sense data came with a CHECK CONDITION.
constexpr unsigned kDriverFailureMask = 0x07;
}  // namespace

SgioTransport::SgioTransport(int fd)
    : submit_([fd](sg_io_hdr_t& io) {
        int rc;
        do {
          rc = ioctl(fd, SG_IO, &io);
        } while (rc != 0 && errno == EINTR);
        return rc;
      }) {}

ufi::CommandResult SgioTransport::Execute(const ufi::Cdb& cdb, uint8_t* data, size_t length,
                                          bool dataIn) {
  ufi::CommandResult result;
  uint8_t sense[32] = {};
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.cmd_len = cdb.length;
  io.cmdp = const_cast<uint8_t*>(cdb.bytes.data());
  io.dxfer_direction = length == 0 ? SG_DXFER_NONE : dataIn ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
  io.dxferp = data;
  io.dxfer_len = static_cast<unsigned>(length);
  io.sbp = sense;
  io.mx_sb_len = sizeof sense;
  io.timeout = kTimeoutMs;
  if (submit_(io) != 0) return result;
  // The host or its driver lost the command (a drive pulled out, a bus reset, a time-out).
  if (io.host_status != 0 || (io.driver_status & kDriverFailureMask) != 0) return result;
  result.delivered = true;
  result.received = length - static_cast<size_t>(io.resid > 0 ? io.resid : 0);
  result.good = io.status == 0;
  if (!result.good)
    result.sense =
        ufi::DecodeSense(sense, io.sb_len_wr < sizeof sense ? io.sb_len_wr : sizeof sense);
  return result;
}

}  // namespace brind
