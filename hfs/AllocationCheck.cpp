#include <vector>

#include "hfs/CheckPasses.h"
#include "hfs/HfsFormat.h"

namespace brind {

namespace {

const char* ForkName(uint8_t fork) { return fork == kResourceFork ? "resource" : "data"; }

// Which file and fork claimed each allocation block.
class BlockOwners {
 public:
  explicit BlockOwners(uint32_t blocks) : owner_(blocks, 0), fork_(blocks, kUnclaimed) {}

  void Claim(uint32_t fileId, uint8_t forkType, const std::vector<Extent>& extents,
             Findings& findings) {
    for (const Extent& e : extents) {
      uint32_t firstClash = 0, clashes = 0, other = 0;
      for (uint32_t b = e.start; b < e.start + e.count; ++b) {
        if (fork_[b] != kUnclaimed) {
          if (clashes++ == 0) {
            firstClash = b;
            other = owner_[b];
          }
          continue;
        }
        owner_[b] = fileId;
        fork_[b] = forkType == kResourceFork ? kResource : kData;
      }
      if (clashes != 0)
        findings.Error("claimed twice", Format("block %u", firstClash),
                       Format("claimed twice: by file %u (%s fork) and by file %u (%s fork); %u "
                              "block(s) of extent %u+%u",
                              other, ForkName(Fork(firstClash)), fileId, ForkName(forkType),
                              clashes, e.start, e.count));
    }
  }
  bool Claimed(uint32_t b) const { return fork_[b] != kUnclaimed; }
  uint32_t Owner(uint32_t b) const { return owner_[b]; }
  uint8_t Fork(uint32_t b) const { return fork_[b] == kResource ? kResourceFork : kDataFork; }

 private:
  // Any 32-bit number can be a damaged file's ID, so whether a block is claimed is kept apart.
  enum : uint8_t { kUnclaimed, kData, kResource };
  std::vector<uint32_t> owner_;
  std::vector<uint8_t> fork_;
};

void CheckBitmap(ByteSource& source, const MasterDirectory& m, const BlockOwners& owners,
                 Findings& findings, CheckSummary& summary) {
  const size_t bytes = (size_t{m.blocks} + 7) / 8;
  std::vector<uint8_t> bitmap((bytes + kHfsSectorSize - 1) / kHfsSectorSize * kHfsSectorSize);
  if (!source.Read(uint64_t{m.bitmapStart} * kHfsSectorSize, bitmap.data(), bitmap.size())) {
    findings.Error("bitmap", Format("bitmap (sector %u)", m.bitmapStart), "cannot be read");
    return;
  }
  summary.metadataBytes += bitmap.size();
  auto marked = [&](uint32_t b) { return ((bitmap[b / 8] >> (7 - b % 8)) & 1) != 0; };
  // Runs of blocks, each reported once: marked but unclaimed, and claimed but unmarked.
  auto runs = [&](bool wantMarked, Severity severity, const char* kind, const char* what) {
    auto bad = [&](uint32_t x) {
      return wantMarked ? (marked(x) && !owners.Claimed(x)) : (!marked(x) && owners.Claimed(x));
    };
    for (uint32_t b = 0; b < m.blocks;) {
      if (!bad(b)) {
        ++b;
        continue;
      }
      uint32_t e = b;
      while (e + 1 < m.blocks && bad(e + 1)) ++e;
      findings.Add(severity, kind, e == b ? Format("block %u", b) : Format("blocks %u-%u", b, e),
                   wantMarked ? std::string(what)
                              : Format("%s (file %u, %s fork)", what, owners.Owner(b),
                                       ForkName(owners.Fork(b))));
      b = e + 1;
    }
  };
  uint32_t used = 0;
  for (uint32_t b = 0; b < m.blocks; ++b) used += marked(b);
  // Blocks marked but unclaimed only waste space; blocks claimed but free would be given to
  // another file.
  if (m.hybridIso) {
    uint32_t shared = 0;
    for (uint32_t b = 0; b < m.blocks; ++b) shared += marked(b) && !owners.Claimed(b);
    if (shared != 0)
      findings.Note("marked unclaimed", "bitmap",
                    Format("%u block(s) marked in use and claimed by no HFS file: on a hybrid "
                           "disc they hold the ISO 9660 side (legal)",
                           shared));
  } else {
    runs(true, Severity::kWarning, "marked unclaimed",
         "marked in the bitmap but claimed by no file (space lost, no data at risk)");
  }
  runs(false, Severity::kError, "claimed unmarked", "claimed but not marked in the bitmap");
  uint32_t stray = 0;
  for (size_t b = m.blocks; b < bytes * 8; ++b) stray += marked(static_cast<uint32_t>(b));
  if (stray)
    findings.Warn("bitmap", "bitmap",
                  Format("%u bit(s) set past the volume's %u blocks", stray, m.blocks));
  summary.usedBlocks = used;
  summary.freeBlocks = m.blocks - used;
  const uint16_t freeBlocks = m.U16(mdb::drFreeBks);
  if (freeBlocks != m.blocks - used)
    findings.Error("MDB counts", kMdbWhere,
                   Format("drFreeBks is %u, but the bitmap leaves %u blocks free", freeBlocks,
                          m.blocks - used));
}

}  // namespace

void CheckAllocation(VolumeReader& reader, ByteSource& source, Findings& findings,
                     CheckSummary& summary) {
  const MasterDirectory& m = reader.Mdb();
  BlockOwners owners(m.blocks);
  owners.Claim(cnid::kExtentsFile, kDataFork, reader.ExtentsFileExtents(), findings);
  owners.Claim(cnid::kCatalogFile, kDataFork, reader.CatalogFileExtents(), findings);
  for (const CatalogEntry& e : reader.GetCatalog().entries) {
    if (e.folder) continue;
    const std::string where = Format("file %u (catalog node %u record %u)", e.id, e.node, e.record);
    if (e.data.logicalLength > e.data.physicalLength)
      findings.Error("logical length", where,
                     Format("data fork: logical length %u exceeds physical length %u",
                            e.data.logicalLength, e.data.physicalLength));
    if (e.resource.logicalLength > e.resource.physicalLength)
      findings.Error("logical length", where,
                     Format("resource fork: logical length %u exceeds physical length %u",
                            e.resource.logicalLength, e.resource.physicalLength));
    owners.Claim(e.id, kDataFork,
                 reader.ForkExtents(e.id, kDataFork, e.data, where + ", data fork"), findings);
    owners.Claim(e.id, kResourceFork,
                 reader.ForkExtents(e.id, kResourceFork, e.resource, where + ", resource fork"),
                 findings);
  }
  for (const auto& [fileId, fork] : reader.UnusedOverflow())
    findings.Error("orphan overflow", "extents file",
                   Format("overflow extents of file %u, which does not exist", fileId));
  owners.Claim(cnid::kBadBlocksFile, kDataFork, reader.BadBlocks(), findings);
  CheckBitmap(source, m, owners, findings, summary);
}

}  // namespace brind
