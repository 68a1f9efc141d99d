// The operator's index name map (indexname.ini): short index names in the local code page that
// replace the names of the exchange's index file, keyed by index code number.
//
// Each line "code,name" gives the code number (the decimal value of at most the first 8 characters
// before the first comma) the 8 bytes after the comma as its name, zero-filled when shorter. Lines
// without a comma, starting with a comma or with code number 0 are counted but store nothing; a
// later line for the same code replaces the earlier name. A line longer than 511 characters counts
// as one line and only its first 511 characters are looked at, so the rest of it can never pass for
// a line of its own.
//
// Owned by the index info loader, which rebuilds it with every load of the index file; one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace fw::refdata {

class IndexNameMap {
 public:
  // The longest part of a line that is looked at.
  static constexpr size_t kLineLimit = 511;

  // Empties the map and reads the file at path (a configured path: a backslash is a separator).
  // Logs "opening indexname.ini file: %s " first, then either "加载成功, 文件行数 = %u, 指数个数
  // = %u" with the lines read and the names stored (repeated codes counted each time) and returns
  // 0, or "加载指数名称映射文件出错" when the file cannot be read and returns -100.
  int32_t Load(const std::string& path);

  // Parses the file's bytes into the map (emptied first) without logging; the line and index
  // counts of the last Load or Parse are kept.
  void Parse(std::string_view content);

  // When the code number has a name, copies its 8 bytes to destination and answers true;
  // otherwise leaves destination alone and answers false.
  bool Lookup(uint32_t codeNumber, char* destination) const;

  size_t Size() const { return names_.size(); }
  uint32_t LineCount() const { return lineCount_; }
  uint32_t IndexCount() const { return indexCount_; }

 private:
  void ParseLine(std::string_view line);

  std::map<uint32_t, std::array<char, 8>> names_;
  uint32_t lineCount_ = 0;
  uint32_t indexCount_ = 0;
};

}  // namespace fw::refdata
