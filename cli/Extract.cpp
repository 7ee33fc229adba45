#include "cli/Extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "cli/AppleDoubleWrite.h"
#include "cli/MacRoman.h"

namespace brind::cli {

namespace {

// Deeper folders are reported, not written: each level holds a descriptor open.
constexpr int kMaxDepth = 256;
constexpr size_t kChunk = 256 * 1024;
constexpr size_t kSector = 512;  // extents are whole blocks, and blocks whole sectors

bool AllZero(const FinderInfo& f) {
  return std::all_of(f.begin(), f.end(), [](uint8_t b) { return b == 0; });
}

FinderInfo FinderOf(const CatalogEntry& e) {
  FinderInfo f{};
  std::copy(e.finderInfo.begin(), e.finderInfo.end(), f.begin());
  std::copy(e.extendedFinderInfo.begin(), e.extendedFinderInfo.end(), f.begin() + 16);
  return f;
}

MacDates DatesOf(const CatalogEntry& e) { return {e.created, e.modified, e.backedUp}; }

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t put = write(fd, p, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

bool PWriteAll(int fd, const uint8_t* p, size_t n, off_t at) {
  while (n > 0) {
    const ssize_t put = pwrite(fd, p, n, at);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    at += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

void SetModified(int fd, uint32_t hfs) {
  const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(UnixTimeOfHfsDate(hfs)), 0}};
  futimens(fd, times);
}

const char* ForkName(uint8_t fork) { return fork == kResourceFork ? "resource" : "data"; }

class Extractor {
 public:
  Extractor(VolumeReader& reader, const ExtractOptions& options, Findings& findings)
      : reader_(reader),
        catalog_(reader.GetCatalog()),
        options_(options),
        findings_(findings),
        reached_(catalog_.entries.size(), false) {}

  ExtractResult Run(int dirFd) {
    const CatalogEntry* root = catalog_.Find(cnid::kRootFolder);
    if (root == nullptr || !root->folder) {
      findings_.Error("not extracted", "catalog", "there is no root folder (ID 2) to start from");
      out_.notWritten = static_cast<uint32_t>(catalog_.entries.size());
      return std::move(out_);
    }
    for (size_t i = 0; i < catalog_.entries.size(); ++i) {
      const CatalogEntry& e = catalog_.entries[i];
      if (&e == root)
        reached_[i] = true;
      else
        children_[e.parent].push_back(i);
    }
    Folder(dirFd, cnid::kRootFolder, "", 0);
    SetModified(dirFd, root->modified);
    // What hangs from no path of the root (a missing parent, a folder its own ancestor).
    for (size_t i = 0; i < catalog_.entries.size(); ++i) {
      if (reached_[i]) continue;
      const CatalogEntry& e = catalog_.entries[i];
      ++out_.notWritten;
      findings_.Error(
          "not reached", RecordWhere(e.node, e.record),
          Format("%s \"%s\" (ID %u, in folder %u) is not reached from the root "
                 "folder; not extracted",
                 e.folder ? "folder" : "file", LinuxName(e.name).c_str(), e.id, e.parent));
    }
    return std::move(out_);
  }

 private:
  void Folder(int fd, uint32_t id, const std::string& path, int depth) {
    auto it = children_.find(id);
    if (it == children_.end()) return;
    for (size_t index : it->second) {
      const CatalogEntry& e = catalog_.entries[index];
      reached_[index] = true;
      const std::string name = LinuxName(e.name), shown = path + name;
      if (e.folder)
        Subfolder(fd, e, name, shown, depth);
      else
        File(fd, e, name, shown);
    }
  }

  void Subfolder(int fd, const CatalogEntry& e, const std::string& name, const std::string& shown,
                 int depth) {
    if (!entered_.insert(e.id).second) {  // the catalog's keys make this a tree; stay sure
      NotWritten(shown + "/", "is reached twice in the tree");
      return;
    }
    if (depth + 1 >= kMaxDepth) {
      FolderNotWritten(e.id, shown + "/", Format("lies more than %d folders deep", kMaxDepth));
      return;
    }
    if (mkdirat(fd, name.c_str(), 0777) != 0) {
      FolderNotWritten(e.id, shown + "/", Reason(errno));
      return;
    }
    const int sub = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) {
      FolderNotWritten(e.id, shown + "/", Reason(errno));
      return;
    }
    ++out_.folders;
    if (options_.list) out_.listing.push_back(shown + "/");
    Folder(sub, e.id, shown + "/", depth + 1);
    SetModified(sub, e.modified);
    close(sub);
    const FinderInfo finder = FinderOf(e);
    if (!options_.macbinary && !AllZero(finder)) {
      const int ad = Create(fd, "._" + name, shown);
      if (ad < 0) return;
      const std::vector<uint8_t> header = AppleDoubleHeader(finder, DatesOf(e), false, 0);
      if (!WriteAll(ad, header.data(), header.size()))
        findings_.Error("not written", "._" + shown, Reason(errno));
      SetModified(ad, e.modified);
      close(ad);
    }
  }

  void File(int fd, const CatalogEntry& e, const std::string& name, const std::string& shown) {
    const FinderInfo finder = FinderOf(e);
    const MacDates dates = DatesOf(e);
    if (options_.macbinary) {
      const std::string binName = name + ".bin", binShown = shown + ".bin";
      const int out = Create(fd, binName, binShown);
      if (out < 0) return;
      ++out_.files;
      // The header goes last: it records the forks' lengths as written.
      uint8_t pad[kMacBinaryBlock] = {};
      bool ok = WriteAll(out, pad, sizeof pad);
      const uint64_t data = ok ? Fork(out, e, kDataFork, binShown, ok) : 0;
      if (ok) ok = WriteAll(out, pad, (kMacBinaryBlock - data % kMacBinaryBlock) % kMacBinaryBlock);
      const uint64_t resource = ok ? Fork(out, e, kResourceFork, binShown, ok) : 0;
      if (ok)
        ok = WriteAll(out, pad, (kMacBinaryBlock - resource % kMacBinaryBlock) % kMacBinaryBlock);
      if (ok) {
        const auto header = MacBinaryHeader(e.name, finder, dates, static_cast<uint32_t>(data),
                                            static_cast<uint32_t>(resource));
        ok = PWriteAll(out, header.data(), header.size(), 0);
      }
      if (!ok) findings_.Error("not written", binShown, Reason(errno));
      SetModified(out, e.modified);
      close(out);
      List(binShown, e);
      return;
    }
    const int out = Create(fd, name, shown);
    if (out < 0) return;
    ++out_.files;
    bool ok = true;
    Fork(out, e, kDataFork, shown, ok);
    if (!ok) findings_.Error("not written", shown, Reason(errno));
    SetModified(out, e.modified);
    close(out);
    List(shown, e);
    const bool withResource = e.resource.logicalLength != 0;
    if (!withResource && AllZero(finder)) return;
    const int ad = Create(fd, "._" + name, "._" + shown);
    if (ad < 0) return;
    std::vector<uint8_t> header = AppleDoubleHeader(finder, dates, withResource, 0);
    ok = WriteAll(ad, header.data(), header.size());
    const uint64_t resource = ok ? Fork(ad, e, kResourceFork, "._" + shown, ok) : 0;
    if (ok && withResource) {
      header = AppleDoubleHeader(finder, dates, true, static_cast<uint32_t>(resource));
      ok = PWriteAll(ad, header.data(), header.size(), 0);
    }
    if (!ok) findings_.Error("not written", "._" + shown, Reason(errno));
    SetModified(ad, e.modified);
    close(ad);
  }

  // Copies a fork to out; returns the bytes written. What cannot be read (past the fork's extents,
  // or unreadable) ends the fork there, reported; ok turns false only when writing fails.
  uint64_t Fork(int out, const CatalogEntry& e, uint8_t fork, const std::string& shown, bool& ok) {
    const uint64_t length = fork == kResourceFork ? e.resource.logicalLength : e.data.logicalLength;
    buffer_.resize(kChunk);
    uint64_t done = 0;
    while (done < length) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, length - done));
      if (!reader_.ReadFork(e, fork, done, buffer_.data(), n)) {
        // Salvage the readable sectors at the start of this chunk.
        size_t good = 0;
        while (good < n) {
          const size_t step = std::min(kSector, n - good);
          if (!reader_.ReadFork(e, fork, done + good, buffer_.data() + good, step)) break;
          good += step;
        }
        n = good;
      }
      if (n > 0 && !WriteAll(out, buffer_.data(), n)) {
        ok = false;
        return done;
      }
      done += n;
      out_.bytes += n;
      if (done < length && n < kChunk) break;
    }
    if (done < length)
      findings_.Error("fork unreadable", shown,
                      Format("the %s fork has %llu bytes, only the first %llu lie in its extents "
                             "and could be read; the file holds those",
                             ForkName(fork), static_cast<unsigned long long>(length),
                             static_cast<unsigned long long>(done)));
    return done;
  }

  int Create(int fd, const std::string& name, const std::string& shown) {
    const int out =
        openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (out < 0) NotWritten(shown, Reason(errno));
    return out;
  }

  static std::string Reason(int err) {
    if (err == EEXIST)
      return "is there already (two names of the volume become one here); not overwritten";
    return std::string("cannot be written: ") + std::strerror(err);
  }

  void NotWritten(const std::string& shown, const std::string& why) {
    ++out_.notWritten;
    findings_.Error("not written", shown, why);
  }

  // A folder that is not written: what it holds is not extracted either, said once.
  void FolderNotWritten(uint32_t id, const std::string& shown, const std::string& why) {
    uint32_t inside = 0;
    std::vector<uint32_t> pending{id};
    while (!pending.empty()) {
      auto it = children_.find(pending.back());
      pending.pop_back();
      if (it == children_.end()) continue;
      for (size_t index : it->second) {
        if (reached_[index]) continue;
        reached_[index] = true;
        ++inside;
        const CatalogEntry& e = catalog_.entries[index];
        if (e.folder && entered_.insert(e.id).second) pending.push_back(e.id);
      }
    }
    out_.notWritten += inside;
    NotWritten(
        shown,
        inside ? why + Format("; the %u entries inside it are not extracted either", inside) : why);
  }

  void List(const std::string& shown, const CatalogEntry& e) {
    if (options_.list)
      out_.listing.push_back(Format("%s  (data %u bytes, resource %u bytes)", shown.c_str(),
                                    e.data.logicalLength, e.resource.logicalLength));
  }

  VolumeReader& reader_;
  const Catalog& catalog_;
  const ExtractOptions& options_;
  Findings& findings_;
  std::vector<bool> reached_;
  std::unordered_map<uint32_t, std::vector<size_t>> children_;  // entries by parent, in key order
  std::unordered_set<uint32_t> entered_;
  std::vector<uint8_t> buffer_;
  ExtractResult out_;
};

}  // namespace

std::string LinuxName(std::string_view mac) {
  std::string out;
  if (mac.empty() || mac == "." || mac == "..") {
    for (char c : mac) out += Format("\\x%02X", static_cast<unsigned char>(c));
    return mac.empty() ? "\\x00" : out;
  }
  for (size_t i = 0; i < mac.size(); ++i) {
    const char c = mac[i];
    const auto b = static_cast<unsigned char>(c);
    // A backslash is itself only where it could not be read as the start of an escape.
    const bool escapeLike = c == '\\' && i + 3 < mac.size() && mac[i + 1] == 'x' &&
                            std::isxdigit(static_cast<unsigned char>(mac[i + 2])) &&
                            std::isxdigit(static_cast<unsigned char>(mac[i + 3]));
    if (b < 0x20 || b == 0x7F || c == ':' || escapeLike)
      out += Format("\\x%02X", b);
    else if (c == '/')
      out += ':';
    else
      out += MacCharToUtf8(b);
  }
  return out;
}

ExtractResult ExtractTree(VolumeReader& reader, int dirFd, const ExtractOptions& options,
                          Findings& findings) {
  return Extractor(reader, options, findings).Run(dirFd);
}

}  // namespace brind::cli
