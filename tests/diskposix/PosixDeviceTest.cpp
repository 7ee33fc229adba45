#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "disk/DiskServices.h"
#include "disk/posix/DiskCopyImage.h"
#include "disk/posix/PosixDevice.h"
#include "disk/posix/UfiDrive.h"
#include "tests/support/FakeDriverPort.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind {
namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i < size; ++i) v[i] = static_cast<uint8_t>(i * 131 + i / 512);
  return v;
}

// Runs in a child: the number of transfers that did not answer as a write-protected disk.
int ReadOnlyFaults(const std::string& image) {
  if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
  PosixDevice device(image);
  test::FakeDriverPort driver;
  test::ScriptedPrompts prompts;
  DiskServices disk{device, driver, prompts};
  uint8_t buf[512] = {};
  int bad = 0;
  bad += disk.ReadSector(buf, 0, 0) != 0;
  bad += disk.WriteSector(buf, 0, 0) != kDiskWriteProtected;
  bad += disk.FormatTrackNumber(0, 0) != kDiskTrackWriteProtected;
  return bad;
}

struct PosixDeviceTest : ::testing::Test {
  std::string dir;
  std::string image;
  test::FakeDriverPort driver;
  test::ScriptedPrompts prompts;

  void SetUp() override {
    char templ[] = "/tmp/posixdev.XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir = templ;
    chmod(dir.c_str(), 0755);
    image = dir + "/floppy.img";
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
};

TEST_F(PosixDeviceTest, ImageSectorsTracksAndDriveCheck) {
  WriteFile(image, Pattern(kImageSize));
  PosixDevice device(image);
  DiskServices disk{device, driver, prompts};
  uint8_t buf[512];
  ASSERT_EQ(disk.ReadSector(buf, 1439, 0), 0);
  const auto original = Pattern(kImageSize);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 512),
            std::vector<uint8_t>(original.begin() + 1439 * 512, original.begin() + 1440 * 512));
  for (int i = 0; i < 512; ++i) buf[i] = static_cast<uint8_t>(i ^ 0x3C);
  ASSERT_EQ(disk.WriteSector(buf, 2879, 0), 0);
  ASSERT_EQ(disk.FormatTrackNumber(0, 3), 0);  // cylinder 1, head 1: sectors 54..71
  EXPECT_EQ(disk.CheckDrive(0, 0), 0);
  EXPECT_EQ(device.Flush(), 0);
  device.Close();

  const auto after = ReadFile(image);
  ASSERT_EQ(after.size(), kImageSize);
  auto expected = Pattern(kImageSize);
  for (int i = 0; i < 512; ++i) expected[2879 * 512 + i] = static_cast<uint8_t>(i ^ 0x3C);
  for (size_t i = 54 * 512; i < 72 * 512; ++i) expected[i] = 0xF6;
  EXPECT_EQ(after, expected);
  EXPECT_EQ(device.reads(), 1u);
  // The track counts as its 18 sectors, as its bytes do.
  EXPECT_EQ(device.writes(), 19u);
  EXPECT_EQ(device.bytesWritten(), device.writes() * 512);
  EXPECT_EQ(device.tracksFormatted(), 1u);
  EXPECT_TRUE(prompts.shown.empty());
}

// Conditions of an image and the codes the callers tell apart.
TEST_F(PosixDeviceTest, OutOfRangeAndShortTransfersAreSectorNotFound) {
  WriteFile(image, Pattern(kImageSize));
  PosixDevice device(image);
  DiskServices disk{device, driver, prompts};
  uint8_t buf[512] = {};
  EXPECT_EQ(disk.ReadSector(buf, 2880, 0), kDiskSectorNotFound);
  EXPECT_EQ(disk.WriteSector(buf, 4000, 0), kDiskSectorNotFound);
  // The file shrinks under the open device: reads past its new end find no sector.
  ASSERT_EQ(truncate(image.c_str(), 1000 * 512 + 100), 0);
  EXPECT_EQ(disk.ReadSector(buf, 999, 0), 0);
  EXPECT_EQ(disk.ReadSector(buf, 1000, 0), kDiskSectorNotFound);
  EXPECT_EQ(disk.ReadSector(buf, 2000, 0), kDiskSectorNotFound);
}

