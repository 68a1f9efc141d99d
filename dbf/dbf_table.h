// Layer dbf/, above market/ (beside feed/, which it never includes): the DBF engine and the six
// writers, which read market records and reference tables and know nothing of the processor.
//
// DbfTable: the small dBase engine under every legacy output file.
//
// A writer describes its fields in one constexpr table (FieldSpec), the engine builds the whole
// file image in memory (32-byte header, one 32-byte FieldDescriptor per field, 0x0D, records), the
// writer fills records through the setters, and Flush rewrites the file in place with one write,
// cuts it at the new length and flushes it to disk. The file is never read and never renamed:
// legacy readers keep it open, so it is opened with read and write sharing.
//
// Layout written (little-endian): version 3; year (calendar year + 48) mod 256, month, day of the
// local date at the flush; record count (u32); header length 32 * n + 33 (u16); record length
// 1 + the field lengths (u16); 20 zero bytes; the descriptors; 0x0D; the records, each a deletion
// flag and the fields without separators. No 0x1A follows the last record.
//
// Every Open allocates the image once (header + room for 20,000 records, zero-filled); a record
// count above the room grows it, so no count leads outside the image. Numbers are formatted by
// dbf_format.h, the same bytes on every platform.
//
// Thread: one thread uses a table at a time (the write thread, or start-up for the security
// information files); the lock guards Close only. Lifetime: a writer object per write cycle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/critical_section.h"
#include "foundation/platform/platform.h"

namespace fw::dbf {

// One field of a writer's fixed list.
struct FieldSpec {
  const char* name;  // ASCII, 1 to 10 characters
  char type;         // 'C' character, 'N' numeric, 'D' date
  uint8_t length;    // bytes in the record, at least 1
  uint8_t decimals;  // digits after the point; 0 for 'C' and 'D'
};

// 1 + the sum of the field lengths: for the writers' static_asserts.
constexpr uint32_t RecordLengthOf(std::span<const FieldSpec> fields) {
  uint32_t length = 1;
  for (const FieldSpec& field : fields) length += field.length;
  return length;
}

// The index of the field with exactly this name, or -1: lets a writer check at compile time that
// its field numbers match its list.
constexpr int FieldIndexOf(std::span<const FieldSpec> fields, std::string_view name) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (std::string_view(fields[i].name) == name) return static_cast<int>(i);
  }
  return -1;
}

// A field descriptor exactly as the file holds it (32 bytes).
struct FieldDescriptor {
  char name[11];      // NUL-padded
  char type;          // 'C', 'N' or 'D'
  uint8_t offset[4];  // offset within the record, little-endian; the first field is at 1
  uint8_t length;
  uint8_t decimals;
  uint8_t reserved[14];
};
static_assert(sizeof(FieldDescriptor) == 32);

class DbfTable {
 public:
  static constexpr uint32_t kRecordCapacity = 20000;  // records the image holds before growing
  static constexpr size_t kHeaderImageSize = 32;
  static constexpr uint8_t kVersion = 3;
  static constexpr char kHeaderTerminator = 0x0D;
  static constexpr size_t kMaxFields = 128;

  // What Flush does with the NUL bytes of the record area.
  enum class NulBytes {
    kBlank,  // every NUL becomes a blank: deletion flags and unwritten field bytes read as blanks
    kKeep,   // written as they are (the index file's readers expect them)
  };

  // `fields` must outlive the table (the writers pass their constexpr lists). At most kMaxFields.
  // `nulBytes`: what Flush() and the rewrite of single records do with NUL bytes.
  explicit DbfTable(std::span<const FieldSpec> fields, NulBytes nulBytes = NulBytes::kBlank);
  virtual ~DbfTable();
  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;

  // Closes whatever was open, opens the file at `path` (the existing file, else a new one; read
  // and write sharing) and builds an empty table. 1; the file layer's negative code when the file
  // can be neither opened nor created; DefineFields' code when that fails (the file stays open,
  // the caller closes or aborts).
  int32_t Open(const std::string& path);

  // Builds the descriptors, header and a zero-filled image for 20,000 records from the field list;
  // record count 20,000, current record 0. 1; -1 the field list is unusable (no fields, more than
  // kMaxFields, a name of 0 or more than 10 characters, an unknown type, a length of 0, decimals
  // not below the length, a record longer than 65,535 bytes); -2 the image cannot be allocated (the
  // table is then closed).
  int32_t DefineFields();

  // Closes the file and frees the image. Always 1.
  int32_t Close();
  // Flushes the open file's system buffers, then Close. Always 1.
  int32_t Abort();

