// Where a test's configuration finds a generated day and puts the six DBF files.
#pragma once

#include <string>

#include "config/config_info.h"
#include "tests/support/test_support.h"

namespace fw::test {

// The reference files, the holiday list and the index-name map from `xml`, the six DBF files into
// `out` (both folders ending with a separator), under the files' usual names.
inline void PointAtDay(config::ConfigInfo* config, const std::string& xml, const std::string& out) {
  SetText(config->loadFolder, xml);
  SetText(config->szl1, out + "SJSXXN.DBF");
  SetText(config->Sjsxxdbf, out + "SJSXX.DBF");
  SetText(config->hqdbf, out + "SJSHQ.DBF");
  SetText(config->Sjszsdbf, out + "SJSZS.DBF");
  SetText(config->Sjsphhqdbf, out + "SJSPHHQ.DBF");
  SetText(config->Sjszhhqdbf, out + "SJSZHHQ.DBF");
  SetText(config->holiday, xml + "holiday.ini");
  SetText(config->IndexNameFile, xml + "indexname.ini");
}

}  // namespace fw::test
