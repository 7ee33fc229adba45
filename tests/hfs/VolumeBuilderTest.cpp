#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "disk/DiskServices.h"
#include "hfs/FormatStages.h"
#include "hfs/Mdb.h"
#include "hfs/NameOrder.h"
#include "hfs/TreeBuilder.h"
#include "hfs/VolumeChecker.h"
#include "hfs/VolumeReader.h"
#include "hfs/VolumeSteps.h"
#include "tests/support/FakeDevice.h"
#include "tests/support/FakeDriverPort.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind {
namespace {

using test::FakeDevice;
using test::Op;

std::vector<uint8_t> Hex(const char* text) {
  std::vector<uint8_t> out;
  std::istringstream in(text);
  unsigned v;
  while (in >> std::hex >> v) out.push_back(static_cast<uint8_t>(v));
  return out;
}

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) { return {p, p + n}; }

bool AllZero(const uint8_t* p, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i)
    if (p[i] != 0) return false;
  return true;
}

// A 28-byte label buffer as the format state holds it.
struct Label {
  char bytes[28] = {};
  explicit Label(const std::string& s) {
    std::memcpy(bytes, s.data(), std::min<size_t>(s.size(), 27));
  }
};

// A drive with a recognisable old disk in it, reached through the real disk services.
struct Drive {
  FakeDevice device;
  test::FakeDriverPort driver;
  test::ScriptedPrompts prompts;
  DiskServices disk{device, driver, prompts};

  Drive() {
    for (size_t i = 0; i < device.disk.size(); ++i)
      device.disk[i] = static_cast<uint8_t>(0xA5 ^ (i / 512));
  }
  std::vector<uint8_t> Sector(uint32_t s) { return Bytes(device.SectorData(s), 512); }
  // Runs stages 160.. up to and including lastStep; returns the first nonzero status.
  uint16_t Format(const char* label, uint32_t lastStep = kLastStageStep) {
    for (uint32_t step = kFirstStageStep; step <= lastStep; ++step) {
      const uint16_t s = FindFormatStage(step)->run(disk, {0, kTotalSectors, label});
      if (s != 0) return s;
    }
    return 0;
  }
};

struct Volume : ::testing::Test, Drive {};

TEST_F(Volume, MdbOfWriteVibForUntitled) {
  ASSERT_EQ(WriteVib(disk, 0, kTotalSectors, Label("Untitled").bytes), 0);
  const auto mdb = Sector(2);
  EXPECT_EQ(Bytes(mdb.data(), 0x24),
            Hex("42 44 AC F5 FF 1C AC F5 FF 1C 01 00 00 00 00 03 00 2C 0B 3A 00 00 02 00 00 00 "
                "08 00 00 04 00 00 00 10 0B 3A"));
  EXPECT_EQ(Bytes(&mdb[0x24], 9), Hex("08 55 6E 74 69 74 6C 65 64"));
  EXPECT_TRUE(AllZero(mdb.data(), 0x2D, 0x4A));
  EXPECT_EQ(Bytes(&mdb[0x4A], 8), Hex("00 00 2C 00 00 00 2C 00"));
  EXPECT_TRUE(AllZero(mdb.data(), 0x52, 512));
  // WriteVib reads nothing and writes only sector 2.
  EXPECT_EQ(device.Count(Op::kRead), 0u);
  EXPECT_EQ(device.WrittenSectors(), std::vector<uint32_t>{2});
}

TEST_F(Volume, VolumeNameIsLengthPrefixedAndBounded) {
  struct Case {
    const char* what;
    std::vector<char> buffer;  // as handed to the steps
    std::string stored;
  };
  std::vector<char> unterminated(64, 'Q');  // a label that forgot its terminator
  const Case cases[] = {
      {"empty", {'\0'}, ""},
      {"27 bytes",
       {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N',
        'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '!', '\0'},
       "ABCDEFGHIJKLMNOPQRSTUVWXYZ!"},
      {"Macintosh characters", {'\xA5', '\x8A', ' ', 'x', '\0'}, "\xA5\x8A x"},
      {"unterminated", unterminated, std::string(27, 'Q')},
  };
  for (const Case& c : cases) {
    FakeDevice dev;
    DiskServices d{dev, driver, prompts};
    ASSERT_EQ(WriteVib(d, 0, kTotalSectors, c.buffer.data()), 0) << c.what;
    const uint8_t* vn = dev.SectorData(2) + 0x24;
    EXPECT_EQ(vn[0], c.stored.size()) << c.what;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(vn + 1), c.stored.size()), c.stored)
        << c.what;
    EXPECT_TRUE(AllZero(vn, 1 + c.stored.size(), 28)) << c.what;
    EXPECT_EQ(dev.SectorData(2)[0x40], 0) << c.what << ": the name ran past drVN";
  }
}

TEST(SwapMdb, TwiceIsIdentityAndFieldsComeOutBigEndian) {
  MdbImage image;
  for (size_t i = 0; i < image.bytes.size(); ++i)
    image.bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  const MdbImage original = image;
  SwapMdb(image);
  EXPECT_NE(image.bytes, original.bytes);
  SwapMdb(image);
  EXPECT_EQ(image.bytes, original.bytes);

  MdbImage fields;
  fields.Set32(mdb::drCTFlSize, 0x01020304);
  fields.Set16(mdb::drCTExtRec + 10, 0xA1B2);  // the last unit converted
  fields.bytes[mdb::drVN + 1] = 'x';
  fields.bytes[0xA2] = 0x77;
  SwapMdb(fields);
  EXPECT_EQ(GetU32BE(&fields.bytes[mdb::drCTFlSize]), 0x01020304u);
  EXPECT_EQ(GetU16BE(&fields.bytes[mdb::drCTExtRec + 10]), 0xA1B2);
  EXPECT_EQ(fields.bytes[mdb::drVN + 1], 'x');
  EXPECT_EQ(fields.bytes[0xA2], 0x77);
}

