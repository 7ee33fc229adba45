// DiskCopy 4.2 image files: recognising one, creating one, and sealing it after its sectors
// were written (image name and checksums). The sectors themselves are read and written by
// PosixDevice with the layout given here.
#pragma once

#include <cstdint>
#include <string>

#include "disk/DiskCopy.h"
#include "disk/posix/PosixDevice.h"

namespace brind {

// True when the file is a DiskCopy 4.2 image this program can use: a header it accepts and a
// file size of exactly header, data and tags.
bool ReadDiskCopyImage(const std::string& path, DiskCopyHeader& header);

ImageLayout DiskCopyLayout(const DiskCopyHeader& header);

// Creates a new image of a DiskCopy floppy size, all sectors zero; false with the reason.
bool CreateDiskCopyImage(const std::string& path, uint32_t sectors, std::string& error);

// The checksums of the image's data and tags as they are in the file now.
bool ComputeDiskCopySums(const std::string& path, const DiskCopyHeader& header, DiskCopySums& sums,
                         std::string& error);

// Stores the image name and the checksums of what the file now holds; the rest of the header
// (format bytes, tag size) stays as it was. 0, or the errno of the failure.
int SealDiskCopyImage(const std::string& path, const std::string& name, std::string& error);

}  // namespace brind
