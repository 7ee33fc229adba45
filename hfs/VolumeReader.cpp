#include "hfs/VolumeReader.h"

#include <algorithm>

#include "common/Bytes.h"

namespace brind {

namespace {

ForkInfo TreeFork(const MasterDirectory& m, size_t sizeField, size_t extentsField) {
  ForkInfo f;
  f.logicalLength = f.physicalLength = m.U32(sizeField);
  f.firstExtents = DecodeExtentRecord(m.bytes.data() + extentsField);
  return f;
}

}  // namespace

bool VolumeReader::Open() { return ReadMasterDirectory(source_, findings_, mdb_); }

std::vector<Extent> VolumeReader::ExtentsFileExtents() {
  return ForkExtents(cnid::kExtentsFile, kDataFork,
                     TreeFork(mdb_, mdb::drXTFlSize, mdb::drXTExtRec), "MDB: extents file");
}

std::vector<Extent> VolumeReader::CatalogFileExtents() {
  return ForkExtents(cnid::kCatalogFile, kDataFork,
                     TreeFork(mdb_, mdb::drCTFlSize, mdb::drCTExtRec), "MDB: catalog file");
}

bool VolumeReader::LoadExtentsTree() {
  Findings quiet;  // the extents are reported where the checker claims them
  const std::vector<Extent> extents =
      Resolve(cnid::kExtentsFile, kDataFork, TreeFork(mdb_, mdb::drXTFlSize, mdb::drXTExtRec), {},
              quiet, false);
  if (!extents_.Load(source_, mdb_, extents, mdb_.U32(mdb::drXTFlSize), findings_)) return false;
  extents_.Walk(findings_);
  extentsLoaded_ = true;
  for (const LeafRecord& l : extents_.Leaves()) {
    const std::string where = Format("extents node %u record %u", l.node, l.index);
    if (l.key.length != kExtentsKeyLength) {
      findings_.Error("extents record", where, Format("key length %zu, expected 7", l.key.length));
      continue;
    }
    if (l.size < kExtentRecordSize) {
      findings_.Error("extents record", where, "an extents record shorter than 12 bytes");
      continue;
    }
    const uint8_t fork = l.key.p[xkr::xkrFkType];
    if (fork != kDataFork && fork != kResourceFork)
      findings_.Error("extents record", where,
                      Format("fork type 0x%02X, expected 0x00 or 0xFF", fork));
    overflow_[{GetU32BE(l.key.p + xkr::xkrFNum), fork}].push_back(
        {GetU16BE(l.key.p + xkr::xkrFABN), DecodeExtentRecord(l.data)});
  }
  return true;
}

bool VolumeReader::LoadCatalog() {
  Findings quiet;
  const std::vector<Extent> extents =
      Resolve(cnid::kCatalogFile, kDataFork, TreeFork(mdb_, mdb::drCTFlSize, mdb::drCTExtRec), {},
              quiet, false);
  if (!catalog_.Load(source_, mdb_, extents, mdb_.U32(mdb::drCTFlSize), findings_)) return false;
  catalog_.Walk(findings_);
  catalogLoaded_ = true;
  DecodeCatalog(catalog_, findings_, catalogRecords_);
  return true;
}

std::vector<Extent> VolumeReader::ForkExtents(uint32_t fileId, uint8_t forkType,
                                              const ForkInfo& fork, const std::string& where) {
  return Resolve(fileId, forkType, fork, where, findings_, true);
}

std::vector<Extent> VolumeReader::Resolve(uint32_t fileId, uint8_t forkType, const ForkInfo& fork,
                                          const std::string& what, Findings& findings,
                                          bool markUsed) {
  std::vector<Extent> out;
  uint64_t covered = 0;
  auto take = [&](const std::array<Extent, kExtentsPerRecord>& record, const std::string& where) {
    for (const Extent& e : record) {
      if (e.count == 0) continue;
      if (!mdb_.Inside(e)) {
        findings.Error("extent outside", where,
                       Format("extent %u+%u lies outside the volume's %u blocks", e.start, e.count,
                              mdb_.blocks));
        continue;
      }
      out.push_back(e);
      covered += e.count;
    }
  };
  take(fork.firstExtents, what);
  // The extents file itself never runs over into its own records.
  auto it = fileId == cnid::kExtentsFile ? overflow_.end() : overflow_.find({fileId, forkType});
  if (it != overflow_.end()) {
    if (markUsed) overflowUsed_.insert(it->first);
    for (const OverflowRecord& r : it->second) {
      // A fork cannot hold more blocks than the volume: what repeats past that is not loaded.
      if (covered > mdb_.blocks) break;
      if (r.forkBlock != covered)
        findings.Error("overflow start", what,
                       Format("an extents overflow record starts at fork block %u, expected %llu",
                              r.forkBlock, static_cast<unsigned long long>(covered)));
      take(r.extents, what + " (extents overflow)");
    }
  }
  if (covered * mdb_.blockSize != fork.physicalLength)
    findings.Error(
        "physical length", what,
        Format("the extents hold %llu bytes, the physical length says %u",
               static_cast<unsigned long long>(covered * mdb_.blockSize), fork.physicalLength));
  return out;
}

bool VolumeReader::ReadFork(const CatalogEntry& file, uint8_t forkType, uint64_t offset,
                            uint8_t* out, size_t n) {
  if (file.folder) return false;
  const ForkInfo& fork = forkType == kResourceFork ? file.resource : file.data;
  if (offset > fork.logicalLength || n > fork.logicalLength - offset) return false;
  Findings quiet;
  const std::vector<Extent> extents = Resolve(file.id, forkType, fork, {}, quiet, false);
  uint64_t forkStart = 0;  // the fork offset where the current extent begins
  for (const Extent& e : extents) {
    if (n == 0) break;
    const uint64_t length = uint64_t{e.count} * mdb_.blockSize;
    if (offset < forkStart + length) {
      const uint64_t inside = offset - forkStart;
      const size_t part = static_cast<size_t>(std::min<uint64_t>(n, length - inside));
      if (!source_.Read(mdb_.BlockOffset(e.start) + inside, out, part)) return false;
      out += part;
      offset += part;
      n -= part;
    }
    forkStart += length;
  }
  return n == 0;
}

std::vector<std::pair<uint32_t, uint8_t>> VolumeReader::UnusedOverflow() const {
  std::vector<std::pair<uint32_t, uint8_t>> unused;
  for (const auto& [key, records] : overflow_)
    if (!overflowUsed_.count(key) && key.first != cnid::kBadBlocksFile) unused.push_back(key);
  return unused;
}

std::vector<Extent> VolumeReader::BadBlocks() const {
  std::vector<Extent> bad;
  auto it = overflow_.find({cnid::kBadBlocksFile, kDataFork});
  if (it == overflow_.end()) return bad;
  for (const OverflowRecord& r : it->second)
    for (const Extent& e : r.extents)
      if (e.count != 0 && mdb_.Inside(e)) bad.push_back(e);
  return bad;
}

}  // namespace brind
