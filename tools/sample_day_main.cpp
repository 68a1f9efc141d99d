// fenwright-sampleday: writes a consistent sample trading day (the ten reference files, the closing
// file, indexname.ini and holiday.ini) into a folder, for demonstrations, the gateway simulator and
// the end-to-end tests.
//
//   fenwright-sampleday [--out FOLDER] [--count N] [--date YYYYMMDD] [--seed S]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/sample_day.h"

namespace {

void Usage() {
  std::fprintf(
      stderr,
      "usage: fenwright-sampleday [--out FOLDER] [--count N] [--date YYYYMMDD] [--seed S]\n"
      "  --out    folder of the files (default: the current folder)\n"
      "  --count  number of securities, 1 to %u (default 2000)\n"
      "  --date   trading day (default: today)\n"
      "  --seed   random seed (default 1); the same seed gives the same day\n",
      fw::tools::kMaxSecurities);
}

// A whole decimal number within [low, high], or false.
bool ParseNumber(const char* text, unsigned long long low, unsigned long long high,
                 unsigned long long* value) {
  if (text == nullptr || *text == '\0') return false;
  unsigned long long v = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    const unsigned long long digit = static_cast<unsigned long long>(*p - '0');
    if (v > (~0ull - digit) / 10) return false;
    v = v * 10 + digit;
  }
  if (v < low || v > high) return false;
  *value = v;
  return true;
}

bool ValidDate(unsigned long long date) {
  const unsigned long long month = date / 100 % 100;
  const unsigned long long day = date % 100;
  return date >= 19900101 && date <= 99991231 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

int main(int argc, char** argv) {
  fw::tools::SampleDayOptions options;
  std::string folder = ".";
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    unsigned long long number = 0;
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
      Usage();
      return 0;
    } else if (std::strcmp(option, "--out") == 0 && value != nullptr) {
      folder = value;
    } else if (std::strcmp(option, "--count") == 0 &&
               ParseNumber(value, 1, fw::tools::kMaxSecurities, &number)) {
      options.securityCount = static_cast<uint32_t>(number);
    } else if (std::strcmp(option, "--date") == 0 && ParseNumber(value, 0, 99991231, &number) &&
               ValidDate(number)) {
      options.date = static_cast<uint32_t>(number);
    } else if (std::strcmp(option, "--seed") == 0 && ParseNumber(value, 0, ~0ull, &number)) {
      options.seed = number;
    } else {
      std::fprintf(stderr, "fenwright-sampleday: bad option or value: %s\n", option);
      Usage();
      return 2;
    }
    ++i;
  }
  const fw::tools::SampleDay day = fw::tools::BuildSampleDay(options);
  const int32_t result = fw::tools::WriteSampleDay(day, folder);
  if (result < 0) {
    std::fprintf(stderr, "fenwright-sampleday: writing into %s failed (code 0x%08X)\n",
                 folder.c_str(), static_cast<unsigned>(result));
    return 1;
  }
  std::printf(
      "sample day %u: %zu securities, %zu indexes, %zu statistics, %zu issue, %zu rights-issue "
      "and %zu bond-distribution codes written to %s\n",
      day.date, day.securities.size(), day.indexes.size(), day.stats.size(), day.issues.size(),
      day.rightsIssues.size(), day.bondDistributions.size(), folder.c_str());
  return 0;
}
