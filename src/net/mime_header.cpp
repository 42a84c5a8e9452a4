// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/mime_header.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "net/attachment_encoder.h"

namespace voltare::net {
namespace {

// The length a header line should keep to, and the quoted name's longest
// (its line must stay below the 998 characters no line may pass).
constexpr std::size_t kLineLimit = 78;
constexpr std::size_t kMaxQuotedName = 900;

// 45 bytes make 60 Base64 characters: with "=?UTF-8?B?" and "?=" a word of
// 72, under the 75 an encoded-word may have.
constexpr std::size_t kWordBytes = 45;

bool IsUtf8Continuation(char c) { return (static_cast<std::uint8_t>(c) & 0xC0U) == 0x80U; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Pieces of at most kWordBytes that never cut a UTF-8 sequence in two:
// each encoded-word must decode to whole characters on its own.
std::vector<std::string_view> WordPieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    std::size_t length = std::min(kWordBytes, text.size());
    std::size_t cut = length;
    while (cut < text.size() && cut > 0 && IsUtf8Continuation(text[cut])) --cut;
    if (cut > 0) length = cut;  // else a broken sequence longer than a word: cut anyway
    pieces.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return pieces;
}

// Encoded-words, one per continuation line, so no line grows without bound.
std::string EncodedWords(std::string_view text) {
  std::string out;
  for (const std::string_view piece : WordPieces(text)) {
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + EncodeBase64(piece) + "?=";
  }
  return out;
}

bool NeedsExtendedForm(std::string_view fileName) {
  return !IsPlainAscii(fileName) || fileName.find_first_of("\"\\\t") != std::string_view::npos;
}

// RFC 2231 attribute characters go as they are, every other byte as %XX.
bool IsAttributeChar(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
}

std::string PercentEncoded(std::string_view bytes) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    if (IsAttributeChar(c)) {
      out += c;
      continue;
    }
    const auto value = static_cast<std::uint8_t>(c);
    out += '%';
    out += kHex[value >> 4];
    out += kHex[value & 0x0FU];
  }
  return out;
}

// For readers that know no RFC 2231: one "_" for each character they could
// not take (a whole UTF-8 sequence, a quote, a backslash, a control).
std::string AsciiStandIn(std::string_view fileName) {
  std::string out;
  for (const char c : fileName) {
    if (IsUtf8Continuation(c)) continue;
    const bool plain = c >= ' ' && c < '\x7F' && c != '"' && c != '\\';
    out += plain ? c : '_';
  }
  return out;
}

// The bytes of the character at `at`: a reader decodes each RFC 2231
// section on its own, so a section must never end inside a character. A
// broken sequence counts at most four bytes.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  std::size_t length = 1;
  while (length < 4 && at + length < text.size() && IsUtf8Continuation(text[at + length])) ++length;
  return length;
}

// The RFC 2231 form of the name: in one piece when it fits a folded line,
// else in numbered sections that each do.
std::vector<std::string> ExtendedSections(std::string_view name, std::string_view fileName) {
  const std::string whole = std::string(name) + "*=UTF-8''" + PercentEncoded(fileName);
  // A folded line is the blank, the parameter and its ";".
  if (whole.size() + 2 <= kLineLimit) return {whole};
  std::vector<std::string> sections;
  for (std::size_t at = 0; at < fileName.size();) {
    const std::size_t index = sections.size();
    std::string section = std::string(name) + "*" + std::to_string(index) + "*=" + (index == 0 ? "UTF-8''" : "");
    const std::size_t empty = section.size();
    while (at < fileName.size()) {
      const std::size_t length = CharacterLength(fileName, at);
      const std::string piece = PercentEncoded(fileName.substr(at, length));
      if (section.size() > empty && section.size() + piece.size() + 2 > kLineLimit) break;
      section += piece;
      at += length;
    }
    sections.push_back(std::move(section));
  }
  return sections;
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool IsPlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c >= ' ' && c < '\x7F') || c == '\t'; });
}

std::string EncodeHeaderText(std::string_view text) {
  if (IsPlainAscii(text) && text.find("=?") == std::string_view::npos) return std::string(text);
  return EncodedWords(text);
}

std::string EncodeDisplayName(std::string_view name) {
  if (IsPlainAscii(name)) return std::string(name);
  std::string_view inner = Trimmed(name);
  // An encoded-word inside a quoted string is not decoded: the quotes go.
  if (inner.size() >= 2 && inner.front() == '"' && inner.back() == '"') inner = inner.substr(1, inner.size() - 2);
  return EncodedWords(inner);
}

std::string EncodeRecipientEntry(std::string_view entry) {
  const std::size_t open = entry.find('<');
  if (IsPlainAscii(entry) || open == std::string_view::npos) return std::string(entry);
  const std::string_view name = Trimmed(entry.substr(0, open));
  if (name.empty()) return std::string(entry);
  return EncodeDisplayName(name) + " " + std::string(entry.substr(open));
}

std::string FileNameParameter(std::string_view name, std::string_view fileName, bool fallback) {
  const std::string plain = std::string(name) + "=\"";
  if (!NeedsExtendedForm(fileName)) return plain + std::string(fileName) + "\"";
  const std::string extended = std::string(name) + "*=UTF-8''" + PercentEncoded(fileName);
  if (!fallback) return extended;
  return plain + AsciiStandIn(fileName) + "\"; " + extended;
}

std::string FileNameHeader(std::string_view start, std::string_view name, std::string_view fileName, bool fallback) {
  std::string line = std::string(start) + FileNameParameter(name, fileName, fallback);
  if (line.size() <= kLineLimit) return line;

  const auto quoted = [name](std::string_view value) { return std::string(name) + "=\"" + std::string(value) + "\""; };
  std::vector<std::string> parameters;
  const std::string plain = quoted(fileName);
  // A plain name stays quoted, for every reader, where its line allows.
  if (!NeedsExtendedForm(fileName) && fileName.size() <= kMaxQuotedName &&
      (fallback || plain.size() + 1 <= kLineLimit)) {
    parameters.push_back(plain);
  } else {
    if (fallback) {
      std::string standIn = AsciiStandIn(fileName);
      // The end, with the extension, tells such a reader most about the file.
      if (standIn.size() > kMaxQuotedName) standIn.erase(0, standIn.size() - kMaxQuotedName);
      parameters.push_back(quoted(standIn));
    }
    for (std::string& section : ExtendedSections(name, fileName)) parameters.push_back(std::move(section));
  }
  line = std::string(WithoutTrailingBlanks(start));
  for (std::size_t i = 0; i < parameters.size(); ++i) line += (i == 0 ? "\r\n " : ";\r\n ") + parameters[i];
  return line;
}

}  // namespace voltare::net