TEST_F(PosixDeviceTest, ImagesOfAnotherSizeAreRefusedUntouched) {
  for (size_t size : {size_t{0}, size_t{512}, kImageSize - 1, kImageSize + 1, kImageSize * 2}) {
    const auto content = Pattern(size);
    WriteFile(image, content);
    PosixDevice device(image);
    EXPECT_NE(device.Open(), 0u) << size;
    EXPECT_NE(device.openError().find("1474560"), std::string::npos) << device.openError();
    DiskServices disk{device, driver, prompts};
    uint8_t buf[512] = {};
    prompts.autoAnswerOk = true;
    EXPECT_EQ(disk.WriteSector(buf, 0, 0), kDiskNotOpen) << size;
    EXPECT_EQ(ReadFile(image), content) << size;
    const TargetInfo info = InspectTarget(image);
    EXPECT_EQ(info.kind, TargetKind::kImage);
    EXPECT_EQ(info.size, size);
  }
}

// A read-only image is a write-protected disk: writes give 3, track formats 19, and the bytes
// stay as they were. Root may write anything, so the checks run as an unprivileged user.
TEST_F(PosixDeviceTest, ReadOnlyImageIsWriteProtected) {
  const auto content = Pattern(kImageSize);
  WriteFile(image, content);
  ASSERT_EQ(chmod(image.c_str(), 0444), 0);
  EXPECT_EXIT(std::_Exit(ReadOnlyFaults(image)), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(image), content);
}

TEST_F(PosixDeviceTest, TheFormatLockKeepsASecondFormatterOut) {
  WriteFile(image, Pattern(kImageSize));
  PosixDevice first(image), second(image);
  DiskServices a{first, driver, prompts}, b{second, driver, prompts};
  ASSERT_EQ(a.LockVolumeForFormat(0, "A:"), 1);
  EXPECT_EQ(b.LockVolumeForFormat(0, "A:"), 0);
  ASSERT_EQ(a.UnlockVolume(0, "A:"), 1);
  EXPECT_EQ(b.LockVolumeForFormat(0, "A:"), 1);
  EXPECT_EQ(b.UnlockVolume(0, "A:"), 1);
}

