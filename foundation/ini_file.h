// MIniFile: the foundation's own ini-file class. Open reads a whole file into an in-memory model of
// sections, keys and comments; the caller reads and changes values; Close writes the complete model
// back, in the class's own layout, when something was changed. Texts are GBK bytes; the
// full-width comment marker "；" is only recognised on a character boundary.
//
// The model keeps the file's order: sections in file order (section 0, nameless, holds the keys
// that stand before the first header), the keys of a section in insertion order, and comments
// attached either to a section or to a key. Names hold at most 31 bytes and values 99; longer texts
// are cut on entry. Each of the four stores (sections, keys, comments, comment text bytes) holds
// at most 20000 elements; an append beyond that fails with kArrayFull.
//
// A value is written as it stands when it reads back so; otherwise (blanks at its ends, a comment
// marker inside, quotes at its start) it is written in quotes, the ones it was read with when it
// had some, so that what is written is always what is read again.
//
// The write-back goes to "<path>.new", which is then renamed over the file, so a failure at any
// step leaves the old file as it was.
//
// One object belongs to one thread; objects are independent of each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Name comparison of the ini files: ASCII letters match without regard to case; the second byte of
// a GBK double-byte character is compared exactly, so that two different Chinese names never match.
bool IniNameEquals(std::string_view a, std::string_view b);

// Where a comment may begin behind a value: at any ";" or "；" (MIniFile's own reading), or only at
// one that follows a blank (the configuration's profile reading, which keeps "a;b" whole).
enum class IniComments { kAnyMarker, kAfterBlank };

struct IniValueText {
  std::string_view value;
  std::string_view comment;
  char quote;  // the quote that enclosed the value, '\0' for none
};

// A key line's text after its "=", split into value and comment. A value that begins with a double
// or single quote, and whose matching quote is followed by nothing but blanks, or by blanks and a
// comment marker, is the text between the quotes as it stands. Any other value ends before the
// first comment marker that `comments` allows and loses its blanks at both ends. The comment is
// what follows the marker, without blanks at its ends.
IniValueText SplitIniValue(std::string_view text, IniComments comments);

// How many leading bytes of a value the write-back can carry so that both readings give them back
// whole: at most 99 bytes, up to a NUL, never splitting a character. A value that reads back
// neither plainly nor in either kind of quotes (it holds a line break, or both quotes each followed
// by a blank and a comment marker) keeps only its longest prefix that does.
size_t IniWritableLength(std::string_view value);

class MIniFile {
 public:
  // Reading modes of Open.
  static constexpr int kModeSimple = 0;    // key up to a blank or "=", value up to a blank or ";"
  static constexpr int kModeComments = 1;  // keeps comments after values, blanks inside values

  static constexpr size_t kMaxNameLength = 31;
  static constexpr size_t kMaxValueLength = 99;
  static constexpr size_t kMaxElements = 20000;  // per store, comment text bytes included

  MIniFile();
  ~MIniFile();  // calls Close
  MIniFile(const MIniFile&) = delete;
  MIniFile& operator=(const MIniFile&) = delete;

  // The path a name is read from: a name without any "\" or "/" lies beside the running
  // executable; any other path is used as it stands.
  static std::string ResolvePath(std::string_view path);

  // Reads the file into a fresh model (kModeComments, or any other value for the simple mode).
  // 1 on success; a file that was open before is then closed first (written back if changed).
  // On failure the object is left exactly as it was: the negative code of the failed open or
  // read, or kArrayFull when the file holds more than a store can take (nothing is kept, so a
  // later write-back can never drop what did not fit).
  int32_t Open(std::string_view path, int mode);

  // Writes the model back when it was changed since Open, then empties it (section 0 only) so the
  // object can be opened again. 1, or the negative code of the failed step of the write-back
  // (kErrNotInitialized when changes were made without an open file); the model is emptied in
  // every case.
  int32_t Close();

  // Sets the value of the key in the first section of that name (appended when there is none),
  // appending the key at the end of the section when it is new. A non-empty comment replaces the
  // key's first comment, or is added as its comment. Names are cut to their length and the value
  // to IniWritableLength before anything is compared or stored. 1; kErrBadArgument for an empty key
  // name; kArrayFull when a store is full (then nothing at all is changed).
  int32_t WriteString(std::string_view section, std::string_view key, std::string_view value,
                      std::string_view comment = {});
  // WriteString of the decimal text ("%d").
  int32_t WriteInt(std::string_view section, std::string_view key, int32_t value,
                   std::string_view comment = {});
  // WriteString of "true" for the value 1, "false" for any other value.
  int32_t WriteBool(std::string_view section, std::string_view key, int32_t flag,
                    std::string_view comment = {});

  // The value of the first key of that name in the first section of that name that holds one
  // (names compared with IniNameEquals, after cutting them as WriteString does), or the default.
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const;
  // The same look-up limited to the section at an index.
  std::string GetSectionString(int32_t section, std::string_view key,
                               std::string_view defaultValue) const;

  // Sections including section 0, and the name at an index ("" out of range).
  int32_t SectionCount() const { return static_cast<int32_t>(sections_.size()); }
  std::string SectionName(int32_t section) const;

  // Read-only walk over the model, for inspection: keys of a section in chain order, their
  // values, and the comments of a section or of a key in their order. Out of range: 0 or empty.
  int32_t KeyCount(int32_t section) const;
  std::string KeyName(int32_t section, int32_t n) const;
  std::string KeyValue(int32_t section, int32_t n) const;
  std::vector<std::string> SectionComments(int32_t section) const;
  std::vector<std::string> KeyComments(int32_t section, int32_t n) const;

  bool IsModified() const { return modified_; }
  // The full path remembered by the last successful Open ("" when none).
  const std::string& Path() const { return path_; }

 private:
  struct Section {
    char name[kMaxNameLength + 1];
    int32_t firstKey;  // -1 when none
    int32_t lastKey;   // end of the chain, so that appends need no walk
  };
  struct Key {
    char name[kMaxNameLength + 1];
    char value[kMaxValueLength + 1];
    char quote;       // the quote the value was read in and is written in again; '\0' for none
    int32_t nextKey;  // -1 at the end of the chain
  };
  enum : uint8_t { kSectionComment = 0, kKeyComment = 1 };
  struct Comment {
    uint8_t kind;
    int32_t owner;   // section or key index
    int32_t offset;  // of the NUL-terminated text in pool_
  };

  void Reset();
  void ParseLine(std::string_view line, int mode, int32_t* commentKey, int32_t* current);
  int32_t AppendSection(std::string_view name);
  int32_t AppendKey(int32_t section, std::string_view name, std::string_view value);
  int32_t AppendComment(uint8_t kind, int32_t owner, std::string_view text);
  void CompactPool();
  int32_t FindSection(std::string_view name) const;
  int32_t FindKey(int32_t section, std::string_view name) const;
  int32_t KeyAt(int32_t section, int32_t n) const;
  std::vector<std::string> CommentsOf(uint8_t kind, int32_t owner) const;
  std::string Render() const;
  int32_t WriteBack() const;

  std::vector<Section> sections_;
  std::vector<Key> keys_;
  std::vector<Comment> comments_;
  std::vector<char> pool_;
  bool storeFull_ = false;  // an append failed while reading
  std::string path_;
  bool modified_ = false;
};

}  // namespace fw
