#include "refdata/reference_file_reader.h"

#include <utility>

#include "foundation/local_clock.h"

namespace fw::refdata {

std::string ReferenceFilePath(std::string_view folder, std::string_view rootName, uint32_t date) {
  std::string path;
  path.reserve(folder.size() + rootName.size() + 16);
  path.append(folder);
  path.append(rootName);
  path.push_back('_');
  path.append(std::to_string(date));
  path.append(".xml");
  return path;
}

ReferenceFileReader::ReferenceFileReader(std::string folder, const char* rootName)
    : folder_(std::move(folder)), rootName_(rootName) {}

std::string ReferenceFileReader::TodaysPath() const {
  if (folder_.empty()) return std::string();
  return ReferenceFilePath(folder_, rootName_, LocalNow().Date());
}

int32_t ReferenceFileReader::OpenPath(const std::string& path) { return OpenFile(path) * 100; }

int32_t ReferenceFileReader::OpenText(std::string_view text) {
  if (!SetText(text)) return -200;
  return HasRoot() ? 0 : -300;
}

bool ReferenceFileReader::EnterNextSecurity() {
  if (!FindChild("Security")) return false;
  return EnterChild();
}

bool ReferenceFileReader::ReadSecurityID(char (&code)[9]) {
  if (!ReadChild("SecurityID")) return false;
  if (text_.size() < 7 || text_[6] != ' ') return false;
  size_t n = 0;
  for (; n < 8 && n < text_.size(); ++n) code[n] = text_[n];
  for (; n < 9; ++n) code[n] = '\0';
  return true;
}

bool ReferenceFileReader::ReadChild(const char* name) {
  if (!FindChild(name)) return false;
  text_.clear();
  AppendChildText(&text_);
  return true;
}

}  // namespace fw::refdata
