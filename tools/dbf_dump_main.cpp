// fenwright-dbfdump: the records of one DBF file as UTF-8 CSV or JSON. See dbf_dump.h; `--help`
// tells the options. Exit status 0, or 2 for a usage error or a file that is not a DBF.
#include <iostream>
#include <string>
#include <vector>

#include "foundation/platform/platform.h"
#include "tools/dbf_dump.h"

int main(int argc, char** argv) {
  // CSV brings its own CRLF line ends.
  fw::platform::SetStdoutBinary();
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return fw::tools::RunDbfDump(args, std::cout, std::cerr);
}
