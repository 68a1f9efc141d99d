// Arbitrary bytes through the decoder in block sizes the fuzzer chooses: the first byte of the
// input picks a block-size seed, the rest is the stream.
#include <cstddef>
#include <cstdint>

#include "feed/feed_message_reader.h"
#include "feed/market_data_decoder.h"
#include "foundation/run_log.h"

namespace {

class ReadingDispatcher : public fw::feed::FrameDispatcher {
 public:
  void Dispatch(uint32_t msgType, const uint8_t* body, uint32_t bodyLength) override {
    // Walk the whole body with the reader, as a handler would.
    fw::feed::FeedMessageReader reader(body, static_cast<int32_t>(bodyLength));
    while (!reader.Failed() && reader.Remaining() > 0) {
      sum += reader.GetInt(1 + static_cast<int>(msgType % 3));
      sum += static_cast<uint64_t>(reader.GetInt64());
    }
    sum += static_cast<uint64_t>(reader.Finish(msgType, false));
  }
  uint64_t sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    fw::SetRunLogConsolePrinter([](std::string_view) {});
    return true;
  }();
  (void)quiet;
  if (size == 0) return 0;
  ReadingDispatcher dispatcher;
  fw::feed::MarketDataDecoder decoder(&dispatcher);
  // A small ring now and then, so that wraps and refused appends are reached too.
  decoder.AllocateRing(data[0] % 4 == 0 ? 257u + data[0] : fw::feed::kRingBytes);
  uint32_t seed = data[0];
  size_t offset = 1;
  while (offset < size) {
    seed = seed * 1103515245u + 12345u;
    const size_t block = 1 + (seed >> 16) % 9000;
    const size_t n = block < size - offset ? block : size - offset;
    decoder.Process(data + offset, static_cast<uint32_t>(n));
    offset += n;
  }
  return 0;
}
