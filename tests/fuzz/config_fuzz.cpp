// Arbitrary bytes as the program's ini file: ConfigInfo::Load reads every key through the profile
// reader, then each text field must end inside its array within its longest accepted value. The
// settings are then saved over the same file (through MIniFile, which keeps every other key) and
// read again: each setting must read back exactly as loaded, texts kept to the 99 bytes a value
// holds in the file (never splitting a GBK character). Files with a section or key name longer
// than 31 bytes are only loaded and saved, not compared: the write-back keeps 31 bytes of a name,
// so such a section may become another one. A save that fails must leave the file as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

#include "config/config_info.h"
#include "foundation/local_clock.h"
#include "foundation/run_log.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fw::fuzz::Check;

struct Scratch {
  Scratch() : files("fw_config_fuzz_"), ini((files.folder / "fenwright.ini").string()) {
    fw::SetLocalClockForTesting([] { return fw::MakeLocalDateTime(20260305, 93000); });
  }
  fw::fuzz::ScratchFolder files;
  std::string ini;
};

Scratch& TheScratch() {
  static Scratch* scratch = new Scratch;
  return *scratch;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A GBK double-byte character: lead 0x81..0xFE, trail 0x40..0xFE except 0x7F.
bool PairAt(std::string_view s, size_t i) {
  if (i + 1 >= s.size()) return false;
  const auto lead = static_cast<unsigned char>(s[i]);
  const auto trail = static_cast<unsigned char>(s[i + 1]);
  return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

// What a loaded text reads as after a save and a new load: its first 99 bytes.
std::string AfterRoundTrip(std::string_view loaded) {
  size_t kept = 0;
  while (kept < loaded.size()) {
    const size_t width = PairAt(loaded, kept) ? 2 : 1;
    if (kept + width > 99) break;
    kept += width;
  }
  return std::string(loaded.substr(0, kept));
}

// The field ends inside its array and holds at most maxLength bytes.
template <size_t N>
std::string_view Field(const char (&field)[N], size_t maxLength) {
  const size_t length = strnlen(field, N);
  Check(length < N && length <= maxLength);
  return std::string_view(field, length);
}

template <size_t N>
void CheckText(const char (&before)[N], const char (&after)[N], size_t maxLength) {
  Check(AfterRoundTrip(Field(before, maxLength)) == Field(after, maxLength));
}

void CheckLoaded(const fw::config::ConfigInfo& c) {
  Field(c.loadFolder, 253);
  Field(c.loadFolderExpanded, 254);
  Field(c.szl1, 253);
  Field(c.hqdbf, 253);
  Field(c.Sjsxxdbf, 253);
  Field(c.Sjszsdbf, 253);
  Field(c.Sjsphhqdbf, 253);
  Field(c.Sjszhhqdbf, 253);
  Field(c.savefile, 253);
  Field(c.holiday, 253);
  Field(c.sender, 31);
  Field(c.target, 31);
  Field(c.password, 31);
  Field(c.ver, 63);
  Field(c.ip, 127);
  Field(c.IndexNameFile, 253);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Whether a section header or a key line of the file carries a name of more than 31 bytes.
bool HasLongName(std::string_view file) {
  while (!file.empty()) {
    size_t end = 0;
    while (end < file.size() && file[end] != '\r' && file[end] != '\n') ++end;
    std::string_view line = file.substr(0, end);
    file.remove_prefix(end < file.size() ? end + 1 : end);
    line = Trimmed(line.substr(0, line.find('\0')));
    if (line.empty() || line[0] == ';') continue;
    std::string_view name;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      name = Trimmed(line.substr(1, close - 1));
    } else {
      const size_t equals = line.find('=');
      if (equals == std::string_view::npos) continue;
      name = Trimmed(line.substr(0, equals));
    }
    if (name.size() > 31) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& scratch = TheScratch();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  WriteAll(scratch.ini, input);

  fw::config::ConfigInfo loaded;
  Check(loaded.Load(scratch.ini) == 1);
  CheckLoaded(loaded);

  const int32_t saved = loaded.Save();
  if (saved != 1) {
    Check(saved < 0);
    Check(ReadAll(scratch.ini) == input);
    return 0;
  }

  if (HasLongName(input)) return 0;
  fw::config::ConfigInfo again;
  Check(again.Load(scratch.ini) == 1);
  CheckLoaded(again);
  CheckText(loaded.loadFolder, again.loadFolder, 253);
  CheckText(loaded.szl1, again.szl1, 253);
  CheckText(loaded.hqdbf, again.hqdbf, 253);
  CheckText(loaded.Sjsxxdbf, again.Sjsxxdbf, 253);
  CheckText(loaded.Sjszsdbf, again.Sjszsdbf, 253);
  CheckText(loaded.Sjsphhqdbf, again.Sjsphhqdbf, 253);
  CheckText(loaded.Sjszhhqdbf, again.Sjszhhqdbf, 253);
  CheckText(loaded.savefile, again.savefile, 253);
  CheckText(loaded.holiday, again.holiday, 253);
  CheckText(loaded.sender, again.sender, 31);
  CheckText(loaded.target, again.target, 31);
  CheckText(loaded.password, again.password, 31);
  CheckText(loaded.ver, again.ver, 63);
  CheckText(loaded.ip, again.ip, 127);
  CheckText(loaded.IndexNameFile, again.IndexNameFile, 253);

  Check(again.begintime == loaded.begintime);
  Check(again.endtime == loaded.endtime);
  Check(again.heartbt == loaded.heartbt);
  Check(again.writeInterval == loaded.writeInterval);
  Check(again.wrIntervalSleep == loaded.wrIntervalSleep);
  Check(again.port == loaded.port);
  Check(again.savefileflag == loaded.savefileflag);
  Check(again.lostHighVol == loaded.lostHighVol);
  Check(again.useholiday == loaded.useholiday);
  Check(again.autostart == loaded.autostart);
  Check(again.PriceUpLimit == loaded.PriceUpLimit);
  return 0;
}