// Every number of the block, each with its own non-zero value, comes out big-endian: a field left
// out of the conversion shows, which the format's many zero fields would hide.
TEST(SwapMdb, EveryFieldComesOutBigEndian) {
  using namespace mdb;
  const size_t shorts[] = {
      drSigWord,      drAtrb,         drNmFls,        drVBMSt,         drAllocPtr,
      drNmAlBlks,     drAlBlSt,       drFreeBks,      drVSeqNum,       drNmRtDirs,
      drVCSize,       drVBMCSize,     drCtlCSize,     drXTExtRec,      drXTExtRec + 2,
      drXTExtRec + 4, drXTExtRec + 6, drXTExtRec + 8, drXTExtRec + 10, drCTExtRec,
      drCTExtRec + 2, drCTExtRec + 4, drCTExtRec + 6, drCTExtRec + 8,  drCTExtRec + 10};
  const size_t longs[] = {drCrDate,  drLsMod,    drAlBlkSiz, drClpSiz,   drNxtCNID,
                          drVolBkUp, drWrCnt,    drXTClpSiz, drCTClpSiz, drFilCnt,
                          drDirCnt,  drXTFlSize, drCTFlSize};
  MdbImage image;
  for (size_t i = 0; i < std::size(shorts); ++i)
    image.Set16(shorts[i], static_cast<uint16_t>(0x1234 + i * 0x1111));
  for (size_t i = 0; i < std::size(longs); ++i)
    image.Set32(longs[i], static_cast<uint32_t>(0x10213243 + i * 0x01010101));
  SwapMdb(image);
  for (size_t i = 0; i < std::size(shorts); ++i)
    EXPECT_EQ(GetU16BE(&image.bytes[shorts[i]]), static_cast<uint16_t>(0x1234 + i * 0x1111))
        << "offset 0x" << std::hex << shorts[i];
  for (size_t i = 0; i < std::size(longs); ++i)
    EXPECT_EQ(GetU32BE(&image.bytes[longs[i]]), static_cast<uint32_t>(0x10213243 + i * 0x01010101))
        << "offset 0x" << std::hex << longs[i];
}

TEST_F(Volume, WholeFormatLeavesTheFixedStructures) {
  ASSERT_EQ(Format(Label("Untitled").bytes), 0);
  const auto mdb = Sector(2);
  EXPECT_EQ(Bytes(&mdb[0x22], 2), Hex("0B 0E"));
  EXPECT_EQ(Bytes(&mdb[0x82], 0x20), Hex("00 00 2C 00 00 00 00 16 00 00 00 00 00 00 00 00 "
                                         "00 00 2C 00 00 16 00 16 00 00 00 00 00 00 00 00"));
  EXPECT_TRUE(AllZero(mdb.data(), 0xA2, 512));
  EXPECT_EQ(Sector(2878), mdb);

  const auto bitmap = Sector(3);
  EXPECT_EQ(Bytes(bitmap.data(), 7), Hex("FF FF FF FF FF F0 00"));
  EXPECT_TRUE(AllZero(bitmap.data(), 6, 512));

  EXPECT_EQ(Sector(0), std::vector<uint8_t>(512, 0));
  EXPECT_EQ(Sector(1), std::vector<uint8_t>(512, 0));

  const auto extents = Sector(4);
  EXPECT_EQ(Bytes(extents.data(), 44),
            Hex("00 00 00 00 00 00 00 00 01 00 00 03 00 00 "
                "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 00 07 "
                "00 00 00 16 00 00 00 15"));
  EXPECT_EQ(extents[248], 0x80);
  EXPECT_EQ(Bytes(&extents[504], 8), Hex("01 F8 00 F8 00 78 00 0E"));
  EXPECT_TRUE(AllZero(extents.data(), 44, 248));
  EXPECT_TRUE(AllZero(extents.data(), 249, 504));

  const auto catalog = Sector(26);
  EXPECT_EQ(Bytes(catalog.data(), 14), Bytes(extents.data(), 14));
  EXPECT_EQ(Bytes(&catalog[14], 30),
            Hex("00 01 00 00 00 01 00 00 00 02 00 00 00 01 00 00 00 01 02 00 00 25 "
                "00 00 00 16 00 00 00 14"));
  EXPECT_EQ(catalog[248], 0xC0);
  EXPECT_EQ(Bytes(&catalog[504], 8), Bytes(&extents[504], 8));
  EXPECT_TRUE(AllZero(catalog.data(), 44, 248));
  EXPECT_TRUE(AllZero(catalog.data(), 249, 504));

  // Free nodes of both B-trees are zeroed; node 1 of the extents file is left as it was.
  for (uint32_t s : {6u, 25u, 28u, 47u}) EXPECT_EQ(Sector(s), std::vector<uint8_t>(512, 0)) << s;
  Drive fresh;
  EXPECT_EQ(Sector(5), fresh.Sector(5));
  // Nothing outside the structures is touched: not the free blocks, not the last sector.
  for (uint32_t s : {48u, 1000u, 2877u, 2879u}) EXPECT_EQ(Sector(s), fresh.Sector(s)) << s;
  for (uint32_t s : device.WrittenSectors()) {
    EXPECT_TRUE(s <= 47 || s == 2878) << "wrote sector " << s;
  }
}

