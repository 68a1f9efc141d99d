// DbfImageView: a read-only view of a whole dBase III file image, for the programs that compare,
// show and watch the six legacy files (never for writing them: that is DbfTable's).
//
// Every length and count of the image is checked against its bytes before anything is read, so
// no image, however damaged or hostile, leads to a read outside it; an image that is not a DBF
// gets one line that says why. The view reads the forms the legacy files really hold, which common
// readers trip on: the index file's NUL deletion flags are live records; a date field holding
// "       0" or nothing is empty; text is NUL-padded as well as blank-padded; the header's year
// byte counts from 2000 (26 for 2026), not from 1900.
//
// Plain values without state beyond the view: any thread. The view borrows the image, which must
// outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw::dbf {

// The 32-byte header as the file holds it.
struct DbfHeader {
  uint8_t version = 0;
  uint8_t year = 0;  // the calendar year minus 2000
  uint8_t month = 0;
  uint8_t day = 0;
  uint32_t records = 0;
  uint16_t headerLength = 0;  // bytes before the first record
  uint16_t recordLength = 0;  // the deletion flag and every field

  // The header's date as YYYYMMDD; 0 when its month or day is not one of a calendar.
  uint32_t Date() const;
};

// One field descriptor.
struct DbfField {
  std::string name;      // the bytes before the first NUL of the 11-byte name
  char type = 0;         // one of "CDFLMN"
  uint32_t offset = 0;   // within the record: 1 for the first field, each after the one before
  uint8_t length = 0;    // at least 1
  uint8_t decimals = 0;  // below the length for 'N' and 'F'; 8-byte dates for 'D'
  uint32_t stored = 0;   // the offset the descriptor itself claims (other writers leave it 0)
  size_t at = 0;         // where the 32 descriptor bytes start in the image
};

// The header and the field descriptors, without the records.
struct DbfLayout {
  DbfHeader header;
  std::vector<DbfField> fields;
  size_t terminator = 0;  // where the 0x0D after the last descriptor lies
  std::string error;      // why the bytes are not a DBF; empty when they are
};

// Reads the header and the descriptors: the version byte is 3, the descriptors run up to a 0x0D
// within the header length, there is at least one field, each field's type, length and decimals
// are possible, and the record length is one more than the field lengths. Records are not looked
// at, so an image cut inside its records still has a layout.
DbfLayout ReadDbfLayout(std::string_view image);

class DbfImageView {
 public:
  // Reads the layout and checks that the image holds every record the header counts; bytes after
  // the last record (the older, longer file a rewrite is cutting, or an end-of-file mark) are
  // allowed and kept apart as the tail.
  explicit DbfImageView(std::string_view image);

  bool Ok() const { return layout_.error.empty(); }
  // One line naming why the image is not a readable DBF; empty when Ok().
  const std::string& Error() const { return layout_.error; }

  // The accessors below expect Ok() (an image that is not has no fields and no records).
  const DbfHeader& Header() const { return layout_.header; }
  const std::vector<DbfField>& Fields() const { return layout_.fields; }
  uint32_t RecordCount() const { return records_; }
  // Record i (below RecordCount()) with its deletion flag.
  std::string_view Record(uint32_t i) const;
  // Only '*' deletes a record: a blank flag and the index file's 0x00 flag are live.
  bool IsDeleted(uint32_t i) const { return Record(i)[0] == '*'; }
  // Field f (below Fields().size()) of record i.
  std::string_view Cell(uint32_t i, size_t f) const;
  // The 32 header bytes; the descriptors' 32-byte blocks and the 0x0D; the bytes from there up to
  // the header length.
  std::string_view HeaderBytes() const { return image_.substr(0, 32); }
  std::string_view Descriptors() const;
  std::string_view HeaderPadding() const;
  // The bytes after the last record.
  std::string_view Tail() const;
  // The first field with this name, in any case; -1 when there is none.
  int FindField(std::string_view name) const;

 private:
  std::string_view image_;
  DbfLayout layout_;
  uint32_t records_ = 0;
};

// What a cell holds, read as the legacy readers read it.
enum class CellState {
  kEmpty,      // blanks and NULs only, or a date of 0
  kValue,      // a number, or a calendar date
  kMalformed,  // neither: the cell's text is all there is
};

// A character cell's text: without the blanks and NULs that pad it on the right.
std::string_view TextOf(std::string_view cell);

// A numeric cell: blanks and NULs around an optional minus, digits, and an optional point followed
// by at least one digit, with at least one digit in all (".001000" is a fraction cut to its
// field's width; record 0 of some files holds short texts such as "01" at the field's left). The
// text without its padding.
struct NumberCell {
  CellState state = CellState::kEmpty;
  std::string_view text;
};
NumberCell NumberOf(std::string_view cell);

// A date cell: eight digits of a calendar date; "       0", zeros, blanks and NULs are no date.
struct DateCell {
  CellState state = CellState::kEmpty;
  uint32_t date = 0;      // YYYYMMDD for kValue
  std::string_view text;  // the cell without its padding
};
DateCell DateOf(std::string_view cell);

// Whether YYYYMMDD names a day of the Gregorian calendar.
bool IsCalendarDate(uint32_t yyyymmdd);

}  // namespace fw::dbf
