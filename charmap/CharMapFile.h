// CHARMAP.MAC: the character map as a text file of 128 lines, one per entry in entry order, each
// "The Mac <128 + k> is mapped To <value>" in decimal and ending in CR LF on every platform.
//
// Reading is forgiving and never fails once the file is open:
//  - a line yields at most 44 characters; the rest of a longer line is read as the next line;
//  - every run of decimal digits on a line is stored into the line's entry, reduced modulo 256,
//    so the last number on the line stays; a run of any length is taken whole (modulo 256);
//  - a line without digits leaves its entry as it was; lines past the 128th are ignored;
//  - CR LF and LF both end a line; a CR on its own is an ordinary character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "charmap/CharMap.h"

namespace brind {

inline constexpr size_t kCharMapLineChars = 44;
// A run of digits longer than this is unusual (the writer never makes one); the checker reports it.
inline constexpr int kCharMapUsualDigits = 4;

// What the reader made of one line; given to an observer (the checker) as it goes.
struct CharMapLine {
  unsigned fileLine = 0;     // 1-based line of the file this piece comes from
  int entry = 0;             // entry it is for (>= 128: ignored)
  bool continued = false;    // the rest of a file line longer than 44 characters
  bool hasDigits = false;    // false: the entry is left as it was
  int runs = 0;              // runs of digits on the line
  uint32_t firstNumber = 0;  // first run, saturated at 99999
  uint32_t lastNumber = 0;   // last run, saturated at 99999 (the value is its low 8 bits)
  uint8_t value = 0;         // what was stored (when hasDigits and entry < 128)
  bool longRun = false;      // some run had more than 4 digits
  size_t length = 0;         // characters of this piece (CR of a CR LF not counted)
  char text[kCharMapLineChars + 1] = {};
};

class CharMapReadObserver {
 public:
  virtual ~CharMapReadObserver() = default;
  virtual void OnLine(const CharMapLine& line) = 0;
};

// Reads character by character, so a file and a memory block are read alike.
class CharMapReader {
 public:
  explicit CharMapReader(CharMap& map, CharMapReadObserver* observer = nullptr)
      : map_(map), observer_(observer) {}
  void Feed(uint8_t c);
  void Finish();
  // True once all 128 entries have had their line and nobody watches the rest.
  bool Done() const { return observer_ == nullptr && entry_ >= kCharMapEntries; }

 private:
  void Char(uint8_t c);
  void EndLine();
  void EndRun();

  CharMap& map_;
  CharMapReadObserver* observer_;
  CharMapLine line_;
  int entry_ = 0;
  unsigned fileLine_ = 1;
  bool pendingCr_ = false;
  bool afterFullPiece_ = false;  // the last piece ended at 44 characters, not at a newline
  bool inRun_ = false;
  int runDigits_ = 0;
  uint32_t runValue_ = 0;  // saturated
  uint8_t runMod_ = 0;
};

void ReadCharMapFile(CharMap& map, std::FILE* file, CharMapReadObserver* observer = nullptr);
void ReadCharMapBytes(CharMap& map, const void* data, size_t size,
                      CharMapReadObserver* observer = nullptr);

// Writes the 128 lines (CR LF written explicitly: open the stream in binary mode). False if the
// stream reported a write error.
bool WriteCharMapFile(const CharMap& map, std::FILE* file);

// "<installDir>\CHARMAP.MAC" into out; false (out empty) if it does not fit in capacity bytes.
bool CharMapPath(const char* installDir, char* out, size_t capacity);

}  // namespace brind
