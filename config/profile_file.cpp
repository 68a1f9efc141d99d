#include "config/profile_file.h"

#include "foundation/ini_file.h"
#include "foundation/number_text.h"
#include "foundation/platform/platform.h"
#include "foundation/text.h"

namespace fw::config {

int32_t ProfileFile::Load(const std::string& path) {
  entries_.clear();
  std::string content;
  if (int32_t rc = platform::ReadWholeFile(path, &content); rc < 0) return rc;

  std::string section;
  size_t position = 0;
  while (position < content.size()) {
    size_t end = position;
    while (end < content.size() && content[end] != '\r' && content[end] != '\n') ++end;
    std::string_view line(content.data() + position, end - position);
    position = end + 1;
    line = Trim(line.substr(0, line.find('\0')));
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      if (close != std::string_view::npos) section = Trim(line.substr(1, close - 1));
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, equals));
    if (key.empty()) continue;
    const std::string_view value =
        SplitIniValue(line.substr(equals + 1), IniComments::kAfterBlank).value;
    entries_.push_back({section, std::string(key), std::string(value)});
  }
  return 1;
}

bool ProfileFile::Find(std::string_view section, std::string_view key, std::string* value) const {
  for (const Entry& e : entries_) {
    if (IniNameEquals(e.section, section) && IniNameEquals(e.key, key)) {
      *value = e.value;
      return true;
    }
  }
  return false;
}

std::string ProfileFile::GetText(std::string_view section, std::string_view key,
                                 std::string_view defaultValue, size_t maxLength) const {
  std::string value;
  if (!Find(section, key, &value)) value = defaultValue;
  value.resize(GbkCutLength(value, maxLength));
  return value;
}

int32_t ProfileFile::GetNumber(std::string_view section, std::string_view key,
                               int32_t defaultValue) const {
  std::string value;
  return Find(section, key, &value) ? ParseInt32(value) : defaultValue;
}

bool ProfileFile::GetFlag(std::string_view section, std::string_view key,
                          std::string_view defaultText) const {
  std::string value;
  if (!Find(section, key, &value)) value = defaultText;
  return value.compare(0, 4, "true") == 0;
}

}  // namespace fw::config
