#include <gtest/gtest.h>

#include <random>

#include "feed/market_data_decoder.h"
#include "foundation/error_code.h"
#include "tests/feed/frame_builder.h"

namespace fw::feed {
namespace {

using test::Body;
using test::Bytes;
using test::Concat;
using test::Frame;
using test::RawHeader;

struct Delivered {
  uint32_t msgType;
  Bytes body;
  bool operator==(const Delivered&) const = default;
};

class Recorder : public FrameDispatcher {
 public:
  void Dispatch(uint32_t msgType, const uint8_t* body, uint32_t bodyLength) override {
    frames.push_back({msgType, Bytes(body, body + bodyLength)});
  }
  std::vector<Delivered> frames;
};

class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(decoder_.AllocateRing(), 1); }
  void Feed(const Bytes& block) {
    decoder_.Process(block.data(), static_cast<uint32_t>(block.size()));
  }

  Recorder recorder_;
  MarketDataDecoder decoder_{&recorder_};
};

TEST_F(DecoderTest, FrameSplitAcrossBlocksIsDeliveredOnceItsLastByteArrives) {
  const Bytes frame = Frame(300111, Body(40, 3));
  for (size_t cut1 = 1; cut1 < frame.size(); ++cut1) {
    for (size_t cut2 = cut1; cut2 < frame.size(); cut2 += 5) {
      recorder_.frames.clear();
      Feed(Bytes(frame.begin(), frame.begin() + static_cast<long>(cut1)));
      Feed(Bytes(frame.begin() + static_cast<long>(cut1), frame.begin() + static_cast<long>(cut2)));
      ASSERT_TRUE(recorder_.frames.empty()) << cut1 << "," << cut2;
      Feed(Bytes(frame.begin() + static_cast<long>(cut2), frame.end()));
      ASSERT_EQ(recorder_.frames.size(), 1u) << cut1 << "," << cut2;
      ASSERT_EQ(recorder_.frames[0], (Delivered{300111, Body(40, 3)}));
    }
  }
}

TEST_F(DecoderTest, SeveralFramesInOneBlockAreDispatchedInOrder) {
  Feed(Concat({Frame(300111, Body(10, 1)), Frame(3, {}), Frame(309011, Body(700, 2))}));
  ASSERT_EQ(recorder_.frames.size(), 3u);
  EXPECT_EQ(recorder_.frames[0], (Delivered{300111, Body(10, 1)}));
  EXPECT_EQ(recorder_.frames[1], (Delivered{3, {}}));
  EXPECT_EQ(recorder_.frames[2], (Delivered{309011, Body(700, 2)}));
}

TEST_F(DecoderTest, StreamSplitAtEveryBoundaryLosesAndRepeatsNothing) {
  const Bytes stream = Concat({Frame(300111, Body(33, 1)), Frame(309111, Body(5, 2)),
                               Frame(300611, Body(64, 3)), Frame(3, {})});
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    recorder_.frames.clear();
    Feed(Bytes(stream.begin(), stream.begin() + static_cast<long>(cut)));
    Feed(Bytes(stream.begin() + static_cast<long>(cut), stream.end()));
    ASSERT_EQ(recorder_.frames.size(), 4u) << cut;
    EXPECT_EQ(recorder_.frames[2], (Delivered{300611, Body(64, 3)})) << cut;
  }
}

TEST_F(DecoderTest, FrameWrappingTheRingEndDecodesLikeAnyOther) {
  // A ring of 101 bytes and frames of 30 bytes: the write position walks round the end.
  ASSERT_EQ(decoder_.AllocateRing(101), 1);
  for (int i = 0; i < 50; ++i) {
    Feed(Frame(300111, Body(18, static_cast<uint8_t>(i))));
    ASSERT_EQ(recorder_.frames.size(), static_cast<size_t>(i + 1));
    ASSERT_EQ(recorder_.frames.back(), (Delivered{300111, Body(18, static_cast<uint8_t>(i))}));
  }
}

TEST_F(DecoderTest, GarbageBeforeAFrameIsSkipped) {
  Feed(Concat({Bytes(37, 0xFF), Frame(300111, Body(20, 9))}));
  ASSERT_EQ(recorder_.frames.size(), 1u);
  EXPECT_EQ(recorder_.frames[0], (Delivered{300111, Body(20, 9)}));
  const FeedCounters& counted = decoder_.Counters();
  EXPECT_EQ(counted.GarbageBytes(), 37u);
  EXPECT_EQ(counted.Bytes(), 37u + 32u);
  EXPECT_EQ(counted.FramesInSlot(FeedCounters::SlotOf(300111)), 1u);
  EXPECT_EQ(counted.Frames(), 1u);
}

