#include "tools/sample_day.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "foundation/local_clock.h"
#include "foundation/platform/platform.h"

namespace fw::tools {
namespace {

// ---- Random numbers of our own (splitmix64): the same day on every library and machine ---------

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi].
  int64_t Between(int64_t lo, int64_t hi) {
    const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
    return lo + static_cast<int64_t>(Next() % span);
  }
  // True with the given chance in thousandths.
  bool Chance(int perMille) { return Between(0, 999) < perMille; }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[static_cast<size_t>(Between(0, static_cast<int64_t>(N) - 1))];
  }

 private:
  uint64_t state_;
};

// ---- Words: each in UTF-8 (for the exchange's files), GBK (compiled from the same source text,
// for indexname.ini and the model) and English
// ------------------------------------------------------

struct Word {
  const char8_t* utf8;
  const char* gbk;
  const char* english;
};

constexpr Word kPrefixes[] = {
    {u8"平安", "平安", "PINGAN"},     {u8"万科", "万科", "VANKE"},
    {u8"国农", "国农", "GUONONG"},    {u8"世纪", "世纪", "SHIJI"},
    {u8"深物", "深物", "SHENWU"},     {u8"华侨", "华侨", "HUAQIAO"},
    {u8"中兴", "中兴", "ZTE"},        {u8"格力", "格力", "GREE"},
    {u8"美的", "美的", "MIDEA"},      {u8"东方", "东方", "DONGFANG"},
    {u8"长城", "长城", "CHANGCHENG"}, {u8"招商", "招商", "ZHAOSHANG"},
    {u8"神州", "神州", "SHENZHOU"},   {u8"宁德", "宁德", "NINGDE"},
    {u8"比亚", "比亚", "BIYA"},       {u8"海康", "海康", "HIKVISION"},
    {u8"洋河", "洋河", "YANGHE"},     {u8"五粮", "五粮", "WULIANG"},
    {u8"京东", "京东", "JINGDONG"},   {u8"金龙", "金龙", "JINLONG"},
    {u8"华兰", "华兰", "HUALAN"},     {u8"科大", "科大", "KEDA"},
    {u8"立讯", "立讯", "LUXSHARE"},   {u8"汇川", "汇川", "INOVANCE"},
    {u8"温氏", "温氏", "WENS"},       {u8"牧原", "牧原", "MUYUAN"},
    {u8"迈瑞", "迈瑞", "MINDRAY"},    {u8"阳光", "阳光", "SUNGROW"},
    {u8"亿纬", "亿纬", "EVE"},        {u8"泸州", "泸州", "LUZHOU"},
    {u8"潍柴", "潍柴", "WEICHAI"},    {u8"徐工", "徐工", "XUGONG"},
    {u8"鞍钢", "鞍钢", "ANGANG"},     {u8"云南", "云南", "YUNNAN"},
    {u8"广发", "广发", "GUANGFA"},    {u8"国信", "国信", "GUOSEN"},
    {u8"申万", "申万", "SHENWAN"},    {u8"长安", "长安", "CHANGAN"},
    {u8"盐田", "盐田", "YANTIAN"},    {u8"深赤", "深赤", "SHENCHI"},
    {u8"中集", "中集", "CIMC"},       {u8"紫光", "紫光", "UNIS"},
};

constexpr Word kStockSuffixes[] = {
    {u8"银行", "银行", "BANK"},    {u8"科技", "科技", "TECH"},   {u8"电子", "电子", "ELEC"},
    {u8"股份", "股份", "CO"},      {u8"能源", "能源", "ENERGY"}, {u8"医药", "医药", "PHARM"},
    {u8"控股", "控股", "HOLD"},    {u8"集团", "集团", "GROUP"},  {u8"地产", "地产", "PROP"},
    {u8"汽车", "汽车", "AUTO"},    {u8"新材", "新材", "NEWMAT"}, {u8"电气", "电气", "ELECTRIC"},
    {u8"通信", "通信", "TELECOM"}, {u8"传媒", "传媒", "MEDIA"},  {u8"环保", "环保", "ENVIRO"},
    {u8"食品", "食品", "FOOD"},    {u8"智能", "智能", "SMART"},  {u8"生物", "生物", "BIO"},
    {u8"港口", "港口", "PORT"},    {u8"证券", "证券", "SEC"},
};

constexpr Word kThemes[] = {
    {u8"创业板", "创业板", "CHINEXT"},    {u8"深证100", "深证100", "SZSE 100"},
    {u8"中小板", "中小板", "SME"},        {u8"红利", "红利", "DIVIDEND"},
    {u8"医药", "医药", "HEALTH"},         {u8"证券", "证券", "BROKER"},
    {u8"科技", "科技", "TECH"},           {u8"消费", "消费", "CONSUMER"},
    {u8"新能源", "新能源", "NEW ENERGY"}, {u8"军工", "军工", "DEFENSE"},
    {u8"半导体", "半导体", "CHIP"},       {u8"沪深300", "沪深300", "CSI 300"},
};

