#include "hfs/MasterDirectory.h"

#include <algorithm>
#include <cstring>

namespace brind {

const char* VolumeKindName(VolumeKind kind) {
  switch (kind) {
    case VolumeKind::kHfs:
      return "an HFS volume";
    case VolumeKind::kHfsPlus:
      return "an HFS Plus volume";
    case VolumeKind::kHfsWrapper:
      return "an HFS Plus volume inside an HFS wrapper";
    case VolumeKind::kNotHfs:
      return "not an HFS volume";
    case VolumeKind::kUnreadable:
      return "unreadable";
  }
  return "unknown";
}

std::array<Extent, kExtentsPerRecord> DecodeExtentRecord(const uint8_t* record) {
  std::array<Extent, kExtentsPerRecord> out;
  for (size_t i = 0; i < kExtentsPerRecord; ++i) {
    const uint8_t* d = record + i * kExtentDescriptorSize;
    out[i] = {GetU16BE(d), GetU16BE(d + 2)};
  }
  return out;
}

bool ReadMasterDirectory(ByteSource& source, Findings& findings, MasterDirectory& m) {
  m.sourceSize = source.Size();
  if (!source.Read(uint64_t{kMdbSector} * kHfsSectorSize, m.bytes.data(), m.bytes.size())) {
    m.kind = VolumeKind::kUnreadable;
    findings.Error("MDB", kMdbWhere,
                   Format("cannot be read (the target holds %llu bytes)",
                          static_cast<unsigned long long>(m.sourceSize)));
    return false;
  }
  const uint16_t sig = m.U16(mdb::drSigWord);
  if (sig == kHfsPlusSigWord || sig == kHfsxSigWord) {
    m.kind = VolumeKind::kHfsPlus;
    return false;
  }
  if (sig != kHfsSigWord) {
    m.kind = VolumeKind::kNotHfs;
    findings.Error("MDB", kMdbWhere, Format("signature is 0x%04X, expected 0x4244 (\"BD\")", sig));
    return false;
  }
  if (m.U16(mdb::drEmbedSigWord) == kHfsPlusSigWord) {
    m.kind = VolumeKind::kHfsWrapper;
    return false;
  }
  m.kind = VolumeKind::kHfs;
  m.blockSize = m.U32(mdb::drAlBlkSiz);
  m.blocks = m.U16(mdb::drNmAlBlks);
  m.firstSector = m.U16(mdb::drAlBlSt);
  m.bitmapStart = m.U16(mdb::drVBMSt);
  m.bitmapSectors = (m.blocks + kBitsPerSector - 1) / kBitsPerSector;
  const uint8_t nameLength = m.bytes[mdb::drVN];
  m.name.assign(reinterpret_cast<const char*>(m.bytes.data() + mdb::drVN + 1),
                std::min<size_t>(nameLength, kMaxVolumeName));
  bool sound = true;
  if (m.blockSize == 0 || m.blockSize % kHfsSectorSize != 0) {
    findings.Error("MDB", kMdbWhere,
                   Format("drAlBlkSiz is %u, expected a nonzero multiple of 512", m.blockSize));
    sound = false;
  }
  if (m.blocks == 0) {
    findings.Error("MDB", kMdbWhere, "drNmAlBlks is 0");
    sound = false;
  }
  if (m.bitmapStart < kBitmapSector || m.bitmapStart + m.bitmapSectors > m.firstSector) {
    findings.Error(
        "MDB", kMdbWhere,
        Format("the bitmap (drVBMSt %u, %u sectors) must lie between sector 3 and the first "
               "allocation block (drAlBlSt %u)",
               m.bitmapStart, m.bitmapSectors, m.firstSector));
    sound = false;
  }
  if ((m.U16(mdb::drAtrb) & kAtrbUnmounted) == 0)
    findings.Warn("MDB", kMdbWhere, "the volume was not unmounted cleanly (drAtrb bit 8 is clear)");
  if (nameLength == 0 || nameLength > kMaxVolumeName)
    findings.Error("MDB", kMdbWhere,
                   Format("the volume name is %u bytes long, expected 1 to 27", nameLength));
  if (!sound) return false;
  // An ISO 9660 primary volume descriptor at 32 KB.
  uint8_t iso[6];
  m.hybridIso =
      source.Read(32768, iso, sizeof iso) && iso[0] == 1 && std::memcmp(iso + 1, "CD001", 5) == 0;
  // The alternate MDB follows the allocation blocks, in the volume's last sector but one.
  if (m.VolumeEnd() + 2 * kHfsSectorSize > m.sourceSize) {
    m.truncated = true;
    findings.Error(
        "MDB", "volume",
        Format("the image is truncated: the volume's %u blocks of %u bytes and its alternate MDB "
               "need %llu bytes, the target holds %llu",
               m.blocks, m.blockSize,
               static_cast<unsigned long long>(m.VolumeEnd() + 2 * kHfsSectorSize),
               static_cast<unsigned long long>(m.sourceSize)));
  }
  return true;
}

}  // namespace brind
