// The programs' message texts that more than one test file asserts, written out once: a test
// must state what the user reads, not take it from the code under test.
#pragma once

namespace brind::test {

// The format dialog's checks and questions.
inline constexpr char kNotSupported[] =
    "Brindlewood cancelled the format because this drive is not supported or the drive is "
    "invalid.";
inline constexpr char kLocked[] =
    "Brindlewood cannot format the disk because the disk is locked by another process or is "
    "damaged. Quit any disk utilities or other programs that are using this drive, and make sure "
    "that no window is displaying the contents of the drive. Then try formatting again";
inline constexpr char kNoDiskRetry[] =
    "There is no disk in this drive or the drive door is open. Insert a disk in the drive and "
    "make sure the drive door is closed, and then click retry.";
inline constexpr char kProtectedRetry[] =
    "Brindlewood cannot format this disk because it is write protected. If you are sure you want "
    "to continue, please remove the write-protect tab, reinsert the disk, and click retry.";
inline constexpr char kQuickNotMac[] =
    "You cannot do a Quick format because the disk is not Macintosh formatted or the capacity "
    "does not match.\n\nClick OK to perform a Full format.";
inline constexpr char kDosDisk[] =
    "Disk is already in DOS format. Do you wish to continue with the format?";
inline constexpr char kMacDisk[] =
    "Disk is already in Macintosh format. Do you wish to continue with the format?";
inline constexpr char kGeneralFailure[] = "General failure on disk. The disk cannot be formatted.";
inline constexpr char kSetParamsFailed[] = "Brindlewood failed to Set the device parameters.";
// A failed file-system stage, in stage order.
inline constexpr const char* kStageFailures[] = {
    "Unable to write the Boot Record",    "Unable to write the VIB",
    "Unable to write the Volume Bitmap",  "Unable to write the Extent Record",
    "Unable to write the Catalog Record", "Unable to write the Root directory",
    "Unable to write the Duplicate VIB"};

// The driver and the registry.
inline constexpr char kDriverNotInstalled[] = "Brindlewood driver for Windows 95 is not installed";
inline constexpr char kNoDeviceIoctl[] = "Device does not support Device IOCTL";
inline constexpr char kNoSystemRegistry[] = "Could not open the System Registry";
inline constexpr char kMapNoDeviceIo[] = "Device does not supports deviceIO";
inline constexpr char kMapCannotOpen[] = "Unable to open Brindlewood file system driver";
inline constexpr char kMapRefused[] = "Error in passing character map table to file system driver";

}  // namespace brind::test
