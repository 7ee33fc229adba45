// The classic HFS on-disk format, in one place for every tool that writes or reads it: the
// master directory block, catalog node IDs, B-tree nodes and their header, the extents and
// catalog keys and records. Offsets are bytes from the start of their structure; every number
// on the disk is big-endian (common/Bytes.h). Fields carry the names Apple's documentation
// gives them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brind {

inline constexpr size_t kHfsSectorSize = 512;
inline constexpr uint32_t kBitsPerSector = kHfsSectorSize * 8;  // of the volume bitmap

// --- The volume ------------------------------------------------------------------------------
inline constexpr uint16_t kHfsSigWord = 0x4244;      // "BD"
inline constexpr uint16_t kHfsPlusSigWord = 0x482B;  // "H+"
inline constexpr uint16_t kHfsxSigWord = 0x4858;     // "HX"
inline constexpr uint32_t kMdbSector = 2;            // the alternate copy is in the last but one
inline constexpr uint32_t kBitmapSector = 3;         // drVBMSt as every formatter writes it
inline constexpr size_t kMaxVolumeName = 27;
inline constexpr size_t kMaxFileName = 31;
inline constexpr uint16_t kAtrbUnmounted = 0x0100;  // drAtrb: cleanly unmounted

// Byte offsets of the MDB fields.
namespace mdb {
inline constexpr size_t drSigWord = 0x00;
inline constexpr size_t drCrDate = 0x02;
inline constexpr size_t drLsMod = 0x06;
inline constexpr size_t drAtrb = 0x0A;
inline constexpr size_t drNmFls = 0x0C;
inline constexpr size_t drVBMSt = 0x0E;
inline constexpr size_t drAllocPtr = 0x10;
inline constexpr size_t drNmAlBlks = 0x12;
inline constexpr size_t drAlBlkSiz = 0x14;
inline constexpr size_t drClpSiz = 0x18;
inline constexpr size_t drAlBlSt = 0x1C;
inline constexpr size_t drNxtCNID = 0x1E;
inline constexpr size_t drFreeBks = 0x22;
inline constexpr size_t drVN = 0x24;  // length byte and up to 27 characters
inline constexpr size_t drVolBkUp = 0x40;
inline constexpr size_t drVSeqNum = 0x44;
inline constexpr size_t drWrCnt = 0x46;
inline constexpr size_t drXTClpSiz = 0x4A;
inline constexpr size_t drCTClpSiz = 0x4E;
inline constexpr size_t drNmRtDirs = 0x52;
inline constexpr size_t drFilCnt = 0x54;
inline constexpr size_t drDirCnt = 0x58;
inline constexpr size_t drFndrInfo = 0x5C;
inline constexpr size_t drVCSize = 0x7C;
inline constexpr size_t drEmbedSigWord = 0x7C;  // drVCSize's place in an HFS Plus wrapper
inline constexpr size_t drVBMCSize = 0x7E;
inline constexpr size_t drCtlCSize = 0x80;
inline constexpr size_t drXTFlSize = 0x82;
inline constexpr size_t drXTExtRec = 0x86;  // an extent record
inline constexpr size_t drCTFlSize = 0x92;
inline constexpr size_t drCTExtRec = 0x96;
}  // namespace mdb

// --- Catalog node IDs ------------------------------------------------------------------------
namespace cnid {
inline constexpr uint32_t kRootParent = 1;  // the parent of the root folder
inline constexpr uint32_t kRootFolder = 2;
inline constexpr uint32_t kExtentsFile = 3;
inline constexpr uint32_t kCatalogFile = 4;
inline constexpr uint32_t kBadBlocksFile = 5;
inline constexpr uint32_t kFirstUser = 16;  // 0 and 1 to 15 other than the root are reserved
}  // namespace cnid

// --- Extents ---------------------------------------------------------------------------------
// An extent record: three descriptors of a 16-bit first block and a 16-bit block count.
inline constexpr size_t kExtentsPerRecord = 3;
inline constexpr size_t kExtentDescriptorSize = 4;
inline constexpr size_t kExtentRecordSize = kExtentsPerRecord * kExtentDescriptorSize;
inline constexpr uint8_t kDataFork = 0x00;
inline constexpr uint8_t kResourceFork = 0xFF;

// --- B-tree nodes ----------------------------------------------------------------------------
inline constexpr size_t kNodeSize = 512;
namespace nd {  // the node descriptor
inline constexpr size_t ndFLink = 0;
inline constexpr size_t ndBLink = 4;
inline constexpr size_t ndType = 8;
inline constexpr size_t ndNHeight = 9;
inline constexpr size_t ndNRecs = 10;
inline constexpr size_t ndResv2 = 12;
}  // namespace nd
inline constexpr size_t kNodeDescriptorSize = 14;
enum NodeKind : int8_t { kIndexNode = 0, kHeaderNode = 1, kMapNode = 2, kLeafNode = -1 };
// The deepest tree a 2 GB volume's B-tree of 512-byte nodes can hold.
inline constexpr unsigned kMaxTreeDepth = 8;

// Record offsets run backwards from the node's end; offset i is at kNodeSize - 2 * (i + 1), and
// the one after the last record is where the free space starts.
inline constexpr size_t RecordOffsetAt(size_t i) { return kNodeSize - 2 * (i + 1); }