  // The number of records Flush writes. A count above the image's room grows the image (the
  // records already filled are kept, new ones are empty). 1; -3 no image; kErrBadArgument when
  // the file would exceed 2 GiB; kErrNoMemory when the image cannot grow (count unchanged).
  int32_t SetRecordCount(uint32_t count);

  // Makes record i current: 1; -1 i is not below the record count; -2 record length 0; -3 no image.
  int32_t GoToRecord(uint32_t i);
  // GoToRecord after extending the record count to i + 1 when i is beyond it, for writers whose
  // row estimate may fall short: 1, or the negative code of SetRecordCount or GoToRecord.
  int32_t GoToRecordExtending(uint32_t i);

  // The index of the field named `name`, compared in full and without regard to ASCII case; -1 the
  // table has no fields; -2 no descriptors (no image); -3 no field has that name.
  int32_t FindField(std::string_view name) const;

  // The setters write into the current record. By index: -1 for an index out of range or a table
  // without image. By name: -2 without image, -1 for a name not found, then as by index.

  // Copies min(field length, length) bytes to the start of the field, as they are; the rest of the
  // field keeps what it held (NUL in a fresh image, a blank after Flush). For codes, constants and
  // texts passed on as received (English names, ISIN, contact information). 1 or -1.
  int32_t SetCharField(uint16_t index, const void* bytes, size_t length);
  int32_t SetCharField(std::string_view name, const void* bytes, size_t length);

  // SetCharField for GBK text (names converted from the reference files or the feed): a lead byte
  // (0x81..0xFE) that the copied bytes do not follow with a trail byte (0x40..0xFE but 0x7F) is no
  // character to a strict reader, so it is written as NUL. That is a character cut by the field's
  // width, or by the end of the text before the zero bytes after it. 1 or -1.
  int32_t SetTextField(uint16_t index, const void* bytes, size_t length);

  // The decimal text right-justified in the field; only a text of exactly the field's length is
  // written. 1; -1; -2 the value does not fit (field unchanged).
  int32_t SetIntField(uint16_t index, int32_t value);
  int32_t SetIntField(std::string_view name, int32_t value);
  int32_t SetInt64Field(uint16_t index, int64_t value);
  int32_t SetInt64Field(std::string_view name, int64_t value);

  // The fixed-point text at the field's decimals, right-justified. When it does not fit (or the
  // value is NaN or infinite): with zeroOnOverflow "   0.00" goes to the start of the field; else a
  // field of 2 or 3 decimals whose integer part has 2 to 13 digits gets its nines value (99999.999
  // for 9.3, 9999999999999.999 for 17.3); else -2 and the field is unchanged. 1, -1 or -2.
  int32_t SetDoubleField(uint16_t index, double value, bool zeroOnOverflow = false);
  int32_t SetDoubleField(std::string_view name, double value, bool zeroOnOverflow = false);

  // SetDoubleField(index, value * unit, zeroOnOverflow), the product taken in double: how the
  // writers turn scaled integers (prices in thousandths) into field values. Where unit is the
  // field's own 10^-decimals (0.001 for a 9.3 field) and |value| is below 10^15, the text is the
  // integer's digits with the point put in, without floating point: the product's error (two
  // roundings, under 2.3e-16 relative) is then below half a unit of the last decimal, so rounding
  // it at the field's decimals gives back value / 10^decimals exactly. Same bytes, less work.
  int32_t SetScaledField(uint16_t index, int64_t value, double unit, bool zeroOnOverflow = false);

  // For fractions that fill every digit of the field: the fixed-point text keeps its rightmost
  // field-length characters when it is too long (0.0015 in a 7.6 field: "0.001500" -> ".001500").
  // Only leading zeros are dropped (and a minus sign when the value shows as zero): a text that
  // would lose a significant digit or its sign returns -2 and leaves the field unchanged.
  // 1, -1 or -2.
  int32_t SetTrimmedDoubleField(uint16_t index, double value);

  // Rewrites the file: the date stamp from fw::LocalNow(), the NUL bytes of the record area as
  // `nulBytes` says, header length + record count * record length bytes in one write from offset
  // 0, the end of the file set there (a longer old file is cut), then a flush to disk. 1; -1
  // nothing to write (no image, or record length, record count or header length 0); -2 the seek
  // failed; -3 the write failed; -4 the end of file could not be set; -5 the flush to disk failed.
  int32_t Flush(NulBytes nulBytes);
  int32_t Flush() { return Flush(nulBytes_); }

  // The bytes the last successful Flush or FlushChanges wrote; 0 before any. Kept by Close.
  uint64_t FlushedBytes() const { return flushedBytes_; }

