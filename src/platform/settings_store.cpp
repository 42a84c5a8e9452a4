// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/translate.h"
#include "platform/file.h"
#include "platform/staged_file.h"

namespace voltare::platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kStoreFileName = "settings.conf";
constexpr std::string_view kFileHeading =
    "# KOVA Voltare settings. One [key] per section; each value is\n"
    "#   \"name\" = string \"text\" | expand \"text\" | dword 123 | binary 0a ff ...\n"
    "# The program replaces this file as a whole whenever a setting changes.\n";

// ---------------------------------------------------------------------------
// Names

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Key paths and value names compare without regard to letter case.
bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string NormaliseKeyPath(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  return "\\" + std::string(path);
}

StoredKey* FindKey(std::vector<StoredKey>& keys, std::string_view path) {
  const auto it = std::ranges::find_if(keys, [&](const StoredKey& key) { return SameName(key.path, path); });
  return it == keys.end() ? nullptr : &*it;
}

const SettingValue* FindValue(const std::vector<std::pair<std::string, SettingValue>>& values, std::string_view name) {
  const auto it = std::ranges::find_if(values, [&](const auto& entry) { return SameName(entry.first, name); });
  return it == values.end() ? nullptr : &it->second;
}

void SetValue(std::vector<std::pair<std::string, SettingValue>>& values, std::string_view name, SettingValue value) {
  const auto it = std::ranges::find_if(values, [&](const auto& entry) { return SameName(entry.first, name); });
  if (it != values.end()) {
    it->second = std::move(value);
  } else {
    values.emplace_back(std::string(name), std::move(value));
  }
}

// ---------------------------------------------------------------------------
// Text form

std::string_view TypeWord(ValueType type) {
  switch (type) {
    case ValueType::String:
      return "string";
    case ValueType::ExpandString:
      return "expand";
    case ValueType::Dword:
      return "dword";
    case ValueType::Binary:
      return "binary";
  }
  return "";
}

std::string Quote(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte == 0x7f) {
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 15];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

// Reads the text form one line at a time; every complaint names the line.
class Parser {
 public:
  Parser(std::string_view text, std::string_view origin) : text_(text), origin_(origin) {}

  std::vector<StoredKey> Parse() {
    std::vector<StoredKey> keys;
    StoredKey* current = nullptr;
    std::size_t start = 0;
    while (start <= text_.size()) {
      ++lineNumber_;
      std::size_t end = text_.find('\n', start);
      if (end == std::string_view::npos) end = text_.size();
      line_ = Trim(text_.substr(start, end - start));
      start = end + 1;
      if (line_.empty() || line_.front() == '#' || line_.front() == ';') continue;
      if (line_.front() == '[') {
        current = OpenSection(keys);
      } else if (line_.front() == '"') {
        if (current == nullptr) Fail(tr_("a value before the first [key]"));
        ReadValueLine(*current);
      } else {
        Fail(tr_("neither a [key] nor a \"name\" = value line"));
      }
    }
    return keys;
  }

