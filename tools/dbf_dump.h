// The conversion behind fenwright-dbfdump: the live records of one DBF file as UTF-8 CSV (RFC 4180,
// a header line of field names, CRLF line ends) or as one JSON document, for people who look at
// the legacy files in spreadsheets and modern tools.
//
// Cells are read as the legacy readers read them (dbf_image_view.h): text without its blank and
// NUL padding, converted from GBK; numbers as their exact text without the padding (in JSON a
// number with the leading zero JSON needs and without the ones it forbids: ".001000" is 0.001000);
// dates as YYYY-MM-DD, an empty date empty (CSV) or null (JSON), as is a blank number in JSON. A
// cell that is not what its type says is shown as its text. Records flagged deleted ('*') are left
// out; the index file's 0x00 flags are live.
//
// Plain functions without shared state: any thread.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace fw::tools {

enum class DumpFormat { kCsv, kJson };

// Writes the image of the file `name` to `out`; nothing is written when the image is not a DBF.
// Returns the reason it is not (see DbfImageView::Error), empty on success.
std::string DumpDbf(const std::string& name, std::string_view image, DumpFormat format,
                    std::ostream& out);

// The program: arguments without the program's name; the records on `out`, a usage error or a
// file that cannot be read or is not a DBF as one line on `err`. Returns the exit status: 0, or 2.
int RunDbfDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace fw::tools
