#include "cli/FolderFill.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>

#include "cli/AppleDouble.h"
#include "cli/MacBinary.h"
#include "cli/MacRoman.h"
#include "cli/Utf8.h"
#include "disk/FloppyMedia.h"
#include "hfs/NameOrder.h"

namespace brind::cli {

namespace {

constexpr size_t kAppleDoubleHead = 65536;  // the header, entry table and Finder information
constexpr int kMaxDepth = 128;              // folders within folders; each holds a descriptor
constexpr size_t kMaxValence = 0xFFFF;

// Opens a regular file of folder fd without following a link or waiting on a FIFO put there
// since the walk; -1 with errno otherwise.
int OpenRegular(int fd, const std::string& name, struct stat& st) {
  const int f = openat(fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (f < 0) return -1;
  if (fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(f);
    errno = EINVAL;
    return -1;
  }
  return f;
}

// Reads up to length bytes at offset; the count read, or -1.
ssize_t ReadAt(int f, uint8_t* buffer, size_t length, uint64_t offset) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = pread(f, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

const char* KindOf(mode_t mode) {
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a file or folder";
}

struct Sidecar {
  AppleDoubleInfo info;
  ino_t ino = 0;
  uint64_t size = 0;
};

class Walker {
 public:
  Walker(const FolderOptions& options, FolderTree& out) : options_(options), out_(out) {}

  void Walk(int fd, const std::string& path, uint32_t parent, int depth) {
    std::vector<std::string> names;
    if (!ListFolder(fd, path, names)) return;
    std::map<std::string, Sidecar> sidecars;
    std::vector<bool> isSidecar(names.size(), false);
    for (size_t k = 0; k < names.size(); ++k)
      isSidecar[k] = FindSidecar(fd, path, names, names[k], sidecars);

    struct Named {
      std::string mac;
      std::string path;
      std::string own;  // the name in the folder
    };
    std::vector<Named> macNames;
    size_t valence = 0;
    for (size_t k = 0; k < names.size(); ++k) {
      if (isSidecar[k]) continue;
      const std::string& name = names[k];
      const std::string where = Join(path, name);
      struct stat st {};
      if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        Problem(where, std::string("cannot be read: ") + std::strerror(errno));
        continue;
      }
      if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
        out_.notes.push_back(PrintablePath(where) + ": skipped, " + KindOf(st.st_mode));
        continue;
      }
      if (st.st_ino == options_.targetIno && st.st_dev == options_.targetDev) {
        out_.notes.push_back(PrintablePath(where) + ": skipped, the image being formatted");
        continue;
      }
      TreeEntry e;
      EntrySource src;
      e.parent = parent;
      e.folder = S_ISDIR(st.st_mode);
      e.created = e.modified =
          options_.oneDate ? options_.date : HfsDateOfUnixTime(st.st_mtime, true);
      src.name = name;
      src.dev = st.st_dev;
      src.ino = st.st_ino;
      src.size = static_cast<uint64_t>(st.st_size);
      bool named = false;
      if (!e.folder && options_.macBinary && !Decode(fd, where, e, src, named)) continue;
      if (!named && !MacName(name, where, e.name)) e.name.clear();
      const auto side = sidecars.find(name);
      if (side != sidecars.end() && !src.resourceInFile && !named) {
        const Sidecar& s = side->second;
        if (s.info.hasFinderInfo) e.finder = s.info.finderInfo;
        if (e.folder && s.info.resourceLength)
          out_.notes.push_back(PrintablePath(Join(path, "._" + name)) +
                               ": the resource fork of a folder is skipped");
        if (!e.folder) {
          src.sidecar = "._" + name;
          src.sidecarIno = s.ino;
          src.sidecarSize = s.size;
          src.resourceOffset = s.info.resourceOffset;
          e.resourceLength = s.info.resourceLength;
        }
      } else if (side != sidecars.end()) {
        out_.notes.push_back(PrintablePath(Join(path, "._" + name)) +
                             ": skipped, the MacBinary file carries its own forks");
      }
      if (!e.folder && !src.resourceInFile) e.dataLength = src.size;
      out_.bytes += e.dataLength + e.resourceLength;
      if (!e.name.empty()) macNames.push_back({e.name, where, name});
      ++valence;
      const auto index = static_cast<uint32_t>(out_.tree.size());
      out_.tree.push_back(e);
      out_.sources.push_back(src);
      if (e.folder) Descend(fd, name, where, index, depth);
    }
    if (valence > kMaxValence)
      Problem(path.empty() ? "." : path,
              "holds " + std::to_string(valence) + " entries; a folder holds at most 65,535");
    // Names the volume holds equal, as it ignores case.
    std::stable_sort(macNames.begin(), macNames.end(),
                     [](const Named& a, const Named& b) { return Compare(a.mac, b.mac) < 0; });
    for (size_t k = 1; k < macNames.size(); ++k)
      if (Compare(macNames[k - 1].mac, macNames[k].mac) == 0)
        Problem(macNames[k].path, "is the same name on the volume as \"" +
                                      PrintablePath(macNames[k - 1].own) +
                                      "\" (names are compared without case)");
  }

 private:
  static int Compare(const std::string& a, const std::string& b) {
    return CompareMacNames(reinterpret_cast<const uint8_t*>(a.data()), a.size(),
                           reinterpret_cast<const uint8_t*>(b.data()), b.size());
  }
  static std::string Join(const std::string& path, const std::string& name) {
    return path.empty() ? name : path + "/" + name;
  }
  void Problem(const std::string& path, const std::string& why) {
    out_.problems.push_back(PrintablePath(path) + ": " + why);
  }

  bool ListFolder(int fd, const std::string& path, std::vector<std::string>& names) {
    const int copy = dup(fd);
    DIR* d = copy >= 0 ? fdopendir(copy) : nullptr;
    if (!d) {
      if (copy >= 0) close(copy);
      Problem(path.empty() ? "." : path, std::string("cannot be listed: ") + std::strerror(errno));
      return false;
    }
    errno = 0;
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    const int err = errno;
    closedir(d);
    if (err) {
      Problem(path.empty() ? "." : path, std::string("cannot be listed: ") + std::strerror(err));
      return false;
    }
    std::sort(names.begin(), names.end());
    return true;
  }

  // True when name is the AppleDouble file of another entry of the folder (or one of nothing,
  // skipped); its contents go to sidecars.
  bool FindSidecar(int fd, const std::string& path, const std::vector<std::string>& names,
                   const std::string& name, std::map<std::string, Sidecar>& sidecars) {
    if (name.size() <= 2 || name.compare(0, 2, "._") != 0) return false;
    struct stat st {};
    if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
      return false;
    const int f = OpenRegular(fd, name, st);
    if (f < 0) return false;
    std::vector<uint8_t> head(std::min<uint64_t>(kAppleDoubleHead, st.st_size));
    const ssize_t n = ReadAt(f, head.data(), head.size(), 0);
    close(f);
    if (n < 0) return false;
    Sidecar s;
    std::string why;
    const AppleDoubleKind kind = ParseAppleDouble(head.data(), static_cast<size_t>(n),
                                                  static_cast<uint64_t>(st.st_size), s.info, why);
    if (kind == AppleDoubleKind::kNone) return false;
    const std::string where = Join(path, name);
    const std::string base = name.substr(2);
    if (!std::binary_search(names.begin(), names.end(), base)) {
      out_.notes.push_back(PrintablePath(where) + ": skipped, an AppleDouble file of " +
                           PrintablePath(base) + ", which is not there");
      return true;
    }
    if (kind == AppleDoubleKind::kDamaged) {
      Problem(where, why);
      return true;
    }
    s.ino = st.st_ino;
    s.size = static_cast<uint64_t>(st.st_size);
    sidecars[base] = s;
    return true;
  }

  // A file with a MacBinary header: its forks, Finder information, dates and name. False when
  // the file cannot be read (a problem is listed).
  bool Decode(int fd, const std::string& where, TreeEntry& e, EntrySource& src, bool& named) {
    if (src.size < kMacBinaryHeaderSize) return true;
    struct stat st {};
    const int f = OpenRegular(fd, src.name, st);
    uint8_t header[kMacBinaryHeaderSize];
    const ssize_t n = f < 0 ? -1 : ReadAt(f, header, sizeof header, 0);
    const int err = errno;
    if (f >= 0) close(f);
    if (n != static_cast<ssize_t>(sizeof header)) {
      Problem(where, std::string("cannot be read: ") + std::strerror(n < 0 ? err : EIO));
      return false;
    }
    MacBinaryInfo info;
    if (!ParseMacBinary(header, src.size, info)) return true;
    named = true;
    e.name = info.name;
    for (char& c : e.name)
      if (c == ':') c = '/';
    if (e.name.size() > kMaxFileName)
      Problem(where, "holds the MacBinary name \"" + PrintablePath(MacToUtf8(e.name)) + "\" of " +
                         std::to_string(e.name.size()) + " characters; a name has at most 31");
    for (char c : e.name)
      if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) {
        Problem(where, "holds a MacBinary name with a control character");
        break;
      }
    e.finder = info.finderInfo;
    if (!options_.oneDate && info.created) e.created = info.created;
    if (!options_.oneDate && info.modified) e.modified = info.modified;
    src.dataOffset = info.dataOffset;
    src.resourceOffset = info.resourceOffset;
    src.resourceInFile = true;
    e.dataLength = info.dataLength;
    e.resourceLength = info.resourceLength;
    return true;
  }

