#include "dbf/dbf_image_view.h"

#include <cassert>

#include "dbf/dbf_table.h"

namespace fw::dbf {
namespace {

// The layout the engine writes is the layout the view reads.
constexpr size_t kHeaderBytes = DbfTable::kHeaderImageSize;
constexpr size_t kDescriptorBytes = sizeof(FieldDescriptor);
constexpr size_t kNameBytes = sizeof(FieldDescriptor::name);
constexpr char kTerminator = DbfTable::kHeaderTerminator;
constexpr uint8_t kVersion = DbfTable::kVersion;
constexpr std::string_view kFieldTypes = "CDFLMN";

uint32_t Little(std::string_view b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
  }
  return v;
}

bool IsPad(char c) { return c == ' ' || c == '\0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trimmed(std::string_view cell) {
  size_t begin = 0;
  size_t end = cell.size();
  while (begin < end && IsPad(cell[begin])) ++begin;
  while (end > begin && IsPad(cell[end - 1])) --end;
  return cell.substr(begin, end - begin);
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A type byte as a person can read it in a message.
std::string Shown(char type) {
  if (type > ' ' && type < 0x7F) return std::string(1, type);
  return "byte " + std::to_string(static_cast<uint8_t>(type));
}

}  // namespace

bool IsCalendarDate(uint32_t yyyymmdd) {
  const uint32_t year = yyyymmdd / 10000;
  const uint32_t month = yyyymmdd / 100 % 100;
  const uint32_t day = yyyymmdd % 100;
  if (year == 0 || month < 1 || month > 12 || day < 1) return false;
  static constexpr uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1u : 0u);
}

uint32_t DbfHeader::Date() const {
  const uint32_t date = (2000u + year) * 10000 + month * 100u + day;
  return IsCalendarDate(date) ? date : 0;
}

DbfLayout ReadDbfLayout(std::string_view b) {
  DbfLayout layout;
  std::string& error = layout.error;
  if (b.size() < kHeaderBytes) {
    error = "only " + std::to_string(b.size()) + " bytes";
    return layout;
  }
  DbfHeader& h = layout.header;
  h.version = static_cast<uint8_t>(b[0]);
  h.year = static_cast<uint8_t>(b[1]);
  h.month = static_cast<uint8_t>(b[2]);
  h.day = static_cast<uint8_t>(b[3]);
  h.records = Little(b, 4, 4);
  h.headerLength = static_cast<uint16_t>(Little(b, 8, 2));
  h.recordLength = static_cast<uint16_t>(Little(b, 10, 2));
  if (h.version != kVersion) {
    error = "version byte " + std::to_string(h.version);
    return layout;
  }
  if (h.headerLength < kHeaderBytes + kDescriptorBytes + 1) {
    error = "header length " + std::to_string(h.headerLength);
    return layout;
  }
  if (b.size() < h.headerLength) {
    error = std::to_string(b.size()) + " bytes, shorter than the header";
    return layout;
  }
  uint32_t offset = 1;
  for (size_t d = kHeaderBytes;; d += kDescriptorBytes) {
    if (b[d] == kTerminator) {
      layout.terminator = d;
      break;
    }
    // The descriptor and a terminator after it must both lie inside the header.
    if (d + kDescriptorBytes + 1 > h.headerLength) {
      error = "no header terminator";
      return layout;
    }
    const std::string_view descriptor = b.substr(d, kDescriptorBytes);
    DbfField f;
    size_t n = 0;
    while (n < kNameBytes && descriptor[n] != '\0') ++n;
    f.name = std::string(descriptor.substr(0, n));
    bool printable = n > 0;
    for (char c : f.name) printable = printable && c > ' ' && c < 0x7F;
    if (!printable) {
      error = "field name at " + std::to_string(d);
      return layout;
    }
    f.type = descriptor[11];
    f.stored = Little(descriptor, 12, 4);
    f.length = static_cast<uint8_t>(descriptor[16]);
    f.decimals = static_cast<uint8_t>(descriptor[17]);
    f.offset = offset;
    f.at = d;
    const std::string at = "field " + f.name + ": ";
    if (kFieldTypes.find(f.type) == std::string_view::npos) {
      error = at + "type " + Shown(f.type);
      return layout;
    }
    if (f.length == 0) {
      error = at + "length 0";
      return layout;
    }
    if (f.type == 'D' && f.length != 8) {
      error = at + "date of length " + std::to_string(f.length);
      return layout;
    }
    if ((f.type == 'N' || f.type == 'F') && f.decimals >= f.length) {
      error =
          at + "decimals " + std::to_string(f.decimals) + " of length " + std::to_string(f.length);
      return layout;
    }
    offset += f.length;
    layout.fields.push_back(std::move(f));
  }
  if (layout.fields.empty()) {
    error = "no fields";
    return layout;
  }
  if (offset != h.recordLength) {
    error = "record length " + std::to_string(h.recordLength) + " for fields of " +
            std::to_string(offset);
  }
  return layout;
}

