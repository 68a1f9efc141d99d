// A reader of written DBF files for the writer tests, independent of the engine: it takes the
// record count, the lengths and the field layout from the file's own header and descriptors, so a
// test can name a field and get its bytes, or compare a whole record with bytes written out by
// hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace fw::dbf::test {

class DbfFileView {
 public:
  struct Field {
    std::string name;
    char type;
    uint32_t offset;
    uint32_t length;
    uint32_t decimals;
  };

  explicit DbfFileView(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 32) return;
    records_ = U32(4);
    headerLength_ = U16(8);
    recordLength_ = U16(10);
    for (size_t at = 32; at + 32 <= headerLength_ && bytes_[at] != 0x0D; at += 32) {
      Field f;
      f.name = std::string(bytes_.c_str() + at);
      if (f.name.size() > 11) f.name.resize(11);
      f.type = bytes_[at + 11];
      f.offset = U32(at + 12);
      f.length = static_cast<uint8_t>(bytes_[at + 16]);
      f.decimals = static_cast<uint8_t>(bytes_[at + 17]);
      fields_.push_back(f);
    }
  }

  uint32_t Records() const { return records_; }
  uint32_t HeaderLength() const { return headerLength_; }
  uint32_t RecordLength() const { return recordLength_; }
  const std::vector<Field>& Fields() const { return fields_; }
  size_t Size() const { return bytes_.size(); }
  const std::string& Bytes() const { return bytes_; }

  // Record i with its deletion flag; empty when the file does not hold it.
  std::string Record(uint32_t i) const {
    const size_t at = headerLength_ + static_cast<size_t>(i) * recordLength_;
    if (i >= records_ || at + recordLength_ > bytes_.size()) return "";
    return bytes_.substr(at, recordLength_);
  }

  // The bytes of field `name` in record i; "<no field NAME>" when the file has no such field.
  std::string Get(uint32_t i, const std::string& name) const {
    for (const Field& f : fields_) {
      if (f.name == name) {
        const std::string record = Record(i);
        if (record.size() < f.offset + f.length) return "<no record>";
        return record.substr(f.offset, f.length);
      }
    }
    return "<no field " + name + ">";
  }

  bool HasField(const std::string& name) const {
    for (const Field& f : fields_) {
      if (f.name == name) return true;
    }
    return false;
  }

 private:
  uint32_t U16(size_t at) const {
    return static_cast<uint8_t>(bytes_[at]) |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes_[at + 1])) << 8;
  }
  uint32_t U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }

  std::string bytes_;
  uint32_t records_ = 0;
  uint32_t headerLength_ = 0;
  uint32_t recordLength_ = 0;
  std::vector<Field> fields_;
};

// A record written out by hand, field by field; the pieces must add up to the record length
// (checked by the caller against the file's record length).
inline std::string Concat(std::initializer_list<std::string> pieces) {
  std::string record;
  for (const std::string& piece : pieces) record += piece;
  return record;
}

inline std::string Blanks(size_t n) { return std::string(n, ' '); }

// Compares two records field by field, so that a failure names the first differing fields.
inline void ExpectRecord(const DbfFileView& file, uint32_t i, const std::string& expected) {
  const std::string actual = file.Record(i);
  ASSERT_EQ(expected.size(), file.RecordLength()) << "expected record " << i << " is mis-sized";
  ASSERT_EQ(actual.size(), file.RecordLength()) << "record " << i << " missing";
  EXPECT_EQ(actual[0], expected[0]) << "deletion flag of record " << i;
  for (const auto& f : file.Fields()) {
    EXPECT_EQ(actual.substr(f.offset, f.length), expected.substr(f.offset, f.length))
        << "record " << i << " field " << f.name;
  }
}

}  // namespace fw::dbf::test
