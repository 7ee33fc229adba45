#include "disk/posix/ContentProbe.h"

#include <blkid/blkid.h>
#include <fcntl.h>

#include "common/PrintableText.h"

namespace brind {

namespace {

std::string Value(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  if (blkid_probe_lookup_value(probe, name, &data, nullptr) != 0 || !data) return "";
  return data;
}

}  // namespace

ContentFound ProbeContent(int fd, uint64_t offset, uint64_t size) {
  ContentFound found;
  if (fd < 0) return found;
  // libblkid reads into buffers of its own: a drive held for direct transfers is read through
  // the page cache while it looks, and given back as it was.
  const int flags = fcntl(fd, F_GETFL);
  const bool direct = flags >= 0 && (flags & O_DIRECT) != 0;
  if (direct) fcntl(fd, F_SETFL, flags & ~O_DIRECT);
  blkid_probe probe = blkid_new_probe();
  if (probe && blkid_probe_set_device(probe, fd, static_cast<blkid_loff_t>(offset),
                                      static_cast<blkid_loff_t>(size)) == 0) {
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL);
    blkid_probe_enable_partitions(probe, 1);
    const int rc = blkid_do_safeprobe(probe);
    if (rc == 0) {
      found.type = Value(probe, "TYPE");
      found.label = Value(probe, "LABEL");
      if (found.type.empty()) {
        found.type = Value(probe, "PTTYPE");
        found.partitionTable = !found.type.empty();
      }
    } else if (rc == -2) {
      found.ambiguous = true;
      found.type = "several";
    }
  }
  if (probe) blkid_free_probe(probe);
  if (direct) fcntl(fd, F_SETFL, flags);
  return found;
}

std::string DescribeContent(const ContentFound& found) {
  if (found.ambiguous) return "signatures of more than one file system";
  if (found.partitionTable) {
    const std::string t = PrintableBytes(found.type);
    return std::string(t == "dos" ? "a DOS" : t == "gpt" ? "a GPT" : "a " + t) + " partition table";
  }
  struct Name {
    const char* type;
    const char* words;
  };
  static constexpr Name kNames[] = {
      {"ext2", "an ext2 file system"},        {"ext3", "an ext3 file system"},
      {"ext4", "an ext4 file system"},        {"iso9660", "an ISO 9660 file system"},
      {"udf", "a UDF file system"},           {"vfat", "a FAT file system"},
      {"exfat", "an exFAT file system"},      {"ntfs", "an NTFS file system"},
      {"hfsplus", "an HFS Plus file system"}, {"swap", "a Linux swap area"},
      {"minix", "a Minix file system"},       {"crypto_LUKS", "a LUKS encrypted volume"},
      {"squashfs", "a SquashFS file system"}, {"cramfs", "a cramfs file system"},
      {"xfs", "an XFS file system"},          {"btrfs", "a Btrfs file system"},
  };
  std::string words = "data of type " + PrintableBytes(found.type);
  for (const Name& n : kNames)
    if (found.type == n.type) words = n.words;
  if (!found.label.empty()) words += " labelled \"" + PrintableUtf8(found.label) + "\"";
  return words;
}

}  // namespace brind
