#include <cstring>

#include "hfs/CheckPasses.h"
#include "hfs/HfsFormat.h"

namespace brind {

void CheckAlternateMdb(ByteSource& source, const MasterDirectory& mdb, Findings& findings) {
  if (mdb.truncated) return;
  const uint64_t sector = source.Size() / kHfsSectorSize - 2;
  const std::string where =
      Format("alternate MDB (sector %llu)", static_cast<unsigned long long>(sector));
  uint8_t alt[kHfsSectorSize];
  if (!source.Read(sector * kHfsSectorSize, alt, sizeof alt)) {
    findings.Error("alternate MDB", where, "cannot be read");
    return;
  }
  if (GetU16BE(alt) != kHfsSigWord && mdb.hybridIso) {
    findings.Note("alternate MDB", where,
                  "holds no alternate MDB, as hybrid ISO 9660 discs often do not (legal)");
    return;
  }
  if (GetU16BE(alt) != kHfsSigWord) {
    findings.Error("alternate MDB", where,
                   Format("signature is 0x%04X, expected 0x4244 (\"BD\")", GetU16BE(alt)));
    return;
  }
  // The layout never changes after a format; the counts are only copied now and then.
  struct Field {
    const char* name;
    size_t offset, size;
  };
  const Field fields[] = {{"drCrDate", mdb::drCrDate, 4},
                          {"drVBMSt", mdb::drVBMSt, 2},
                          {"drNmAlBlks", mdb::drNmAlBlks, 2},
                          {"drAlBlkSiz", mdb::drAlBlkSiz, 4},
                          {"drAlBlSt", mdb::drAlBlSt, 2},
                          {"drXTFlSize", mdb::drXTFlSize, 4},
                          {"drXTExtRec", mdb::drXTExtRec, kExtentRecordSize}};
  for (const Field& f : fields)
    if (std::memcmp(alt + f.offset, mdb.bytes.data() + f.offset, f.size) != 0)
      findings.Error("alternate MDB", where, Format("%s differs from the MDB's", f.name));
}

}  // namespace brind
