// Arbitrary bytes as an ini file: the first byte picks the reading mode, the rest is the file.
// After reading, the model is written back and read again (with comments), and what a write-back
// promises is checked: the same sections and keys in the same order, names unchanged up to blanks
// at their ends, and values unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/error_code.h"
#include "foundation/ini_file.h"
#include "foundation/platform/platform.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Model {
  struct Section {
    std::string name;
    std::vector<std::string> keys;
    std::vector<std::string> values;
  };
  std::vector<Section> sections;
};

std::string Trim(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

Model Snapshot(const fw::MIniFile& ini) {
  Model model;
  for (int32_t s = 0; s < ini.SectionCount(); ++s) {
    Model::Section section;
    section.name = ini.SectionName(s);
    if (section.name.size() > fw::MIniFile::kMaxNameLength) std::abort();
    for (int32_t k = 0; k < ini.KeyCount(s); ++k) {
      section.keys.push_back(ini.KeyName(s, k));
      section.values.push_back(ini.KeyValue(s, k));
      if (section.keys.back().empty() ||
          section.keys.back().size() > fw::MIniFile::kMaxNameLength ||
          section.values.back().size() > fw::MIniFile::kMaxValueLength) {
        std::abort();
      }
      (void)ini.KeyComments(s, k);
    }
    (void)ini.SectionComments(s);
    model.sections.push_back(std::move(section));
  }
  return model;
}

// The file each input is written to; in memory when the machine has /dev/shm, because every
// write-back is flushed to disk. Removed at exit.
struct Scratch {
  Scratch() { path = fw::fuzz::ScratchPath("fw_ini_fuzz_").string() + ".ini"; }
  ~Scratch() {
    fw::platform::RemoveFile(path);
    fw::platform::RemoveFile(path + ".new");
  }
  std::string path;
} scratch;

const std::string& ScratchPath() { return scratch.path; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int mode = data[0] & 1;
  {
    std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }

  fw::MIniFile ini;
  const int32_t rc = ini.Open(ScratchPath(), mode);
  if (rc < 0) {
    if (rc != fw::kArrayFull) std::abort();
    return 0;
  }
  if (ini.SectionCount() < 1 || !ini.SectionName(0).empty()) std::abort();

  // Rewrite an existing value unchanged when there is one, so that only the layout changes.
  int32_t s = 0;
  while (s < ini.SectionCount() && ini.KeyCount(s) == 0) ++s;
  if (s < ini.SectionCount()) {
    const std::string name = ini.SectionName(s);
    const std::string key = ini.KeyName(s, 0);
    // The first section of that name and its first key of that name take the write.
    const std::string value = ini.GetString(name, key, "");
    const int32_t written = ini.WriteString(name, key, value);
    if (written == fw::kArrayFull) return 0;
    if (written != 1) std::abort();
  } else {
    const int32_t written = ini.WriteString("", "fuzz", "v");
    if (written == fw::kArrayFull) return 0;
    if (written != 1) std::abort();
  }
  const Model before = Snapshot(ini);
  if (ini.Close() != 1) std::abort();

  if (ini.Open(ScratchPath(), fw::MIniFile::kModeComments) != 1) std::abort();
  const Model after = Snapshot(ini);
  if (after.sections.size() != before.sections.size()) std::abort();
  for (size_t i = 0; i < before.sections.size(); ++i) {
    const Model::Section& a = before.sections[i];
    const Model::Section& b = after.sections[i];
    if (Trim(a.name) != b.name || a.keys.size() != b.keys.size()) std::abort();
    for (size_t k = 0; k < a.keys.size(); ++k) {
      if (Trim(a.keys[k]) != b.keys[k]) std::abort();
      if (a.values[k] != b.values[k]) std::abort();
    }
  }
  ini.Close();
  return 0;
}
