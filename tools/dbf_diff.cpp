#include "tools/dbf_diff.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iterator>
#include <map>
#include <ostream>
#include <span>
#include <utility>

#include "dbf/dbf_image_view.h"
#include "dbf/sjshq_file.h"
#include "dbf/sjsphhq_file.h"
#include "dbf/sjsxx_file.h"
#include "dbf/sjszhhq_file.h"
#include "dbf/sjszs_file.h"
#include "foundation/gbk.h"
#include "foundation/platform/platform.h"

namespace fw::tools {
namespace {

namespace fs = std::filesystem;

constexpr size_t kShownLines = 50;
constexpr size_t kReservedAt = 12;
constexpr size_t kReservedBytes = 20;
constexpr size_t kDescriptorBytes = 32;
constexpr const char* kFlagItem = "(deletion flag)";

// A cell that the live program fills from the machine's clock.
struct ClockCell {
  const char* field;
  bool firstRecordOnly;
};

// One of the six files: its writer's field list, the field that holds a row's code, and its clock
// cells. The header's date is the local date of every file's flush and is handled apart.
struct LegacyFile {
  std::span<const dbf::FieldSpec> fields;
  const char* codeField;
  std::span<const ClockCell> clock;
};

// The time of the write cycle, as HHMMSS times 100.
constexpr ClockCell kSjshqClock[] = {{"HQBSL5", true}};
// The local date in record 0; SJSXXN also stamps every row with the local time.
constexpr ClockCell kSjsxxClock[] = {{"XXZQJC", true}};
constexpr ClockCell kSjsxxnClock[] = {{"XXZQJC", true}, {"XXGXSJ", false}};
constexpr ClockCell kSjsphhqClock[] = {{"HQTIME", false}};
// The local time in record 0, and the local date in every order's contract number.
constexpr ClockCell kSjszhhqClock[] = {{"HQSBSJ", true}, {"HQHTXH", false}};

constexpr LegacyFile kLegacyFiles[] = {
    {dbf::sjshq::kFields, "HQZQDM", kSjshqClock},
    {dbf::sjsxx::kSjsxxnFields, "XXZQDM", kSjsxxnClock},
    {dbf::sjsxx::kSjsxxFields, "XXZQDM", kSjsxxClock},
    {dbf::sjszs::kFields, "ZSZSDM", {}},
    {dbf::sjsphhq::kFields, "HQZQDM", kSjsphhqClock},
    {dbf::sjszhhq::kFields, "HQZQDM", kSjszhhqClock},
};

constexpr bool NamesItsOwnFields(const LegacyFile& legacy) {
  if (dbf::FieldIndexOf(legacy.fields, legacy.codeField) < 0) return false;
  for (const ClockCell& cell : legacy.clock) {
    if (dbf::FieldIndexOf(legacy.fields, cell.field) < 0) return false;
  }
  return true;
}
static_assert(std::all_of(std::begin(kLegacyFiles), std::end(kLegacyFiles), NamesItsOwnFields));

const LegacyFile* LegacyFileOf(const std::vector<dbf::DbfField>& fields) {
  for (const LegacyFile& legacy : kLegacyFiles) {
    if (legacy.fields.size() != fields.size()) continue;
    bool same = true;
    for (size_t f = 0; f < fields.size() && same; ++f) {
      const dbf::FieldSpec& listed = legacy.fields[f];
      same = fields[f].name == listed.name && fields[f].type == listed.type &&
             fields[f].length == listed.length && fields[f].decimals == listed.decimals;
    }
    if (same) return &legacy;
  }
  return nullptr;
}

// Which cells of a field the comparison passes over.
struct FieldRole {
  bool clockEverywhere = false;
  bool clockInFirst = false;
};

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string HeaderDate(const dbf::DbfHeader& h) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", 2000u + h.year, static_cast<unsigned>(h.month),
                static_cast<unsigned>(h.day));
  return text;
}

std::string Describe(const dbf::DbfField& f) {
  std::string text = f.name + " " + f.type + " " + std::to_string(f.length);
  if (f.decimals != 0) {
    text += '.';
    text += std::to_string(f.decimals);
  }
  return text;
}

// Why two layouts that must be equal are not; empty when they are.
std::string DescriptorDifference(const dbf::DbfImageView& a, const dbf::DbfImageView& b) {
  const auto& fa = a.Fields();
  const auto& fb = b.Fields();
  if (fa.size() != fb.size()) {
    return std::to_string(fa.size()) + " fields | " + std::to_string(fb.size()) + " fields";
  }
  const std::string_view da = a.Descriptors();
  const std::string_view db = b.Descriptors();
  for (size_t f = 0; f < fa.size(); ++f) {
    const std::string at = "field " + std::to_string(f + 1) + ": ";
    const std::string sa = Describe(fa[f]);
    const std::string sb = Describe(fb[f]);
    if (sa != sb) return at + sa + " | " + sb;
    if (da.substr(f * kDescriptorBytes, kDescriptorBytes) !=
        db.substr(f * kDescriptorBytes, kDescriptorBytes)) {
      return at + sa + ", other descriptor bytes";
    }
  }
  return "";
}

