#include "foundation/json_value.h"

#include <algorithm>

#include "foundation/gbk.h"

namespace fw {
namespace {

const JsonValue& NullValue() {
  static const JsonValue* null = new JsonValue();
  return *null;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// Recursive descent over the text; the depth limit bounds the recursion.
class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  bool Document(JsonValue* value) {
    SkipBlanks();
    if (!Value(value, 0)) return false;
    SkipBlanks();
    if (pos_ != text_.size()) return Fail("text after the value");
    return true;
  }

  const std::string& Reason() const { return reason_; }

 private:
  bool Fail(const char* what) {
    if (reason_.empty()) reason_ = std::string(what) + " at byte " + std::to_string(pos_);
    return false;
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return text_[pos_]; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) ++pos_;
  }
  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return Fail("unknown word");
    pos_ += word.size();
    return true;
  }

  bool Value(JsonValue* value, int depth) {
    if (AtEnd()) return Fail("missing value");
    switch (Peek()) {
      case '{':
        return Object(value, depth + 1);
      case '[':
        return Array(value, depth + 1);
      case '"':
        value->type_ = JsonValue::Type::kString;
        return String(&value->text_);
      case 't':
        value->type_ = JsonValue::Type::kBool;
        value->boolean_ = true;
        return Literal("true");
      case 'f':
        value->type_ = JsonValue::Type::kBool;
        return Literal("false");
      case 'n':
        return Literal("null");
      default:
        return Number(value);
    }
  }

  bool Object(JsonValue* value, int depth) {
    if (depth > JsonValue::kMaxDepth) return Fail("nesting too deep");
    value->type_ = JsonValue::Type::kObject;
    ++pos_;
    SkipBlanks();
    if (!AtEnd() && Peek() == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipBlanks();
      if (AtEnd() || Peek() != '"') return Fail("expected a member name");
      std::string name;
      if (!String(&name)) return false;
      SkipBlanks();
      if (AtEnd() || Peek() != ':') return Fail("expected ':'");
      ++pos_;
      SkipBlanks();
      value->members_.emplace_back(std::move(name), JsonValue());
      if (!Value(&value->members_.back().second, depth)) return false;
      SkipBlanks();
      if (AtEnd()) return Fail("unterminated object");
      if (Peek() == '}') break;
      if (Peek() != ',') return Fail("expected ',' or '}'");
      ++pos_;
    }
    // Sorted names find a repeated one in n log n, however large the object.
    std::vector<std::string_view> names;
    names.reserve(value->members_.size());
    for (const auto& member : value->members_) names.push_back(member.first);
    std::sort(names.begin(), names.end());
    if (std::adjacent_find(names.begin(), names.end()) != names.end()) {
      return Fail("a member named twice in the object ending");
    }
    ++pos_;
    return true;
  }

  bool Array(JsonValue* value, int depth) {
    if (depth > JsonValue::kMaxDepth) return Fail("nesting too deep");
    value->type_ = JsonValue::Type::kArray;
    ++pos_;
    SkipBlanks();
    if (!AtEnd() && Peek() == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipBlanks();
      value->elements_.emplace_back();
      if (!Value(&value->elements_.back(), depth)) return false;
      SkipBlanks();
      if (AtEnd()) return Fail("unterminated array");
      if (Peek() == ']') break;
      if (Peek() != ',') return Fail("expected ',' or ']'");
      ++pos_;
    }
    ++pos_;
    return true;
  }