TEST_F(Volume, RootDirectoryLeafForNamesOfEachLength) {
  struct Case {
    std::string name;
    uint8_t keyLength;
    uint16_t thread, freeSpace;
    std::string findings;  // of the checker
  };
  // The builder leaves node 1 of the extents file as it was, and an empty name is no HFS name.
  const std::string stale = "extents node 1: is free and still holds old bytes (legal)\n";
  const Case cases[] = {
      {"", 7, 92, 146,
       "MDB (sector 2): the volume name is 0 bytes long, expected 1 to 27\n" + stale +
           "catalog node 1 record 0: an empty name; names have 1 to 31 bytes\n"},
      {"Untitled", 15, 100, 154, stale},
      {"Name of 27 characters......", 33, 118, 172, stale}};
  for (const Case& c : cases) {
    Drive v;
    ASSERT_EQ(v.Format(Label(c.name).bytes), 0) << c.name;
    const auto leaf = v.Sector(27);
    const size_t L = c.name.size();
    EXPECT_EQ(Bytes(leaf.data(), 14), Hex("00 00 00 00 00 00 00 00 FF 01 00 02 00 00")) << c.name;
    EXPECT_EQ(leaf[14], c.keyLength) << c.name;
    EXPECT_EQ(Bytes(&leaf[15], 5), Hex("00 00 00 00 01")) << c.name;  // ckrResrv1, ckrParID
    EXPECT_EQ(leaf[20], L);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&leaf[21]), L), c.name);
    if (L % 2 == 0) {
      EXPECT_EQ(leaf[21 + L], 0) << c.name << ": pad byte";
    }
    // The directory record right after the key.
    const uint8_t* dir = &leaf[15 + c.keyLength];
    EXPECT_EQ(Bytes(dir, 22), Hex("01 00 00 00 00 00 00 00 00 02 AC F5 FF 1C AC F5 FF 1C "
                                  "00 00 00 00"))
        << c.name;
    EXPECT_TRUE(AllZero(dir, 22, 70)) << c.name;
    // The thread.
    const uint8_t* thread = &leaf[c.thread];
    EXPECT_EQ(Bytes(thread, 22),
              Hex("07 00 00 00 00 02 00 00 03 00 00 00 00 00 00 00 00 00 00 00 00 01"))
        << c.name;
    EXPECT_EQ(thread[22], L) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(thread + 23), L), c.name);
    EXPECT_TRUE(AllZero(thread, 23 + L, 54)) << c.name;
    EXPECT_TRUE(AllZero(leaf.data(), c.freeSpace, 506)) << c.name;
    EXPECT_EQ(GetU16BE(&leaf[510]), 14) << c.name;
    EXPECT_EQ(GetU16BE(&leaf[508]), c.thread) << c.name;
    EXPECT_EQ(GetU16BE(&leaf[506]), c.freeSpace) << c.name;

    MemorySource image(v.device.disk.data(), v.device.disk.size());
    const CheckResult checked = CheckVolume(image);
    std::string found;
    for (const Finding& f : checked.findings) found += f.where + ": " + f.what + "\n";
    EXPECT_EQ(found, c.findings) << c.name;
  }
}