TEST_F(DecoderTest, BadChecksumIsDroppedAndTheNextFrameDelivered) {
  Bytes bad = Frame(300111, Body(20, 1));
  bad.back() ^= 0x01;
  Feed(Concat({bad, Frame(309011, Body(8, 2)), Frame(123456, {})}));
  ASSERT_EQ(recorder_.frames.size(), 2u);
  EXPECT_EQ(recorder_.frames[0], (Delivered{309011, Body(8, 2)}));
  EXPECT_EQ(decoder_.Counters().BadChecksums(), 1u);
  EXPECT_EQ(decoder_.Counters().GarbageBytes(), 0u);
  EXPECT_EQ(decoder_.Counters().FramesInSlot(FeedCounters::kOther), 1u);
}

TEST_F(DecoderTest, ChecksumWordWithUpperBytesSetIsDropped) {
  // The checksum travels as a 32-bit word: 0x01000003 is not the Heartbeat's sum 3.
  for (const size_t byte : {8u, 9u, 10u}) {
    recorder_.frames.clear();
    Bytes bad = Frame(3, {});
    bad[byte] = 1;
    Feed(Concat({bad, Frame(309011, Body(8, 2))}));
    ASSERT_EQ(recorder_.frames.size(), 1u) << byte;
    EXPECT_EQ(recorder_.frames[0], (Delivered{309011, Body(8, 2)})) << byte;
  }
}

TEST_F(DecoderTest, ProcessReturnsZeroOnceEveryCompleteFrameIsDispatched) {
  const Bytes frame = Frame(300111, Body(20, 1));
  const Bytes head(frame.begin(), frame.begin() + 10);
  const Bytes rest(frame.begin() + 10, frame.end());
  struct Case {
    Bytes block;
    size_t dispatched;  // frames delivered by this block
  };
  const Case cases[] = {
      {head, 0},                   // waits for the rest
      {Concat({rest, frame}), 2},  // ends on a frame boundary: 0, not the last frame's length
      {Concat({frame, head}), 1},  // a frame and the start of the next
      {rest, 1},
      {Bytes(30, 0xFF), 0},  // garbage only
  };
  for (const Case& c : cases) {
    recorder_.frames.clear();
    EXPECT_EQ(decoder_.Process(c.block.data(), static_cast<uint32_t>(c.block.size())), 0);
    EXPECT_EQ(recorder_.frames.size(), c.dispatched);
  }
  // Without a ring (the service stopped) a block is dropped whole.
  decoder_.ReleaseRing();
  EXPECT_EQ(decoder_.Process(frame.data(), static_cast<uint32_t>(frame.size())), 0);
  EXPECT_EQ(recorder_.frames.size(), 0u);
}

TEST_F(DecoderTest, LargestFrameIsAccepted) {
  Feed(Frame(1, Body(8180, 5)));
  ASSERT_EQ(recorder_.frames.size(), 1u);
  EXPECT_EQ(recorder_.frames[0].body.size(), 8180u);
}

TEST_F(DecoderTest, BlockLargerThanTheRingLosesNoFrame) {
  ASSERT_EQ(decoder_.AllocateRing(1000), 1);
  Bytes stream;
  for (int i = 0; i < 100; ++i)
    stream = Concat({stream, Frame(300111, Body(88, static_cast<uint8_t>(i)))});
  Feed(stream);  // 10,000 bytes into a 1,000-byte ring
  EXPECT_EQ(recorder_.frames.size(), 100u);
}

TEST_F(DecoderTest, RandomBlockSizesDeliverEveryFrameInOrder) {
  std::minstd_rand random(7);
  Bytes stream;
  std::vector<Delivered> expected;
  for (int i = 0; i < 500; ++i) {
    const uint32_t type = 300000 + static_cast<uint32_t>(random()) % 200000;
    Bytes body = Body(static_cast<uint32_t>(random()) % 900, static_cast<uint8_t>(i));
    stream = Concat({stream, Frame(type, body)});
    expected.push_back({type, body});
  }
  size_t offset = 0;
  while (offset < stream.size()) {
    const size_t n =
        std::min<size_t>(stream.size() - offset, 1 + static_cast<uint32_t>(random()) % 3000);
    decoder_.Process(stream.data() + offset, static_cast<uint32_t>(n));
    offset += n;
  }
  EXPECT_EQ(recorder_.frames, expected);
}

