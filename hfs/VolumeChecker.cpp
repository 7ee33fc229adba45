#include "hfs/VolumeChecker.h"

#include <algorithm>

#include "hfs/CheckPasses.h"
#include "hfs/VolumeReader.h"

namespace brind {

CheckResult CheckVolume(ByteSource& target, const CheckOptions& options) {
  CountingSource source(target);
  Findings findings(options.nameText);
  CheckResult result;
  CheckSummary& summary = result.summary;
  summary.volumeBytes = source.Size();
  VolumeReader reader(source, findings);
  const bool usable = reader.Open();
  const MasterDirectory& mdb = reader.Mdb();
  result.kind = mdb.kind;
  summary.volumeName = mdb.name;
  summary.blockSize = mdb.blockSize;
  summary.totalBlocks = mdb.blocks;
  summary.hybridIso = mdb.hybridIso;
  if (usable) {
    // 1. The master directory blocks.
    summary.metadataBytes = 2 * kHfsSectorSize;
    CheckAlternateMdb(source, mdb, findings);
    // 2. Both B-trees: the walk checks each node; then each map against what the walk reached.
    if (reader.LoadExtentsTree()) CheckBTreeMap(reader.ExtentsTree(), findings);
    if (reader.LoadCatalog()) CheckBTreeMap(reader.CatalogTree(), findings);
    summary.metadataBytes += reader.ExtentsTree().Bytes() + reader.CatalogTree().Bytes();
    // 3. The catalog's records against each other and the MDB.
    if (reader.CatalogLoaded()) CheckCatalog(reader, findings, summary);
    // 4. Every extent against the volume, the other extents and the bitmap.
    CheckAllocation(reader, source, findings, summary);
    if (options.listTree) result.tree = ListTree(reader.GetCatalog(), findings);
  }
  result.findings = findings.Take();
  summary.bytesRead = source.bytesRead;
  summary.reads = source.reads;
  return result;
}

size_t CheckResult::Count(Severity s) const {
  return static_cast<size_t>(std::count_if(findings.begin(), findings.end(),
                                           [s](const Finding& f) { return f.severity == s; }));
}

int CheckResult::ExitStatus() const {
  if (kind != VolumeKind::kHfs) return 8;
  if (Count(Severity::kError) != 0) return 4;
  return Count(Severity::kWarning) != 0 ? 1 : 0;
}

}  // namespace brind
