#include "refdata/reference_tables.h"

namespace fw::refdata {

ReferenceTables& ProcessReferenceTables() {
  static ReferenceTables* tables = new ReferenceTables;  // lives as long as the process
  return *tables;
}

}  // namespace fw::refdata