// The cutter over bytes in one piece (a capture held in memory) must cut what the ring's cutter
// cuts: the same frames, garbage and bad checksums, on a stream that mixes all of them.
TEST(CutFrame, AgreesWithTheRingCutterOnAMixedStream) {
  std::minstd_rand random(11);
  Bytes stream;
  for (int i = 0; i < 400; ++i) {
    Bytes frame = Frame(300000 + static_cast<uint32_t>(random()) % 200000,
                        Body(static_cast<uint32_t>(random()) % 700, static_cast<uint8_t>(i)));
    switch (random() % 6) {
      case 0:
        frame.back() = static_cast<uint8_t>(frame.back() + 1);  // wrong checksum
        break;
      case 1:
        stream = Concat({stream, Bytes(1 + random() % 9, 0xFF)});  // garbage
        break;
      case 2:
        stream = Concat({stream, RawHeader(7, kMaxBodyLength + 1)});  // implausible header
        break;
      default:
        break;
    }
    stream = Concat({stream, frame});
  }
  stream = Concat({stream, RawHeader(300111, 40)});  // an unfinished frame at the end

  Recorder ring;
  MarketDataDecoder decoder(&ring);
  ASSERT_EQ(decoder.AllocateRing(), 1);
  decoder.Process(stream.data(), static_cast<uint32_t>(stream.size()));

  Recorder piece;
  FeedCounters counters;
  size_t at = 0;
  for (;;) {
    const FrameCut cut = CutFrame(stream.data() + at, stream.size() - at, &counters);
    at += cut.skipped;
    if (cut.kind == FrameCut::kNeedMore) break;
    if (cut.kind == FrameCut::kGood) {
      piece.Dispatch(LoadBigEndian32(stream.data() + at), stream.data() + at + kHeaderBytes,
                     cut.length - kFrameOverhead);
    }
    at += cut.length;
  }
  EXPECT_EQ(at, stream.size() - 8);
  EXPECT_EQ(piece.frames, ring.frames);
  EXPECT_GT(counters.BadChecksums(), 0u);
  EXPECT_EQ(counters.BadChecksums(), decoder.Counters().BadChecksums());
  EXPECT_EQ(counters.GarbageBytes(), decoder.Counters().GarbageBytes());
}

// The cutter alone, on a ring the test fills itself.
class CutterTest : public ::testing::Test {
 protected:
  void Put(const Bytes& bytes) {
    ASSERT_GE(ring_.Write(bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
  }
  int32_t Cut() { return ReadFrame(ring_, frame_, sizeof frame_); }

  MLoopBufferMt ring_{4096 * 4};
  uint8_t frame_[kFrameBufferBytes];
};

TEST_F(CutterTest, FewerThanTwelveBytesNeverMakeAFrame) {
  Put(Concat({RawHeader(3, 0), Bytes{0, 0, 0}}));  // a complete header, 11 bytes in all
  EXPECT_EQ(Cut(), 0);
  EXPECT_EQ(ring_.DataLength(), 11u);
}

TEST_F(CutterTest, IncompleteFrameConsumesNothing) {
  const Bytes frame = Frame(300111, Body(50, 1));
  Put(Bytes(frame.begin(), frame.end() - 1));
  EXPECT_EQ(Cut(), 0);
  EXPECT_EQ(ring_.DataLength(), frame.size() - 1);
}

TEST_F(CutterTest, BodyLength8181SkipsExactlyOneByte) {
  Put(Concat({RawHeader(1, 8181), Bytes{0, 0, 0, 0}}));
  EXPECT_EQ(Cut(), 0);
  EXPECT_EQ(ring_.DataLength(), 11u);
}

TEST_F(CutterTest, BodyLength8180IsAcceptedAsA8192ByteFrame) {
  Put(Frame(1, Body(8180, 0)));
  EXPECT_EQ(Cut(), 8192);
  EXPECT_EQ(ring_.DataLength(), 0u);
}

TEST_F(CutterTest, MsgType500000IsAcceptedAnd500001SkipsOneByte) {
  Put(Frame(500000, {}));
  EXPECT_EQ(Cut(), 12);
  Put(Frame(500001, {}));
  EXPECT_EQ(Cut(), 0);
  EXPECT_EQ(ring_.DataLength(), 11u);
}

TEST_F(CutterTest, FrameLargerThanTheDestinationIsLeftInTheRing) {
  Put(Frame(1, Body(100, 0)));
  EXPECT_EQ(ReadFrame(ring_, frame_, 50), -1);
  EXPECT_EQ(ring_.DataLength(), 112u);
}

TEST(ByteSum, IsThePlainByteSumModulo256) {
  EXPECT_EQ(Frame(3, {}), (Bytes{0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 3}));
  for (size_t n = 0; n < 100; ++n) {
    const Bytes bytes = Body(n, static_cast<uint8_t>(n * 31 + 200));
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    ASSERT_EQ(ByteSum(bytes.data(), n), static_cast<uint8_t>(sum)) << n;
  }
  const Bytes ff(1000, 0xFF);
  EXPECT_EQ(ByteSum(ff.data(), ff.size()), static_cast<uint8_t>(1000 * 255));
}

}  // namespace
}  // namespace fw::feed
