// What a reader of a damaged volume found, each with where it is and what was expected. Every
// finding has a kind; past kMaxReported findings of one kind the rest are only counted, and one
// line at the end says how many more there were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace brind {

// An error puts data at risk; a warning only wastes space or departs from habit; a note is
// information that changes no verdict.
enum class Severity { kNote, kWarning, kError };

struct Finding {
  Severity severity;
  std::string where;  // "MDB (sector 2)", "catalog node 7 record 3", "blocks 120-131", ...
  std::string what;   // what is wrong, with what was expected
  size_t count = 1;   // findings this line stands for: more than one on a kind's overflow line
};

// printf into a std::string (findings are short).
std::string Format(const char* fmt, ...);

// A name from the disk with every byte outside printable ASCII written as \xNN.
std::string EscapedName(std::string_view mac);

class Findings {
 public:
  static constexpr size_t kMaxReported = 20;

  // Shows names given in Macintosh characters; EscapedName when null.
  explicit Findings(std::string (*nameText)(std::string_view mac) = nullptr)
      : nameText_(nameText) {}

  void Add(Severity severity, const char* kind, std::string where, std::string what);
  void Error(const char* kind, std::string where, std::string what) {
    Add(Severity::kError, kind, std::move(where), std::move(what));
  }
  void Warn(const char* kind, std::string where, std::string what) {
    Add(Severity::kWarning, kind, std::move(where), std::move(what));
  }
  void Note(const char* kind, std::string where, std::string what) {
    Add(Severity::kNote, kind, std::move(where), std::move(what));
  }
  // True when another finding of this kind would only be counted: spares formatting it.
  bool Full(const char* kind) const;
  // Every finding of a severity made so far, those past their kind's cap included.
  size_t Total(Severity severity) const { return totals_[static_cast<size_t>(severity)]; }

  // A name from the disk as it may be shown.
  std::string Name(const uint8_t* p, size_t n) const;

  // The findings in the order they were made, then one line per kind that went past its cap.
  std::vector<Finding> Take();

 private:
  std::string (*nameText_)(std::string_view);
  std::vector<Finding> list_;
  std::map<std::string, std::pair<size_t, Severity>> counts_;  // by kind, in name order
  size_t totals_[3] = {};
};

}  // namespace brind
