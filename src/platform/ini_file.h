// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Initialization files: text files of [sections] holding key=value lines.
//
// The program reads and writes them the way the desktop it came from does,
// because saved file lists and the update description were made by that
// reader and writer:
// - section and key names compare without regard to letter case (ASCII);
// - spaces and tabs around names and values do not count, and one pair of
//   matching quotes (" or ') around a value is taken off;
// - lines starting with ';' are comments; a line without '=' inside a section
//   is a key with an empty value; the first of several equal names wins;
// - a value is read through a buffer of 2048 bytes (at most 2047 characters),
//   the key names of a section through a list of 16384 bytes in which every
//   name is followed by a zero byte and the list by one more.
//
// Writing goes through IniFile: the whole file is replaced by way of a
// StagedFile (see staged_file.h), so a crash leaves either the old or the new
// file, never half of one. A link is followed and the file it leads to keeps
// its permission bits.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace voltare::platform {

inline constexpr std::size_t kProfileValueBufferSize = 2048;
inline constexpr std::size_t kProfileListBufferSize = 16384;

// The parsed contents of one initialization file. Lines it does not change
// (comments, blank lines, untouched keys) are written back as they were.
class IniFile {
 public:
  IniFile() = default;

  static IniFile Parse(std::string_view text);
  // A file that does not exist reads as an empty one; any other failure to
  // read throws OsError.
  static IniFile Load(const std::filesystem::path& path);

  // The whole text as it would be written.
  std::string text() const;
  // Replaces `path` atomically with text(); throws OsError on failure, leaving
  // the old file untouched and no temporary file behind.
  void save(const std::filesystem::path& path) const;

  bool hasSection(std::string_view section) const;
  std::vector<std::string> sectionNames() const;
  // Key names of the section in file order, spelled as in the file.
  std::vector<std::string> keyNames(std::string_view section) const;
  // The value with quotes and surrounding blanks taken off; nothing when the
  // section or the key is absent.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;

  // Sets a value, adding the key at the end of its section and the section at
  // the end of the file when needed. A value whose blanks or quotes would be
  // lost on reading is written in quotes, so it reads back unchanged. Names
  // and values that cannot be stored in this format (line breaks, zero bytes,
  // '=' in a key, ']' in a section name, blanks around a name, empty names)
  // throw OsError(EINVAL) instead of corrupting the file.
  void setValue(std::string_view section, std::string_view key, std::string_view value);
  void removeKey(std::string_view section, std::string_view key);
  void removeSection(std::string_view section);

 private:
  struct Line {
    std::string key;                 // empty for a line that is not a key
    std::string value;               // decoded value of a key line
    std::optional<std::string> raw;  // the text as read; none once changed
  };
  struct Section {
    std::string name;
    std::string header;  // the header line as read
    std::vector<Line> lines;
    // Where each key (in lower case) first appears in `lines`; saved lists
    // hold thousands of keys, read and written one by one.
    std::unordered_map<std::string, std::size_t> firstLine;

    void addLine(Line line);
    void reindex();
    std::optional<std::size_t> indexOf(std::string_view key) const;
  };

  Section* findSection(std::string_view name);
  const Section* findSection(std::string_view name) const;

  std::vector<Line> preamble_;  // lines before the first section
  std::vector<Section> sections_;
  std::string newline_ = "\r\n";
};

// What a reader sees through a buffer of `bufferSize` bytes: the first
// bufferSize - 1 characters of `value`.
std::string CutToBuffer(std::string_view value, std::size_t bufferSize);

// What a reader sees when a list of names (each followed by a zero byte, the
// list by one more) is copied into `bufferSize` bytes: the names that fit;
// when not all fit, the list is cut two bytes before the end of the buffer,
// so the last name may be a cut-off piece of one.
std::vector<std::string> ListThroughBuffer(const std::vector<std::string>& names, std::size_t bufferSize);

// Reading one file, a call at a time. A missing or unreadable file reads as
// empty, like the desktop's reader.

// The value of `key`, or `defaultValue` (without its trailing blanks) when the
// file, section or key is absent; cut to bufferSize - 1 characters.
std::string ReadProfileString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferSize = kProfileValueBufferSize);

// The key names of `section` as listed through a buffer of `bufferSize` bytes.
std::vector<std::string> ReadProfileKeyNames(const std::filesystem::path& path, std::string_view section,
                                             std::size_t bufferSize = kProfileListBufferSize);

// An integer value: decimal, or hexadecimal after "$", "0x" or "0X", with an
// optional sign, as a 32-bit number; `defaultValue` when the key is absent or
// its text is no such number.
std::int32_t ReadProfileInteger(const std::filesystem::path& path, std::string_view section, std::string_view key,
                                std::int32_t defaultValue);

// The number rule of ReadProfileInteger, on a text.
std::int32_t ParseProfileInteger(std::string_view text, std::int32_t defaultValue);

// Sets one value and replaces the file atomically (see IniFile::setValue and
// IniFile::save); throws OsError.
void WriteProfileString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace voltare::platform
