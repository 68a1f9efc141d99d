// The DbfTable engine: one calloc'd image per Open, setters that format straight into the current
// record, and the rewrite of the whole file in one write. Runs on the thread that owns the table.
#include "dbf/dbf_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "dbf/dbf_format.h"
#include "foundation/error_code.h"
#include "foundation/local_clock.h"

namespace fw::dbf {
namespace {

// A single write of the whole file goes through a 32-bit byte count that is also returned as a
// signed result, so the file stays below 2 GiB.
constexpr uint64_t kMaxFileBytes = 0x7FFFFFFFu;

constexpr char kZeroOnOverflow[] = "   0.00";

// 10^-decimals as the writers spell it (0.001): the units for which SetScaledField needs no
// floating point.
constexpr double kUnits[] = {1.0,     0.1,      0.01,      0.001,      0.0001,
                             0.00001, 0.000001, 0.0000001, 0.00000001, 0.000000001};
constexpr int64_t kExactScaledLimit = 1000000000000000;  // 10^15

void PutLittleEndian16(char* at, uint16_t value) {
  at[0] = static_cast<char>(value & 0xFFu);
  at[1] = static_cast<char>(value >> 8);
}

void PutLittleEndian32(char* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}

// NUL bytes of [begin, end) become blanks, eight bytes at a time: this runs over every record of
// every file each cycle.
void BlankNulBytes(char* begin, char* end) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  char* p = begin;
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    // The high bit of each byte that is zero: adding 0x7F sets it for any non-zero low seven bits,
    // the byte itself for a set high bit.
    const uint64_t zeroBytes = ~(((word & kLow7) + kLow7) | word | kLow7);
    if (zeroBytes != 0) {
      word |= (zeroBytes >> 7) * 0x20;
      std::memcpy(p, &word, 8);
    }
  }
  for (; p < end; ++p) {
    if (*p == '\0') *p = ' ';
  }
}

bool IsGbkLead(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x81 && b <= 0xFE;
}
bool IsGbkTrail(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool UsableField(const FieldSpec& field) {
  if (field.name == nullptr) return false;
  const size_t nameLength = std::strlen(field.name);
  if (nameLength == 0 || nameLength > 10) return false;
  if (field.type != 'C' && field.type != 'N' && field.type != 'D') return false;
  if (field.length == 0) return false;
  if (field.decimals != 0 && (field.type != 'N' || field.decimals >= field.length)) return false;
  return true;
}

}  // namespace

DbfTable::DbfTable(std::span<const FieldSpec> fields, NulBytes nulBytes)
    : fields_(fields), nulBytes_(nulBytes) {}

DbfTable::~DbfTable() { Close(); }

int32_t DbfTable::Open(const std::string& path) {
  Close();
  int32_t result = ReopenFile(path);
  if (result < 0) return result;
  result = DefineFields();
  return result < 0 ? result : 1;
}

int32_t DbfTable::ReopenFile(const std::string& path) {
  CloseFile();
  int32_t result = file_.OpenExisting(path);
  if (result < 0) result = file_.Create(path, false);
  if (result < 0) return result;
  path_ = path;
  return 1;
}

int32_t DbfTable::DefineFields() {
  if (fields_.empty() || fields_.size() > kMaxFields) return -1;
  uint32_t offset = 1;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (!UsableField(fields_[i])) return -1;
    layout_[i] = {offset, fields_[i].length, fields_[i].decimals};
    offset += fields_[i].length;
  }
  if (offset > 0xFFFFu) return -1;

  FreeImage();
  recordLength_ = static_cast<uint16_t>(offset);
  headerLength_ = static_cast<uint16_t>(kHeaderImageSize * fields_.size() + kHeaderImageSize + 1);
  const size_t bytes = headerLength_ + static_cast<size_t>(kRecordCapacity) * recordLength_;
  // calloc: the pages of a large zeroed block are mapped on first touch, so a cycle pays only
  // for the records it fills.
  image_ = static_cast<char*>(std::calloc(bytes, 1));
  if (image_ == nullptr) {
    Close();
    return -2;
  }
  capacity_ = kRecordCapacity;
  recordCount_ = kRecordCapacity;
  current_ = headerLength_;

  char* descriptor = image_ + kHeaderImageSize;
  for (size_t i = 0; i < fields_.size(); ++i, descriptor += sizeof(FieldDescriptor)) {
    FieldDescriptor d{};
    std::memcpy(d.name, fields_[i].name, std::strlen(fields_[i].name));
    d.type = fields_[i].type;
    for (int b = 0; b < 4; ++b)
      d.offset[b] = static_cast<uint8_t>((layout_[i].offset >> (8 * b)) & 0xFFu);
    d.length = fields_[i].length;
    d.decimals = fields_[i].decimals;
    std::memcpy(descriptor, &d, sizeof d);
  }
  *descriptor = kHeaderTerminator;
  WriteHeaderImage();
  return 1;
}

