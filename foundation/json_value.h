// JsonValue and ParseJson: the reader of the program's own JSON files (the health status). It takes
// RFC 8259 JSON in UTF-8 and nothing else: every text that is not exactly one JSON value, with
// blanks around it, is refused with a short reason, whatever bytes it holds. Nesting is limited,
// so no input can exhaust the stack; numbers keep their value when they are integers that fit 64
// bits (the only numbers the program writes), other numbers are read and marked as such.
//
// A parsed value is a plain tree owned by its root; lookups never fail: a missing member, an index
// past the end or a value of another type answer a null value, so a reader checks each field once
// where it uses it. No shared state; one owner thread per tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fw {

class JsonValue {
 public:
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };

  // Containers nested deeper than this are refused.
  static constexpr int kMaxDepth = 64;

  Type GetType() const { return type_; }
  bool IsNull() const { return type_ == Type::kNull; }
  bool IsObject() const { return type_ == Type::kObject; }
  bool IsArray() const { return type_ == Type::kArray; }
  bool IsString() const { return type_ == Type::kString; }

  // True and *value for true or false; false for anything else.
  bool GetBool(bool* value) const;
  // True and *value for an integer that fits 64 bits; false for anything else.
  bool GetInt(int64_t* value) const;
  // The text of a string (UTF-8), nullptr for anything else.
  const std::string* GetString() const;

  // An object's member (the value of the name), or a null value.
  const JsonValue& operator[](std::string_view name) const;
  // An array's element, or a null value.
  const JsonValue& At(size_t index) const;
  // Elements of an array or members of an object; 0 for the rest.
  size_t Size() const;
  // An object's members in the order of the text.
  const std::vector<std::pair<std::string, JsonValue>>& Members() const { return members_; }

 private:
  friend class JsonParser;

  Type type_ = Type::kNull;
  bool boolean_ = false;
  bool integral_ = false;  // a number that is an integer within 64 bits
  int64_t integer_ = 0;
  std::string text_;
  std::vector<JsonValue> elements_;
  std::vector<std::pair<std::string, JsonValue>> members_;
};

// Reads `text` as one JSON value: true and *value, or false with *reason (one short line naming
// the byte offset) and *value null. An object that names a member twice is refused.
bool ParseJson(std::string_view text, JsonValue* value, std::string* reason);

}  // namespace fw
