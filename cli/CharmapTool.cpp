#include "cli/CharmapTool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "charmap/CharMapFile.h"
#include "charmap/NameConversion.h"
#include "cli/Cp1252.h"
#include "cli/MacRoman.h"

namespace brind::cli {

namespace {

std::string Hex2(unsigned v) {
  char s[8];
  std::snprintf(s, sizeof s, "0x%02X", v & 0xFF);
  return s;
}

// Characters that would be invisible in a table are named instead.
std::string Shown(const std::string& utf8) {
  if (utf8 == "\xC2\xA0") return "NBSP";
  if (utf8 == "\xC2\xAD") return "SHY";
  if (utf8.size() == 1 && (static_cast<unsigned char>(utf8[0]) < 0x20 || utf8[0] == 0x7F)) {
    return "(control)";
  }
  return utf8;
}

std::string WindowsChar(unsigned code) {
  const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(code)));
  if (utf8 == "\xEF\xBF\xBD") return "(none)";
  return Shown(utf8);
}

// Pads UTF-8 text to a width in characters.
std::string Pad(const std::string& s, size_t width) {
  size_t chars = 0;
  for (char c : s) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++chars;
  }
  return chars >= width ? s + " " : s + std::string(width - chars, ' ');
}

}  // namespace

std::string FormatMapTable(const CharMap& map) {
  std::string out = "Mac   Windows  Mac char  Windows char\n";
  for (int i = 0; i < kCharMapEntries; ++i) {
    const unsigned mac = 0x80 + i;
    const unsigned v = map[i];
    out += Hex2(mac) + "  ";
    const std::string macChar = Shown(MacCharToUtf8(static_cast<unsigned char>(mac)));
    if (v == CHARMAP_UNMAPPED || v == 0) {
      // Names show such a character by its own code, behind "_" when that code is taken.
      const bool taken = IsWindowsCharTaken(map, static_cast<uint8_t>(mac));
      out += Pad(v == 0 ? "0" : "none", 9) + Pad(macChar, 10) + "not mapped; names show " +
             (taken ? "\"_\" + " : "") + WindowsChar(mac) + "\n";
    } else {
      out += Pad(Hex2(v), 9) + Pad(macChar, 10) + WindowsChar(v) + "\n";
    }
  }
  return out;
}

const char* FileKindName(mode_t mode) {
  switch (mode & S_IFMT) {
    case S_IFDIR:
      return "a directory";
    case S_IFCHR:
      return "a character device";
    case S_IFBLK:
      return "a block device";
    case S_IFIFO:
      return "a FIFO";
    case S_IFSOCK:
      return "a socket";
    case S_IFLNK:
      return "a symbolic link";
    case S_IFREG:
      return "a regular file";
    default:
      return "not a regular file";
  }
}

bool ReadMapFile(const std::string& path, CharMap& map, std::string& bytes, std::string& error,
                 const std::string& name) {
  const std::string& shown = name.empty() ? path : name;
  // Looked at before it is opened: opening a device can have effects of its own, and a FIFO
  // would wait for a writer.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    const int saved = errno;
    if (saved == ENOENT && lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      error = shown + " is a symbolic link to something that does not exist";
    } else {
      error = "cannot open " + shown + ": " + std::strerror(saved);
    }
    return false;
  }
  auto notRegular = [&](mode_t mode) {
    error = shown + " is " + FileKindName(mode) + ", not a character map file";
    return false;
  };
  if (!S_ISREG(st.st_mode)) return notRegular(st.st_mode);
  // Non-blocking all the same, and looked at again: the path may have changed in between.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + shown + ": " + std::strerror(errno);
    return false;
  }
  if (fstat(fd, &st) != 0) {
    error = "cannot examine " + shown + ": " + std::strerror(errno);
    close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return notRegular(st.st_mode);
  }
  bytes.clear();
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read " + shown + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > kMapFileReadLimit) {
      error = shown + " is larger than " + std::to_string(kMapFileReadLimit / 1024) +
              " KB; a character map file has 128 lines of about 30 bytes";
      close(fd);
      return false;
    }
    bytes.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  map.fill(0);
  ReadCharMapBytes(map, bytes.data(), bytes.size());
  return true;
}

