#include "foundation/loop_buffer.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "foundation/error_code.h"

namespace fw {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

TEST(LoopBuffer, CapacityEightHoldsSevenAndWrapsAfterConsume) {
  MLoopBufferMt ring(8);
  const auto seven = Bytes({1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(ring.Write(seven.data(), 7), 7);
  const uint8_t one = 8;
  EXPECT_EQ(ring.Write(&one, 1), kLoopBufferFull);
  EXPECT_EQ(ring.DataLength(), 7u);

  uint8_t out[8] = {};
  EXPECT_EQ(ring.Consume(out, 3), 3);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 3);
  const auto three = Bytes({8, 9, 10});
  EXPECT_EQ(ring.Write(three.data(), 3), 3);  // stored across the end of the storage
  EXPECT_EQ(ring.DataLength(), 7u);
  EXPECT_EQ(ring.Consume(out, 8), 7);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 7), Bytes({4, 5, 6, 7, 8, 9, 10}));
}

TEST(LoopBuffer, WriteIsAllOrNothing) {
  MLoopBufferMt ring(8);
  const auto five = Bytes({1, 2, 3, 4, 5});
  ASSERT_EQ(ring.Write(five.data(), 5), 5);
  EXPECT_EQ(ring.Write(five.data(), 3), kLoopBufferFull);
  EXPECT_EQ(ring.DataLength(), 5u);
}

TEST(LoopBuffer, ArgumentAndStateErrors) {
  MLoopBufferMt empty;
  const uint8_t byte = 1;
  uint8_t out[4];
  EXPECT_EQ(empty.Write(&byte, 0), 0);  // count 0 succeeds even without storage
  EXPECT_EQ(empty.Write(&byte, 1), kErrNotInitialized);
  EXPECT_EQ(empty.Write(nullptr, 1), kErrBadArgument);
  EXPECT_EQ(empty.Peek(out, 1), kErrNotInitialized);
  EXPECT_EQ(empty.Skip(1), kErrNotInitialized);
  EXPECT_EQ(empty.DataLength(), 0u);
  EXPECT_EQ(empty.Allocate(0), kErrBadArgument);

  MLoopBufferMt ring(16);
  EXPECT_EQ(ring.Peek(out, 1), kLoopBufferEmpty);
  EXPECT_EQ(ring.Consume(out, 1), kLoopBufferEmpty);
  EXPECT_EQ(ring.Skip(1), kLoopBufferEmpty);
  EXPECT_EQ(ring.Peek(nullptr, 1), kErrBadArgument);
  EXPECT_EQ(ring.DataLength(), 0u);
}

TEST(LoopBuffer, PeekDoesNotMoveAndSkipDropsAtMostWhatIsBuffered) {
  MLoopBufferMt ring(8);
  const auto four = Bytes({1, 2, 3, 4});
  ring.Write(four.data(), 4);
  uint8_t out[4] = {};
  EXPECT_EQ(ring.Peek(out, 2), 2);
  EXPECT_EQ(ring.DataLength(), 4u);
  EXPECT_EQ(ring.Skip(10), 4);
  EXPECT_EQ(ring.DataLength(), 0u);
}

TEST(LoopBuffer, ClearAndReleaseEmptyTheRing) {
  MLoopBufferMt ring(8);
  const auto four = Bytes({1, 2, 3, 4});
  ring.Write(four.data(), 4);
  ring.Clear();
  EXPECT_EQ(ring.DataLength(), 0u);
  EXPECT_TRUE(ring.HasStorage());
  ring.Release();
  EXPECT_FALSE(ring.HasStorage());
  EXPECT_EQ(ring.Capacity(), 0u);
}

// The ring against a std::deque model over a long seeded run of random operations.
TEST(LoopBuffer, MatchesDequeModelOverRandomRun) {
  std::minstd_rand random(20260305);
  MLoopBufferMt ring(97);
  std::deque<uint8_t> model;
  uint8_t next = 0;
  std::vector<uint8_t> in(200), out(200), expected;
  for (int step = 0; step < 200000; ++step) {
    const uint32_t count = static_cast<uint32_t>(random()) % 120;
    switch (static_cast<uint32_t>(random()) % 4) {
      case 0: {
        for (uint32_t i = 0; i < count; ++i) in[i] = next++;
        const int32_t rc = ring.Write(in.data(), count);
        if (count == 0) {
          ASSERT_EQ(rc, 0);
        } else if (model.size() + count > 96) {
          ASSERT_EQ(rc, kLoopBufferFull);
          next = static_cast<uint8_t>(next - count);
        } else {
          ASSERT_EQ(rc, static_cast<int32_t>(count));
          model.insert(model.end(), in.begin(), in.begin() + count);
        }
        break;
      }
      case 1:
      case 2: {
        const bool consume = static_cast<uint32_t>(random()) % 2 == 0;
        const int32_t rc = consume ? ring.Consume(out.data(), count) : ring.Peek(out.data(), count);
        if (model.empty()) {
          ASSERT_EQ(rc, kLoopBufferEmpty);
          break;
        }
        const size_t n = std::min<size_t>(count, model.size());
        ASSERT_EQ(rc, static_cast<int32_t>(n));
        expected.assign(model.begin(), model.begin() + static_cast<long>(n));
        ASSERT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(n)), expected);
        if (consume) model.erase(model.begin(), model.begin() + static_cast<long>(n));
        break;
      }
      default: {
        const int32_t rc = ring.Skip(count);
        if (model.empty()) {
          ASSERT_EQ(rc, kLoopBufferEmpty);
        } else {
          const size_t n = std::min<size_t>(count, model.size());
          ASSERT_EQ(rc, static_cast<int32_t>(n));
          model.erase(model.begin(), model.begin() + static_cast<long>(n));
        }
      }
    }
    ASSERT_EQ(ring.DataLength(), model.size());
    ASSERT_EQ(ring.FreeLength(), 96 - model.size());
  }
}

}  // namespace
}  // namespace fw
