// JsonWriter: builds one JSON document as UTF-8 text for the program's own files (the health
// status), indented two blanks per level so that a person can read it with any pager. The caller
// gives the values in order; the writer places the commas, the quotes and the escapes.
//
// One owner thread; a writer builds one document and is then dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class JsonWriter {
 public:
  // Containers and values. Inside an object every value is preceded by Key; a document is one
  // value (normally an object). Misuse (a value without its key, an unbalanced End) is a caller's
  // bug and is not checked.
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  void Key(std::string_view name);

  // A UTF-8 text. Bytes that are not UTF-8 become U+FFFD, so the document is always valid.
  void String(std::string_view utf8);
  void Int(int64_t value);
  void UInt(uint64_t value);
  void Bool(bool value);
  void Null();

  // The document so far; complete once every container is closed. Ends with a line end.
  std::string Text() const { return text_ + "\n"; }

 private:
  void Open(char bracket);
  void Close(char bracket);
  // Separator and indentation before a value (nothing after a key).
  void BeforeValue();
  void NewLine();

  std::string text_;
  std::vector<bool> hasMembers_;  // per open container: whether it holds a value yet
  bool afterKey_ = false;
};

}  // namespace fw
