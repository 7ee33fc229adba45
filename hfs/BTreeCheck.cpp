#include <algorithm>

#include "hfs/CheckPasses.h"
#include "hfs/HfsFormat.h"

namespace brind {

void CheckBTreeMap(const BTreeFile& t, Findings& findings) {
  // The header node's third record, then one record in every map node.
  std::vector<std::pair<const uint8_t*, size_t>> maps;
  const uint8_t* h = t.Node(0);
  if (GetU16BE(h + nd::ndNRecs) >= kHeaderNodeRecords) {
    const uint16_t from = GetU16BE(h + RecordOffsetAt(2)), to = GetU16BE(h + RecordOffsetAt(3));
    if (from < to && to <= RecordOffsetAt(3)) maps.push_back({h + from, size_t{to} - from});
  }
  if (maps.empty()) {
    findings.Error("B-tree map", Format("%s header node 0", t.Name()), "has no map record");
    return;
  }
  for (uint32_t n : t.MapNodes()) {
    const uint8_t* node = t.Node(n);
    const uint16_t from = GetU16BE(node + RecordOffsetAt(0)),
                   to = GetU16BE(node + RecordOffsetAt(1));
    if (from == kNodeDescriptorSize && from < to && to <= RecordOffsetAt(1))
      maps.push_back({node + from, size_t{to} - from});
    else
      findings.Error("B-tree map", Format("%s node %u", t.Name(), n),
                     Format("the map record runs from %u to %u, expected 14 to at most %zu", from,
                            to, RecordOffsetAt(1)));
  }
  const uint32_t nodes = t.Nodes();
  std::vector<uint8_t> inMap(nodes, 0);
  uint32_t bit = 0, marked = 0, strayBits = 0;
  for (const auto& [p, size] : maps)
    for (size_t i = 0; i < size * 8; ++i, ++bit) {
      const bool set = (p[i / 8] >> (7 - i % 8)) & 1;
      if (bit < nodes) {
        inMap[bit] = set;
        marked += set;
      } else if (set) {
        ++strayBits;
      }
    }
  if (bit < nodes)
    findings.Error("B-tree map", Format("%s map", t.Name()),
                   Format("covers %u nodes, the file holds %u", bit, nodes));
  if (strayBits != 0)
    findings.Warn("B-tree map", Format("%s map", t.Name()),
                  Format("%u bit(s) set past the file's %u nodes", strayBits, nodes));
  for (uint32_t n = 0; n < std::min(bit, nodes); ++n) {
    const std::string where = Format("%s node %u", t.Name(), n);
    if (t.Reached(n) && !inMap[n])
      findings.Error("node unmarked", where, "is in the tree but free in the map");
    if (!t.Reached(n) && inMap[n])
      findings.Error("node leaked", where,
                     "is marked in use in the map but no tree path reaches it");
    if (!t.Reached(n) && !inMap[n]) {
      const uint8_t* node = t.Node(n);
      if (std::any_of(node, node + kNodeSize, [](uint8_t b) { return b != 0; }))
        findings.Note("stale node", where, "is free and still holds old bytes (legal)");
    }
  }
  const uint32_t free = nodes - marked;
  if (t.Header().freeNodes != free)
    findings.Error(
        "B-tree header", Format("%s header node 0", t.Name()),
        Format("bthFree is %u, the map leaves %u nodes free", t.Header().freeNodes, free));
}

}  // namespace brind
