#include "refdata/reference_loaders.h"

#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "foundation/gbk.h"
#include "foundation/run_log.h"
#include "refdata/code_number.h"
#include "refdata/field_text.h"

namespace fw::refdata {
namespace {

// The only SecurityIDSource the loaders take (the exchange's own codes).
constexpr int32_t kOwnSource = 102;

// ---- Field rules: an element name and how its text becomes a record field

template <typename>
struct MemberOf;
template <typename R, typename T>
struct MemberOf<T R::*> {
  using Record = R;
  using Type = T;
};
template <auto kMember>
using RecordOf = typename MemberOf<decltype(kMember)>::Record;

// The conversion follows the field's type: texts are cut to their width, chars take the first
// byte, integers and floating-point numbers their leading numeric part.
template <auto kMember>
void Store(RecordOf<kMember>& record, std::string_view text) {
  using T = typename MemberOf<decltype(kMember)>::Type;
  auto& field = record.*kMember;
  if constexpr (std::is_array_v<T>) {
    StoreText(field, text);
  } else if constexpr (std::is_same_v<T, char>) {
    field = FirstChar(text);
  } else if constexpr (std::is_same_v<T, int32_t>) {
    field = ParseInt32(text);
  } else if constexpr (std::is_same_v<T, int16_t>) {
    field = static_cast<int16_t>(ParseInt32(text));
  } else if constexpr (std::is_same_v<T, double>) {
    field = ParseDouble(text);
  } else {
    static_assert(std::is_same_v<T, float>, "no rule for this field type");
    field = ParseFloat(text);
  }
}

// A field the exchange writes as an integer and the record keeps as a double.
template <auto kMember>
void StoreInteger(RecordOf<kMember>& record, std::string_view text) {
  record.*kMember = static_cast<double>(ParseInt32(text));
}

// ---- securities

using S = SecurityRecord;

// From EnglishName (Symbol before it is read apart) to the status list.
constexpr FieldRule<S> kSecurityHead[] = {
    {"EnglishName", Store<&S::EnglishName>},
    {"ISIN", Store<&S::ISIN>},
    {"SecurityIDSource", Store<&S::SecurityIDSource>},
    {"UnderlyingSecurityID", Store<&S::UnderlyingSecurityID>},
    {"ListDate", Store<&S::ListDate>},
    {"SecurityType", Store<&S::SecurityType>},
    {"Currency", Store<&S::Currency>},
    {"QtyUnit", Store<&S::QtyUnit>},
    {"DayTrading", Store<&S::DayTrading>},
    {"PrevClosePx", Store<&S::PrevClosePx>},
};

// After the status list, up to QualificationFlag (read apart).
constexpr FieldRule<S> kSecurityMiddle[] = {
    {"OutstandingShare", Store<&S::OutstandingShare>},
    {"PublicFloatShareQuantity", Store<&S::PublicFloatShareQuantity>},
    {"ParValue", Store<&S::ParValue>},
    {"GageFlag", Store<&S::GageFlag>},
    {"GageRatio", Store<&S::GageRatio>},
    {"CrdBuyUnderlying", Store<&S::CrdBuyUnderlying>},
    {"CrdSellUnderlying", Store<&S::CrdSellUnderlying>},
    {"PledgeFlag", Store<&S::PledgeFlag>},
    {"ContractMultiplier", Store<&S::ContractMultiplier>},
    {"RegularShare", Store<&S::RegularShare>},
};

constexpr FieldRule<S> kStockParams[] = {
    {"IndustryClassification", Store<&S::IndustryClassification>},
    {"PreviousYearProfitPerShare", Store<&S::PreviousYearProfitPerShare>},
    {"CurrentYearProfitPerShare", Store<&S::CurrentYearProfitPerShare>},
    {"OfferingFlag", Store<&S::stockOfferingFlag>},
};
constexpr FieldRule<S> kFundParams[] = {
    {"NAV", Store<&S::NAV>},
};
constexpr FieldRule<S> kBondParams[] = {
    {"CouponRate", Store<&S::CouponRate>},
    {"IssuePrice", Store<&S::IssuePrice>},
    {"Interest", Store<&S::Interest>},
    {"InterestAccrualDate", Store<&S::InterestAccrualDate>},
    {"MaturityDate", Store<&S::MaturityDate>},
    {"ExpirationRate", Store<&S::ExpirationRate>},
    {"OfferingFlag", Store<&S::bondOfferingFlag>},
};
// ExpirationRate stands before the warrant fields in the record, so it is looked for first.
constexpr FieldRule<S> kWarrantParams[] = {
    {"ExpirationRate", Store<&S::ExpirationRate>},
    {"ExercisePrice", Store<&S::warrantExercisePrice>},
    {"ExerciseRatio", StoreInteger<&S::ExerciseRatio>},
    {"ExerciseBeginDate", Store<&S::warrantExerciseBeginDate>},
    {"CallOrPut", Store<&S::warrantCallOrPut>},
    {"WarrantClearingType", Store<&S::WarrantClearingType>},
    {"ClearingPrice", Store<&S::ClearingPrice>},
    {"ExcerciseType", Store<&S::ExcerciseType>},  // the exchange's spelling
};
constexpr FieldRule<S> kRepoParams[] = {
    {"ExpirationDays", Store<&S::ExpirationDays>},
};
constexpr FieldRule<S> kOptionParams[] = {
    {"CallOrPut", Store<&S::optionCallOrPut>},
    {"DeliveryMonth", Store<&S::DeliveryMonth>},
    {"ExerciseBeginDate", Store<&S::optionExerciseBeginDate>},
    {"ExerciseEndDate", Store<&S::ExerciseEndDate>},
    {"ExercisePrice", Store<&S::optionExercisePrice>},
    {"LastTradeDay", Store<&S::LastTradeDay>},
    {"Adjusted", Store<&S::Adjusted>},
    {"AdjustTimes", Store<&S::AdjustTimes>},
    {"ContractUnit", Store<&S::ContractUnit>},
    {"PrevClearingPrice", Store<&S::PrevClearingPrice>},
    {"ContractPosition", Store<&S::ContractPosition>},
};
constexpr FieldRule<S> kPreferredStockParams[] = {
    {"Interest", Store<&S::Interest>},
    {"OfferingFlag", Store<&S::bondOfferingFlag>},
};

struct FieldGroup {
  const char* element;
  std::span<const FieldRule<S>> fields;
};
constexpr FieldGroup kSecurityGroups[] = {
    {"StockParams", kStockParams},
    {"FundParams", kFundParams},
    {"BondParams", kBondParams},
    {"WarrantParams", kWarrantParams},
    {"RepoParams", kRepoParams},
    {"OptionParams", kOptionParams},
    {"PreferredStockParams", kPreferredStockParams},
};

constexpr FieldRule<S> kSecurityTail[] = {
    {"PriceCheckMode", Store<&S::PriceCheckMode>},
};

// The status letter a SecurityStatus/Status value sets (0: none).
char StatusLetter(int32_t status) {
  switch (status) {
    case 2:
    case 3:
      return 'X';
    case 6:
      return 'N';
    case 7:
      return 'J';
    case 8:
      return 'M';
    case 9:
      return 'V';
    default:
      return '\0';
  }
}

// ---- the parameter files

using CashAuction = CashAuctionParamsRecord;
constexpr FieldRule<CashAuction> kCashAuctionUnits[] = {
    {"BuyQtyUpperLimit", Store<&CashAuction::BuyQtyUpperLimit>},
    {"SellQtyUpperLimit", Store<&CashAuction::SellQtyUpperLimit>},
    {"BuyQtyUnit", Store<&CashAuction::BuyQtyUnit>},
    {"SellQtyUnit", Store<&CashAuction::SellQtyUnit>},
    {"PriceTick", Store<&CashAuction::PriceTick>},
};
constexpr FieldRule<CashAuction> kCashAuctionTail[] = {
    {"MarketMakerFlag", Store<&CashAuction::MarketMakerFlag>},
};
// The fields of a Setting after its Type.
constexpr FieldRule<PriceLimitSetting> kSettingFields[] = {
    {"HasPriceLimit", Store<&PriceLimitSetting::HasPriceLimit>},
    {"ReferPriceType", Store<&PriceLimitSetting::ReferPriceType>},
    {"LimitType", Store<&PriceLimitSetting::LimitType>},
    {"LimitUpRate", Store<&PriceLimitSetting::LimitUpRate>},
    {"LimitDownRate", Store<&PriceLimitSetting::LimitDownRate>},
    {"LimitUpAbsolute", Store<&PriceLimitSetting::LimitUpAbsolute>},
    {"LimitDownAbsolute", Store<&PriceLimitSetting::LimitDownAbsolute>},
    {"HasAuctionLimit", Store<&PriceLimitSetting::HasAuctionLimit>},
    {"AuctionLimitType", Store<&PriceLimitSetting::AuctionLimitType>},
    {"AuctionUpDownRate", Store<&PriceLimitSetting::AuctionUpDownRate>},
    {"AuctionUpDownAbsolute", Store<&PriceLimitSetting::AuctionUpDownAbsolute>},
};
constexpr int32_t kMaxSettings = 5;

using AfterHours = AfterHoursParamsRecord;
constexpr FieldRule<AfterHours> kAfterHoursUnits[] = {
    {"BuyQtyUnit", Store<&AfterHours::BuyQtyUnit>},
    {"SellQtyUnit", Store<&AfterHours::SellQtyUnit>},
};

using BondDistribution = BondDistributionParamsRecord;
constexpr FieldRule<BondDistribution> kBondDistributionFields[] = {
    {"UnderlyingSecurityID", Store<&BondDistribution::UnderlyingSecurityID>},
    {"SecurityType", Store<&BondDistribution::SecurityType>},
    {"QtyUpperLimit", Store<&BondDistribution::QtyUpperLimit>},
    {"SelfListQty", Store<&BondDistribution::SelfListQty>},
};
constexpr double kBondDistributionPrice = 1.0;

using Issue = IssueParamsRecord;
constexpr FieldRule<Issue> kIssueFields[] = {
    {"OutStandingShare", Store<&Issue::OutStandingShare>},
    {"SecurityType", Store<&Issue::SecurityType>},
    {"PriceUpperLimit", Store<&Issue::PriceUpperLimit>},
    {"PriceLowerLimit", Store<&Issue::PriceLowerLimit>},
    {"Unit", Store<&Issue::Unit>},
    {"QtyUpperLimit", Store<&Issue::QtyUpperLimit>},
    {"StartDate", StoreInteger<&Issue::StartDate>},
};

using RightsIssue = RightsIssueParamsRecord;
constexpr FieldRule<RightsIssue> kRightsIssueFields[] = {
    {"UnderlyingSecurityID", Store<&RightsIssue::UnderlyingSecurityID>},
    {"Price", Store<&RightsIssue::Price>},
};

using Negotiation = NegotiationParamsRecord;
constexpr FieldRule<Negotiation> kNegotiationFields[] = {
    {"BuyQtyUnit", Store<&Negotiation::BuyQtyUnit>},
    {"SellQtyUnit", Store<&Negotiation::SellQtyUnit>},
    {"PriceUpperLimit", Store<&Negotiation::PriceUpperLimit>},
    {"PriceLowerLimit", Store<&Negotiation::PriceLowerLimit>},
    {"PriceTick", Store<&Negotiation::PriceTick>},
};

using IndexInfo = IndexInfoRecord;
constexpr FieldRule<IndexInfo> kIndexInfoFields[] = {
    {"EnglishName", Store<&IndexInfo::EnglishName>},
    {"PrevCloseIdx", Store<&IndexInfo::PrevCloseIdx>},
};

constexpr FieldRule<StatRecord> kStatFields[] = {
    {"EnglishName", Store<&StatRecord::EnglishName>},
};

constexpr int kSwitchCount = 31;

}  // namespace

// ---- the common walk

ReferenceLoader::ReferenceLoader(std::string folder, const char* rootName, const char* openingLine)
    : ReferenceFileReader(std::move(folder), rootName), openingLine_(openingLine) {}

int32_t ReferenceLoader::Load() {
  Prepare();
  const std::string path = TodaysPath();
  WriteLog(0, openingLine_, path.c_str());
  // Started before the file is opened: a file that cannot be read leaves no record counted as
  // today's, so that nothing follows yesterday's file as if it were today's.
  BeginLoad();
  if (const int32_t opened = OpenPath(path); opened != 0) return opened;
  ReadSecurities();
  return 0;
}

int32_t ReferenceLoader::LoadText(std::string_view text) {
  BeginLoad();
  if (const int32_t opened = OpenText(text); opened != 0) return opened;
  ReadSecurities();
  return 0;
}

void ReferenceLoader::ReadSecurities() {
  while (EnterNextSecurity()) {
    char code[9];
    if (ReadSecurityID(code) && Accept()) ReadSecurity(code);
    LeaveToParent();
  }
}

bool ReferenceLoader::ReadSymbol(char (&symbol)[40], bool keepTextOnFailure) {
  if (!ReadChild("Symbol")) return false;
  char converted[128] = {};
  if (ToLocalText(Text().c_str(), converted, sizeof converted) > 0) {
    std::memcpy(symbol, converted, sizeof symbol);
  } else if (keepTextOnFailure) {
    StoreText(symbol, Text());
  }
  return true;
}

// ---- the members' read rules

void SecuritiesLoader::Read(SecurityRecord& record) {
  ReadSymbol(record.Symbol, true);
  ReadFields<S>(record, kSecurityHead);
  ReadStatus(record);
  ReadFields<S>(record, kSecurityMiddle);
  // QualificationFlag is kept as 'T' or 'F'. Without the element a record keeps what it has, so
  // that reading the same Security twice cannot turn a 'T' into an 'F'.
  const bool qualified =
      ReadChild("QualificationFlag") ? FirstChar(Text()) == 'Y' : record.QualificationFlag == 'T';
  record.QualificationFlag = qualified ? 'T' : 'F';
  const bool buy = record.CrdBuyUnderlying == 'Y';
  const bool sell = record.CrdSellUnderlying == 'Y';
  if (buy && sell) {
    record.marginFlag = 'A';
  } else if (buy) {
    record.marginFlag = 'C';
  } else if (sell) {
    record.marginFlag = 'S';
  }
  for (const FieldGroup& group : kSecurityGroups) {
    ReadGroup(group.element, [&] { ReadFields(record, group.fields); });
  }
  ReadFields<S>(record, kSecurityTail);
}

void SecuritiesLoader::ReadStatus(SecurityRecord& record) {
  record.haltFlag = ' ';
  record.marginFlag = ' ';
  record.statusLetter = ' ';
  record.spareFlag = ' ';
  ReadGroup("SecurityStatus", [&] {
    // The list is the file's list: slots left over from an earlier reading of the code are cleared.
    std::memset(record.statusCodes, 0, sizeof record.statusCodes);
    size_t count = 0;
    while (count < std::size(record.statusCodes) && ReadChild("Status")) {
      const int32_t status = ParseInt32(std::string_view(Text()).substr(0, 10));
      record.statusCodes[count++] = status;
      if (status == 1) record.haltFlag = 'Y';
      if (const char letter = StatusLetter(status); letter != '\0') record.statusLetter = letter;
    }
  });
}

void AfterHoursParamsLoader::Read(AfterHoursParamsRecord& record) {
  // Another source's record is still made and keeps its source, but its units are not read.
  bool ownSource = true;
  if (ReadChild("SecurityIDSource")) {
    record.SecurityIDSource = ParseInt32(Text());
    ownSource = record.SecurityIDSource == kOwnSource;
  }
  if (ownSource) ReadFields<AfterHours>(record, kAfterHoursUnits);
}

void BondDistributionParamsLoader::Read(BondDistributionParamsRecord& record) {
  ReadSymbol(record.Symbol, true);
  ReadFields<BondDistribution>(record, kBondDistributionFields);
  record.price = kBondDistributionPrice;
}

void CashAuctionParamsLoader::Read(CashAuctionParamsRecord& record) {
  ReadFields<CashAuction>(record, kCashAuctionUnits);
  ReadGroup("PriceLimitSetting", [&] {
    record.settingCount = 0;
    while (record.settingCount < kMaxSettings && FindChild("Setting")) {
      EnterChild();
      // A Setting without Type ends the list.
      if (!ReadChild("Type")) {
        LeaveToParent();
        break;
      }
      PriceLimitSetting& slot = record.settings[record.settingCount];
      // A slot describes one Setting only: nothing of an earlier reading of the code stays in it.
      std::memset(&slot, 0, sizeof slot);
      slot.Type = FirstChar(Text());
      ReadFields<PriceLimitSetting>(slot, kSettingFields);
      LeaveToParent();
      ++record.settingCount;
    }
  });
  ReadFields<CashAuction>(record, kCashAuctionTail);
}

void IssueParamsLoader::Read(IssueParamsRecord& record) {
  ReadSymbol(record.Symbol, true);
  ReadFields<Issue>(record, kIssueFields);
  record.issuePrice = priceUpLimit_ ? record.PriceUpperLimit : record.PriceLowerLimit;
}

void RightsIssueParamsLoader::Read(RightsIssueParamsRecord& record) {
  ReadSymbol(record.Symbol, true);
  ReadFields<RightsIssue>(record, kRightsIssueFields);
}

void NegotiationParamsLoader::Read(NegotiationParamsRecord& record) {
  ReadFields<Negotiation>(record, kNegotiationFields);
}

void IndexInfoLoader::Read(IndexInfoRecord& record) {
  if (!names_.Lookup(CodeNumber(record.SecurityID, 8), record.Symbol)) {
    ReadSymbol(record.Symbol, false);
  }
  ReadFields<IndexInfo>(record, kIndexInfoFields);
}

void StatLoader::Read(StatRecord& record) {
  ReadSymbol(record.Symbol, true);
  ReadFields<StatRecord>(record, kStatFields);
}

bool SecuritySwitchLoader::Accept() {
  return !ReadChild("SecurityIDSource") || ParseInt32(Text()) == kOwnSource;
}

void SecuritySwitchLoader::Read(SecuritySwitchRecord& record) {
  while (FindChild("SecuritySwitch")) {
    EnterChild();
    while (FindChild("Setting")) {
      EnterChild();
      if (ReadChild("Switch")) {
        const int32_t type = ParseInt32(Text());
        if (type >= 1 && type <= kSwitchCount && ReadChild("Status")) {
          record.switches[type - 1] = FirstChar(Text()) == 'Y' ? 'T' : 'F';
        }
      }
      LeaveToParent();
    }
    LeaveToParent();
  }
}

}  // namespace fw::refdata
