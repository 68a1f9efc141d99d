// XmlDocument: the reader of the exchange's daily reference files.
//
// The whole file is held in memory as one byte string; one pass over it builds a flat index of
// its elements (ElementRecord, offsets into the text), and the reference loaders walk that index
// with a three-position cursor, asking for child elements by name in document order and taking
// their text. The reader never changes or writes a document. Texts come back as the file's own
// bytes (UTF-8 for the exchange's files) with entity and character references decoded; turning
// them into GBK is the loaders' business.
//
// The index lives in one contiguous array sized from the text length (one record per 64 bytes,
// plus 8) and grown by half when full, so indexing allocates nothing per element. The parse is
// iterative: nesting depth costs index records, never call stack.
//
// One owner thread; a document is filled by OpenFile (or SetText) and read until dropped. The
// reference loaders derive from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace fw {

// One element of the index. All positions are byte offsets into the document text.
struct ElementRecord {
  int32_t tagStart;     // the "<" that opens the start tag
  int32_t tagEnd;       // the ">" that closes the start tag
  int32_t closeStart;   // the "<" of the end tag; tagEnd - 1 for an empty element
  int32_t closeEnd;     // the ">" of the end tag; tagEnd for an empty element
  int32_t reserved;     // 0 once the index is built
  int32_t parent;       // index of the parent element, 0 for the root
  int32_t firstChild;   // index of the first child element, 0 if none
  int32_t nextSibling;  // index of the next sibling element, 0 if none
};
static_assert(sizeof(ElementRecord) == 32, "eight 32-bit offsets");

class XmlDocument {
 public:
  XmlDocument();
  virtual ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Replaces text, index and cursor. nullptr stands for no text (an empty document). The text
  // ends at its first NUL byte. True when a root element was parsed without error; on a parse
  // error the index is left empty and ErrorText() holds the message.
  bool SetText(const char* text);
  bool SetText(std::string_view text);
  bool SetText(std::string&& text);

  // Reads the whole file byte for byte and indexes it. A missing, unreadable or empty file
  // empties the document (SetText(nullptr)) and gives false; so does a parse error. A file that
  // parses without error but holds no root element gives true (HasRoot() tells).
  bool LoadFile(const std::string& path);

  // The loaders' entry: 0 when the document is loaded and has a root (currentPos and childPos
  // reset to 0), -1 when no path is given (nullptr or empty), -2 when LoadFile fails, -3 when the
  // document has no root element.
  int32_t OpenFile(const char* path);
  int32_t OpenFile(const std::string& path) { return OpenFile(path.c_str()); }

  // The index holds the document entry and the document has a root element.
  bool HasRoot() const;

  // Name matching: the wanted name counts up to its end or its first space, "=", "/" or "[", and
  // must equal an element's name token exactly, case included. nullptr matches any element.

  // Among the children of parentPos, searches the elements after currentPos (from the first child
  // when currentPos is 0). On success the hit becomes currentPos, childPos becomes 0, and the
  // result is true; otherwise the cursor does not move.
  bool FindSibling(const char* name = nullptr);

  // When currentPos is 0, first makes the first element under parentPos current (at the start:
  // the root). Then searches the children of currentPos after childPos (from the first child when
  // childPos is 0). On success the hit becomes childPos (its parent currentPos, the grandparent
  // parentPos) and the result is true; otherwise the cursor stays where that first step left it.
  // Because every search continues after the previous child, a field asked for after a later one
  // is not found.
  bool FindChild(const char* name = nullptr);

  // Only when currentPos is an element: parentPos = currentPos, currentPos = childPos,
  // childPos = 0; true. Otherwise false and nothing moves.
  bool EnterChild();

  // Only when parentPos is not 0: childPos = currentPos, currentPos = parentPos, parentPos = its
  // parent; true. Otherwise false.
  bool LeaveToParent();

  // The text of childPos: empty when there is no child position, when the element is empty or
  // has child elements; the raw content of a CDATA section that opens the content; otherwise
  // the content with the five entities and numeric character references (written as UTF-8)
  // decoded, other "&" sequences kept as they stand.
  std::string ChildText() const;
  // The same text appended to *out: a loader that reuses one string for every field pays no
  // allocation per field.
  void AppendChildText(std::string* out) const;

  // The message of the last parse error, empty when the last SetText parsed cleanly.
  const std::string& ErrorText() const { return errorText_; }

  // The cursor and the index, for inspection (element indexes, 0 = none; record 0 is the
  // document itself, its firstChild the root).
  int32_t ParentPos() const { return parentPos_; }
  int32_t CurrentPos() const { return currentPos_; }
  int32_t ChildPos() const { return childPos_; }
  int32_t ElementCount() const { return nextFree_ - 1; }
  const ElementRecord& Record(int32_t index) const { return At(index); }
  std::string_view Text() const { return text_; }

 private:
  bool Index();
  // Element E's parse steps; each returns false after recording a parse error.
  bool ReadEndTag(int32_t element);
  bool Fail(const char* format, int32_t element);
  int32_t TakeRecord(int32_t parent);
  bool Matches(int32_t element, std::string_view name) const;
  std::string_view NameToken(int32_t element) const;
  void ResetIndex();
  ElementRecord& At(int32_t index) { return records_[static_cast<size_t>(index)]; }
  const ElementRecord& At(int32_t index) const { return records_[static_cast<size_t>(index)]; }

  std::string text_;
  std::string errorText_;
  std::unique_ptr<ElementRecord[]> records_;
  int32_t capacity_ = 0;
  int32_t nextFree_ = 1;
  int32_t parentPos_ = 0;
  int32_t currentPos_ = 0;
  int32_t childPos_ = 0;
};

}  // namespace fw
