// The raw capture file under file-system faults, reached as the receive thread reaches it: through
// StaticClient's receive hook with capture on. Whatever the file does, every block goes on to the
// decoder and nothing is reported; a block that could not be written is written before the next
// one, so the day's file still holds every block, whole and in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/capture_file.h"
#include "client/processor_gate.h"
#include "client/static_client.h"
#include "feed/market_data_decoder.h"
#include "tests/faults/fault_plan.h"
#include "tools/market_data_encoder.h"

namespace fw::test {
namespace {

class ReadyProcessor : public client::ProcessorGate {
 public:
  int32_t IsInitialized() override { return 1; }
  int32_t Instance() override { return 0; }
};

// Counts the frames the decoder hands over.
class CountingDispatcher : public feed::FrameDispatcher {
 public:
  void Dispatch(uint32_t, const uint8_t*, uint32_t) override { ++frames; }
  int frames = 0;
};

// The receive hook, called as the receive thread calls it.
class ReceivingClient : public client::StaticClient {
 public:
  using StaticClient::StaticClient;
  int32_t Receive(const tools::Frame& block) {
    return OnData(block.data(), static_cast<int32_t>(block.size()));
  }
};

class CaptureFileFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
    decoder_.AllocateRing();
    SetText(config_.savefile, dir_.Prefix());
    config_.savefileflag = true;
    config_.heartbt = 30;
  }
  void TearDown() override {
    client_.reset();
    CloseRunLog();
    SetRunLogFolder(".\\log");
    WindowCatcher::Uninstall();
  }
  ReceivingClient& Client() {
    if (!client_)
      client_ = std::make_unique<ReceivingClient>(config_, decoder_, capture_, processor_);
    return *client_;
  }
  // A heartbeat and a frame of a type the handlers pass over, whose bytes differ by block, so that
  // order and duplicates show.
  static tools::Frame Block(int n) {
    tools::Frame frame = tools::EncodeHeartbeat();
    tools::Frame padded = tools::FrameEncoder(static_cast<uint32_t>(400000 + n))
                              .U32(static_cast<uint32_t>(n))
                              .Finish();
    frame.insert(frame.end(), padded.begin(), padded.end());
    return frame;
  }
  static std::string Text(const tools::Frame& frame) {
    return std::string(frame.begin(), frame.end());
  }

  TempDir dir_;
  FakeClock clock_{kDay, 100000};
  std::shared_ptr<WindowCatcher> window_;
  config::ConfigInfo config_;
  CountingDispatcher dispatcher_;
  feed::MarketDataDecoder decoder_{&dispatcher_};
  client::CaptureFile capture_;
  ReadyProcessor processor_;
  std::unique_ptr<ReceivingClient> client_;
  const std::string path_ = dir_.File("binaryData_20260305.dat");
};

TEST_F(CaptureFileFaultsTest, FailedAppendReachesTheDecoderAndTheFileWithTheNextBlock) {
  struct Case {
    const char* name;
    std::vector<std::pair<FileOp, int32_t>> ops;
  };
  const Case cases[] = {
      {"open and create refused",
       {{FileOp::kOpen, kAccessDenied}, {FileOp::kCreate, kAccessDenied}}},
      {"seek fails", {{FileOp::kSeek, kIoError}}},
      {"write fails (disk full)", {{FileOp::kWrite, kDiskFull}}},
      {"short write", {{FileOp::kWrite, 5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    capture_.Close();
    platform::RemoveFile(path_);
    dispatcher_.frames = 0;
    EXPECT_EQ(Client().Receive(Block(1)), 1);
    capture_.Close();  // so that block 2 opens the file again
    {
      FaultPlan plan;
      for (const auto& [op, answer] : c.ops) plan.Fail(op, path_, answer, 1);
      EXPECT_EQ(Client().Receive(Block(2)), 1);
      EXPECT_GT(plan.Hits(), 0);
    }
    EXPECT_EQ(dispatcher_.frames, 4);  // both frames of both blocks were decoded
    // What the failed write left of block 2 is cut off again; block 2 waits for the next block.
    EXPECT_EQ(ReadFileBytes(path_), Text(Block(1)));
    EXPECT_EQ(capture_.PendingBytes(), Block(2).size());

    EXPECT_EQ(Client().Receive(Block(3)), 1);
    EXPECT_EQ(dispatcher_.frames, 6);
    EXPECT_EQ(capture_.PendingBytes(), 0u);
    capture_.Close();
    EXPECT_EQ(ReadFileBytes(path_), Text(Block(1)) + Text(Block(2)) + Text(Block(3)));
  }
  EXPECT_TRUE(window_->LogLines().empty());
}

TEST_F(CaptureFileFaultsTest, BlocksKeptWhileTheFileFailsAreBoundedAndWrittenInOrder) {
  const size_t blockBytes = 64 * 1024;
  const size_t fits = client::CaptureFile::kMaxPendingBytes / blockBytes;
  std::vector<std::string> blocks;
  for (size_t i = 0; i < fits + 3; ++i)
    blocks.emplace_back(blockBytes, static_cast<char>('a' + i % 26));
  {
    FaultPlan plan;
    plan.Fail(FileOp::kWrite, path_, kDiskFull);
    for (const std::string& b : blocks) {
      capture_.Append(dir_.Prefix(), reinterpret_cast<const uint8_t*>(b.data()),
                      static_cast<uint32_t>(b.size()));
    }
    EXPECT_EQ(capture_.PendingBytes(), fits * blockBytes);
  }
  const std::string last = "the block that found the disk writable again";
  capture_.Append(dir_.Prefix(), reinterpret_cast<const uint8_t*>(last.data()),
                  static_cast<uint32_t>(last.size()));
  capture_.Close();
  std::string expected;
  for (size_t i = 0; i < fits; ++i) expected += blocks[i];
  expected += last;
  const std::string file = ReadFileBytes(path_);
  EXPECT_EQ(file.size(), expected.size());
  EXPECT_TRUE(file == expected);
}

TEST_F(CaptureFileFaultsTest, CloseDropsBlocksThatCouldNotBeWritten) {
  {
    FaultPlan plan;
    plan.Fail(FileOp::kWrite, path_, kDiskFull);
    EXPECT_EQ(Client().Receive(Block(1)), 1);
  }
  EXPECT_GT(capture_.PendingBytes(), 0u);
  capture_.Close();  // the write thread, outside the trading window
  EXPECT_EQ(capture_.PendingBytes(), 0u);
  clock_.Set(20260306, 90000);
  EXPECT_EQ(Client().Receive(Block(2)), 1);
  capture_.Close();
  EXPECT_EQ(ReadFileBytes(dir_.File("binaryData_20260306.dat")), Text(Block(2)));
}

}  // namespace
}  // namespace fw::test