TEST_F(PosixDeviceTest, CreatedImagesAreBlankAndNeverReplaceAFile) {
  std::string error;
  ASSERT_TRUE(CreateImage(image, error)) << error;
  EXPECT_EQ(ReadFile(image), std::vector<uint8_t>(kImageSize, 0));
  WriteFile(image, Pattern(100));
  EXPECT_FALSE(CreateImage(image, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(image), Pattern(100));
  EXPECT_FALSE(CreateImage(dir + "/no/such/dir.img", error));
}

TEST_F(PosixDeviceTest, TargetsThatAreNotImagesOrFloppies) {
  struct Case {
    std::string path;
    TargetKind kind;
  };
  const Case cases[] = {{dir + "/missing.img", TargetKind::kMissing},
                        {dir, TargetKind::kOther},
                        {"/dev/null", TargetKind::kOther}};
  for (const Case& c : cases) {
    EXPECT_EQ(InspectTarget(c.path).kind, c.kind) << c.path;
    PosixDevice device(c.path);
    EXPECT_NE(device.Open(), 0u) << c.path;
    EXPECT_FALSE(device.openError().empty()) << c.path;
  }
}

// A block device that does not answer the floppy ioctls is a drive of another type: the drive
// check says 1 and nothing is set or written.
TEST_F(PosixDeviceTest, BlockDeviceThatIsNotAFloppyIsAnotherDriveType) {
  // An unbound loop device, reached through a node of our own.
  int minor = -1;
  for (int i = 0; i < 8 && minor < 0; ++i) {
    struct stat st {};
    const std::string sys = "/sys/block/loop" + std::to_string(i);
    if (stat(sys.c_str(), &st) == 0 && stat((sys + "/loop").c_str(), &st) != 0) minor = i;
  }
  const std::string node = dir + "/blk";
  if (minor < 0 || mknod(node.c_str(), S_IFBLK | 0600, makedev(7, minor)) != 0)
    GTEST_SKIP() << "no unbound loop device to stand for a block device";
  const TargetInfo info = InspectTarget(node);
  EXPECT_EQ(info.kind, TargetKind::kBlockDevice);
  EXPECT_FALSE(info.mounted);
  PosixDevice device(node);
  DiskServices disk{device, driver, prompts};
  EXPECT_EQ(disk.CheckDrive(0, 0), 1);
  EXPECT_EQ(disk.CheckDrive(0, 1), 1);
  EXPECT_TRUE(driver.queriedDrives.empty());
}

TEST_F(PosixDeviceTest, AMountedBlockDeviceIsRefusedBeforeItIsOpened) {
  struct stat root {};
  ASSERT_EQ(stat("/", &root), 0);
  std::ifstream mounts("/proc/self/mounts");
  std::string source, target, rest, mountedDevice;
  while (mounts >> source >> target && std::getline(mounts, rest)) {
    struct stat st {};
    if (target == "/" && stat(source.c_str(), &st) == 0 && S_ISBLK(st.st_mode))
      mountedDevice = source;
  }
  if (mountedDevice.empty()) GTEST_SKIP() << "the root file system is not on a block device";
  const TargetInfo info = InspectTarget(mountedDevice);
  EXPECT_TRUE(info.mounted);
  EXPECT_EQ(info.mountedOn, "/");
  PosixDevice device(mountedDevice);
  EXPECT_EQ(device.Open(), static_cast<uint32_t>(EBUSY));
  EXPECT_NE(device.openError().find("mounted"), std::string::npos);
}

// A DiskCopy image: its sectors after the 84-byte header, reached as a disk of its size; sealing
// stores the name and the checksum of the sectors, and leaves the rest of the header alone.
TEST_F(PosixDeviceTest, DiskCopyImageSectorsAndSeal) {
  const std::string dc = dir + "/disk.dc42";
  std::string error;
  ASSERT_TRUE(CreateDiskCopyImage(dc, 1600, error)) << error;
  EXPECT_FALSE(CreateDiskCopyImage(dir + "/big.dc42", 5760, error));  // 2880K: no DiskCopy form
  EXPECT_NE(access((dir + "/big.dc42").c_str(), F_OK), 0);
  DiskCopyHeader header;
  ASSERT_TRUE(ReadDiskCopyImage(dc, header));
  PosixDevice device(dc, DiskCopyLayout(header));
  DiskServices disk{device, driver, prompts};
  uint8_t sector[512];
  std::memset(sector, 0xAB, sizeof sector);
  EXPECT_EQ(disk.WriteSector(sector, 1599, 0), 0);
  EXPECT_EQ(disk.WriteSector(sector, 1600, 0), kDiskSectorNotFound);
  EXPECT_EQ(disk.ZeroSectors(1599, 1, 0), 0);
  EXPECT_EQ(disk.WriteSector(sector, 0, 0), 0);
  disk.UnlockVolume(0, "A:\\");
  auto bytes = ReadFile(dc);
  ASSERT_EQ(bytes.size(), 84u + 819200);
  EXPECT_EQ(bytes[84], 0xAB);
  EXPECT_EQ(bytes[84 + 1599 * 512], 0);

  bytes[0x51] = 0x24;  // a format byte of another kind of disk is kept
  WriteFile(dc, bytes);
  ASSERT_EQ(SealDiskCopyImage(dc, "Sealed", error), 0) << error;
  ASSERT_TRUE(ReadDiskCopyImage(dc, header));
  EXPECT_EQ(header.name, "Sealed");
  EXPECT_EQ(header.formatByte, 0x24);
  // 256 words of 0xABAB, each added and rotated right by one.
  uint32_t sum = 0;
  for (int i = 0; i < 256; ++i) {
    sum += 0xABAB;
    sum = sum >> 1 | sum << 31;
  }
  EXPECT_EQ(header.dataChecksum, sum);
  EXPECT_EQ(header.tagChecksum, 0u);

  // Headers this program cannot use are not DiskCopy images to it.
  struct Case {
    size_t offset;
    uint8_t value;
  };
  for (const Case c : {Case{0, 64}, Case{0x42, 0x01}, Case{0x53, 0x01}, Case{0x47, 0x01}}) {
    auto bad = ReadFile(dc);
    bad[c.offset] = c.value;
    WriteFile(dc, bad);
    EXPECT_FALSE(ReadDiskCopyImage(dc, header)) << c.offset;
  }
}

// A run of sectors cleared in an image becomes a hole: zeros, with nothing written.
TEST_F(PosixDeviceTest, ClearedSectorsOfAnImageAreHoles) {
  std::string error;
  ASSERT_TRUE(CreateImage(image, 200u * 1024 * 1024, error)) << error;
  PosixDevice device(image, {0, 409600, 200u * 1024 * 1024, false});
  DiskServices disk{device, driver, prompts};
  std::vector<uint8_t> ones(512, 0xFF);
  for (uint32_t s = 1000; s < 3000; ++s) ASSERT_EQ(disk.WriteSector(ones.data(), s, 0), 0);
  const uint64_t written = device.bytesWritten();
  ASSERT_EQ(disk.ZeroSectors(1000, 2000, 0), 0);
  EXPECT_EQ(device.bytesWritten(), written);
  EXPECT_EQ(device.sectorsCleared(), 2000u);
  uint8_t back[512];
  ASSERT_EQ(disk.ReadSector(back, 1999, 0), 0);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 512), std::vector<uint8_t>(512, 0));
  // No track pass on an image without tracks.
  EXPECT_EQ(disk.FormatTrackNumber(0, 0), 0);
  EXPECT_EQ(device.tracksFormatted(), 0u);
  disk.UnlockVolume(0, "A:\\");
  struct stat st {};
  ASSERT_EQ(stat(image.c_str(), &st), 0);
  EXPECT_LT(st.st_blocks * 512, 1024 * 1024);
}

