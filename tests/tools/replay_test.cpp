// fenwright-replay: the golden day at its three moments, the sets at market times, the cutting of
// a capture across connections, and every bad input with nothing left in the output folder.
#include "tools/replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "feed/feed_format.h"
#include "tests/dbf/dbf_file_view.h"
#include "tests/support/test_support.h"
#include "tools/capture_cutter.h"
#include "tools/dbf_diff.h"
#include "tools/feed_source.h"
#include "tools/market_data_encoder.h"
#include "tools/sample_day.h"

namespace fw::tools {
namespace {

namespace fs = std::filesystem;
using fw::test::ReadFileBytes;
using fw::test::TempDir;
using fw::test::WriteFileBytes;

constexpr uint32_t kDay = 20260305;

std::string IniText(const std::string& xml) {
  return "[xmlfile]\nloadFolder = " + xml + "\n[other]\nholiday = " + xml +
         "holiday.ini\nIndexNameFile = " + xml + "indexname.ini\n";
}

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

ProgramRun Replay(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunReplayProgram(args, out, err);
  return {status, out.str(), err.str()};
}

std::string DiffText(const DbfDiffResult& result) {
  std::string text;
  for (const std::string& error : result.errors) text += error + "\n";
  for (const DbfDifference& d : result.differences) text += FormatDifference(d) + "\n";
  return text;
}

// The folder's entries' names, sorted.
std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The moments that tools/bless_golden.sh writes: a morning time, a time before the close, the end
// of the day with the closing file.
TEST(GoldenDay, ReplaysWriteTheCommittedFilesAtEachMoment) {
  const std::string golden = std::string(FW_SOURCE_DIR) + "/tests/golden/";
  const std::string capture = golden + "binaryData_20260305.dat";
  TempDir dir;
  const std::string ini = dir.File("golden.ini");
  WriteFileBytes(ini, IniText(golden + "xml/"));
  const struct {
    const char* folder;
    std::vector<std::string> options;
  } moments[] = {{"at_103000", {"--at", "10:30:00"}},
                 {"at_144500", {"--at", "14:45:00"}},
                 {"closing", {"--closing"}}};
  for (const auto& moment : moments) {
    std::vector<std::string> args = {capture, "--ini", ini, "--out", dir.File(moment.folder)};
    args.insert(args.end(), moment.options.begin(), moment.options.end());
    const ProgramRun run = Replay(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const DbfDiffResult diff =
        DiffDbfPaths(golden + "expected/" + moment.folder, dir.File(moment.folder), {});
    EXPECT_EQ(diff.status, 0) << moment.folder << "\n" << DiffText(diff);
    EXPECT_EQ(diff.filesCompared.size(), 6u) << moment.folder;
  }
  // Two replays of one capture give the same bytes, clock cells included.
  const ProgramRun again = Replay({capture, "--ini", ini, "--out", dir.File("again"), "--closing"});
  ASSERT_EQ(again.status, 0) << again.err;
  for (const std::string& name : Entries(dir.File("closing"))) {
    const std::string first = ReadFileBytes(dir.File("closing/" + name));
    EXPECT_FALSE(first.empty()) << name;
    EXPECT_EQ(first, ReadFileBytes(dir.File("again/" + name))) << name;
  }
}

// A small generated day and captures made from its frames.
class ReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SampleDayOptions options;
    options.securityCount = 20;
    options.date = kDay;
    options.seed = 5;
    day_ = std::make_shared<const SampleDay>(BuildSampleDay(options));
    xml_ = dir_.File("xml") + static_cast<char>(fs::path::preferred_separator);
    ASSERT_GE(WriteSampleDay(*day_, xml_), 0);
    ini_ = dir_.File("replay.ini");
    WriteFileBytes(ini_, IniText(xml_));
    SyntheticDayFeed feed(day_, 3);
    for (Frame frame; feed.Next(&frame);) frames_.push_back(frame);
    logon_ = EncodeLogon("GATEWAY", "FENWRIGHT", 30, "", "1.10");
  }
  // Starts again from an empty folder (tests that run several cases).
  void Renew() {
    fs::remove_all(dir_.Path());
    fs::create_directory(dir_.Path());
    frames_.clear();
    SetUp();
  }

