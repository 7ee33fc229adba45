#include "cli/CharmapTool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

bool ReadMapFile(const std::string& path, CharMap& map, std::string& bytes, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes.clear();
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  const bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) {
    error = "cannot read " + path;
    return false;
  }
  map.fill(0);
  ReadCharMapBytes(map, bytes.data(), bytes.size());
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

bool WriteMapFileAtomically(const std::string& path, const CharMap& map, std::string& error) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  std::FILE* f = fdopen(fd, "wb");
  if (!f) {
    error = std::string("cannot write: ") + std::strerror(errno);
    close(fd);
    unlink(temp.c_str());
    return false;
  }
  bool ok = WriteCharMapFile(map, f);
  int saved = errno;
  if (ok && fsync(fileno(f)) != 0) ok = false, saved = errno;
  if (std::fclose(f) != 0 && ok) ok = false, saved = errno;
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false, saved = errno;
  if (!ok) {
    error = "cannot write " + path + ": " + std::strerror(saved);
    unlink(temp.c_str());
    return false;
  }
  return true;
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