// The comparison of two images whose descriptors are equal.
class PairComparison {
 public:
  PairComparison(const std::string& name, const dbf::DbfImageView& a, const dbf::DbfImageView& b,
                 const DbfDiffOptions& options, DbfDiffResult* result)
      : name_(name), a_(a), b_(b), options_(options), result_(result) {
    roles_.resize(a.Fields().size());
    const LegacyFile* legacy = LegacyFileOf(a.Fields());
    if (legacy == nullptr) {
      // Another table: its first field, when it holds text, is the likeliest key.
      if (a.Fields()[0].type == 'C') code_ = 0;
      return;
    }
    code_ = a.FindField(legacy->codeField);
    if (!options.ignoreClock) return;
    for (const ClockCell& cell : legacy->clock) {
      FieldRole& role = roles_[static_cast<size_t>(a.FindField(cell.field))];
      (cell.firstRecordOnly ? role.clockInFirst : role.clockEverywhere) = true;
    }
  }

  void Run() {
    Headers();
    const uint32_t ra = a_.RecordCount();
    const uint32_t rb = b_.RecordCount();
    const uint32_t common = std::min(ra, rb);
    for (uint32_t i = 0; i < common; ++i) {
      if (a_.Record(i) != b_.Record(i)) Cells(i);
    }
    for (uint32_t i = common; i < ra; ++i) Add(DbfDifference::Kind::kOnlyInA, i, Code(a_, i), "");
    for (uint32_t i = common; i < rb; ++i) Add(DbfDifference::Kind::kOnlyInB, i, Code(b_, i), "");
    const std::string_view ta = a_.Tail();
    const std::string_view tb = b_.Tail();
    if (ta != tb) {
      Add(DbfDifference::Kind::kTail, 0, "", "", std::to_string(ta.size()),
          std::to_string(tb.size()));
    }
  }

 private:
  void Headers() {
    const dbf::DbfHeader& ha = a_.Header();
    const dbf::DbfHeader& hb = b_.Header();
    const auto number = [this](const char* item, uint32_t va, uint32_t vb) {
      if (va != vb) {
        Add(DbfDifference::Kind::kHeader, 0, "", item, std::to_string(va), std::to_string(vb));
      }
    };
    number("version", ha.version, hb.version);
    if (!options_.ignoreClock && (ha.year != hb.year || ha.month != hb.month || ha.day != hb.day)) {
      Add(DbfDifference::Kind::kHeader, 0, "", "date", HeaderDate(ha), HeaderDate(hb));
    }
    number("records", ha.records, hb.records);
    number("header length", ha.headerLength, hb.headerLength);
    number("record length", ha.recordLength, hb.recordLength);
    const std::string_view ra = a_.HeaderBytes().substr(kReservedAt, kReservedBytes);
    const std::string_view rb = b_.HeaderBytes().substr(kReservedAt, kReservedBytes);
    if (ra != rb) Add(DbfDifference::Kind::kHeader, 0, "", "reserved bytes", ra, rb);
    if (a_.HeaderPadding() != b_.HeaderPadding()) {
      Add(DbfDifference::Kind::kHeader, 0, "", "header padding", a_.HeaderPadding(),
          b_.HeaderPadding());
    }
  }

  void Cells(uint32_t i) {
    const std::string_view ra = a_.Record(i);
    const std::string_view rb = b_.Record(i);
    const std::string code = Code(a_, i);
    if (ra[0] != rb[0]) {
      Add(DbfDifference::Kind::kCell, i, code, kFlagItem, ra.substr(0, 1), rb.substr(0, 1));
    }
    const auto& fields = a_.Fields();
    for (size_t f = 0; f < fields.size(); ++f) {
      const FieldRole& role = roles_[f];
      if (role.clockEverywhere || (role.clockInFirst && i == 0)) continue;
      const std::string_view ca = a_.Cell(i, f);
      const std::string_view cb = b_.Cell(i, f);
      if (ca != cb) Add(DbfDifference::Kind::kCell, i, code, fields[f].name, ca, cb);
    }
  }

  std::string Code(const dbf::DbfImageView& view, uint32_t i) const {
    if (code_ < 0) return "";
    return std::string(dbf::TextOf(view.Cell(i, static_cast<size_t>(code_))));
  }

