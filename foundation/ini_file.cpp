#include "foundation/ini_file.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "foundation/error_code.h"
#include "foundation/platform/platform.h"
#include "foundation/text.h"

namespace fw {
namespace {

// The full-width comment marker, in the execution character set (GBK A3 BB).
constexpr std::string_view kWideSemicolon = "；";
// Header and key lines are padded with blanks to this column (the header's leading line end
// counts).
constexpr size_t kPadColumn = 50;
// The simple reading mode looks at this many bytes of a key line.
constexpr size_t kSimpleScanLength = 99;

std::string_view Cut(std::string_view s, size_t maxLength) {
  return s.substr(0, GbkCutLength(s, maxLength));
}

template <size_t N>
void CopyCut(char (&destination)[N], std::string_view text) {
  const std::string_view kept = Cut(text, N - 1);
  // An empty view may carry no pointer at all, which memcpy must not see.
  if (!kept.empty()) std::memcpy(destination, kept.data(), kept.size());
  destination[kept.size()] = '\0';
}

char AsciiLower(unsigned char c) {
  return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// The first comment marker of a text: a ";" anywhere, failing that a "；" on a character boundary.
// Its position (npos when none) and its length.
size_t FindMarker(std::string_view text, size_t* length) {
  *length = 1;
  const size_t semicolon = text.find(';');
  if (semicolon != std::string_view::npos) return semicolon;
  *length = kWideSemicolon.size();
  return FindOnCharBoundary(text, kWideSemicolon);
}

size_t MarkerLengthAt(std::string_view text) {
  if (!text.empty() && text[0] == ';') return 1;
  return text.starts_with(kWideSemicolon) ? kWideSemicolon.size() : 0;
}

// A first comment marker that follows a blank (space or tab), on a character boundary.
size_t FindMarkerAfterBlank(std::string_view text, size_t* length) {
  for (size_t i = 0; i < text.size(); i += IsGbkPairAt(text, i) ? 2 : 1) {
    *length = MarkerLengthAt(text.substr(i));
    if (*length > 0 && i > 0 && (text[i - 1] == ' ' || text[i - 1] == '\t')) return i;
  }
  return std::string_view::npos;
}

// What stands behind "name = " for a value: the value itself, or enclosed in `quote`.
std::string ValueForm(std::string_view value, char quote) {
  std::string form;
  if (quote != '\0') form += quote;
  form += value;
  if (quote != '\0') form += quote;
  return form;
}

// Whether a form, written as the write-back writes it (padded, with or without a comment behind
// it), reads back as `value` under both comment rules.
bool ReadsBack(std::string_view form, std::string_view value) {
  if (form.find_first_of("\r\n") != std::string_view::npos) return false;
  for (std::string_view tail : {" ", " ;c"}) {
    std::string text(1, ' ');
    text.append(form).append(tail);
    for (IniComments rule : {IniComments::kAnyMarker, IniComments::kAfterBlank}) {
      if (SplitIniValue(text, rule).value != value) return false;
    }
  }
  return true;
}

// The quote a value is written with ('\0': none): the one it was read with while that still
// carries it, else none when the value reads back without, else the first quote that carries it.
// A value that begins with a quote is always written in quotes: written bare, a quote at the end
// of a comment behind it would close it. False when no form carries the value.
bool ChooseQuote(std::string_view value, char preferred, char* quote) {
  const bool quoteFirst = !value.empty() && (value[0] == '"' || value[0] == '\'');
  for (char q : {preferred, '\0', '"', '\''}) {
    if (q == '\0' && quoteFirst) continue;
    if (ReadsBack(ValueForm(value, q), value)) {
      *quote = q;
      return true;
    }
  }
  return false;
}

void AppendPadded(std::string* out, size_t lineStart) {
  const size_t length = out->size() - lineStart;
  out->append(length < kPadColumn ? kPadColumn - length : 1, ' ');
}

}  // namespace

bool IniNameEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  size_t i = 0;
  while (i < a.size()) {
    if (IsGbkPairAt(a, i)) {
      if (a.compare(i, 2, b.substr(i, 2)) != 0) return false;
      i += 2;
      continue;
    }
    if (AsciiLower(static_cast<unsigned char>(a[i])) !=
        AsciiLower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
    ++i;
  }
  return true;
}

IniValueText SplitIniValue(std::string_view text, IniComments comments) {
  const std::string_view t = TrimLeft(text);
  if (!t.empty() && (t[0] == '"' || t[0] == '\'')) {
    // The closing quote is the first one after which only blanks follow, or blanks and a comment.
    for (size_t close = t.find(t[0], 1); close != std::string_view::npos;
         close = t.find(t[0], close + 1)) {
      const std::string_view after = t.substr(close + 1);
      const std::string_view rest = TrimLeft(after);
      const size_t markerLength = MarkerLengthAt(rest);
      if (rest.empty() || (markerLength > 0 && rest.size() < after.size())) {
        return {t.substr(1, close - 1), Trim(rest.substr(markerLength)), t[0]};
      }
    }
  }
  size_t length = 0;
  const size_t marker = comments == IniComments::kAnyMarker ? FindMarker(text, &length)
                                                            : FindMarkerAfterBlank(text, &length);
  if (marker == std::string_view::npos) return {Trim(text), {}, '\0'};
  return {Trim(text.substr(0, marker)), Trim(text.substr(marker + length)), '\0'};
}

size_t IniWritableLength(std::string_view value) {
  size_t length = GbkCutLength(value, MIniFile::kMaxValueLength);
  char quote = '\0';
  while (length > 0 && !ChooseQuote(value.substr(0, length), '\0', &quote)) {
    length = GbkCutLength(value, length - 1);
  }
  return length;
}

MIniFile::MIniFile() { Reset(); }

MIniFile::~MIniFile() { Close(); }

void MIniFile::Reset() {
  sections_.clear();
  keys_.clear();
  comments_.clear();
  pool_.clear();
  storeFull_ = false;
  path_.clear();
  modified_ = false;
  AppendSection("");
}

std::string MIniFile::ResolvePath(std::string_view path) {
  for (char c : path) {
    if (c == '\\' || c == '/') return std::string(path);
  }
  std::string folder = platform::ExecutablePath();
  size_t end = folder.size();
  while (end > 0 && !platform::IsPathSeparator(folder[end - 1])) --end;
  folder.resize(end);
  return folder + std::string(path);
}

int32_t MIniFile::Open(std::string_view path, int mode) {
  try {
    const std::string full = ResolvePath(path);
    std::string content;
    if (int32_t rc = platform::ReadWholeFile(full, &content); rc < 0) return rc;

    MIniFile fresh;
    fresh.path_ = full;
    // Where a comment line goes: the last key added since the last section line, else (-1) the
    // current section. A comment after a section's key line that added nothing therefore stays
    // with that section instead of moving to a key of an earlier one, and a comment before any
    // key at all has a home too.
    int32_t commentKey = -1;
    int32_t current = 0;
    size_t position = 0;
    while (position < content.size() && !fresh.storeFull_) {
      size_t end = position;
      while (end < content.size() && content[end] != '\r' && content[end] != '\n') ++end;
      std::string_view line(content.data() + position, end - position);
      position = end;
      while (position < content.size() &&
             (content[position] == '\r' || content[position] == '\n')) {
        ++position;
      }
      // The text of a line is what precedes its first NUL byte, as for any C string.
      line = line.substr(0, line.find('\0'));
      fresh.ParseLine(TrimLeft(line), mode, &commentKey, &current);
    }
    if (fresh.storeFull_) return kArrayFull;

    Close();
    std::swap(sections_, fresh.sections_);
    std::swap(keys_, fresh.keys_);
    std::swap(comments_, fresh.comments_);
    std::swap(pool_, fresh.pool_);
    std::swap(path_, fresh.path_);
    modified_ = false;
    fresh.path_.clear();
    return 1;
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
}

void MIniFile::ParseLine(std::string_view line, int mode, int32_t* commentKey, int32_t* current) {
  if (line.empty()) return;

  if (line[0] == '[') {
    // A plain byte search: a name then never holds "]", so the header written back always reads
    // back to the same name, whatever bytes the name ends with.
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return;
    const std::string_view name = Trim(line.substr(1, close - 1));
    const std::string_view rest = line.substr(close + 1);
    size_t markerLength = 0;
    const size_t marker = FindMarker(rest, &markerLength);
    const std::string_view comment = marker == std::string_view::npos
                                         ? std::string_view()
                                         : Trim(rest.substr(marker + markerLength));
    // A header with an empty name opens no section; its comment and the comment lines after it
    // stay with the section that is current.
    if (!name.empty()) {
      const int32_t index = AppendSection(name);
      if (index < 0) return;
      *current = index;
    }
    *commentKey = -1;
    if (!comment.empty()) AppendComment(kSectionComment, *current, comment);
    return;
  }

  if (line[0] == ';' || line.substr(0, kWideSemicolon.size()) == kWideSemicolon) {
    const size_t markerLength = line[0] == ';' ? 1 : kWideSemicolon.size();
    const std::string_view text = TrimRight(line.substr(markerLength));
    if (*commentKey >= 0) {
      AppendComment(kKeyComment, *commentKey, text);
    } else {
      AppendComment(kSectionComment, *current, text);
    }
    return;
  }

  if (mode == kModeComments) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view name = Trim(line.substr(0, equals));
    const IniValueText value = SplitIniValue(line.substr(equals + 1), IniComments::kAnyMarker);
    if (name.empty()) return;
    const int32_t index = AppendKey(*current, name, value.value);
    if (index < 0) return;
    keys_[static_cast<size_t>(index)].quote = value.quote;
    *commentKey = index;
    if (!value.comment.empty()) AppendComment(kKeyComment, index, value.comment);
    return;
  }

  // The simple mode looks at the first 99 bytes only: the key runs to a blank or "=", the value
  // from the first non-blank after "=" to a blank or ";".
  const std::string_view window = line.substr(0, kSimpleScanLength);
  const std::string_view name = window.substr(0, window.find_first_of(" ="));
  if (name.empty()) return;
  std::string_view value;
  const size_t equals = window.find('=');
  if (equals != std::string_view::npos) {
    const size_t begin = window.find_first_not_of(' ', equals + 1);
    if (begin != std::string_view::npos) {
      const std::string_view tail = window.substr(begin);
      value = tail.substr(0, tail.find_first_of(" ;\r\n"));
    }
  }
  const int32_t index = AppendKey(*current, name, value);
  if (index >= 0) *commentKey = index;
}

int32_t MIniFile::AppendSection(std::string_view name) {
  if (sections_.size() >= kMaxElements) {
    storeFull_ = true;
    return kArrayFull;
  }
  Section section;
  CopyCut(section.name, name);
  section.firstKey = -1;
  section.lastKey = -1;
  sections_.push_back(section);
  return static_cast<int32_t>(sections_.size() - 1);
}

int32_t MIniFile::AppendKey(int32_t section, std::string_view name, std::string_view value) {
  if (keys_.size() >= kMaxElements) {
    storeFull_ = true;
    return kArrayFull;
  }
  Key key;
  CopyCut(key.name, name);
  // What is kept is what a write-back can carry, so that the model always reads back as it is.
  CopyCut(key.value, value.substr(0, IniWritableLength(value)));
  key.quote = '\0';
  key.nextKey = -1;
  keys_.push_back(key);
  const int32_t index = static_cast<int32_t>(keys_.size() - 1);
  Section& owner = sections_[static_cast<size_t>(section)];
  if (owner.lastKey < 0) {
    owner.firstKey = index;
  } else {
    keys_[static_cast<size_t>(owner.lastKey)].nextKey = index;
  }
  owner.lastKey = index;
  return index;
}

int32_t MIniFile::AppendComment(uint8_t kind, int32_t owner, std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (comments_.size() >= kMaxElements || pool_.size() + text.size() + 1 > kMaxElements) {
    storeFull_ = true;
    return kArrayFull;
  }
  comments_.push_back({kind, owner, static_cast<int32_t>(pool_.size())});
  pool_.insert(pool_.end(), text.begin(), text.end());
  pool_.push_back('\0');
  return static_cast<int32_t>(comments_.size() - 1);
}

int32_t MIniFile::FindSection(std::string_view name) const {
  name = Cut(name, kMaxNameLength);
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (IniNameEquals(sections_[i].name, name)) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t MIniFile::FindKey(int32_t section, std::string_view name) const {
  if (section < 0 || static_cast<size_t>(section) >= sections_.size()) return -1;
  name = Cut(name, kMaxNameLength);
  for (int32_t k = sections_[static_cast<size_t>(section)].firstKey; k >= 0;
       k = keys_[static_cast<size_t>(k)].nextKey) {
    if (IniNameEquals(keys_[static_cast<size_t>(k)].name, name)) return k;
  }
  return -1;
}

int32_t MIniFile::KeyAt(int32_t section, int32_t n) const {
  if (section < 0 || static_cast<size_t>(section) >= sections_.size() || n < 0) return -1;
  int32_t k = sections_[static_cast<size_t>(section)].firstKey;
  for (; k >= 0 && n > 0; --n) k = keys_[static_cast<size_t>(k)].nextKey;
  return k;
}

int32_t MIniFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value, std::string_view comment) {
  section = Cut(section, kMaxNameLength);
  key = Cut(key, kMaxNameLength);
  value = value.substr(0, IniWritableLength(value));
  comment = comment.substr(0, comment.find('\0'));
  if (key.empty()) return kErrBadArgument;

  const int32_t s = FindSection(section);
  const int32_t k = FindKey(s, key);
  int32_t commentIndex = -1;
  if (k >= 0 && !comment.empty()) {
    for (size_t i = 0; i < comments_.size(); ++i) {
      if (comments_[i].kind == kKeyComment && comments_[i].owner == k) {
        commentIndex = static_cast<int32_t>(i);
        break;
      }
    }
  }

  // Check every store before touching any, so that a full store changes nothing.
  if (s < 0 && sections_.size() >= kMaxElements) return kArrayFull;
  if (k < 0 && keys_.size() >= kMaxElements) return kArrayFull;
  if (!comment.empty()) {
    if (commentIndex < 0 && comments_.size() >= kMaxElements) return kArrayFull;
    if (pool_.size() + comment.size() + 1 > kMaxElements) CompactPool();
    if (pool_.size() + comment.size() + 1 > kMaxElements) return kArrayFull;
  }

  const int32_t sectionIndex = s >= 0 ? s : AppendSection(section);
  int32_t keyIndex = k;
  if (keyIndex >= 0) {
    Key& existing = keys_[static_cast<size_t>(keyIndex)];
    // The same value keeps the quotes it was read with, so that a save changing nothing changes
    // no byte of the line.
    if (value != existing.value) existing.quote = '\0';
    CopyCut(existing.value, value);
  } else {
    keyIndex = AppendKey(sectionIndex, key, value);
  }
  if (!comment.empty()) {
    if (commentIndex >= 0) {
      comments_[static_cast<size_t>(commentIndex)].offset = static_cast<int32_t>(pool_.size());
      pool_.insert(pool_.end(), comment.begin(), comment.end());
      pool_.push_back('\0');
    } else {
      AppendComment(kKeyComment, keyIndex, comment);
    }
  }
  modified_ = true;
  return 1;
}

void MIniFile::CompactPool() {
  std::vector<char> compact;
  compact.reserve(pool_.size());
  for (Comment& c : comments_) {
    const char* text = pool_.data() + c.offset;
    const size_t length = std::strlen(text);
    c.offset = static_cast<int32_t>(compact.size());
    compact.insert(compact.end(), text, text + length + 1);
  }
  pool_.swap(compact);
}

int32_t MIniFile::WriteInt(std::string_view section, std::string_view key, int32_t value,
                           std::string_view comment) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return WriteString(section, key, text, comment);
}

int32_t MIniFile::WriteBool(std::string_view section, std::string_view key, int32_t flag,
                            std::string_view comment) {
  return WriteString(section, key, flag == 1 ? "true" : "false", comment);
}

std::string MIniFile::GetString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  section = Cut(section, kMaxNameLength);
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (!IniNameEquals(sections_[i].name, section)) continue;
    const int32_t k = FindKey(static_cast<int32_t>(i), key);
    if (k >= 0) return keys_[static_cast<size_t>(k)].value;
  }
  return std::string(defaultValue);
}