 private:
  static std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
  }

  [[noreturn]] void Fail(std::string_view reason) const {
    // TRANSLATORS: the first %s is the settings file, the second a line
    // number in it, the third what is wrong on that line. "[key]", "name",
    // "dword" and the other words in quotes are the file's own syntax.
    throw SettingsFileDamaged(common::Filled(tr_("The settings file %s is damaged (line %s: %s)."),
                                             {origin_, std::to_string(lineNumber_), reason}));
  }

  StoredKey* OpenSection(std::vector<StoredKey>& keys) {
    if (line_.back() != ']' || line_.size() < 3) Fail(tr_("a [key] line without its closing ']'"));
    const std::string path = NormaliseKeyPath(line_.substr(1, line_.size() - 2));
    if (StoredKey* existing = FindKey(keys, path)) return existing;
    keys.push_back({path, {}});
    return &keys.back();
  }

  void ReadValueLine(StoredKey& key) {
    std::string name = ReadQuoted();
    SkipBlanks();
    if (line_.empty() || line_.front() != '=') Fail(tr_("'=' missing after the value name"));
    line_.remove_prefix(1);
    SkipBlanks();
    const std::string_view word = ReadWord();
    SkipBlanks();
    SettingValue value;
    if (word == "string") {
      value = SettingValue::String(ReadQuoted());
    } else if (word == "expand") {
      value = SettingValue::ExpandString(ReadQuoted());
    } else if (word == "dword") {
      value = SettingValue::Dword(ReadNumber());
    } else if (word == "binary") {
      value = SettingValue::Binary(ReadHexBytes());
    } else {
      Fail(common::Filled(tr_("unknown type \"%s\""), {word}));
    }
    SkipBlanks();
    if (!line_.empty()) Fail(tr_("unexpected text after the value"));
    if (FindValue(key.values, name) != nullptr) Fail(common::Filled(tr_("the value \"%s\" appears twice"), {name}));
    key.values.emplace_back(std::move(name), std::move(value));
  }

  void SkipBlanks() { line_ = Trim(line_); }

  std::string_view ReadWord() {
    std::size_t n = 0;
    while (n < line_.size() && line_[n] != ' ' && line_[n] != '\t') ++n;
    const std::string_view word = line_.substr(0, n);
    line_.remove_prefix(n);
    return word;
  }

  std::string ReadQuoted() {
    if (line_.empty() || line_.front() != '"') Fail(tr_("a quoted text was expected"));
    std::string text;
    std::size_t i = 1;
    for (; i < line_.size() && line_[i] != '"'; ++i) {
      if (line_[i] != '\\') {
        text += line_[i];
        continue;
      }
      if (++i >= line_.size()) break;
      if (line_[i] == 'x') {
        text += static_cast<char>(HexByte(line_.substr(i + 1, 2)));
        i += 2;
      } else if (line_[i] == '"' || line_[i] == '\\') {
        text += line_[i];
      } else {
        Fail(tr_("unknown escape in a quoted text"));
      }
    }
    if (i >= line_.size()) Fail(tr_("a quoted text without its closing quote"));
    line_.remove_prefix(i + 1);
    return text;
  }

  std::uint8_t HexByte(std::string_view digits) {
    unsigned value = 0;
    if (digits.size() != 2 || std::from_chars(digits.data(), digits.data() + 2, value, 16).ptr != digits.data() + 2) {
      Fail(tr_("a bad hexadecimal byte"));
    }
    return static_cast<std::uint8_t>(value);
  }

  std::uint32_t ReadNumber() {
    const std::string_view word = ReadWord();
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || error != std::errc() || end != word.data() + word.size()) {
      Fail(tr_("a dword must be a decimal number from 0 to 4294967295"));
    }
    return value;
  }

  std::vector<std::uint8_t> ReadHexBytes() {
    std::vector<std::uint8_t> bytes;
    for (SkipBlanks(); !line_.empty(); SkipBlanks()) bytes.push_back(HexByte(ReadWord()));
    return bytes;
  }

  std::string_view text_;
  std::string_view origin_;
  std::string_view line_;
  int lineNumber_ = 0;
};

// ---------------------------------------------------------------------------
// The file

// The file's text; nothing when it does not exist (never written).
std::optional<std::string> ReadStoreFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowLastError(common::Filled(tr_("cannot read the settings file %s"), {path.string()}));
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      ThrowLastError(common::Filled(tr_("cannot read the settings file %s"), {path.string()}));
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

void CreatePrivateDirectory(const fs::path& dir) {
  std::error_code error;
  if (fs::is_directory(dir, error)) return;
  fs::create_directories(dir.parent_path(), error);
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    ThrowLastError(common::Filled(tr_("cannot create the settings directory %s"), {dir.string()}));
  }
}

// Throws OsError when no new store file could be written beside `path`.
void ProbeWritable(const fs::path& path) {
  CreatePrivateDirectory(path.parent_path());
  const StagedFile probe(path);
}

}  // namespace

// ---------------------------------------------------------------------------

std::string_view TypeName(ValueType type) {
  switch (type) {
    // TRANSLATORS: the kinds of value a setting holds, put into "The setting
    // "%s" is a %s, not a %s".
    case ValueType::String:
      return tr_("string");
    case ValueType::ExpandString:
      return tr_("expandable string");
    case ValueType::Dword:
      return tr_("32-bit number");
    case ValueType::Binary:
      return tr_("binary");
  }
  return "";
}

