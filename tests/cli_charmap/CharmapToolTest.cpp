#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "charmap/CharMapFile.h"
#include "cli/CharmapTool.h"
#include "cli/MacRoman.h"
#include "common/PrintableText.h"

namespace brind::cli {
namespace {

TEST(MacRoman, EveryCodeRoundTripsAndIsDistinct) {
  std::set<std::string> seen;
  for (int c = 1; c < 256; ++c) {
    const std::string one(1, char(c));
    const std::string utf8 = MacToUtf8(one);
    EXPECT_TRUE(seen.insert(utf8).second) << "two codes give " << utf8;
    std::string back, error;
    ASSERT_TRUE(Utf8ToMac(utf8, back, error)) << c << ": " << error;
    EXPECT_EQ(back, one);
  }
  struct Case {
    unsigned code;
    const char* utf8;
  };
  for (const Case c : {Case{0x80, "Ä"}, Case{0xA0, "†"}, Case{0xA5, "•"}, Case{0xCA, "\u00A0"},
                       Case{0xDB, "¤"}, Case{0xF0, "\uF8FF"}, Case{0xFF, "ˇ"}}) {
    EXPECT_EQ(MacCharToUtf8(static_cast<unsigned char>(c.code)), c.utf8) << std::hex << c.code;
  }
}

TEST(MacRoman, Refusals) {
  struct Case {
    std::string utf8;
    const char* why;
  };
  const Case cases[] = {
      {"Caf\xC3", "not valid UTF-8"},       // cut sequence
      {"\xC0\xAF", "not valid UTF-8"},      // overlong
      {"\xED\xA0\x80", "not valid UTF-8"},  // surrogate
      {"\xE2\x82\xAC", "U+20AC"},           // euro: not in the set of the time
      {"\xD0\x96", "U+0416"},               // Cyrillic
  };
  for (const Case& c : cases) {
    std::string out, error;
    EXPECT_FALSE(Utf8ToMac(c.utf8, out, error));
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
  }
}

std::string DefaultFileBytes() {
  std::FILE* f = std::tmpfile();
  WriteCharMapFile(DefaultCharMap, f);
  std::string bytes(size_t(std::ftell(f)), '\0');
  std::rewind(f);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
  return bytes;
}

std::string Line(int k, const std::string& value) {
  return "The Mac " + std::to_string(128 + k) + " is mapped To " + value + "\r\n";
}

TEST(CheckMapFile, FindsWhatTheReaderDoesDifferently) {
  const std::string good = DefaultFileBytes();
  auto replaceLine = [&](int k, const std::string& with) {
    std::string s = good;
    const std::string old = Line(k, std::to_string(DefaultCharMap[k]));
    s.replace(s.find(old), old.size(), with);
    return s;
  };
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> expect;  // pieces of the findings' texts, in order
    unsigned line;                    // line of the first finding
    bool problem;
  };
  std::string lfOnly;
  for (char c : good) {
    if (c != '\r') lfOnly += c;
  }
  const Case cases[] = {
      {"the default file", good, {}, 0, false},
      {"300", replaceLine(2, Line(2, "300")), {"300 is more than 255", "becomes 44"}, 3, true},
      {"no digits", replaceLine(5, "nothing here\r\n"), {"no digits", "Mac 0x85"}, 6, true},
      {"a 60-character line",
       replaceLine(0, std::string(60, ' ') + "196\r\n"),
       {"longer than 44", "names Mac 129 but is read for Mac 130", "more line(s)",
        "past the 128th"},
       1,
       true},
      {"127 lines",
       good.substr(0, good.rfind("The Mac 255")),
       {"has 127 line(s)", "0xFF"},
       0,
       true},
      {"130 lines", good + Line(128, "1") + Line(129, "1"), {"2 line(s)", "ignored"}, 129, true},
      {"5 digits",
       replaceLine(1, Line(1, "65733")),
       {"more than 4 digits", "65733 is more than 255", "becomes 197"},
       2,
       true},
      {"a target twice",
       replaceLine(1, Line(1, "196")),
       {"Windows 0xC4 stands for both Mac 0x80 and Mac 0x81"},
       0,
       true},
      {"zero", replaceLine(3, Line(3, "0")), {"Mac 0x83 is 0"}, 0, true},
      {"LF line ends are only a remark", lfOnly, {"128 line(s) end in LF alone"}, 0, false},
  };
  for (const Case& c : cases) {
    const std::vector<Finding> found = CheckMapFile(c.text);
    std::string all;
    bool problem = false;
    for (const Finding& f : found) {
      all += f.text + "\n";
      problem |= f.problem;
    }
    size_t at = 0;
    for (const std::string& piece : c.expect) {
      const size_t pos = all.find(piece, at);
      EXPECT_NE(pos, std::string::npos) << c.what << ": \"" << piece << "\" in\n" << all;
      if (pos != std::string::npos) at = pos;
    }
    if (c.expect.empty()) {
      EXPECT_TRUE(found.empty()) << c.what << ":\n" << all;
    }
    if (!found.empty()) {
      EXPECT_EQ(found[0].line, c.line) << c.what;
    }
    EXPECT_EQ(problem, c.problem) << c.what;
  }
}

struct TempDir {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("brind-cm-" + std::to_string(getpid()));
  TempDir() { std::filesystem::create_directories(path); }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::vector<std::string> Names() const {
    std::vector<std::string> v;
    for (auto& e : std::filesystem::directory_iterator(path)) v.push_back(e.path().filename());
    return v;
  }
};

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(WriteMapFileAtomically, WholeFileOrNothing) {
  TempDir dir;
  const std::string file = (dir.path / "CHARMAP.MAC").string();
  std::string error;
  ASSERT_TRUE(WriteMapFileAtomically(file, DefaultCharMap, false, error)) << error;
  EXPECT_EQ(Slurp(file), DefaultFileBytes());
  CharMap ones;
  ones.fill(1);
  ASSERT_TRUE(WriteMapFileAtomically(file, ones, true, error)) << error;
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"CHARMAP.MAC"}) << "no temporary file left";
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "an ordinary file, not mkstemp's 0600";

  // No such folder: nothing is made.
  EXPECT_FALSE(WriteMapFileAtomically((dir.path / "none" / "X").string(), ones, true, error));
  EXPECT_NE(error.find("temporary file"), std::string::npos) << error;
}

