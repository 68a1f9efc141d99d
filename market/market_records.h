// The records of the market state: one fixed-size record per instrument and table, in the units
// of the state (prices in thousandths of a yuan, index values in thousandths or ten-thousandths of
// a point, volumes in whole shares, turnover in thousandths of a yuan, signed 64-bit).
//
// Codes are six ASCII digits in an 8-byte field whose last two bytes are zero; names are the first
// 8 bytes of the instrument's Symbol (GBK), the rest of the field zero. Plain data: the market
// state owns the tables (see market_state.h for the lock), the writers get copies.
#pragma once

#include <cstdint>

namespace fw::market {

struct StockQuoteRecord {
  char code[8];
  char name[40];
  int64_t prevClose;
  int64_t open;
  int64_t last;
  int64_t volume;
  int64_t turnover;
  int64_t trades;
  int64_t high;
  int64_t low;
  int64_t indicator1;  // entry "x5" or "x7" (x 100), written as HQSYL1
  int64_t indicator2;  // entry "x6" or "x9" (x 100) or "x8" (x 10000), written as HQSYL2
  int64_t change1;     // entry "x1", written as HQJSD1
  int64_t change2;     // entry "x2", written as HQJSD2
  int64_t holding;     // written as HQHYCC; no message sets it
  char reserved[8];
  int64_t askPrice[5];  // levels 1 to 5
  int64_t askVolume[5];
  int64_t bidPrice[5];
  int64_t bidVolume[5];
};

struct IndexQuoteRecord {
  char code[8];
  char name[40];
  int64_t prevClose;
  int64_t open;
  int64_t high;
  int64_t low;
  int64_t current;
  int64_t volume;
  int64_t turnover;
  int64_t trades;
};

struct VolumeStatRecord {
  char code[8];
  char name[40];
  int64_t volume;
  int64_t turnover;
  int64_t trades;
  uint32_t stockNum;  // number of securities in the statistic
};

// Two columns: 0 for after-hours stream "060", 1 for "061"; of each array only elements 0 and 1
// are used.
struct AfterHoursQuoteRecord {
  // Zero: the record's layout keeps room for a leading number and a market type that the table
  // never fills, so the writer shows the code as the record number and "03S" as the market type.
  char reserved0[12];
  char code[8];
  char name[8];
  char reserved1[33];
  char has060;  // '1' once column 0 holds data
  char has061;  // '2' once column 1 holds data
  char reserved2[9];
  int64_t price[5];
  int64_t volume[5];
  int64_t turnover[5];
  int64_t trades[5];
  int64_t bidVolume[5];
  int64_t askVolume[5];
  char extra[12];  // copied along with either column; no message sets it
  char reserved3[100];
};

struct NegotiatedQuoteRecord {
  int64_t sequence;  // ApplSeqNum
  char code[8];
  int64_t volume;
  int64_t price;
  char reserved1;
  char kindPrefix[2];  // two spaces
  char quoteKind;      // 'H' without confirmation id, else 'O'
  char side;           // 'B' or 'S'
  char reserved2[22];
  char contact[12];      // Contactor, converted to GBK
  char contactInfo[30];  // as received
  char flags[2];         // '0', '1'
  char time[9];          // HHMMSSss right-aligned in 8 characters, terminated
  char reserved3[8];
  int64_t fixedVolume;  // 99999999 when quoteKind 'O' and side 'B' or 'S'
  char reserved4[32];
  char status;      // '1' live, '0' filled or cancelled
  char trailer[6];  // ' ', 0, ' ', 0, 0, ' '
  char reserved5[81];
};

// The block of market state that every DBF writer receives.
struct MarketClock {
  int32_t marketDate;     // YYYYMMDD from the feed (today at start-up)
  int32_t marketTime;     // HHMMSS from the feed
  int32_t milliseconds;   // of the last accepted timestamp
  char status;            // '1' once start-up ran
  char AuctionClosed;     // streams "010", "020", "030": '1' closed, '0' open
  char AfterHoursClosed;  // streams "060", "061"
  char NegotiatedClosed;  // streams "051", "052"
};

}  // namespace fw::market