SettingValue SettingValue::String(std::string text) { return {ValueType::String, std::move(text), 0, {}}; }
SettingValue SettingValue::ExpandString(std::string text) { return {ValueType::ExpandString, std::move(text), 0, {}}; }
SettingValue SettingValue::Dword(std::uint32_t number) { return {ValueType::Dword, {}, number, {}}; }
SettingValue SettingValue::Binary(std::vector<std::uint8_t> bytes) {
  return {ValueType::Binary, {}, 0, std::move(bytes)};
}

std::string SettingValue::Display() const {
  switch (type) {
    case ValueType::String:
    case ValueType::ExpandString:
      return text;
    case ValueType::Dword:
      return std::to_string(number);
    case ValueType::Binary:
      return HexBytes(bytes);
  }
  return {};
}

namespace {

// The user's home: $HOME when it is an absolute path, else the account's home
// from the password database. A missing or relative HOME must not make the
// settings come from whatever folder the program was started in. With no home
// at all, the root folder: nobody but root may write there, so saving fails
// with a message naming the path instead of landing in a stranger's folder.
fs::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && fs::path(home).is_absolute()) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (std::size_t{1} << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (found != nullptr && found->pw_dir != nullptr && fs::path(found->pw_dir).is_absolute()) return found->pw_dir;
  return "/";
}

}  // namespace

fs::path SettingsFilePath() {
  if (const char* dir = std::getenv("VOLTARE_CONFIG_DIR"); dir != nullptr && *dir != '\0') {
    return fs::path(dir) / kStoreFileName;
  }
  fs::path base;
  // A relative XDG_CONFIG_HOME is to be ignored, like a relative HOME.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && fs::path(xdg).is_absolute()) {
    base = xdg;
  } else {
    base = HomeFolder() / ".config";
  }
  return base / "kova-voltare" / kStoreFileName;
}

const SettingRange* FindSettingRange(std::string_view name) noexcept {
  for (const SettingRange& range : kSettingRanges) {
    if (range.name == name) return &range;
  }
  return nullptr;
}

std::vector<StoredKey> InstallerDefaults() {
  return {
      {std::string(kSettingsKey),
       {{"Algorithm", SettingValue::String("0")},
        {"TypeOfWipe", SettingValue::String("1")},
        {"Loop", SettingValue::String("3")},
        {"Wipe", SettingValue::String("0")},
        {"CheckUpdate", SettingValue::Dword(0)}}},
      {std::string(kEmailSettingsKey), {}},
  };
}

std::string FormatSettingsText(std::span<const StoredKey> keys) {
  std::string text(kFileHeading);
  for (const StoredKey& key : keys) {
    text += "\n[" + NormaliseKeyPath(key.path) + "]\n";
    for (const auto& [name, value] : key.values) {
      text += Quote(name) + " = " + std::string(TypeWord(value.type));
      switch (value.type) {
        case ValueType::String:
        case ValueType::ExpandString:
          text += " " + Quote(value.text);
          break;
        case ValueType::Dword:
          text += " " + std::to_string(value.number);
          break;
        case ValueType::Binary:
          if (!value.bytes.empty()) text += " " + HexBytes(value.bytes);
          break;
      }
      text += '\n';
    }
  }
  return text;
}

std::vector<StoredKey> ParseSettingsText(std::string_view text, std::string_view origin) {
  return Parser(text, origin).Parse();
}

std::vector<StoredKey> LoadSettingsStore() {
  const fs::path path = SettingsFilePath();
  const std::optional<std::string> text = ReadStoreFile(path);
  if (!text) return InstallerDefaults();
  return ParseSettingsText(*text, path.string());
}

void SaveSettingsStore(std::span<const StoredKey> keys) {
  const fs::path path = SettingsFilePath();
  CreatePrivateDirectory(path.parent_path());
  WriteFileStaged(path, FormatSettingsText(keys));
}

std::int32_t ParseInteger(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    throw SettingsError(common::Filled(tr_("'%s' is not a valid integer value"), {text}));
  }
  return value;
}

// ---------------------------------------------------------------------------

