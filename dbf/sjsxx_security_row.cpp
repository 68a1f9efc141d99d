// The security row of the two security information files and the rules behind it that depend on
// the SecurityType, the status codes, the trading phase and the day's parameter files.
//
// Thread: the one running SecurityInfoFile::SetData.
#include "dbf/sjsxx_rows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string_view>

namespace fw::dbf::sjsxx {

using refdata::CashAuctionParamsRecord;
using refdata::FeedOverlay;
using refdata::NegotiationParamsRecord;
using refdata::ReferenceTables;
using refdata::SecurityRecord;
using refdata::SecuritySwitchRecord;

namespace {

// The row copies its fields' widths straight from the security record.
static_assert(sizeof(SecurityRecord::SecurityID) >= 6 && sizeof(SecurityRecord::Symbol) >= 8 &&
              sizeof(SecurityRecord::EnglishName) >= 20 &&
              sizeof(SecurityRecord::UnderlyingSecurityID) >= 6 &&
              sizeof(SecurityRecord::ISIN) >= 12 &&
              sizeof(SecurityRecord::IndustryClassification) >= 3);

// A value from a reference file truncated toward zero as a whole number of the field's unit. A
// value without a 64-bit integer part (NaN, infinite, beyond ±9.2e18) gives INT64_MIN, which no
// field holds, so its row fails there as any other value that does not fit.
int64_t TruncatedInteger(double x) {
  if (!(x > -9.2e18 && x < 9.2e18)) return INT64_MIN;
  return static_cast<int64_t>(x);
}

// Share counts: trunc(x + 0.50001).
int64_t Shares(double x) { return TruncatedInteger(x + 0.50001); }

// trunc(x * scale + offset) * unit, kept in double (NaN and infinities pass through and show as
// the field's overflow).
double TruncatedScaled(double x, double scale, double offset, double unit) {
  return std::trunc(x * scale + offset) * unit;
}

// r2(x) = trunc((x + 0.00501) * 100) * 0.01.
double RoundedCents(double x) { return std::trunc((x + 0.00501) * 100) * 0.01; }

// ---------------------------------------------------------------------------------------------
// Rules that depend on the SecurityType

enum class Yields : uint8_t {  // XXSNLR and XXBNLR
  kProfit,                     // PreviousYearProfitPerShare and 0
  kNav,                        // NAV and 0
  kCoupon,                     // CouponRate and Interest (type 5 without coupon: IssuePrice)
  kInterest,                   // Interest and 0
};
enum class Dates : uint8_t {  // XXQXRQ and XXDJRQ
  kNone,
  kBond,    // InterestAccrualDate and MaturityDate
  kOption,  // ExerciseBeginDate and ExerciseEndDate of the option
};
enum class Business : uint8_t { kOther, kStock, kConvertible, kBond, kFund, kType28, kType33 };

struct TypeClass {
  int16_t first, last;
  char letter;     // 'E', 'L', 'C', 'F' or 0: XXZQJB, XXJCQZ's fourth letter
  bool centPrice;  // price limits rounded to cents (S 100, K 0.00501, U 0.01), else to mils
  Yields yields;
  Dates dates;
  bool accrualDate;  // SJSXX's XXSSRQ shows InterestAccrualDate
  Business business;
};

constexpr TypeClass kTypeClasses[] = {
    {1, 4, 0, true, Yields::kProfit, Dates::kNone, false, Business::kStock},
    {5, 5, 0, false, Yields::kCoupon, Dates::kBond, true, Business::kOther},
    {6, 7, 0, false, Yields::kCoupon, Dates::kBond, true, Business::kConvertible},
    {8, 8, 0, false, Yields::kCoupon, Dates::kBond, false, Business::kBond},
    {9, 9, 0, false, Yields::kCoupon, Dates::kBond, true, Business::kOther},
    {10, 10, 0, false, Yields::kCoupon, Dates::kBond, true, Business::kBond},
    {11, 11, 0, false, Yields::kCoupon, Dates::kBond, true, Business::kOther},
    {14, 20, 'E', false, Yields::kNav, Dates::kNone, false, Business::kFund},
    {23, 24, 'L', false, Yields::kNav, Dates::kNone, false, Business::kFund},
    {25, 25, 'C', false, Yields::kNav, Dates::kNone, false, Business::kOther},
    {26, 26, 'F', false, Yields::kNav, Dates::kNone, false, Business::kFund},
    {28, 28, 0, false, Yields::kProfit, Dates::kNone, false, Business::kType28},
    {29, 30, 0, false, Yields::kProfit, Dates::kOption, false, Business::kOther},
    {33, 33, 0, false, Yields::kInterest, Dates::kNone, false, Business::kType33},
    {34, 34, 0, false, Yields::kCoupon, Dates::kBond, true, Business::kBond},
    {35, 35, 0, false, Yields::kCoupon, Dates::kBond, true, Business::kOther},
};
constexpr TypeClass kOtherTypes{
    0, 0, 0, false, Yields::kProfit, Dates::kNone, false, Business::kOther};

const TypeClass& ClassOf(int16_t securityType) {
  for (const TypeClass& c : kTypeClasses) {
    if (securityType >= c.first && securityType <= c.last) return c;
  }
  return kOtherTypes;
}

// XXYWZT: eight letters, the first six from a row of this table, the last two blank. "Switch n"
// is the security switch of SwitchType n.
enum class Source : uint8_t {
  kBlank,
  kT,
  kF,
  kStockOffering,  // StockParams OfferingFlag: 'Y' T, 'N' F, else blank
  kBondOffering,   // BondParams OfferingFlag, the same
  kDayTrading,     // 'Y' T, 'N' F, else blank
  kQualified,      // 'R' when QualificationFlag is 'T', else blank
  kSwitchOrF,      // switch a, or 'F' when unset
  kSwitchIfSet,    // switch a, or blank when unset
  kEitherSwitch,   // 'T' when switch a or switch b is 'T', else 'F'
};
struct Position {
  Source source;
  uint8_t a = 0, b = 0;
};
using BusinessRow = std::array<Position, 6>;

constexpr BusinessRow BusinessRowOf(Business business) {
  using S = Source;
  constexpr Position T{S::kT}, F{S::kF}, _{S::kBlank}, Day{S::kDayTrading};
  switch (business) {
    case Business::kStock:
      return {Position{S::kStockOffering}, _, _, _, Day, F};
    case Business::kConvertible:
      return {T, T, T, T, Day, Position{S::kQualified}};
    case Business::kBond:
      return {Position{S::kBondOffering},
              Position{S::kSwitchOrF, 6},
              Position{S::kSwitchOrF, 7},
              _,
              Day,
              F};
    case Business::kFund:
      return {_, Position{S::kEitherSwitch, 3, 12}, Position{S::kEitherSwitch, 4, 13}, _, Day, F};
    case Business::kType28:
      return {Position{S::kSwitchIfSet, 8}, _, _, _, Day, F};
    case Business::kType33:
      return {Position{S::kBondOffering}, _, _, Position{S::kSwitchIfSet, 22}, Day, _};
    case Business::kOther:
      break;
  }
  return {T, T, T, T, Day, F};
}

char YesNoLetter(char flag) { return flag == 'Y' ? 'T' : flag == 'N' ? 'F' : ' '; }

bool BeginsWithStarSt(const char* symbol) { return std::memcmp(symbol, "*ST", 3) == 0; }

}  // namespace

void BusinessStatus(int16_t securityType, const SecurityRecord* security,
                    const SecuritySwitchRecord* switches, char out[8]) {
  const BusinessRow row = BusinessRowOf(ClassOf(securityType).business);
  const auto switchOf = [switches](int n) {
    return switches != nullptr ? switches->Switch(n) : '\0';
  };
  std::memset(out, ' ', 8);
  for (size_t i = 0; i < row.size(); ++i) {
    const Position& p = row[i];
    char letter = ' ';
    switch (p.source) {
      case Source::kBlank:
        break;
      case Source::kT:
        letter = 'T';
        break;
      case Source::kF:
        letter = 'F';
        break;
      case Source::kStockOffering:
        if (security != nullptr) letter = YesNoLetter(security->stockOfferingFlag);
        break;
      case Source::kBondOffering:
        if (security != nullptr) letter = YesNoLetter(security->bondOfferingFlag);
        break;
      case Source::kDayTrading:
        if (security != nullptr) letter = YesNoLetter(security->DayTrading);
        break;
      case Source::kQualified:
        if (security != nullptr && security->QualificationFlag == 'T') letter = 'R';
        break;
      case Source::kSwitchOrF: {
        const char s = switchOf(p.a);
        letter = s != '\0' ? s : 'F';
        break;
      }
      case Source::kSwitchIfSet: {
        const char s = switchOf(p.a);
        if (s != '\0') letter = s;
        break;
      }
      case Source::kEitherSwitch:
        letter = switchOf(p.a) == 'T' || switchOf(p.b) == 'T' ? 'T' : 'F';
        break;
    }
    out[i] = letter;
  }
}

char ParameterKindLetter(int16_t securityType, const char* symbol, bool withC) {
  const char typeLetter = ClassOf(securityType).letter;
  char letter = typeLetter != 0 && (withC || typeLetter != 'C') ? typeLetter : 'N';
  if (BeginsWithStarSt(symbol)) letter = '*';
  return letter;
}

namespace {

// ---------------------------------------------------------------------------------------------
// Letters of a security row

bool HasStatus(const SecurityRecord& s, int32_t code) {
  return std::find(std::begin(s.statusCodes), std::end(s.statusCodes), code) !=
         std::end(s.statusCodes);
}

// XXZQJB of a security row.
char KindLetter(const SecurityRecord& s, char tradeKind) {
  const char typeLetter = ClassOf(s.SecurityType).letter;
  char letter = typeLetter != 0 && typeLetter != 'C' ? typeLetter : 'N';
  for (const int32_t code : s.statusCodes) {
    if (code == 4) letter = 'S';
    if (code == 5) letter = '*';
    if (code == 10) letter = 'Z';
  }
  if (BeginsWithStarSt(s.Symbol)) letter = '*';
  if (tradeKind == 'O') letter = 'B';
  return letter;
}

// XXZQZT (SJSXXN) and XXCQCX (SJSXX): 2 and 3 move 'N' to 'E' and 'D', and either after the other
// to 'A'; with suspension 6 and 12 give 'Y' and 'Z'.
char StatusCode(const SecurityRecord& s, bool withSuspension) {
  char letter = 'N';
  for (const int32_t code : s.statusCodes) {
    if (code == 2) {
      if (letter == 'N')
        letter = 'E';
      else if (letter == 'D')
        letter = 'A';
    } else if (code == 3) {
      if (letter == 'N')
        letter = 'D';
      else if (letter == 'E')
        letter = 'A';
    } else if (withSuspension && code == 6) {
      letter = 'Y';
    } else if (withSuspension && code == 12) {
      letter = 'Z';
    }
  }
  return letter;
}

// XXJYZT (SJSXX).
char TradingStatus(const SecurityRecord& s) {
  char letter = 'N';
  for (const int32_t code : s.statusCodes) {
    if (code == 6) letter = 'Y';
    if (code == 12) letter = 'Z';
  }
  return letter;
}

// XXJYJD from the trading phase.
char PhaseDigit(const char phase[2]) {
  switch (phase[0]) {
    case 'A':
      return '5';
    case 'C':
      return '4';
    case 'E':
      return '6';
    case 'H':
      return '3';
    case 'O':
      return '1';
    case 'B':
    case 'S':
      return '0';
    case 'T':
      return phase[1] == '0' ? '2' : phase[1] == '1' ? '0' : ' ';
    default:
      return ' ';
  }
}

char SuspensionLetter(const SuspensionRule& rule, const char phase[2], char phaseLetter) {
  char letter = rule.initial;
  if (rule.phaseH != 0 && phase[0] == 'H') {
    letter = rule.phaseH;
  } else if (phase[1] == '1') {
    letter = rule.phaseSecondOne;
  }
  if (phaseLetter == 'Y') letter = rule.letterY;
  if (phaseLetter == 'H') letter = rule.letterH;
  return letter;
}

// XXJCQZ: the halt (phase) letter, the margin letter, the status letter, the spare letter; the
// third 'W' when an offering flag is 'Y', the fourth the type letter; blanks (and NULs, which the
// file would show as blanks) become '.'.
void StatusLetters(const SecurityRecord& s, char phaseLetter, char out[4]) {
  out[0] = phaseLetter;
  out[1] = s.marginFlag;
  out[2] = s.stockOfferingFlag == 'Y' || s.bondOfferingFlag == 'Y' ? 'W' : s.statusLetter;
  const char typeLetter = ClassOf(s.SecurityType).letter;
  out[3] = typeLetter != 0 ? typeLetter : s.spareFlag;
  for (int i = 0; i < 4; ++i) {
    if (out[i] == ' ' || out[i] == '\0') out[i] = '.';
  }
}

// ---------------------------------------------------------------------------------------------
// Units and limits from the parameter files

struct Parameters {
  const CashAuctionParamsRecord* cash;
  const NegotiationParamsRecord* negotiation;
  const refdata::AfterHoursParamsRecord* afterHours;
  char tradeKind;  // 'N', 'G', 'O', ' ', or 0 for none
};

Parameters ParametersOf(uint32_t code, const ReferenceTables& tables) {
  Parameters p{tables.cashAuctionParams.GetLoaded(code), tables.negotiationParams.GetLoaded(code),
               tables.afterHoursParams.GetLoaded(code), 0};
  if (p.cash != nullptr) {
    p.tradeKind = p.negotiation != nullptr ? 'N' : 'G';
  } else if (p.negotiation != nullptr) {
    p.tradeKind = 'O';
  } else if (p.afterHours != nullptr) {
    p.tradeKind = ' ';
  }
  return p;
}

bool AuctionKind(char tradeKind) { return tradeKind == 'G' || tradeKind == 'N'; }

struct PriceLimits {
  double opening = 0;     // XXJHCS
  double continuous = 0;  // XXLXCS
  int64_t rateLimit = 1;  // XXXJXZ
  double upper = kNoUpperLimit;
  double lower = 0;
  double negotiationUpper = 0;  // XXJGSX
  double negotiationLower = 0;  // XXJGXX
};

// The visit of the first four price limit settings of the cash auction parameters. A security
// without them keeps the defaults: no auction limits, rate limit 1, no price limits.
PriceLimits PriceLimitsOf(const SecurityRecord& s, const Parameters& p, const FileRules& rules) {
  PriceLimits limits;
  bool limitsSet = false;
  if (p.cash != nullptr) {
    const bool auctionKind = AuctionKind(p.tradeKind);
    const int visited = std::clamp(p.cash->settingCount, 0, 4);
    for (int i = 0; i < visited; ++i) {
      const refdata::PriceLimitSetting& setting = p.cash->settings[i];
      if (setting.Type != 'O' && setting.Type != 'T') continue;
      double* auctionLimit = setting.Type == 'O' ? &limits.opening : &limits.continuous;
      if (setting.HasAuctionLimit != 'N') {
        if (setting.AuctionLimitType == '1') {
          *auctionLimit = TruncatedScaled(setting.AuctionUpDownRate, 1000, 0, 0.001);
          limits.rateLimit = 1;
        } else if (setting.AuctionLimitType == '2') {
          *auctionLimit = TruncatedScaled(setting.AuctionUpDownAbsolute, 1000, 0, 0.001);
          limits.rateLimit = 0;
        }
        if (!auctionKind) *auctionLimit = 0;
      }
      if (setting.Type != 'T') continue;
      if (auctionKind && setting.HasPriceLimit != 'N') {
        if (setting.LimitType == '1') {
          const bool cents = ClassOf(s.SecurityType).centPrice;
          const double scale = cents ? 100 : 1000;
          const double offset = cents ? 0.00501 : 0.00051;
          const double unit = cents ? 0.01 : 0.001;
          limits.upper =
              std::trunc(scale * (offset + (1 + setting.LimitUpRate) * s.PrevClosePx)) * unit;
          limits.lower =
              std::trunc(scale * (offset + (1 - setting.LimitDownRate) * s.PrevClosePx)) * unit;
          limitsSet = true;
        } else if (setting.LimitType == '2') {
          limits.upper =
              TruncatedScaled(setting.LimitUpAbsolute, 1000, rules.absoluteLimitOffset, 0.001);
          limits.lower =
              TruncatedScaled(setting.LimitDownAbsolute, 1000, rules.absoluteLimitOffset, 0.001);
          limitsSet = true;
        }
        break;
      }
      if (setting.HasPriceLimit == 'N' && p.tradeKind == 'N') {
        limits.negotiationUpper = p.negotiation->PriceUpperLimit;
        limits.negotiationLower = p.negotiation->PriceLowerLimit;
      }
    }
  }
  if (p.tradeKind == 'O') {
    limits.upper = p.negotiation->PriceUpperLimit;
    limits.lower = p.negotiation->PriceLowerLimit;
  } else if (!limitsSet) {
    limits.upper = kNoUpperLimit;
    limits.lower = 0;
  }
  return limits;
}

// XXHBZL: "00" for CNY, "01" for HKD, nullptr (blank) for any other currency.
const char* CurrencyCode(const char (&currency)[4]) {
  const std::string_view text(
      currency, static_cast<size_t>(std::find(currency, currency + 4, '\0') - currency));
  if (text == "CNY") return "00";
  if (text == "HKD") return "01";
  return nullptr;
}

struct YieldColumns {
  double xxsnlr;
  double xxbnlr;
};

// XXSNLR and XXBNLR.
YieldColumns YieldsOf(const SecurityRecord& s, Yields yields) {
  switch (yields) {
    case Yields::kProfit:
      return {s.PreviousYearProfitPerShare, 0.0};
    case Yields::kNav:
      return {s.NAV, 0.0};
    case Yields::kCoupon:
      return {s.SecurityType == 5 && s.CouponRate == 0 ? s.IssuePrice
                                                       : static_cast<double>(s.CouponRate),
              static_cast<double>(s.Interest)};
    case Yields::kInterest:
      return {static_cast<double>(s.Interest), 0.0};
  }
  return {0.0, 0.0};
}

}  // namespace

void WriteSecurityRow(RowWriter& w, uint32_t code, const SecurityRecord& s, const RowContext& cx) {
  const FileRules& rules = cx.rules;
  const TypeClass& type = ClassOf(s.SecurityType);
  const Parameters p = ParametersOf(code, cx.tables);
  const FeedOverlay::Phase* phase = cx.overlay.FindPhase(code);
  const char tradingPhase[2] = {phase != nullptr ? phase->tradingPhase[0] : '\0',
                                phase != nullptr ? phase->tradingPhase[1] : '\0'};
  const char phaseLetter = phase != nullptr ? phase->haltFlag : ' ';
  const SecuritySwitchRecord* switches = cx.overlay.FindSwitch(code);
  const auto switchIsT = [switches](int n) {
    return switches != nullptr && switches->Switch(n) == 'T';
  };

  w.Chars(XXZQDM, s.SecurityID, 6);
  w.Text(XXZQJC, s.Symbol, 8);
  char statusLetters[4];
  StatusLetters(s, phaseLetter, statusLetters);
  w.Chars(XXJCQZ, statusLetters, 4);
  w.Chars(XXYWJC, s.EnglishName, 20);
  w.Chars(XXJCZQ, s.UnderlyingSecurityID, 6);
  w.Chars(XXISIN, s.ISIN, 12);
  const char* industry = s.IndustryClassification;
  if (industry[0] != '\0' || industry[1] != '\0' || industry[2] != '\0') {
    w.Chars(XXHYZL, industry, 3);
  } else {
    w.Letter(XXHYZL, ' ');
  }
  if (const char* currency = CurrencyCode(s.Currency)) w.Chars(XXHBZL, currency, 2);
  w.Number(XXMGMZ, RoundedCents(s.ParValue == 0 ? 1.0 : s.ParValue));
  w.Integer(XXZFXL, Shares(s.OutstandingShare));
  w.Integer(XXLTGS, Shares(s.PublicFloatShareQuantity));
  const YieldColumns yields = YieldsOf(s, type.yields);
  w.Number(XXSNLR, yields.xxsnlr);
  w.Number(XXBNLR, yields.xxbnlr);
  w.Zeros(XXLJJZ, XXGHFL);
  w.Integer(XXSSRQ,
            rules.accrualDateAsListing && type.accrualDate ? s.InterestAccrualDate : s.ListDate);
  if (type.dates == Dates::kBond) {
    w.Integer(XXQXRQ, s.InterestAccrualDate);
    w.Integer(XXDJRQ, s.MaturityDate);
  } else if (type.dates == Dates::kOption) {
    w.Integer(XXQXRQ, s.optionExerciseBeginDate);
    w.Integer(XXDJRQ, s.ExerciseEndDate);
  } else {
    w.Zeros(XXQXRQ, XXDJRQ);
  }
  w.Integer(XXJYDW, Shares(s.QtyUnit));
  if (p.tradeKind == 'O') {
    w.Integer(XXBLDW, Shares(p.negotiation->BuyQtyUnit));
    w.Integer(XXSLDW, Shares(p.negotiation->SellQtyUnit));
  } else if (p.tradeKind == ' ') {
    w.Integer(XXBLDW, Shares(p.afterHours->BuyQtyUnit));
    w.Integer(XXSLDW, Shares(p.afterHours->SellQtyUnit));
  } else if (p.cash != nullptr) {
    w.Integer(XXBLDW, Shares(p.cash->BuyQtyUnit));
    w.Integer(XXSLDW, Shares(p.cash->SellQtyUnit));
  } else {
    w.Zeros(XXBLDW, XXSLDW);
  }
  w.Integer(XXMBXL, AuctionKind(p.tradeKind) ? Shares(p.cash->BuyQtyUpperLimit) : 0);
  if (p.tradeKind == 'O' || p.tradeKind == 'N') {
    w.Number(XXJGDW, p.negotiation->PriceTick);
  } else if (p.cash != nullptr) {
    w.Number(XXJGDW, p.cash->PriceTick);
  } else {
    w.Zero(XXJGDW);
  }
  const PriceLimits limits = PriceLimitsOf(s, p, rules);
  w.Number(XXJHCS, limits.opening);
  w.Number(XXLXCS, limits.continuous);
  w.Integer(XXXJXZ, limits.rateLimit);
  w.Number(XXZTJG, limits.upper);
  w.Number(XXDTJG, limits.lower);
  w.Number(XXJGSX, limits.negotiationUpper);
  w.Number(XXJGXX, limits.negotiationLower);
  w.Number(XXZHBL, s.ContractMultiplier);
  // The ratio times 100 in its own (single) precision: 0.7 shows 0.70, not 0.69.
  w.Number(XXDBZSL, s.GageFlag == 'Y' ? std::trunc(s.GageRatio * 100.0f) * 0.01 : 0.0);
  w.Letter(XXRZBD, s.CrdBuyUnderlying == 'Y' ? 'T' : 'F');
  w.Letter(XXRQBD, s.CrdSellUnderlying == 'Y' ? 'T' : 'F');
  w.Letter(XXCFBZ, ' ');
  w.Letter(XXZSBZ, p.cash != nullptr && p.cash->MarketMakerFlag == 'Y' ? 'T' : 'F');
  w.Letter(XXSCDM, ' ');
  w.Letter(XXZQLB, ' ');
  w.Letter(XXZQJB, KindLetter(s, p.tradeKind));
  const char statusCode = StatusCode(s, rules.suspensionInStatus);
  w.Letter(XXZQZT, statusCode);
  if (p.tradeKind != 0) w.Letter(XXJYLX, p.tradeKind);
  w.Letter(XXJYJD, PhaseDigit(tradingPhase));
  w.Letter(XXTPBZ, SuspensionLetter(rules.suspension, tradingPhase, phaseLetter));
  w.Letter(XXRZZT, switchIsT(1) ? 'T' : 'F');
  w.Letter(XXRQZT, switchIsT(2) ? 'T' : 'F');
  w.Letter(XXRQJX, s.PriceCheckMode == '1' || s.PriceCheckMode == '2' ? s.PriceCheckMode : '0');
  w.Letter(XXWLTP, HasStatus(s, 9) ? 'T' : 'F');
  char business[8];
  BusinessStatus(s.SecurityType, &s, switches, business);
  w.Chars(XXYWZT, business, 8);
  w.Chars(XXGXSJ, cx.localTime, 6);
  w.Letter(XXMARK, ' ');
  w.Letter(XXBYBZ, ' ');
  w.Letter(XXJYZT, TradingStatus(s));
  w.Letter(XXCQCX, statusCode);
}
}  // namespace fw::dbf::sjsxx