void DbfTable::WriteHeaderImage() {
  image_[0] = static_cast<char>(kVersion);
  PutLittleEndian32(image_ + 4, recordCount_);
  PutLittleEndian16(image_ + 8, headerLength_);
  PutLittleEndian16(image_ + 10, recordLength_);
}

void DbfTable::FreeImage() {
  std::free(image_);
  image_ = nullptr;
  capacity_ = 0;
  recordCount_ = 0;
  headerLength_ = 0;
  recordLength_ = 0;
  current_ = 0;
  changed_.clear();
  std::memset(flushedHeader_, 0, sizeof flushedHeader_);
  flushedRecords_ = 0;
  flushedFileBytes_ = 0;
}

int32_t DbfTable::Close() {
  MLocalSection guard(closeLock_);
  file_.Close();
  path_.clear();
  FreeImage();
  return 1;
}

void DbfTable::CloseFile() {
  MLocalSection guard(closeLock_);
  file_.Close();
  path_.clear();
}

int32_t DbfTable::Abort() {
  if (file_.IsOpen()) file_.FlushToDisk();
  return Close();
}

int32_t DbfTable::SetRecordCount(uint32_t count) {
  if (image_ == nullptr) return -3;
  if (count > capacity_) {
    if (headerLength_ + static_cast<uint64_t>(count) * recordLength_ > kMaxFileBytes) {
      return kErrBadArgument;
    }
    // Room for half as many again, so that a writer extending the count row by row grows the
    // image a few times only.
    uint64_t capacity = std::max<uint64_t>(count, capacity_ + capacity_ / 2);
    capacity = std::min<uint64_t>(capacity, (kMaxFileBytes - headerLength_) / recordLength_);
    const size_t oldBytes = headerLength_ + static_cast<size_t>(capacity_) * recordLength_;
    const size_t newBytes = headerLength_ + static_cast<size_t>(capacity) * recordLength_;
    char* grown = static_cast<char*>(std::realloc(image_, newBytes));
    if (grown == nullptr) return kErrNoMemory;
    std::memset(grown + oldBytes, 0, newBytes - oldBytes);
    image_ = grown;
    capacity_ = static_cast<uint32_t>(capacity);
  }
  recordCount_ = count;
  PutLittleEndian32(image_ + 4, recordCount_);
  return 1;
}

int32_t DbfTable::GoToRecord(uint32_t i) {
  if (i >= recordCount_) return -1;
  if (recordLength_ == 0) return -2;
  if (image_ == nullptr) return -3;
  current_ = headerLength_ + static_cast<size_t>(i) * recordLength_;
  return 1;
}

int32_t DbfTable::GoToRecordExtending(uint32_t i) {
  if (i >= recordCount_ && i != UINT32_MAX) {
    const int32_t result = SetRecordCount(i + 1);
    if (result < 0) return result;
  }
  return GoToRecord(i);
}

int32_t DbfTable::FindField(std::string_view name) const {
  if (fields_.empty()) return -1;
  if (image_ == nullptr) return -2;
  if (name.size() > 11) return -3;
  const char* descriptor = image_ + kHeaderImageSize;
  for (size_t i = 0; i < fields_.size(); ++i, descriptor += sizeof(FieldDescriptor)) {
    size_t length = 0;
    while (length < 11 && descriptor[length] != '\0') ++length;
    if (length != name.size()) continue;
    size_t k = 0;
    while (k < length && AsciiLower(descriptor[k]) == AsciiLower(name[k])) ++k;
    if (k == length) return static_cast<int32_t>(i);
  }
  return -3;
}

int32_t DbfTable::IndexForName(std::string_view name) const {
  if (image_ == nullptr) return -2;
  const int32_t index = FindField(name);
  return index < 0 ? -1 : index;
}

int32_t DbfTable::SetCharField(uint16_t index, const void* bytes, size_t length) {
  char* field = FieldBytes(index);
  if (field == nullptr || (bytes == nullptr && length != 0)) return -1;
  const size_t n = std::min<size_t>(layout_[index].length, length);
  std::memcpy(field, bytes, n);
  return 1;
}

int32_t DbfTable::SetTextField(uint16_t index, const void* bytes, size_t length) {
  const int32_t result = SetCharField(index, bytes, length);
  if (result < 0) return result;
  char* field = FieldBytes(index);
  const size_t n = std::min<size_t>(layout_[index].length, length);
  for (size_t i = 0; i < n; ++i) {
    if (!IsGbkLead(field[i])) continue;
    if (i + 1 < n && IsGbkTrail(field[i + 1])) {
      ++i;  // the trail byte belongs to this character, whatever it would be on its own
    } else {
      field[i] = '\0';
    }
  }
  return 1;
}