std::string MIniFile::GetSectionString(int32_t section, std::string_view key,
                                       std::string_view defaultValue) const {
  const int32_t k = FindKey(section, key);
  return k >= 0 ? std::string(keys_[static_cast<size_t>(k)].value) : std::string(defaultValue);
}

std::string MIniFile::SectionName(int32_t section) const {
  if (section < 0 || static_cast<size_t>(section) >= sections_.size()) return std::string();
  return sections_[static_cast<size_t>(section)].name;
}

int32_t MIniFile::KeyCount(int32_t section) const {
  int32_t n = 0;
  for (int32_t k = KeyAt(section, 0); k >= 0; k = keys_[static_cast<size_t>(k)].nextKey) ++n;
  return n;
}

std::string MIniFile::KeyName(int32_t section, int32_t n) const {
  const int32_t k = KeyAt(section, n);
  return k >= 0 ? std::string(keys_[static_cast<size_t>(k)].name) : std::string();
}

std::string MIniFile::KeyValue(int32_t section, int32_t n) const {
  const int32_t k = KeyAt(section, n);
  return k >= 0 ? std::string(keys_[static_cast<size_t>(k)].value) : std::string();
}

std::vector<std::string> MIniFile::CommentsOf(uint8_t kind, int32_t owner) const {
  std::vector<std::string> texts;
  if (owner < 0) return texts;
  for (const Comment& c : comments_) {
    if (c.kind == kind && c.owner == owner) texts.emplace_back(pool_.data() + c.offset);
  }
  return texts;
}