  // The Macintosh name of a Linux name; false (a problem listed) when there is none.
  bool MacName(const std::string& name, const std::string& where, std::string& mac) {
    std::string swapped = name;
    for (char& c : swapped)
      if (c == ':') c = '/';
    std::string why;
    if (!Utf8NameToMac(swapped, mac, why)) {
      Problem(where, why);
      return false;
    }
    for (char c : mac)
      if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) {
        Problem(where, "has a control character");
        return false;
      }
    if (mac.size() > kMaxFileName) {
      Problem(where, "is " + std::to_string(mac.size()) +
                         " Macintosh characters long; a name has at most 31");
      return false;
    }
    return true;
  }

  void Descend(int fd, const std::string& name, const std::string& where, uint32_t index,
               int depth) {
    if (depth + 1 > kMaxDepth) {
      Problem(where, "lies more than " + std::to_string(kMaxDepth) + " folders deep");
      return;
    }
    const int sub = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) {
      Problem(where, std::string("cannot be opened: ") + std::strerror(errno));
      return;
    }
    struct stat st {};
    if (fstat(sub, &st) != 0 || st.st_ino != out_.sources[index].ino) {
      Problem(where, "changed while it was read");
    } else {
      Walk(sub, where, index, depth + 1);
    }
    close(sub);
  }

  const FolderOptions& options_;
  FolderTree& out_;
};

}  // namespace

