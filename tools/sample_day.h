// The sample trading day: an in-memory model of one day of the exchange (securities with their
// reference data and parameters, indexes, statistics, issue codes, the day's closing figures) and
// the writer of the consistent set of files the system loads for that day: the ten reference XML
// files, the closing file, indexname.ini and holiday.ini.
//
// The model is built from a seed alone, so the same seed, size and date give the same day byte for
// byte on every machine (the generator has its own random numbers; nothing depends on the standard
// library's distributions). Other tools (the gateway simulator) play synthetic feed messages from
// the same model. Plain data; build and write on one thread.
//
// Units of the model: prices in thousandths of a yuan, index values in ten-thousandths of a point,
// volumes in whole shares, amounts in thousandths of a yuan, dates YYYYMMDD. Texts exist twice,
// UTF-8 (as the exchange's XML files hold them) and GBK (as the running system and indexname.ini
// hold them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fw::tools {

struct SampleDayOptions {
  uint32_t securityCount = 2000;  // 1 … kMaxSecurities
  uint32_t date = 0;              // YYYYMMDD; 0 = today's local date
  uint64_t seed = 1;
};

constexpr uint32_t kMaxSecurities = 20000;

// One PriceLimitSetting/Setting of the cash auction parameters, as written to the file.
struct SampleLimitSetting {
  char type = 'T';  // 'O' opening auction, 'T' continuous trading, 'C' closing auction
  char hasPriceLimit = 'Y';
  char referPriceType = '1';
  char limitType = '1';  // '1' rates of the previous close, '2' absolute prices
  double limitUpRate = 0;
  double limitDownRate = 0;
  int64_t limitUpAbsolute = 0;  // thousandths
  int64_t limitDownAbsolute = 0;
  char hasAuctionLimit = 'N';
  char auctionLimitType = '1';  // '1' rate, '2' absolute
  double auctionUpDownRate = 0;
  int64_t auctionUpDownAbsolute = 0;  // thousandths
};

struct SampleCashAuction {
  int64_t buyQtyUpperLimit = 0;  // shares
  int64_t sellQtyUpperLimit = 0;
  int64_t buyQtyUnit = 0;
  int64_t sellQtyUnit = 0;
  int64_t priceTick = 0;  // thousandths
  std::vector<SampleLimitSetting> settings;
  char marketMakerFlag = 'N';
};

struct SampleNegotiation {
  int64_t buyQtyUnit = 0;
  int64_t sellQtyUnit = 0;
  int64_t priceUpperLimit = 0;  // thousandths
  int64_t priceLowerLimit = 0;
  int64_t priceTick = 0;
};

struct SampleAfterHours {
  int64_t buyQtyUnit = 0;
  int64_t sellQtyUnit = 0;
};

struct SampleSwitch {
  int type;      // 1 … 31
  bool enabled;  // Status "Y" or "N"
};

struct SampleSecurity {
  std::string code;  // six digits; long option codes have eight and are never loaded
  int16_t securityType = 0;
  std::string symbol;     // UTF-8
  std::string symbolGbk;  // the same text in GBK
  std::string englishName;
  std::string isin;
  std::string underlying;  // code of the underlying security, or empty
  uint32_t listDate = 0;
  std::string currency;  // "CNY", "HKD"
  int64_t qtyUnit = 0;
  char dayTrading = 'N';
  int64_t prevClosePx = 0;  // thousandths
  std::vector<int32_t> statuses;
  int64_t outstandingShare = 0;
  int64_t publicFloatShare = 0;
  int64_t parValue = 0;  // thousandths
  char gageFlag = 'N';
  int64_t gageRatio = 0;  // hundredths
  char crdBuyUnderlying = 'N';
  char crdSellUnderlying = 'N';
  char pledgeFlag = 'N';
  int64_t contractMultiplier = 0;  // hundredths
  char qualificationFlag = 'N';
  // The parameter group written for the type (StockParams, FundParams, …).
  std::string industry;        // stocks
  int64_t profitPerShare = 0;  // stocks, ten-thousandths of a yuan
  char offeringFlag = 'N';     // stocks, bonds, preferred stock
  int64_t nav = 0;             // funds, ten-thousandths
  int64_t couponRate = 0;      // bonds and preferred stock, millionths (0.035 = 35000)
  int64_t issuePrice = 0;      // bonds, thousandths
  int64_t interest = 0;        // bonds and preferred stock, millionths
  uint32_t interestAccrualDate = 0;
  uint32_t maturityDate = 0;
  int64_t exercisePrice = 0;  // warrants and options, thousandths
  uint32_t exerciseBeginDate = 0;
  uint32_t exerciseEndDate = 0;
  char callOrPut = 'C';
  int16_t expirationDays = 0;  // repos
  char priceCheckMode = '0';
  // Parameter files that hold the security.
  std::optional<SampleCashAuction> cashAuction;
  std::optional<SampleNegotiation> negotiation;
  std::optional<SampleAfterHours> afterHours;
  std::vector<SampleSwitch> switches;  // securityswitch file, when not empty
  // The day's limits, for a simulator: with hasPriceLimit, trades stay within [lower, upper].
  bool hasPriceLimit = false;
  int64_t limitUpPx = 0;  // thousandths
  int64_t limitDownPx = 0;
  // The day's outcome, as the closing file states it (every security with cash auction
  // parameters is in that file).
  int64_t closePx = 0;  // thousandths
  int64_t numTrades = 0;
  int64_t totalVolume = 0;  // shares
  int64_t totalValue = 0;   // thousandths of a yuan