  void Add(DbfDifference::Kind kind, uint32_t record, std::string code, std::string item,
           std::string_view a = {}, std::string_view b = {}) {
    result_->status = std::max(result_->status, 1);
    ++result_->count;
    if (result_->differences.size() >= options_.keep) return;
    DbfDifference d;
    d.kind = kind;
    d.file = name_;
    d.record = record;
    d.code = std::move(code);
    d.item = std::move(item);
    d.a = std::string(a);
    d.b = std::string(b);
    result_->differences.push_back(std::move(d));
  }

  const std::string& name_;
  const dbf::DbfImageView& a_;
  const dbf::DbfImageView& b_;
  const DbfDiffOptions& options_;
  DbfDiffResult* result_;
  std::vector<FieldRole> roles_;
  int code_ = -1;
};

void Trouble(DbfDiffResult* result, std::string line) {
  result->status = 2;
  result->errors.push_back(std::move(line));
}

// Compares two images, each named in trouble lines by its label.
void ComparePair(const std::string& name, const std::string& labelA, std::string_view a,
                 const std::string& labelB, std::string_view b, const DbfDiffOptions& options,
                 DbfDiffResult* result) {
  const dbf::DbfImageView va(a);
  const dbf::DbfImageView vb(b);
  bool ok = true;
  for (const auto& [label, view] : {std::pair{&labelA, &va}, std::pair{&labelB, &vb}}) {
    if (!view->Ok()) {
      Trouble(result, *label + ": not a DBF file (" + view->Error() + ")");
      ok = false;
    }
  }
  if (!ok) return;
  if (const std::string detail = DescriptorDifference(va, vb); !detail.empty()) {
    Trouble(result, name + ": field descriptors differ (" + detail + ")");
    return;
  }
  result->filesCompared.push_back(name);
  PairComparison(name, va, vb, options, result).Run();
}

void DiffFiles(const std::string& name, const std::string& pathA, const std::string& pathB,
               const DbfDiffOptions& options, DbfDiffResult* result) {
  std::string a;
  std::string b;
  bool readable = true;
  for (const auto& [path, bytes] : {std::pair{&pathA, &a}, std::pair{&pathB, &b}}) {
    if (platform::ReadWholeFile(*path, bytes) < 0) {
      Trouble(result, *path + ": cannot be read");
      readable = false;
    }
  }
  if (readable) ComparePair(name, pathA, a, pathB, b, options, result);
}

bool IsDbfName(const std::string& name) {
  return name.size() > 4 && Upper(name.substr(name.size() - 4)) == ".DBF";
}

// The DBF files of a folder by their upper-case names; false (with the trouble noted) when the
// folder cannot be listed or two names differ only in case.
bool ListDbfFiles(const std::string& folder, std::map<std::string, std::string>* files,
                  DbfDiffResult* result) {
  std::error_code error;
  fs::directory_iterator it(fs::path(folder), error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code ignored;
    if (!it->is_regular_file(ignored)) continue;
    const std::string name = it->path().filename().string();
    if (!IsDbfName(name)) continue;
    const auto [slot, added] = files->emplace(Upper(name), name);
    if (!added) {
      Trouble(result, folder + ": " + slot->second + " and " + name + " differ only in case");
      return false;
    }
  }
  if (error) {
    Trouble(result, folder + ": cannot be listed");
    return false;
  }
  return true;
}

void DiffFolders(const std::string& a, const std::string& b, const DbfDiffOptions& options,
                 DbfDiffResult* result) {
  std::map<std::string, std::string> inA;
  std::map<std::string, std::string> inB;
  if (!ListDbfFiles(a, &inA, result) || !ListDbfFiles(b, &inB, result)) return;
  if (inA.empty() && inB.empty()) {
    Trouble(result, "no DBF file in " + a + " or " + b);
    return;
  }
  for (const auto& [key, name] : inA) {
    if (inB.count(key) == 0) Trouble(result, name + ": in " + a + " only");
  }
  for (const auto& [key, name] : inB) {
    if (inA.count(key) == 0) Trouble(result, name + ": in " + b + " only");
  }
  for (const auto& [key, name] : inA) {
    const auto other = inB.find(key);
    if (other == inB.end()) continue;
    DiffFiles(name, (fs::path(a) / name).string(), (fs::path(b) / other->second).string(), options,
              result);
  }
}

// Bytes between quotes with every byte visible (see FormatDifference).
std::string Shown(std::string_view bytes) {
  std::string out = "\"";
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<uint8_t>(bytes[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      continue;
    }
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      continue;
    }
    if (c == 0) {
      out += "\\0";
      continue;
    }
    if (c >= 0x81 && c <= 0xFE && i + 1 < bytes.size()) {
      const auto trail = static_cast<uint8_t>(bytes[i + 1]);
      if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
        const std::string utf8 = GbkToUtf8(bytes.substr(i, 2));
        if (utf8 != "?") {
          out += utf8;
          ++i;
          continue;
        }
      }
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
    out += hex;
  }
  return out + "\"";
}