// The reader over a volume the builder wrote: the root as a plain record, and a file's fork read
// through its extents, never past its logical length or outside the volume.
TEST_F(Volume, ReaderDecodesTheRootAndReadsForksWithinTheirBounds) {
  ASSERT_EQ(Format(Label("Reader").bytes), 0);
  MemorySource image(device.disk.data(), device.disk.size());
  Findings findings;
  VolumeReader reader(image, findings);
  ASSERT_TRUE(reader.Open());
  ASSERT_TRUE(reader.LoadExtentsTree());
  ASSERT_TRUE(reader.LoadCatalog());
  const Catalog& catalog = reader.GetCatalog();
  ASSERT_EQ(catalog.entries.size(), 1u);
  const CatalogEntry& root = catalog.entries[0];
  EXPECT_TRUE(root.folder);
  EXPECT_EQ(root.id, 2u);
  EXPECT_EQ(root.parent, 1u);
  EXPECT_EQ(root.name, "Reader");
  EXPECT_EQ(root.created, FormatTimestamp());
  ASSERT_EQ(catalog.threads.size(), 1u);
  EXPECT_EQ(catalog.threads[0].name, "Reader");
  EXPECT_TRUE(findings.Take().empty());

  // A file of 1,200 bytes in blocks 100-101 and 300; each byte of it says where it is.
  CatalogEntry file;
  file.id = 16;
  file.data = {1200, 1536, {Extent{100, 2}, Extent{300, 1}, Extent{}}};
  auto expected = [](uint64_t at) { return static_cast<uint8_t>(at * 7 + 3); };
  const MasterDirectory& m = reader.Mdb();
  for (uint64_t at = 0; at < 1536; ++at)
    device.disk[m.BlockOffset(at < 1024 ? 100 : 300) + at % 1024] = expected(at);
  CatalogEntry short_ = file;  // a logical length its extents do not hold
  short_.data.logicalLength = 5000;
  CatalogEntry outside = file;  // its only extent lies past the volume's blocks
  outside.data.firstExtents = {Extent{2870, 10}, Extent{}, Extent{}};
  struct Case {
    const char* name;
    const CatalogEntry& entry;
    uint8_t fork;
    uint64_t offset;
    size_t n;
    bool ok;
  };
  const Case cases[] = {
      {"start of the fork", file, kDataFork, 0, 16, true},
      {"across the first extent's blocks", file, kDataFork, 500, 24, true},
      {"from one extent into the next", file, kDataFork, 1000, 100, true},
      {"up to the logical length", file, kDataFork, 1100, 100, true},
      {"one byte past the logical length", file, kDataFork, 1100, 101, false},
      {"at the logical length", file, kDataFork, 1200, 1, false},
      {"an offset past 4 GB", file, kDataFork, uint64_t{1} << 33, 1, false},
      {"the empty resource fork", file, kResourceFork, 0, 1, false},
      {"past what the extents hold", short_, kDataFork, 1500, 100, false},
      {"an extent outside the volume", outside, kDataFork, 0, 1, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out(c.n, 0);
    ASSERT_EQ(reader.ReadFork(c.entry, c.fork, c.offset, out.data(), c.n), c.ok) << c.name;
    for (size_t i = 0; c.ok && i < c.n; ++i) ASSERT_EQ(out[i], expected(c.offset + i)) << c.name;
  }
}

TEST_F(Volume, FormatsAreReproducibleAndEveryStageWorksFromTheDiskAlone) {
  ASSERT_EQ(Format(Label("Same").bytes), 0);
  // A second run where every stage gets disk services of its own: nothing may be carried in
  // memory from one stage to the next.
  Drive other;
  for (uint32_t step = kFirstStageStep; step <= kLastStageStep; ++step) {
    test::FakeDriverPort drv;
    test::ScriptedPrompts pr;
    DiskServices own{other.device, drv, pr};
    ASSERT_EQ(FindFormatStage(step)->run(own, {0, kTotalSectors, Label("Same").bytes}), 0);
  }
  EXPECT_EQ(device.disk, other.device.disk);
  // Each transfer moved one sector: the calls are the transfers.
  EXPECT_EQ(device.Count(Op::kWrite), 2u + 1 + 1 + 23 + 23 + 1 + 1);
  EXPECT_EQ(device.Count(Op::kRead), 0u + 0 + 1 + 2 + 2 + 1 + 1);
}

TEST_F(Volume, LaterStagesBuildOnWhatIsOnTheDisk) {
  ASSERT_EQ(Format("X", 162), 0);
  device.SectorData(3)[100] = 0x81;  // blocks 800 and 807 already in use
  ASSERT_EQ(WriteExtentRecord(disk, 0), 0);
  EXPECT_EQ(device.SectorData(3)[100], 0x81);
  // A catalog moved by a changed extents record follows it.
  uint8_t* mdb = device.SectorData(2);
  PutU16BE(mdb + mdb::drXTExtRec + 2, 30);
  ASSERT_EQ(WriteCatalogRecord(disk, 0), 0);
  EXPECT_EQ(device.SectorData(4 + 30)[248], 0xC0);
  EXPECT_EQ(GetU16BE(device.SectorData(2) + mdb::drCTExtRec), 30);
  ASSERT_EQ(WriteRootDirectory(disk, 0, "X"), 0);
  EXPECT_EQ(device.SectorData(4 + 30 + 1)[8], 0xFF);
}

// A stray sector 2 (the stages run on a disk whose MDB is not what WriteVib left) must make the
// stage fail, not divide by zero or write outside the bitmap.
TEST_F(Volume, StagesRefuseAnMdbTheyCannotUse) {
  struct Case {
    const char* what;
    size_t field;
    uint32_t value;
  };
  const Case cases[] = {{"block size 0", mdb::drAlBlkSiz, 0},
                        {"block size not whole sectors", mdb::drAlBlkSiz, 700},
                        {"extents file beyond the bitmap", mdb::drXTClpSiz, 0x200000},
                        {"catalog file beyond the bitmap", mdb::drCTClpSiz, 0x200000}};
  for (const Case& c : cases) {
    Drive v;
    ASSERT_EQ(v.Format("X", 162), 0);
    PutU32BE(v.device.SectorData(2) + c.field, c.value);
    const auto before = v.device.disk;
    EXPECT_EQ(
        c.field == mdb::drCTClpSiz ? WriteCatalogRecord(v.disk, 0) : WriteExtentRecord(v.disk, 0),
        1)
        << c.what;
    EXPECT_EQ(v.device.disk, before) << c.what;
  }
}

// Each failed read or write ends its stage at once with the status the stage answers for it.
TEST(StageFaults, EveryTransferOfEveryStage) {
  struct Case {
    uint32_t step;
    Op op;
    size_t nth;  // which transfer of that kind within the stage
    uint16_t code;
    uint16_t expected;
    const char* message;
  };
  const Case cases[] = {
      {160, Op::kWrite, 0, 3, 1, "Unable to write the Boot Record"},
      {160, Op::kWrite, 1, 2, 1, "Unable to write the Boot Record"},
      {161, Op::kWrite, 0, 3, 3, "Unable to write the VIB"},
      {161, Op::kWrite, 0, 8, 8, "Unable to write the VIB"},
      {162, Op::kRead, 0, 2, 1, "Unable to write the Volume Bitmap"},
      {162, Op::kWrite, 0, 3, 3, "Unable to write the Volume Bitmap"},
      {163, Op::kRead, 0, 2, 1, "Unable to write the Extent Record"},
      {163, Op::kRead, 1, 8, 1, "Unable to write the Extent Record"},
      {163, Op::kWrite, 0, 3, 1, "Unable to write the Extent Record"},   // header node
      {163, Op::kWrite, 1, 3, 3, "Unable to write the Extent Record"},   // bitmap
      {163, Op::kWrite, 2, 2, 1, "Unable to write the Extent Record"},   // first free node
      {163, Op::kWrite, 21, 2, 1, "Unable to write the Extent Record"},  // last free node
      {163, Op::kWrite, 22, 8, 8, "Unable to write the Extent Record"},  // MDB
      {164, Op::kRead, 0, 2, 1, "Unable to write the Catalog Record"},
      {164, Op::kRead, 1, 2, 1, "Unable to write the Catalog Record"},
      {164, Op::kWrite, 0, 3, 1, "Unable to write the Catalog Record"},
      {164, Op::kWrite, 1, 3, 1, "Unable to write the Catalog Record"},
      {164, Op::kWrite, 5, 3, 1, "Unable to write the Catalog Record"},
      {164, Op::kWrite, 22, 8, 1, "Unable to write the Catalog Record"},
      {165, Op::kRead, 0, 2, 1, "Unable to write the Root directory"},
      {165, Op::kWrite, 0, 3, 1, "Unable to write the Root directory"},
      {166, Op::kRead, 0, 2, 1, "Unable to write the Duplicate VIB"},
      {166, Op::kWrite, 0, 3, 1, "Unable to write the Duplicate VIB"},
  };
  for (const Case& c : cases) {
    const std::string what =
        std::to_string(c.step) + (c.op == Op::kRead ? " read " : " write ") + std::to_string(c.nth);
    FakeDevice device;
    test::FakeDriverPort driver;
    test::ScriptedPrompts prompts;
    DiskServices disk{device, driver, prompts};
    const Label label("Faulty");
    for (uint32_t step = kFirstStageStep; step < c.step; ++step)
      ASSERT_EQ(FindFormatStage(step)->run(disk, {0, kTotalSectors, label.bytes}), 0) << what;

    size_t seen = 0;
    device.fault = [&](const test::DeviceCall& call, size_t) -> std::optional<DeviceResult> {
      if (call.op == c.op && seen++ == c.nth) return DeviceResult::Failure(c.code);
      return std::nullopt;
    };
    const size_t callsBefore = device.calls.size();
    const FormatStage* stage = FindFormatStage(c.step);
    ASSERT_NE(stage, nullptr);
    EXPECT_EQ(stage->run(disk, {0, kTotalSectors, label.bytes}), c.expected) << what;
    EXPECT_STREQ(stage->failureMessage, c.message) << what;
    // The failed transfer is the stage's last.
    EXPECT_EQ(device.calls.back().op, c.op) << what;
    EXPECT_GT(device.calls.size(), callsBefore) << what;
    EXPECT_TRUE(prompts.shown.empty()) << what;
  }
}

// A disk of any size in memory: sectors never written read as zeros; a cleared range is one call.
struct MemoryDisk : SectorIo {
  std::map<uint32_t, std::vector<uint8_t>> sectors;
  std::vector<std::pair<uint32_t, uint32_t>> cleared;
  DiskStatus ReadSector(uint8_t* buffer, uint32_t sector, uint8_t) override {
    const auto it = sectors.find(sector);
    if (it == sectors.end())
      std::memset(buffer, 0, 512);
    else
      std::memcpy(buffer, it->second.data(), 512);
    return kDiskOk;
  }
  DiskStatus WriteSector(const uint8_t* buffer, uint32_t sector, uint8_t) override {
    sectors[sector].assign(buffer, buffer + 512);
    return kDiskOk;
  }
  DiskStatus ZeroSectors(uint32_t first, uint32_t count, uint8_t) override {
    cleared.emplace_back(first, count);
    sectors.erase(sectors.lower_bound(first), sectors.lower_bound(first + count));
    return kDiskOk;
  }
  const uint8_t* At(uint32_t sector) {
    auto& s = sectors[sector];
    s.resize(512);
    return s.data();
  }
};

// What hformat (hfsutils) makes of zeroed images of these sizes.
TEST(VolumeSizes, LayoutAsHformatMakesIt) {
  struct Case {
    uint32_t sectors, blocks, blockSize, bitmapSectors, treeBytes, mapNodes;
  };
  const Case cases[] = {{1600, 1594, 512, 1, 6144, 0},
                        {2880, 2874, 512, 1, 11264, 0},
                        {40960, 40945, 512, 10, 163328, 0},
                        {204800, 51195, 2048, 13, 817152, 0},
                        {4096000, 65015, 32256, 16, 16353792, 8},
                        {4194304, 65535, 32768, 16, 16744448, 8}};
  for (const Case& c : cases) {
    MemoryDisk disk;
    for (uint32_t step = kFirstStageStep; step <= kLastStageStep; ++step)
      ASSERT_EQ(FindFormatStage(step)->run(disk, {0, c.sectors, "Untitled"}), 0) << c.sectors;
    const uint8_t* mdb = disk.At(2);
    EXPECT_EQ(GetU16BE(mdb + mdb::drNmAlBlks), c.blocks) << c.sectors;
    EXPECT_EQ(GetU32BE(mdb + mdb::drAlBlkSiz), c.blockSize) << c.sectors;
    EXPECT_EQ(GetU16BE(mdb + mdb::drAlBlSt), 3 + c.bitmapSectors) << c.sectors;
    EXPECT_EQ(GetU32BE(mdb + mdb::drCTFlSize), c.treeBytes) << c.sectors;
    const uint32_t treeBlocks = c.treeBytes / c.blockSize;
    EXPECT_EQ(GetU16BE(mdb + mdb::drAllocPtr), 2 * treeBlocks) << c.sectors;
    EXPECT_EQ(GetU16BE(mdb + mdb::drFreeBks), c.blocks - 2 * treeBlocks) << c.sectors;
    EXPECT_EQ(std::vector<uint8_t>(mdb, mdb + 512),
              std::vector<uint8_t>(disk.At(c.sectors - 2), disk.At(c.sectors - 2) + 512));

    // Each tree: header, chained map nodes, and in the catalog the leaf after them.
    const uint32_t nodes = c.treeBytes / 512;
    for (uint32_t tree = 0; tree < 2; ++tree) {
      const uint32_t first = 3 + c.bitmapSectors + tree * treeBlocks * (c.blockSize / 512);
      const uint8_t* header = disk.At(first);
      const uint32_t used = 1 + c.mapNodes + tree;
      EXPECT_EQ(GetU32BE(header), c.mapNodes ? 1u : 0u) << c.sectors;    // ndFLink
      EXPECT_EQ(GetU32BE(header + 14 + 22), nodes) << c.sectors;         // bthNNodes
      EXPECT_EQ(GetU32BE(header + 14 + 26), nodes - used) << c.sectors;  // bthFree
      for (uint32_t n = 0; n < 16; ++n)
        EXPECT_EQ((header[248 + n / 8] >> (7 - n % 8)) & 1, n < used ? 1 : 0)
            << c.sectors << " " << n;
      for (uint32_t k = 1; k <= c.mapNodes; ++k) {
        const uint8_t* map = disk.At(first + k);
        EXPECT_EQ(GetU32BE(map), k < c.mapNodes ? k + 1 : 0) << k;  // ndFLink
        EXPECT_EQ(GetU32BE(map + 4), k - 1) << k;                   // ndBLink
        EXPECT_EQ(Bytes(map + 8, 4), Hex("02 00 00 01")) << k;
        EXPECT_EQ(Bytes(map + 508, 4), Hex("01 FA 00 0E")) << k;
      }
      if (tree == 1) {
        EXPECT_EQ(GetU32BE(header + 14 + 2), c.mapNodes + 1) << c.sectors;  // bthRoot
        EXPECT_EQ(disk.At(first + c.mapNodes + 1)[8], 0xFF) << c.sectors;   // the leaf
      }
      // The free nodes after those are cleared with one call per tree.
      EXPECT_EQ(disk.cleared[tree], std::make_pair(first + c.mapNodes + 2, nodes - c.mapNodes - 2));
    }
    // Blocks of both trees in use, no others: all in the first bitmap sector.
    auto inUse = [&](uint32_t b) {
      return (disk.At(3 + b / 4096)[b % 4096 / 8] >> (7 - b % 8)) & 1;
    };
    for (uint32_t b : {0u, 2 * treeBlocks - 1, 2 * treeBlocks, c.blocks - 1})
      EXPECT_EQ(inUse(b), b < 2 * treeBlocks ? 1 : 0) << c.sectors << " block " << b;
  }
}

// A run of blocks that crosses from one bitmap sector into the next marks both.
TEST(VolumeSizes, BlocksAcrossTwoBitmapSectors) {
  MemoryDisk disk;
  const uint32_t sectors = 40960;  // ten bitmap sectors
  for (uint32_t step = kFirstStageStep; step <= 163; ++step)
    ASSERT_EQ(FindFormatStage(step)->run(disk, {0, sectors, "X"}), 0);
  std::vector<uint8_t> mdb(disk.At(2), disk.At(2) + 512);
  PutU16BE(mdb.data() + mdb::drXTExtRec + 2, 4090);  // the catalog goes to blocks 4090..4408
  disk.WriteSector(mdb.data(), 2, 0);
  ASSERT_EQ(WriteCatalogRecord(disk, 0), 0);
  EXPECT_EQ(Bytes(disk.At(3) + 510, 2), Hex("00 3F"));    // 4090..4095
  EXPECT_EQ(Bytes(disk.At(4) + 38, 3), Hex("FF 80 00"));  // 4096..4408
}

TEST(StageTable, StepsInOrderAndNothingOutside) {
  EXPECT_EQ(FindFormatStage(159), nullptr);
  EXPECT_EQ(FindFormatStage(167), nullptr);
  for (uint32_t step = 160; step <= 166; ++step) EXPECT_EQ(FindFormatStage(step)->step, step);
}

// The catalog's name order: case folded, accented letters after their base letter, a prefix
// first, the non-breaking space as a space, the later additions to the set last.
TEST(NameOrder, MacintoshOrdering) {
  struct Case {
    const char *a, *b;
    int sign;
  };
  const Case cases[] = {
      {"apple", "APPLE", 0},
      {"a", "ab", -1},
      {"Zebra", "apple", 1},
      {"\x80pfel", "Apfel", 1},
      {"\x80pfel", "b", -1},
      {"caf\x8E", "cafe", 1},
      {"a b",
       "a\xCA"
       "b",
       0},
      {"\xE7", "\xFF", -1},
      {"\xE7", "\x87", 1},
      {"\x8A", "\x80", 0},
      {"O\xBF", "O\xAF", 0},
      {"_", "{", -1},
  };
  for (const Case& c : cases) {
    const auto* a = reinterpret_cast<const uint8_t*>(c.a);
    const auto* b = reinterpret_cast<const uint8_t*>(c.b);
    const int r = CompareMacNames(a, std::strlen(c.a), b, std::strlen(c.b));
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
  }
}

// A whole disk in memory whose nth sector write (counting every sector of a run) can fail.
struct FlatDisk : SectorIo {
  std::vector<uint8_t> bytes;
  size_t writes = 0, failWrite = SIZE_MAX, failRead = SIZE_MAX, reads = 0;
  explicit FlatDisk(uint32_t sectors) : bytes(size_t{sectors} * kSectorSize, 0xE5) {}
  DiskStatus ReadSector(uint8_t* buffer, uint32_t sector, uint8_t) override {
    if (reads++ == failRead) return 2;
    std::memcpy(buffer, &bytes[size_t{sector} * kSectorSize], kSectorSize);
    return kDiskOk;
  }
  DiskStatus WriteSector(const uint8_t* buffer, uint32_t sector, uint8_t) override {
    if (writes++ == failWrite) return 3;
    std::memcpy(&bytes[size_t{sector} * kSectorSize], buffer, kSectorSize);
    return kDiskOk;
  }
  DiskStatus ZeroSectors(uint32_t first, uint32_t count, uint8_t) override {
    if (writes++ == failWrite) return 3;
    std::memset(&bytes[size_t{first} * kSectorSize], 0, size_t{count} * kSectorSize);
    return kDiskOk;
  }
};

// Fork bytes that say where they are: entry, fork and offset.
uint8_t ForkByte(size_t entry, bool resource, uint64_t at) {
  return static_cast<uint8_t>(entry * 7 + (resource ? 101 : 0) + at * 13 + at / 509);
}
struct PatternReader : ForkReader {
  size_t failAt = SIZE_MAX, calls = 0;
  bool Read(size_t entry, bool resource, uint64_t offset, uint8_t* buffer, size_t length,
            std::string& error) override {
    if (calls++ == failAt) {
      error = "cannot read x";
      return false;
    }
    for (size_t i = 0; i < length; ++i) buffer[i] = ForkByte(entry, resource, offset + i);
    return true;
  }
};

// folders x files in each (and in the root), each file with forks of the sizes given.
VolumeTree MakeTree(size_t folders, size_t files, uint64_t data, uint64_t rsrc) {
  VolumeTree t;
  auto addFiles = [&](uint32_t parent) {
    for (size_t f = 0; f < files; ++f) {
      TreeEntry e;
      e.parent = parent;
      e.name = "File " + std::to_string(f) + (f % 3 ? " of a longer name" : "");
      e.dataLength = data + f % 5;
      e.resourceLength = f % 2 ? rsrc : 0;
      e.finder[0] = 'T', e.finder[4] = 'C', e.finder[8] = 0x01;
      t.push_back(e);
    }
  };
  addFiles(kNoParent);
  for (size_t d = 0; d < folders; ++d) {
    TreeEntry f;
    f.folder = true;
    f.name = "Folder " + std::to_string(d);
    f.parent = d % 4 == 3 ? static_cast<uint32_t>(t.size() - 1 - files) : kNoParent;  // nested
    t.push_back(f);
    addFiles(static_cast<uint32_t>(t.size() - 1));
  }
  return t;
}

uint16_t FillVolume(FlatDisk& disk, uint32_t sectors, const VolumeTree& tree, ForkReader& reader,
                    std::string& error) {
  for (uint32_t step = kFirstStageStep; step <= 164; ++step)
    if (FindFormatStage(step)->run(disk, {0, sectors, "Filled"}) != 0) return 99;
  return WriteVolumeTree(disk, 0, sectors, "Filled", tree, reader, error);
}

// Filled volumes of every shape: each checks clean with the counts it was given, every fork
// reads back where its record says, and the catalog has the depth, size and map nodes the tree
// needs.
TEST(FilledVolume, TreesOfEveryShape) {
  struct Case {
    const char* name;
    uint32_t sectors;
    size_t folders, files;
    uint64_t data, rsrc;
    uint16_t depth;
    bool catalogGrows, mapNode;
  };
  const Case cases[] = {
      {"nothing", 2880, 0, 0, 0, 0, 1, false, false},
      {"three files in the root: two leaves", 1600, 0, 3, 700, 1500, 2, false, false},
      {"empty files", 2880, 2, 4, 0, 0, 2, false, false},
      {"nested folders, two index levels, the catalog grown", 2880, 12, 20, 100, 30, 3, true,
       false},
      {"three index levels", 40960, 30, 100, 600, 0, 4, true, false},
      {"map nodes: more than 2048 catalog nodes", 81920, 60, 150, 10, 0, 5, true, true},
      {"blocks of 2 KB, forks across blocks", 204800, 4, 10, 70000, 5000, 3, false, false},
  };
  for (const Case& c : cases) {
    const VolumeTree tree = MakeTree(c.folders, c.files, c.data, c.rsrc);
    FlatDisk disk(c.sectors);
    PatternReader reader;
    std::string error;
    ASSERT_EQ(FillVolume(disk, c.sectors, tree, reader, error), 0) << c.name << ": " << error;
    ASSERT_EQ(FindFormatStage(166)->run(disk, {0, c.sectors, "Filled"}), 0);

    MemorySource image(disk.bytes.data(), disk.bytes.size());
    const CheckResult checked = CheckVolume(image);
    std::string found;
    for (const Finding& f : checked.findings) found += f.where + ": " + f.what + "\n";
    EXPECT_EQ(found, "") << c.name;
    EXPECT_EQ(checked.summary.files, c.files * (c.folders + 1)) << c.name;
    EXPECT_EQ(checked.summary.folders, c.folders) << c.name;

    const VolumeLayout l = LayoutOfVolume(c.sectors);
    const uint8_t* mdbBytes = &disk.bytes[2 * kSectorSize];
    const uint8_t* header =
        &disk.bytes[size_t{l.firstBlockSector + l.treeBlocks * l.sectorsPerBlock} * kSectorSize];
    EXPECT_EQ(GetU16BE(header + 14), c.depth) << c.name;
    EXPECT_EQ(GetU32BE(mdbBytes + mdb::drCTFlSize) > l.treeBytes, c.catalogGrows) << c.name;
    EXPECT_EQ(GetU32BE(header + 0) != 0, c.mapNode) << c.name;  // the header's ndFLink
    EXPECT_EQ(GetU32BE(mdbBytes + mdb::drNxtCNID), 16 + tree.size()) << c.name;
    EXPECT_EQ(std::memcmp(mdbBytes, &disk.bytes[size_t{c.sectors - 2} * kSectorSize], 512), 0);

    // Every fork, byte for byte, where the plan put it.
    const TreePlan plan = PlanTree(tree, c.sectors, "Filled", error);
    const uint32_t blockSize = l.sectorsPerBlock * kSectorSize;
    for (size_t i = 0; i < tree.size(); ++i) {
      for (const bool resource : {false, true}) {
        const uint64_t length = resource ? tree[i].resourceLength : tree[i].dataLength;
        const uint64_t at = (uint64_t{l.firstBlockSector} * kSectorSize) +
                            uint64_t{resource ? plan.rsrcStart[i] : plan.dataStart[i]} * blockSize;
        bool same = true;
        for (uint64_t k = 0; k < length && same; ++k)
          same = disk.bytes[at + k] == ForkByte(i, resource, k);
        EXPECT_TRUE(same) << c.name << ": entry " << i << (resource ? " resource" : " data");
      }
    }
  }
}

// An empty tree makes the volume the format makes without one, with no stale bytes in node 1 of
// the extents file.
TEST(FilledVolume, EmptyTreeIsTheEmptyVolume) {
  FlatDisk empty(2880), filled(2880);
  for (uint32_t step = kFirstStageStep; step <= kLastStageStep; ++step)
    ASSERT_EQ(FindFormatStage(step)->run(empty, {0, 2880, "Filled"}), 0);
  PatternReader reader;
  std::string error;
  ASSERT_EQ(FillVolume(filled, 2880, {}, reader, error), 0) << error;
  ASSERT_EQ(FindFormatStage(166)->run(filled, {0, 2880, "Filled"}), 0);
  std::memset(&empty.bytes[5 * kSectorSize], 0, kSectorSize);
  EXPECT_EQ(empty.bytes, filled.bytes);
}

// Trees no volume can take, and one that does not fit this one.
TEST(FilledVolume, RefusedTrees) {
  auto file = [](const std::string& name, uint32_t parent = kNoParent, uint64_t data = 0) {
    TreeEntry e;
    e.name = name, e.parent = parent, e.dataLength = data;
    return e;
  };
  TreeEntry folder = file("Folder");
  folder.folder = true;
  struct Case {
    const char* name;
    VolumeTree tree;
    const char* error;  // "" when the names are fine
    bool fits;
  };
  const Case cases[] = {
      {"equal but for case", {file("Read Me"), file("READ ME")}, "equal", false},
      {"equal accented letters", {file("\x8A"), file("\x80")}, "equal", false},
      {"the same name in two folders", {folder, file("A", 0), file("A")}, "", true},
      {"32 characters", {file(std::string(32, 'x'))}, "1 to 31", false},
      {"31 characters", {file(std::string(31, 'x'))}, "", true},
      {"a colon", {file("a:b")}, "1 to 31", false},
      {"no name", {file("")}, "1 to 31", false},
      {"a file as a folder", {file("A"), file("B", 0)}, "folder", false},
      {"a folder after its contents", {file("B", 1), folder}, "folder", false},
      {"one byte too many", {file("Big", kNoParent, 2830 * 512 + 1)}, "", false},
      {"exactly full", {file("Big", kNoParent, 2830 * 512)}, "", true},
  };
  for (const Case& c : cases) {
    std::string error;
    const TreePlan plan = PlanTree(c.tree, 2880, "Filled", error);
    EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(error.empty(), *c.error == 0) << c.name << ": " << error;
    EXPECT_EQ(plan.fits, c.fits) << c.name;
    if (!plan.fits && error.empty()) {
      EXPECT_EQ(plan.neededBlocks, 2875u) << c.name;
    }
    FlatDisk disk(2880);
    PatternReader reader;
    if (!c.fits) {
      EXPECT_EQ(FillVolume(disk, 2880, c.tree, reader, error), 1) << c.name;
    }
  }
}

// Every failed transfer and read of a fill is reported; one before the catalog leaves an empty
// volume that checks clean.
TEST(FilledVolume, EveryFailure) {
  struct Case {
    const char* name;
    size_t failRead, failWrite, failFork;  // SIZE_MAX: none
    uint16_t status;
    const char* error;
    bool emptyVolume;
  };
  constexpr size_t kNo = SIZE_MAX;
  // 12 writes before the fill, then the root directory and alternate MDB, 10 fork sectors,
  // node 1 of the extents file, 4 catalog nodes, the bitmap and the MDB.
  constexpr size_t kFill = 12;
  const Case cases[] = {
      {"the MDB", 0, kNo, kNo, 1, "cannot read the master directory block", false},
      {"the root directory", kNo, kFill, kNo, 1, "cannot write the root directory", false},
      {"the alternate MDB", kNo, kFill + 1, kNo, 1, "cannot write the root directory", false},
      {"the first fork", kNo, kFill + 2, kNo, 3, "cannot write to the disk", true},
      {"the last fork", kNo, kFill + 11, kNo, 3, "cannot write to the disk", true},
      {"node 1 of the extents file", kNo, kFill + 12, kNo, 3, "cannot write to the disk", true},
      {"the catalog's header", kNo, kFill + 13, kNo, 3, "cannot write to the disk", true},
      {"the catalog's last node", kNo, kFill + 16, kNo, 3, "cannot write to the disk", false},
      {"the bitmap", kNo, kFill + 17, kNo, 3, "cannot write to the disk", false},
      {"the MDB written", kNo, kFill + 18, kNo, 3, "cannot write to the disk", false},
      {"the first read of a file", kNo, kNo, 0, 1, "cannot read x", true},
      {"the last", kNo, kNo, 5, 1, "cannot read x", true},
  };
  VolumeTree tree = MakeTree(1, 2, 600, 300);
  for (const Case& c : cases) {
    FlatDisk disk(2880);
    for (uint32_t step = kFirstStageStep; step <= 164; ++step)
      ASSERT_EQ(FindFormatStage(step)->run(disk, {0, 2880, "Filled"}), 0);
    ASSERT_EQ(disk.writes, kFill) << c.name;
    disk.reads = 0;
    disk.failRead = c.failRead;
    disk.failWrite = c.failWrite;
    PatternReader reader;
    reader.failAt = c.failFork;
    std::string error;
    EXPECT_EQ(WriteVolumeTree(disk, 0, 2880, "Filled", tree, reader, error), c.status) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    if (c.emptyVolume) {
      MemorySource image(disk.bytes.data(), disk.bytes.size());
      const CheckResult checked = CheckVolume(image);
      EXPECT_EQ(checked.Count(Severity::kError), 0u) << c.name;
      EXPECT_EQ(checked.summary.files, 0u) << c.name;
    }
  }
  FlatDisk whole(2880);
  PatternReader reader;
  std::string error;
  ASSERT_EQ(FillVolume(whole, 2880, tree, reader, error), 0);
  EXPECT_EQ(whole.writes, kFill + 19);
  EXPECT_EQ(reader.calls, 6u);  // two forks of one file, one of the other, in each folder  // the
                                // sector count the rows above rely on
}

}  // namespace
}  // namespace brind
