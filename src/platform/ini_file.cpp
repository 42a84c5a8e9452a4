// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ini_file.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>

#include "common/translate.h"
#include "platform/blanks.h"
#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/staged_file.h"

namespace voltare::platform {

namespace {

std::string_view TrimRight(std::string_view text) {
  const auto last = text.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string LowerName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool HasMatchingQuotes(std::string_view text) {
  return text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front();
}

std::string DecodeValue(std::string_view text) {
  const std::string_view trimmed = Trim(text);
  if (HasMatchingQuotes(trimmed)) return std::string(trimmed.substr(1, trimmed.size() - 2));
  return std::string(trimmed);
}

// Quotes a value only when reading would otherwise change it.
std::string EncodeValue(std::string_view value) {
  const bool needsQuotes = (!value.empty() && (Trim(value).size() != value.size())) || HasMatchingQuotes(value);
  if (!needsQuotes) return std::string(value);
  return "\"" + std::string(value) + "\"";
}

[[noreturn]] void RejectInput(const std::string& what) { throw OsError(EINVAL, what); }

bool HasLineBreakOrZero(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckSectionName(std::string_view section) {
  if (section.empty() || Trim(section).size() != section.size() || HasLineBreakOrZero(section) ||
      section.find(']') != std::string_view::npos) {
    RejectInput(common::Filled(tr_("a section name cannot be stored: [%s]"), {section}));
  }
}

void CheckKeyName(std::string_view key) {
  if (key.empty() || Trim(key).size() != key.size() || HasLineBreakOrZero(key) ||
      key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';') {
    RejectInput(common::Filled(tr_("a key name cannot be stored: %s"), {key}));
  }
}

void CheckValue(std::string_view value) {
  if (HasLineBreakOrZero(value)) RejectInput(tr_("a value with a line break cannot be stored"));
}

// The lines of a text; a line ends at LF, and a CR before it belongs to the end.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

IniFile LoadOrEmpty(const std::filesystem::path& path) {
  try {
    return IniFile::Load(path);
  } catch (const OsError&) {
    return IniFile();
  }
}

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  if (text.starts_with(kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
  const auto firstBreak = text.find('\n');
  if (firstBreak != std::string_view::npos && (firstBreak == 0 || text[firstBreak - 1] != '\r')) {
    ini.newline_ = "\n";
  }

  for (const std::string_view rawLine : SplitLines(text)) {
    const std::string_view line = Trim(rawLine);
    if (line.starts_with('[')) {
      const auto close = line.find(']');
      const std::string_view name = close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1);
      ini.sections_.push_back(Section{std::string(Trim(name)), std::string(rawLine), {}, {}});
      continue;
    }
    Line entry{{}, {}, std::string(rawLine)};
    if (!line.empty() && line.front() != ';') {
      const auto equals = line.find('=');
      entry.key = std::string(Trim(line.substr(0, equals)));
      if (equals != std::string_view::npos) entry.value = DecodeValue(line.substr(equals + 1));
    }
    if (ini.sections_.empty()) {
      ini.preamble_.push_back(std::move(entry));
    } else {
      ini.sections_.back().addLine(std::move(entry));
    }
  }
  return ini;
}

void IniFile::Section::addLine(Line line) {
  if (!line.key.empty()) firstLine.try_emplace(LowerName(line.key), lines.size());
  lines.push_back(std::move(line));
}

void IniFile::Section::reindex() {
  firstLine.clear();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].key.empty()) firstLine.try_emplace(LowerName(lines[i].key), i);
  }
}

std::optional<std::size_t> IniFile::Section::indexOf(std::string_view key) const {
  const auto found = firstLine.find(LowerName(key));
  if (found == firstLine.end()) return std::nullopt;
  return found->second;
}

IniFile IniFile::Load(const std::filesystem::path& path) {
  try {
    return Parse(ReadWholeFile(path));
  } catch (const OsError& error) {
    if (error.error() == ENOENT) return IniFile();
    throw;
  }
}

std::string IniFile::text() const {
  std::string out;
  const auto emit = [&](const std::vector<Line>& lines) {
    for (const Line& line : lines) {
      out += line.raw ? *line.raw : line.key + "=" + EncodeValue(line.value);
      out += newline_;
    }
  };
  emit(preamble_);
  for (const Section& section : sections_) {
    out += section.header;
    out += newline_;
    emit(section.lines);
  }
  return out;
}

void IniFile::save(const std::filesystem::path& path) const { WriteFileStaged(path, text(), Replacing::TheLinkedFile); }

IniFile::Section* IniFile::findSection(std::string_view name) {
  const auto found =
      std::find_if(sections_.begin(), sections_.end(), [&](const Section& s) { return SameName(s.name, name); });
  return found == sections_.end() ? nullptr : &*found;
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
  return const_cast<IniFile*>(this)->findSection(name);
}

bool IniFile::hasSection(std::string_view section) const { return findSection(section) != nullptr; }

std::vector<std::string> IniFile::sectionNames() const {
  std::vector<std::string> names;
  for (const Section& section : sections_) {
    const bool seen =
        std::any_of(names.begin(), names.end(), [&](const std::string& n) { return SameName(n, section.name); });
    if (!seen) names.push_back(section.name);
  }
  return names;
}

std::vector<std::string> IniFile::keyNames(std::string_view section) const {
  std::vector<std::string> names;
  const Section* found = findSection(section);
  if (found == nullptr) return names;
  for (std::size_t i = 0; i < found->lines.size(); ++i) {
    const std::string& key = found->lines[i].key;
    if (!key.empty() && found->firstLine.at(LowerName(key)) == i) names.push_back(key);
  }
  return names;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
  const Section* found = findSection(section);
  if (found == nullptr || key.empty()) return std::nullopt;
  const auto at = found->indexOf(key);
  if (!at) return std::nullopt;
  return found->lines[*at].value;
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
  CheckSectionName(section);
  CheckKeyName(key);
  CheckValue(value);

  Section* target = findSection(section);
  if (target == nullptr) {
    // A blank line sets a new section apart from what is already there.
    if (!sections_.empty() || !preamble_.empty()) {
      auto& last = sections_.empty() ? preamble_ : sections_.back().lines;
      if (last.empty() || !last.back().raw || !Trim(*last.back().raw).empty()) {
        last.push_back(Line{{}, {}, std::string()});
      }
    }
    sections_.push_back(Section{std::string(section), "[" + std::string(section) + "]", {}, {}});
    target = &sections_.back();
  }

  if (const auto existing = target->indexOf(key)) {
    Line& line = target->lines[*existing];
    line.value = std::string(value);
    line.raw.reset();
    return;
  }
  // After the last key, so comments and blank lines before the next section
  // stay there; only lines that are no keys move, so the index stays right.
  auto& lines = target->lines;
  const auto lastKey = std::find_if(lines.rbegin(), lines.rend(), [](const Line& line) { return !line.key.empty(); });
  const auto at = static_cast<std::size_t>(lastKey.base() - lines.begin());
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
               Line{std::string(key), std::string(value), std::nullopt});
  target->firstLine.emplace(LowerName(key), at);
}

