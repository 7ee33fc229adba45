#include "disk/posix/ContentProbe.h"

#include <blkid/blkid.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "common/PrintableText.h"

namespace brind {

namespace {

std::string Value(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  if (blkid_probe_lookup_value(probe, name, &data, nullptr) != 0 || !data) return "";
  return data;
}

ContentFound ProbeInThisProcess(const std::string& path) {
  ContentFound found;
  blkid_probe probe = blkid_new_probe_from_filename(path.c_str());
  if (!probe) return found;
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
  blkid_free_probe(probe);
  return found;
}

}  // namespace

ContentFound ProbeContent(const std::string& path) {
  // In a child: libblkid can leave a descriptor of the drive open (seen on /dev/fd0 with /proc
  // mounted), and the floppy driver refuses to format a drive that is open twice.
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return {};
  }
  if (child == 0) {
    close(fds[0]);
    const ContentFound f = ProbeInThisProcess(path);
    const std::string out = f.type + '\n' + f.label + '\n' + (f.partitionTable ? "p" : "") +
                            (f.ambiguous ? "a" : "") + '\n';
    ssize_t ignored = write(fds[1], out.data(), out.size());
    (void)ignored;
    _exit(0);
  }
  close(fds[1]);
  std::string in;
  char buffer[256];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      in.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fds[0]);
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  ContentFound found;
  const size_t a = in.find('\n'), b = a == std::string::npos ? a : in.find('\n', a + 1);
  if (b == std::string::npos) return found;
  found.type = in.substr(0, a);
  found.label = in.substr(a + 1, b - a - 1);
  const std::string flags = in.substr(b + 1);
  found.partitionTable = flags.find('p') != std::string::npos;
  found.ambiguous = flags.find('a') != std::string::npos;
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