int32_t DbfTable::SetCharField(std::string_view name, const void* bytes, size_t length) {
  const int32_t index = IndexForName(name);
  return index < 0 ? index : SetCharField(static_cast<uint16_t>(index), bytes, length);
}

int32_t DbfTable::SetIntField(uint16_t index, int32_t value) { return SetInt64Field(index, value); }

int32_t DbfTable::SetIntField(std::string_view name, int32_t value) {
  return SetInt64Field(name, value);
}

int32_t DbfTable::SetInt64Field(uint16_t index, int64_t value) {
  char* field = FieldBytes(index);
  if (field == nullptr) return -1;
  return WriteIntegerField(value, layout_[index].length, field) ? 1 : -2;
}

int32_t DbfTable::SetInt64Field(std::string_view name, int64_t value) {
  const int32_t index = IndexForName(name);
  return index < 0 ? index : SetInt64Field(static_cast<uint16_t>(index), value);
}

int32_t DbfTable::SetDoubleField(uint16_t index, double value, bool zeroOnOverflow) {
  char* field = FieldBytes(index);
  if (field == nullptr) return -1;
  const FieldLayout& f = layout_[index];
  if (WriteFixedField(value, f.length, f.decimals, field)) return 1;
  return WriteOverflow(field, f, zeroOnOverflow);
}

int32_t DbfTable::WriteOverflow(char* field, const FieldLayout& f, bool zeroOnOverflow) {
  if (zeroOnOverflow) {
    std::memcpy(field, kZeroOnOverflow, std::min<size_t>(f.length, sizeof kZeroOnOverflow - 1));
    return 1;
  }
  const int integerDigits = static_cast<int>(f.length) - static_cast<int>(f.decimals) - 1;
  // Up to 13 integer digits: the 17.3 turnover fields show 9999999999999.999 on overflow.
  if ((f.decimals == 2 || f.decimals == 3) && integerDigits >= 2 && integerDigits <= 13) {
    std::memset(field, '9', f.length);
    field[integerDigits] = '.';
    return 1;
  }
  return -2;
}

int32_t DbfTable::SetScaledField(uint16_t index, int64_t value, double unit, bool zeroOnOverflow) {
  char* field = FieldBytes(index);
  if (field == nullptr) return -1;
  const FieldLayout& f = layout_[index];
  if (f.decimals < std::size(kUnits) && unit == kUnits[f.decimals] && value > -kExactScaledLimit &&
      value < kExactScaledLimit) {
    if (WriteDecimalField(value, f.length, f.decimals, field)) return 1;
    return WriteOverflow(field, f, zeroOnOverflow);
  }
  return SetDoubleField(index, static_cast<double>(value) * unit, zeroOnOverflow);
}

int32_t DbfTable::SetDoubleField(std::string_view name, double value, bool zeroOnOverflow) {
  const int32_t index = IndexForName(name);
  return index < 0 ? index : SetDoubleField(static_cast<uint16_t>(index), value, zeroOnOverflow);
}

int32_t DbfTable::SetTrimmedDoubleField(uint16_t index, double value) {
  char* field = FieldBytes(index);
  if (field == nullptr) return -1;
  const FieldLayout& f = layout_[index];
  char text[kFormatBufferSize];
  const size_t length = FormatFixedWidth(value, f.length, f.decimals, text, sizeof text);
  if (length == 0) return -2;
  const size_t dropped = length - f.length;
  bool showsZero = true;
  for (size_t i = dropped; i < length; ++i) {
    if (text[i] >= '1' && text[i] <= '9') showsZero = false;
  }
  for (size_t i = 0; i < dropped; ++i) {
    if (text[i] == '0' || (text[i] == '-' && showsZero)) continue;
    return -2;
  }
  std::memcpy(field, text + dropped, f.length);
  return 1;
}

void DbfTable::StampDate() {
  const LocalDateTime now = LocalNow();
  image_[1] = static_cast<char>(static_cast<unsigned>(now.year + 48) % 256u);
  image_[2] = static_cast<char>(now.month);
  image_[3] = static_cast<char>(now.day);
  WriteHeaderImage();
}

void DbfTable::NoteFlushed(size_t fileBytes) {
  std::memcpy(flushedHeader_, image_, sizeof flushedHeader_);
  flushedRecords_ = recordCount_;
  flushedFileBytes_ = fileBytes;
  changed_.clear();
}

