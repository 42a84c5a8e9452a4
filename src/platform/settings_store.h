// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's settings: named, typed values under keys with registry-style
// paths ("\Software\KOVA Software\KOVA Voltare"), kept for each user in a
// human-readable file, settings.conf, under $VOLTARE_CONFIG_DIR or else
// ${XDG_CONFIG_HOME:-$HOME/.config}/kova-voltare/ (a HOME that is unset or
// relative gives way to the account's home in the password database).
//
// There is no settings object in memory: a reader opens a key when it needs a
// value and sees the file as it is at that moment. Every write replaces the
// whole file atomically (a temporary file in the same directory, flushed,
// renamed over it), so a crash never leaves a half-written store. Until the
// file is first written, readers see the values the installer would have
// written.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/translate.h"
#include "platform/os_error.h"

namespace voltare::platform {

inline constexpr std::string_view kSettingsKey = "\\Software\\KOVA Software\\KOVA Voltare";
inline constexpr std::string_view kEmailSettingsKey = "\\Software\\KOVA Software\\KOVA Voltare\\E-mail";

enum class ValueType { String, ExpandString, Dword, Binary };

// "string", "expandable string", "32-bit number", "binary".
std::string_view TypeName(ValueType type);

struct SettingValue {
  ValueType type = ValueType::String;
  std::string text;                 // String, ExpandString
  std::uint32_t number = 0;         // Dword
  std::vector<std::uint8_t> bytes;  // Binary

  static SettingValue String(std::string text);
  static SettingValue ExpandString(std::string text);
  static SettingValue Dword(std::uint32_t number);
  static SettingValue Binary(std::vector<std::uint8_t> bytes);

  // The value as the store file shows it: "0", "3", "0a ff", ...
  std::string Display() const;

  friend bool operator==(const SettingValue&, const SettingValue&) = default;
};

// A value is missing, has another type than the reader expects, or does not
// convert to what the reader needs.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The store file cannot be understood; the message names the file and line.
class SettingsFileDamaged : public DamagedDataError {
 public:
  using DamagedDataError::DamagedDataError;
};

// Where the store lives now (the environment is read at every call).
std::filesystem::path SettingsFilePath();

class SettingsKey {
 public:
  // The key for reading; nothing when it does not exist. Throws
  // SettingsFileDamaged for a damaged file, OsError when it cannot be read.
  static std::optional<SettingsKey> OpenReadOnly(std::string_view keyPath);
  // The key for writing, created (and stored) when missing. Throws OsError
  // when the store cannot be written.
  static SettingsKey OpenForWriting(std::string_view keyPath);

  const std::string& KeyPath() const noexcept { return keyPath_; }

  std::optional<SettingValue> Find(std::string_view name) const;
  // Every value of the key in stored order.
  const std::vector<std::pair<std::string, SettingValue>>& Values() const noexcept { return values_; }

  // A string or expandable string; SettingsError when missing or of another type.
  std::string ReadString(std::string_view name) const;
  // A string value converted whole to an integer; SettingsError when it is
  // missing, empty or not a decimal 32-bit integer.
  std::int32_t ReadInteger(std::string_view name) const;
  // A 32-bit number; SettingsError when missing or of another type.
  std::uint32_t ReadDword(std::string_view name) const;
  std::vector<std::uint8_t> ReadBinary(std::string_view name) const;

  // Each write is stored at once. Only on a key opened for writing.
  void Write(std::string_view name, SettingValue value);
  void WriteString(std::string_view name, std::string text) { Write(name, SettingValue::String(std::move(text))); }
  void WriteInteger(std::string_view name, std::int32_t value) { WriteString(name, std::to_string(value)); }
  void WriteDword(std::string_view name, std::uint32_t number) { Write(name, SettingValue::Dword(number)); }
  // Several values in one replacement of the store: all of them or, when
  // that fails, none.
  void WriteAll(std::span<const std::pair<std::string_view, SettingValue>> values);

 private:
  SettingsKey(std::string keyPath, bool writable, std::vector<std::pair<std::string, SettingValue>> values);
  const SettingValue& Require(std::string_view name) const;

  std::string keyPath_;
  bool writable_ = false;
  std::vector<std::pair<std::string, SettingValue>> values_;
};

// Converts a whole text to a 32-bit integer the way every settings reader
// does: optional sign and decimal digits only. Throws SettingsError.
std::int32_t ParseInteger(std::string_view text);

// --- The store file itself, for tools and tests

struct StoredKey {
  std::string path;  // normalised: "\Software\...", no trailing '\'
  std::vector<std::pair<std::string, SettingValue>> values;
};

// The pass counts a Normal Wipe accepts ("Loop"): at least one, or a wipe
// would delete without overwriting.
inline constexpr int kMinWipePasses = 1;
inline constexpr int kMaxWipePasses = 100;

// What the installer writes: the main key with "Algorithm" "0",
// "TypeOfWipe" "1", "Loop" "3", "Wipe" "0", "CheckUpdate" 0, and the empty
// "E-mail" subkey.
std::vector<StoredKey> InstallerDefaults();

// The values each main setting may hold, in one place for every reader and
// writer of them: the preferences dialog, `config set` and the wipe.
struct SettingRange {
  std::string_view name;
  std::int32_t min;
  std::int32_t max;
  std::string_view allowed;  // the values in words, for messages (translated where read)
};

inline constexpr std::array<SettingRange, 5> kSettingRanges{{
    {"Algorithm", 0, 3, N_("0 (Blowfish), 1 (CAST5), 2 (DES) or 3 (XChaCha20-Poly1305)")},
    {"TypeOfWipe", 0, 1, N_("0 (Government Wipe) or 1 (Normal Wipe)")},
    {"Loop", kMinWipePasses, kMaxWipePasses, N_("a whole number from 1 to 100")},
    {"Wipe", 0, 1, N_("0 (off) or 1 (on)")},
    {"CheckUpdate", 0, 1, N_("0 (off) or 1 (on)")},
}};

// The range of a main setting (names compared exactly); nullptr for others.
const SettingRange* FindSettingRange(std::string_view name) noexcept;

// The whole store as readers see it now (the defaults when never written).
std::vector<StoredKey> LoadSettingsStore();
// Replaces the whole store file atomically.
void SaveSettingsStore(std::span<const StoredKey> keys);

// The text form of the store file and back. ParseSettingsText throws
// SettingsFileDamaged naming `origin` and the line.
std::string FormatSettingsText(std::span<const StoredKey> keys);
std::vector<StoredKey> ParseSettingsText(std::string_view text, std::string_view origin);

}  // namespace voltare::platform