  // Whether the loaders take this code (six characters, blank-padded to eight in the files).
  bool Loadable() const { return code.size() == 6; }
  bool Halted() const;
};

// Issue, rights-issue and bond-distribution codes; some are also security codes.
struct SampleIssue {
  std::string code;
  std::string symbol;
  std::string symbolGbk;
  int16_t securityType = 0;
  int64_t outstandingShare = 0;
  int64_t priceUpperLimit = 0;  // thousandths
  int64_t priceLowerLimit = 0;
  int64_t unit = 0;
  int64_t qtyUpperLimit = 0;
  uint32_t startDate = 0;
};
struct SampleRightsIssue {
  std::string code;
  std::string symbol;
  std::string symbolGbk;
  std::string underlying;
  int64_t price = 0;  // thousandths
};
struct SampleBondDistribution {
  std::string code;
  std::string symbol;
  std::string symbolGbk;
  std::string underlying;
  int16_t securityType = 0;
  int64_t qtyUpperLimit = 0;
  int64_t selfListQty = 0;
};

struct SampleIndex {
  std::string code;
  std::string symbol;  // UTF-8 name of the index file
  std::string symbolGbk;
  std::string englishName;
  std::string shortNameGbk;  // the name in indexname.ini (at most 8 bytes), empty when not listed
  int64_t prevClose = 0;     // ten-thousandths of a point
  int64_t close = 0;         // ten-thousandths of a point
  int64_t totalVolume = 0;
  int64_t totalValue = 0;  // thousandths of a yuan
  int64_t numTrades = 0;
};

struct SampleStat {
  std::string code;
  std::string symbol;
  std::string symbolGbk;
  std::string englishName;
  int64_t totalVolume = 0;
  int64_t totalValue = 0;  // thousandths of a yuan
  int64_t numTrades = 0;
  uint32_t stockNum = 0;
};

struct SampleDay {
  uint32_t date = 0;
  uint64_t seed = 0;
  std::vector<SampleSecurity> securities;  // ascending code
  std::vector<SampleIssue> issues;         // ascending code
  std::vector<SampleRightsIssue> rightsIssues;
  std::vector<SampleBondDistribution> bondDistributions;
  std::vector<SampleIndex> indexes;
  std::vector<SampleStat> stats;
  std::vector<uint32_t> holidays;  // this year's listed days off (never the model's date)
  std::vector<uint32_t> lastYearHolidays;
};

// Builds the day. The security count is clamped to 1 … kMaxSecurities.
SampleDay BuildSampleDay(const SampleDayOptions& options);

// The files of the day, each as the bytes written: the ten reference files
// "<root>_<date>.xml" (root names as the loaders expect them), "cashsecurityclosemd_<date>.xml",
// "indexname.ini" (GBK) and "holiday.ini".
struct SampleFile {
  std::string name;
  std::string content;
};
std::vector<SampleFile> RenderSampleDay(const SampleDay& day);

// Renders the day and writes its files into folder (made with its missing parents). 0 on success,
// else the negative code of the first failure.
int32_t WriteSampleDay(const SampleDay& day, const std::string& folder);

}  // namespace fw::tools
