// ProfileFile: the plain reader of the configuration ini file at start, with the look-up rules of
// the platform's profile functions, implemented once for every OS.
//
// Rules: section and key names match without regard to case (GBK-aware, as MIniFile); blanks
// around names and values are not part of them; a value enclosed in a matching pair of double or
// single quotes is what stands between them; when several sections or keys share a name, the
// first key found in file order wins; a missing file or key gives the caller's default. Any other
// value ends before a ";" or "；" that follows a blank: that is how MIniFile writes a comment
// behind a value, and such a comment must never become part of the value on the next start
// (SplitIniValue with IniComments::kAfterBlank).
//
// A plain value, read once and then only looked up; one owner thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw::config {

class ProfileFile {
 public:
  // Reads and indexes the file. 1, or the negative code of the failed read (the look-ups then
  // answer with their defaults).
  int32_t Load(const std::string& path);

  // Whether the key exists, and its value when it does.
  bool Find(std::string_view section, std::string_view key, std::string* value) const;
  // The value (or the default), cut to at most maxLength bytes without splitting a character.
  std::string GetText(std::string_view section, std::string_view key, std::string_view defaultValue,
                      size_t maxLength) const;
  // The decimal number at the start of the value, with its sign (ParseInt32: no digit gives 0,
  // beyond the int32 range the nearest limit); the default when the key is missing.
  int32_t GetNumber(std::string_view section, std::string_view key, int32_t defaultValue) const;
  // True exactly when the value (or the default text) begins with "true", compared with case.
  bool GetFlag(std::string_view section, std::string_view key, std::string_view defaultText) const;

 private:
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  std::vector<Entry> entries_;
};

}  // namespace fw::config
