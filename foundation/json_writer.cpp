#include "foundation/json_writer.h"

#include "foundation/gbk.h"

namespace fw {
void JsonWriter::NewLine() {
  text_ += '\n';
  text_.append(2 * hasMembers_.size(), ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (hasMembers_.empty()) return;
  if (hasMembers_.back()) text_ += ',';
  hasMembers_.back() = true;
  NewLine();
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  text_ += bracket;
  hasMembers_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool hadMembers = !hasMembers_.empty() && hasMembers_.back();
  if (!hasMembers_.empty()) hasMembers_.pop_back();
  if (hadMembers) NewLine();
  text_ += bracket;
}

void JsonWriter::Key(std::string_view name) {
  String(name);
  text_ += ": ";
  afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  text_ += '"';
  const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = 0;
    const size_t n = DecodeStrictUtf8(bytes + i, utf8.size() - i, &c);
    if (n == 0) {
      AppendUtf8(0xFFFD, &text_);
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += static_cast<char>(c);
    } else if (c < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      text_ += "\\u00";
      text_ += kHex[c >> 4];
      text_ += kHex[c & 15];
    } else {
      text_.append(utf8.data() + i, n);
    }
    i += n;
  }
  text_ += '"';
}

void JsonWriter::Int(int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::UInt(uint64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
}

}  // namespace fw