bool ReadCheckedMapFile(const std::string& path, CharMap& map, std::string& error,
                        const std::string& name) {
  std::string bytes;
  if (!ReadMapFile(path, map, bytes, error, name)) return false;
  const std::string& shown = name.empty() ? path : name;
  if (bytes.empty()) {
    error = shown + " is empty";
    return false;
  }
  for (const Finding& f : CheckMapFile(bytes)) {
    if (!f.problem) continue;
    error = shown + " is not read as it is written: " +
            (f.line ? "line " + std::to_string(f.line) + ": " : std::string()) +
            (f.text.starts_with("has ") ? "it " : "") + f.text;
    return false;
  }
  return true;
}

namespace {

class Checker : public CharMapReadObserver {
 public:
  std::vector<Finding> findings;
  int entries = 0;
  unsigned ignoredLines = 0, firstIgnored = 0;
  unsigned misnumbered = 0;
  unsigned lastSplitLine = 0, lastIgnored = 0;

  void OnLine(const CharMapLine& l) override {
    if (l.entry >= kCharMapEntries) {
      if (l.fileLine != lastIgnored) {
        lastIgnored = l.fileLine;
        if (ignoredLines++ == 0) firstIgnored = l.fileLine;
      }
      return;
    }
    entries = l.entry + 1;
    const std::string entry = "the entry for Mac " + Hex2(0x80 + l.entry);
    if (l.continued && l.fileLine != lastSplitLine) {
      lastSplitLine = l.fileLine;
      Add(l.fileLine,
          "is longer than 44 characters: the rest is read as the next line, so every "
          "later line falls on the entry after its own");
    }
    if (!l.hasDigits) {
      Add(l.fileLine, std::string(l.continued ? "the part after the 44th character" : "it") +
                          " has no digits: " + entry + " is left as it was");
      return;
    }
    if (l.longRun) {
      Add(l.fileLine, "has a number of more than 4 digits, taken whole modulo 256");
    }
    if (l.lastNumber > 255) {
      const std::string number =
          l.lastNumber >= 99999 ? "a number of 5 or more digits" : std::to_string(l.lastNumber);
      Add(l.fileLine, number + " is more than 255: " + entry + " becomes " +
                          std::to_string(l.value) + " (modulo 256)");
    }
    if (l.runs >= 2 && !l.continued && l.firstNumber != 0x80u + l.entry) {
      if (misnumbered++ == 0) {
        Add(l.fileLine, "names Mac " + std::to_string(l.firstNumber) + " but is read for Mac " +
                            std::to_string(0x80 + l.entry) + " (" + Hex2(0x80 + l.entry) + ")");
      }
    }
  }
  void Add(unsigned line, std::string text, bool problem = true) {
    findings.push_back({line, problem, std::move(text)});
  }
};

}  // namespace

std::vector<Finding> CheckMapFile(std::string_view bytes) {
  CharMap map{};
  Checker c;
  ReadCharMapBytes(map, bytes.data(), bytes.size(), &c);
  if (c.misnumbered > 1) {
    c.Add(0, std::to_string(c.misnumbered - 1) +
                 " more line(s) name another Macintosh code "
                 "than the one they are read for");
  }
  if (c.ignoredLines) {
    c.Add(c.firstIgnored, std::to_string(c.ignoredLines) +
                              " line(s) from here on are past the 128th and are ignored");
  }
  if (c.entries < kCharMapEntries) {
    c.Add(0, "has " + std::to_string(c.entries) + " line(s): the entries from Mac " +
                 Hex2(0x80 + c.entries) +
                 " on keep what the program had before (nothing, when it has just started)");
  }
  for (int i = 0; i < c.entries; ++i) {
    if (map[i] == 0) {
      c.Add(0, "the entry for Mac " + Hex2(0x80 + i) +
                   " is 0, no character: names keep the Macintosh code");
    } else if (map[i] != CHARMAP_UNMAPPED) {
      const uint8_t first = FindMacCharFor(map, map[i]);
      if (first != 0x80 + i) {
        c.Add(0, "Windows " + Hex2(map[i]) + " stands for both Mac " + Hex2(first) + " and Mac " +
                     Hex2(0x80 + i) + ": names convert it back to Mac " + Hex2(first));
      }
    }
  }
  size_t bareLf = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) ++bareLf;
  }
  if (bareLf) {
    c.Add(0,
          std::to_string(bareLf) +
              " line(s) end in LF alone; the programs write CR LF but read both alike",
          false);
  }
  return c.findings;
}