// SG_IO as the kernel answers it: CHECK CONDITION comes with DRIVER_SENSE (0x08) in
// driver_status and the sense bytes; only the host status and the driver's own failure bits say
// that the command never reached the drive.
TEST(SgioTransportTest, HeaderFieldsAsTheKernelReturnsThem) {
  struct Case {
    const char* what;
    uint8_t status, host, driver, key, asc;  // key 0: no sense data
    bool delivered;
    DiskStatus write;  // what a write that got this answer reports
  } const cases[] = {
      {"good, 3 bytes short", 0x00, 0, 0, 0, 0, true, kDiskOk},
      {"write-protected", 0x02, 0, 0x08, 0x07, 0x27, true, kDiskWriteProtected},
      {"no disk", 0x02, 0, 0x08, 0x02, 0x3A, true, kDiskNotReady},
      {"unformatted", 0x02, 0, 0x08, 0x03, 0x30, true, kDiskSectorNotFound},
      {"unplugged (DID_NO_CONNECT)", 0x00, 0x01, 0, 0, 0, false, kDiskGeneralFailure},
      {"driver error with sense", 0x02, 0, 0x08 | 0x04, 0x07, 0x27, false, kDiskGeneralFailure},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SgioTransport transport([&c](sg_io_hdr_t& io) {
      const uint8_t sense[14] = {0x70, 0, c.key, 0, 0, 0, 0, 10, 0, 0, 0, 0, c.asc, 0};
      io.status = c.status;
      io.host_status = c.host;
      io.driver_status = c.driver;
      io.resid = 3;
      io.sb_len_wr = c.key ? sizeof sense : 0;
      std::memcpy(io.sbp, sense, io.sb_len_wr);
      return 0;
    });
    uint8_t data[8] = {};
    const ufi::CommandResult r = transport.Execute(ufi::ModeSense(0x3F, 8), data, 8, true);
    EXPECT_EQ(r.delivered, c.delivered);
    EXPECT_EQ(r.good, c.write == kDiskOk);
    EXPECT_EQ(r.good ? kDiskOk : ufi::StatusOfSense(r.sense, ufi::Operation::kWrite), c.write);
    EXPECT_EQ(r.received, c.delivered ? 5u : 0u);
  }
}

}  // namespace
}  // namespace brind
