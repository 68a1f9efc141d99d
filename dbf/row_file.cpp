// RowFile's open and flush with the file's failure rule; runs on the write thread.
#include "dbf/row_file.h"

namespace fw::dbf {

int32_t RowFile::Open(const std::string& path) {
  rowCounter_ = 0;
  rowMissed_ = false;
  const int32_t result = DbfTable::Open(path);
  if (result < 0) {
    Fail();
    return result;
  }
  return 1;
}

int32_t RowFile::Flush() {
  const int32_t result = DbfTable::Flush();
  if (result < 0) Fail();
  return result;
}

int32_t RowFile::FlushChanges() {
  const int32_t result = DbfTable::FlushChanges();
  if (result < 0) Fail();
  return result;
}

}  // namespace fw::dbf
