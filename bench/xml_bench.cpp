// The XML reader on a day's securities file: 20,000 Security elements of about 1.7 KB each, built
// here in the shape the exchange publishes (CRLF, indented, UTF-8 names). Indexing alone and
// indexing plus the loader's full field walk, each beside pugixml doing the same in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/xml_document.h"

#if FW_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

constexpr int kSecurities = 20000;

// The loader's fields in file order, before and after SecurityStatus; then the groups.
const std::vector<std::string>& FieldsBeforeStatus() {
  static const std::vector<std::string> fields = {
      "SecurityID",           "SecurityIDSource", "Symbol",       "EnglishName", "ISIN",
      "UnderlyingSecurityID", "ListDate",         "SecurityType", "Currency",    "QtyUnit",
      "DayTrading",           "PrevClosePx"};
  return fields;
}
const std::vector<std::string>& FieldsAfterStatus() {
  static const std::vector<std::string> fields = {"OutstandingShare",   "PublicFloatShareQuantity",
                                                  "ParValue",           "GageFlag",
                                                  "GageRatio",          "CrdBuyUnderlying",
                                                  "CrdSellUnderlying",  "PledgeFlag",
                                                  "ContractMultiplier", "RegularShare",
                                                  "QualificationFlag"};
  return fields;
}
const std::vector<std::string>& StockFields() {
  static const std::vector<std::string> fields = {"IndustryClassification",
                                                  "PreviousYearProfitPerShare",
                                                  "CurrentYearProfitPerShare", "OfferingFlag"};
  return fields;
}
const std::vector<std::string>& BondFields() {
  static const std::vector<std::string> fields = {"CouponRate",   "IssuePrice",
                                                  "Interest",     "InterestAccrualDate",
                                                  "MaturityDate", "OfferingFlag"};
  return fields;
}

void Field(std::string* out, const char* indent, const char* name, const std::string& value) {
  *out += indent;
  *out += '<';
  *out += name;
  *out += '>';
  *out += value;
  *out += "</";
  *out += name;
  *out += ">\r\n";
}

std::string Number(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string SecuritiesFile() {
  // Four-character Chinese names, cycled: UTF-8 as in the exchange's files.
  const char* const names[] = {"\xE5\xB9\xB3\xE5\xAE\x89\xE9\x93\xB6\xE8\xA1\x8C",
                               "\xE4\xB8\x87\xE7\xA7\x91\xEF\xBC\xA1",
                               "\xE5\x9B\xBD\xE5\x86\x9C\xE7\xA7\x91\xE6\x8A\x80",
                               "\xE4\xB8\xAD\xE5\x9B\xBD\xE5\xAE\x9D\xE5\xAE\x89"};
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Securities>\r\n";
  for (int i = 0; i < kSecurities; ++i) {
    const bool bond = i % 5 == 4;
    char id[16];
    std::snprintf(id, sizeof id, "%06d  ", bond ? 100000 + i : i + 1);
    xml += "  <Security>\r\n";
    const char* in = "    ";
    Field(&xml, in, "SecurityID", id);
    Field(&xml, in, "SecurityIDSource", "102");
    Field(&xml, in, "Symbol", names[i % 4]);
    Field(&xml, in, "EnglishName", bond ? "21 GUOZHAI 05 BOND" : "PING AN BANK CO LTD");
    Field(&xml, in, "ISIN", bond ? "CND10003PQ51" : "CNE000000040");
    Field(&xml, in, "UnderlyingSecurityID", "");
    Field(&xml, in, "UnderlyingSecurityIDSource", "");
    Field(&xml, in, "ListDate", "19910403");
    Field(&xml, in, "SecurityType", bond ? "22" : "1");
    Field(&xml, in, "Currency", "CNY");
    Field(&xml, in, "QtyUnit", bond ? "10" : "100");
    Field(&xml, in, "DayTrading", bond ? "Y" : "N");
    Field(&xml, in, "PrevClosePx", Number("%.4f", 10.23 + i % 97));
    xml += "    <SecurityStatus>\r\n";
    Field(&xml, "      ", "Status", i % 7 == 0 ? "1" : "8");
    if (i % 3 == 0) Field(&xml, "      ", "Status", "6");
    xml += "    </SecurityStatus>\r\n";
    Field(&xml, in, "OutstandingShare", Number("%.2f", 19405918198.0 + i));
    Field(&xml, in, "PublicFloatShareQuantity", Number("%.2f", 19405546950.0 + i));
    Field(&xml, in, "ParValue", "1.0000");
    Field(&xml, in, "GageFlag", "Y");
    Field(&xml, in, "GageRatio", "70.00");
    Field(&xml, in, "CrdBuyUnderlying", i % 2 == 0 ? "Y" : "N");
    Field(&xml, in, "CrdSellUnderlying", i % 4 == 0 ? "Y" : "N");
    Field(&xml, in, "CrdPriceCheckType", "1");
    Field(&xml, in, "PledgeFlag", "N");
    Field(&xml, in, "ContractMultiplier", "1.00");
    Field(&xml, in, "RegularShare", "");
    Field(&xml, in, "QualificationFlag", "N");
    Field(&xml, in, "MarketMakerFlag", "N");
    Field(&xml, in, "VCMFlag", "N");
    if (bond) {
      xml += "    <BondParams>\r\n";
      const char* g = "      ";
      Field(&xml, g, "CouponRate", "3.0200");
      Field(&xml, g, "IssuePrice", "100.0000");
      Field(&xml, g, "Interest", Number("%.8f", 0.12345678 * (i % 11)));
      Field(&xml, g, "InterestAccrualDate", "20210506");
      Field(&xml, g, "MaturityDate", "20310506");
      Field(&xml, g, "OfferingFlag", "N");
      Field(&xml, g, "ExpirationRate", "0.0000");
      xml += "    </BondParams>\r\n";
    } else {
      xml += "    <StockParams>\r\n";
      const char* g = "      ";
      Field(&xml, g, "IndustryClassification", "J66");
      Field(&xml, g, "PreviousYearProfitPerShare", Number("%.4f", 2.38 + (i % 13) * 0.01));
      Field(&xml, g, "CurrentYearProfitPerShare", Number("%.4f", 0.62 + (i % 17) * 0.01));
      Field(&xml, g, "OfferingFlag", "N");
      Field(&xml, g, "AttachedLimitedShares", "0");
      xml += "    </StockParams>\r\n";
    }
    Field(&xml, in, "PriceCheckMode", "1");
    xml += "  </Security>\r\n";
  }
  xml += "</Securities>\r\n";
  return xml;
}

const std::string& Text() {
  static const std::string text = SecuritiesFile();
  return text;
}

void Report(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(Text().size()));
  state.counters["bytes/security"] = static_cast<double>(Text().size()) / kSecurities;
}

