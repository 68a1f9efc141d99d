// The written files as readers we did not write see them: tools/dbf_read.py prints a DBF file read
// with python3-dbfread or python3-dbf, one line per record, values separated by '|'. Tests skip
// where python3 or the modules are missing (the Windows build under Wine, a developer's machine
// without them), except when the environment sets FW_REQUIRE_DBF_READERS (the test command, which
// installs them): then a missing reader is a failure.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace fw::test {

inline const std::string& ReaderScript() {
  static const std::string script = std::string(FW_SOURCE_DIR) + "/tools/dbf_read.py";
  return script;
}

// A python3 that has both reader modules: $FW_PYTHON when it is set, else the system's or the
// first on the path; "" when there is none, which fails the calling test (a non-fatal failure, so
// that the caller still skips its body) when FW_REQUIRE_DBF_READERS is set to anything but "0".
inline std::string FindReaderPython() {
  std::vector<std::string> candidates;
  if (const char* configured = std::getenv("FW_PYTHON")) {
    candidates.push_back(configured);
  } else {
    candidates.push_back("/usr/bin/python3");
    candidates.push_back("python3");
  }
  for (const std::string& python : candidates) {
    const std::string command =
        "\"" + python + "\" \"" + ReaderScript() + "\" check >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) return python;
  }
  const char* required = std::getenv("FW_REQUIRE_DBF_READERS");
  if (required != nullptr && *required != '\0' && std::string(required) != "0") {
    ADD_FAILURE() << "python3 with dbfread and dbf is required (FW_REQUIRE_DBF_READERS) but "
                  << candidates.front() << " has not both";
  }
  return "";
}

struct Reading {
  std::string header;                             // "reader=... records=N fields=..."
  std::vector<std::vector<std::string>> records;  // values per record
};

inline std::vector<std::string> SplitValues(const std::string& line) {
  std::vector<std::string> values;
  std::string value;
  std::istringstream in(line);
  while (std::getline(in, value, '|')) values.push_back(value);
  if (!line.empty() && line.back() == '|') values.push_back("");
  return values;
}

// Reads `path` with `reader` ("dbfread" or "dbf"); the script's output goes through `scratch`.
inline Reading ReadWith(const std::string& python, const std::string& reader,
                        const std::string& path, const std::string& scratch) {
  const std::string command = "\"" + python + "\" \"" + ReaderScript() + "\" " + reader + " \"" +
                              path + "\" >\"" + scratch + "\" 2>&1";
  const int status = std::system(command.c_str());
  const std::string out = ReadFileBytes(scratch);
  EXPECT_EQ(status, 0) << out.substr(0, 2000);
  Reading reading;
  std::istringstream lines(out);
  std::getline(lines, reading.header);
  for (std::string line; std::getline(lines, line);) reading.records.push_back(SplitValues(line));
  return reading;
}

}  // namespace fw::test