SettingsKey::SettingsKey(std::string keyPath, bool writable, std::vector<std::pair<std::string, SettingValue>> values)
    : keyPath_(std::move(keyPath)), writable_(writable), values_(std::move(values)) {}

std::optional<SettingsKey> SettingsKey::OpenReadOnly(std::string_view keyPath) {
  std::vector<StoredKey> keys = LoadSettingsStore();
  StoredKey* key = FindKey(keys, NormaliseKeyPath(keyPath));
  if (key == nullptr) return std::nullopt;
  return SettingsKey(key->path, false, std::move(key->values));
}

SettingsKey SettingsKey::OpenForWriting(std::string_view keyPath) {
  const std::string path = NormaliseKeyPath(keyPath);
  std::vector<StoredKey> keys = LoadSettingsStore();
  if (StoredKey* key = FindKey(keys, path)) {
    // Like a registry key opened for writing, the store must be writable now,
    // not only when the first value is written.
    ProbeWritable(SettingsFilePath());
    return SettingsKey(key->path, true, key->values);
  }
  keys.push_back({path, {}});
  SaveSettingsStore(keys);
  return SettingsKey(path, true, {});
}

std::optional<SettingValue> SettingsKey::Find(std::string_view name) const {
  const SettingValue* value = FindValue(values_, name);
  if (value == nullptr) return std::nullopt;
  return *value;
}

const SettingValue& SettingsKey::Require(std::string_view name) const {
  const SettingValue* value = FindValue(values_, name);
  if (value == nullptr) throw SettingsError(common::Filled(tr_("The setting \"%s\" does not exist"), {name}));
  return *value;
}

namespace {
[[noreturn]] void ThrowWrongType(std::string_view name, const SettingValue& value, std::string_view wanted) {
  // TRANSLATORS: a setting's name, the kind of value it holds and the kind
  // that was asked for ("32-bit number", "string", ...).
  throw SettingsError(
      common::Filled(tr_("The setting \"%s\" is a %s, not a %s"), {name, TypeName(value.type), wanted}));
}
}  // namespace

std::string SettingsKey::ReadString(std::string_view name) const {
  const SettingValue& value = Require(name);
  if (value.type != ValueType::String && value.type != ValueType::ExpandString) {
    ThrowWrongType(name, value, TypeName(ValueType::String));
  }
  return value.text;
}

std::int32_t SettingsKey::ReadInteger(std::string_view name) const { return ParseInteger(ReadString(name)); }

std::uint32_t SettingsKey::ReadDword(std::string_view name) const {
  const SettingValue& value = Require(name);
  if (value.type != ValueType::Dword) ThrowWrongType(name, value, TypeName(ValueType::Dword));
  return value.number;
}

std::vector<std::uint8_t> SettingsKey::ReadBinary(std::string_view name) const {
  const SettingValue& value = Require(name);
  if (value.type != ValueType::Binary) ThrowWrongType(name, value, TypeName(ValueType::Binary));
  return value.bytes;
}

void SettingsKey::Write(std::string_view name, SettingValue value) {
  if (!writable_) throw SettingsError(common::Filled(tr_("The key %s was opened for reading only"), {keyPath_}));
  // Start from the file as it is now, so that values written elsewhere since
  // this key was opened are kept.
  std::vector<StoredKey> keys = LoadSettingsStore();
  StoredKey* key = FindKey(keys, keyPath_);
  if (key == nullptr) {
    keys.push_back({keyPath_, {}});
    key = &keys.back();
  }
  SetValue(key->values, name, value);
  SaveSettingsStore(keys);
  SetValue(values_, name, std::move(value));
}

void SettingsKey::WriteAll(std::span<const std::pair<std::string_view, SettingValue>> values) {
  if (!writable_) throw SettingsError(common::Filled(tr_("The key %s was opened for reading only"), {keyPath_}));
  std::vector<StoredKey> keys = LoadSettingsStore();
  StoredKey* key = FindKey(keys, keyPath_);
  if (key == nullptr) {
    keys.push_back({keyPath_, {}});
    key = &keys.back();
  }
  for (const auto& [name, value] : values) SetValue(key->values, name, value);
  SaveSettingsStore(keys);
  for (const auto& [name, value] : values) SetValue(values_, name, value);
}

}  // namespace voltare::platform