void IniFile::removeKey(std::string_view section, std::string_view key) {
  Section* target = findSection(section);
  if (target == nullptr) return;
  std::erase_if(target->lines, [&](const Line& line) { return SameName(line.key, key); });
  target->reindex();
}

void IniFile::removeSection(std::string_view section) {
  std::erase_if(sections_, [&](const Section& s) { return SameName(s.name, section); });
}

std::string CutToBuffer(std::string_view value, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  return std::string(value.substr(0, bufferSize - 1));
}

std::vector<std::string> ListThroughBuffer(const std::vector<std::string>& names, std::size_t bufferSize) {
  std::string list;
  for (const std::string& name : names) {
    list += name;
    list += '\0';
  }
  // Everything fits when the closing zero byte fits too; otherwise the copy
  // stops two bytes early and ends with two zero bytes.
  if (list.size() + 1 > bufferSize) list.resize(bufferSize < 2 ? 0 : bufferSize - 2);

  std::vector<std::string> seen;
  std::string_view rest = list;
  while (!rest.empty() && rest.front() != '\0') {
    const auto end = rest.find('\0');
    seen.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return seen;
}

std::string ReadProfileString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferSize) {
  const auto found = LoadOrEmpty(path).value(section, key);
  return CutToBuffer(found ? std::string_view(*found) : TrimRight(defaultValue), bufferSize);
}

std::vector<std::string> ReadProfileKeyNames(const std::filesystem::path& path, std::string_view section,
                                             std::size_t bufferSize) {
  return ListThroughBuffer(LoadOrEmpty(path).keyNames(section), bufferSize);
}

std::int32_t ReadProfileInteger(const std::filesystem::path& path, std::string_view section, std::string_view key,
                                std::int32_t defaultValue) {
  const auto found = LoadOrEmpty(path).value(section, key);
  return found ? ParseProfileInteger(*found, defaultValue) : defaultValue;
}

std::int32_t ParseProfileInteger(std::string_view text, std::int32_t defaultValue) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return defaultValue;

  // Decimal must fit a signed 32-bit number; hexadecimal may use all 32 bits.
  const std::uint64_t limit =
      base == 16 ? 0xFFFFFFFFull
                 : static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
  std::uint64_t magnitude = 0;
  for (const char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return defaultValue;
    magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (magnitude > limit) return defaultValue;
  }
  const auto bits = static_cast<std::uint32_t>(negative ? (~magnitude + 1) : magnitude);
  return static_cast<std::int32_t>(bits);
}

void WriteProfileString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  IniFile ini = IniFile::Load(path);
  ini.setValue(section, key, value);
  ini.save(path);
}

}  // namespace voltare::platform
