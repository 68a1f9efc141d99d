// Small vocabulary of the writer tests: market state records with a code and a name, reference
// records, and the bytes of one record of a written file.
#pragma once

#include <cstring>
#include <string>

#include "market/market_records.h"
#include "refdata/reference_tables.h"

namespace fw::dbf::test {

// Codes are six digits and two zero bytes; names are at most 8 bytes followed by zeros.
template <typename Record>
Record Named(const char* code, const char* name) {
  Record record{};
  std::memcpy(record.code, code, std::strlen(code));
  std::memcpy(record.name, name, std::strlen(name));
  return record;
}

inline market::StockQuoteRecord StockQuote(const char* code, const char* name) {
  return Named<market::StockQuoteRecord>(code, name);
}
inline market::IndexQuoteRecord IndexQuote(const char* code, const char* name) {
  return Named<market::IndexQuoteRecord>(code, name);
}
inline market::VolumeStatRecord Stat(const char* code, const char* name) {
  return Named<market::VolumeStatRecord>(code, name);
}

// A reference record as a loader leaves it: the SecurityID is six digits and two blanks.
template <typename Table>
auto* AddReference(Table& table, const char* code) {
  std::string id(code);
  id.resize(8, ' ');
  return table.Find(id.c_str(), true);
}

// Record i of a file image.
inline std::string RecordBytes(const std::string& file, size_t headerLength, size_t recordLength,
                               size_t i) {
  return file.substr(headerLength + i * recordLength, recordLength);
}

inline std::string Nul(size_t n) { return std::string(n, '\0'); }

}  // namespace fw::dbf::test
