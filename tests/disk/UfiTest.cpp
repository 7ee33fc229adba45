// USB floppy drives: the commands sent, and what the answers and sense data are taken to mean,
// over a scripted drive.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "disk/Ufi.h"

namespace brind::ufi {
namespace {

std::vector<uint8_t> Bytes(const Cdb& c) { return {c.bytes.begin(), c.bytes.begin() + c.length}; }

// Answers each opcode with data, or with CHECK CONDITION and the given sense.
struct ScriptedDrive : Transport {
  struct Answer {
    std::vector<uint8_t> data;
    Sense sense;  // valid: the command fails with it
  };
  std::map<uint8_t, Answer> answers;
  std::vector<std::vector<uint8_t>> sent, written;
  bool unplugged = false;

  CommandResult Execute(const Cdb& cdb, uint8_t* data, size_t length, bool dataIn) override {
    sent.push_back(Bytes(cdb));
    if (!dataIn) written.emplace_back(data, data + length);
    CommandResult r;
    r.delivered = !unplugged;
    auto it = answers.find(cdb.bytes[0]);
    if (unplugged || it == answers.end()) {
      r.sense = {true, kKeyIllegalRequest, kAscInvalidOpcode, 0};
      return r;
    }
    r.good = !it->second.sense.valid;
    r.sense = it->second.sense;
    if (r.good && dataIn) {
      r.received = std::min(length, it->second.data.size());
      std::copy_n(it->second.data.begin(), r.received, data);
    }
    return r;
  }
};

std::vector<uint8_t> InquiryAnswer(uint8_t type, bool removable) {
  std::vector<uint8_t> d(36, ' ');
  d[0] = type;
  d[1] = removable ? 0x80 : 0;
  std::copy_n("TEAC    FD-05PUB", 16, d.begin() + 8);
  return d;
}

// A capacity list: the current or maximum descriptor (with its type), then formattable ones.
std::vector<uint8_t> Capacities(uint8_t type, Capacity current, std::vector<Capacity> more) {
  std::vector<uint8_t> d = {0, 0, 0, static_cast<uint8_t>(8 * (1 + more.size()))};
  auto put = [&d](Capacity c, uint8_t typeBits) {
    for (int shift : {24, 16, 8, 0}) d.push_back(static_cast<uint8_t>(c.blocks >> shift));
    d.push_back(typeBits);
    for (int shift : {16, 8, 0}) d.push_back(static_cast<uint8_t>(c.blockLength >> shift));
  };
  put(current, type);
  for (Capacity c : more) put(c, 0);
  return d;
}

TEST(Ufi, CommandBlocks) {
  EXPECT_EQ(Bytes(Inquiry(36)), (std::vector<uint8_t>{0x12, 0, 0, 0, 36, 0}));
  EXPECT_EQ(Bytes(ReadFormatCapacities(252)),
            (std::vector<uint8_t>{0x23, 0, 0, 0, 0, 0, 0, 0, 252, 0}));
  EXPECT_EQ(Bytes(ModeSense(0x3F, 0x1C0)),
            (std::vector<uint8_t>{0x5A, 0, 0x3F, 0, 0, 0, 0, 0x01, 0xC0, 0}));
  EXPECT_EQ(Bytes(ReadCapacity()), (std::vector<uint8_t>{0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(FormatUnitTrack(79)),
            (std::vector<uint8_t>{0x04, 0x17, 79, 0, 0, 0, 0, 0, 12, 0, 0, 0}));
  const auto side1 = FormatParameters(1);
  EXPECT_EQ(std::vector<uint8_t>(side1.begin(), side1.end()),
            (std::vector<uint8_t>{0, 0xB1, 0, 8, 0, 0, 0x0B, 0x40, 0, 0, 0x02, 0}));
  EXPECT_EQ(FormatParameters(0)[1], 0xB0);
}

TEST(Ufi, SenseDataAndWhatItMeans) {
  const uint8_t fixedNoMedium[18] = {0x70, 0, kKeyNotReady, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0};
  const uint8_t descriptorProtected[8] = {0x72, kKeyDataProtect, 0x27, 0x00, 0, 0, 0, 0};
  const Sense noMedium = DecodeSense(fixedNoMedium, sizeof fixedNoMedium);
  EXPECT_TRUE(noMedium.valid);
  EXPECT_EQ(noMedium.key, kKeyNotReady);
  EXPECT_EQ(noMedium.asc, kAscNoMedium);
  const Sense prot = DecodeSense(descriptorProtected, sizeof descriptorProtected);
  EXPECT_EQ(prot.key, kKeyDataProtect);
  EXPECT_EQ(prot.asc, kAscWriteProtected);
  EXPECT_FALSE(DecodeSense(fixedNoMedium, 1).valid);
  const uint8_t garbage[18] = {0x05};
  EXPECT_FALSE(DecodeSense(garbage, sizeof garbage).valid);

  struct Case {
    Sense sense;
    DiskStatus read, write, format;
  };
  const Case cases[] = {
      {noMedium, kDiskNotReady, kDiskNotReady, kDiskAccessDenied},
      {prot, kDiskGeneralFailure, kDiskWriteProtected, kDiskAccessDenied},
      {{true, kKeyMediumError, kAscFormatCorrupted, 0},
       kDiskSectorNotFound,
       kDiskSectorNotFound,
       kDiskAccessDenied},  // an unformatted disk
      {{true, kKeyNotReady, kAscIncompatibleMedium, 0},
       kDiskSectorNotFound,
       kDiskSectorNotFound,
       kDiskAccessDenied},
      {{true, kKeyUnitAttention, kAscMediumChanged, 0},
       kDiskNotReady,
       kDiskNotReady,
       kDiskAccessDenied},
      {{true, kKeyIllegalRequest, kAscInvalidOpcode, 0},
       kDiskGeneralFailure,
       kDiskGeneralFailure,
       kDiskInvalidDrive},
      {{}, kDiskGeneralFailure, kDiskGeneralFailure, kDiskGeneralFailure},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.sense.key} << "/" << int{c.sense.asc});
    EXPECT_EQ(StatusOfSense(c.sense, Operation::kRead), c.read);
    EXPECT_EQ(StatusOfSense(c.sense, Operation::kWrite), c.write);
    EXPECT_EQ(StatusOfSense(c.sense, Operation::kFormatTrack), c.format);
  }
}

TEST(Ufi, WhatTheDriveIs) {
  const Sense noMedium{true, kKeyNotReady, kAscNoMedium, 0};
  const std::vector<uint8_t> protectedMode = {0, 6, 0, 0x80, 0, 0, 0, 0};
  const std::vector<uint8_t> writableMode = {0, 6, 0, 0x00, 0, 0, 0, 0};
  const std::vector<uint8_t> floppy = InquiryAnswer(0, true);
  struct Case {
    const char* what;
    std::map<uint8_t, ScriptedDrive::Answer> answers;
    DriveKind kind;
    bool present, unformatted, writeProtected;
    const char* words;
  };
  const Case cases[] = {
      {"1.44 MB disk",
       {{0x12, {floppy, {}}},
        {0x23, {Capacities(2, k144, {k144, {1440, 512}}), {}}},
        {0x5A, {writableMode, {}}}},
       DriveKind::kFloppy144,
       true,
       false,
       false,
       "a USB floppy drive"},
      {"write-protected disk",
       {{0x12, {floppy, {}}}, {0x23, {Capacities(2, k144, {k144})}}, {0x5A, {protectedMode, {}}}},
       DriveKind::kFloppy144,
       true,
       false,
       true,
       "a USB floppy drive"},
      {"no disk",
       {{0x12, {floppy, {}}}, {0x23, {Capacities(3, k144, {})}}},
       DriveKind::kFloppy144,
       false,
       false,
       false,
       "a USB floppy drive"},
      {"unformatted HD disk",
       {{0x12, {floppy, {}}}, {0x23, {Capacities(1, k144, {k144})}}, {0x5A, {writableMode, {}}}},
       DriveKind::kFloppy144,
       true,
       true,
       false,
       "a USB floppy drive"},
      {"720 KB disk",
       {{0x12, {floppy, {}}}, {0x23, {Capacities(2, {1440, 512}, {{1440, 512}})}}},
       DriveKind::kOtherFloppy,
       true,
       false,
       false,
       "a floppy drive holding a 720 KB disk"},
      {"unformatted DD disk",
       {{0x12, {floppy, {}}}, {0x23, {Capacities(1, {1440, 512}, {{1440, 512}})}}},
       DriveKind::kOtherFloppy,
       true,
       true,
       false,
       "a floppy drive holding a 720 KB disk (unformatted)"},
      {"1.2 MB disk",
       {{0x12, {floppy, {}}}, {0x23, {Capacities(2, {2400, 512}, {k144})}}},
       DriveKind::kOtherFloppy,
       true,
       false,
       false,
       "a floppy drive holding a 1.2 MB disk"},
      {"16 MB stick",
       {{0x12, {floppy, {}}}, {0x25, {{0, 0, 0x7F, 0xFF, 0, 0, 2, 0}, {}}}},
       DriveKind::kNotFloppy,
       true,
       false,
       false,
       "a removable disk of 16 MB"},
      {"card reader listing big capacities",
       {{0x12, {floppy, {}}}, {0x23, {Capacities(2, {3906250, 512}, {})}}},
       DriveKind::kNotFloppy,
       true,
       false,
       false,
       "a removable disk of 1907 MB"},
      {"card reader without a card",
       {{0x12, {floppy, {}}}, {0x25, {{}, noMedium}}},
       DriveKind::kNotFloppy,
       false,
       false,
       false,
       "a removable drive without a disk that does not report what it formats"},
      {"1.44 MB disk, no capacity list",
       {{0x12, {floppy, {}}},
        {0x25, {{0, 0, 0x0B, 0x3F, 0, 0, 2, 0}, {}}},
        {0x5A, {protectedMode, {}}}},
       DriveKind::kFloppy144,
       true,
       false,
       true,
       "a USB floppy drive"},
      {"hard disk",
       {{0x12, {InquiryAnswer(0, false), {}}}},
       DriveKind::kNotFloppy,
       false,
       false,
       false,
       "a fixed disk"},
      {"CD drive",
       {{0x12, {InquiryAnswer(5, true), {}}}},
       DriveKind::kNotFloppy,
       false,
       false,
       false,
       "a device of SCSI type 5"},
      {"no SCSI at all", {}, DriveKind::kNoAnswer, false, false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDrive drive;
    drive.answers = c.answers;
    const DriveReport r = IdentifyDrive(drive);
    EXPECT_EQ(r.kind, c.kind);
    EXPECT_EQ(r.mediumPresent, c.present);
    EXPECT_EQ(r.unformatted, c.unformatted);
    EXPECT_EQ(r.writeProtected, c.writeProtected);
    EXPECT_EQ(r.what, c.words);
    EXPECT_TRUE(drive.written.empty()) << "identifying writes nothing";
  }
}

TEST(Ufi, TrackFormat) {
  ScriptedDrive drive;
  drive.answers[0x04] = {};
  EXPECT_EQ(FormatTrack(drive, 1, 42), kDiskOk);
  ASSERT_EQ(drive.sent.size(), 1u);
  EXPECT_EQ(drive.sent[0][2], 42);
  ASSERT_EQ(drive.written.size(), 1u);
  EXPECT_EQ(drive.written[0][1], 0xB1) << "side 1";
  EXPECT_EQ(FormatTrack(drive, 0, 80), kDiskGeneralFailure) << "no cylinder 80";
  EXPECT_EQ(drive.sent.size(), 1u);

  drive.answers[0x04].sense = {true, kKeyDataProtect, kAscWriteProtected, 0};
  EXPECT_EQ(FormatTrack(drive, 0, 0), kDiskAccessDenied);
  drive.answers.clear();  // a drive without FORMAT UNIT
  EXPECT_EQ(FormatTrack(drive, 0, 0), kDiskInvalidDrive);
  drive.unplugged = true;
  EXPECT_EQ(FormatTrack(drive, 0, 0), kDiskGeneralFailure);
}

}  // namespace
}  // namespace brind::ufi