// Over an existing file: its mode and owner kept, or, when any call fails, the file as it was.
// Never a temporary file left. Another owner and a set-group-ID folder need root to set up.
TEST(WriteMapFileAtomically, OverAnExistingFile) {
  MapFileCalls ok, temp, owner, mode, sync, rename;
  temp.makeTemp = [](char*) { return errno = EMFILE, -1; };
  owner.changeOwner = [](int, uid_t, gid_t) { return errno = EPERM, -1; };
  mode.changeMode = [](int, mode_t) { return errno = EROFS, -1; };
  sync.sync = [](int) { return errno = EIO, -1; };
  rename.renameFile = [](const char*, const char*) { return errno = EXDEV, -1; };
  struct Case {
    const char* what;
    mode_t mode;
    uid_t uid;         // 0: ours
    bool setGroupDir;  // a new file there takes the folder's group, not ours
    MapFileCalls calls;
    const char* reason;  // "": written
  };
  const Case cases[] = {
      {"set-group-ID kept", 02640, 0, false, ok, ""},
      {"another user's, set-user-ID kept", 04755, 4321, false, ok, ""},
      {"our group in a set-group-ID folder", 0644, 0, true, ok, ""},
      {"no temporary file", 0600, 0, false, temp, "cannot create a temporary file"},
      {"owner not kept", 0644, 4321, false, owner, "cannot keep the owner of"},
      {"mode not kept", 0644, 0, false, mode, "cannot keep the mode of"},
      {"sync fails", 0644, 0, false, sync, "cannot write"},
      {"rename fails", 0644, 0, false, rename, "cannot write"},
  };
  for (const Case& c : cases) {
    if ((c.uid || c.setGroupDir) && geteuid() != 0) continue;
    TempDir dir;
    if (c.setGroupDir) {
      ASSERT_EQ(chown(dir.path.c_str(), uid_t(-1), 4323) | chmod(dir.path.c_str(), 02775), 0);
    }
    const auto file = dir.path / "m";
    std::ofstream(file, std::ios::binary) << "old";
    const uid_t uid = c.uid ? c.uid : geteuid();
    const gid_t gid = c.uid ? 4322 : getegid();
    ASSERT_EQ(chown(file.c_str(), uid, gid) | chmod(file.c_str(), c.mode), 0) << c.what;
    std::string error;
    EXPECT_EQ(WriteMapFileAtomically(file.string(), DefaultCharMap, true, error, c.calls),
              !*c.reason)
        << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode) << c.what;
    EXPECT_EQ(st.st_uid, uid) << c.what;
    EXPECT_EQ(st.st_gid, gid) << c.what;
    EXPECT_EQ(Slurp(file), *c.reason ? "old" : DefaultFileBytes()) << c.what;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"m"}) << c.what;
  }
}