std::string PrintablePath(const std::string& path) {
  std::string out;
  for (size_t i = 0; i < path.size();) {
    const size_t at = i;
    char32_t c;
    if (DecodeUtf8(path, i, c) && c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0)) {
      out.append(path, at, i - at);
      continue;
    }
    i = at;
    do {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(path[i]));
      out += hex;
      ++i;
    } while (i < path.size() && (static_cast<unsigned char>(path[i]) & 0xC0) == 0x80);
  }
  return out;
}

uint32_t HfsDateOfUnixTime(int64_t seconds, bool local) {
  const auto t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!(local ? localtime_r(&t, &tm) : gmtime_r(&t, &tm))) return 0;
  // Days from 1904-01-01 of the civil date, then the wall-clock time.
  int64_t y = tm.tm_year + 1900;
  const int64_t m = tm.tm_mon + 1, d = tm.tm_mday;
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468 + 24107;
  const int64_t hfs = days * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
  return hfs < 0 ? 0 : hfs > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(hfs);
}

bool ReadFolderTree(const std::string& dir, const FolderOptions& options, FolderTree& out,
                    std::string& error) {
  out = {};
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) == 0) out.dev = st.st_dev, out.ino = st.st_ino;
  Walker walker(options, out);
  walker.Walk(fd, "", kNoParent, 0);
  close(fd);
  return true;
}

FolderReader::FolderReader(std::string dir, const FolderTree& tree,
                           const volatile std::sig_atomic_t* cancel)
    : dir_(std::move(dir)), tree_(tree), cancel_(cancel) {}

FolderReader::~FolderReader() {
  if (fileFd_ >= 0) close(fileFd_);
  if (folderFd_ >= 0) close(folderFd_);
}

std::string FolderReader::PathOf(size_t entry, bool sidecar) const {
  const EntrySource& s = tree_.sources[entry];
  std::string path = sidecar ? s.sidecar : s.name;
  for (uint32_t p = tree_.tree[entry].parent; p != kNoParent; p = tree_.tree[p].parent)
    path = tree_.sources[p].name + "/" + path;
  std::string dir = dir_;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir + "/" + path;
}

