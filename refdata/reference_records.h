// The records of the ten reference tables, filled from the exchange's daily XML files.
//
// Field order, widths and types are those of the files' descriptions. Texts are fixed-width byte
// arrays: not terminated when full, zero-filled when shorter. Every record starts with the
// SecurityID as read from the file (8 characters, not terminated). Records are plain data, created
// zero-filled; see reference_tables.h for who may change them and when.
#pragma once

#include <cstdint>

namespace fw::refdata {

// securities_<date>.xml
struct SecurityRecord {
  char SecurityID[8];
  char Symbol[40];  // local code page (GBK)
  char EnglishName[40];
  char ISIN[12];
  char SecurityIDSource[4];
  char UnderlyingSecurityID[8];
  // 'Y' for Status 1, else ' '; the snapshot handler also sets it ('H', 'Y', '.').
  char haltFlag;
  char marginFlag;       // 'A' both margin sides, 'C' buy only, 'S' sell only, else ' '
  char statusLetter;     // 'X' 2 or 3, 'N' 6, 'J' 7, 'M' 8, 'V' 9, else ' '
  char spareFlag;        // always ' '
  char tradingPhase[2];  // first two characters of the feed's TradingPhaseCode
  int32_t ListDate;      // YYYYMMDD
  int16_t SecurityType;
  char Currency[4];
  double QtyUnit;
  char DayTrading;
  double PrevClosePx;
  int32_t statusCodes[9];  // the first nine SecurityStatus/Status values, in file order
  double OutstandingShare;
  double PublicFloatShareQuantity;
  double ParValue;
  char GageFlag;
  float GageRatio;
  char CrdBuyUnderlying;
  char CrdSellUnderlying;
  char PledgeFlag;
  float ContractMultiplier;
  char RegularShare[8];
  char QualificationFlag;  // 'T' when the text began with 'Y', else 'F'
  char IndustryClassification[4];
  double PreviousYearProfitPerShare;
  double CurrentYearProfitPerShare;
  char stockOfferingFlag;
  double NAV;
  float CouponRate;
  double IssuePrice;
  float Interest;  // BondParams or PreferredStockParams, the later one read wins
  int32_t InterestAccrualDate;
  int32_t MaturityDate;
  float ExpirationRate;
  char bondOfferingFlag;
  double warrantExercisePrice;
  double ExerciseRatio;
  int32_t warrantExerciseBeginDate;
  char warrantCallOrPut;
  char WarrantClearingType;
  double ClearingPrice;
  char ExcerciseType;
  int16_t ExpirationDays;
  char optionCallOrPut;
  int16_t DeliveryMonth;
  int32_t optionExerciseBeginDate;
  int32_t ExerciseEndDate;
  double optionExercisePrice;
  int32_t LastTradeDay;
  char Adjusted;
  char AdjustTimes;
  double ContractUnit;
  double PrevClearingPrice;
  double ContractPosition;
  char PriceCheckMode;
};

// afterhoursparams_<date>.xml
struct AfterHoursParamsRecord {
  char SecurityID[8];
  int32_t SecurityIDSource;
  float BuyQtyUnit;
  float SellQtyUnit;
};

// bonddistributionparams_<date>.xml
struct BondDistributionParamsRecord {
  char SecurityID[8];
  char UnderlyingSecurityID[8];
  char Symbol[40];
  int16_t SecurityType;
  double price;  // 1.0, set by every load
  double SelfListQty;
  double QtyUpperLimit;
};

// One PriceLimitSetting/Setting of the cash auction parameters.
struct PriceLimitSetting {
  char Type;
  char HasPriceLimit;
  char ReferPriceType;
  char LimitType;
  double LimitUpRate;
  double LimitDownRate;
  double LimitUpAbsolute;
  double LimitDownAbsolute;
  char HasAuctionLimit;
  char AuctionLimitType;
  double AuctionUpDownRate;
  double AuctionUpDownAbsolute;
};

// cashauctionparams_<date>.xml
struct CashAuctionParamsRecord {
  char SecurityID[8];
  double BuyQtyUpperLimit;
  double SellQtyUpperLimit;
  double BuyQtyUnit;
  double SellQtyUnit;
  double PriceTick;
  int32_t settingCount;  // set to 0 when PriceLimitSetting is present, then counts the slots read
  PriceLimitSetting settings[5];
  char MarketMakerFlag;
};

// issueparams_<date>.xml
struct IssueParamsRecord {
  char SecurityID[8];
  int16_t SecurityType;
  char Symbol[40];
  double PriceUpperLimit;
  double PriceLowerLimit;
  double issuePrice;  // PriceUpperLimit when PriceUpLimit is on, else PriceLowerLimit
  double OutStandingShare;
  double StartDate;  // read as an integer, stored as double
  double QtyUpperLimit;
  float Unit;
};

// rightsissueparams_<date>.xml
struct RightsIssueParamsRecord {
  char SecurityID[8];
  char UnderlyingSecurityID[8];
  char Symbol[40];
  double Price;
};

// negotiationparams_<date>.xml
struct NegotiationParamsRecord {
  char SecurityID[8];
  float BuyQtyUnit;
  float SellQtyUnit;
  float PriceTick;
  float PriceUpperLimit;
  float PriceLowerLimit;
};

// indexinfo_<date>.xml
struct IndexInfoRecord {
  char SecurityID[8];
  char Symbol[40];
  char EnglishName[40];
  double PrevCloseIdx;
};

// stat_<date>.xml
struct StatRecord {
  char SecurityID[8];
  char Symbol[40];
  char EnglishName[40];
};

// securityswitch_<date>.xml, and the switch status messages of the feed.
struct SecuritySwitchRecord {
  char SecurityID[8];
  char switches[31];  // SwitchType n at index n - 1: 'T', 'F', or 0 when unset

  char Switch(int type) const { return type >= 1 && type <= 31 ? switches[type - 1] : '\0'; }
};

}  // namespace fw::refdata