void Usage(std::ostream& out) {
  out << "usage: fenwright-dbfdiff A B [--ignore-clock]\n"
         "  Compares two folders holding the six DBF files (matched by name in any case) or two\n"
         "  DBF files: headers, field descriptors and every cell. Each difference is one line:\n"
         "    FILE record N [CODE] FIELD: \"value in A\" | \"value in B\"\n"
         "  at most 50 lines, then one line counting the rest.\n"
         "  --ignore-clock   pass over what the live program takes from the machine's clock:\n"
         "                   the header dates, SJSHQ record 0's HQBSL5, SJSXX and SJSXXN record\n"
         "                   0's XXZQJC, SJSXXN's XXGXSJ, SJSPHHQ's HQTIME, SJSZHHQ record 0's\n"
         "                   HQSBSJ and its HQHTXH (each file known by its fields, not its name)\n"
         "  --help           this text\n"
         "  Exit status: 0 equal, 1 different, 2 trouble (a file missing or not a DBF, field\n"
         "  descriptors that differ, a usage error).\n";
}

}  // namespace

DbfDiffResult DiffDbfPaths(const std::string& a, const std::string& b,
                           const DbfDiffOptions& options) {
  DbfDiffResult result;
  try {
    std::error_code error;
    const fs::file_status sa = fs::status(fs::path(a), error);
    const fs::file_status sb = fs::status(fs::path(b), error);
    bool found = true;
    for (const auto& [path, status] : {std::pair{&a, &sa}, std::pair{&b, &sb}}) {
      if (!fs::exists(*status)) {
        Trouble(&result, *path + ": no such file or folder");
        found = false;
      }
    }
    if (!found) return result;
    const bool folderA = fs::is_directory(sa);
    const bool folderB = fs::is_directory(sb);
    if (folderA && folderB) {
      DiffFolders(a, b, options, &result);
    } else if (!folderA && !folderB) {
      DiffFiles(fs::path(a).filename().string(), a, b, options, &result);
    } else {
      Trouble(&result, (folderA ? a : b) + " is a folder and " + (folderA ? b : a) + " is not");
    }
  } catch (const std::exception& e) {
    Trouble(&result, "cannot compare " + a + " and " + b + ": " + e.what());
  }
  return result;
}

void DiffDbfImages(const std::string& name, std::string_view a, std::string_view b,
                   const DbfDiffOptions& options, DbfDiffResult* result) {
  ComparePair(name, name + " (first)", a, name + " (second)", b, options, result);
}

std::string FormatDifference(const DbfDifference& d) {
  std::string line = d.file;
  const std::string record = " record " + std::to_string(d.record) + " [" + d.code + "]";
  switch (d.kind) {
    case DbfDifference::Kind::kHeader: {
      const bool bytes = d.item == "reserved bytes" || d.item == "header padding";
      line += " header " + d.item + ": " + (bytes ? Shown(d.a) : d.a) + " | " +
              (bytes ? Shown(d.b) : d.b);
      break;
    }
    case DbfDifference::Kind::kCell:
      line += record + " " + d.item + ": " + Shown(d.a) + " | " + Shown(d.b);
      break;
    case DbfDifference::Kind::kOnlyInA:
      line += record + ": only in the first file";
      break;
    case DbfDifference::Kind::kOnlyInB:
      line += record + ": only in the second file";
      break;
    case DbfDifference::Kind::kTail: {
      const auto bytes = [](const std::string& n) { return n + (n == "1" ? " byte" : " bytes"); };
      line += " tail: " + bytes(d.a) + " | " + bytes(d.b) + (d.a == d.b ? ", not the same" : "");
      break;
    }
  }
  return line;
}

int RunDbfDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  DbfDiffOptions options;
  options.keep = kShownLines;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      Usage(out);
      return 0;
    }
    if (arg == "--ignore-clock") {
      options.ignoreClock = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      err << "fenwright-dbfdiff: unknown option " << arg << "\n";
      return 2;
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() != 2) {
    err << "fenwright-dbfdiff: two folders or two files are needed, not " << paths.size()
        << " (--help)\n";
    return 2;
  }
  const DbfDiffResult result = DiffDbfPaths(paths[0], paths[1], options);
  for (const DbfDifference& d : result.differences) out << FormatDifference(d) << "\n";
  if (result.count > result.differences.size()) {
    const uint64_t rest = result.count - result.differences.size();
    out << "and " << rest << (rest == 1 ? " more difference\n" : " more differences\n");
  }
  out.flush();
  for (const std::string& line : result.errors) err << "fenwright-dbfdiff: " << line << "\n";
  return result.status;
}

}  // namespace fw::tools
