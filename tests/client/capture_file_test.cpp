#include "client/capture_file.h"

#include <gtest/gtest.h>

#include "foundation/platform/platform.h"
#include "tests/support/test_support.h"

namespace fw::client {
namespace {

using fw::test::FakeClock;
using fw::test::ReadFileBytes;
using fw::test::TempDir;

const uint8_t kBlockA[] = {0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 3};
const uint8_t kBlockB[] = {0xFF, 1, 2};

std::string AsText(const uint8_t* bytes, size_t n) {
  return std::string(reinterpret_cast<const char*>(bytes), n);
}

TEST(CaptureFile, BlocksAreAppendedUnchangedToTheDayFile) {
  TempDir dir;
  FakeClock clock(20260305, 93000);
  CaptureFile capture;
  capture.Append(dir.Prefix(), kBlockA, sizeof kBlockA);
  capture.Append(dir.Prefix(), kBlockB, sizeof kBlockB);
  capture.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("binaryData_20260305.dat")),
            AsText(kBlockA, sizeof kBlockA) + AsText(kBlockB, sizeof kBlockB));
}

TEST(CaptureFile, RestartOfTheSameDayAppendsToTheSameFile) {
  TempDir dir;
  FakeClock clock(20260305, 93000);
  {
    CaptureFile first;
    first.Append(dir.Prefix(), kBlockA, sizeof kBlockA);
  }
  CaptureFile second;
  second.Append(dir.Prefix(), kBlockB, sizeof kBlockB);
  second.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("binaryData_20260305.dat")),
            AsText(kBlockA, sizeof kBlockA) + AsText(kBlockB, sizeof kBlockB));
}

TEST(CaptureFile, NextDayAfterACloseOpensANewFile) {
  TempDir dir;
  FakeClock clock(20260305, 163000);
  CaptureFile capture;
  capture.Append(dir.Prefix(), kBlockA, sizeof kBlockA);
  capture.Close();
  clock.Set(20260306, 90000);
  capture.Append(dir.Prefix(), kBlockB, sizeof kBlockB);
  capture.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("binaryData_20260306.dat")), AsText(kBlockB, sizeof kBlockB));
}

TEST(CaptureFile, PrefixWithoutSeparatorRunsIntoTheFileName) {
  TempDir dir;
  FakeClock clock(20260305, 93000);
  CaptureFile capture;
  capture.Append(dir.File("feed"), kBlockA, sizeof kBlockA);
  capture.Close();
  EXPECT_TRUE(platform::FileExists(dir.File("feedbinaryData_20260305.dat")));
}

// The block that found no file is kept and written, ahead of the next block, by the next append
// that opens one.
TEST(CaptureFile, FailureToOpenIsIgnoredAndRetriedByTheNextBlock) {
  TempDir dir;
  FakeClock clock(20260305, 93000);
  CaptureFile capture;
  const std::string missing = dir.File("no-such-folder") + platform::kPathSeparator;
  capture.Append(missing, kBlockA, sizeof kBlockA);
  EXPECT_FALSE(capture.IsOpen());
  capture.Append(dir.Prefix(), kBlockB, sizeof kBlockB);
  EXPECT_TRUE(capture.IsOpen());
  capture.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("binaryData_20260305.dat")),
            AsText(kBlockA, sizeof kBlockA) + AsText(kBlockB, sizeof kBlockB));
}

}  // namespace
}  // namespace fw::client
