#include "refdata/index_name_map.h"

#include <cstring>

#include "foundation/platform/platform.h"
#include "foundation/run_log.h"
#include "refdata/code_number.h"

namespace fw::refdata {

int32_t IndexNameMap::Load(const std::string& path) {
  names_.clear();
  lineCount_ = 0;
  indexCount_ = 0;
  WriteLog(0, "opening indexname.ini file: %s ", path.c_str());
  std::string content;
  if (path.empty() || platform::ReadWholeFile(path, &content) < 0) {
    WriteLog(0, "加载指数名称映射文件出错");
    return -100;
  }
  Parse(content);
  WriteLog(0, "加载成功, 文件行数 = %u, 指数个数 = %u", lineCount_, indexCount_);
  return 0;
}

void IndexNameMap::Parse(std::string_view content) {
  names_.clear();
  lineCount_ = 0;
  indexCount_ = 0;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    ParseLine(content.substr(start, end - start));
    start = end + 1;
  }
}

void IndexNameMap::ParseLine(std::string_view line) {
  ++lineCount_;
  // A text-mode read on Windows drops the carriage return of a CRLF line; do the same everywhere.
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > kLineLimit) line = line.substr(0, kLineLimit);
  const size_t comma = line.find(',');
  if (comma == std::string_view::npos || comma == 0) return;
  const uint32_t code = CodeNumber(line.data(), comma < 8 ? comma : 8);
  if (code == 0) return;
  ++indexCount_;
  std::array<char, 8> name{};
  const std::string_view text = line.substr(comma + 1);
  for (size_t i = 0; i < name.size() && i < text.size() && text[i] != '\0'; ++i) name[i] = text[i];
  names_[code] = name;
}

bool IndexNameMap::Lookup(uint32_t codeNumber, char* destination) const {
  auto it = names_.find(codeNumber);
  if (it == names_.end()) return false;
  std::memcpy(destination, it->second.data(), it->second.size());
  return true;
}

}  // namespace fw::refdata