std::vector<std::string> MIniFile::SectionComments(int32_t section) const {
  if (section < 0 || static_cast<size_t>(section) >= sections_.size()) return {};
  return CommentsOf(kSectionComment, section);
}

std::vector<std::string> MIniFile::KeyComments(int32_t section, int32_t n) const {
  return CommentsOf(kKeyComment, KeyAt(section, n));
}

std::string MIniFile::Render() const {
  // Comments grouped by owner in one pass (start offsets per owner, then the comment indexes),
  // so that large files are written in linear time.
  const size_t nSections = sections_.size();
  const size_t nOwners = nSections + keys_.size();
  std::vector<uint32_t> start(nOwners + 1, 0);
  auto slot = [nSections](const Comment& c) {
    return c.kind == kSectionComment ? static_cast<size_t>(c.owner)
                                     : nSections + static_cast<size_t>(c.owner);
  };
  for (const Comment& c : comments_) ++start[slot(c) + 1];
  for (size_t i = 0; i < nOwners; ++i) start[i + 1] += start[i];
  std::vector<uint32_t> order(comments_.size());
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (size_t i = 0; i < comments_.size(); ++i)
    order[fill[slot(comments_[i])]++] = static_cast<uint32_t>(i);

  std::string out;
  auto writeComments = [&](size_t owner) {
    for (uint32_t i = start[owner]; i < start[owner + 1]; ++i) {
      out += ';';
      out += pool_.data() + comments_[order[i]].offset;
      out += "\r\n";
    }
    return start[owner + 1] > start[owner];
  };

  for (size_t s = 0; s < nSections; ++s) {
    const Section& section = sections_[s];
    const bool hasHeader = section.name[0] != '\0';
    if (hasHeader) {
      const size_t lineStart = out.size();
      out += "\r\n[";
      out += section.name;
      out += ']';
      AppendPadded(&out, lineStart);
    }
    // Section 0 has no header line to end.
    if (!writeComments(s) && hasHeader) out += "\r\n";
    for (int32_t k = section.firstKey; k >= 0; k = keys_[static_cast<size_t>(k)].nextKey) {
      const Key& key = keys_[static_cast<size_t>(k)];
      const size_t lineStart = out.size();
      out += key.name;
      out += " = ";
      char quote = '\0';
      ChooseQuote(key.value, key.quote, &quote);  // a stored value always has a form
      out += ValueForm(key.value, quote);
      AppendPadded(&out, lineStart);
      if (!writeComments(nSections + static_cast<size_t>(k))) out += "\r\n";
    }
  }
  return out;
}

int32_t MIniFile::WriteBack() const { return platform::WriteWholeFile(path_, Render()); }

int32_t MIniFile::Close() {
  int32_t rc = 1;
  if (modified_) {
    try {
      rc = path_.empty() ? kErrNotInitialized : WriteBack();
    } catch (const std::bad_alloc&) {
      rc = kErrNoMemory;
    }
  }
  Reset();
  return rc;
}

}  // namespace fw
