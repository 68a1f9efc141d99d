// The comparison behind fenwright-dbfdiff: do two sets of the six legacy files (or two files) hold
// the same bytes? It compares each pair's header, field descriptors and every record cell by
// cell, and names each difference by file, record, the row's code and field, so that a person can
// find the security concerned. With `ignoreClock` it passes over the cells that a live run takes
// from the machine's clock rather than from the feed or the reference files, which is how two runs
// of the same day by two versions are compared. Which of the six a file is comes from its field
// list, not its name, since the names are configurable.
//
// Results follow diff and cmp: 0 equal, 1 different, 2 trouble (a file missing or unreadable, not
// a DBF, field descriptors that differ). Plain functions without shared state: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace fw::tools {

struct DbfDiffOptions {
  bool ignoreClock = false;
  // How many differences the result keeps; all of them are counted.
  size_t keep = 50;
};

struct DbfDifference {
  enum class Kind {
    kHeader,   // `item` of the header: version, date, records, header length, record length,
               // reserved bytes, header padding
    kCell,     // `item` is the field's name, or "(deletion flag)"
    kOnlyInA,  // a record beyond the other file's record count
    kOnlyInB,
    kTail,  // the bytes after the last record
  };
  Kind kind = Kind::kCell;
  std::string file;  // the file's name (in the first folder, for two folders)
  uint32_t record = 0;
  std::string code;  // the row's code (raw bytes, padding removed); empty when none
  std::string item;
  std::string a;  // the two values, raw bytes (header items as text)
  std::string b;
};

struct DbfDiffResult {
  int status = 0;                          // 0 equal, 1 different, 2 trouble
  uint64_t count = 0;                      // every difference found
  std::vector<DbfDifference> differences;  // the first `keep` of them
  std::vector<std::string> errors;         // one line each, naming the file and the trouble
  std::vector<std::string> filesCompared;  // names of the pairs whose records were compared
};

// Compares two folders (their DBF files, matched by name without regard to case; a DBF file in one
// folder only is an error) or two DBF files.
DbfDiffResult DiffDbfPaths(const std::string& a, const std::string& b,
                           const DbfDiffOptions& options);

// Compares two images of the file `name`, adding to `result` (its status is raised to 1 or 2 as
// the pair requires).
void DiffDbfImages(const std::string& name, std::string_view a, std::string_view b,
                   const DbfDiffOptions& options, DbfDiffResult* result);

// One difference as fenwright-dbfdiff prints it, without the line end:
//   SJSHQ.DBF record 12 [000001] HQZJCJ: "   10.500" | "   10.510"
//   SJSHQ.DBF header records: 101 | 102
//   SJSHQ.DBF record 101 [000001]: only in the second file
//   SJSHQ.DBF tail: 0 bytes | 352 bytes
// (a file that is none of the six takes its first field, when that is text, as the code).
// Cell bytes are shown in quotes: GBK characters as UTF-8, NUL as \0, '"' and '\' escaped, other
// bytes outside printable ASCII as \xHH, so that blanks, NULs and every byte stay visible.
std::string FormatDifference(const DbfDifference& difference);

// The program: arguments without the program's name; differences on `out` (at most 50 lines,
// then one line counting the rest), trouble and usage errors on `err`. Returns the exit status.
int RunDbfDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace fw::tools
