// The Win32 file and registry bindings of the character map, for real under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "charmap/CharMapFile.h"
#include "charmap/win32/Win32CharMapFiles.h"
#include "charmap/win32/Win32ProductRegistry.h"

namespace brind {
namespace {

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + name;
}

TEST(Win32CharMapFiles, CreatedHiddenThenWrittenAndReadBack) {
  const std::string path = TempPath("CMTEST.MAC");
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
  Win32CharMapFiles files;
  EXPECT_EQ(files.OpenRead(path.c_str()), nullptr);
  ASSERT_TRUE(files.CreateHidden(path.c_str()));
  const DWORD attributes = GetFileAttributesA(path.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

  // Written twice: the second, shorter contents replace the first entirely.
  CharMap longValues{};
  longValues.fill(200);
  for (const CharMap* map : {static_cast<const CharMap*>(&longValues), &DefaultCharMap}) {
    std::FILE* out = files.OpenWrite(path.c_str());
    ASSERT_NE(out, nullptr) << "a hidden file can be rewritten";
    EXPECT_TRUE(WriteCharMapFile(*map, out));
    std::fclose(out);
  }
  EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN) << "stays hidden";

  std::FILE* in = files.OpenRead(path.c_str());
  ASSERT_NE(in, nullptr);
  std::string bytes;
  for (int c; (c = std::fgetc(in)) != EOF;) bytes += char(c);
  std::fclose(in);
  EXPECT_EQ(bytes.rfind("The Mac 128 is mapped To 196\r\n", 0), 0u) << "no CR CR LF";
  CharMap back{};
  ReadCharMapBytes(back, bytes.data(), bytes.size());
  EXPECT_EQ(back, DefaultCharMap);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

// A value is read only when it fits the buffer with its terminator, whether the registry stored
// one or not; one that does not fit reads as missing, never cut.
TEST(Win32ProductRegistry, AValueFitsOnlyWithItsTerminator) {
  struct Case {
    size_t length;
    bool storedTerminator;
    size_t capacity;
    bool found;
  } cases[] = {{49, true, 50, true},   {50, true, 50, false},  {49, false, 50, true},
               {50, false, 50, false}, {511, true, 512, true}, {512, false, 512, false}};
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  for (const Case& c : cases) {
    const std::string stored(c.length, 'o');
    RegSetValueExA(key, "Registered Owner", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(stored.c_str()),
                   static_cast<DWORD>(c.length + (c.storedTerminator ? 1 : 0)));
    Win32ProductRegistry registry;
    std::vector<char> value(c.capacity, 'x');
    EXPECT_EQ(registry.Read(kValueOwner, value.data(), c.capacity),
              c.found ? RegistryRead::kOk : RegistryRead::kMissing)
        << c.length << (c.storedTerminator ? " with" : " without") << " terminator";
    EXPECT_EQ(std::string(value.data()), c.found ? stored : std::string());
  }
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProductKey);
}

TEST(Win32ProductRegistry, AbsentKeyIsMissing) {
  // The test prefix has no product key.
  Win32ProductRegistry registry;
  char value[kRegistryValueBytes] = "stale";
  EXPECT_EQ(registry.Read("InstallDir", value, sizeof value), RegistryRead::kMissing);
  EXPECT_STREQ(value, "");
}

}  // namespace
}  // namespace brind