TEST(ReadMapFile, StartsFromAnEmptyTable) {
  TempDir dir;
  const auto file = dir.path / "short.mac";
  std::ofstream(file, std::ios::binary) << "The Mac 128 is mapped To 65\r\n";
  CharMap map;
  map.fill(7);
  std::string bytes, error;
  ASSERT_TRUE(ReadMapFile(file.string(), map, bytes, error)) << error;
  EXPECT_EQ(map[0], 65);
  EXPECT_EQ(map[1], 0) << "what a program that has just started holds";
}

TEST(PrintableText, NoControlByteReachesTheTerminal) {
  struct Case {
    std::string in, bytes, utf8;
  };
  const Case cases[] = {
      {std::string("\x1B[2J\\\0\x7F", 7), "\\x1B[2J\\x5C\\x00\\x7F", "\\x1B[2J\\x5C\\x00\\x7F"},
      {"Caf\xC3\xA9", "Caf\\xC3\\xA9", "Caf\xC3\xA9"},
      {"\xC2\x9B\xE2\x80\xAE", "\\xC2\\x9B\\xE2\\x80\\xAE",
       "\\xC2\\x9B\\xE2\\x80\\xAE"},                              // CSI, RLO
      {"\xC3 \xC0\xAF", "\\xC3 \\xC0\\xAF", "\\xC3 \\xC0\\xAF"},  // cut short, overlong
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintableBytes(c.in), c.bytes) << c.in;
    EXPECT_EQ(PrintableUtf8(c.in), c.utf8) << c.in;
  }
}

TEST(HexBytes, ParseAndPrint) {
  struct Case {
    const char* text;
    bool ok;
    std::string bytes;
  };
  const Case cases[] = {
      {"80 41 A5", true, "\x80\x41\xA5"},
      {"8041a5", true, "\x80\x41\xA5"},
      {"0x80,0x41", true, "\x80\x41"},
      {"", true, ""},
      {"8", false, ""},
      {"8 0", false, ""},
      {"zz", false, ""},
  };
  for (const Case& c : cases) {
    std::string out, error;
    EXPECT_EQ(ParseHexBytes(c.text, out, error), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(out, c.bytes) << c.text;
    }
  }
  EXPECT_EQ(HexBytes("\x80\x41\xA5"), "80 41 A5");
}

TEST(FormatMapTable, OneRowPerEntry) {
  const std::string table = FormatMapTable(DefaultCharMap);
  std::vector<std::string> lines;
  std::istringstream in(table);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 129u);
  EXPECT_EQ(lines[1], "0x80  0xC4     Ä         Ä");
  EXPECT_EQ(lines[1 + 0x20], "0xA0  none     †         not mapped; names show \"_\" + NBSP");
  EXPECT_EQ(lines[1 + 0x32], "0xB2  none     ≤         not mapped; names show ²");
  EXPECT_EQ(lines[1 + 0x4A], "0xCA  0xA0     NBSP      NBSP");
  EXPECT_EQ(lines[1 + 0x5A], "0xDA  0x93     ⁄         \u201C");
}

}  // namespace
}  // namespace brind::cli
