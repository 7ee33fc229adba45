#include "hfs/Findings.h"

#include <cstdarg>
#include <cstdio>

#include "common/PrintableText.h"

namespace brind {

std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  return buf;
}

std::string EscapedName(std::string_view mac) { return PrintableBytes(mac); }

void Findings::Add(Severity severity, const char* kind, std::string where, std::string what) {
  ++totals_[static_cast<size_t>(severity)];
  auto& [count, s] = counts_[kind];
  // A kind keeps the gravest severity any of its findings had, for its overflow line.
  if (count == 0 || severity > s) s = severity;
  if (++count <= kMaxReported) list_.push_back({severity, std::move(where), std::move(what)});
}

bool Findings::Full(const char* kind) const {
  auto it = counts_.find(kind);
  return it != counts_.end() && it->second.first >= kMaxReported;
}

std::string Findings::Name(const uint8_t* p, size_t n) const {
  std::string_view mac(reinterpret_cast<const char*>(p), n);
  return nameText_ ? nameText_(mac) : EscapedName(mac);
}

std::vector<Finding> Findings::Take() {
  for (const auto& [kind, entry] : counts_)
    if (entry.first > kMaxReported)
      list_.push_back(
          {entry.second, "checker",
           Format("%zu more finding(s) of this kind: %s", entry.first - kMaxReported, kind.c_str()),
           entry.first - kMaxReported});
  counts_.clear();
  return std::move(list_);
}

}  // namespace brind