  // Four hex digits after "\u".
  bool Hex4(uint32_t* unit) {
    if (text_.size() - pos_ < 4) return Fail("short \\u escape");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const int h = HexValue(text_[pos_ + static_cast<size_t>(i)]);
      if (h < 0) return Fail("bad \\u escape");
      v = v << 4 | static_cast<uint32_t>(h);
    }
    pos_ += 4;
    *unit = v;
    return true;
  }

  bool Escape(std::string* out) {
    if (AtEnd()) return Fail("unterminated string");
    const char c = text_[pos_++];
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out->push_back(c);
        return true;
      case 'b':
        out->push_back('\b');
        return true;
      case 'f':
        out->push_back('\f');
        return true;
      case 'n':
        out->push_back('\n');
        return true;
      case 'r':
        out->push_back('\r');
        return true;
      case 't':
        out->push_back('\t');
        return true;
      case 'u':
        break;
      default:
        return Fail("bad escape");
    }
    uint32_t unit = 0;
    if (!Hex4(&unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return Fail("lone low surrogate");
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      uint32_t low = 0;
      if (text_.substr(pos_, 2) != "\\u") return Fail("lone high surrogate");
      pos_ += 2;
      if (!Hex4(&low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Fail("lone high surrogate");
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(unit, out);
    return true;
  }

  bool String(std::string* out) {
    ++pos_;  // the opening quote
    const auto* bytes = reinterpret_cast<const uint8_t*>(text_.data());
    for (;;) {
      if (AtEnd()) return Fail("unterminated string");
      const char c = Peek();
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c == '\\') {
        ++pos_;
        if (!Escape(out)) return false;
        continue;
      }
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
      uint32_t codePoint = 0;
      const size_t n = DecodeStrictUtf8(bytes + pos_, text_.size() - pos_, &codePoint);
      if (n == 0) return Fail("not UTF-8");
      out->append(text_.data() + pos_, n);
      pos_ += n;
    }
  }

  bool Number(JsonValue* value) {
    bool negative = false;
    if (!AtEnd() && Peek() == '-') {
      negative = true;
      ++pos_;
    }
    if (AtEnd() || !IsDigit(Peek())) return Fail("unexpected character");
    // The magnitude, counted down from zero so that the most negative integer fits too.
    bool fits = true;
    int64_t v = 0;
    if (Peek() == '0') {
      ++pos_;
    } else {
      while (!AtEnd() && IsDigit(Peek())) {
        const int digit = Peek() - '0';
        if (v < (INT64_MIN + digit) / 10) fits = false;
        if (fits) v = v * 10 - digit;
        ++pos_;
      }
    }
    bool integral = true;
    if (!AtEnd() && Peek() == '.') {
      integral = false;
      ++pos_;
      if (AtEnd() || !IsDigit(Peek())) return Fail("digit expected");
      while (!AtEnd() && IsDigit(Peek())) ++pos_;
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      integral = false;
      ++pos_;
      if (!AtEnd() && (Peek() == '+' || Peek() == '-')) ++pos_;
      if (AtEnd() || !IsDigit(Peek())) return Fail("digit expected");
      while (!AtEnd() && IsDigit(Peek())) ++pos_;
    }
    if (!negative && v == INT64_MIN) fits = false;
    value->type_ = JsonValue::Type::kNumber;
    value->integral_ = integral && fits;
    if (value->integral_) value->integer_ = negative ? v : -v;
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::string reason_;
};

bool JsonValue::GetBool(bool* value) const {
  if (type_ != Type::kBool) return false;
  *value = boolean_;
  return true;
}

bool JsonValue::GetInt(int64_t* value) const {
  if (type_ != Type::kNumber || !integral_) return false;
  *value = integer_;
  return true;
}

const std::string* JsonValue::GetString() const {
  return type_ == Type::kString ? &text_ : nullptr;
}

const JsonValue& JsonValue::operator[](std::string_view name) const {
  for (const auto& member : members_) {
    if (member.first == name) return member.second;
  }
  return NullValue();
}

const JsonValue& JsonValue::At(size_t index) const {
  return index < elements_.size() ? elements_[index] : NullValue();
}

size_t JsonValue::Size() const {
  if (type_ == Type::kArray) return elements_.size();
  if (type_ == Type::kObject) return members_.size();
  return 0;
}

bool ParseJson(std::string_view text, JsonValue* value, std::string* reason) {
  JsonParser parser(text);
  JsonValue parsed;
  if (!parser.Document(&parsed)) {
    *value = JsonValue();
    if (reason != nullptr) *reason = parser.Reason();
    return false;
  }
  *value = std::move(parsed);
  if (reason != nullptr) reason->clear();
  return true;
}

}  // namespace fw