  // ---- An image kept from one write to the next ----
  // A writer that keeps its image between cycles writes only what changed since its last flush:
  // ReopenFile, RewriteRecord for every record that may have changed (and PatchCarriedField for a
  // cell that every row carries), FlushChanges, CloseFile. The file then holds exactly what a
  // whole Flush of the same image writes, provided it held what the last flush left.

  // Opens the file at `path` (the existing file, else a new one) and keeps the image. 1 or the
  // file layer's negative code.
  int32_t ReopenFile(const std::string& path);
  // Closes the file and keeps the image.
  void CloseFile();

  // Empties record i (below the record count), lets fill() write its row again (fill makes the
  // record current itself), applies the table's NUL rule to it and, when its bytes differ from
  // before, notes it for FlushChanges. Whether they differ; false also for a record that is not
  // there.
  template <typename Fill>
  bool RewriteRecord(uint32_t i, Fill&& fill) {
    if (!BeginRewrite(i)) return false;
    fill();
    return EndRewrite(i);
  }

  // Writes `text` (at most the field's length) into field `index` of every record from `first` on
  // whose field is not blank (NUL or blank bytes only): the cell of the local clock, which every
  // row that got that far carries, and which a row cut short before it or a blank record lacks.
  // Records whose bytes change are noted for FlushChanges.
  void PatchCarriedField(uint16_t index, std::string_view text, uint32_t first);

  // Writes the noted records (runs of adjacent ones in one write each, and every record past the
  // record count of the last flush), then the header when its bytes changed (the date stamp from
  // fw::LocalNow(), the record count), then cuts the file when its length changed, then flushes it
  // to disk; nothing at all when nothing changed. Results as Flush.
  int32_t FlushChanges();

  bool IsOpen() const { return file_.IsOpen(); }
  bool HasImage() const { return image_ != nullptr; }
  const std::string& Path() const { return path_; }
  uint16_t FieldCount() const { return static_cast<uint16_t>(fields_.size()); }
  std::span<const FieldSpec> Fields() const { return fields_; }
  uint32_t RecordCount() const { return recordCount_; }
  uint16_t RecordLength() const { return recordLength_; }
  uint16_t HeaderLength() const { return headerLength_; }
  // Records the image holds without growing.
  uint32_t RecordCapacity() const { return capacity_; }

 private:
  struct FieldLayout {
    uint32_t offset;
    uint8_t length;
    uint8_t decimals;
  };

  // The current record's bytes of field `index`, or nullptr for an index out of range or no image.
  char* FieldBytes(uint16_t index) {
    if (image_ == nullptr || index >= fields_.size()) return nullptr;
    return image_ + current_ + layout_[index].offset;
  }
  // The overflow rules of SetDoubleField for a value that does not fit.
  static int32_t WriteOverflow(char* field, const FieldLayout& layout, bool zeroOnOverflow);
  // FindField for the by-name setters: the index, or -2 (no image) / -1 (not found).
  int32_t IndexForName(std::string_view name) const;
  void WriteHeaderImage();
  void StampDate();
  void FreeImage();
  // RewriteRecord's two halves: save and empty record i; compare it with what was saved.
  bool BeginRewrite(uint32_t i);
  bool EndRewrite(uint32_t i);
  // What the file holds after a successful flush of the image.
  void NoteFlushed(size_t fileBytes);
  char* RecordAt(uint32_t i) {
    return image_ + headerLength_ + static_cast<size_t>(i) * recordLength_;
  }

  std::span<const FieldSpec> fields_;
  FieldLayout layout_[kMaxFields] = {};

  MCriticalSection closeLock_{"DbfTable"};
  std::string path_;
  platform::SharedFile file_;

  char* image_ = nullptr;  // headerLength_ + capacity_ * recordLength_ bytes
  uint32_t capacity_ = 0;
  uint32_t recordCount_ = 0;
  uint16_t headerLength_ = 0;
  uint16_t recordLength_ = 0;
  size_t current_ = 0;  // offset of the current record in the image
  uint64_t flushedBytes_ = 0;
  NulBytes nulBytes_;

  // Since the last flush: the records whose bytes changed (in any order, possibly repeated), and
  // what that flush left in the file.
  std::vector<uint32_t> changed_;
  std::vector<char> saved_;  // a record's bytes before its rewrite
  char flushedHeader_[kHeaderImageSize] = {};
  uint32_t flushedRecords_ = 0;
  size_t flushedFileBytes_ = 0;
};

}  // namespace fw::dbf
