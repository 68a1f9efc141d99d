// The reader the concurrency test and the soak run beside fenwright: a sound file must pass, and
// every kind of damage a rewrite could leave at rest must be reported, or those runs would prove
// nothing. Images are built by hand, byte by byte.
#include "tools/dbf_watch.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/tools/dbf_images.h"

namespace fw::tools {
namespace {

// Fields NAME C 4, PX N 7.2, DT D 8: header 32 + 3 × 32 + 1 = 129 bytes, records 1 + 4 + 7 + 8
// = 20.
constexpr size_t kHeader = 129;
constexpr size_t kRecord = 20;

std::string Image(const std::vector<std::string>& records) {
  return test::ImageOf({{"NAME", 'C', 4, 0}, {"PX", 'N', 7, 2}, {"DT", 'D', 8, 0}}, records);
}

// Two ordinary records.
std::string Sound() { return Image({" ABCD   1.2520260305", " EFGH -12.50        "}); }

TEST(DbfImageCheck, SoundFileWithItsRecordsPasses) {
  const std::string image = Sound();
  ASSERT_EQ(image.size(), kHeader + 2 * kRecord);
  const DbfImageCheck check = CheckDbfImage(image);
  EXPECT_EQ(check.verdict, DbfVerdict::kSound) << check.reason;
  EXPECT_EQ(check.records, 2u);
}

// What the legacy files hold besides plain rows: blank and NUL-filled records, short texts at the
// left of record 0's numeric fields, a plain 0 in a date, a fraction cut to its field's width.
TEST(DbfImageCheck, LegacyShapesOfRecordsPass) {
  const std::string image = Image({std::string(kRecord, ' '), std::string(kRecord, '\0'),
                                   std::string(" 0000") + "01     " + "       0",
                                   std::string(" X   ") + ".001000" + std::string(8, ' '),
                                   std::string("\0ZS\0\0", 5) + "  99.99" + std::string(8, '\0')});
  const DbfImageCheck check = CheckDbfImage(image);
  EXPECT_EQ(check.verdict, DbfVerdict::kSound) << check.reason;
}

TEST(DbfImageCheck, LongerOldTailIsTheGapBetweenWriteAndCut) {
  const std::string image = Sound() + " OLD1   9.9920250101";
  EXPECT_EQ(CheckDbfImage(image).verdict, DbfVerdict::kLongerTail);
}

TEST(DbfImageCheck, DamageIsReportedWithItsPlace) {
  struct Damage {
    const char* name;
    std::function<void(std::string&)> apply;
    const char* reason;
  };
  const Damage damages[] = {
      {"last byte missing", [](std::string& b) { b.pop_back(); }, "168 bytes for 2 records"},
      {"file shorter than a header", [](std::string& b) { b.resize(20); }, "only 20 bytes"},
      {"header cut", [](std::string& b) { b.resize(100); }, "shorter than the header"},
      {"version byte", [](std::string& b) { b[0] = 4; }, "version byte 4"},
      {"month 13", [](std::string& b) { b[2] = 13; }, "date bytes 13/5"},
      {"reserved header byte", [](std::string& b) { b[20] = 1; }, "reserved header byte 20"},
      {"header length", [](std::string& b) { b[8] = static_cast<char>(kHeader + 1); },
       "header length 130"},
      {"terminator", [](std::string& b) { b[kHeader - 1] = ' '; }, "no header terminator"},
      {"record length", [](std::string& b) { b[10] = 21; }, "record length 21 for fields of 20"},
      {"field offset", [](std::string& b) { b[32 + 32 + 12] = 6; }, "field PX: offset"},
      {"field type", [](std::string& b) { b[32 + 11] = 'X'; }, "field NAME: type"},
      {"field name", [](std::string& b) { b[32 + 1] = 'a'; }, "field name at 32"},
      {"numeric decimals", [](std::string& b) { b[32 + 32 + 17] = 7; }, "field PX: decimals"},
      {"date length", [](std::string& b) { b[32 + 64 + 16] = 7; }, "field DT: date of length 7"},
      {"deletion flag", [](std::string& b) { b[kHeader + kRecord] = 'X'; },
       "record 1: deletion flag"},
      // A read torn inside a number: the new text's head before the old text's tail.
      {"blank inside a number", [](std::string& b) { b.replace(kHeader + 5, 7, "  1 .25"); },
       "record 0, field PX: [  1 .25]"},
      {"point without decimals", [](std::string& b) { b.replace(kHeader + 5, 7, "    12."); },
       "record 0, field PX: [    12.]"},
      {"letter in a date", [](std::string& b) { b.replace(kHeader + 12, 8, "2026O305"); },
       "record 0, field DT: [2026O305]"},
      {"count beyond the bytes", [](std::string& b) { b[4] = 3; }, "169 bytes for 3 records"},
  };
  for (const Damage& d : damages) {
    std::string image = Sound();
    d.apply(image);
    const DbfImageCheck check = CheckDbfImage(image);
    EXPECT_EQ(check.verdict, DbfVerdict::kMalformed) << d.name;
    EXPECT_NE(check.reason.find(d.reason), std::string::npos) << d.name << ": " << check.reason;
  }
}

// A reader that plays a script of images, the last one for ever; the file never moves during a
// read unless `moving` says so for that read.
DbfWatch::Reader Script(std::vector<std::string> images, int* calls,
                        std::vector<bool> moving = {}) {
  return [images, calls, moving](const std::string&, std::string* bytes, bool* changed) {
    const size_t i = static_cast<size_t>(*calls) < images.size() ? static_cast<size_t>(*calls)
                                                                 : images.size() - 1;
    *changed = static_cast<size_t>(*calls) < moving.size() && moving[static_cast<size_t>(*calls)];
    ++*calls;
    *bytes = images[i];
    return true;
  };
}

std::string Torn() {
  std::string image = Sound();
  image.replace(kHeader + 5, 7, "  1 .25");
  return image;
}

TEST(DbfWatch, ReadsAreCountedByVerdict) {
  int calls = 0;
  DbfWatch watch({"a.dbf"}, 50,
                 Script({Sound(), Sound() + " OLD1   9.9920250101", Sound()}, &calls));
  for (int i = 0; i < 3; ++i) watch.Pass();
  const DbfWatchCounts c = watch.Counts(0);
  EXPECT_EQ(c.reads, 3u);
  EXPECT_EQ(c.sound, 2u);
  EXPECT_EQ(c.longerTail, 1u);
  EXPECT_EQ(c.MidRewrite(), 1u);
  EXPECT_EQ(c.malformed, 0u);
}

// Caught inside the write: the same image again (the writer paused), another torn one (still
// writing), then the finished file.
TEST(DbfWatch, TornReadThatSettlesIntoASoundFileIsMidRewrite) {
  std::string stillWriting = Torn();
  stillWriting[kHeader + kRecord + 5] = '?';
  int calls = 0;
  DbfWatch watch({"a.dbf"}, 60000, Script({Torn(), Torn(), stillWriting, Sound()}, &calls));
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).torn, 1u);
  EXPECT_EQ(watch.Counts(0).malformed, 0u);
  EXPECT_EQ(calls, 4);
  EXPECT_TRUE(watch.Problems().empty());
}

