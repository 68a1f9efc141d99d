// XmlDocument: one-pass element index over an in-memory document, and the cursor walk over it.
//
// The parse keeps no stack of its own and never recurses: the element whose children are being
// read is `open`, its parent is found through the index, and the last child linked so far waits in
// the open element's `reserved` field (zeroed again when the element closes). A document nested a
// million levels deep therefore costs index records, not call stack.
#include "foundation/xml_document.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "foundation/gbk.h"
#include "foundation/platform/platform.h"
#include "foundation/text.h"

namespace fw {
namespace {

// Offsets are signed 32-bit values, and closeEnd + 1 must still fit.
constexpr size_t kMaxTextLength = 0x7FFFFFF0u;
// Messages are held to the size of the buffer they have always been formatted into.
constexpr size_t kMaxErrorLength = 299;

constexpr uint8_t kBlank = 1;
constexpr uint8_t kDelimiter = 2;  // a single-character token

struct CharClasses {
  uint8_t of[256] = {};
  constexpr CharClasses() {
    for (const char c : {' ', '\t', '\n', '\r'}) of[static_cast<uint8_t>(c)] = kBlank;
    for (const char c : {'<', '>', '=', '\\', '/', '?', '!'})
      of[static_cast<uint8_t>(c)] = kDelimiter;
  }
};
constexpr CharClasses kClasses;

inline uint8_t ClassOf(char c) { return kClasses.of[static_cast<uint8_t>(c)]; }

// A token of a tag: [start, end). Blanks before it are skipped; a quoted token runs to its
// closing quote (or to the end of the text when that is missing); a delimiter is a token of its
// own; anything else runs up to the next blank or delimiter.
struct Token {
  size_t start;
  size_t end;
};

bool NextToken(std::string_view text, size_t from, Token* token) {
  size_t p = from;
  const size_t n = text.size();
  while (p < n && IsBlank(text[p])) ++p;
  if (p >= n) return false;
  token->start = p;
  const char c = text[p];
  if (c == '"' || c == '\'') {
    const size_t close = text.find(c, p + 1);
    token->end = close == std::string_view::npos ? n : close + 1;
  } else if (ClassOf(c) == kDelimiter) {
    token->end = p + 1;
  } else {
    ++p;
    while (p < n && ClassOf(text[p]) == 0) ++p;
    token->end = p;
  }
  return true;
}

// Where a node that opens with "<?" or "<!" ends (one past its last byte), npos when its
// terminator is missing. `mark` is the offset of the "?" or "!".
size_t SkipNode(std::string_view text, size_t mark) {
  const auto after = [&](std::string_view terminator, size_t from) {
    const size_t at = text.find(terminator, from);
    return at == std::string_view::npos ? at : at + terminator.size();
  };
  if (text[mark] == '?') return after("?>", mark + 1);
  const char kind = mark + 1 < text.size() ? text[mark + 1] : '\0';
  if (kind == '[') return after("]]>", mark + 2);
  if (kind == '-') return after("-->", mark + 2);
  // A declaration such as <!DOCTYPE x [ <!ENTITY y "z"> ]>: brackets nest, quotes hide.
  int depth = 0;
  for (size_t p = mark + 1; p < text.size(); ++p) {
    const char c = text[p];
    if (c == '"' || c == '\'') {
      p = text.find(c, p + 1);
      if (p == std::string_view::npos) return p;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      if (depth > 0) --depth;
    } else if (c == '>' && depth == 0) {
      return p + 1;
    }
  }
  return std::string_view::npos;
}

// The wanted name counts up to its end or its first space, "=", "/" or "[".
std::string_view WantedName(const char* name) {
  const size_t length = std::strcspn(name, " =/[");
  return {name, length};
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes the reference that starts with the "&" at content[0]: appends its replacement and
// returns the bytes it spans, or returns 0 (nothing appended) when it is not one we know.
size_t DecodeReference(std::string_view content, std::string* out) {
  struct Entity {
    std::string_view text;
    char value;
  };
  static constexpr Entity kEntities[] = {
      {"&lt;", '<'}, {"&amp;", '&'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};
  if (content.size() < 3) return 0;
  if (content[1] != '#') {
    for (const Entity& e : kEntities) {
      if (content.substr(0, e.text.size()) == e.text) {
        out->push_back(e.value);
        return e.text.size();
      }
    }
    return 0;
  }
  const bool hex = content[2] == 'x';
  const size_t firstDigit = hex ? 3 : 2;
  // The ";" may stand at most seven characters after the first digit.
  const size_t last = std::min(content.size(), firstDigit + 8);
  uint32_t value = 0;
  size_t p = firstDigit;
  for (; p < last; ++p) {
    const int digit = hex ? HexValue(content[p])
                          : (content[p] >= '0' && content[p] <= '9' ? content[p] - '0' : -1);
    if (digit < 0) break;
    value = value * (hex ? 16u : 10u) + static_cast<uint32_t>(digit);
  }
  if (p == firstDigit || p >= last || content[p] != ';') return 0;
  // Only references that name a character are decoded: NUL, a lone surrogate or a value beyond
  // U+10FFFF would put bytes into the text that no reader of it can use.
  if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  AppendUtf8(value, out);
  return p + 1;
}

}  // namespace

XmlDocument::XmlDocument() {
  capacity_ = 8;
  records_.reset(new ElementRecord[static_cast<size_t>(capacity_)]);
  ResetIndex();
}

XmlDocument::~XmlDocument() = default;

void XmlDocument::ResetIndex() {
  At(0) = ElementRecord{};
  nextFree_ = 1;
  parentPos_ = currentPos_ = childPos_ = 0;
}

bool XmlDocument::SetText(const char* text) {
  return SetText(text == nullptr ? std::string_view() : std::string_view(text));
}

bool XmlDocument::SetText(std::string_view text) {
  // The document is a NUL-terminated string: it ends at its first NUL.
  const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
  if (nul != nullptr)
    text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
  try {
    text_.assign(text.data(), text.size());
  } catch (const std::bad_alloc&) {
    text_.clear();
    text_.shrink_to_fit();
    ResetIndex();
    errorText_ = "Not enough memory for the document";
    return false;
  }
  return Index();
}

bool XmlDocument::SetText(std::string&& text) {
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  text_ = std::move(text);
  return Index();
}

bool XmlDocument::LoadFile(const std::string& path) {
  std::string content;
  int32_t read = -1;
  try {
    read = platform::ReadWholeFile(path, &content);
  } catch (const std::bad_alloc&) {
    read = -1;
  }
  if (read < 0 || content.empty()) {
    SetText(nullptr);
    return false;
  }
  SetText(std::move(content));
  return errorText_.empty();
}

int32_t XmlDocument::OpenFile(const char* path) {
  if (path == nullptr || path[0] == '\0') return -1;
  if (!LoadFile(path)) return -2;
  if (!HasRoot()) return -3;
  currentPos_ = 0;
  childPos_ = 0;
  return 0;
}

bool XmlDocument::HasRoot() const { return nextFree_ >= 1 && At(0).firstChild != 0; }

int32_t XmlDocument::TakeRecord(int32_t parent) {
  if (nextFree_ == capacity_) {
    // Grow by half; the old records move in one copy.
    const int32_t grown = capacity_ + capacity_ / 2;
    std::unique_ptr<ElementRecord[]> bigger(new ElementRecord[static_cast<size_t>(grown)]);
    std::memcpy(bigger.get(), records_.get(),
                static_cast<size_t>(capacity_) * sizeof(ElementRecord));
    records_ = std::move(bigger);
    capacity_ = grown;
  }
  const int32_t e = nextFree_++;
  At(e) = ElementRecord{0, 0, 0, 0, 0, parent, 0, 0};
  return e;
}

std::string_view XmlDocument::NameToken(int32_t element) const {
  Token token{};
  if (!NextToken(text_, static_cast<size_t>(At(element).tagStart) + 1, &token)) return {};
  return std::string_view(text_).substr(token.start, token.end - token.start);
}

bool XmlDocument::Fail(const char* format, int32_t element) {
  const std::string_view pattern(format);
  const size_t slot = pattern.find("%s");
  std::string_view name = element > 0 ? NameToken(element) : std::string_view();
  if (slot == std::string_view::npos) {
    errorText_.assign(pattern);
  } else {
    // A long element name gives way so that the message stays within kMaxErrorLength bytes.
    const size_t fixed = pattern.size() - 2;
    if (fixed + name.size() > kMaxErrorLength) name = name.substr(0, kMaxErrorLength - fixed);
    errorText_.assign(pattern.substr(0, slot));
    errorText_.append(name);
    errorText_.append(pattern.substr(slot + 2));
  }
  ResetIndex();
  return false;
}

bool XmlDocument::Index() {
  errorText_.clear();
  ResetIndex();
  if (text_.size() > kMaxTextLength) {
    errorText_ = "Document too large";
    return false;
  }
  try {
    const size_t wanted = text_.size() / 64 + 8;
    if (static_cast<size_t>(capacity_) < wanted) {
      records_.reset(new ElementRecord[wanted]);
      capacity_ = static_cast<int32_t>(wanted);
    }
    ResetIndex();

    const std::string_view text(text_);
    const char* const base = text.data();
    const size_t length = text.size();
    int32_t open = 0;  // the element whose children are being read; 0 = the document
    for (;;) {
      // Read one node under `open`: an element (result > 0) or the end tag of `open` (result 0).
      const int32_t e = TakeRecord(open);
      ElementRecord* const rec = records_.get();
      size_t pos = static_cast<size_t>(rec[open].closeStart);
      int32_t result = 0;
      bool descend = false;
      for (;;) {
        const void* found = pos < length ? std::memchr(base + pos, '<', length - pos) : nullptr;
        if (found == nullptr) return Fail("Element tag not found", 0);
        const size_t lt = static_cast<size_t>(static_cast<const char*>(found) - base);
        rec[e].tagStart = static_cast<int32_t>(lt);
        // In case this is the end tag of `open`.
        rec[open].closeStart = static_cast<int32_t>(lt);
        Token token{};
        if (!NextToken(text, lt + 1, &token)) return Fail("Abrupt end within tag", 0);
        const char first = base[token.start];
        if (first == '"' || first == '\'') return Fail("Tag starts with quote", 0);
        if (first == '!' || first == '?') {
          pos = SkipNode(text, token.start);
          if (pos == std::string_view::npos) return Fail("Invalid node", 0);
          continue;
        }
        if (first == '/') {
          --nextFree_;  // e was not an element after all
          result = 0;
          break;
        }
        // Quotes are not looked at: a ">" inside an attribute value ends the tag.
        const void* close = std::memchr(base + token.end, '>', length - token.end);
        if (close == nullptr) return Fail("End of tag not found", 0);
        const size_t gt = static_cast<size_t>(static_cast<const char*>(close) - base);
        rec[e].tagEnd = static_cast<int32_t>(gt);
        if (base[gt - 1] == '/') {
          rec[e].closeStart = static_cast<int32_t>(gt - 1);
          rec[e].closeEnd = static_cast<int32_t>(gt);
          result = e;
        } else {
          rec[e].closeStart = static_cast<int32_t>(gt + 1);
          descend = true;
        }
        break;
      }
      if (descend) {
        open = e;
        continue;
      }
      // Hand the result up through every element it completes.
      for (;;) {
        ElementRecord* const r = records_.get();
        if (open == 0) {
          r[0] = ElementRecord{};
          r[0].firstChild = result;
          return result != 0;
        }
        if (result != 0) {
          if (r[open].firstChild == 0) {
            r[open].firstChild = result;
          } else {
            r[r[open].reserved].nextSibling = result;
          }
          r[open].reserved = result;
          r[open].closeStart = r[result].closeEnd + 1;
          break;
        }
        if (!ReadEndTag(open)) return false;
        At(open).reserved = 0;
        result = open;
        open = At(open).parent;
      }
    }
  } catch (const std::bad_alloc&) {
    ResetIndex();
    errorText_ = "Not enough memory for the element index";
    return false;
  }
}

// The scan that reported the end tag stopped at the very "<" whose "/" it saw, so the first two
// checks hold for every document the scan produces; they stay as guards of that hand-over.
bool XmlDocument::ReadEndTag(int32_t element) {
  const std::string_view text(text_);
  ElementRecord& rec = At(element);
  const size_t lt = text.find('<', static_cast<size_t>(rec.closeStart));
  if (lt == std::string_view::npos) return Fail("End tag of %s element not found", element);
  Token token{};
  if (!NextToken(text, lt + 1, &token) || text[token.start] != '/') {
    return Fail("Expecting end tag of element %s", element);
  }
  if (!NextToken(text, token.end, &token))
    return Fail("End tag not completed for element %s", element);
  if (text.substr(token.start, token.end - token.start) != NameToken(element)) {
    return Fail("End tag does not correspond to %s", element);
  }
  for (;;) {
    if (!NextToken(text, token.end, &token))
      return Fail("End tag not completed for element %s", element);
    if (text[token.start] == '>') break;
  }
  rec.closeEnd = static_cast<int32_t>(token.start);
  return true;
}

bool XmlDocument::Matches(int32_t element, std::string_view name) const {
  return NameToken(element) == name;
}

bool XmlDocument::FindSibling(const char* name) {
  const std::string_view wanted = name != nullptr ? WantedName(name) : std::string_view();
  int32_t at = currentPos_ != 0 ? At(currentPos_).nextSibling : At(parentPos_).firstChild;
  for (; at != 0; at = At(at).nextSibling) {
    if (name == nullptr || Matches(at, wanted)) {
      currentPos_ = at;
      childPos_ = 0;
      return true;
    }
  }
  return false;
}

bool XmlDocument::FindChild(const char* name) {
  if (currentPos_ == 0 && !FindSibling(nullptr)) return false;
  const std::string_view wanted = name != nullptr ? WantedName(name) : std::string_view();
  int32_t at = childPos_ != 0 ? At(childPos_).nextSibling : At(currentPos_).firstChild;
  for (; at != 0; at = At(at).nextSibling) {
    if (name == nullptr || Matches(at, wanted)) {
      childPos_ = at;
      currentPos_ = At(at).parent;
      parentPos_ = At(currentPos_).parent;
      return true;
    }
  }
  return false;
}

bool XmlDocument::EnterChild() {
  if (currentPos_ == 0) return false;
  parentPos_ = currentPos_;
  currentPos_ = childPos_;
  childPos_ = 0;
  return true;
}

bool XmlDocument::LeaveToParent() {
  if (parentPos_ == 0) return false;
  childPos_ = currentPos_;
  currentPos_ = parentPos_;
  parentPos_ = At(parentPos_).parent;
  return true;
}

std::string XmlDocument::ChildText() const {
  std::string text;
  AppendChildText(&text);
  return text;
}

void XmlDocument::AppendChildText(std::string* out) const {
  if (childPos_ <= 0 || childPos_ >= nextFree_) return;
  const ElementRecord& rec = At(childPos_);
  if (rec.firstChild != 0 || rec.closeEnd == rec.tagEnd) return;
  const std::string_view text(text_);
  const size_t begin = static_cast<size_t>(rec.tagEnd) + 1;
  const size_t end = static_cast<size_t>(rec.closeStart);
  if (begin >= end) return;
  std::string_view content = text.substr(begin, end - begin);

  size_t first = 0;
  while (first < content.size() && IsBlank(content[first])) ++first;
  constexpr std::string_view kCdataOpen = "<![CDATA[";
  constexpr std::string_view kCdataClose = "]]>";
  if (first < content.size() && content[first] == '<' && content.size() - first > 11 &&
      content.substr(first, kCdataOpen.size()) == kCdataOpen) {
    const size_t from = first + kCdataOpen.size();
    const size_t close = content.find(kCdataClose, from);
    if (close != std::string_view::npos) {
      out->append(content.data() + from, close - from);
      return;
    }
  }

  // Copy the runs between references in one piece each.
  out->reserve(out->size() + content.size());
  while (!content.empty()) {
    const void* amp = std::memchr(content.data(), '&', content.size());
    if (amp == nullptr) {
      out->append(content.data(), content.size());
      return;
    }
    const size_t at = static_cast<size_t>(static_cast<const char*>(amp) - content.data());
    out->append(content.data(), at);
    content.remove_prefix(at);
    size_t used = DecodeReference(content, out);
    if (used == 0) {
      out->push_back('&');
      used = 1;
    }
    content.remove_prefix(used);
  }
}

}  // namespace fw
