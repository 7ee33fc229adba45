#include "hfs/Catalog.h"

#include <algorithm>
#include <cstring>

#include "common/Bytes.h"

namespace brind {

namespace {

ForkInfo DecodeFork(const uint8_t* d, size_t logical, size_t physical, size_t extents) {
  ForkInfo f;
  f.logicalLength = GetU32BE(d + logical);
  f.physicalLength = GetU32BE(d + physical);
  f.firstExtents = DecodeExtentRecord(d + extents);
  return f;
}

size_t RecordSize(uint8_t kind) {
  switch (kind) {
    case kFolderRecord:
      return kFolderRecordSize;
    case kFileRecord:
      return kFileRecordSize;
    case kFolderThreadRecord:
    case kFileThreadRecord:
      return kThreadRecordSize;
  }
  return 0;
}

}  // namespace

std::string RecordWhere(uint32_t node, uint16_t record) {
  return Format("catalog node %u record %u", node, record);
}

void DecodeCatalog(const BTreeFile& tree, Findings& findings, Catalog& catalog) {
  for (const LeafRecord& l : tree.Leaves()) {
    const std::string where = RecordWhere(l.node, l.index);
    const uint32_t parent = GetU32BE(l.key.p + ckr::ckrParID);
    const uint8_t nameLength = l.key.p[ckr::ckrCName];
    const uint8_t kind = l.size >= 2 ? l.data[cdrType] : 0;
    const size_t need = RecordSize(kind);
    if (need == 0) {
      findings.Error("record type", where, Format("record type %u, expected 1 to 4", kind));
      continue;
    }
    if (l.size < need) {
      findings.Error(
          "record size", where,
          Format("a record of type %u holds %zu bytes, expected %zu", kind, l.size, need));
      continue;
    }
    const uint8_t* d = l.data;
    if (kind == kFolderThreadRecord || kind == kFileThreadRecord) {
      CatalogThread t;
      t.folder = kind == kFolderThreadRecord;
      t.id = parent;
      t.parent = GetU32BE(d + thd::thdParID);
      t.name.assign(reinterpret_cast<const char*>(d + thd::thdCName + 1),
                    std::min<size_t>(d[thd::thdCName], kMaxFileName));
      t.keyNameLength = nameLength;
      t.node = l.node;
      t.record = l.index;
      catalog.threads.push_back(std::move(t));
      continue;
    }
    CatalogEntry e;
    e.folder = kind == kFolderRecord;
    e.parent = parent;
    e.name.assign(reinterpret_cast<const char*>(l.key.p + ckr::ckrCName + 1), nameLength);
    e.node = l.node;
    e.record = l.index;
    if (e.folder) {
      e.id = GetU32BE(d + dir::dirDirID);
      e.flags = d[dir::dirFlags + 1];
      e.valence = GetU16BE(d + dir::dirVal);
      e.created = GetU32BE(d + dir::dirCrDat);
      e.modified = GetU32BE(d + dir::dirMdDat);
      e.backedUp = GetU32BE(d + dir::dirBkDat);
      std::memcpy(e.finderInfo.data(), d + dir::dirUsrInfo, kFinderInfoSize);
      std::memcpy(e.extendedFinderInfo.data(), d + dir::dirFndrInfo, kFinderInfoSize);
    } else {
      e.id = GetU32BE(d + fil::filFlNum);
      e.flags = d[fil::filFlags];
      e.created = GetU32BE(d + fil::filCrDat);
      e.modified = GetU32BE(d + fil::filMdDat);
      e.backedUp = GetU32BE(d + fil::filBkDat);
      std::memcpy(e.finderInfo.data(), d + fil::filUsrWds, kFinderInfoSize);
      std::memcpy(e.extendedFinderInfo.data(), d + fil::filFndrInfo, kFinderInfoSize);
      e.data = DecodeFork(d, fil::filLgLen, fil::filPyLen, fil::filExtRec);
      e.resource = DecodeFork(d, fil::filRLgLen, fil::filRPyLen, fil::filRExtRec);
    }
    if (catalog.byId.count(e.id)) {
      findings.Error("ID used twice", where,
                     Format("%s ID %u is used twice", e.folder ? "folder" : "file", e.id));
      continue;
    }
    catalog.byId[e.id] = catalog.entries.size();
    catalog.entries.push_back(std::move(e));
  }
}

}  // namespace brind
