// CHARMAP.MAC and friends for tests: real files in a private temporary folder (so the code under
// test uses real streams), any path mapped to one file there, every call recorded, any call made
// to fail, and the hidden attribute remembered.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "charmap/CharMapStore.h"

namespace brind::test {

class FakeCharMapFiles : public CharMapFiles {
 public:
  bool failOpenRead = false;
  bool failCreate = false;
  bool failOpenWrite = false;
  std::vector<std::string> calls;  // "OpenRead <path>", "CreateHidden <path>", "OpenWrite <path>"
  std::set<std::string> hidden;

  FakeCharMapFiles() {
    dir_ = std::filesystem::temp_directory_path() /
           ("brind-files-" + std::to_string(std::random_device{}()) + "-" +
            std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(dir_);
  }
  ~FakeCharMapFiles() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::FILE* OpenRead(const char* path) override {
    calls.push_back(std::string("OpenRead ") + path);
    if (failOpenRead) return nullptr;
    return std::fopen(Local(path).c_str(), "rb");
  }
  bool CreateHidden(const char* path) override {
    calls.push_back(std::string("CreateHidden ") + path);
    if (failCreate) return false;
    std::FILE* f = std::fopen(Local(path).c_str(), "wb");
    if (!f) return false;
    std::fclose(f);
    hidden.insert(path);
    return true;
  }
  std::FILE* OpenWrite(const char* path) override {
    calls.push_back(std::string("OpenWrite ") + path);
    if (failOpenWrite) return nullptr;
    return std::fopen(Local(path).c_str(), "wb");
  }

  bool Exists(const std::string& path) const { return std::filesystem::exists(Local(path)); }
  std::string Contents(const std::string& path) const {
    std::ifstream in(Local(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(Local(path), std::ios::binary) << bytes;
  }

 private:
  std::string Local(const std::string& path) const {
    std::string name;
    for (char c : path) name += (c == '\\' || c == '/' || c == ':') ? '_' : c;
    if (name.size() > 60) name = "long-" + std::to_string(std::hash<std::string>{}(path));
    return (dir_ / name).string();
  }
  std::filesystem::path dir_;
};

}  // namespace brind::test
