// Every reference file and the closing file cut at every length: the load never crashes, and it
// either fails with its code and leaves the table empty, or (only when the cut kept the whole root
// element) reads every record.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "refdata/closing_data.h"
#include "refdata/reference_loaders.h"
#include "tests/refdata/refdata_fixture.h"

namespace fw::refdata {
namespace {

using test::El;
using test::Security;
using test::U8;

class CountingSink : public ClosingDataSink {
 public:
  bool ClosingDataLoaded() const override { return loaded; }
  void SetClosingDataLoaded() override { loaded = true; }
  void ApplyClose(uint32_t, int64_t, int64_t, int64_t, int64_t) override { ++applied; }
  bool loaded = false;
  size_t applied = 0;
};

struct Member {
  const char* root;
  std::string body;
  size_t records;  // what a whole file gives
  // Loads today's file (or, given a text, that text) into fresh tables; returns the result and the
  // number of records made.
  std::function<int32_t(const std::string& folder, const std::string* text, size_t* made)> load;
};

template <typename Loader>
int32_t Run(Loader&& loader, const std::string* text) {
  return text != nullptr ? loader.LoadText(*text) : loader.Load();
}

template <typename Loader, typename Table>
std::function<int32_t(const std::string&, const std::string*, size_t*)> Simple(
    Table ReferenceTables::*table) {
  return [table](const std::string& folder, const std::string* text, size_t* made) {
    ReferenceTables tables;
    const int32_t result = Run(Loader(folder, tables.*table), text);
    *made = (tables.*table).Size();
    return result;
  };
}

std::vector<Member> Members() {
  const std::string settings = "<PriceLimitSetting><Setting>" + El("Type", "O") +
                               El("HasPriceLimit", "Y") + El("LimitType", "1") +
                               El("LimitUpRate", "0.1") + "</Setting><Setting>" + El("Type", "T") +
                               El("LimitUpAbsolute", "11.00") + "</Setting></PriceLimitSetting>";
  const std::string switches = "<SecuritySwitch><Setting>" + El("Switch", "1") + El("Status", "Y") +
                               "</Setting><Setting>" + El("Switch", "2") + El("Status", "N") +
                               "</Setting></SecuritySwitch>";
  return {
      {"securities",
       Security("000001  ",
                El("Symbol", U8(u8"平安银行")) + El("EnglishName", "PINGAN &amp; BANK") +
                    El("SecurityType", "1") + El("PrevClosePx", "10.53") +
                    "<SecurityStatus><Status>1</Status><Status>8</Status></SecurityStatus>" +
                    El("QualificationFlag", "Y") + "<StockParams>" + El("OfferingFlag", "N") +
                    "</StockParams>") +
           "<!-- a comment --><Security><SecurityID>000002  "
           "</SecurityID><Symbol><![CDATA[A<B]]></Symbol></Security>",
       2, Simple<SecuritiesLoader>(&ReferenceTables::securities)},
      {"afterhoursparams",
       Security("300001  ", El("SecurityIDSource", "102") + El("BuyQtyUnit", "100") +
                                El("SellQtyUnit", "100")) +
           Security("300002  ", El("SecurityIDSource", "103")),
       2, Simple<AfterHoursParamsLoader>(&ReferenceTables::afterHoursParams)},
      {"bonddistributionparams",
       Security("380001  ", El("Symbol", U8(u8"宁德配债")) + El("SecurityType", "8") +
                                El("SelfListQty", "1000")),
       1, Simple<BondDistributionParamsLoader>(&ReferenceTables::bondDistributionParams)},
      {"cashauctionparams",
       Security("000001  ", El("BuyQtyUpperLimit", "1000000") + El("PriceTick", "0.01") + settings +
                                El("MarketMakerFlag", "N")) +
           Security("000002  ", settings),
       2, Simple<CashAuctionParamsLoader>(&ReferenceTables::cashAuctionParams)},
      {"issueparams",
       Security("070001  ", El("Symbol", U8(u8"平安申购")) + El("PriceUpperLimit", "25.5") +
                                El("PriceLowerLimit", "20.4") + El("StartDate", "20240305")),
       1,
       [](const std::string& folder, const std::string* text, size_t* made) {
         ReferenceTables tables;
         const int32_t result = Run(IssueParamsLoader(folder, tables.issueParams, true), text);
         *made = tables.issueParams.Size();
         return result;
       }},
      {"rightsissueparams",
       Security("080001  ", El("Symbol", U8(u8"万科配股")) + El("UnderlyingSecurityID", "000002") +
                                El("Price", "8.88")),
       1, Simple<RightsIssueParamsLoader>(&ReferenceTables::rightsIssueParams)},
      {"negotiationparams",
       Security("100001  ",
                El("BuyQtyUnit", "1") + El("PriceUpperLimit", "130") + El("PriceTick", "0.001")),
       1, Simple<NegotiationParamsLoader>(&ReferenceTables::negotiationParams)},
      {"indexinfo",
       Security("399001  ", El("Symbol", U8(u8"深证成份指数")) + El("EnglishName", "SZSE") +
                                El("PrevCloseIdx", "10234.5678")),
       1,
       [](const std::string& folder, const std::string* text, size_t* made) {
         ReferenceTables tables;
         const int32_t result = Run(IndexInfoLoader(folder, tables.indexInfo, ""), text);
         *made = tables.indexInfo.Size();
         return result;
       }},
      {"stat", Security("395001  ", El("Symbol", U8(u8"主板A股")) + El("EnglishName", "MAIN")), 1,
       Simple<StatLoader>(&ReferenceTables::stat)},
      {"securityswitch",
       Security("000001  ", El("SecurityIDSource", "102") + switches) +
           Security("000002  ", El("SecurityIDSource", "102") + switches),
       2, Simple<SecuritySwitchLoader>(&ReferenceTables::securitySwitch)},
      {"cashsecurityclosemd",
       Security("000001  ", El("ClosePx", "10.2345") + El("NumTrades", "12") +
                                El("TotalVolumeTrade", "100") +
                                El("TotalValueTrade", "1234.5674")) +
           Security("000002  ", El("ClosePx", "1")),
       2,
       [](const std::string& folder, const std::string* text, size_t* made) {
         CountingSink sink;
         const int32_t result = Run(ClosingDataLoader(folder, sink), text);
         *made = sink.applied;
         EXPECT_EQ(sink.loaded, result == 0);
         return result;
       }},
  };
}

class TruncatedFilesTest : public test::RefdataTest {};

TEST_F(TruncatedFilesTest, EveryCutEitherFailsCleanlyOrKeepsTheWholeRoot) {
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.root);
    const std::string root = std::string(m.root) + "Root";
    const std::string whole =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + ">" + m.body + "</" + root + ">\n";
    const size_t rootEnd = whole.rfind('>') + 1;
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
      WriteRaw(m.root, whole.substr(0, cut));
      size_t made = 0;
      const int32_t result = m.load(Folder(), nullptr, &made);
      if (cut >= rootEnd) {
        EXPECT_EQ(result, 0) << "cut at " << cut;
        EXPECT_EQ(made, m.records) << "cut at " << cut;
      } else {
        EXPECT_TRUE(result == -200 || result == -300) << "cut at " << cut << ": " << result;
        EXPECT_EQ(made, 0u) << "cut at " << cut;
      }
    }
  }
}

TEST_F(TruncatedFilesTest, EveryByteReplacedByMarkupNeverCrashes) {
  // Not a check of results: a sanitizer run of this sweep finds any read outside the document.
  const char replacements[] = {'<', '>', '/', '&', '\0', '"', ' '};
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.root);
    std::string whole = "<";
    whole.append(m.root).append("Root>").append(m.body).append("</").append(m.root).append("Root>");
    size_t loaded = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
      for (char c : replacements) {
        std::string changed = whole;
        changed[i] = c;
        size_t made = 0;
        const int32_t result = m.load(Folder(), &changed, &made);
        EXPECT_TRUE(result == 0 || result == -200 || result == -300) << result;
        if (result != 0) {
          EXPECT_EQ(made, 0u);
        }
        loaded += result == 0 ? 1 : 0;
      }
    }
    EXPECT_GT(loaded, 0u);  // some changes (inside texts) keep the document readable
  }
}

}  // namespace
}  // namespace fw::refdata
