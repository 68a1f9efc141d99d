// fenwright-dbfdiff: do two sets of the six DBF files (or two files) hold the same bytes? See
// dbf_diff.h; `--help` tells the options. Exit status as diff and cmp: 0, 1, 2.
#include <iostream>
#include <string>
#include <vector>

#include "tools/dbf_diff.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return fw::tools::RunDbfDiff(args, std::cout, std::cerr);
}
