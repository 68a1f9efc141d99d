// Arbitrary bytes as a DBF file: the view refuses them or accepts them with every record and cell
// inside the bytes, the cells read without fault, both dumps run, and the comparison finds a file
// equal to itself and unequal to the same file with any one byte changed (every byte of a file is
// compared: header, descriptors, records, what follows them).
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "dbf/dbf_image_view.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/dbf_diff.h"
#include "tools/dbf_dump.h"

using fw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string image(reinterpret_cast<const char*>(data), size);
  const fw::dbf::DbfImageView view(image);
  if (!view.Ok()) {
    Check(!view.Error().empty());
    return 0;
  }
  const auto inside = [&](std::string_view part) {
    return part.data() >= image.data() && part.data() + part.size() <= image.data() + size;
  };
  Check(inside(view.Descriptors()) && inside(view.HeaderPadding()) && inside(view.Tail()));
  uint32_t length = 1;
  for (const fw::dbf::DbfField& f : view.Fields()) length += f.length;
  Check(length == view.Header().recordLength);
  for (uint32_t i = 0; i < view.RecordCount(); ++i) {
    Check(inside(view.Record(i)));
    for (size_t f = 0; f < view.Fields().size(); ++f) {
      const std::string_view cell = view.Cell(i, f);
      Check(inside(cell) && cell.size() == view.Fields()[f].length);
      const fw::dbf::DateCell date = fw::dbf::DateOf(cell);
      Check(date.state != fw::dbf::CellState::kValue || fw::dbf::IsCalendarDate(date.date));
      fw::dbf::NumberOf(cell);
      Check(fw::dbf::TextOf(cell).size() <= cell.size());
    }
  }

  for (const auto format : {fw::tools::DumpFormat::kCsv, fw::tools::DumpFormat::kJson}) {
    std::ostringstream out;
    Check(fw::tools::DumpDbf("F.DBF", image, format, out).empty());
  }

  fw::tools::DbfDiffResult same;
  fw::tools::DiffDbfImages("F.DBF", image, image, {}, &same);
  Check(same.status == 0 && same.count == 0 && same.errors.empty());
  std::string changed = image;
  const size_t at = (static_cast<size_t>(data[size - 1]) << 8 | data[size / 2]) % size;
  changed[at] = static_cast<char>(changed[at] ^ 0x5A);
  fw::tools::DbfDiffResult other;
  fw::tools::DiffDbfImages("F.DBF", image, changed, {}, &other);
  Check(other.status != 0);
  for (const fw::tools::DbfDifference& d : other.differences) fw::tools::FormatDifference(d);
  return 0;
}
