#include "dbf/sjsxx_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "dbf/dbf_format.h"
#include "foundation/local_clock.h"
#include "foundation/run_log.h"
#include "refdata/code_number.h"

namespace fw::dbf {

using namespace sjsxx;
using refdata::BondDistributionParamsRecord;
using refdata::CashAuctionParamsRecord;
using refdata::FeedOverlay;
using refdata::IssueParamsRecord;
using refdata::NegotiationParamsRecord;
using refdata::ReferenceTables;
using refdata::RightsIssueParamsRecord;
using refdata::SecurityRecord;
using refdata::SecuritySwitchRecord;

namespace {

// ---------------------------------------------------------------------------------------------
// Numbers

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

// The largest count a 9-digit field holds: issue and bond-distribution quantities above it show it.
constexpr double kMaxQuantity = 999999999;
constexpr double kNoUpperLimit = 99999.999;

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

// The eight XXYWZT letters. Without a security record (issue rows) the positions that come from
// the offering flags, DayTrading and QualificationFlag stay blank.
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

// ---------------------------------------------------------------------------------------------
// Letters of a security row

bool BeginsWithStarSt(const char* symbol) { return std::memcmp(symbol, "*ST", 3) == 0; }

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

// XXZQJB of issue (with 'C') and bond-distribution rows (without).
char ParameterKindLetter(int16_t securityType, const char* symbol, bool withC) {
  const char typeLetter = ClassOf(securityType).letter;
  char letter = typeLetter != 0 && (withC || typeLetter != 'C') ? typeLetter : 'N';
  if (BeginsWithStarSt(symbol)) letter = '*';
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
// One row before it goes to the file

// What one column receives. Numeric columns start as 0 in their own shape, character columns as
// nothing (blank in the file).
struct Cell {
  enum class Kind : uint8_t { kNothing, kText, kInteger, kNumber, kFraction };
  Kind kind = Kind::kNothing;
  uint8_t length = 0;
  char text[20] = {};
  int64_t integer = 0;
  double number = 0;
};

class Row {
 public:
  Row() {
    for (size_t c = 0; c < kColumnCount; ++c) {
      const FieldSpec& f = kColumns[c];
      Cell& cell = cells_[c];
      if (f.type == 'C') continue;
      if (f.decimals == 0) {
        cell.kind = Cell::Kind::kInteger;
      } else if (f.decimals + 2 > f.length) {
        cell.kind = Cell::Kind::kFraction;  // 0 in a 7.6 field: .000000
      } else {
        cell.kind = Cell::Kind::kNumber;
      }
    }
  }

  // Up to the column's width of `bytes` (NUL bytes included: they show as blanks).
  void Text(Column c, const char* bytes, size_t length) {
    Cell& cell = cells_[c];
    cell.kind = Cell::Kind::kText;
    cell.length =
        static_cast<uint8_t>(std::min<size_t>({length, kColumns[c].length, sizeof cell.text}));
    std::memcpy(cell.text, bytes, cell.length);
  }
  void Letter(Column c, char letter) { Text(c, &letter, 1); }
  void Integer(Column c, int64_t value) {
    cells_[c].kind = Cell::Kind::kInteger;
    cells_[c].integer = value;
  }
  void Number(Column c, double value) {
    cells_[c].kind = Cell::Kind::kNumber;
    cells_[c].number = value;
  }
  void Nothing(Column c) { cells_[c].kind = Cell::Kind::kNothing; }

  // Writes the cells into the table's current record, column by column, as far as the file has
  // them. A cell that does not fit stops the row there (the rest of the record stays blank): the
  // result is then -(column + 1); else 1. With `onlyStopAt` set, only that column stops the row and
  // other failures are passed over.
  int32_t WriteTo(DbfTable& table, const ColumnMap& columns, int onlyStopAt = -1) const {
    for (size_t c = 0; c < kColumnCount; ++c) {
      const int field = columns[c];
      if (field < 0) continue;
      const Cell& cell = cells_[c];
      const auto index = static_cast<uint16_t>(field);
      int32_t result = 1;
      switch (cell.kind) {
        case Cell::Kind::kNothing:
          break;
        case Cell::Kind::kText:
          // The name is GBK text; every other character column holds codes, letters or texts
          // passed on as read.
          result = c == XXZQJC ? table.SetTextField(index, cell.text, cell.length)
                               : table.SetCharField(index, cell.text, cell.length);
          break;
        case Cell::Kind::kInteger:
          result = table.SetInt64Field(index, cell.integer);
          break;
        case Cell::Kind::kNumber:
          result = table.SetDoubleField(index, cell.number);
          break;
        case Cell::Kind::kFraction:
          result = table.SetTrimmedDoubleField(index, cell.number);
          break;
      }
      if (result >= 0) continue;
      if (onlyStopAt < 0 || static_cast<int>(c) == onlyStopAt) return -static_cast<int32_t>(c + 1);
    }
    return 1;
  }

 private:
  std::array<Cell, kColumnCount> cells_;
};

// ---------------------------------------------------------------------------------------------
// What every row of one SetData shares

struct Context {
  const ReferenceTables& tables;
  const FeedOverlay& overlay;
  const FileRules& rules;
  char localTime[6];  // XXGXSJ: the local time HHMMSS right-justified
};

// The constants of rights-issue, bond-distribution, statistic and index rows.
void IdentityRowConstants(Row& row, const Context& cx) {
  row.Text(XXJCQZ, "....", 4);
  row.Letter(XXRZBD, 'F');
  row.Letter(XXRQBD, 'F');
  row.Letter(XXZSBZ, 'F');
  row.Letter(XXJYJD, '0');
  row.Letter(XXRZZT, 'F');
  row.Letter(XXRQZT, 'F');
  row.Letter(XXWLTP, 'F');
  row.Letter(XXRQJX, '0');
  row.Text(XXYWZT, "TTTTTF", 6);
  row.Text(XXGXSJ, cx.localTime, 6);
  row.Integer(XXXJXZ, 1);
  row.Number(XXZTJG, kNoUpperLimit);
  row.Letter(XXTPBZ, cx.rules.otherRowsSuspension);
  row.Letter(XXCQCX, 'N');
  if (cx.rules.currencyOnOtherRows) row.Text(XXHBZL, "00", 2);
}

// ---------------------------------------------------------------------------------------------
// The security row

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

void FillSecurityRow(Row& row, uint32_t code, const SecurityRecord& s, const Context& cx) {
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

  row.Text(XXZQDM, s.SecurityID, 6);
  row.Text(XXZQJC, s.Symbol, 8);
  char statusLetters[4];
  StatusLetters(s, phaseLetter, statusLetters);
  row.Text(XXJCQZ, statusLetters, 4);
  row.Text(XXYWJC, s.EnglishName, 20);
  row.Text(XXJCZQ, s.UnderlyingSecurityID, 6);
  row.Text(XXISIN, s.ISIN, 12);
  const char* industry = s.IndustryClassification;
  if (industry[0] != '\0' || industry[1] != '\0' || industry[2] != '\0') {
    row.Text(XXHYZL, industry, 3);
  } else {
    row.Letter(XXHYZL, ' ');
  }
  size_t currencyLength = 0;
  while (currencyLength < sizeof s.Currency && s.Currency[currencyLength] != '\0') ++currencyLength;
  const std::string_view currency(s.Currency, currencyLength);
  if (currency == "CNY") {
    row.Text(XXHBZL, "00", 2);
  } else if (currency == "HKD") {
    row.Text(XXHBZL, "01", 2);
  }
  row.Number(XXMGMZ, RoundedCents(s.ParValue == 0 ? 1.0 : s.ParValue));
  row.Integer(XXZFXL, Shares(s.OutstandingShare));
  row.Integer(XXLTGS, Shares(s.PublicFloatShareQuantity));
  switch (type.yields) {
    case Yields::kProfit:
      row.Number(XXSNLR, s.PreviousYearProfitPerShare);
      break;
    case Yields::kNav:
      row.Number(XXSNLR, s.NAV);
      break;
    case Yields::kCoupon:
      row.Number(XXSNLR, s.SecurityType == 5 && s.CouponRate == 0
                             ? s.IssuePrice
                             : static_cast<double>(s.CouponRate));
      row.Number(XXBNLR, static_cast<double>(s.Interest));
      break;
    case Yields::kInterest:
      row.Number(XXSNLR, static_cast<double>(s.Interest));
      break;
  }
  row.Integer(XXSSRQ,
              rules.accrualDateAsListing && type.accrualDate ? s.InterestAccrualDate : s.ListDate);
  if (type.dates == Dates::kBond) {
    row.Integer(XXQXRQ, s.InterestAccrualDate);
    row.Integer(XXDJRQ, s.MaturityDate);
  } else if (type.dates == Dates::kOption) {
    row.Integer(XXQXRQ, s.optionExerciseBeginDate);
    row.Integer(XXDJRQ, s.ExerciseEndDate);
  }
  row.Integer(XXJYDW, Shares(s.QtyUnit));
  if (p.tradeKind == 'O') {
    row.Integer(XXBLDW, Shares(p.negotiation->BuyQtyUnit));
    row.Integer(XXSLDW, Shares(p.negotiation->SellQtyUnit));
  } else if (p.tradeKind == ' ') {
    row.Integer(XXBLDW, Shares(p.afterHours->BuyQtyUnit));
    row.Integer(XXSLDW, Shares(p.afterHours->SellQtyUnit));
  } else if (p.cash != nullptr) {
    row.Integer(XXBLDW, Shares(p.cash->BuyQtyUnit));
    row.Integer(XXSLDW, Shares(p.cash->SellQtyUnit));
  }
  if (AuctionKind(p.tradeKind)) row.Integer(XXMBXL, Shares(p.cash->BuyQtyUpperLimit));
  if (p.tradeKind == 'O' || p.tradeKind == 'N') {
    row.Number(XXJGDW, p.negotiation->PriceTick);
  } else if (p.cash != nullptr) {
    row.Number(XXJGDW, p.cash->PriceTick);
  }
  const PriceLimits limits = PriceLimitsOf(s, p, rules);
  row.Number(XXJHCS, limits.opening);
  row.Number(XXLXCS, limits.continuous);
  row.Integer(XXXJXZ, limits.rateLimit);
  row.Number(XXZTJG, limits.upper);
  row.Number(XXDTJG, limits.lower);
  row.Number(XXJGSX, limits.negotiationUpper);
  row.Number(XXJGXX, limits.negotiationLower);
  row.Number(XXZHBL, s.ContractMultiplier);
  // The ratio times 100 in its own (single) precision: 0.7 shows 0.70, not 0.69.
  if (s.GageFlag == 'Y') row.Number(XXDBZSL, std::trunc(s.GageRatio * 100.0f) * 0.01);
  row.Letter(XXRZBD, s.CrdBuyUnderlying == 'Y' ? 'T' : 'F');
  row.Letter(XXRQBD, s.CrdSellUnderlying == 'Y' ? 'T' : 'F');
  row.Letter(XXCFBZ, ' ');
  row.Letter(XXZSBZ, p.cash != nullptr && p.cash->MarketMakerFlag == 'Y' ? 'T' : 'F');
  row.Letter(XXSCDM, ' ');
  row.Letter(XXZQLB, ' ');
  row.Letter(XXZQJB, KindLetter(s, p.tradeKind));
  const char statusCode = StatusCode(s, rules.suspensionInStatus);
  row.Letter(XXZQZT, statusCode);
  if (p.tradeKind != 0) row.Letter(XXJYLX, p.tradeKind);
  row.Letter(XXJYJD, PhaseDigit(tradingPhase));
  row.Letter(XXTPBZ, SuspensionLetter(rules.suspension, tradingPhase, phaseLetter));
  row.Letter(XXRZZT, switchIsT(1) ? 'T' : 'F');
  row.Letter(XXRQZT, switchIsT(2) ? 'T' : 'F');
  row.Letter(XXRQJX, s.PriceCheckMode == '1' || s.PriceCheckMode == '2' ? s.PriceCheckMode : '0');
  row.Letter(XXWLTP, HasStatus(s, 9) ? 'T' : 'F');
  char business[8];
  BusinessStatus(s.SecurityType, &s, switches, business);
  row.Text(XXYWZT, business, 8);
  row.Text(XXGXSJ, cx.localTime, 6);
  row.Letter(XXMARK, ' ');
  row.Letter(XXBYBZ, ' ');
  row.Letter(XXJYZT, TradingStatus(s));
  row.Letter(XXCQCX, statusCode);
}

// ---------------------------------------------------------------------------------------------
// Parameter, statistic and index rows

void FillIssueRow(Row& row, const IssueParamsRecord& issue, const Context& cx) {
  const char kind = ParameterKindLetter(issue.SecurityType, issue.Symbol, true);
  row.Text(XXZQDM, issue.SecurityID, 6);
  row.Text(XXZQJC, issue.Symbol, 8);
  const char typeLetter = kind == 'E' || kind == 'L' || kind == 'C' || kind == 'F' ? kind : '.';
  const char statusLetters[4] = {'.', '.', 'I', typeLetter};
  row.Text(XXJCQZ, statusLetters, 4);
  row.Text(XXJCZQ, issue.SecurityID, 6);
  if (cx.rules.currencyOnOtherRows) row.Text(XXHBZL, "00", 2);
  row.Number(XXZFXL, issue.OutStandingShare);
  row.Number(XXSSRQ, issue.StartDate);
  row.Number(XXBLDW, static_cast<double>(issue.Unit));
  row.Number(XXMBXL, std::min(issue.QtyUpperLimit, kMaxQuantity));
  row.Integer(XXXJXZ, 1);
  row.Number(XXZTJG, issue.PriceUpperLimit);
  row.Number(XXDTJG, issue.PriceLowerLimit);
  row.Letter(XXRZBD, 'F');
  row.Letter(XXRQBD, 'F');
  row.Letter(XXZSBZ, 'F');
  row.Letter(XXZQJB, kind);
  row.Letter(XXZQZT, 'F');
  row.Letter(XXJYJD, '0');
  row.Letter(XXTPBZ, cx.rules.otherRowsSuspension);
  row.Letter(XXRZZT, 'F');
  row.Letter(XXRQZT, 'F');
  row.Letter(XXRQJX, '0');
  row.Letter(XXWLTP, 'F');
  char business[8];
  BusinessStatus(issue.SecurityType, nullptr,
                 cx.overlay.FindSwitch(CodeNumber(issue.SecurityID, 8)), business);
  row.Text(XXYWZT, business, 8);
  row.Text(XXGXSJ, cx.localTime, 6);
  row.Letter(XXJYZT, 'F');
  row.Letter(XXCQCX, 'N');
}

void FillRightsRow(Row& row, const RightsIssueParamsRecord& rights, const Context& cx) {
  IdentityRowConstants(row, cx);
  row.Text(XXZQDM, rights.SecurityID, 6);
  row.Text(XXZQJC, rights.Symbol, 8);
  row.Text(XXJCZQ, rights.UnderlyingSecurityID, 6);
  row.Letter(XXZQJB, 'N');
  row.Letter(XXZQZT, 'N');
  row.Letter(XXJYZT, 'N');
}

void FillBondRow(Row& row, const BondDistributionParamsRecord& bond, const Context& cx) {
  IdentityRowConstants(row, cx);
  row.Text(XXZQDM, bond.SecurityID, 6);
  row.Text(XXZQJC, bond.Symbol, 8);
  row.Text(XXJCZQ, bond.UnderlyingSecurityID, 6);
  row.Number(XXZFXL, bond.SelfListQty);
  row.Number(XXMBXL, std::min(bond.QtyUpperLimit, kMaxQuantity));
  row.Letter(XXZQJB, ParameterKindLetter(bond.SecurityType, bond.Symbol, false));
  row.Letter(XXZQZT, 'P');
  row.Letter(XXJYZT, 'P');
}

// Statistic and index rows differ only in XXHBZL.
template <typename Record>
void FillListRow(Row& row, const Record& r, bool isIndex, const Context& cx) {
  IdentityRowConstants(row, cx);
  row.Text(XXZQDM, r.SecurityID, 6);
  row.Text(XXZQJC, r.Symbol, 8);
  row.Text(XXYWJC, r.EnglishName, 20);
  row.Text(XXJCZQ, r.SecurityID, 6);
  if (isIndex) row.Text(XXHBZL, "00", 2);
  row.Letter(XXCFBZ, 'Z');
  row.Letter(XXZQJB, 'N');
  row.Letter(XXZQZT, 'N');
  row.Letter(XXJYZT, 'N');
}

// Record 0: the local date, "Special Record", the market time and milliseconds.
void FillFirstRecord(Row& row, const LocalDateTime& now, const market::MarketClock& clock) {
  row.Text(XXZQDM, "000000", 6);
  char date[kFormatBufferSize];
  row.Text(XXZQJC, date, FormatIntegerWidth(now.Date(), 8, date, sizeof date));
  row.Text(XXYWJC, "Special Record      ", 20);
  row.Integer(XXBLDW, clock.marketTime);
  row.Integer(XXSLDW, clock.milliseconds);
  for (const Column c : {XXJCQZ, XXJCZQ, XXISIN, XXHYZL, XXHBZL, XXZQJB, XXTPBZ, XXJYZT, XXCQCX}) {
    row.Letter(c, ' ');
  }
  for (int c = XXRZBD; c <= XXBYBZ; ++c) row.Letter(static_cast<Column>(c), ' ');
}

}  // namespace

// ---------------------------------------------------------------------------------------------

SecurityInfoFile::SecurityInfoFile(const FileRules& rules)
    : DbfTable(rules.fields), rules_(rules) {}

int32_t SecurityInfoFile::Open(const std::string& path) {
  if (path.empty()) {
    Close();
    return kNoPath;
  }
  const int32_t result = DbfTable::Open(path);
  if (result < 0) {
    Close();
    return result;
  }
  return 0;
}

int32_t SecurityInfoFile::SetData(const ReferenceTables& tables, const FeedOverlay& overlay,
                                  const market::MarketClock& clock) {
  // Without an image every row would fail to move and be logged, every few seconds.
  if (!HasImage()) return kNotOpen;
  const char* const name = rules_.className;
  const ColumnMap& columns = *rules_.columns;

  const uint64_t records = uint64_t{1} + tables.rightsIssueParams.Size() +
                           tables.issueParams.Size() + tables.bondDistributionParams.Size() +
                           tables.indexInfo.Size() + tables.securities.Size() + tables.stat.Size();
  SetRecordCount(static_cast<uint32_t>(std::min<uint64_t>(records, UINT32_MAX)));

  const LocalDateTime now = LocalNow();
  Context cx{tables, overlay, rules_, {}};
  char timeText[kFormatBufferSize];
  FormatIntegerWidth(now.Time(), 6, timeText, sizeof timeText);
  std::memcpy(cx.localTime, timeText, sizeof cx.localTime);

  int32_t moved = GoToRecord(0);
  if (moved < 0) {
    WriteLog(1, "move record0 curcor failed, %s::SetData(), errorcode = %d", name, moved);
  } else {
    Row row;
    FillFirstRecord(row, now, clock);
    if (row.WriteTo(*this, columns, XXBLDW) < 0) {
      std::printf("error1\n");
      std::fflush(stdout);
    }
  }

  // The issue, rights-issue and bond-distribution codes, merged into the securities in code order.
  std::vector<uint32_t> listed = refdata::ParameterCodes(tables);

  uint32_t record = 1;
  // A parameter row at the next record; the record number advances only when a row was written.
  const auto writeParameterRow = [&](uint32_t code) {
    const IssueParamsRecord* issue = tables.issueParams.Get(code);
    const RightsIssueParamsRecord* rights =
        issue == nullptr ? tables.rightsIssueParams.Get(code) : nullptr;
    const BondDistributionParamsRecord* bond =
        issue == nullptr && rights == nullptr ? tables.bondDistributionParams.Get(code) : nullptr;
    if (issue == nullptr && rights == nullptr && bond == nullptr) return;
    const int32_t move = GoToRecord(record);
    if (move < 0) {
      // Writing anyway would overwrite the record that is still current.
      WriteLog(1, "move record curcor4 failed, SZSjsxxFile::SetData(), errorcode = %d", move);
      ++record;
      return;
    }
    Row row;
    if (issue != nullptr) {
      FillIssueRow(row, *issue, cx);
    } else if (rights != nullptr) {
      FillRightsRow(row, *rights, cx);
    } else {
      FillBondRow(row, *bond, cx);
    }
    const int32_t written = row.WriteTo(*this, columns);
    if (written < 0) {
      WriteLog(1, "write record4 failed, %s::SetData(), errorcode = %d",
               issue != nullptr ? name : "SZSjsxxFile", written);
    }
    ++record;
  };

  size_t next = 0;
  for (const auto& [code, entry] : tables.securities) {
    for (; next < listed.size() && listed[next] <= code; ++next) {
      if (listed[next] < code) writeParameterRow(listed[next]);
    }
    const int32_t move = GoToRecord(record);
    if (move < 0) {
      WriteLog(1, "move record curcor1 failed, %s::SetData(), errorcode = %d", name, move);
    } else {
      Row row;
      FillSecurityRow(row, code, entry.record, cx);
      const int32_t written = row.WriteTo(*this, columns);
      if (written < 0)
        WriteLog(1, "write record1 failed, %s::SetData(), errorcode = %d", name, written);
    }
    ++record;
  }
  for (; next < listed.size(); ++next) writeParameterRow(listed[next]);

  // Statistic rows are the log lines' third kind of row, index rows their second.
  const auto writeListRows = [&](const auto& table, bool isIndex) {
    const int kind = isIndex ? 2 : 3;
    for (const auto& entry : table) {
      const int32_t move = GoToRecord(record);
      if (move < 0) {
        WriteLog(1, "move record curcor%d failed, %s::SetData(), errorcode = %d", kind, name, move);
      } else {
        Row row;
        FillListRow(row, entry.second.record, isIndex, cx);
        const int32_t written = row.WriteTo(*this, columns);
        if (written < 0) {
          WriteLog(1, "write record%d failed, %s::SetData(), errorcode = %d", kind, name, written);
        }
      }
      ++record;
    }
  };
  writeListRows(tables.stat, false);
  writeListRows(tables.indexInfo, true);
  return 0;
}

int32_t SecurityInfoFile::WriteFile(const ReferenceTables& tables, const FeedOverlay& overlay,
                                    const market::MarketClock& clock) {
  int32_t result = SetData(tables, overlay, clock);
  if (result >= 0) result = Flush();
  if (result < 0) {
    Close();
    return result;
  }
  return 0;
}

}  // namespace fw::dbf