// The header node (node 0): three records, the header record, 128 bytes of user data and the
// map of nodes in use.
inline constexpr uint16_t kHeaderNodeRecords = 3;
inline constexpr uint16_t kHeaderRecordOffset = 14;  // 106 bytes
inline constexpr uint16_t kUserDataRecordOffset = 120;
inline constexpr uint16_t kMapRecordOffset = 248;  // 256 bytes
inline constexpr uint16_t kHeaderFreeOffset = 504;
namespace bth {  // the header record
inline constexpr size_t bthDepth = 0;
inline constexpr size_t bthRoot = 2;
inline constexpr size_t bthNRecs = 6;
inline constexpr size_t bthFNode = 10;
inline constexpr size_t bthLNode = 14;
inline constexpr size_t bthNodeSize = 18;
inline constexpr size_t bthKeyLen = 20;
inline constexpr size_t bthNNodes = 22;
inline constexpr size_t bthFree = 26;
}  // namespace bth
// The header node's map covers this many nodes; each map node (one record, from the
// descriptor to its own free-space offset) another kMapNodeBits.
inline constexpr uint32_t kHeaderMapBits = (kHeaderFreeOffset - kMapRecordOffset) * 8;
inline constexpr uint16_t kMapNodeRecords = 1;
inline constexpr uint16_t kMapNodeFreeOffset = 0x1FA;
inline constexpr uint32_t kMapNodeBits = (kMapNodeFreeOffset - kNodeDescriptorSize) * 8;

// --- Keys ------------------------------------------------------------------------------------
// Every record starts with its key: a length byte, then that many bytes; the record's data
// starts on the next even offset. The extents file orders keys by file, fork type and the fork's
// first block; the catalog by parent ID, then name in the Macintosh order (hfs/NameOrder.h).
inline constexpr size_t RecordDataOffset(size_t keyLength) {
  return (1 + keyLength + 1) & ~size_t{1};
}
namespace xkr {  // the extents key
inline constexpr size_t xkrKeyLen = 0;
inline constexpr size_t xkrFkType = 1;
inline constexpr size_t xkrFNum = 2;
inline constexpr size_t xkrFABN = 6;
}  // namespace xkr
inline constexpr uint16_t kExtentsKeyLength = 7;  // bthKeyLen and every extents key
namespace ckr {                                   // the catalog key
inline constexpr size_t ckrKeyLen = 0;
inline constexpr size_t ckrResrv1 = 1;
inline constexpr size_t ckrParID = 2;
inline constexpr size_t ckrCName = 6;  // length byte and up to 31 characters
}  // namespace ckr
inline constexpr uint16_t kCatalogKeyLength = 37;    // bthKeyLen: the longest catalog key
inline constexpr uint16_t kMinCatalogKeyLength = 6;  // parent and an empty name
// A leaf key as it is written: odd, so that key and length byte fill an even number of bytes.
inline constexpr uint8_t CatalogKeyLength(size_t nameLength) {
  return static_cast<uint8_t>((nameLength + 6) | 1);
}

// --- Catalog records -------------------------------------------------------------------------
enum CatalogRecordKind : uint8_t {
  kFolderRecord = 1,
  kFileRecord = 2,
  kFolderThreadRecord = 3,
  kFileThreadRecord = 4,
};
inline constexpr size_t kFolderRecordSize = 70;
inline constexpr size_t kFileRecordSize = 102;
inline constexpr size_t kThreadRecordSize = 46;
inline constexpr size_t cdrType = 0;  // every catalog record starts with its kind
namespace dir {                       // a folder record
inline constexpr size_t dirFlags = 2;
inline constexpr size_t dirVal = 4;
inline constexpr size_t dirDirID = 6;
inline constexpr size_t dirCrDat = 10;
inline constexpr size_t dirMdDat = 14;
inline constexpr size_t dirBkDat = 18;
inline constexpr size_t dirUsrInfo = 22;   // DInfo, 16 bytes
inline constexpr size_t dirFndrInfo = 38;  // DXInfo, 16 bytes
}  // namespace dir
namespace fil {  // a file record
inline constexpr size_t filFlags = 2;
inline constexpr size_t filTyp = 3;
inline constexpr size_t filUsrWds = 4;  // FInfo, 16 bytes
inline constexpr size_t filFlNum = 20;
inline constexpr size_t filStBlk = 24;
inline constexpr size_t filLgLen = 26;
inline constexpr size_t filPyLen = 30;
inline constexpr size_t filRStBlk = 34;
inline constexpr size_t filRLgLen = 36;
inline constexpr size_t filRPyLen = 40;
inline constexpr size_t filCrDat = 44;
inline constexpr size_t filMdDat = 48;
inline constexpr size_t filBkDat = 52;
inline constexpr size_t filFndrInfo = 56;  // FXInfo, 16 bytes
inline constexpr size_t filClpSize = 72;
inline constexpr size_t filExtRec = 74;
inline constexpr size_t filRExtRec = 86;
}  // namespace fil
inline constexpr size_t kFinderInfoSize = 16;
namespace thd {  // a folder or file thread record
inline constexpr size_t thdParID = 10;
inline constexpr size_t thdCName = 14;  // length byte and up to 31 characters
}  // namespace thd
inline constexpr uint8_t kThreadKeyLength = 7;  // parent = the thread's own ID, empty name

}  // namespace brind