namespace {

// Holds back the signals that end a process while a temporary file exists, so that a stop
// neither leaves it behind nor comes between the rename and its clean-up.
class HoldSignals {
 public:
  HoldSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM})
      sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~HoldSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  HoldSignals(const HoldSignals&) = delete;
  HoldSignals& operator=(const HoldSignals&) = delete;

 private:
  sigset_t old_;
};

// Where a map file for path is written: path itself when nothing is there, or the regular
// file it is or links to. False, with the reason, for anything else.
bool WriteTarget(const std::string& path, bool replace, std::string& target, struct stat& st,
                 bool& exists, std::string& error) {
  target = path;
  exists = false;
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    error = "cannot examine " + path + ": " + std::strerror(errno);
    return false;
  }
  exists = true;
  if (S_ISLNK(st.st_mode)) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real || stat(real, &st) != 0) {
      error = path + " is a symbolic link to something that " +
              (errno == ENOENT ? "does not exist"
                               : std::string("cannot be reached: ") + std::strerror(errno)) +
              "; only a regular file is written";
      std::free(real);
      return false;
    }
    target = real;
    std::free(real);
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + (target == path ? "" : " is a symbolic link to " + target + ", which") + " is " +
            FileKindName(st.st_mode) + "; only a regular file is written";
    return false;
  }
  if (!replace) {
    error = path + " exists; give --force to replace it";
    return false;
  }
  // The rename would replace a file that its permissions keep from being written.
  if (access(target.c_str(), W_OK) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool WriteMapFileAtomically(const std::string& path, const CharMap& map, bool replace,
                            std::string& error, const MapFileCalls& calls) {
  std::string target;
  struct stat st {};
  bool exists = false;
  if (!WriteTarget(path, replace, target, st, exists, error)) return false;

  HoldSignals hold;
  std::string temp = target + ".XXXXXX";
  const int fd = calls.makeTemp(temp.data());
  if (fd < 0) {
    error = "cannot create a temporary file beside " + target + ": " + std::strerror(errno);
    return false;
  }
  int saved = 0;
  const char* step = "write";
  if (exists) {
    // The owner first: a change of owner clears the set-ID bits that the mode then restores.
    // The new file's group may come from the folder rather than from us.
    struct stat made {};
    if (fstat(fd, &made) != 0) {
      saved = errno;
    } else if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
               calls.changeOwner(fd, st.st_uid, st.st_gid) != 0) {
      saved = errno, step = "keep the owner of";
    } else if (calls.changeMode(fd, st.st_mode & 07777) != 0) {
      saved = errno, step = "keep the mode of";
    }
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    if (calls.changeMode(fd, 0666 & ~mask) != 0) saved = errno;
  }
  std::FILE* f = saved ? nullptr : fdopen(fd, "wb");
  if (!f) {
    if (!saved) saved = errno;
    close(fd);
  } else {
    bool ok = WriteCharMapFile(map, f);
    if (!ok) saved = errno ? errno : EIO;
    if (ok && calls.sync(fileno(f)) != 0) ok = false, saved = errno;
    if (std::fclose(f) != 0 && ok) ok = false, saved = errno;
    if (ok && calls.renameFile(temp.c_str(), target.c_str()) != 0) ok = false, saved = errno;
    if (ok) return true;
  }
  error = std::string("cannot ") + step + " " + path + ": " + std::strerror(saved);
  unlink(temp.c_str());
  return false;
}

bool ParseHexBytes(std::string_view text, std::string& out, std::string& error) {
  out.clear();
  int high = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') && high < 0) {
      ++i;
      continue;
    }
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    if (v < 0) {
      if ((c == ' ' || c == ',' || c == ':') && high < 0) continue;
      error = "is not a list of hex bytes (at \"" + std::string(text.substr(i, 8)) + "\")";
      return false;
    }
    if (high < 0) {
      high = v;
    } else {
      out += static_cast<char>(high * 16 + v);
      high = -1;
    }
  }
  if (high >= 0) {
    error = "ends in half a byte";
    return false;
  }
  return true;
}

std::string HexBytes(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    char s[4];
    std::snprintf(s, sizeof s, "%02X", static_cast<unsigned char>(c));
    if (!out.empty()) out += ' ';
    out += s;
  }
  return out;
}

}  // namespace brind::cli
