#include "tools/dbf_dump.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <ostream>

#include "dbf/dbf_image_view.h"
#include "foundation/gbk.h"
#include "foundation/platform/platform.h"

namespace fw::tools {
namespace {

using dbf::CellState;

// A cell as the reader of the output sees it: its text (a number's exactly as the cell holds it),
// and in JSON whether that text is a number or null rather than a string.
struct Shown {
  enum class As { kString, kNumber, kNull };
  As as = As::kString;
  std::string text;  // UTF-8
};

std::string IsoDate(uint32_t yyyymmdd) {
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", yyyymmdd / 10000, yyyymmdd / 100 % 100,
                yyyymmdd % 100);
  return text;
}

// A number's text as JSON allows it: a digit before the point, no leading zeros.
std::string JsonNumber(std::string_view t) {
  std::string out;
  if (!t.empty() && t[0] == '-') {
    out += '-';
    t.remove_prefix(1);
  }
  const size_t point = t.find('.');
  std::string_view whole = t.substr(0, point);
  while (whole.size() > 1 && whole[0] == '0') whole.remove_prefix(1);
  out += whole.empty() ? "0" : std::string(whole);
  if (point != std::string_view::npos) out += t.substr(point);
  return out;
}

Shown ShowCell(char type, std::string_view cell) {
  Shown shown;
  if (type == 'N' || type == 'F') {
    const dbf::NumberCell number = dbf::NumberOf(cell);
    if (number.state == CellState::kEmpty) return {Shown::As::kNull, ""};
    if (number.state == CellState::kValue) return {Shown::As::kNumber, std::string(number.text)};
    shown.text = GbkToUtf8(number.text);
  } else if (type == 'D') {
    const dbf::DateCell date = dbf::DateOf(cell);
    if (date.state == CellState::kEmpty) return {Shown::As::kNull, ""};
    if (date.state == CellState::kValue) return {Shown::As::kString, IsoDate(date.date)};
    shown.text = GbkToUtf8(date.text);
  } else {
    shown.text = GbkToUtf8(dbf::TextOf(cell));
  }
  return shown;
}

void AppendCsv(std::string_view text, std::string* line) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    line->append(text);
    return;
  }
  *line += '"';
  for (char c : text) {
    if (c == '"') *line += '"';
    *line += c;
  }
  *line += '"';
}

void AppendJsonString(std::string_view text, std::string* out) {
  *out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') {
      *out += '\\';
      *out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      *out += escape;
    } else {
      *out += c;
    }
  }
  *out += '"';
}

void WriteCsv(const dbf::DbfImageView& view, std::ostream& out) {
  const auto& fields = view.Fields();
  std::string line;
  for (size_t f = 0; f < fields.size(); ++f) {
    if (f > 0) line += ',';
    AppendCsv(fields[f].name, &line);
  }
  line += "\r\n";
  out << line;
  for (uint32_t i = 0; i < view.RecordCount(); ++i) {
    if (view.IsDeleted(i)) continue;
    line.clear();
    for (size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) line += ',';
      AppendCsv(ShowCell(fields[f].type, view.Cell(i, f)).text, &line);
    }
    line += "\r\n";
    out << line;
  }
}

void WriteJson(const std::string& name, const dbf::DbfImageView& view, std::ostream& out) {
  const auto& fields = view.Fields();
  std::string text = "{\n  \"file\": ";
  AppendJsonString(name, &text);
  const uint32_t date = view.Header().Date();
  text += ",\n  \"date\": " + (date == 0 ? std::string("null") : "\"" + IsoDate(date) + "\"");
  text += ",\n  \"recordCount\": " + std::to_string(view.RecordCount()) + ",\n  \"fields\": [";
  for (size_t f = 0; f < fields.size(); ++f) {
    text += f == 0 ? "\n    {\"name\": " : ",\n    {\"name\": ";
    AppendJsonString(fields[f].name, &text);
    text += ", \"type\": \"";
    text += fields[f].type;
    text += "\", \"length\": " + std::to_string(fields[f].length) +
            ", \"decimals\": " + std::to_string(fields[f].decimals) + "}";
  }
  text += "\n  ],\n  \"records\": [";
  out << text;
  bool first = true;
  for (uint32_t i = 0; i < view.RecordCount(); ++i) {
    if (view.IsDeleted(i)) continue;
    text = first ? "\n    {" : ",\n    {";
    first = false;
    for (size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) text += ", ";
      AppendJsonString(fields[f].name, &text);
      text += ": ";
      const Shown cell = ShowCell(fields[f].type, view.Cell(i, f));
      switch (cell.as) {
        case Shown::As::kNull:
          text += "null";
          break;
        case Shown::As::kNumber:
          text += JsonNumber(cell.text);
          break;
        case Shown::As::kString:
          AppendJsonString(cell.text, &text);
          break;
      }
    }
    text += '}';
    out << text;
  }
  out << (first ? "]\n}\n" : "\n  ]\n}\n");
}

void Usage(std::ostream& out) {
  out << "usage: fenwright-dbfdump FILE [--csv | --json]\n"
         "  Prints the records of one DBF file in UTF-8 (GBK texts converted); records flagged\n"
         "  deleted are left out.\n"
         "  --csv    (default) RFC 4180 CSV with a header line of field names\n"
         "  --json   one JSON document: file name, header date, record count, fields (type,\n"
         "           length, decimals) and the records as objects; numbers as JSON numbers,\n"
         "           blank numbers and empty dates null, dates as YYYY-MM-DD\n"
         "  --help   this text\n"
         "  Exit status: 0, or 2 for a usage error or a file that cannot be read or is not a "
         "DBF.\n";
}

}  // namespace

std::string DumpDbf(const std::string& name, std::string_view image, DumpFormat format,
                    std::ostream& out) {
  const dbf::DbfImageView view(image);
  if (!view.Ok()) return view.Error();
  if (format == DumpFormat::kCsv) {
    WriteCsv(view, out);
  } else {
    WriteJson(name, view, out);
  }
  return "";
}

int RunDbfDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> files;
  std::vector<DumpFormat> formats;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      Usage(out);
      return 0;
    }
    if (arg == "--csv") {
      formats.push_back(DumpFormat::kCsv);
    } else if (arg == "--json") {
      formats.push_back(DumpFormat::kJson);
    } else if (arg.size() > 1 && arg[0] == '-') {
      err << "fenwright-dbfdump: unknown option " << arg << "\n";
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 1) {
    err << "fenwright-dbfdump: one file is needed, not " << files.size() << " (--help)\n";
    return 2;
  }
  if (formats.size() > 1) {
    err << "fenwright-dbfdump: one of --csv and --json, once\n";
    return 2;
  }
  const std::string& path = files[0];
  std::string image;
  if (platform::ReadWholeFile(path, &image) < 0) {
    err << "fenwright-dbfdump: " << path << ": cannot be read\n";
    return 2;
  }
  std::string name;
  try {
    name = std::filesystem::path(path).filename().string();
  } catch (const std::exception&) {
    name = path;
  }
  const std::string error =
      DumpDbf(name, image, formats.empty() ? DumpFormat::kCsv : formats[0], out);
  if (!error.empty()) {
    err << "fenwright-dbfdump: " << path << ": not a DBF file (" << error << ")\n";
    return 2;
  }
  out.flush();
  return 0;
}

}  // namespace fw::tools