DbfImageView::DbfImageView(std::string_view image) : image_(image), layout_(ReadDbfLayout(image)) {
  if (!Ok()) {
    layout_.fields.clear();
    return;
  }
  const DbfHeader& h = layout_.header;
  const uint64_t end = h.headerLength + static_cast<uint64_t>(h.records) * h.recordLength;
  if (image.size() < end) {
    layout_.error = std::to_string(image.size()) + " bytes for " + std::to_string(h.records) +
                    " records of " + std::to_string(h.recordLength);
    layout_.fields.clear();
    return;
  }
  records_ = h.records;
}

std::string_view DbfImageView::Record(uint32_t i) const {
  assert(i < records_);
  const size_t length = layout_.header.recordLength;
  return image_.substr(layout_.header.headerLength + static_cast<size_t>(i) * length, length);
}

std::string_view DbfImageView::Cell(uint32_t i, size_t f) const {
  assert(f < layout_.fields.size());
  const DbfField& field = layout_.fields[f];
  return Record(i).substr(field.offset, field.length);
}

std::string_view DbfImageView::Descriptors() const {
  if (!Ok()) return {};
  return image_.substr(kHeaderBytes, layout_.terminator + 1 - kHeaderBytes);
}

std::string_view DbfImageView::HeaderPadding() const {
  if (!Ok()) return {};
  return image_.substr(layout_.terminator + 1,
                       layout_.header.headerLength - layout_.terminator - 1);
}

std::string_view DbfImageView::Tail() const {
  if (!Ok()) return {};
  const DbfHeader& h = layout_.header;
  return image_.substr(h.headerLength + static_cast<size_t>(records_) * h.recordLength);
}

int DbfImageView::FindField(std::string_view name) const {
  for (size_t f = 0; f < layout_.fields.size(); ++f) {
    const std::string& candidate = layout_.fields[f].name;
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) same = Upper(candidate[i]) == Upper(name[i]);
    if (same) return static_cast<int>(f);
  }
  return -1;
}

std::string_view TextOf(std::string_view cell) {
  size_t end = cell.size();
  while (end > 0 && IsPad(cell[end - 1])) --end;
  return cell.substr(0, end);
}

NumberCell NumberOf(std::string_view cell) {
  NumberCell number;
  number.text = Trimmed(cell);
  const std::string_view t = number.text;
  if (t.empty()) return number;
  size_t i = 0;
  if (t[i] == '-') ++i;
  size_t digits = 0;
  while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  bool whole = true;
  if (i < t.size() && t[i] == '.') {
    ++i;
    size_t fraction = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++fraction;
    whole = fraction > 0;
    digits += fraction;
  }
  number.state = whole && digits > 0 && i == t.size() ? CellState::kValue : CellState::kMalformed;
  return number;
}

DateCell DateOf(std::string_view cell) {
  DateCell date;
  date.text = Trimmed(cell);
  const std::string_view t = date.text;
  uint32_t value = 0;
  for (char c : t) {
    if (!IsDigit(c) || t.size() > 8) {
      date.state = CellState::kMalformed;
      return date;
    }
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value == 0) return date;
  if (t.size() == 8 && IsCalendarDate(value)) {
    date.state = CellState::kValue;
    date.date = value;
  } else {
    date.state = CellState::kMalformed;
  }
  return date;
}

}  // namespace fw::dbf