// A well-formed read during which the file moved may mix two versions: mid-rewrite as well.
TEST(DbfWatch, WellFormedReadDuringWhichTheFileMovedIsMidRewrite) {
  int calls = 0;
  DbfWatch watch({"a.dbf"}, 60000, Script({Sound(), Sound()}, &calls, {true, false}));
  watch.Pass();
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).changed, 1u);
  EXPECT_EQ(watch.Counts(0).sound, 1u);
  EXPECT_EQ(watch.Counts(0).MidRewrite(), 1u);
}

// A file written over its old bytes grows during the write: a read may find the new header with
// fewer records than it announces, never fewer bytes than the old file had.
TEST(DbfWatch, ReadOfAGrowingFileIsMidRewrite) {
  int calls = 0;
  const std::string before = Image({" ABCD   1.2520260305"});
  DbfWatch watch({"a.dbf"}, 60000, Script({before, Sound().substr(0, 160), Sound()}, &calls));
  watch.Pass();
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).torn, 1u);
  EXPECT_EQ(watch.Counts(0).malformed, 0u);
}

// A writer that cuts the file before writing it leaves it shorter than both versions.
TEST(DbfWatch, FileCutBeforeItIsWrittenIsReported) {
  int calls = 0;
  DbfWatch watch({"a.dbf"}, 60000, Script({Sound(), Sound().substr(0, 140), Sound()}, &calls));
  watch.Pass();
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).malformed, 1u);
  ASSERT_EQ(watch.Problems().size(), 1u);
  EXPECT_EQ(watch.Problems()[0],
            "a.dbf (140 bytes): shorter than the file before (169 bytes) and after (169 bytes) the "
            "rewrite");
}

TEST(DbfWatch, FileMalformedAtRestIsReported) {
  int calls = 0;
  DbfWatch watch({"a.dbf"}, 30, Script({Torn()}, &calls));
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).malformed, 1u);
  EXPECT_EQ(watch.Counts(0).torn, 0u);
  ASSERT_EQ(watch.Problems().size(), 1u);
  EXPECT_EQ(watch.Problems()[0], "a.dbf (169 bytes): record 0, field PX: [  1 .25]");
}

// A file that keeps changing without ever becoming sound is not explained by a rewrite.
TEST(DbfWatch, ChangesThatNeverSettleAreReported) {
  int calls = 0;
  DbfWatch watch({"a.dbf"}, 30, [&](const std::string&, std::string* bytes, bool* changed) {
    *changed = false;
    *bytes = Torn();
    (*bytes)[kHeader + kRecord + 6] = static_cast<char>('A' + calls++ % 26);
    return true;
  });
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).malformed, 1u);
  EXPECT_GT(calls, 2);
}

TEST(DbfWatch, FileThatCannotBeOpenedIsCountedApart) {
  DbfWatch watch({"a.dbf", "b.dbf"}, 30,
                 [](const std::string& path, std::string* bytes, bool* changed) {
                   *changed = false;
                   *bytes = Sound();
                   return path == "b.dbf";
                 });
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).unopened, 1u);
  EXPECT_EQ(watch.Counts(0).reads, 0u);
  EXPECT_EQ(watch.Counts(1).sound, 1u);
  EXPECT_EQ(watch.Total().reads, 1u);
}

// Made but not written yet, it is not there; emptied after it was written, it was cut.
TEST(DbfWatch, EmptyFileIsUnwrittenOnlyBeforeItWasEverSound) {
  int calls = 0;
  DbfWatch watch({"a.dbf"}, 30, Script({"", Sound(), ""}, &calls));
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).unopened, 1u);
  watch.Pass();
  watch.Pass();
  EXPECT_EQ(watch.Counts(0).sound, 1u);
  EXPECT_EQ(watch.Counts(0).malformed, 1u);
}

}  // namespace
}  // namespace fw::tools