bool FolderReader::OpenFolder(uint32_t folder, std::string& error) {
  if (folderFd_ >= 0 && folder_ == folder) return true;
  if (folderFd_ >= 0) close(folderFd_);
  folderFd_ = -1;
  std::vector<uint32_t> chain;
  for (uint32_t p = folder; p != kNoParent; p = tree_.tree[p].parent) chain.push_back(p);
  int fd = open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat top {};
  if (fd >= 0 && (fstat(fd, &top) != 0 || top.st_ino != tree_.ino || top.st_dev != tree_.dev)) {
    close(fd);
    fd = -1;
    errno = ESTALE;
  }
  for (auto it = chain.rbegin(); fd >= 0 && it != chain.rend(); ++it) {
    const EntrySource& s = tree_.sources[*it];
    const int sub = openat(fd, s.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(fd);
    fd = sub;
    struct stat st {};
    if (fd >= 0 && (fstat(fd, &st) != 0 || st.st_ino != s.ino || st.st_dev != s.dev)) {
      close(fd);
      fd = -1;
      errno = ESTALE;
    }
  }
  if (fd < 0) {
    error = "cannot open the folder " +
            (chain.empty() ? PrintablePath(dir_) : PrintablePath(PathOf(chain[0], false))) + ": " +
            std::strerror(errno);
    return false;
  }
  folderFd_ = fd;
  folder_ = folder;
  return true;
}

bool FolderReader::Read(size_t entry, bool resource, uint64_t offset, uint8_t* buffer,
                        size_t length, std::string& error) {
  if (cancel_ && *cancel_) {
    error = "the format was cancelled";
    return false;
  }
  const EntrySource& s = tree_.sources[entry];
  const bool sidecar = resource && !s.resourceInFile;
  if (fileFd_ < 0 || fileEntry_ != entry || fileSidecar_ != sidecar) {
    if (fileFd_ >= 0) close(fileFd_);
    fileFd_ = -1;
    if (!OpenFolder(tree_.tree[entry].parent, error)) return false;
    struct stat st {};
    fileFd_ = OpenRegular(folderFd_, sidecar ? s.sidecar : s.name, st);
    if (fileFd_ < 0) {
      error = "cannot open " + PrintablePath(PathOf(entry, sidecar)) + ": " + std::strerror(errno);
      return false;
    }
    fileEntry_ = entry;
    fileSidecar_ = sidecar;
    if (st.st_ino != (sidecar ? s.sidecarIno : s.ino) ||
        static_cast<uint64_t>(st.st_size) != (sidecar ? s.sidecarSize : s.size)) {
      error = PrintablePath(PathOf(entry, sidecar)) + " changed after it was read";
      return false;
    }
  }
  const uint64_t base = resource ? s.resourceOffset : s.dataOffset;
  const ssize_t n = ReadAt(fileFd_, buffer, length, base + offset);
  if (n != static_cast<ssize_t>(length)) {
    error = "cannot read " + PrintablePath(PathOf(entry, sidecar)) + ": " +
            (n < 0 ? std::strerror(errno) : "it became shorter");
    return false;
  }
  return true;
}

uint16_t FillingStages::RunStage(uint32_t index, SectorIo& io, uint8_t drive,
                                 const char* volumeLabel) {
  if (index != 5) return base_.RunStage(index, io, drive, volumeLabel);
  std::string error;
  const uint16_t status =
      WriteVolumeTree(io, drive, totalSectors_, volumeLabel, tree_, reader_, error);
  if (status) message_ = "Unable to write the files: " + error;
  return status;
}

const char* FillingStages::FailureMessage(uint32_t index) {
  return index == 5 && !message_.empty() ? message_.c_str() : base_.FailureMessage(index);
}

uint32_t SmallestVolume(const TreePlanner& planner, bool diskCopy) {
  for (const FloppyMedium& m : kFloppyMedia)
    if ((m.diskCopy || !diskCopy) && planner.For(m.sectors).fits) return m.sectors;
  if (diskCopy) return 0;
  constexpr uint32_t kMegabyte = 2048;  // sectors
  for (uint32_t s = 3 * kMegabyte; s <= kMaxVolumeSectors; s += kMegabyte)
    if (planner.For(s).fits) return s;
  return 0;
}

}  // namespace brind::cli