const char* AsChars(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// A text built from words and ASCII pieces, in both encodings at once.
struct Text {
  std::string utf8;
  std::string gbk;
  Text& Add(const Word& w) {
    utf8 += AsChars(w.utf8);
    gbk += w.gbk;
    return *this;
  }
  Text& Add(const char8_t* utf8Part, const char* gbkPart) {
    utf8 += AsChars(utf8Part);
    gbk += gbkPart;
    return *this;
  }
  Text& Ascii(std::string_view ascii) {
    utf8 += ascii;
    gbk += ascii;
    return *this;
  }
};

std::string TwoDigits(int64_t n) {
  std::string s = std::to_string(n % 100);
  return s.size() < 2 ? "0" + s : s;
}

// ---- The categories of securities
// -----------------------------------------------------------------

enum class Family { kStock, kBond, kRepo, kPreferred, kFund, kWarrant, kOption };

struct Category {
  int16_t type;
  Family family;
  uint32_t first;  // code range, inclusive
  uint32_t last;
  uint32_t weight;  // share of the securities
  bool longCodes;   // eight-digit codes (options), which the loaders skip
};

// Code ranges and shares after the exchange's own numbering; every SecurityType the security
// information writers tell apart is here.
constexpr Category kCategories[] = {
    {1, Family::kStock, 1, 1999, 70, false},         // main board A shares
    {2, Family::kStock, 2001, 3999, 70, false},      // SME board
    {3, Family::kStock, 300001, 301999, 70, false},  // ChiNext
    {4, Family::kStock, 200001, 201999, 8, false},   // B shares
    {5, Family::kBond, 100000, 109999, 150, false},  // government bonds
    {6, Family::kBond, 111000, 111999, 35, false},   // enterprise bonds
    {7, Family::kBond, 148000, 149999, 70, false},   // company bonds
    {8, Family::kBond, 123000, 128999, 30, false},   // convertible bonds
    {9, Family::kBond, 114000, 114999, 35, false},   // private placement bonds
    {10, Family::kBond, 117000, 117999, 10, false},  // exchangeable private bonds
    {11, Family::kBond, 115000, 115999, 10, false},  // subordinated bonds of brokers
    {12, Family::kRepo, 131800, 131999, 1, false},   // pledged repos
    {13, Family::kBond, 119000, 119999, 30, false},  // asset-backed securities
    {14, Family::kFund, 159000, 159299, 10, false},  // ETFs …
    {15, Family::kFund, 159300, 159599, 10, false},
    {16, Family::kFund, 159600, 159799, 5, false},
    {17, Family::kFund, 159800, 159849, 1, false},
    {18, Family::kFund, 159850, 159899, 1, false},
    {19, Family::kFund, 159900, 159949, 1, false},
    {20, Family::kFund, 159950, 159999, 1, false},
    {23, Family::kFund, 160000, 169999, 60, false},   // LOFs
    {24, Family::kFund, 150000, 150999, 10, false},   // graded fund shares
    {25, Family::kFund, 184690, 184799, 1, false},    // closed-end funds
    {26, Family::kFund, 189000, 189999, 2, false},    // subscription and redemption only
    {28, Family::kWarrant, 31000, 31999, 2, false},   // warrants
    {29, Family::kOption, 909001, 909999, 2, false},  // stock options
    {29, Family::kOption, 90000001, 90099999, 8, true},
    {30, Family::kOption, 919001, 919999, 2, false},  // ETF options
    {30, Family::kOption, 91000001, 91099999, 8, true},
    {33, Family::kPreferred, 140001, 140999, 2, false},  // preferred shares
    {34, Family::kBond, 133000, 133999, 5, false},       // short-term bonds of brokers
    {35, Family::kBond, 120000, 120999, 5, false},       // exchangeable bonds
};

// How many securities each category gets: shares of the total by weight, the remainder going to
// the largest fractions; never more than a category's range holds.
std::vector<uint32_t> CategoryCounts(uint32_t total) {
  constexpr size_t n = std::size(kCategories);
  uint64_t weightSum = 0;
  for (const Category& c : kCategories) weightSum += c.weight;
  std::vector<uint32_t> counts(n);
  std::vector<std::pair<uint64_t, size_t>> remainders;
  uint32_t given = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint64_t share = uint64_t{total} * kCategories[i].weight;
    counts[i] = static_cast<uint32_t>(share / weightSum);
    given += counts[i];
    remainders.push_back({share % weightSum, i});
  }
  std::stable_sort(remainders.begin(), remainders.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (size_t k = 0; given < total; k = (k + 1) % n) {
    const size_t i = remainders[k].second;
    if (counts[i] < kCategories[i].last - kCategories[i].first + 1) {
      ++counts[i];
      ++given;
    }
  }
  return counts;
}

std::string CodeText(uint32_t number, bool longCode) {
  std::string digits = std::to_string(number);
  const size_t width = longCode ? 8 : 6;
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

uint32_t CodeValue(const std::string& code) {
  uint32_t v = 0;
  for (char c : code) v = v * 10 + static_cast<uint32_t>(c - '0');
  return v;
}

int64_t RoundTo(int64_t value, int64_t tick) { return (value + tick / 2) / tick * tick; }

// Price rounded to the tick after multiplying by (1000 + perMille) / 1000.
int64_t Scaled(int64_t price, int64_t perMille, int64_t tick) {
  return RoundTo(price * (1000 + perMille) / 1000, tick);
}

uint32_t AddYears(uint32_t date, int years) {
  return static_cast<uint32_t>(static_cast<int64_t>(date) + int64_t{years} * 10000);
}

// A date some years before `date` (day of month kept within 28).
uint32_t PastDate(Random& rng, uint32_t date, int maxYears) {
  const int64_t year = date / 10000 - rng.Between(1, maxYears);
  return static_cast<uint32_t>(year * 10000 + rng.Between(1, 12) * 100 + rng.Between(1, 28));
}

// ---- Building the securities
// ----------------------------------------------------------------------

SampleLimitSetting RateSetting(char type, double rate) {
  SampleLimitSetting s;
  s.type = type;
  s.hasPriceLimit = 'Y';
  s.limitType = '1';
  s.limitUpRate = rate;
  s.limitDownRate = rate;
  return s;
}

SampleLimitSetting AbsoluteSetting(char type, int64_t up, int64_t down) {
  SampleLimitSetting s;
  s.type = type;
  s.hasPriceLimit = 'Y';
  s.limitType = '2';
  s.limitUpAbsolute = up;
  s.limitDownAbsolute = down;
  return s;
}

SampleLimitSetting NoLimitSetting(char type) {
  SampleLimitSetting s;
  s.type = type;
  s.hasPriceLimit = 'N';
  s.limitType = '1';
  return s;
}

void ApplyLimits(SampleSecurity& s) {
  s.hasPriceLimit = false;
  if (!s.cashAuction) return;
  for (const SampleLimitSetting& setting : s.cashAuction->settings) {
    if (setting.type != 'T' || setting.hasPriceLimit == 'N') continue;
    const int64_t tick = s.cashAuction->priceTick;
    if (setting.limitType == '1') {
      const int64_t up = static_cast<int64_t>(setting.limitUpRate * 1000 + 0.5);
      const int64_t down = static_cast<int64_t>(setting.limitDownRate * 1000 + 0.5);
      s.limitUpPx = Scaled(s.prevClosePx, up, tick);
      s.limitDownPx = Scaled(s.prevClosePx, -down, tick);
    } else {
      s.limitUpPx = setting.limitUpAbsolute;
      s.limitDownPx = setting.limitDownAbsolute;
    }
    s.hasPriceLimit = true;
    return;
  }
}

class DayBuilder {
 public:
  DayBuilder(const SampleDayOptions& options, SampleDay& day) : rng_(options.seed), day_(day) {
    day_.seed = options.seed;
    day_.date = options.date != 0 ? options.date : LocalNow().Date();
  }

  void Build(uint32_t count) {
    const std::vector<uint32_t> counts = CategoryCounts(count);
    for (size_t c = 0; c < std::size(kCategories); ++c) {
      const Category& category = kCategories[c];
      const uint64_t range = category.last - category.first + 1;
      for (uint32_t i = 0; i < counts[c]; ++i) {
        const uint32_t number = category.first + static_cast<uint32_t>(range * i / counts[c]);
        day_.securities.push_back(MakeSecurity(category, CodeText(number, category.longCodes)));
      }
    }
    std::sort(day_.securities.begin(), day_.securities.end(),
              [](const SampleSecurity& a, const SampleSecurity& b) {
                return CodeValue(a.code) < CodeValue(b.code);
              });
    BuildParameterCodes(count);
    BuildIndexes(count);
    BuildStats();
    BuildHolidays();
  }

 private:
  SampleSecurity MakeSecurity(const Category& category, std::string code) {
    SampleSecurity s;
    s.code = std::move(code);
    s.securityType = category.type;
    s.isin = "CNE1" + s.code.substr(0, 6) + TwoDigits(rng_.Between(0, 99));
    s.currency = category.type == 4 ? "HKD" : "CNY";
    s.listDate = PastDate(rng_, day_.date, 25);
    s.parValue = 1000;
    s.contractMultiplier = 100;
    s.priceCheckMode = '0';
    MakeStatuses(s, category);
    switch (category.family) {
      case Family::kStock:
        MakeStock(s);
        break;
      case Family::kBond:
        MakeBond(s);
        break;
      case Family::kRepo:
        MakeRepo(s);
        break;
      case Family::kPreferred:
        MakePreferred(s);
        break;
      case Family::kFund:
        MakeFund(s);
        break;
      case Family::kWarrant:
        MakeWarrant(s);
        break;
      case Family::kOption:
        MakeOption(s);
        break;
    }
    ApplyLimits(s);
    MakeOutcome(s);
    return s;
  }

  void MakeStatuses(SampleSecurity& s, const Category& category) {
    if (rng_.Chance(30)) s.statuses.push_back(1);  // halted
    if (rng_.Chance(20)) s.statuses.push_back(2);  // ex-rights
    if (rng_.Chance(10)) s.statuses.push_back(3);  // ex-dividend
    if (category.family == Family::kStock && rng_.Chance(10)) {
      s.statuses.push_back(6);  // first day of trading
      s.listDate = day_.date;
    }
    if (rng_.Chance(5)) s.statuses.push_back(8);
    if (rng_.Chance(5)) s.statuses.push_back(9);
    if (category.family == Family::kStock && rng_.Chance(3)) s.statuses.push_back(10);
    if (category.family == Family::kStock && rng_.Chance(5)) s.statuses.push_back(12);
  }

  bool NewListing(const SampleSecurity& s) const {
    return std::find(s.statuses.begin(), s.statuses.end(), 6) != s.statuses.end();
  }

  void MakeStock(SampleSecurity& s) {
    const Word& prefix = rng_.Pick(kPrefixes);
    const Word& suffix = rng_.Pick(kStockSuffixes);
    Text name;
    int marker = 0;  // 0 plain, 4 ST, 5 *ST
    if (s.securityType != 4 && rng_.Chance(40)) marker = rng_.Chance(500) ? 5 : 4;
    if (marker == 5) {
      name.Ascii("*ST").Add(prefix);
    } else if (marker == 4) {
      name.Ascii("ST").Add(prefix).Add(suffix);
    } else if (s.securityType == 4) {
      name.Add(prefix).Add(suffix).Ascii("B");
    } else {
      name.Add(prefix).Add(suffix);
    }
    if (marker != 0) s.statuses.push_back(marker);
    s.symbol = name.utf8;
    s.symbolGbk = name.gbk;
    s.englishName = std::string(prefix.english) + " " + suffix.english;
    if (marker == 5) s.englishName = "*ST " + s.englishName;
    if (marker == 4) s.englishName = "ST " + s.englishName;
    s.qtyUnit = 100;
    s.prevClosePx =
        s.securityType == 4 ? rng_.Between(50, 2000) * 10 : rng_.Between(200, 20000) * 10;
    s.outstandingShare = rng_.Between(50, 20000) * 1000000;
    s.publicFloatShare = s.outstandingShare / 10 * rng_.Between(3, 10);
    s.industry = std::string(1, static_cast<char>('A' + rng_.Between(0, 18))) +
                 TwoDigits(rng_.Between(1, 90));
    s.profitPerShare = rng_.Between(-5000, 30000);
    s.offeringFlag = rng_.Chance(20) ? 'Y' : 'N';
    if (rng_.Chance(450)) {
      s.gageFlag = 'Y';
      s.gageRatio = rng_.Between(50, 70);
      s.crdBuyUnderlying = 'Y';
      s.crdSellUnderlying = rng_.Chance(700) ? 'Y' : 'N';
    } else if (rng_.Chance(30)) {
      s.crdSellUnderlying = 'Y';
    }
    s.qualificationFlag = s.securityType == 3 && rng_.Chance(100) ? 'Y' : 'N';
    s.priceCheckMode = s.securityType == 3 ? '1' : '0';
    s.switches = {{1, s.crdBuyUnderlying == 'Y'}, {2, s.crdSellUnderlying == 'Y'}};

    const bool st = marker != 0;
    const double rate = s.securityType == 3 ? 0.2 : (st ? 0.05 : 0.1);
    SampleCashAuction cash;
    cash.buyQtyUpperLimit = s.securityType == 3 ? 300000 : 1000000;
    cash.sellQtyUpperLimit = cash.buyQtyUpperLimit;
    cash.buyQtyUnit = 100;
    cash.sellQtyUnit = 1;
    cash.priceTick = 10;
    if (NewListing(s) && s.securityType == 3) {
      // ChiNext shares trade without limits on their first days.
      cash.settings = {NoLimitSetting('O'), NoLimitSetting('T'), NoLimitSetting('C')};
    } else {
      SampleLimitSetting continuous = RateSetting('T', rate);
      if (s.securityType == 3) {
        continuous.hasAuctionLimit = 'Y';
        continuous.auctionLimitType = '1';
        continuous.auctionUpDownRate = 0.02;
      }
      cash.settings = {RateSetting('O', rate), continuous, RateSetting('C', rate)};
    }
    // A few securities are traded only after hours, in which case they have no auction.
    const bool afterHoursOnly = s.securityType == 1 && rng_.Chance(5);
    if (!afterHoursOnly) s.cashAuction = cash;
    if (s.securityType == 3 || afterHoursOnly || rng_.Chance(150)) {
      s.afterHours = SampleAfterHours{100, 100};
    }
    if (!afterHoursOnly && rng_.Chance(100)) {
      s.negotiation = SampleNegotiation{100, 100, Scaled(s.prevClosePx, 300, 10),
                                        Scaled(s.prevClosePx, -300, 10), 10};
    }
  }

  void MakeBond(SampleSecurity& s) {
    const Word& prefix = rng_.Pick(kPrefixes);
    const std::string year =
        TwoDigits(day_.date / 10000 - static_cast<uint32_t>(rng_.Between(0, 6)));
    const std::string serial = TwoDigits(rng_.Between(1, 30));
    Text name;
    switch (s.securityType) {
      case 5:
        name.Ascii(year).Add(u8"国债", "国债").Ascii(serial);
        break;
      case 6:
        name.Ascii(year).Add(prefix).Add(u8"债", "债");
        break;
      case 8:
        name.Add(prefix).Add(u8"转债", "转债");
        s.underlying = CodeText(static_cast<uint32_t>(rng_.Between(1, 1999)), false);
        break;
      case 9:
        name.Ascii(year).Add(prefix).Ascii("P").Ascii(serial.substr(1));
        break;
      case 10:
      case 35:
        name.Ascii(year).Add(prefix).Ascii("EB");
        s.underlying = CodeText(static_cast<uint32_t>(rng_.Between(2001, 3999)), false);
        break;
      case 11:
        name.Ascii(year).Add(prefix).Ascii("C").Ascii(serial.substr(1));
        break;
      case 13:
        name.Add(prefix).Ascii(serial.substr(1)).Ascii("A");
        break;
      case 34:
        name.Ascii(year).Add(prefix).Ascii("D").Ascii(serial.substr(1));
        break;
      default:
        name.Ascii(year).Add(prefix).Ascii(serial);
        break;
    }
    s.symbol = name.utf8;
    s.symbolGbk = name.gbk;
    s.englishName = year + std::string(prefix.english) + " BOND" + serial;
    s.qtyUnit = 10;
    s.parValue = 100000;
    s.prevClosePx = rng_.Between(85000, 135000);
    s.outstandingShare = rng_.Between(1, 500) * 100000;
    s.publicFloatShare = s.outstandingShare;
    s.couponRate = rng_.Between(15, 80) * 1000;
    s.issuePrice = s.securityType == 5 && rng_.Chance(300) ? 0 : 100000;
    if (s.securityType == 5 && s.issuePrice == 0) s.couponRate = 0;  // discount bonds
    s.interest = rng_.Between(0, 3000000);
    s.interestAccrualDate = s.listDate;
    s.maturityDate = AddYears(day_.date, static_cast<int>(rng_.Between(1, 10)));
    s.offeringFlag = rng_.Chance(30) ? 'Y' : 'N';
    s.dayTrading = s.securityType <= 8 ? 'Y' : 'N';
    s.qualificationFlag = s.securityType == 6 || s.securityType == 7 || s.securityType == 9 ||
                                  s.securityType == 10 || s.securityType == 13
                              ? 'Y'
                              : 'N';
    s.priceCheckMode = s.securityType == 8 ? '2' : '0';
    if (s.securityType == 8 || s.securityType == 10 || s.securityType == 34) {
      s.switches = {{6, rng_.Chance(800)}, {7, rng_.Chance(500)}};
    }

    const bool negotiationOnly =
        s.securityType == 9 || s.securityType == 10 || s.securityType == 11 || s.securityType == 13;
    s.negotiation =
        SampleNegotiation{1, 1, Scaled(s.prevClosePx, 300, 1), Scaled(s.prevClosePx, -300, 1), 1};
    if (negotiationOnly) return;
    SampleCashAuction cash;
    cash.buyQtyUpperLimit = 1000000;
    cash.sellQtyUpperLimit = 1000000;
    cash.buyQtyUnit = 10;
    cash.sellQtyUnit = 1;
    cash.priceTick = 1;
    cash.marketMakerFlag = rng_.Chance(100) ? 'Y' : 'N';
    if (s.securityType == 5) {
      const int64_t up = Scaled(s.prevClosePx, 100, 1);
      const int64_t down = Scaled(s.prevClosePx, -100, 1);
      cash.settings = {AbsoluteSetting('O', up, down), AbsoluteSetting('T', up, down),
                       AbsoluteSetting('C', up, down)};
    } else if (s.securityType == 8) {
      SampleLimitSetting continuous = RateSetting('T', 0.2);
      continuous.hasAuctionLimit = 'Y';
      continuous.auctionLimitType = '1';
      continuous.auctionUpDownRate = 0.02;
      cash.settings = {RateSetting('O', 0.2), continuous, RateSetting('C', 0.2)};
    } else {
      SampleLimitSetting opening = NoLimitSetting('O');
      opening.hasAuctionLimit = 'Y';
      opening.auctionLimitType = '2';
      opening.auctionUpDownAbsolute = RoundTo(s.prevClosePx / 10, 1);
      SampleLimitSetting continuous = NoLimitSetting('T');
      continuous.hasAuctionLimit = 'Y';
      continuous.auctionLimitType = '1';
      continuous.auctionUpDownRate = 0.1;
      cash.settings = {opening, continuous};
    }
    s.cashAuction = cash;
  }

  void MakeRepo(SampleSecurity& s) {
    static constexpr int kDays[] = {1, 2, 3, 4, 7, 14, 28, 63, 91, 182};
    const int days = rng_.Pick(kDays);
    const std::string text =
        "R-" + std::string(days < 10 ? "00" : (days < 100 ? "0" : "")) + std::to_string(days);
    s.symbol = text;
    s.symbolGbk = text;
    s.englishName = "REPO " + std::to_string(days) + "D";
    s.expirationDays = static_cast<int16_t>(days);
    s.qtyUnit = 10;
    s.parValue = 100000;
    s.prevClosePx = rng_.Between(1000, 4000);
    s.dayTrading = 'Y';
    SampleCashAuction cash;
    cash.buyQtyUpperLimit = 100000;
    cash.sellQtyUpperLimit = 100000;
    cash.buyQtyUnit = 10;
    cash.sellQtyUnit = 10;
    cash.priceTick = 1;
    cash.settings = {NoLimitSetting('O'), NoLimitSetting('T')};
    s.cashAuction = cash;
  }

  void MakePreferred(SampleSecurity& s) {
    const Word& prefix = rng_.Pick(kPrefixes);
    Text name;
    name.Add(prefix).Add(u8"优", "优").Ascii(std::to_string(rng_.Between(1, 9)));
    s.symbol = name.utf8;
    s.symbolGbk = name.gbk;
    s.englishName = std::string(prefix.english) + " PREF";
    s.qtyUnit = 100;
    s.parValue = 100000;
    s.prevClosePx = 100000;
    s.outstandingShare = rng_.Between(10, 300) * 1000000;
    s.interest = rng_.Between(30000, 70000);
    s.offeringFlag = 'N';
    s.qualificationFlag = 'Y';
    s.switches = {{22, rng_.Chance(500)}};
    s.negotiation = SampleNegotiation{1000, 1000, 130000, 70000, 10};
  }

  void MakeFund(SampleSecurity& s) {
    const Word& prefix = rng_.Pick(kPrefixes);
    const Word& theme = rng_.Pick(kThemes);
    Text name;
    std::string english;
    switch (s.securityType) {
      case 19:
        name.Add(u8"黄金", "黄金").Ascii("ETF");
        english = "GOLD ETF";
        break;
      case 20:
        name.Add(prefix).Add(u8"货币", "货币");
        english = std::string(prefix.english) + " MONEY ETF";
        break;
      case 23:
        name.Add(prefix).Add(theme).Ascii("LOF");
        english = std::string(prefix.english) + " " + theme.english + " LOF";
        break;
      case 24:
        name.Add(prefix).Add(theme).Ascii(rng_.Chance(500) ? "A" : "B");
        english = std::string(prefix.english) + " " + theme.english + " CLASS";
        break;
      case 25:
        name.Add(u8"基金", "基金").Add(prefix);
        english = "FUND " + std::string(prefix.english);
        break;
      case 26:
        name.Add(prefix).Add(u8"理财", "理财");
        english = std::string(prefix.english) + " WEALTH";
        break;
      default:
        name.Add(theme).Ascii("ETF");
        english = std::string(theme.english) + " ETF";
        break;
    }
    // Some names carry an ampersand, so the files exercise entity references.
    if (rng_.Chance(20)) english += " S&P";
    s.symbol = name.utf8;
    s.symbolGbk = name.gbk;
    s.englishName = english;
    s.qtyUnit = 100;
    s.parValue = 1000;
    s.prevClosePx = rng_.Between(300, 6000);
    s.outstandingShare = rng_.Between(10, 5000) * 1000000;
    s.publicFloatShare = s.outstandingShare;
    s.nav = s.prevClosePx * 10 + rng_.Between(-50, 50);
    s.dayTrading = s.securityType == 16 || s.securityType == 19 || s.securityType == 20 ? 'Y' : 'N';
    s.switches = {{3, true}, {4, true}, {12, rng_.Chance(300)}, {13, rng_.Chance(300)}};
    if (s.securityType == 26) return;  // subscribed and redeemed, never traded
    SampleCashAuction cash;
    cash.buyQtyUpperLimit = 1000000;
    cash.sellQtyUpperLimit = 1000000;
    cash.buyQtyUnit = 100;
    cash.sellQtyUnit = 1;
    cash.priceTick = 1;
    cash.marketMakerFlag = s.securityType <= 20 && rng_.Chance(300) ? 'Y' : 'N';
    cash.settings = {RateSetting('O', 0.1), RateSetting('T', 0.1), RateSetting('C', 0.1)};
    s.cashAuction = cash;
    if (rng_.Chance(200)) {
      s.negotiation = SampleNegotiation{100, 100, Scaled(s.prevClosePx, 100, 1),
                                        Scaled(s.prevClosePx, -100, 1), 1};
    }
  }

  void MakeWarrant(SampleSecurity& s) {
    const Word& prefix = rng_.Pick(kPrefixes);
    Text name;
    name.Add(prefix).Ascii("JTB").Ascii(std::to_string(rng_.Between(1, 3)));
    s.symbol = name.utf8;
    s.symbolGbk = name.gbk;
    s.englishName = std::string(prefix.english) + " WARRANT";
    s.underlying = CodeText(static_cast<uint32_t>(rng_.Between(1, 1999)), false);
    s.qtyUnit = 100;
    s.prevClosePx = rng_.Between(100, 5000);
    s.exercisePrice = rng_.Between(2000, 20000);
    s.exerciseBeginDate = AddYears(day_.date, 1);
    s.callOrPut = rng_.Chance(500) ? 'C' : 'P';
    s.switches = {{8, true}};
    SampleCashAuction cash;
    cash.buyQtyUpperLimit = 1000000;
    cash.sellQtyUpperLimit = 1000000;
    cash.buyQtyUnit = 100;
    cash.sellQtyUnit = 1;
    cash.priceTick = 1;
    const int64_t up = s.prevClosePx * 3 / 2;
    const int64_t down = s.prevClosePx / 2;
    cash.settings = {AbsoluteSetting('O', up, down), AbsoluteSetting('T', up, down)};
    s.cashAuction = cash;
  }

  void MakeOption(SampleSecurity& s) {
    const Word& prefix = rng_.Pick(kPrefixes);
    const bool call = rng_.Chance(500);
    const int64_t month = rng_.Between(1, 12);
    const int64_t strike = rng_.Between(20, 800) * 50;
    Text name;
    if (s.securityType == 30) {
      name.Add(rng_.Pick(kThemes));
    } else {
      name.Add(prefix);
    }
    name.Add(call ? u8"购" : u8"沽", call ? "购" : "沽")
        .Ascii(std::to_string(month))
        .Add(u8"月", "月")
        .Ascii(std::to_string(strike));
    s.symbol = name.utf8;
    s.symbolGbk = name.gbk;
    s.englishName =
        std::string(prefix.english) + (call ? " CALL " : " PUT ") + std::to_string(strike);
    s.underlying = s.securityType == 30
                       ? "159919"
                       : CodeText(static_cast<uint32_t>(rng_.Between(1, 1999)), false);
    s.qtyUnit = 1;
    s.contractMultiplier = 1000000;
    s.prevClosePx = rng_.Between(1, 1000);
    s.callOrPut = call ? 'C' : 'P';
    s.exercisePrice = strike;
    s.exerciseBeginDate = day_.date / 10000 * 10000 + static_cast<uint32_t>(month) * 100 + 20;
    s.exerciseEndDate = s.exerciseBeginDate;
  }

  // The day's close and totals: a small move, within the limits, none for halted securities.
  void MakeOutcome(SampleSecurity& s) {
    const int64_t tick = s.cashAuction ? s.cashAuction->priceTick : 1;
    if (!s.cashAuction || s.Halted()) {
      s.closePx = s.prevClosePx;
      return;
    }
    int64_t close = Scaled(s.prevClosePx, rng_.Between(-40, 40), tick);
    if (s.hasPriceLimit) close = std::clamp(close, s.limitDownPx, s.limitUpPx);
    if (close <= 0) close = tick;
    s.closePx = close;
    s.numTrades = rng_.Between(0, 60000);
    s.totalVolume = s.numTrades * rng_.Between(1, 30) * s.cashAuction->buyQtyUnit;
    s.totalValue = s.totalVolume * ((s.prevClosePx + close) / 2);
  }

  void BuildParameterCodes(uint32_t count) {
    const uint32_t issueCount = std::max<uint32_t>(2, count / 150);
    const uint32_t rightsCount = std::max<uint32_t>(2, count / 300);
    const uint32_t bondCount = std::max<uint32_t>(2, count / 300);
    // Codes that are also securities: new ChiNext listings for issues, an SME share for rights,
    // a convertible bond for bond distribution.
    std::vector<const SampleSecurity*> chinext;
    const SampleSecurity* sme = nullptr;
    const SampleSecurity* convertible = nullptr;
    for (const SampleSecurity& s : day_.securities) {
      if (s.securityType == 3) chinext.push_back(&s);
      if (s.securityType == 2 && sme == nullptr) sme = &s;
      if (s.securityType == 8 && convertible == nullptr) convertible = &s;
    }
    for (uint32_t i = 0; i < issueCount; ++i) {
      SampleIssue issue;
      const Word& prefix = rng_.Pick(kPrefixes);
      const bool shared = i % 3 == 0 && i / 3 < chinext.size();
      issue.code = shared ? chinext[i / 3]->code : CodeText((i % 2 ? 370001 : 70001) + i, false);
      issue.securityType = static_cast<int16_t>(shared ? 3 : (i % 4 == 1 ? 8 : (i % 2 ? 3 : 1)));
      Text name;
      name.Add(prefix).Add(u8"申购", "申购");
      issue.symbol = name.utf8;
      issue.symbolGbk = name.gbk;
      issue.outstandingShare = rng_.Between(10, 500) * 1000000;
      issue.priceUpperLimit = rng_.Between(500, 8000) * 10;
      issue.priceLowerLimit =
          i % 2 ? issue.priceUpperLimit : issue.priceUpperLimit * 4 / 5 / 10 * 10;
      issue.unit = 500;
      issue.qtyUpperLimit = i % 5 == 0 ? 1500000000 : rng_.Between(1, 200) * 500;
      issue.startDate = day_.date;
      day_.issues.push_back(issue);
    }
    for (uint32_t i = 0; i < rightsCount; ++i) {
      SampleRightsIssue rights;
      const Word& prefix = rng_.Pick(kPrefixes);
      rights.code = i == 0 && sme != nullptr ? sme->code : CodeText(80001 + i, false);
      rights.underlying = CodeText(static_cast<uint32_t>(rng_.Between(2001, 3999)), false);
      Text name;
      name.Add(prefix).Add(u8"配股", "配股");
      rights.symbol = name.utf8;
      rights.symbolGbk = name.gbk;
      rights.price = rng_.Between(100, 3000) * 10;
      day_.rightsIssues.push_back(rights);
    }
    for (uint32_t i = 0; i < bondCount; ++i) {
      SampleBondDistribution bond;
      const Word& prefix = rng_.Pick(kPrefixes);
      bond.code =
          i == 0 && convertible != nullptr ? convertible->code : CodeText(380001 + i, false);
      bond.underlying = CodeText(static_cast<uint32_t>(rng_.Between(300001, 301999)), false);
      Text name;
      name.Add(prefix).Add(u8"配债", "配债");
      bond.symbol = name.utf8;
      bond.symbolGbk = name.gbk;
      bond.securityType = 8;
      bond.qtyUpperLimit = i % 4 == 0 ? 2000000000 : rng_.Between(1, 1000) * 10;
      bond.selfListQty = rng_.Between(1, 100) * 10000;
      day_.bondDistributions.push_back(bond);
    }
    auto byCode = [](const auto& a, const auto& b) {
      return CodeValue(a.code) < CodeValue(b.code);
    };
    std::sort(day_.issues.begin(), day_.issues.end(), byCode);
    std::sort(day_.rightsIssues.begin(), day_.rightsIssues.end(), byCode);
    std::sort(day_.bondDistributions.begin(), day_.bondDistributions.end(), byCode);
  }

  void BuildIndexes(uint32_t count) {
    struct Known {
      uint32_t code;
      const char8_t* utf8;
      const char* gbk;
      const char* shortGbk;
      const char* english;
    };
    static constexpr Known kKnown[] = {
        {399001, u8"深证成份指数", "深证成份指数", "深证成指", "SZSE COMPONENT INDEX"},
        {399005, u8"中小企业板指数", "中小企业板指数", "中小板指", "SME PRICE INDEX"},
        {399006, u8"创业板指数", "创业板指数", "创业板指", "CHINEXT PRICE INDEX"},
        {399106, u8"深证综合指数", "深证综合指数", "深证综指", "SZSE COMPOSITE INDEX"},
        {399107, u8"深证A股指数", "深证A股指数", "深证Ａ指", "SZSE A SHARE INDEX"},
        {399108, u8"深证B股指数", "深证B股指数", "深证Ｂ指", "SZSE B SHARE INDEX"},
        {399300, u8"沪深300指数", "沪深300指数", "沪深300", "CSI 300 INDEX"},
        {399330, u8"深证100指数", "深证100指数", "深证100", "SZSE 100 INDEX"},
        {399673, u8"创业板50指数", "创业板50指数", "创业板50", "CHINEXT 50 INDEX"},
        {399550, u8"央视50指数", "央视50指数", "", "CCTV 50 INDEX"},
    };
    const uint32_t total = std::clamp<uint32_t>(count / 50, 10, 600);
    std::vector<uint32_t> used;
    for (uint32_t i = 0; i < total && i < std::size(kKnown); ++i) {
      SampleIndex index;
      index.code = CodeText(kKnown[i].code, false);
      index.symbol = AsChars(kKnown[i].utf8);
      index.symbolGbk = kKnown[i].gbk;
      index.shortNameGbk = kKnown[i].shortGbk;
      index.englishName = kKnown[i].english;
      used.push_back(kKnown[i].code);
      day_.indexes.push_back(index);
    }
    for (uint32_t code = 399201; day_.indexes.size() < total && code <= 399999; ++code) {
      if (std::find(used.begin(), used.end(), code) != used.end()) continue;
      const Word& theme = rng_.Pick(kThemes);
      SampleIndex index;
      index.code = CodeText(code, false);
      Text name;
      name.Add(u8"深证", "深证").Add(theme).Add(u8"指数", "指数");
      index.symbol = name.utf8;
      index.symbolGbk = name.gbk;
      index.englishName = "SZSE " + std::string(theme.english) + " INDEX";
      // Every fifth synthetic index has a short name in the operator's file (at most 8 bytes).
      if (code % 5 == 0) {
        const std::string withMark = std::string(theme.gbk) + "指";
        index.shortNameGbk = withMark.size() <= 8 ? withMark : std::string(theme.gbk);
      }
      day_.indexes.push_back(index);
    }
    for (SampleIndex& index : day_.indexes) {
      index.prevClose = rng_.Between(8000000, 150000000);
      index.close = index.prevClose * (1000 + rng_.Between(-30, 30)) / 1000;
      index.numTrades = rng_.Between(100000, 9000000);
      index.totalVolume = index.numTrades * rng_.Between(500, 3000);
      index.totalValue = index.totalVolume * rng_.Between(5000, 30000);
    }
    std::sort(day_.indexes.begin(), day_.indexes.end(),
              [](const SampleIndex& a, const SampleIndex& b) { return a.code < b.code; });
  }

  void BuildStats() {
    struct Group {
      const char8_t* utf8;
      const char* gbk;
      const char* english;
      int16_t firstType;
      int16_t lastType;
    };
    static constexpr Group kGroups[] = {
        {u8"主板A股", "主板A股", "MAIN BOARD A SHARES", 1, 1},
        {u8"中小板", "中小板", "SME BOARD", 2, 2},
        {u8"创业板", "创业板", "CHINEXT", 3, 3},
        {u8"主板B股", "主板B股", "MAIN BOARD B SHARES", 4, 4},
        {u8"债券", "债券", "BONDS", 5, 13},
        {u8"基金", "基金", "FUNDS", 14, 26},
        {u8"权证", "权证", "WARRANTS", 28, 28},
        {u8"期权", "期权", "OPTIONS", 29, 30},
        {u8"优先股", "优先股", "PREFERRED SHARES", 33, 33},
        {u8"券商债", "券商债", "BROKER BONDS", 34, 35},
    };
    uint32_t code = 395001;
    for (const Group& group : kGroups) {
      SampleStat stat;
      stat.code = CodeText(code++, false);
      stat.symbol = AsChars(group.utf8);
      stat.symbolGbk = group.gbk;
      stat.englishName = group.english;
      for (const SampleSecurity& s : day_.securities) {
        if (s.securityType < group.firstType || s.securityType > group.lastType) continue;
        ++stat.stockNum;
        stat.numTrades += s.numTrades;
        stat.totalVolume += s.totalVolume;
        stat.totalValue += s.totalValue;
      }
      day_.stats.push_back(stat);
    }
  }

  void BuildHolidays() {
    // The mainland's fixed holidays, near enough for a sample; the model's own date is never one.
    static constexpr uint32_t kMonthDays[] = {101,  211,  212,  213,  214,  215, 404,
                                              405,  501,  502,  503,  610,  917, 1001,
                                              1002, 1003, 1004, 1005, 1006, 1007};
    const uint32_t year = day_.date / 10000;
    for (uint32_t monthDay : kMonthDays) {
      const uint32_t date = year * 10000 + monthDay;
      if (date != day_.date) day_.holidays.push_back(date);
      day_.lastYearHolidays.push_back((year - 1) * 10000 + monthDay);
    }
  }

  Random rng_;
  SampleDay& day_;
};

// ---- Rendering
// -------------------------------------------------------------------------------------

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
}

// value with `scale` implied decimals, printed with `decimals` decimals (decimals >= scale).
std::string Decimal(int64_t value, int scale, int decimals) {
  std::string out;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  if (value < 0) out += '-';
  uint64_t divisor = 1;
  for (int i = 0; i < scale; ++i) divisor *= 10;
  out += std::to_string(magnitude / divisor);
  if (decimals > 0) {
    std::string fraction = std::to_string(magnitude % divisor);
    if (fraction.size() < static_cast<size_t>(scale))
      fraction.insert(0, static_cast<size_t>(scale) - fraction.size(), '0');
    fraction.append(static_cast<size_t>(decimals - scale), '0');
    out += '.';
    out += fraction;
  }
  return out;
}

std::string Rate(double value) {
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
  return std::string(buffer, result.ptr);
}

class XmlWriter {
 public:
  explicit XmlWriter(const char* root, size_t reserve) : root_(root) {
    out_.reserve(reserve);
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out_ += "<!-- sample trading day for Fenwright -->\n";
    out_ += '<';
    out_ += root_;
    out_ += ">\n";
  }
  void Open(const char* tag) {
    Indent();
    out_ += '<';
    out_ += tag;
    out_ += ">\n";
    ++depth_;
  }
  void Close(const char* tag) {
    --depth_;
    Indent();
    out_ += "</";
    out_ += tag;
    out_ += ">\n";
  }
  void Leaf(const char* tag, std::string_view text) {
    Indent();
    out_ += '<';
    out_ += tag;
    out_ += '>';
    AppendEscaped(out_, text);
    out_ += "</";
    out_ += tag;
    out_ += ">\n";
  }
  void Leaf(const char* tag, char c) { Leaf(tag, std::string_view(&c, 1)); }
  void Number(const char* tag, int64_t value) { Leaf(tag, std::to_string(value)); }
  void Empty(const char* tag) {
    Indent();
    out_ += '<';
    out_ += tag;
    out_ += "/>\n";
  }
  void SecurityID(const std::string& code) {
    Leaf("SecurityID", code.size() == 6 ? code + "  " : code);
  }
  std::string Finish() {
    out_ += "</";
    out_ += root_;
    out_ += ">\n";
    return std::move(out_);
  }

 private:
  void Indent() { out_.append(static_cast<size_t>(depth_) * 2, ' '); }

  const char* root_;
  std::string out_;
  int depth_ = 1;
};

void WriteSecurityGroup(XmlWriter& x, const SampleSecurity& s) {
  const int type = s.securityType;
  if (type >= 1 && type <= 4) {
    x.Open("StockParams");
    x.Leaf("IndustryClassification", s.industry);
    x.Leaf("PreviousYearProfitPerShare", Decimal(s.profitPerShare, 4, 4));
    x.Leaf("CurrentYearProfitPerShare", "0.0000");
    x.Leaf("OfferingFlag", s.offeringFlag);
    x.Close("StockParams");
  } else if (type >= 14 && type <= 26) {
    x.Open("FundParams");
    x.Leaf("NAV", Decimal(s.nav, 4, 4));
    x.Close("FundParams");
  } else if ((type >= 5 && type <= 11) || type == 13 || type == 34 || type == 35) {
    x.Open("BondParams");
    x.Leaf("CouponRate", Decimal(s.couponRate, 6, 6));
    x.Leaf("IssuePrice", Decimal(s.issuePrice, 3, 4));
    x.Leaf("Interest", Decimal(s.interest, 6, 6));
    x.Number("InterestAccrualDate", s.interestAccrualDate);
    x.Number("MaturityDate", s.maturityDate);
    x.Leaf("OfferingFlag", s.offeringFlag);
    x.Close("BondParams");
  } else if (type == 28) {
    x.Open("WarrantParams");
    x.Leaf("ExercisePrice", Decimal(s.exercisePrice, 3, 4));
    x.Number("ExerciseRatio", 1);
    x.Number("ExerciseBeginDate", s.exerciseBeginDate);
    x.Leaf("CallOrPut", s.callOrPut);
    x.Leaf("WarrantClearingType", 'S');
    x.Leaf("ClearingPrice", Decimal(s.prevClosePx, 3, 4));
    x.Leaf("ExcerciseType", 'E');
    x.Close("WarrantParams");
  } else if (type == 12) {
    x.Open("RepoParams");
    x.Number("ExpirationDays", s.expirationDays);
    x.Close("RepoParams");
  } else if (type == 29 || type == 30) {
    x.Open("OptionParams");
    x.Leaf("CallOrPut", s.callOrPut);
    x.Number("DeliveryMonth", s.exerciseEndDate / 100 % 10000);
    x.Number("ExerciseBeginDate", s.exerciseBeginDate);
    x.Number("ExerciseEndDate", s.exerciseEndDate);
    x.Leaf("ExercisePrice", Decimal(s.exercisePrice, 3, 4));
    x.Number("LastTradeDay", s.exerciseEndDate);
    x.Leaf("Adjusted", 'N');
    x.Leaf("AdjustTimes", '0');
    x.Number("ContractUnit", 10000);
    x.Leaf("PrevClearingPrice", Decimal(s.prevClosePx, 3, 4));
    x.Number("ContractPosition", 0);
    x.Close("OptionParams");
  } else if (type == 33) {
    x.Open("PreferredStockParams");
    x.Leaf("Interest", Decimal(s.interest, 6, 6));
    x.Leaf("OfferingFlag", s.offeringFlag);
    x.Close("PreferredStockParams");
  }
}

std::string RenderSecurities(const SampleDay& day) {
  XmlWriter x("Securities", day.securities.size() * 1400 + 256);
  for (const SampleSecurity& s : day.securities) {
    x.Open("Security");
    x.SecurityID(s.code);
    x.Leaf("Symbol", s.symbol);
    x.Leaf("EnglishName", s.englishName);
    x.Leaf("ISIN", s.isin);
    x.Leaf("SecurityIDSource", "102");
    x.Leaf("UnderlyingSecurityID", s.underlying);
    x.Number("ListDate", s.listDate);
    x.Number("SecurityType", s.securityType);
    x.Leaf("Currency", s.currency);
    x.Number("QtyUnit", s.qtyUnit);
    x.Leaf("DayTrading", s.dayTrading);
    x.Leaf("PrevClosePx", Decimal(s.prevClosePx, 3, 4));
    if (s.statuses.empty()) {
      x.Empty("SecurityStatus");
    } else {
      x.Open("SecurityStatus");
      for (int32_t status : s.statuses) x.Number("Status", status);
      x.Close("SecurityStatus");
    }
    x.Number("OutstandingShare", s.outstandingShare);
    x.Number("PublicFloatShareQuantity", s.publicFloatShare);
    x.Leaf("ParValue", Decimal(s.parValue, 3, 3));
    x.Leaf("GageFlag", s.gageFlag);
    x.Leaf("GageRatio", Decimal(s.gageRatio, 2, 2));
    x.Leaf("CrdBuyUnderlying", s.crdBuyUnderlying);
    x.Leaf("CrdSellUnderlying", s.crdSellUnderlying);
    x.Leaf("PledgeFlag", s.pledgeFlag);
    x.Leaf("ContractMultiplier", Decimal(s.contractMultiplier, 2, 2));
    x.Empty("RegularShare");
    x.Leaf("QualificationFlag", s.qualificationFlag);
    WriteSecurityGroup(x, s);
    x.Leaf("PriceCheckMode", s.priceCheckMode);
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderCashAuction(const SampleDay& day) {
  XmlWriter x("CashAuctionParams", day.securities.size() * 1600 + 256);
  for (const SampleSecurity& s : day.securities) {
    if (!s.cashAuction) continue;
    const SampleCashAuction& c = *s.cashAuction;
    x.Open("Security");
    x.SecurityID(s.code);
    x.Leaf("SecurityIDSource", "102");
    x.Number("BuyQtyUpperLimit", c.buyQtyUpperLimit);
    x.Number("SellQtyUpperLimit", c.sellQtyUpperLimit);
    x.Number("BuyQtyUnit", c.buyQtyUnit);
    x.Number("SellQtyUnit", c.sellQtyUnit);
    x.Leaf("PriceTick", Decimal(c.priceTick, 3, 4));
    x.Open("PriceLimitSetting");
    for (const SampleLimitSetting& setting : c.settings) {
      x.Open("Setting");
      x.Leaf("Type", setting.type);
      x.Leaf("HasPriceLimit", setting.hasPriceLimit);
      x.Leaf("ReferPriceType", setting.referPriceType);
      x.Leaf("LimitType", setting.limitType);
      x.Leaf("LimitUpRate", Rate(setting.limitUpRate));
      x.Leaf("LimitDownRate", Rate(setting.limitDownRate));
      x.Leaf("LimitUpAbsolute", Decimal(setting.limitUpAbsolute, 3, 4));
      x.Leaf("LimitDownAbsolute", Decimal(setting.limitDownAbsolute, 3, 4));
      x.Leaf("HasAuctionLimit", setting.hasAuctionLimit);
      x.Leaf("AuctionLimitType", setting.auctionLimitType);
      x.Leaf("AuctionUpDownRate", Rate(setting.auctionUpDownRate));
      x.Leaf("AuctionUpDownAbsolute", Decimal(setting.auctionUpDownAbsolute, 3, 4));
      x.Close("Setting");
    }
    x.Close("PriceLimitSetting");
    x.Leaf("MarketMakerFlag", c.marketMakerFlag);
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderNegotiation(const SampleDay& day) {
  XmlWriter x("NegotiationParams", day.securities.size() * 120 + 256);
  for (const SampleSecurity& s : day.securities) {
    if (!s.negotiation) continue;
    const SampleNegotiation& n = *s.negotiation;
    x.Open("Security");
    x.SecurityID(s.code);
    x.Leaf("SecurityIDSource", "102");
    x.Number("BuyQtyUnit", n.buyQtyUnit);
    x.Number("SellQtyUnit", n.sellQtyUnit);
    x.Leaf("PriceUpperLimit", Decimal(n.priceUpperLimit, 3, 4));
    x.Leaf("PriceLowerLimit", Decimal(n.priceLowerLimit, 3, 4));
    x.Leaf("PriceTick", Decimal(n.priceTick, 3, 4));
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderAfterHours(const SampleDay& day) {
  XmlWriter x("AfterHoursParams", day.securities.size() * 80 + 256);
  for (const SampleSecurity& s : day.securities) {
    if (!s.afterHours) continue;
    x.Open("Security");
    x.SecurityID(s.code);
    x.Leaf("SecurityIDSource", "102");
    x.Number("BuyQtyUnit", s.afterHours->buyQtyUnit);
    x.Number("SellQtyUnit", s.afterHours->sellQtyUnit);
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderSecuritySwitch(const SampleDay& day) {
  XmlWriter x("SecuritySwitches", day.securities.size() * 300 + 256);
  for (const SampleSecurity& s : day.securities) {
    if (s.switches.empty()) continue;
    x.Open("Security");
    x.SecurityID(s.code);
    x.Leaf("SecurityIDSource", "102");
    x.Open("SecuritySwitch");
    for (const SampleSwitch& sw : s.switches) {
      x.Open("Setting");
      x.Number("Switch", sw.type);
      x.Leaf("Status", sw.enabled ? 'Y' : 'N');
      x.Close("Setting");
    }
    x.Close("SecuritySwitch");
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderIssues(const SampleDay& day) {
  XmlWriter x("IssueParams", day.issues.size() * 500 + 256);
  for (const SampleIssue& i : day.issues) {
    x.Open("Security");
    x.SecurityID(i.code);
    x.Leaf("SecurityIDSource", "102");
    x.Leaf("Symbol", i.symbol);
    x.Number("OutStandingShare", i.outstandingShare);
    x.Number("SecurityType", i.securityType);
    x.Leaf("PriceUpperLimit", Decimal(i.priceUpperLimit, 3, 4));
    x.Leaf("PriceLowerLimit", Decimal(i.priceLowerLimit, 3, 4));
    x.Number("Unit", i.unit);
    x.Number("QtyUpperLimit", i.qtyUpperLimit);
    x.Number("StartDate", i.startDate);
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderRightsIssues(const SampleDay& day) {
  XmlWriter x("RightsIssueParams", day.rightsIssues.size() * 300 + 256);
  for (const SampleRightsIssue& r : day.rightsIssues) {
    x.Open("Security");
    x.SecurityID(r.code);
    x.Leaf("SecurityIDSource", "102");
    x.Leaf("Symbol", r.symbol);
    x.Leaf("UnderlyingSecurityID", r.underlying);
    x.Leaf("Price", Decimal(r.price, 3, 4));
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderBondDistributions(const SampleDay& day) {
  XmlWriter x("BondDistributionParams", day.bondDistributions.size() * 400 + 256);
  for (const SampleBondDistribution& b : day.bondDistributions) {
    x.Open("Security");
    x.SecurityID(b.code);
    x.Leaf("SecurityIDSource", "102");
    x.Leaf("Symbol", b.symbol);
    x.Leaf("UnderlyingSecurityID", b.underlying);
    x.Number("SecurityType", b.securityType);
    x.Number("QtyUpperLimit", b.qtyUpperLimit);
    x.Number("SelfListQty", b.selfListQty);
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderIndexInfo(const SampleDay& day) {
  XmlWriter x("IndexInfo", day.indexes.size() * 300 + 256);
  for (const SampleIndex& i : day.indexes) {
    x.Open("Security");
    x.SecurityID(i.code);
    x.Leaf("SecurityIDSource", "102");
    x.Leaf("Symbol", i.symbol);
    x.Leaf("EnglishName", i.englishName);
    x.Leaf("PrevCloseIdx", Decimal(i.prevClose, 4, 4));
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderStats(const SampleDay& day) {
  XmlWriter x("Stats", day.stats.size() * 300 + 256);
  for (const SampleStat& s : day.stats) {
    x.Open("Security");
    x.SecurityID(s.code);
    x.Leaf("SecurityIDSource", "102");
    x.Leaf("Symbol", s.symbol);
    x.Leaf("EnglishName", s.englishName);
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderClosing(const SampleDay& day) {
  XmlWriter x("CashSecurityCloseMD", day.securities.size() * 300 + 256);
  for (const SampleSecurity& s : day.securities) {
    if (!s.cashAuction) continue;
    x.Open("Security");
    x.SecurityID(s.code);
    x.Leaf("SecurityIDSource", "102");
    x.Leaf("Symbol", s.symbol);
    x.Leaf("ClosePx", Decimal(s.closePx, 3, 4));
    x.Number("NumTrades", s.numTrades);
    x.Leaf("TotalVolumeTrade", Decimal(s.totalVolume, 0, 2));
    x.Leaf("TotalValueTrade", Decimal(s.totalValue, 3, 4));
    x.Close("Security");
  }
  return x.Finish();
}

std::string RenderIndexNames(const SampleDay& day) {
  std::string out = "; 指数名称: 代码,名称\n";
  for (const SampleIndex& i : day.indexes) {
    if (i.shortNameGbk.empty()) continue;
    out += i.code;
    out += ',';
    out += i.shortNameGbk;
    out += '\n';
  }
  // A code the index file does not hold: harmless, as in the operator's real files.
  out += "000300,沪深300\n";
  return out;
}

void AppendHolidaySection(std::string& out, uint32_t year, const std::vector<uint32_t>& dates) {
  out += '[' + std::to_string(year) + "]\n";
  for (uint32_t month = 1; month <= 12; ++month) {
    std::string days;
    for (uint32_t date : dates) {
      if (date / 100 % 100 != month) continue;
      if (!days.empty()) days += ',';
      days += std::to_string(date % 100);
    }
    if (!days.empty()) out += TwoDigits(month) + "=" + days + "\n";
  }
}

std::string RenderHolidays(const SampleDay& day) {
  std::string out;
  AppendHolidaySection(out, day.date / 10000 - 1, day.lastYearHolidays);
  out += '\n';
  AppendHolidaySection(out, day.date / 10000, day.holidays);
  return out;
}

}  // namespace

bool SampleSecurity::Halted() const {
  return std::find(statuses.begin(), statuses.end(), 1) != statuses.end();
}

SampleDay BuildSampleDay(const SampleDayOptions& options) {
  SampleDay day;
  DayBuilder builder(options, day);
  builder.Build(std::clamp<uint32_t>(options.securityCount, 1, kMaxSecurities));
  return day;
}

std::vector<SampleFile> RenderSampleDay(const SampleDay& day) {
  const std::string date = "_" + std::to_string(day.date) + ".xml";
  std::vector<SampleFile> files;
  files.push_back({"securities" + date, RenderSecurities(day)});
  files.push_back({"cashauctionparams" + date, RenderCashAuction(day)});
  files.push_back({"negotiationparams" + date, RenderNegotiation(day)});
  files.push_back({"afterhoursparams" + date, RenderAfterHours(day)});
  files.push_back({"securityswitch" + date, RenderSecuritySwitch(day)});
  files.push_back({"issueparams" + date, RenderIssues(day)});
  files.push_back({"rightsissueparams" + date, RenderRightsIssues(day)});
  files.push_back({"bonddistributionparams" + date, RenderBondDistributions(day)});
  files.push_back({"indexinfo" + date, RenderIndexInfo(day)});
  files.push_back({"stat" + date, RenderStats(day)});
  files.push_back({"cashsecurityclosemd" + date, RenderClosing(day)});
  files.push_back({"indexname.ini", RenderIndexNames(day)});
  files.push_back({"holiday.ini", RenderHolidays(day)});
  return files;
}

int32_t WriteSampleDay(const SampleDay& day, const std::string& folder) {
  std::string prefix = folder.empty() ? std::string(".") : folder;
  // Every missing level of the folder is made, outermost first.
  for (size_t i = 1; i < prefix.size(); ++i) {
    if (platform::IsPathSeparator(prefix[i]) && !platform::IsPathSeparator(prefix[i - 1])) {
      platform::MakeDirectory(prefix.substr(0, i));
    }
  }
  platform::MakeDirectory(prefix);
  if (!platform::IsPathSeparator(prefix.back())) prefix += platform::kPathSeparator;
  for (const SampleFile& file : RenderSampleDay(day)) {
    platform::SharedFile out;
    const std::string path = prefix + file.name;
    int32_t result = out.Create(path, false);
    if (result >= 0)
      result = out.Write(file.content.data(), static_cast<uint32_t>(file.content.size()));
    if (result >= 0) result = out.SetEnd();
    out.Close();
    if (result < 0) return result;
  }
  return 0;
}

}  // namespace fw::tools