// The loader's walk: every Security entered, every field asked for in file order, groups entered.
size_t WalkFields(fw::XmlDocument& doc, const std::vector<std::string>& fields, std::string* text) {
  size_t found = 0;
  for (const std::string& f : fields) {
    if (doc.FindChild(f.c_str())) {
      text->clear();
      doc.AppendChildText(text);
      found += text->size() + 1;
    }
  }
  return found;
}

size_t WalkGroup(fw::XmlDocument& doc, const char* group, const std::vector<std::string>& fields,
                 std::string* text) {
  if (!doc.FindChild(group)) return 0;
  doc.EnterChild();
  const size_t found = WalkFields(doc, fields, text);
  doc.LeaveToParent();
  return found;
}

size_t WalkLikeTheLoader(fw::XmlDocument& doc) {
  size_t found = 0;
  std::string text;
  while (doc.FindChild("Security")) {
    doc.EnterChild();
    found += WalkFields(doc, FieldsBeforeStatus(), &text);
    if (doc.FindChild("SecurityStatus")) {
      doc.EnterChild();
      while (doc.FindChild("Status")) {
        text.clear();
        doc.AppendChildText(&text);
        found += text.size() + 1;
      }
      doc.LeaveToParent();
    }
    found += WalkFields(doc, FieldsAfterStatus(), &text);
    found += WalkGroup(doc, "StockParams", StockFields(), &text);
    found += WalkGroup(doc, "BondParams", BondFields(), &text);
    if (doc.FindChild("PriceCheckMode")) found += 1;
    doc.LeaveToParent();
  }
  return found;
}

void BM_XmlDocumentIndex(benchmark::State& state) {
  const std::string& text = Text();
  fw::XmlDocument doc;
  for (auto _ : state) {
    if (!doc.SetText(std::string_view(text))) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(doc.ElementCount());
  }
  Report(state);
  state.counters["elements"] = static_cast<double>(doc.ElementCount());
}
BENCHMARK(BM_XmlDocumentIndex)->Unit(benchmark::kMillisecond);

void BM_XmlDocumentIndexAndWalk(benchmark::State& state) {
  const std::string& text = Text();
  fw::XmlDocument doc;
  size_t found = 0;
  for (auto _ : state) {
    if (!doc.SetText(std::string_view(text))) state.SkipWithError("parse failed");
    found = WalkLikeTheLoader(doc);
    benchmark::DoNotOptimize(found);
  }
  Report(state);
  state.counters["text_bytes_read"] = static_cast<double>(found);
}
BENCHMARK(BM_XmlDocumentIndexAndWalk)->Unit(benchmark::kMillisecond);

#if FW_HAVE_PUGIXML
// pugixml copies the buffer and builds its DOM, decoding escapes and line ends as it goes.
void BM_PugixmlParse(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size())) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(doc.first_child());
  }
  Report(state);
}
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond);

size_t PugixmlGroup(const pugi::xml_node& security, const char* group,
                    const std::vector<std::string>& fields) {
  const pugi::xml_node node = security.child(group);
  if (!node) return 0;
  size_t found = 0;
  for (const std::string& f : fields) {
    const pugi::xml_node field = node.child(f.c_str());
    if (field) found += std::char_traits<char>::length(field.child_value()) + 1;
  }
  return found;
}

void BM_PugixmlParseAndWalk(benchmark::State& state) {
  const std::string& text = Text();
  size_t found = 0;
  for (auto _ : state) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size())) state.SkipWithError("parse failed");
    found = 0;
    for (const pugi::xml_node security : doc.child("Securities").children("Security")) {
      for (const auto* fields : {&FieldsBeforeStatus(), &FieldsAfterStatus()}) {
        for (const std::string& f : *fields) {
          const pugi::xml_node field = security.child(f.c_str());
          if (field) found += std::char_traits<char>::length(field.child_value()) + 1;
        }
      }
      for (const pugi::xml_node s : security.child("SecurityStatus").children("Status")) {
        found += std::char_traits<char>::length(s.child_value()) + 1;
      }
      found += PugixmlGroup(security, "StockParams", StockFields());
      found += PugixmlGroup(security, "BondParams", BondFields());
      if (security.child("PriceCheckMode")) found += 1;
    }
    benchmark::DoNotOptimize(found);
  }
  Report(state);
  state.counters["text_bytes_read"] = static_cast<double>(found);
}
BENCHMARK(BM_PugixmlParseAndWalk)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
