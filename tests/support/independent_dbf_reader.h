// A DBF file as readers we did not write see it: tools/dbf_read.py with python3-dbfread or
// python3-dbf. Tests skip where python3 or the modules are missing (the Windows build under Wine).
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace fw::test {

class IndependentDbfReader {
 public:
  struct Reading {
    std::string header;                             // "reader=... records=N fields=..."
    std::vector<std::vector<std::string>> records;  // values per record, '|'-separated fields
    bool ok = false;
  };

  // Whether a python3 with both modules was found.
  bool Available() {
    if (!searched_) {
      searched_ = true;
      std::vector<std::string> candidates;
      if (const char* configured = std::getenv("FW_PYTHON")) candidates.push_back(configured);
      candidates.push_back("/usr/bin/python3");
      candidates.push_back("python3");
      for (const std::string& python : candidates) {
        const std::string command = "\"" + python + "\" \"" + Script() + "\" check >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
          python_ = python;
          break;
        }
      }
    }
    return !python_.empty();
  }

  // reader: "dbfread" or "dbf".
  Reading Read(const std::string& reader, const std::string& path) {
    Reading reading;
    if (!Available()) return reading;
    const std::string out = scratch_.File("reading.out");
    const std::string command =
        "\"" + python_ + "\" \"" + Script() + "\" " + reader + " \"" + path + "\" >\"" + out + "\" 2>&1";
    reading.ok = std::system(command.c_str()) == 0;
    std::istringstream lines(ReadFileBytes(out));
    std::getline(lines, reading.header);
    for (std::string line; std::getline(lines, line);) reading.records.push_back(Split(line));
    return reading;
  }

  static std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> values;
    std::string value;
    std::istringstream in(line);
    while (std::getline(in, value, '|')) values.push_back(value);
    if (!line.empty() && line.back() == '|') values.push_back("");
    return values;
  }

 private:
  static std::string Script() { return std::string(FW_SOURCE_DIR) + "/tools/dbf_read.py"; }

  bool searched_ = false;
  std::string python_;
  TempDir scratch_;
};

}  // namespace fw::test
