#include "tools/dbf_watch.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

#include "dbf/dbf_image_view.h"
#include "foundation/platform/platform.h"

namespace fw::tools {
namespace {

constexpr size_t kHeaderBytes = 32;
constexpr size_t kDescriptorBytes = 32;
constexpr size_t kMaxProblems = 20;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsEmptyByte(char c) { return c == ' ' || c == '\0'; }

bool AllEmpty(std::string_view field) {
  return std::all_of(field.begin(), field.end(), IsEmptyByte);
}

// A date as the legacy readers take it: digits, blank-padded (record 0 may hold a plain 0).
bool IsDateText(std::string_view field) {
  size_t i = 0;
  while (i < field.size() && IsEmptyByte(field[i])) ++i;
  size_t digits = 0;
  while (i < field.size() && IsDigit(field[i])) ++i, ++digits;
  while (i < field.size() && IsEmptyByte(field[i])) ++i;
  return digits > 0 && i == field.size();
}

DbfImageCheck Malformed(std::string reason, uint32_t records = 0) {
  DbfImageCheck check;
  check.verdict = DbfVerdict::kMalformed;
  check.reason = std::move(reason);
  check.records = records;
  return check;
}

// What the system's own engine writes, beyond what makes a readable DBF: a header of exactly the
// descriptors and the terminator, upper-case NUL-padded names, the types C, N and D, each field's
// offset stored in its descriptor, and zero reserved bytes. An empty text when all hold.
std::string EngineLayoutFault(std::string_view b, const dbf::DbfLayout& layout) {
  const dbf::DbfHeader& h = layout.header;
  if (h.headerLength != kHeaderBytes + kDescriptorBytes * layout.fields.size() + 1) {
    return "header length " + std::to_string(h.headerLength);
  }
  for (const dbf::DbfField& f : layout.fields) {
    const std::string_view descriptor = b.substr(f.at, kDescriptorBytes);
    const std::string_view padding = descriptor.substr(f.name.size(), 11 - f.name.size());
    const bool nameOk =
        std::all_of(f.name.begin(), f.name.end(),
                    [](char c) { return (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_'; }) &&
        std::all_of(padding.begin(), padding.end(), [](char c) { return c == '\0'; });
    if (!nameOk) return "field name at " + std::to_string(f.at);
    const std::string at = "field " + f.name;
    if (f.type != 'C' && f.type != 'N' && f.type != 'D') return at + ": type";
    if (f.stored != f.offset) return at + ": offset";
    if (f.type != 'N' && f.decimals != 0) return at + ": decimals";
    for (size_t i = 18; i < kDescriptorBytes; ++i) {
      if (descriptor[i] != '\0') return at + ": reserved byte";
    }
  }
  return "";
}

}  // namespace

DbfImageCheck CheckDbfImage(std::string_view b) {
  if (b.size() >= kHeaderBytes && static_cast<uint8_t>(b[0]) == 3) {
    const unsigned month = static_cast<uint8_t>(b[2]);
    const unsigned day = static_cast<uint8_t>(b[3]);
    if (month < 1 || month > 12 || day < 1 || day > 31) {
      return Malformed("date bytes " + std::to_string(month) + "/" + std::to_string(day));
    }
    for (size_t i = 12; i < kHeaderBytes; ++i) {
      if (b[i] != '\0') return Malformed("reserved header byte " + std::to_string(i));
    }
  }
  const dbf::DbfLayout layout = dbf::ReadDbfLayout(b);
  const uint32_t records = layout.header.records;
  if (!layout.error.empty()) return Malformed(layout.error, records);
  if (std::string fault = EngineLayoutFault(b, layout); !fault.empty()) {
    return Malformed(std::move(fault), records);
  }
  const dbf::DbfImageView view(b);
  if (!view.Ok()) return Malformed(view.Error(), records);
  for (uint32_t r = 0; r < records; ++r) {
    const std::string_view record = view.Record(r);
    if (AllEmpty(record)) continue;
    const std::string where = "record " + std::to_string(r);
    if (record[0] != ' ' && record[0] != '*' && record[0] != '\0')
      return Malformed(where + ": deletion flag", records);
    for (size_t f = 0; f < layout.fields.size(); ++f) {
      const char type = layout.fields[f].type;
      const std::string_view value = view.Cell(r, f);
      if (type == 'C' || AllEmpty(value)) continue;
      const bool ok =
          type == 'N' ? dbf::NumberOf(value).state == dbf::CellState::kValue : IsDateText(value);
      if (!ok) {
        return Malformed(
            where + ", field " + layout.fields[f].name + ": [" + std::string(value) + "]", records);
      }
    }
  }
  DbfImageCheck check;
  check.verdict = view.Tail().empty() ? DbfVerdict::kSound : DbfVerdict::kLongerTail;
  check.records = records;
  return check;
}

namespace {

// Size and modification time of a file (invalid when they cannot be had).
struct Stamp {
  bool valid = false;
  uintmax_t size = 0;
  std::filesystem::file_time_type time{};
  bool operator==(const Stamp& o) const {
    return valid == o.valid && size == o.size && time == o.time;
  }
};

Stamp StampOf(const std::string& path) {
  Stamp stamp;
  std::error_code error;
  const std::filesystem::path p(path);
  stamp.size = std::filesystem::file_size(p, error);
  if (error) return stamp;
  stamp.time = std::filesystem::last_write_time(p, error);
  stamp.valid = !error;
  return stamp;
}

}  // namespace

bool ReadWholeDbf(const std::string& path, std::string* bytes, bool* changed) {
  bytes->clear();
  const std::string native = platform::NativePath(path);
  Stamp before;
  if (changed != nullptr) before = StampOf(native);
  std::FILE* file = std::fopen(native.c_str(), "rb");
  if (file == nullptr) return false;
  constexpr size_t kChunk = 1 << 20;
  bool ok = true;
  for (;;) {
    const size_t had = bytes->size();
    bytes->resize(had + kChunk);
    const size_t got = std::fread(bytes->data() + had, 1, kChunk, file);
    bytes->resize(had + got);
    if (got < kChunk) {
      ok = std::ferror(file) == 0;
      break;
    }
  }
  std::fclose(file);
  if (changed != nullptr) *changed = !(StampOf(native) == before);
  return ok;
}

DbfWatchCounts& DbfWatchCounts::operator+=(const DbfWatchCounts& other) {
  reads += other.reads;
  sound += other.sound;
  longerTail += other.longerTail;
  torn += other.torn;
  changed += other.changed;
  malformed += other.malformed;
  unopened += other.unopened;
  return *this;
}

DbfWatch::Reader DbfWatch::DiskReader() {
  return [](const std::string& path, std::string* bytes, bool* changed) {
    return ReadWholeDbf(path, bytes, changed);
  };
}

DbfWatch::DbfWatch(std::vector<std::string> paths, uint32_t settleMs, Reader reader)
    : settleMs_(settleMs), reader_(std::move(reader)) {
  for (std::string& p : paths) files_.push_back({std::move(p), {}});
}

void DbfWatch::Pass() {
  for (File& file : files_) ReadOnce(file);
}

DbfWatchCounts DbfWatch::Total() const {
  DbfWatchCounts total;
  for (const File& file : files_) total += file.counts;
  return total;
}

void DbfWatch::ReadOnce(File& file) {
  bool moved = false;
  // An empty file that was never sound is one just made and not written yet: a writer creates the
  // file before it formats the image, and on a loaded machine that can take longer than any settle
  // time. It is as absent as a file that cannot be opened.
  if (!reader_(file.path, &image_, &moved) || (image_.empty() && file.soundSize == 0)) {
    ++file.counts.unopened;
    return;
  }
  ++file.counts.reads;
  const DbfImageCheck check = CheckDbfImage(image_);
  switch (check.verdict) {
    case DbfVerdict::kSound:
      ++(moved ? file.counts.changed : file.counts.sound);
      file.soundSize = image_.size();
      return;
    case DbfVerdict::kLongerTail:
      ++file.counts.longerTail;
      file.soundSize = image_.size();
      return;
    case DbfVerdict::kMalformed:
      break;
  }
  size_t after = 0;
  std::string reason = check.reason;
  if (SettlesToSound(file.path, image_, &after)) {
    // One write over the old bytes, then the cut, never leaves the file shorter than both its old
    // and its new length; a file cut first and written afterwards does.
    const size_t before = file.soundSize;
    file.soundSize = after;
    if (before == 0 || image_.size() >= std::min(before, after)) {
      ++file.counts.torn;
      return;
    }
    reason = "shorter than the file before (" + std::to_string(before) + " bytes) and after (" +
             std::to_string(after) + " bytes) the rewrite";
  }
  ++file.counts.malformed;
  if (problems_.size() < kMaxProblems) {
    problems_.push_back(file.path + " (" + std::to_string(image_.size()) + " bytes): " + reason);
  }
}

bool DbfWatch::SettlesToSound(const std::string& path, const std::string& malformed,
                              size_t* soundSize) const {
  const uint32_t begin = platform::TickCount();
  std::string again;
  uint32_t pause = 0;
  for (;;) {
    if (pause > 0) platform::SleepMs(pause);
    // An identical image is a file that did not move (yet); a different malformed one is a write
    // still under way.
    bool moved = false;
    if (reader_(path, &again, &moved) && again != malformed &&
        CheckDbfImage(again).verdict != DbfVerdict::kMalformed) {
      *soundSize = again.size();
      return true;
    }
    if (platform::TickCount() - begin >= settleMs_) return false;
    pause = pause == 0 ? 1 : std::min<uint32_t>(pause * 2, 16);
  }
}

}  // namespace fw::tools