int32_t DbfTable::Flush(NulBytes nulBytes) {
  if (image_ == nullptr || recordLength_ == 0 || recordCount_ == 0 || headerLength_ == 0) return -1;
  StampDate();

  if (file_.SeekTo(0) < 0) return -2;
  const size_t bytes = headerLength_ + static_cast<size_t>(recordCount_) * recordLength_;
  if (nulBytes == NulBytes::kBlank) {
    BlankNulBytes(image_ + headerLength_, image_ + bytes);
  }
  if (file_.Write(image_, static_cast<uint32_t>(bytes)) != static_cast<int32_t>(bytes)) return -3;
  // Cut before the flush, so that what reaches the disk already has the new length.
  if (file_.SetEnd() < 0) return -4;
  if (file_.FlushToDisk() < 0) return -5;
  flushedBytes_ = bytes;
  NoteFlushed(bytes);
  return 1;
}

bool DbfTable::BeginRewrite(uint32_t i) {
  if (image_ == nullptr || recordLength_ == 0 || i >= recordCount_) return false;
  char* record = RecordAt(i);
  saved_.assign(record, record + recordLength_);
  std::memset(record, 0, recordLength_);
  current_ = headerLength_ + static_cast<size_t>(i) * recordLength_;
  return true;
}

bool DbfTable::EndRewrite(uint32_t i) {
  // fill() may have grown the image: the record is found again.
  if (image_ == nullptr || i >= recordCount_) return false;
  char* record = RecordAt(i);
  if (nulBytes_ == NulBytes::kBlank) BlankNulBytes(record, record + recordLength_);
  if (std::memcmp(saved_.data(), record, recordLength_) == 0) return false;
  changed_.push_back(i);
  return true;
}

void DbfTable::PatchCarriedField(uint16_t index, std::string_view text, uint32_t first) {
  if (image_ == nullptr || index >= fields_.size()) return;
  const FieldLayout& f = layout_[index];
  const size_t n = std::min<size_t>(f.length, text.size());
  for (uint32_t r = first; r < recordCount_; ++r) {
    char* field = RecordAt(r) + f.offset;
    if (std::all_of(field, field + f.length, [](char c) { return c == ' ' || c == '\0'; })) {
      continue;
    }
    if (std::memcmp(field, text.data(), n) == 0) continue;
    std::memcpy(field, text.data(), n);
    changed_.push_back(r);
  }
}

int32_t DbfTable::FlushChanges() {
  if (image_ == nullptr || recordLength_ == 0 || recordCount_ == 0 || headerLength_ == 0) return -1;
  StampDate();
  // Records past the last flush's count are not in the file at all: each is written, as the
  // whole image would be, whether or not a row filled it.
  for (uint32_t r = flushedRecords_; r < recordCount_; ++r) {
    if (nulBytes_ == NulBytes::kBlank) BlankNulBytes(RecordAt(r), RecordAt(r) + recordLength_);
    changed_.push_back(r);
  }
  std::sort(changed_.begin(), changed_.end());
  changed_.erase(std::unique(changed_.begin(), changed_.end()), changed_.end());
  // A record the count no longer reaches is cut off below.
  changed_.erase(std::lower_bound(changed_.begin(), changed_.end(), recordCount_), changed_.end());

  uint64_t written = 0;
  for (size_t k = 0; k < changed_.size();) {
    const uint32_t first = changed_[k];
    uint32_t last = first;
    for (++k; k < changed_.size() && changed_[k] == last + 1; ++k) last = changed_[k];
    const size_t offset = headerLength_ + static_cast<size_t>(first) * recordLength_;
    const size_t n = static_cast<size_t>(last - first + 1) * recordLength_;
    if (file_.SeekTo(static_cast<int64_t>(offset)) < 0) return -2;
    if (file_.Write(image_ + offset, static_cast<uint32_t>(n)) != static_cast<int32_t>(n))
      return -3;
    written += n;
  }
  // The header last: a reader that meets the new record count finds the records it counts.
  if (std::memcmp(image_, flushedHeader_, kHeaderImageSize) != 0) {
    if (file_.SeekTo(0) < 0) return -2;
    if (file_.Write(image_, kHeaderImageSize) != static_cast<int32_t>(kHeaderImageSize)) return -3;
    written += kHeaderImageSize;
  }
  const size_t bytes = headerLength_ + static_cast<size_t>(recordCount_) * recordLength_;
  if (bytes != flushedFileBytes_) {
    if (file_.SeekTo(static_cast<int64_t>(bytes)) < 0) return -2;
    if (file_.SetEnd() < 0) return -4;
  }
  if ((written > 0 || bytes != flushedFileBytes_) && file_.FlushToDisk() < 0) return -5;
  flushedBytes_ = written;
  NoteFlushed(bytes);
  return 1;
}

}  // namespace fw::dbf
