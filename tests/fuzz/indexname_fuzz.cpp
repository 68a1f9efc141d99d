// Arbitrary bytes as the operator's indexname.ini: the counts keep their relations (every line
// counted once, whatever its length; an index only for a line with a usable code) and every
// stored code answers with 8 name bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "refdata/code_number.h"
#include "refdata/index_name_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  fw::refdata::IndexNameMap map;
  map.Parse(text);

  uint32_t lines = 0;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  if (!text.empty() && text.back() != '\n') ++lines;
  if (map.LineCount() != lines) std::abort();
  if (map.IndexCount() > map.LineCount() || map.Size() > map.IndexCount()) std::abort();

  // The code of each line that would store one must be found.
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (line.size() > fw::refdata::IndexNameMap::kLineLimit) {
      line = line.substr(0, fw::refdata::IndexNameMap::kLineLimit);
    }
    const size_t comma = line.find(',');
    if (comma != std::string_view::npos && comma != 0) {
      const uint32_t code = fw::CodeNumber(line.data(), comma < 8 ? comma : 8);
      char name[8];
      if (code != 0 && !map.Lookup(code, name)) std::abort();
    }
    start = end + 1;
  }
  return 0;
}