  // Writes the capture under the day's name; returns its path.
  std::string WriteCapture(const std::vector<Frame>& parts, uint32_t date = kDay) {
    std::string bytes;
    for (const Frame& part : parts) bytes.append(part.begin(), part.end());
    const std::string path = dir_.File("binaryData_" + std::to_string(date) + ".dat");
    WriteFileBytes(path, bytes);
    return path;
  }
  std::vector<Frame> LogonAndFrames(size_t first, size_t end) const {
    std::vector<Frame> parts = {logon_};
    parts.insert(parts.end(), frames_.begin() + static_cast<std::ptrdiff_t>(first),
                 frames_.begin() + static_cast<std::ptrdiff_t>(end));
    return parts;
  }
  ProgramRun ReplayInto(const std::string& capture, const std::string& out,
                        std::vector<std::string> options = {}) {
    std::vector<std::string> args = {capture, "--ini", ini_, "--out", out};
    args.insert(args.end(), options.begin(), options.end());
    return Replay(args);
  }

  TempDir dir_;
  std::shared_ptr<const SampleDay> day_;
  std::string xml_;
  std::string ini_;
  std::vector<Frame> frames_;
  Frame logon_;
};

// The HHMMSS with which a frame of the synthetic day moves the market time, or -1.
int64_t ClockTimeOf(const Frame& frame) {
  const uint32_t type = feed::LoadBigEndian32(frame.data());
  if (type != feed::kMsgCashAuctionSnapshot && type != feed::kMsgIndexSnapshot &&
      type != feed::kMsgSecuritySwitch) {
    return -1;
  }
  return feed::LoadBigEndian64(frame.data() + feed::kHeaderBytes) % 1000000000 / 1000;
}

int64_t Seconds(int64_t hhmmss) {
  return hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100;
}

TEST_F(ReplayTest, EveryMinuteWritesOneSetPerMinuteOfMarketTimeAsItStoodThen) {
  // The morning only, to keep the sets few: every frame before the first one after 09:50.
  size_t end = 0;
  while (end < frames_.size() && ClockTimeOf(frames_[end]) <= 95000) ++end;
  const std::string capture = WriteCapture(LogonAndFrames(0, end));
  const ProgramRun run = ReplayInto(capture, dir_.File("out"), {"--every", "60"});
  ASSERT_EQ(run.status, 0) << run.err;

  // Worked out from the frames' own timestamps: the market time is the largest so far; the set of
  // boundary B shows the largest time not after B.
  std::vector<int64_t> times;
  for (size_t i = 0; i < end; ++i) {
    if (ClockTimeOf(frames_[i]) >= 0) times.push_back(ClockTimeOf(frames_[i]));
  }
  ASSERT_GE(times.size(), 10u);
  const int64_t last = *std::max_element(times.begin(), times.end());
  std::vector<std::string> expected;
  for (int64_t b = (Seconds(times[0]) + 59) / 60 * 60; b < Seconds(last); b += 60) {
    char name[20];
    std::snprintf(name, sizeof name, "%02d%02d%02d", static_cast<int>(b / 3600),
                  static_cast<int>(b / 60 % 60), static_cast<int>(b % 60));
    expected.push_back(name);
    int64_t shown = 0;
    for (int64_t t : times) {
      if (Seconds(t) <= b && t > shown) shown = t;
    }
    const dbf::test::DbfFileView hq(
        ReadFileBytes(dir_.File("out/" + expected.back() + "/SJSHQ.dbf")));
    ASSERT_GT(hq.Records(), 1u) << name;
    EXPECT_EQ(std::stoll(hq.Get(0, "HQCJBS")), shown) << name;
    // The local-clock cells carry the same market time.
    EXPECT_EQ(std::stoll(hq.Get(0, "HQBSL5")), shown * 100) << name;
  }
  ASSERT_GE(expected.size(), 20u);
  EXPECT_EQ(Entries(dir_.File("out")), expected);
  EXPECT_NE(run.out.find(std::to_string(expected.size()) + " sets written"), std::string::npos)
      << run.out;
}

TEST_F(ReplayTest, CaptureCutInsideAFrameReplaysEveryWholeFrameAndSaysWhereItStopped) {
  std::vector<Frame> parts = LogonAndFrames(0, 40);
  size_t whole = 0;
  for (const Frame& part : parts) whole += part.size();
  Frame half(frames_[40].begin(), frames_[40].begin() + 30);
  parts.push_back(half);
  const ProgramRun run = ReplayInto(WriteCapture(parts), dir_.File("out"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("30 bytes from byte " + std::to_string(whole)), std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find(" 41 frames applied"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ends inside a frame at byte " + std::to_string(whole)), std::string::npos)
      << run.out;
  EXPECT_EQ(Entries(dir_.File("out")).size(), 6u);
}

TEST_F(ReplayTest, GarbageBetweenFramesIsSkippedAndCounted) {
  std::vector<Frame> parts = LogonAndFrames(0, 30);
  parts.insert(parts.begin() + 5, Frame(3, 0xFF));
  parts.insert(parts.begin() + 12, Frame(5, 0xFF));
  parts.insert(parts.begin() + 20, Frame(7, 0xFF));
  const ProgramRun run = ReplayInto(WriteCapture(parts), dir_.File("out"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(" 31 frames applied"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" 15 bytes of garbage skipped"), std::string::npos) << run.out;
}

// Whatever is left of a frame when its connection ended, the replay resumes at the next
// connection's Logon, as the live client does, and loses nothing of that connection.
TEST_F(ReplayTest, UnfinishedFrameBeforeANewConnectionIsDroppedAtTheLogon) {
  const Frame& cut = frames_[30];
  ASSERT_GT(cut.size(), 100u);
  const Frame& small = frames_.front();  // the stream phase: shorter than most cut lengths
  for (const bool longTail : {false, true}) {
    for (size_t k = 1; k < cut.size(); ++k) {
      std::string bytes(logon_.begin(), logon_.end());
      bytes.append(cut.begin(), cut.begin() + static_cast<std::ptrdiff_t>(k));
      bytes.append(logon_.begin(), logon_.end());
      if (longTail) bytes.append(frames_[31].begin(), frames_[31].end());
      bytes.append(small.begin(), small.end());
      std::vector<std::string> good;
      feed::FeedCounters counters;
      size_t at = 0;
      for (;;) {
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data()) + at;
        const CaptureStep step = NextCaptureStep(data, bytes.size() - at, true, &counters);
        if (step.kind == CaptureStep::kNeedMore) break;
        if (step.kind == CaptureStep::kFrame) good.emplace_back(data, data + step.length);
        at += step.consumed;
      }
      std::vector<std::string> expected = {std::string(logon_.begin(), logon_.end()),
                                           std::string(logon_.begin(), logon_.end())};
      if (longTail) expected.emplace_back(frames_[31].begin(), frames_[31].end());
      expected.emplace_back(small.begin(), small.end());
      ASSERT_EQ(good, expected) << "cut after " << k << " bytes, long tail " << longTail;
      ASSERT_EQ(at, bytes.size()) << k;
    }
  }
}

TEST_F(ReplayTest, DayWithAReconnectWritesWhatTheDayWithoutTheCutFrameWrites) {
  const size_t cutAt = frames_.size() / 2;
  std::vector<Frame> withCut = LogonAndFrames(0, cutAt);
  withCut.push_back(Frame(frames_[cutAt].begin(), frames_[cutAt].begin() + 77));
  const std::vector<Frame> rest = LogonAndFrames(cutAt, frames_.size());
  withCut.insert(withCut.end(), rest.begin(), rest.end());
  const ProgramRun cutRun = ReplayInto(WriteCapture(withCut), dir_.File("cut"), {"--closing"});
  ASSERT_EQ(cutRun.status, 0) << cutRun.err;
  EXPECT_NE(cutRun.out.find("(1 cut by a reconnect)"), std::string::npos) << cutRun.out;

  std::vector<Frame> whole = LogonAndFrames(0, cutAt);
  whole.insert(whole.end(), rest.begin(), rest.end());
  const ProgramRun wholeRun = ReplayInto(WriteCapture(whole), dir_.File("whole"), {"--closing"});
  ASSERT_EQ(wholeRun.status, 0) << wholeRun.err;
  const DbfDiffResult diff = DiffDbfPaths(dir_.File("whole"), dir_.File("cut"), {});
  EXPECT_EQ(diff.status, 0) << DiffText(diff);
}

TEST_F(ReplayTest, BadInputFailsWithOneLineAndLeavesNothingInTheOutputFolder) {
  std::string capture;
  int64_t last = 0;
  for (const Frame& frame : frames_) last = std::max(last, ClockTimeOf(frame));
  char lastText[40];
  std::snprintf(lastText, sizeof lastText, "%02d:%02d:%02d", static_cast<int>(last / 10000),
                static_cast<int>(last / 100 % 100), static_cast<int>(last % 100));
  const struct {
    const char* name;
    std::function<std::vector<std::string>()> arrange;  // the capture and the options
    std::string expected;
  } cases[] = {
      {"no reference files for the capture's date",
       [&] {
         fs::rename(capture, dir_.File("binaryData_20260306.dat"));
         return std::vector<std::string>{dir_.File("binaryData_20260306.dat")};
       },
       "no reference files for 20260306 in " + xml_},
      {"a missing reference file",
       [&] {
         fs::rename(xml_ + "securities_20260305.xml", dir_.File("aside.xml"));
         return std::vector<std::string>{capture};
       },
       "missing reference file " + xml_ + "securities_20260305.xml"},
      {"a missing capture",
       [&] { return std::vector<std::string>{dir_.File("binaryData_20260307.dat")}; },
       "cannot read the capture " + dir_.File("binaryData_20260307.dat")},
      {"a missing settings file",
       [&] {
         fs::remove(ini_);
         return std::vector<std::string>{capture};
       },
       "cannot read the settings " + ini_},
      {"a missing closing file",
       [&] {
         fs::remove(xml_ + "cashsecurityclosemd_20260305.xml");
         return std::vector<std::string>{capture, "--closing"};
       },
       "cannot read the closing file " + xml_ + "cashsecurityclosemd_20260305.xml"},
      {"--at before the first message",
       [&] {
         return std::vector<std::string>{capture, "--at", "09:00:00"};
       },
       "--at 09:00:00 is before the first message (09:15:00)"},
      {"--at after the last market time",
       [&] {
         return std::vector<std::string>{capture, "--at", "16:00:00"};
       },
       "--at 16:00:00: the market time never passes it (last " + std::string(lastText) + ")"},
  };
  for (const auto& c : cases) {
    Renew();
    capture = WriteCapture(LogonAndFrames(0, frames_.size()));
    const std::vector<std::string> args = c.arrange();
    const std::vector<std::string> options(args.begin() + 1, args.end());
    const fs::path out = dir_.File("out");
    fs::create_directory(out);
    WriteFileBytes((out / "kept.txt").string(), "kept");
    const ProgramRun run = ReplayInto(args[0], out.string(), options);
    EXPECT_EQ(run.status, 2) << c.name;
    EXPECT_EQ(run.err, "fenwright-replay: " + c.expected + "\n") << c.name;
    EXPECT_EQ(run.out, "") << c.name;
    EXPECT_EQ(Entries(out), std::vector<std::string>{"kept.txt"}) << c.name;
    // An output folder that did not exist is not left behind either.
    const ProgramRun fresh = ReplayInto(args[0], dir_.File("fresh"), options);
    EXPECT_EQ(fresh.status, 2) << c.name;
    EXPECT_FALSE(fs::exists(dir_.File("fresh"))) << c.name;
  }
}

TEST(ReplayProgram, UsageErrorsNameTheBadArgument) {
  const struct {
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {{"c.dat", "--ini", "i", "--out", "o", "--at", "25:00:00"}, "--at 25:00:00:"},
      {{"c.dat", "--ini", "i", "--out", "o", "--at", "10:61:00"}, "--at 10:61:00:"},
      {{"c.dat", "--ini", "i", "--out", "o", "--every", "0"}, "--every 0:"},
      {{"c.dat", "--ini", "i", "--out", "o", "--every", "x"}, "--every x:"},
      {{"c.dat", "--ini", "i", "--out", "o", "--bogus"}, "--bogus:"},
      {{"c.dat", "--ini", "i", "--out"}, "--out: needs a value"},
      {{"c.dat", "--out", "o"}, "--ini:"},
      {{"c.dat", "--ini", "i"}, "--out:"},
      {{"--ini", "i", "--out", "o"}, "no capture file"},
      {{"c.dat", "d.dat", "--ini", "i", "--out", "o"}, "d.dat:"},
      {{"c.dat", "--ini", "i", "--out", "o", "--at", "10:00:00", "--every", "60"}, "--every:"},
      {{"c.dat", "--ini", "i", "--out", "o", "--every", "60", "--closing"}, "--closing:"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = Replay(c.args);
    EXPECT_EQ(run.status, 2) << c.expected;
    EXPECT_EQ(run.err.rfind("fenwright-replay: " + c.expected, 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  const ProgramRun help = Replay({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: fenwright-replay CAPTURE", 0), 0u);
}

TEST_F(ReplayTest, SettingsNamedRelativeToTheWorkingFolderAreRead) {
  const std::string capture = WriteCapture(LogonAndFrames(0, 20));
  const fs::path before = fs::current_path();
  fs::current_path(dir_.Path());
  const ProgramRun run = Replay({capture, "--ini", "replay.ini", "--out", dir_.File("out")});
  fs::current_path(before);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(dir_.File("out")).size(), 6u);
}

TEST_F(ReplayTest, RunLogGoesToTheChosenFileAndNeverToStandardOutputOrTheLogFolder) {
  // The process's clock is the replay's only while it runs.
  const test::FakeClock clock(20240102, 83000);
  const std::string capture = WriteCapture(LogonAndFrames(0, 20));
  // The daily file a run-log line of the replay's day would go to (other tests may have one).
  const std::string dayFile = "log/Tarvik_Log_20260305.log";
  const std::string dayFileBefore = ReadFileBytes(dayFile);
  ::testing::internal::CaptureStdout();
  const ProgramRun run = ReplayInto(capture, dir_.File("out"), {"--log", dir_.File("run.log")});
  const std::string stdoutText = ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(stdoutText, "");
  EXPECT_EQ(ReadFileBytes(dayFile), dayFileBefore);
  const std::string log = ReadFileBytes(dir_.File("run.log"));
  EXPECT_NE(log.find("MProcessIO::Instance() : 初始化成功完成!"), std::string::npos) << log;
  EXPECT_NE(log.find("[stock num] = "), std::string::npos) << log;
  // Without --log the run leaves no file at all.
  const ProgramRun quiet = ReplayInto(capture, dir_.File("quiet"));
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(ReadFileBytes(dayFile), dayFileBefore);
  EXPECT_EQ(LocalNow().Date(), 20240102u);
  EXPECT_EQ(LocalNow().Time(), 83000u);
}

}  // namespace
}  // namespace fw::tools
