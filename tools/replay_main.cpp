// fenwright-replay: the six DBF files of a captured day rebuilt offline, at the end of the
// capture, at a market time or every N seconds of market time. See replay.h; `--help` tells the
// options. Exit status 0, or 2 for bad arguments or a failed run.
#include <iostream>
#include <string>
#include <vector>

#include "tools/replay.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return fw::tools::RunReplayProgram(args, std::cout, std::cerr);
}
