#include "charmap/CharMapFile.h"

#include <climits>
#include <cstring>

namespace brind {

namespace {
constexpr uint32_t kSaturate = 99999;
}

void CharMapReader::Feed(uint8_t c) {
  if (pendingCr_) {
    pendingCr_ = false;
    if (c == '\n') {
      Char('\n');
      return;
    }
    Char('\r');
  }
  if (c == '\r') {
    pendingCr_ = true;
    return;
  }
  Char(c);
}

void CharMapReader::Finish() {
  if (pendingCr_) {
    pendingCr_ = false;
    Char('\r');
  }
  if (line_.length > 0) EndLine();
}

void CharMapReader::Char(uint8_t c) {
  if (c == '\n') {
    // A newline right behind a piece of exactly 44 characters only ends that line.
    if (afterFullPiece_ && line_.length == 0) {
      afterFullPiece_ = false;
      ++fileLine_;
      line_.continued = false;
      return;
    }
    EndLine();
    ++fileLine_;
    return;
  }
  afterFullPiece_ = false;
  line_.text[line_.length++] = static_cast<char>(c);
  if (c >= '0' && c <= '9') {
    if (!inRun_) {
      inRun_ = true;
      runDigits_ = 0;
      runValue_ = 0;
      runMod_ = 0;
    }
    const unsigned d = c - '0';
    ++runDigits_;
    runValue_ = runValue_ * 10 + d > kSaturate ? kSaturate : runValue_ * 10 + d;
    runMod_ = static_cast<uint8_t>(runMod_ * 10u + d);
  } else {
    EndRun();
  }
  if (line_.length == kCharMapLineChars) {
    EndLine();
    afterFullPiece_ = true;
    line_.continued = true;
  }
}

void CharMapReader::EndRun() {
  if (!inRun_) return;
  inRun_ = false;
  if (line_.runs == 0) line_.firstNumber = runValue_;
  ++line_.runs;
  line_.hasDigits = true;
  line_.lastNumber = runValue_;
  line_.value = runMod_;
  if (runDigits_ > kCharMapUsualDigits) line_.longRun = true;
}

void CharMapReader::EndLine() {
  EndRun();
  line_.text[line_.length] = 0;
  line_.entry = entry_;
  line_.fileLine = fileLine_;
  if (line_.hasDigits && entry_ < kCharMapEntries) map_[entry_] = line_.value;
  if (observer_) observer_->OnLine(line_);
  if (entry_ < INT_MAX) ++entry_;
  line_ = CharMapLine{};
}

void ReadCharMapFile(CharMap& map, std::FILE* file, CharMapReadObserver* observer) {
  CharMapReader reader(map, observer);
  int c;
  while (!reader.Done() && (c = std::getc(file)) != EOF) reader.Feed(static_cast<uint8_t>(c));
  reader.Finish();
}

void ReadCharMapBytes(CharMap& map, const void* data, size_t size, CharMapReadObserver* observer) {
  CharMapReader reader(map, observer);
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size && !reader.Done(); ++i) reader.Feed(p[i]);
  reader.Finish();
}

namespace {

char* AppendDecimal(char* out, int value) {
  char digits[4];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (n > 0) *out++ = digits[--n];
  return out;
}

}  // namespace

bool WriteCharMapFile(const CharMap& map, std::FILE* file) {
  bool ok = true;
  for (int k = 0; k < kCharMapEntries; ++k) {
    // Formatted by hand: the Win32 programs carry no printf.
    char line[40] = "The Mac ";
    char* p = AppendDecimal(line + 8, 128 + k);
    std::memcpy(p, " is mapped To ", 14);
    p = AppendDecimal(p + 14, map[k]);
    std::memcpy(p, "\r\n", 3);
    if (std::fputs(line, file) < 0) ok = false;
  }
  if (std::fflush(file) != 0) ok = false;
  return ok && !std::ferror(file);
}

bool CharMapPath(const char* installDir, char* out, size_t capacity) {
  static const char kName[] = "\\CHARMAP.MAC";
  const size_t dir = std::strlen(installDir);
  if (capacity == 0) return false;
  out[0] = 0;
  if (dir + sizeof kName > capacity) return false;
  std::memcpy(out, installDir, dir);
  std::memcpy(out + dir, kName, sizeof kName);
  return true;
}

}  // namespace brind
