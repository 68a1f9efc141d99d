// Arbitrary bytes as an XML document: index them, check the index's own invariants, then walk it
// with the cursor the way the reference loaders do, reading every text and converting it to GBK.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/gbk.h"
#include "foundation/xml_document.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// Every record lies inside the text and the links form the tree the offsets describe.
void CheckIndex(const fw::XmlDocument& doc) {
  const std::string_view text = doc.Text();
  const auto size = static_cast<int32_t>(text.size());
  const int32_t count = doc.ElementCount();
  for (int32_t i = 1; i <= count; ++i) {
    const fw::ElementRecord& r = doc.Record(i);
    Require(r.tagStart >= 0 && r.tagStart < r.tagEnd && r.tagEnd < size);
    Require(text[static_cast<size_t>(r.tagStart)] == '<' &&
            text[static_cast<size_t>(r.tagEnd)] == '>');
    Require(r.closeEnd < size && text[static_cast<size_t>(r.closeEnd)] == '>');
    if (r.closeEnd == r.tagEnd) {
      Require(r.closeStart == r.tagEnd - 1 && r.firstChild == 0);
    } else {
      Require(r.closeStart > r.tagEnd && r.closeStart < r.closeEnd);
      Require(text[static_cast<size_t>(r.closeStart)] == '<');
    }
    Require(r.reserved == 0);
    Require(r.parent >= 0 && r.parent < i);
    for (int32_t c = r.firstChild; c != 0; c = doc.Record(c).nextSibling) {
      Require(c > i && c <= count && doc.Record(c).parent == i);
      Require(doc.Record(c).tagStart > r.tagEnd && doc.Record(c).closeEnd < r.closeStart);
    }
  }
  Require(count == 0 || doc.Record(0).firstChild == 1);
}

uint64_t Convert(const std::string& text) {
  char gbk[512];
  uint64_t sum = fw::Utf8ToGbk(text.data(), text.size(), gbk, sizeof gbk);
  char local[128];
  sum += static_cast<uint64_t>(fw::ToLocalText(text.c_str(), local, sizeof local));
  return sum + fw::GbkToUtf8(text).size();
}

// Depth-first over every element with the cursor alone: FindChild, EnterChild when the child has
// children, LeaveToParent when a level is done.
uint64_t WalkAll(fw::XmlDocument& doc) {
  uint64_t sum = 0;
  std::string text;
  int32_t steps = 0;
  const int32_t limit = 4 * doc.ElementCount() + 8;
  for (;;) {
    Require(++steps <= limit);
    if (doc.FindChild()) {
      text.clear();
      doc.AppendChildText(&text);
      sum += Convert(text);
      if (doc.Record(doc.ChildPos()).firstChild != 0) Require(doc.EnterChild());
    } else if (!doc.LeaveToParent()) {
      break;
    }
  }
  return sum;
}

// The loaders' pattern with names taken from the document: repeated record, fields in order.
uint64_t WalkByName(fw::XmlDocument& doc, const std::string& record, const std::string& field) {
  uint64_t sum = 0;
  int32_t steps = 0;
  while (doc.FindChild(record.c_str()) && ++steps < 10000) {
    Require(doc.EnterChild());
    while (doc.FindChild(field.c_str())) sum += doc.ChildText().size();
    doc.FindSibling(field.c_str());
    Require(doc.LeaveToParent());
  }
  return sum;
}

std::string NameOf(const fw::XmlDocument& doc, int32_t element) {
  if (element <= 0 || element > doc.ElementCount()) return "a";
  const std::string_view text =
      doc.Text().substr(static_cast<size_t>(doc.Record(element).tagStart) + 1);
  size_t n = 0;
  while (n < text.size() && n < 64 && text[n] != '>' && text[n] != ' ' && text[n] != '/') ++n;
  return std::string(text.substr(0, n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::XmlDocument doc;
  const bool parsed = doc.SetText(std::string_view(reinterpret_cast<const char*>(data), size));
  CheckIndex(doc);
  if (!parsed) {
    Require(!doc.HasRoot());
    return 0;
  }
  volatile uint64_t sink = WalkAll(doc);
  const std::string record = NameOf(doc, 2);
  const std::string field = NameOf(doc, 3);
  doc.SetText(std::string(doc.Text()));
  sink = sink + WalkByName(doc, record, field);
  (void)sink;
  return 0;
}
